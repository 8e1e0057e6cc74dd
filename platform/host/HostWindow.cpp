#include "host/HostWindow.h"

#include "host/RunLoopBridge.h"
#include "host/WindowGeometry.h"

#include "ui/Application.h"
#include "ui/MediaPlayer.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>
#include <QTouchEvent>
#include <QWheelEvent>

#include <algorithm>
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

HostWindow::HostWindow(ui::Window& window, RunLoopBridge& bridge)
    : m_window(window)
    , m_bridge(bridge)
{
    const gfx::Rect screen = ui::Screen::mainScreen().bounds();
    // Below half size nothing on the screen can be read or hit.
    setMinimumSize(QSize(int(screen.width() / 2), int(screen.height() / 2)));
    m_window.setDisplayHandler([this](const gfx::Rect& dirty) { repaintScreen(dirty); });
}

HostWindow::~HostWindow()
{
    m_window.setDisplayHandler(nullptr);
}

void HostWindow::bringToFront()
{
    if (windowStates() & Qt::WindowMinimized)
        setWindowStates(windowStates() & ~Qt::WindowMinimized);
    if (!isVisible())
        show();
    raise();
    requestActivate();
}

void HostWindow::updateFrame()
{
    const double ratio = devicePixelRatio();
    const gfx::Rect rect = screenRectInWindow({ float(width()), float(height()) });
    if (m_frame && rect == m_screenRect && ratio == m_pixelRatio)
        return;
    m_screenRect = rect;
    m_pixelRatio = ratio;
    const gfx::Rect screen = ui::Screen::mainScreen().bounds();
    m_scale = rect.width() / screen.width();
    const float pixelsPerPoint = float(m_scale * ratio);
    const int pixelWidth = std::max(1, int(std::lround(screen.width() * pixelsPerPoint)));
    const int pixelHeight = std::max(1, int(std::lround(screen.height() * pixelsPerPoint)));
    m_frame = gfx::BitmapContext::create(pixelWidth, pixelHeight, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    if (m_frame) {
        m_frame->scaleCTM(pixelWidth / screen.width(), pixelHeight / screen.height());
        m_window.drawScreen(*m_frame, screen);
    }
    update();
}

void HostWindow::resizeEvent(QResizeEvent* event)
{
    QRasterWindow::resizeEvent(event);
    updateFrame();
}

void HostWindow::repaintScreen(const gfx::Rect& dirty)
{
    if (!m_frame) {
        updateFrame();
        return;
    }
    m_window.drawScreen(*m_frame, dirty);
    gfx::Rect area = gfx::Rect(m_screenRect.x() + dirty.x() * m_scale, m_screenRect.y() + dirty.y() * m_scale,
        dirty.width() * m_scale, dirty.height() * m_scale).integral();
    update(QRect(int(area.x()), int(area.y()), int(area.width()), int(area.height())));
    if (m_repaintHandler)
        m_repaintHandler();
}

void HostWindow::paintEvent(QPaintEvent* event)
{
    // A screen moved to a display of another pixel ratio repaints at that ratio.
    if (devicePixelRatio() != m_pixelRatio)
        updateFrame();
    if (!m_frame)
        return;
    const gfx::Bitmap& bitmap = m_frame->bitmap();
    QImage image(bitmap.data(), bitmap.width(), bitmap.height(), bitmap.bytesPerRow(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(bitmap.width() / double(m_screenRect.width()));
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRectF target(m_screenRect.x(), m_screenRect.y(), m_screenRect.width(), m_screenRect.height());
    QRegion margins = event->region().subtracted(QRegion(target.toAlignedRect()));
    for (const QRect& rect : margins)
        painter.fillRect(rect, Qt::black);
    painter.setClipRegion(event->region());
    painter.drawImage(target.topLeft(), image);
}

gfx::Point HostWindow::toPoints(const QPointF& position) const
{
    if (m_scale <= 0)
        return {};
    return { float((position.x() - m_screenRect.x()) / m_scale), float((position.y() - m_screenRect.y()) / m_scale) };
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
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    ui::KeyCommand command;
    command.control = modifiers & Qt::ControlModifier;
    command.alt = modifiers & Qt::AltModifier;
    const int key = event->key();
    const QString text = event->text();
    if (sendMediaKey(key)) {
        m_bridge.reschedule();
        return;
    }
    if (key == Qt::Key_F1) {
        command.key = ui::Key::Help;
        m_window.sendKeyCommand(command);
    } else if (auto special = keyFor(key)) {
        if (command.control || command.alt) {
            command.key = special;
            m_window.sendKeyCommand(command);
        } else
            m_window.sendKey(*special);
    } else if ((command.control || command.alt) && ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))) {
        // With Control the text is a control character; the key says which it was.
        command.character = std::string(1, char(key >= Qt::Key_A ? 'a' + (key - Qt::Key_A) : '0' + (key - Qt::Key_0)));
        m_window.sendKeyCommand(command);
    } else if (!text.isEmpty() && text.at(0).isPrint()) {
        // Typed text for a text field being edited, else a shortcut.
        command.character = text.toStdString();
        m_window.sendKeyCommand(command);
    }
    m_bridge.reschedule();
}

// The media keys of a keyboard, when the desktop leaves them to the focused window, work the
// media player as the desktop's own controls do.
bool HostWindow::sendMediaKey(int key)
{
    if (key != Qt::Key_MediaPlay && key != Qt::Key_MediaPause && key != Qt::Key_MediaTogglePlayPause && key != Qt::Key_MediaStop
        && key != Qt::Key_MediaNext && key != Qt::Key_MediaPrevious)
        return false;
    auto player = ui::Application::sharedApplication().mediaPlayer();
    if (!player)
        return true;
    switch (key) {
    case Qt::Key_MediaPlay:
        player->play();
        break;
    case Qt::Key_MediaPause:
        player->pause();
        break;
    case Qt::Key_MediaTogglePlayPause:
        player->playPause();
        break;
    case Qt::Key_MediaStop:
        player->stop();
        break;
    case Qt::Key_MediaNext:
        player->next();
        break;
    default:
        player->previous();
        break;
    }
    return true;
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
