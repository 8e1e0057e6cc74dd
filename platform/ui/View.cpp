#include "ui/View.h"

#include "ui/FrameClock.h"
#include "ui/Screen.h"
#include "ui/ViewAnimator.h"
#include "ui/Window.h"

#include "foundation/Log.h"

#include <algorithm>
#include <cmath>

namespace ui {

View::View(const gfx::Rect& frame)
{
    gfx::Rect f = frame.standardized();
    m_bounds = gfx::Rect(0, 0, f.width(), f.height());
    m_center = f.center();
}

View::~View()
{
    for (auto& subview : m_subviews)
        subview->m_superview = nullptr;
}

// Accessibility

void View::setAccessibilityName(std::string name)
{
    if (name == m_accessibilityName)
        return;
    m_accessibilityName = std::move(name);
    announceAccessibilityChange(*this, AccessibilityChange::Name);
}

void View::fillAccessibilityData(AccessibilityData&) const
{
}

void View::fillAccessibilityPartData(int, AccessibilityData&) const
{
}

gfx::Rect View::accessibilityPartFrame(int) const
{
    return {};
}

std::vector<View*> View::accessibilityChildViews() const
{
    // Front to back: a modal sibling hides everything behind it, an opaque one what it covers.
    std::vector<View*> kept;
    std::vector<const View*> covers;
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        View* view = it->get();
        if (!isShownForAccessibility(*view))
            continue;
        const gfx::Rect frame = view->frame();
        if (std::any_of(covers.begin(), covers.end(), [&](const View* cover) { return cover->frame().intersection(frame) == frame.standardized(); }))
            continue;
        kept.push_back(view);
        AccessibilityData data;
        view->fillAccessibilityData(data);
        if (data.has(AccessibilityStateModal))
            break;
        if (view->m_backgroundColor && view->m_backgroundColor->alpha >= 1 && view->m_alpha >= 1 && !frame.isEmpty())
            covers.push_back(view);
    }
    // Reading order: lines from the top, a view joining the line whose first view spans its
    // middle; each line from the left.
    std::stable_sort(kept.begin(), kept.end(), [](const View* a, const View* b) { return a->frame().minY() < b->frame().minY(); });
    std::vector<View*> ordered;
    for (size_t start = 0; start < kept.size();) {
        const gfx::Rect first = kept[start]->frame();
        size_t end = start + 1;
        while (end < kept.size() && kept[end]->frame().midY() < first.maxY())
            ++end;
        std::stable_sort(kept.begin() + long(start), kept.begin() + long(end),
            [](const View* a, const View* b) { return a->frame().minX() < b->frame().minX(); });
        ordered.insert(ordered.end(), kept.begin() + long(start), kept.begin() + long(end));
        start = end;
    }
    return ordered;
}

bool View::performAccessibilityAction(AccessibilityAction, int)
{
    return false;
}

bool View::setAccessibilityValue(float)
{
    return false;
}

bool View::setAccessibilityText(const std::string&)
{
    return false;
}

// Geometry

gfx::Rect View::frame() const
{
    return toSuperviewTransform(false).apply(m_bounds);
}

void View::setFrame(const gfx::Rect& frame)
{
    gfx::Rect f = frame.standardized();
    setCenter(f.center());
    setBounds(gfx::Rect(m_bounds.origin, f.size));
}

void View::setBounds(const gfx::Rect& bounds)
{
    gfx::Rect b = bounds.standardized();
    if (b == m_bounds)
        return;
    invalidateCoveredArea();
    ViewAnimator::shared().propertyWillChange(*this, AnimatedProperty::Bounds, presentedBounds());
    gfx::Size oldSize = m_bounds.size;
    m_bounds = b;
    if (oldSize != b.size) {
        resizeSubviews(oldSize);
        setNeedsLayout();
    }
    invalidateCoveredArea();
}

void View::setCenter(gfx::Point center)
{
    if (center == m_center)
        return;
    invalidateCoveredArea();
    ViewAnimator::shared().propertyWillChange(*this, AnimatedProperty::Center, presentedCenter());
    m_center = center;
    invalidateCoveredArea();
}

