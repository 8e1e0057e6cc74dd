#include "ui/Window.h"

#include "ui/Application.h"
#include "ui/FrameClock.h"
#include "ui/KeyboardHelpView.h"
#include "ui/Keyboard.h"
#include "ui/Screen.h"
#include "ui/ViewController.h"

#include "foundation/RunLoop.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

namespace ui {

namespace {

Window* g_keyWindow = nullptr;

std::vector<Window*>& allWindows()
{
    static std::vector<Window*> windows;
    return windows;
}

constexpr double kDoubleTapInterval = 0.35;
constexpr float kDoubleTapDistance = 10;

} // namespace

Window::Window(const gfx::Rect& frame)
    : View(frame)
    , m_statusBar(*this)
{
    allWindows().push_back(this);
}

Window::~Window()
{
    std::erase(allWindows(), this);
    if (g_keyWindow == this)
        g_keyWindow = nullptr;
}

Window* Window::keyWindow()
{
    return g_keyWindow;
}

void Window::resetKeyWindow()
{
    g_keyWindow = nullptr;
}

void Window::makeKeyAndVisible()
{
    g_keyWindow = this;
    if (!m_visible) {
        m_visible = true;
        m_statusBar.setShown(true);
        // The screens whose views are already in the window come on screen now.
        for (auto& subview : std::vector<std::shared_ptr<View>>(subviews()))
            ViewController::windowDidShowView(*subview);
    }
    setNeedsLayout();
    setNeedsDisplayInWindowRect(Screen::mainScreen().bounds().united(frame()));
}

void Window::screenDidChangeSize(const gfx::Rect& old)
{
    const gfx::Rect screen = Screen::mainScreen().bounds();
    for (Window* window : std::vector<Window*>(allWindows())) {
        if (window->frame() != old)
            continue;
        window->setFrame(screen);
        window->setNeedsLayout();
        window->setNeedsDisplayInWindowRect(screen);
    }
}

Responder* Window::firstResponder() const
{
    return m_firstResponder.lock().get();
}

void Window::setFirstResponder(Responder* responder)
{
    m_firstResponder = responder ? responder->weak_from_this() : std::weak_ptr<Responder>();
    if (auto* view = dynamic_cast<View*>(responder))
        announceAccessibilityChange(*view, AccessibilityChange::Focus);
}

void Window::setNeedsDisplayInWindowRect(const gfx::Rect& rect)
{
    if (!m_visible)
        return;
    if (rect.isEmpty())
        m_needsFrame = true;
    else
        m_dirty = m_dirty ? m_dirty->united(rect) : rect.standardized();
    FrameClock::shared().request();
}

void Window::displayIfNeeded()
{
    if (!needsDisplay())
        return;
    layoutIfNeeded();
    m_needsFrame = false;
    if (!m_dirty)
        return;
    // Whole pixels at any scale: a partly covered pixel is repainted entirely.
    gfx::Rect dirty = m_dirty->integral().intersection(Screen::mainScreen().bounds());
    m_dirty.reset();
    if (dirty.isEmpty())
        return;
    ++m_displayCount;
    if (m_displayHandler) {
        auto handler = m_displayHandler;
        handler(dirty);
    }
}

void Window::displayAllIfNeeded()
{
    for (Window* window : std::vector<Window*>(allWindows()))
        window->displayIfNeeded();
}

bool Window::anyNeedsDisplay()
{
    return std::any_of(allWindows().begin(), allWindows().end(), [](Window* w) { return w->needsDisplay(); });
}

namespace {

bool isRectilinear(const gfx::AffineTransform& t)
{
    return t.b == 0 && t.c == 0;
}

// Whether some view fills area (window coordinates) with an opaque background of its own, so
// nothing drawn below it there can show (a scrolling list repaints only itself).
bool isCoveredOpaquely(const View& root, const gfx::Rect& area)
{
    const View* view = &root;
    for (;;) {
        const View* inside = nullptr;
        const auto& subviews = view->subviews();
        for (auto it = subviews.rbegin(); it != subviews.rend() && !inside; ++it) {
            const View& subview = **it;
            if (subview.isHidden() || subview.presentedAlpha() < 1 || !isRectilinear(subview.presentedTransform()))
                continue;
            const gfx::Rect frame = subview.convertRectToView(subview.presentedBounds(), nullptr);
            if (frame.intersects(area)) {
                // The frontmost subview touching the area decides: if it does not cover all
                // of it, what lies under the rest is unknown.
                if (frame.intersection(area) != area || subview.isAnimating())
                    return false;
                inside = &subview;
            }
        }
        if (!inside)
            return false;
        if (auto color = inside->presentedBackgroundColor(); color && color->alpha >= 1)
            return true;
        view = inside;
    }
}

} // namespace

void Window::drawScreen(gfx::Context& context, const std::optional<gfx::Rect>& dirty)
{
    context.saveGState();
    gfx::Rect area = dirty.value_or(Screen::mainScreen().bounds());
    if (dirty)
        context.clipToRect(*dirty);
    // The screen under every window is black.
    if (!isCoveredOpaquely(*this, area))
        context.fillRect(area, gfx::Color::black());
    drawInSuperviewSpace(context, dirty);
    if (!Screen::mainScreen().isStatusBarHidden() && area.minY() < Screen::kStatusBarHeight)
        m_statusBar.draw(context);
    context.restoreGState();
}

namespace {

void deliver(View& view, TouchPhase phase, const Event& event)
{
    switch (phase) {
    case TouchPhase::Began:
        view.touchesBegan(event.touches, event);
        break;
    case TouchPhase::Moved:
    case TouchPhase::Stationary:
        view.touchesMoved(event.touches, event);
        break;
    case TouchPhase::Ended:
        view.touchesEnded(event.touches, event);
        break;
    case TouchPhase::Cancelled:
        view.touchesCancelled(event.touches, event);
        break;
    }
}

} // namespace

void Window::sendTouch(int id, TouchPhase phase, gfx::Point location)
{
    const double now = foundation::RunLoop::main().now();
    std::shared_ptr<Touch> touch;
    if (phase == TouchPhase::Began) {
        m_touches.erase(id);
        View* hit = hitTest(convertPointFromSuperview(location));
        if (!hit)
            return;
        bool again = m_lastTapTime >= 0 && now - m_lastTapTime <= kDoubleTapInterval
            && std::hypot(location.x - m_lastTapLocation.x, location.y - m_lastTapLocation.y) <= kDoubleTapDistance;
        m_tapCount = again ? m_tapCount + 1 : 1;
        touch = std::make_shared<Touch>(hit->sharedView(), this, location, now, m_tapCount);
        for (View* v = hit; v; v = v->superview())
            if (v->watchesTouches())
                touch->m_watchers.push_back(v->sharedView());
        m_touches[id] = touch;
        m_focusedView = hit->sharedView();
    } else {
        auto it = m_touches.find(id);
        if (it == m_touches.end())
            return;
        touch = it->second;
        touch->update(phase, location, now);
        if (phase == TouchPhase::Ended || phase == TouchPhase::Cancelled) {
            m_touches.erase(it);
            m_lastTapTime = now;
            m_lastTapLocation = location;
        }
    }
    dispatchTouch(touch, phase, Event { { touch }, now });
}

void Window::dispatchTouch(const std::shared_ptr<Touch>& touch, TouchPhase phase, const Event& event)
{
    // The views are kept alive through their handlers, which may remove them.
    std::shared_ptr<View> view = touch->view();
    if (!touch->m_takenOver) {
        for (const auto& weakWatcher : std::vector<std::weak_ptr<View>>(touch->m_watchers)) {
            auto watcher = weakWatcher.lock();
            if (!watcher || !watcher->shouldTakeOverTouch(*touch, event))
                continue;
            touch->m_takenOver = true;
            touch->m_watchers.clear();
            touch->m_view = watcher;
            if (watcher != view && phase != TouchPhase::Began) {
                touch->m_phase = TouchPhase::Cancelled;
                view->touchesCancelled(event.touches, Event { event.touches, event.timestamp, watcher.get() });
                touch->m_phase = phase;
            }
            view = watcher;
            break;
        }
    }
    deliver(*view, phase, event);
}

void Window::didAddSubview(View* subview)
{
    if (m_visible)
        ViewController::windowDidShowView(*subview);
}

void Window::willRemoveSubview(View* subview)
{
    if (m_visible)
        ViewController::windowWillHideView(*subview);
}

Keyboard& Window::keyboard()
{
    if (!m_keyboard)
        m_keyboard = std::make_shared<Keyboard>(*this);
    return *m_keyboard;
}

namespace {

int levelIn(const std::vector<std::pair<const View*, int>>& levels, const View* view)
{
    for (const auto& [v, level] : levels)
        if (v == view)
            return level;
    return 0;
}

} // namespace

void Window::addContentView(const std::shared_ptr<View>& view)
{
    addOverlayView(view, 0);
}

void Window::addOverlayView(const std::shared_ptr<View>& view, int level)
{
    if (!view)
        return;
    // Levels of views that have left the window no longer matter.
    std::erase_if(m_overlayLevels, [&](const auto& entry) {
        return entry.first == view.get() || std::none_of(subviews().begin(), subviews().end(), [&](const auto& s) { return s.get() == entry.first; });
    });
    size_t index = 0;
    const auto& list = subviews();
    for (; index < list.size(); ++index)
        if (list[index].get() != view.get() && levelIn(m_overlayLevels, list[index].get()) > level)
            break;
    insertSubviewAtIndex(view, index);
    if (level > 0)
        m_overlayLevels.emplace_back(view.get(), level);
}

void Window::sendText(const std::string& text)
{
    if (auto responder = m_firstResponder.lock())
        responder->insertText(text);
}

std::shared_ptr<View> Window::keyTarget()
{
    ViewController* shown = ViewController::shownController(*this);
    std::shared_ptr<View> screen = shown && shown->isViewLoaded() ? shown->view() : nullptr;
    // A click on a bar (a tab, Back) or on a screen that has gone must not take the keys away
    // from the screen shown: only a view inside it keeps them.
    auto view = m_focusedView.lock();
    if (view && view->window() == this && !view->isHidden() && (!screen || view->isDescendantOfView(screen.get())))
        return view;
    return screen;
}

void Window::sendKey(Key key)
{
    if (auto responder = m_firstResponder.lock()) {
        responder->keyPressed(key);
        return;
    }
    // The list of shortcuts takes Escape to close and keeps other keys from the screen under it.
    if (m_keyboardHelp.lock()) {
        if (key == Key::Escape)
            toggleKeyboardHelp();
        return;
    }
    if (auto view = keyTarget())
        view->keyPressed(key);
}

bool Window::sendKeyCommand(const KeyCommand& command)
{
    if (auto responder = m_firstResponder.lock()) {
        // While a responder takes typed text, characters are text and keys edit it (its own
        // commands: selection, clipboard, undo); no screen's shortcut acts, only the
        // application's own (Control+Q).
        if (!command.control && !command.alt && !command.character.empty()) {
            responder->insertText(command.character);
            return true;
        }
        if (responder->performKeyCommand(command))
            return true;
        if (!command.control && !command.alt && command.key) {
            responder->keyPressed(*command.key);
            return true;
        }
        return Application::sharedApplication().performKeyCommand(command);
    }
    // Shortcuts are the same with Shift or Caps Lock.
    KeyCommand lowered = command;
    for (char& c : lowered.character)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const bool help = lowered.is(Key::Help) || lowered.is("?");
    if (!help) {
        // While the list shows, the screen under it takes no shortcuts.
        if (!m_keyboardHelp.lock()) {
            auto view = keyTarget();
            if (view && view->performKeyCommand(lowered))
                return true;
        }
        if (Application::sharedApplication().performKeyCommand(lowered))
            return true;
        // Shift with a key that is no shortcut is the key itself (Shift+Return chooses a row).
        if (lowered.key && lowered.shift && !lowered.control && !lowered.alt) {
            sendKey(*lowered.key);
            return true;
        }
        return false;
    }
    toggleKeyboardHelp();
    return true;
}

TextInput* Window::textInput() const
{
    return dynamic_cast<TextInput*>(m_firstResponder.lock().get());
}

void Window::sendInputMethodEvent(const InputMethodEvent& event)
{
    auto responder = m_firstResponder.lock();
    if (auto* input = dynamic_cast<TextInput*>(responder.get()))
        input->handleInputMethodEvent(event);
}

void Window::sendMiddleClick(gfx::Point location)
{
    View* hit = hitTest(convertPointFromSuperview(location));
    if (!hit)
        return;
    std::shared_ptr<View> view = hit->sharedView();
    if (auto* input = dynamic_cast<TextInput*>(view.get()))
        input->pastePrimarySelectionAtPoint(location);
}

void Window::toggleKeyboardHelp()
{
    if (auto shown = m_keyboardHelp.lock()) {
        shown->removeFromSuperview();
        m_keyboardHelp.reset();
        return;
    }
    auto help = std::make_shared<KeyboardHelpView>();
    addOverlayView(help, kAlertLevel);
    m_keyboardHelp = help;
}

void Window::sendWheel(gfx::Point location, gfx::Point delta, WheelPhase phase)
{
    View* hit = hitTest(convertPointFromSuperview(location));
    if (!hit)
        return;
    std::shared_ptr<View> view = hit->sharedView();
    view->scrollWheel(WheelEvent { delta, phase, location, foundation::RunLoop::main().now() });
}

} // namespace ui
