#include "ui/Window.h"

#include "ui/Appearance.h"
#include "ui/Application.h"
#include "ui/Control.h"
#include "ui/FrameClock.h"
#include "ui/KeyboardHelpView.h"
#include "ui/Keyboard.h"
#include "ui/PopupView.h"
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
    // While the keys move the focus, a field that starts editing (the studio's title) has it.
    auto* view = dynamic_cast<View*>(responder);
    if (view && dynamic_cast<TextInput*>(responder) && m_keyboardFocus.lock() && view->canBecomeKeyboardFocus()) {
        m_keyboardFocus = view->sharedView();
        setNeedsDisplayInWindowRect({});
    }
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
    // The ring is painted over everything: where it was and where it is now are repainted
    // whenever it moves (a row selected, a view animating, the focus gone).
    const auto ring = focusRingRect();
    if (ring != m_paintedRing) {
        const float reach = kFocusRingWidth + 2;
        for (const auto& r : { m_paintedRing, ring })
            if (r)
                m_dirty = m_dirty ? m_dirty->united(r->insetBy(-reach, -reach)) : r->insetBy(-reach, -reach);
        m_paintedRing = ring;
    }
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
    drawFocusRing(context);
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
        // A click puts the keys back with the pointer: the ring goes.
        if (m_keyboardFocus.lock()) {
            m_keyboardFocus.reset();
            setNeedsDisplayInWindowRect({});
        }
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
    // Nothing typed while an alert or a sheet is up lands behind it.
    if (frontPopup())
        return;
    if (auto responder = m_firstResponder.lock())
        responder->insertText(text);
}

std::shared_ptr<View> Window::keyTarget()
{
    if (View* focus = keyboardFocus())
        return focus->sharedView();
    ViewController* shown = ViewController::shownController(*this);
    std::shared_ptr<View> screen = shown && shown->isViewLoaded() ? shown->view() : nullptr;
    // A click on a bar (a tab, Back) or on a screen that has gone must not take the keys away
    // from the screen shown: only a view inside it keeps them.
    auto view = m_focusedView.lock();
    if (view && view->window() == this && !view->isHidden() && (!screen || view->isDescendantOfView(screen.get())))
        return view;
    return screen;
}

std::shared_ptr<View> Window::screenBehindFocus()
{
    View* focus = keyboardFocus();
    ViewController* shown = ViewController::shownController(*this);
    std::shared_ptr<View> screen = shown && shown->isViewLoaded() ? shown->view() : nullptr;
    if (!focus || !screen || focus == screen.get() || focus->isDescendantOfView(screen.get()))
        return nullptr;
    return screen;
}

void Window::keyPressed(Key key)
{
    if (auto screen = std::exchange(m_passKeysToScreen, nullptr))
        screen->keyPressed(key);
}

bool Window::performKeyCommand(const KeyCommand& command)
{
    if (auto screen = std::exchange(m_passKeysToScreen, nullptr))
        return screen->performKeyCommand(command);
    return false;
}

void Window::sendKey(Key key)
{
    // An alert or a sheet takes every key; nothing behind it sees one.
    if (PopupView* popup = frontPopup()) {
        auto keep = popup->sharedView();
        if (key == Key::Tab)
            moveKeyboardFocus(false);
        else
            popup->keyPressed(key);
        return;
    }
    if (key == Key::Tab) {
        moveKeyboardFocus(false);
        return;
    }
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
    if (auto view = keyTarget()) {
        m_passKeysToScreen = screenBehindFocus();
        view->keyPressed(key);
        m_passKeysToScreen.reset();
    }
}

