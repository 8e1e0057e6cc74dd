#include "host/HostWindow.h"

#include "host/FileTransfer.h"
#include "host/RunLoopBridge.h"
#include "host/WindowGeometry.h"

#include "ui/Application.h"
#include "ui/MediaPlayer.h"
#include "ui/Screen.h"
#include "ui/TextInput.h"
#include "ui/Window.h"

#include "foundation/Log.h"

#include <QAbstractNativeEventFilter>
#include <QDropEvent>
#include <QMimeData>
#include <QAccessible>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
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
#include <cstdint>

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
    case Qt::Key_Backtab:
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

// The X11 protocol's DestroyNotify event (XCB's xcb_destroy_notify_event_t), read here without
// the XCB headers, which nothing else of the program needs.
struct X11DestroyNotify {
    std::uint8_t responseType;
    std::uint8_t pad;
    std::uint16_t sequence;
    std::uint32_t event;
    std::uint32_t window;
};
constexpr std::uint8_t kX11DestroyNotify = 17;

} // namespace

// Watches Qt's X11 events for the destruction of the window by another program, which Qt
// itself does not report.
class HostWindow::DestroyWatch : public QAbstractNativeEventFilter {
public:
    explicit DestroyWatch(HostWindow& window)
        : m_window(window)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~DestroyWatch() override
    {
        if (auto* application = QCoreApplication::instance())
            application->removeNativeEventFilter(this);
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t" || !m_window.handle() || m_window.m_destroyedOutside)
            return false;
        const auto* event = static_cast<const X11DestroyNotify*>(message);
        if ((event->responseType & 0x7f) == kX11DestroyNotify && event->window == m_window.winId())
            m_window.destroyedOutside();
        return false;
    }

private:
    HostWindow& m_window;
};

HostWindow::HostWindow(ui::Window& window, RunLoopBridge& bridge, float preferredScale)
    : m_window(window)
    , m_bridge(bridge)
    , m_preferredScale(preferredScale > 0 ? preferredScale : 2)
    , m_destroyWatch(std::make_unique<DestroyWatch>(*this))
{
    // Below half size nothing on the screen can be read or hit.
    const gfx::Size design = ui::Screen::kDesignSize;
    setMinimumSize(QSize(int(design.width / 2), int(design.height / 2)));
    m_window.setDisplayHandler([this](const gfx::Rect& dirty) { repaintScreen(dirty); });
    ui::Application::sharedApplication().setTextInputHandler([this](ui::TextInputChange change) { textInputDidChange(change); });
    QObject::connect(QGuiApplication::inputMethod(), &QInputMethod::keyboardRectangleChanged, this, [this] { systemKeyboardDidChange(); });
}

HostWindow::~HostWindow()
{
    ui::Application::sharedApplication().setTextInputHandler(nullptr);
    m_window.setDisplayHandler(nullptr);
}

bool HostWindow::bringToFront()
{
    if (m_destroyedOutside || ui::Application::sharedApplication().isTerminating())
        return false;
    if (windowStates() & Qt::WindowMinimized)
        setWindowStates(windowStates() & ~Qt::WindowMinimized);
    if (!isVisible())
        show();
    raise();
    requestActivate();
    return true;
}

void HostWindow::destroyedOutside()
{
    m_destroyedOutside = true;
    foundation::log("The window was destroyed by another program; Parlivo ends as when it is closed");
    // Not inside Qt's event filter: the delegate's shutdown runs from the event loop.
    QMetaObject::invokeMethod(
        this, [] { ui::Application::sharedApplication().terminate(); }, Qt::QueuedConnection);
}

bool HostWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Close:
        // Closing the window ends the application in order first, as Control+Q does.
        ui::Application::sharedApplication().terminate();
        break;
    case QEvent::Move:
        if (windowStates() == Qt::WindowNoState)
            m_normalGeometry = geometry();
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (m_fileDropHandler && drag->mimeData() && !localFiles(*drag->mimeData()).empty())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const auto files = drop->mimeData() ? localFiles(*drop->mimeData()) : std::vector<std::string>();
        if (!m_fileDropHandler || files.empty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        m_fileDropHandler(files);
        return true;
    }
    case QEvent::InputMethodQuery:
        answerInputMethodQuery(static_cast<QInputMethodQueryEvent*>(event));
        return true;
    case QEvent::InputMethod:
        handleInputMethod(static_cast<QInputMethodEvent*>(event));
        return true;
    default:
        break;
    }
    return QRasterWindow::event(event);
}

