#pragma once

#include "graphics/Context.h"

#include <QRasterWindow>

#include <functional>
#include <vector>
#include <memory>

class QAccessibleInterface;
class QInputMethodEvent;
class QInputMethodQueryEvent;

namespace ui {
class Window;
enum class TextInputChange;
}

namespace host {

class RunLoopBridge;

/// The desktop window showing the key window. The screen is as large as the window: its points
/// are the window's logical pixels divided by the preferred scale, or by a smaller one when the
/// window cannot hold 320 × 480 points at it (screenFitForWindow); a resize gives the screen its
/// new size, so the views lay themselves out again before the frame is drawn. It is drawn at the
/// window's device pixel ratio, so it stays sharp on HiDPI screens. It keeps a frame
/// buffer of the screen in device pixels that the window's display handler repaints (only
/// the dirty part), and copies the changed part to the screen; a resize or a change of pixel
/// ratio makes a new buffer and repaints it whole. Mouse and touch input become touches, the
/// middle button pastes the primary selection into a text field, keys go to the first
/// responder (or the view last touched) through the window's one key routing
/// (ui::Window::sendKey and sendKeyCommand), wheel and touchpad scrolls become wheel events in
/// points. The desktop's input method (dead keys, compose sequences, CJK) works on the text
/// field being edited: the window answers its queries and hands its compositions on, and
/// tells it when editing begins, changes and ends (shown and hidden when the system gives the
/// keys, whose height reaches the application).
///
/// Closing the window ends the application in order (ui::Application::terminate), as
/// Control+Q and the desktop's quit do; so does the window's destruction by another program
/// (X11 DestroyWindow, noticed by a native event filter). Main thread.
class HostWindow : public QRasterWindow {
public:
    /// preferredScale: logical pixels per point while the window holds 320 × 480 points at it.
    HostWindow(ui::Window& window, RunLoopBridge& bridge, float preferredScale);
    ~HostWindow() override;

    /// Called after each repaint of the screen (the host refreshes the title there).
    void setRepaintHandler(std::function<void()> handler) { m_repaintHandler = std::move(handler); }
    /// Called with the local files dropped onto the window; without one, drops are refused.
    void setFileDropHandler(std::function<void(const std::vector<std::string>&)> handler) { m_fileDropHandler = std::move(handler); }
    /// Brings the window to the front and asks for the keyboard focus, restoring it when it
    /// is minimised. False when there is no window to show (destroyed from outside, the
    /// program ending).
    bool bringToFront();
    /// Whether another program destroyed the window.
    bool wasDestroyedOutside() const { return m_destroyedOutside; }
    /// Logical pixels of the window per point of the screen.
    float scale() const { return m_scale; }
    /// The window's frame when it was last neither maximised nor full screen.
    QRect normalGeometry() const { return m_normalGeometry.isValid() ? m_normalGeometry : geometry(); }
    /// Where rect (points of the phone screen) lies in the window, in logical pixels.
    QRectF fromPoints(const gfx::Rect& rect) const;
    /// The key window it shows.
    ui::Window& shownWindow() const { return m_window; }
    /// What Qt lists as the application's window for screen readers (HostAccessibility's).
    QAccessibleInterface* accessibleRoot() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void touchEvent(QTouchEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void repaintScreen(const gfx::Rect& dirty);
    /// Makes the frame buffer for the window's size and pixel ratio when they changed.
    void updateFrame();
    gfx::Point toPoints(const QPointF& position) const;
    /// True for a media key (Play, Pause, Stop, Next, Previous), which goes to the media player.
    bool sendMediaKey(int key);
    void answerInputMethodQuery(QInputMethodQueryEvent* query);
    void handleInputMethod(QInputMethodEvent* event);
    /// The text field being edited began, changed or ended: the input method hears of it.
    void textInputDidChange(ui::TextInputChange change);
    void systemKeyboardDidChange();
    /// The window has gone from under the program: it ends as after a close.
    void destroyedOutside();
    class DestroyWatch;

    ui::Window& m_window;
    RunLoopBridge& m_bridge;
    std::function<void()> m_repaintHandler;
    std::function<void(const std::vector<std::string>&)> m_fileDropHandler;
    std::unique_ptr<gfx::BitmapContext> m_frame;
    /// Where the screen is drawn, in logical pixels of the window, and its points' size there.
    gfx::Rect m_screenRect;
    float m_preferredScale { 2 };
    QRect m_normalGeometry;
    float m_scale { 0 };
    double m_pixelRatio { 0 };
    bool m_mouseDown { false };
    bool m_destroyedOutside { false };
    std::unique_ptr<DestroyWatch> m_destroyWatch;
};

} // namespace host
