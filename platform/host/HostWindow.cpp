#include "host/HostWindow.h"

#include "host/RunLoopBridge.h"

#include "ui/Screen.h"
#include "ui/Window.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTouchEvent>
#include <QWheelEvent>

#include <cmath>

namespace host {

namespace {

constexpr int kMouseTouchId = -1;
// A wheel notch is 120 units of angle; it scrolls about three lines of text.
constexpr double kPointsPerNotch = 40;
constexpr double kAnglePerNotch = 120;

ui::WheelPhase wheelPhaseFor(Qt::ScrollPhase phase)
{
    switch (phase) {
    case Qt::ScrollBegin:
        return ui::WheelPhase::Began;
    case Qt::ScrollUpdate:
        return ui::WheelPhase::Changed;
    case Qt::ScrollEnd:
        return ui::WheelPhase::Ended;
    case Qt::ScrollMomentum:
        return ui::WheelPhase::Momentum;
    default:
        return ui::WheelPhase::None;
    }
}

std::optional<ui::Key> keyFor(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ui::Key::Return;
    case Qt::Key_Backspace:
        return ui::Key::Backspace;
    case Qt::Key_Delete:
        return ui::Key::Delete;
    case Qt::Key_Tab:
        return ui::Key::Tab;
    case Qt::Key_Escape:
        return ui::Key::Escape;
    case Qt::Key_Left:
        return ui::Key::Left;
    case Qt::Key_Right:
        return ui::Key::Right;
    case Qt::Key_Up:
        return ui::Key::Up;
    case Qt::Key_Down:
        return ui::Key::Down;
    case Qt::Key_Home:
        return ui::Key::Home;
    case Qt::Key_End:
        return ui::Key::End;
    case Qt::Key_PageUp:
        return ui::Key::PageUp;
    case Qt::Key_PageDown:
        return ui::Key::PageDown;
    default:
        return std::nullopt;
    }
}

} // namespace

HostWindow::HostWindow(ui::Window& window, float scale, RunLoopBridge& bridge)
    : m_window(window)
    , m_scale(scale)
    , m_bridge(bridge)
{
    const gfx::Rect screen = ui::Screen::mainScreen().bounds();
    const int width = int(std::lround(screen.width() * scale));
    const int height = int(std::lround(screen.height() * scale));
    m_frame = gfx::BitmapContext::create(width, height, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    if (m_frame)
        m_frame->scaleCTM(scale, scale);
    setTitle(QStringLiteral("Parlivo"));
    resize(width, height);
    setMinimumSize(QSize(width, height));
    setMaximumSize(QSize(width, height));
    m_window.setDisplayHandler([this](const gfx::Rect& dirty) { repaintScreen(dirty); });
}

HostWindow::~HostWindow()
{
    m_window.setDisplayHandler(nullptr);
}

void HostWindow::repaintScreen(const gfx::Rect& dirty)
{
    if (!m_frame)
        return;
    m_window.drawScreen(*m_frame, dirty);
    gfx::Rect pixels = gfx::Rect(dirty.x() * m_scale, dirty.y() * m_scale, dirty.width() * m_scale, dirty.height() * m_scale).integral();
    update(QRect(int(pixels.x()), int(pixels.y()), int(pixels.width()), int(pixels.height())));
}

void HostWindow::paintEvent(QPaintEvent* event)
{
    if (!m_frame)
        return;
    const gfx::Bitmap& bitmap = m_frame->bitmap();
    const QImage image(bitmap.data(), bitmap.width(), bitmap.height(), bitmap.bytesPerRow(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& rect : event->region())
        painter.drawImage(rect, image, rect);
}

gfx::Point HostWindow::toPoints(const QPointF& position) const
{
    return { float(position.x() / m_scale), float(position.y() / m_scale) };
}

void HostWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_mouseDown = true;
    m_window.sendTouch(kMouseTouchId, ui::TouchPhase::Began, toPoints(event->position()));
    m_bridge.reschedule();
}

void HostWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_mouseDown)
        return;
    m_window.sendTouch(kMouseTouchId, ui::TouchPhase::Moved, toPoints(event->position()));
    m_bridge.reschedule();
}

void HostWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_mouseDown)
        return;
    m_mouseDown = false;
    m_window.sendTouch(kMouseTouchId, ui::TouchPhase::Ended, toPoints(event->position()));
    m_bridge.reschedule();
}

void HostWindow::touchEvent(QTouchEvent* event)
{
    for (const QEventPoint& point : event->points()) {
        ui::TouchPhase phase;
        switch (point.state()) {
        case QEventPoint::Pressed:
            phase = ui::TouchPhase::Began;
            break;
        case QEventPoint::Released:
            phase = ui::TouchPhase::Ended;
            break;
        case QEventPoint::Updated:
            phase = ui::TouchPhase::Moved;
            break;
        default:
            continue;
        }
        m_window.sendTouch(point.id(), event->type() == QEvent::TouchCancel ? ui::TouchPhase::Cancelled : phase, toPoints(point.position()));
    }
    // Accepted, so Qt does not make mouse events of the same touches.
    event->accept();
    m_bridge.reschedule();
}

void HostWindow::keyPressEvent(QKeyEvent* event)
{
    if (auto key = keyFor(event->key()))
        m_window.sendKey(*key);
    else if (!event->text().isEmpty() && event->text().at(0).isPrint())
        m_window.sendText(event->text().toStdString());
    m_bridge.reschedule();
}

void HostWindow::wheelEvent(QWheelEvent* event)
{
    // Touchpads give pixels of this window (scale pixels per point); wheels give notches.
    gfx::Point delta;
    if (!event->pixelDelta().isNull()) {
        delta = { float(event->pixelDelta().x() / m_scale), float(event->pixelDelta().y() / m_scale) };
    } else {
        const QPoint angle = event->angleDelta();
        delta = { float(angle.x() / kAnglePerNotch * kPointsPerNotch), float(angle.y() / kAnglePerNotch * kPointsPerNotch) };
    }
    event->accept();
    if (delta.x == 0 && delta.y == 0 && event->phase() == Qt::NoScrollPhase)
        return;
    m_window.sendWheel(toPoints(event->position()), delta, wheelPhaseFor(event->phase()));
    m_bridge.reschedule();
}

} // namespace host