void View::setTransform(const gfx::AffineTransform& transform)
{
    if (transform == m_transform)
        return;
    invalidateCoveredArea();
    ViewAnimator::shared().propertyWillChange(*this, AnimatedProperty::Transform, presentedTransform());
    m_transform = transform;
    invalidateCoveredArea();
}

void View::setAlpha(float alpha)
{
    alpha = std::clamp(alpha, 0.0f, 1.0f);
    if (alpha == m_alpha)
        return;
    ViewAnimator::shared().propertyWillChange(*this, AnimatedProperty::Alpha, presentedAlpha());
    m_alpha = alpha;
    invalidateCoveredArea();
}

void View::setBackgroundColor(std::optional<gfx::Color> color)
{
    if (color == m_backgroundColor)
        return;
    ViewAnimator::shared().propertyWillChange(*this, AnimatedProperty::BackgroundColor, presentedBackgroundColor().value_or(gfx::Color::clear()));
    m_backgroundColor = color;
    setNeedsDisplay();
}

gfx::Point View::presentedCenter() const
{
    return std::get<gfx::Point>(ViewAnimator::shared().presented(*this, AnimatedProperty::Center, m_center));
}

gfx::Rect View::presentedBounds() const
{
    return std::get<gfx::Rect>(ViewAnimator::shared().presented(*this, AnimatedProperty::Bounds, m_bounds));
}

gfx::AffineTransform View::presentedTransform() const
{
    return std::get<gfx::AffineTransform>(ViewAnimator::shared().presented(*this, AnimatedProperty::Transform, m_transform));
}

float View::presentedAlpha() const
{
    return std::get<float>(ViewAnimator::shared().presented(*this, AnimatedProperty::Alpha, m_alpha));
}

std::optional<gfx::Color> View::presentedBackgroundColor() const
{
    if (!m_animation)
        return m_backgroundColor;
    auto color = std::get<gfx::Color>(ViewAnimator::shared().presented(*this, AnimatedProperty::BackgroundColor, m_backgroundColor.value_or(gfx::Color::clear())));
    if (!m_backgroundColor && color.alpha == 0)
        return std::nullopt;
    return color;
}

bool View::isAnimating() const
{
    return m_animation != nullptr;
}

void View::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    invalidateCoveredArea();
    m_hidden = hidden;
    invalidateCoveredArea();
    if (m_superview)
        announceAccessibilityChange(*m_superview, AccessibilityChange::Children);
}

void View::setClipsToBounds(bool clips)
{
    if (clips == m_clipsToBounds)
        return;
    invalidateCoveredArea();
    m_clipsToBounds = clips;
}

void View::setUserInteractionEnabled(bool enabled)
{
    m_userInteractionEnabled = enabled;
}

std::shared_ptr<View> View::viewWithTag(int tag)
{
    if (m_tag == tag)
        return sharedView();
    for (auto& subview : m_subviews)
        if (auto found = subview->viewWithTag(tag))
            return found;
    return nullptr;
}

// Hierarchy

void View::addSubview(const std::shared_ptr<View>& view)
{
    insertSubviewAtIndex(view, m_subviews.size());
}

void View::insertSubviewAtIndex(const std::shared_ptr<View>& view, size_t index)
{
    if (!view)
        return;
    if (view.get() == this || isDescendantOfView(view.get())) {
        foundation::log("Refused to add a view to itself or to one of its own subviews");
        return;
    }
    // Keeps the view alive while it leaves its old superview.
    std::shared_ptr<View> keep = view;
    if (view->m_superview == this) {
        auto& list = m_subviews;
        auto it = std::find(list.begin(), list.end(), view);
        size_t old = size_t(it - list.begin());
        list.erase(it);
        if (index > old)
            --index;
        list.insert(list.begin() + long(std::min(index, list.size())), view);
        view->invalidateCoveredArea();
        return;
    }
    if (view->m_superview)
        view->removeFromSuperview();
    insertSubview(view, std::min(index, m_subviews.size()));
}