void HostWindow::answerInputMethodQuery(QInputMethodQueryEvent* query)
{
    // Asked before the first paint: where the screen is drawn is worked out now.
    if (!m_frame)
        updateFrame();
    ui::TextInput* input = m_window.textInput();
    const ui::TextInputState state = input ? input->textInputState() : ui::TextInputState {};
    auto utf16 = [&](std::size_t bytes) { return int(QString::fromUtf8(state.text.data(), qsizetype(std::min(bytes, state.text.size()))).size()); };
    for (unsigned bit = 0; bit < 32; ++bit) {
        const auto which = Qt::InputMethodQuery(1u << bit);
        if (!(query->queries() & which))
            continue;
        switch (which) {
        case Qt::ImEnabled:
            query->setValue(which, input != nullptr);
            break;
        case Qt::ImHints:
            query->setValue(which, int(state.multiline ? Qt::ImhMultiLine : Qt::ImhNone));
            break;
        case Qt::ImCursorRectangle: {
            const gfx::Rect r = state.caretRect;
            query->setValue(which, QRectF(m_screenRect.x() + r.x() * m_scale, m_screenRect.y() + r.y() * m_scale, r.width() * m_scale, r.height() * m_scale));
            break;
        }
        case Qt::ImSurroundingText:
            query->setValue(which, QString::fromStdString(state.text));
            break;
        case Qt::ImCursorPosition:
        case Qt::ImAbsolutePosition:
            query->setValue(which, utf16(state.caret));
            break;
        case Qt::ImAnchorPosition:
            query->setValue(which, utf16(state.anchor));
            break;
        case Qt::ImCurrentSelection: {
            const std::size_t from = std::min(state.caret, state.anchor), to = std::max(state.caret, state.anchor);
            query->setValue(which, QString::fromStdString(state.text.substr(from, to - from)));
            break;
        }
        default:
            break;
        }
    }
    query->accept();
}

void HostWindow::handleInputMethod(QInputMethodEvent* event)
{
    ui::TextInput* input = m_window.textInput();
    if (!input) {
        event->ignore();
        return;
    }
    ui::InputMethodEvent step;
    const QString preedit = event->preeditString();
    step.preedit = preedit.toStdString();
    step.preeditCursor = step.preedit.size();
    for (const auto& attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor)
            step.preeditCursor = std::size_t(preedit.left(std::clamp(attribute.start, 0, int(preedit.size()))).toUtf8().size());
    }
    step.commit = event->commitString().toStdString();
    if (event->replacementLength() > 0 || event->replacementStart() != 0) {
        // Qt counts the replacement in UTF-16 units from the caret; the field in bytes.
        const ui::TextInputState state = input->textInputState();
        const QString text = QString::fromStdString(state.text);
        const int caret = int(QString::fromUtf8(state.text.data(), qsizetype(state.caret)).size());
        const int from = std::clamp(caret + event->replacementStart(), 0, int(text.size()));
        const int to = std::clamp(from + event->replacementLength(), from, int(text.size()));
        step.replacement = std::pair { std::size_t(text.left(from).toUtf8().size()), std::size_t(text.left(to).toUtf8().size()) };
    }
    m_window.sendInputMethodEvent(step);
    event->accept();
    m_bridge.reschedule();
}

void HostWindow::textInputDidChange(ui::TextInputChange change)
{
    QInputMethod* method = QGuiApplication::inputMethod();
    const bool systemKeys = ui::Application::sharedApplication().keyboardKind() == ui::KeyboardKind::System;
    switch (change) {
    case ui::TextInputChange::Began:
        method->update(Qt::ImQueryAll);
        if (systemKeys)
            method->show();
        return;
    case ui::TextInputChange::Changed:
        method->update(Qt::ImQueryInput | Qt::ImCursorRectangle);
        return;
    case ui::TextInputChange::Ended:
        // The field kept what was being composed; the input method starts afresh.
        method->reset();
        if (systemKeys)
            method->hide();
        method->update(Qt::ImQueryAll);
        return;
    }
}

