#pragma once

#include "graphics/Context.h"

#include <QRasterWindow>

#include <memory>

namespace ui {
class Window;
}

namespace host {

class RunLoopBridge;

/// The desktop window showing the key window at a scale. It keeps a frame buffer of the
/// screen that the window's display handler repaints (only the dirty part), and copies the
/// changed part to the screen. Mouse and touch input become touches, keys go to the first
/// responder (or the view last touched), wheel and touchpad scrolls become wheel events in
/// points. Main thread.
class HostWindow : public QRasterWindow {
public:
    HostWindow(ui::Window& window, float scale, RunLoopBridge& bridge);
    ~HostWindow() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void touchEvent(QTouchEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void repaintScreen(const gfx::Rect& dirty);
    gfx::Point toPoints(const QPointF& position) const;

    ui::Window& m_window;
    float m_scale;
    RunLoopBridge& m_bridge;
    std::unique_ptr<gfx::BitmapContext> m_frame;
    bool m_mouseDown { false };
};

} // namespace host