void View::insertSubview(const std::shared_ptr<View>& view, size_t index)
{
    Window* oldWindow = view->window();
    view->willMoveToSuperview(this);
    m_subviews.insert(m_subviews.begin() + long(index), view);
    view->setSuperview(this);
    view->didMoveToSuperview();
    if (view->window() != oldWindow)
        view->notifyMovedToWindow();
    didAddSubview(view.get());
    view->invalidateCoveredArea();
    announceAccessibilityChange(*this, AccessibilityChange::Children);
}

void View::insertSubviewAboveSubview(const std::shared_ptr<View>& view, const View* sibling)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](const auto& v) { return v.get() == sibling; });
    insertSubviewAtIndex(view, it == m_subviews.end() ? m_subviews.size() : size_t(it - m_subviews.begin()) + 1);
}

void View::insertSubviewBelowSubview(const std::shared_ptr<View>& view, const View* sibling)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](const auto& v) { return v.get() == sibling; });
    insertSubviewAtIndex(view, it == m_subviews.end() ? 0 : size_t(it - m_subviews.begin()));
}

void View::bringSubviewToFront(const View* view)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](const auto& v) { return v.get() == view; });
    if (it == m_subviews.end())
        return;
    std::rotate(it, it + 1, m_subviews.end());
    m_subviews.back()->invalidateCoveredArea();
}

void View::sendSubviewToBack(const View* view)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](const auto& v) { return v.get() == view; });
    if (it == m_subviews.end())
        return;
    std::rotate(m_subviews.begin(), it, it + 1);
    m_subviews.front()->invalidateCoveredArea();
}

void View::removeFromSuperview()
{
    View* parent = m_superview;
    if (!parent)
        return;
    // The superview's reference may be the last one; keep the view until this returns.
    std::shared_ptr<View> keep = sharedView();
    invalidateCoveredArea();
    Window* oldWindow = window();
    if (oldWindow) {
        auto* first = dynamic_cast<View*>(oldWindow->firstResponder());
        if (first && first->isDescendantOfView(this))
            first->resignFirstResponder();
    }
    parent->willRemoveSubview(this);
    willMoveToSuperview(nullptr);
    auto& list = parent->m_subviews;
    list.erase(std::find_if(list.begin(), list.end(), [&](const auto& v) { return v.get() == this; }));
    setSuperview(nullptr);
    didMoveToSuperview();
    if (oldWindow)
        notifyMovedToWindow();
    announceAccessibilityChange(*parent, AccessibilityChange::Children);
}

void View::setSuperview(View* superview)
{
    m_superview = superview;
}

void View::notifyMovedToWindow()
{
    didMoveToWindow();
    for (auto& subview : std::vector<std::shared_ptr<View>>(m_subviews))
        subview->notifyMovedToWindow();
}

bool View::isDescendantOfView(const View* view) const
{
    for (const View* v = this; v; v = v->m_superview)
        if (v == view)
            return true;
    return false;
}

Window* View::window() const
{
    const View* root = this;
    while (root->m_superview)
        root = root->m_superview;
    return dynamic_cast<Window*>(const_cast<View*>(root));
}

// Layout

void View::setNeedsLayout()
{
    m_needsLayout = true;
    if (Window* w = window())
        w->setNeedsDisplayInWindowRect({});
}

void View::layoutIfNeeded()
{
    if (m_needsLayout) {
        m_needsLayout = false;
        layoutSubviews();
        if (m_nextResponderOverride)
            m_nextResponderOverride->viewDidLayoutSubviews();
    }
    for (auto& subview : std::vector<std::shared_ptr<View>>(m_subviews))
        subview->layoutIfNeeded();
}

gfx::Size View::sizeThatFits(gfx::Size) const
{
    return m_bounds.size;
}

void View::sizeToFit()
{
    gfx::Rect f = frame();
    gfx::Size size = sizeThatFits(f.size);
    setFrame(gfx::Rect(f.origin, size));
}