void HostWindow::systemKeyboardDidChange()
{
    if (m_scale <= 0)
        return;
    const QRectF keys = QGuiApplication::inputMethod()->keyboardRectangle();
    ui::Application::sharedApplication().setSystemKeyboardHeight(QGuiApplication::inputMethod()->isVisible() ? float(keys.height() / m_scale) : 0);
    m_bridge.reschedule();
}

void HostWindow::updateFrame()
{
    const double ratio = devicePixelRatio();
    const ScreenFit fit = screenFitForWindow({ float(width()), float(height()) }, m_preferredScale);
    const gfx::Rect rect(0, 0, fit.points.width * fit.scale, fit.points.height * fit.scale);
    if (m_frame && rect == m_screenRect && ratio == m_pixelRatio && fit.points == ui::Screen::mainScreen().bounds().size)
        return;
    m_screenRect = rect;
    m_pixelRatio = ratio;
    m_scale = fit.scale;
    // The views lay themselves out for the new size before this frame is drawn, so a resize
    // never shows the old layout stretched.
    ui::Screen::mainScreen().setSize(fit.points);
    const gfx::Rect screen = ui::Screen::mainScreen().bounds();
    const float pixelsPerPoint = float(m_scale * ratio);
    const int pixelWidth = std::max(1, int(std::lround(screen.width() * pixelsPerPoint)));
    const int pixelHeight = std::max(1, int(std::lround(screen.height() * pixelsPerPoint)));
    m_frame = gfx::BitmapContext::create(pixelWidth, pixelHeight, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    if (m_frame) {
        m_frame->scaleCTM(pixelWidth / screen.width(), pixelHeight / screen.height());
        m_window.layoutIfNeeded();
        m_window.drawScreen(*m_frame, screen);
    }
    update();
}

void HostWindow::resizeEvent(QResizeEvent* event)
{
    QRasterWindow::resizeEvent(event);
    if (windowStates() == Qt::WindowNoState)
        m_normalGeometry = geometry();
    updateFrame();
}

void HostWindow::repaintScreen(const gfx::Rect& dirty)
{
    // A window destroyed from outside has nothing left to paint on.
    if (m_destroyedOutside)
        return;
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
    if (m_destroyedOutside)
        return;
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

QAccessibleInterface* HostWindow::accessibleRoot() const
{
    return QAccessible::queryAccessibleInterface(const_cast<HostWindow*>(this));
}

QRectF HostWindow::fromPoints(const gfx::Rect& rect) const
{
    const gfx::Rect r = rect.standardized();
    return { m_screenRect.x() + double(r.x()) * m_scale, m_screenRect.y() + double(r.y()) * m_scale, double(r.width()) * m_scale,
        double(r.height()) * m_scale };
}

gfx::Point HostWindow::toPoints(const QPointF& position) const
{
    if (m_scale <= 0)
        return {};
    return { float((position.x() - m_screenRect.x()) / m_scale), float((position.y() - m_screenRect.y()) / m_scale) };
}

void HostWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        m_window.sendMiddleClick(toPoints(event->position()));
        m_bridge.reschedule();
        return;
    }
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
    command.shift = modifiers & Qt::ShiftModifier;
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
        // Shift+Left extends a selection, Shift+Tab goes back: with a modifier, a command.
        if (command.control || command.alt || command.shift) {
            command.key = special;
            m_window.sendKeyCommand(command);
        } else
            m_window.sendKey(*special);
    } else if ((command.control || command.alt) && ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))) {
        // With Control the text is a control character; the key says which it was.
        command.character = std::string(1, char(key >= Qt::Key_A ? 'a' + (key - Qt::Key_A) : '0' + (key - Qt::Key_0)));
        m_window.sendKeyCommand(command);
    } else if ((command.control || command.alt) && key == Qt::Key_Comma) {
        // Control+, (the desktop's preferences) comes with a control character or none.
        command.character = std::string(1, ',');
        m_window.sendKeyCommand(command);
    } else if (!text.isEmpty() && text.at(0).isPrint()) {
        // Typed text for a text field being edited, else a shortcut. Shift is part of the
        // text typed; composed text (a dead key, a compose sequence) comes whole.
        command.character = text.toStdString();
        command.shift = false;
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