bool Window::sendKeyCommand(const KeyCommand& command)
{
    const bool plain = !command.control && !command.alt;
    if (PopupView* popup = frontPopup()) {
        auto keep = popup->sharedView();
        if (plain) {
            if (command.key == Key::Tab)
                moveKeyboardFocus(command.shift);
            else if (command.character == " ") {
                if (auto* button = dynamic_cast<Control*>(keyboardFocus()))
                    button->pressFromKeyboard();
            } else if (command.key)
                popup->keyPressed(*command.key);
            return true;
        }
        // The application's own commands still act (Control+Q).
        KeyCommand lowered = command;
        for (char& c : lowered.character)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        Application::sharedApplication().performKeyCommand(lowered);
        return true;
    }
    if (plain && command.key == Key::Tab) {
        moveKeyboardFocus(command.shift);
        return true;
    }
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
            m_passKeysToScreen = view ? screenBehindFocus() : nullptr;
            const bool taken = view && view->performKeyCommand(lowered);
            m_passKeysToScreen.reset();
            if (taken)
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
    if (frontPopup())
        return;
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

// Keyboard focus

PopupView* Window::frontPopup() const
{
    const auto& list = subviews();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (auto* popup = dynamic_cast<PopupView*>(it->get()); popup && popup->isVisible())
            return popup;
    return nullptr;
}

bool Window::isReachable(View& view)
{
    // The middle and four inner points: a control half under another view is still reached.
    const gfx::Rect b = view.bounds();
    const float xs[] = { 0.5f, 0.25f, 0.75f };
    for (float fx : xs) {
        for (float fy : xs) {
            if ((fx == 0.5f) != (fy == 0.5f))
                continue;
            const gfx::Point inWindow = view.convertPointToView({ b.minX() + b.width() * fx, b.minY() + b.height() * fy }, nullptr);
            View* hit = hitTest(inWindow);
            if (hit && (hit == &view || hit->isDescendantOfView(&view)))
                return true;
        }
    }
    return false;
}

View* Window::keyboardFocus()
{
    auto view = m_keyboardFocus.lock();
    if (!view || view->window() != this || !view->canBecomeKeyboardFocus() || !isReachable(*view))
        return nullptr;
    return view.get();
}

namespace {

void collectFocusable(View& view, std::vector<View*>& found)
{
    for (const auto& subview : view.subviews()) {
        if (subview->isHidden())
            continue;
        if (subview->canBecomeKeyboardFocus())
            found.push_back(subview.get());
        // A control's parts (a field's clear button) are the control's own.
        if (!dynamic_cast<Control*>(subview.get()))
            collectFocusable(*subview, found);
    }
}

} // namespace

std::vector<View*> Window::keyboardFocusOrder()
{
    std::vector<View*> candidates;
    collectFocusable(*this, candidates);
    struct Stop {
        View* view;
        gfx::Rect frame;
    };
    std::vector<Stop> stops;
    for (View* view : candidates)
        if (isReachable(*view))
            stops.push_back({ view, view->convertRectToView(view->bounds(), nullptr) });
    std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) { return a.frame.minY() < b.frame.minY(); });
    // Rows: views that share at least half the height of the taller one stand side by side
    // and are read from left to right; a view inside a large one (a switch in a list) is not
    // beside it but below its top.
    std::vector<View*> order;
    for (size_t start = 0; start < stops.size();) {
        size_t end = start + 1;
        const gfx::Rect& first = stops[start].frame;
        while (end < stops.size()) {
            const gfx::Rect& r = stops[end].frame;
            const float overlap = std::min(first.maxY(), r.maxY()) - std::max(first.minY(), r.minY());
            if (overlap < std::max(first.height(), r.height()) * 0.5f)
                break;
            ++end;
        }
        std::stable_sort(stops.begin() + long(start), stops.begin() + long(end), [](const Stop& a, const Stop& b) { return a.frame.minX() < b.frame.minX(); });
        for (size_t i = start; i < end; ++i)
            order.push_back(stops[i].view);
        start = end;
    }
    return order;
}

bool Window::setKeyboardFocus(View* view)
{
    if (view && (view->window() != this || !view->canBecomeKeyboardFocus()))
        return false;
    auto keepView = view ? view->sharedView() : nullptr;
    // A field behind an alert keeps its editing while the alert's buttons have the focus.
    PopupView* popup = frontPopup();
    const bool intoPopup = view && popup && view->isDescendantOfView(popup);
    if (auto responder = m_firstResponder.lock(); !intoPopup && responder && responder.get() != view && !responder->resignFirstResponder())
        return false;
    m_keyboardFocus = keepView;
    if (view)
        announceAccessibilityChange(*view, AccessibilityChange::Focus);
    // Only a view that takes typed text: a list made first responder would swallow shortcuts.
    if (view && dynamic_cast<TextInput*>(view) && !view->isFirstResponder())
        view->becomeFirstResponder();
    setNeedsDisplayInWindowRect({});
    return true;
}

bool Window::moveKeyboardFocus(bool backward)
{
    const auto order = keyboardFocusOrder();
    if (order.empty())
        return false;
    // From the focus, else from a field being edited (clicked into), else from an end.
    View* from = keyboardFocus();
    if (!from)
        from = dynamic_cast<View*>(m_firstResponder.lock().get());
    auto it = std::find(order.begin(), order.end(), from);
    size_t index;
    if (it == order.end())
        index = backward ? order.size() - 1 : 0;
    else {
        const size_t at = size_t(it - order.begin());
        index = backward ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
    }
    return setKeyboardFocus(order[index]);
}

std::optional<gfx::Rect> Window::focusRingRect()
{
    View* view = keyboardFocus();
    if (!view)
        return std::nullopt;
    const gfx::Rect area = view->visibleRectInWindow(view->keyboardFocusRect(), true);
    if (area.isEmpty())
        return std::nullopt;
    return area.insetBy(-kFocusRingOutset, -kFocusRingOutset).integral();
}

void Window::drawFocusRing(gfx::Context& context)
{
    const auto ring = focusRingRect();
    if (!ring)
        return;
    // The screens' blue selection, as a glowing rounded line round the control.
    const float radius = std::min(ring->height() * 0.5f, 9.0f);
    const gfx::Rect line = ring->insetBy(kFocusRingWidth * 0.5f, kFocusRingWidth * 0.5f);
    context.strokePath(roundedRectPath(line, std::max(radius - kFocusRingWidth * 0.5f, 1.0f)), gfx::Color::rgba(0.20f, 0.50f, 1.0f, 0.35f), kFocusRingWidth + 3);
    context.strokePath(roundedRectPath(line, std::max(radius - kFocusRingWidth * 0.5f, 1.0f)), gfx::Color::rgba(0.35f, 0.66f, 1.0f), kFocusRingWidth);
    context.strokePath(roundedRectPath(line.insetBy(-kFocusRingWidth * 0.5f - 0.5f, -kFocusRingWidth * 0.5f - 0.5f), radius + 1), gfx::Color::grey(0, 0.25f), 1);
}

} // namespace ui