void View::resizeSubviews(gfx::Size oldSize)
{
    if (!m_autoresizesSubviews)
        return;
    for (auto& subview : std::vector<std::shared_ptr<View>>(m_subviews))
        subview->autoresize(oldSize, m_bounds.size);
}

namespace {

// Shares the change of the superview's size among the flexible parts of one axis (margin
// before, size, margin after) in proportion to their current lengths.
void distribute(float delta, bool flexBefore, bool flexSize, bool flexAfter, float& before, float& size, float& after)
{
    if (delta == 0 || !(flexBefore || flexSize || flexAfter))
        return;
    float parts[3] = { flexBefore ? std::max(before, 0.0f) : 0, flexSize ? std::max(size, 0.0f) : 0, flexAfter ? std::max(after, 0.0f) : 0 };
    float total = parts[0] + parts[1] + parts[2];
    int count = int(flexBefore) + int(flexSize) + int(flexAfter);
    auto share = [&](int i, bool flexible) {
        if (!flexible)
            return 0.0f;
        return total > 0 ? delta * parts[i] / total : delta / float(count);
    };
    float b = share(0, flexBefore), s = share(1, flexSize), a = share(2, flexAfter);
    before += b;
    size += s;
    after += a;
}

} // namespace

void View::autoresize(gfx::Size oldSuper, gfx::Size newSuper)
{
    unsigned m = m_autoresizingMask;
    if (m == ViewAutoresizingNone)
        return;
    gfx::Rect f = frame();
    float left = f.minX(), width = f.width(), right = oldSuper.width - f.maxX();
    float top = f.minY(), height = f.height(), bottom = oldSuper.height - f.maxY();
    distribute(newSuper.width - oldSuper.width, m & ViewAutoresizingFlexibleLeftMargin, m & ViewAutoresizingFlexibleWidth,
        m & ViewAutoresizingFlexibleRightMargin, left, width, right);
    distribute(newSuper.height - oldSuper.height, m & ViewAutoresizingFlexibleTopMargin, m & ViewAutoresizingFlexibleHeight,
        m & ViewAutoresizingFlexibleBottomMargin, top, height, bottom);
    if (m_transform.isIdentity()) {
        setFrame(gfx::Rect(left, top, width, height));
        return;
    }
    // With a transform only the centre moves and the bounds take the size change.
    setCenter({ m_center.x + (left - f.minX()) + (width - f.width()) * 0.5f, m_center.y + (top - f.minY()) + (height - f.height()) * 0.5f });
    setBounds(gfx::Rect(m_bounds.origin, { m_bounds.width() + width - f.width(), m_bounds.height() + height - f.height() }));
}

// Drawing

void View::drawRect(gfx::Context&, const gfx::Rect&)
{
}

void View::setNeedsDisplay()
{
    setNeedsDisplayInRect(m_bounds);
}

void View::setNeedsDisplayInRect(const gfx::Rect& rect)
{
    Window* w = window();
    if (!w || m_hidden)
        return;
    w->setNeedsDisplayInWindowRect(visibleRectInWindow(rect, false));
}

gfx::AffineTransform View::toSuperviewTransform(bool presented) const
{
    // Bounds' coordinates to the superview's: about the bounds' centre, by the transform,
    // then to the centre.
    gfx::Rect b = presented ? presentedBounds() : m_bounds;
    gfx::Point c = presented ? presentedCenter() : m_center;
    gfx::AffineTransform t = presented ? presentedTransform() : m_transform;
    return gfx::AffineTransform::makeTranslation(-b.midX(), -b.midY())
        .concatenated(t)
        .concatenated(gfx::AffineTransform::makeTranslation(c.x, c.y));
}

void View::drawContent(gfx::Context& context, bool presented, const std::optional<gfx::Rect>& dirty)
{
    gfx::Rect b = presented ? presentedBounds() : m_bounds;
    std::optional<gfx::Rect> visible = dirty ? std::optional(dirty->intersection(b)) : std::nullopt;
    if (m_clipsToBounds) {
        if (visible && visible->isEmpty())
            return;
        context.clipToRect(b);
    }
    gfx::Rect area = visible.value_or(b);
    if (auto color = presented ? presentedBackgroundColor() : m_backgroundColor; color && color->alpha > 0 && !area.isEmpty())
        context.fillRect(area, *color);
    if (!area.isEmpty()) {
        context.saveGState();
        drawRect(context, area);
        context.restoreGState();
    }
    for (auto& subview : std::vector<std::shared_ptr<View>>(m_subviews)) {
        if (presented)
            subview->drawInSuperviewSpace(context, dirty);
        else if (!subview->m_hidden) {
            context.saveGState();
            context.concatCTM(subview->toSuperviewTransform(false));
            context.setAlpha(context.alpha() * subview->m_alpha);
            subview->drawContent(context, false, std::nullopt);
            context.restoreGState();
        }
    }
}

void View::renderInContext(gfx::Context& context)
{
    if (m_hidden)
        return;
    context.saveGState();
    context.translateCTM(-m_bounds.x(), -m_bounds.y());
    context.setAlpha(context.alpha() * m_alpha);
    drawContent(context, false, std::nullopt);
    context.restoreGState();
}

void View::drawInSuperviewSpace(gfx::Context& context, const std::optional<gfx::Rect>& dirty)
{
    float alpha = presentedAlpha();
    if (m_hidden || alpha <= 0)
        return;
    // An empty view with nothing inside draws nothing (an image slot without an image).
    if (m_subviews.empty() && presentedBounds().isEmpty() && !ViewAnimator::shared().transition(*this))
        return;
    if (dirty && !dirty->intersects(toSuperviewTransform(true).apply(coveredAreaInSelf())))
        return;
    context.saveGState();
    gfx::AffineTransform placement = toSuperviewTransform(true);
    context.concatCTM(placement);
    context.setAlpha(context.alpha() * alpha);
    if (const TransitionAnimation* transition = ViewAnimator::shared().transition(*this))
        ViewAnimator::drawTransition(*this, *transition, context);
    else {
        std::optional<gfx::Rect> local;
        if (dirty) {
            gfx::AffineTransform inverse = placement.inverted();
            local = inverse.apply(*dirty);
        }
        drawContent(context, true, local);
    }
    context.restoreGState();
}

std::shared_ptr<gfx::Image> View::snapshotImage(float scale, bool presented)
{
    gfx::Rect b = presented ? presentedBounds() : m_bounds;
    int width = int(std::ceil(b.width() * scale));
    int height = int(std::ceil(b.height() * scale));
    auto context = gfx::BitmapContext::create(width, height, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    if (!context)
        return nullptr;
    context->scaleCTM(scale, scale);
    context->translateCTM(-b.x(), -b.y());
    drawContent(*context, presented, std::nullopt);
    return context->makeImage(scale);
}

gfx::Rect View::coveredAreaInSelf() const
{
    gfx::Rect area = presentedBounds();
    if (m_clipsToBounds)
        return area;
    for (const auto& subview : m_subviews)
        if (!subview->m_hidden)
            area = area.united(subview->toSuperviewTransform(true).apply(subview->coveredAreaInSelf()));
    return area;
}

gfx::Rect View::coveredAreaInWindow() const
{
    return visibleRectInWindow(coveredAreaInSelf(), true);
}

gfx::Rect View::visibleRectInWindow(const gfx::Rect& rect, bool presented) const
{
    // What a clipping ancestor cuts off is never drawn, so it need not be repainted: a cell
    // of a scrolled table changing far outside the table repaints nothing.
    gfx::Rect area = rect;
    for (const View* v = this; v->m_superview; v = v->m_superview) {
        area = v->toSuperviewTransform(presented).apply(area);
        const View* parent = v->m_superview;
        if (parent->m_clipsToBounds) {
            area = area.intersection(presented ? parent->presentedBounds() : parent->m_bounds);
            if (area.isEmpty())
                return {};
        }
    }
    return area;
}

void View::invalidateCoveredArea()
{
    if (m_hidden)
        return;
    if (Window* w = window())
        w->setNeedsDisplayInWindowRect(coveredAreaInWindow());
}

// Events

View* View::hitTest(gfx::Point point, const Event* event)
{
    if (m_hidden || !m_userInteractionEnabled || m_alpha < 0.01f || !pointInside(point, event))
        return nullptr;
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        View* subview = it->get();
        if (View* hit = subview->hitTest(subview->convertPointFromSuperview(point), event))
            return hit;
    }
    return this;
}

bool View::pointInside(gfx::Point point, const Event*) const
{
    return m_bounds.containsPoint(point);
}

gfx::Point View::convertPointToSuperview(gfx::Point point, bool presented) const
{
    return toSuperviewTransform(presented).apply(point);
}

gfx::Point View::convertPointFromSuperview(gfx::Point point) const
{
    return toSuperviewTransform(false).inverted().apply(point);
}

gfx::AffineTransform View::transformToRoot() const
{
    gfx::AffineTransform t;
    for (const View* v = this; v->m_superview; v = v->m_superview)
        t = t.concatenated(v->toSuperviewTransform(false));
    return t;
}

gfx::AffineTransform View::transformToView(const View* view) const
{
    gfx::AffineTransform t = transformToRoot();
    return view ? t.concatenated(view->transformToRoot().inverted()) : t;
}

gfx::Point View::convertPointToView(gfx::Point point, const View* view) const
{
    return transformToView(view).apply(point);
}

gfx::Point View::convertPointFromView(gfx::Point point, const View* view) const
{
    return view ? view->convertPointToView(point, this) : transformToRoot().inverted().apply(point);
}

gfx::Rect View::convertRectToView(const gfx::Rect& rect, const View* view) const
{
    return transformToView(view).apply(rect);
}

gfx::Rect View::convertRectFromView(const gfx::Rect& rect, const View* view) const
{
    return view ? view->convertRectToView(rect, this) : transformToRoot().inverted().apply(rect);
}

bool View::isAccessibilityFocused() const
{
    // Editing text, or where Tab has put the keyboard's focus.
    Window* shown = window();
    return isFirstResponder() || (shown && shown->keyboardFocus() == this);
}

Responder* View::nextResponder() const
{
    if (m_nextResponderOverride)
        return m_nextResponderOverride;
    return m_superview;
}

// Animation blocks

void View::beginAnimations(const std::string& animationID, void* context)
{
    ViewAnimator::shared().begin(animationID, context);
}

void View::commitAnimations()
{
    ViewAnimator::shared().commit();
}

void View::setAnimationDuration(double seconds)
{
    if (auto* block = ViewAnimator::shared().current())
        block->duration = std::max(seconds, 0.0);
}

void View::setAnimationCurve(ViewAnimationCurve curve)
{
    if (auto* block = ViewAnimator::shared().current())
        block->curve = curve;
}

void View::setAnimationDelegate(std::weak_ptr<void> delegate)
{
    if (auto* block = ViewAnimator::shared().current()) {
        block->hasDelegate = !delegate.expired();
        block->delegate = std::move(delegate);
    }
}

void View::setAnimationDidStopSelector(AnimationDidStopHandler handler)
{
    if (auto* block = ViewAnimator::shared().current())
        block->didStop = std::move(handler);
}

void View::setAnimationTransitionForView(ViewAnimationTransition transition, View* view, bool cache)
{
    ViewAnimator::shared().setTransition(transition, view, cache);
}

void View::setAnimationsEnabled(bool enabled)
{
    ViewAnimator::shared().setEnabled(enabled);
}

bool View::areAnimationsEnabled()
{
    return ViewAnimator::shared().enabled();
}

bool View::isInAnimationBlock()
{
    return ViewAnimator::shared().isOpen();
}

} // namespace ui
