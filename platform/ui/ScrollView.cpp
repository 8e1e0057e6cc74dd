#include "ui/ScrollView.h"

#include "ui/FrameClock.h"
#include "ui/ScrollIndicator.h"
#include "ui/ScrollViewDelegate.h"

#include "foundation/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace ui {

ScrollView::ScrollView(const gfx::Rect& frame)
    : View(frame)
    , m_verticalIndicator(std::make_shared<ScrollIndicator>())
    , m_horizontalIndicator(std::make_shared<ScrollIndicator>())
{
    setClipsToBounds(true);
    addSubview(m_verticalIndicator);
    addSubview(m_horizontalIndicator);
}

ScrollView::~ScrollView()
{
    if (m_fadeTimer)
        m_fadeTimer->invalidate();
}

void ScrollView::setContentSize(gfx::Size size)
{
    if (size == m_contentSize)
        return;
    m_contentSize = size;
    updateLimits();
    setNeedsLayout();
}

gfx::Point ScrollView::maximumContentOffset() const
{
    const gfx::Size visible = bounds().size;
    return { std::max(0.0f, m_contentSize.width - visible.width), std::max(0.0f, m_contentSize.height - visible.height) };
}

gfx::Point ScrollView::clampedOffset(gfx::Point offset) const
{
    const gfx::Point maximum = maximumContentOffset();
    return { std::clamp(offset.x, 0.0f, maximum.x), std::clamp(offset.y, 0.0f, maximum.y) };
}

bool ScrollView::scrollsVertically() const
{
    return m_contentSize.height > bounds().height() || m_alwaysBounceVertical;
}

bool ScrollView::scrollsHorizontally() const
{
    return m_contentSize.width > bounds().width() || m_alwaysBounceHorizontal;
}

void ScrollView::setBounces(bool bounces)
{
    m_bounces = bounces;
    m_momentumX.setBounces(bounces);
    m_momentumY.setBounces(bounces);
}

void ScrollView::setDecelerationRate(double fractionKeptPerSecond)
{
    m_momentumX.setFriction(fractionKeptPerSecond);
    m_momentumY.setFriction(fractionKeptPerSecond);
}

void ScrollView::setShowsVerticalScrollIndicator(bool shows)
{
    if (shows == m_showsVertical)
        return;
    m_showsVertical = shows;
    setNeedsLayout();
}

void ScrollView::setShowsHorizontalScrollIndicator(bool shows)
{
    if (shows == m_showsHorizontal)
        return;
    m_showsHorizontal = shows;
    setNeedsLayout();
}

void ScrollView::updateLimits()
{
    const gfx::Point maximum = maximumContentOffset();
    m_momentumX.setLimits(0, maximum.x);
    m_momentumY.setLimits(0, maximum.y);
}

// Offsets

void ScrollView::setContentOffset(gfx::Point offset)
{
    stopMotion();
    m_momentumX.setPosition(offset.x);
    m_momentumY.setPosition(offset.y);
    setOffsetFromMotion(offset);
}

void ScrollView::setContentOffset(gfx::Point offset, bool animated)
{
    if (!animated) {
        setContentOffset(offset);
        return;
    }
    updateLimits();
    if (!m_motion) {
        m_momentumX.setPosition(contentOffset().x);
        m_momentumY.setPosition(contentOffset().y);
    }
    m_momentumX.moveTo(offset.x);
    m_momentumY.moveTo(offset.y);
    showIndicators();
    startMotionIfNeeded();
    if (!m_motion)
        scheduleIndicatorFade();
}

void ScrollView::scrollRectToVisible(const gfx::Rect& rect, bool animated)
{
    // Judged where a running scroll will come to rest, or it would carry the rect away again.
    const gfx::Rect visible(restingOffset(), bounds().size);
    gfx::Point offset = visible.origin;
    if (rect.maxY() > visible.maxY())
        offset.y = rect.maxY() - visible.height();
    if (rect.minY() < offset.y)
        offset.y = rect.minY();
    if (rect.maxX() > visible.maxX())
        offset.x = rect.maxX() - visible.width();
    if (rect.minX() < offset.x)
        offset.x = rect.minX();
    offset = clampedOffset(offset);
    if (offset != visible.origin)
        setContentOffset(offset, animated);
}

gfx::Point ScrollView::restingOffset() const
{
    return m_motion ? gfx::Point { float(m_momentumX.target()), float(m_momentumY.target()) } : contentOffset();
}

void ScrollView::setOffsetFromMotion(gfx::Point offset)
{
    if (offset == contentOffset())
        return;
    setBounds(gfx::Rect(offset, bounds().size));
    // A move keeps the size, which alone would not ask for layout.
    setNeedsLayout();
    if (m_delegate) {
        auto keep = weak_from_this().lock();
        m_delegate->scrollViewDidScroll(*this);
    }
}

// Motion

void ScrollView::startMotionIfNeeded()
{
    if (m_motion || (m_momentumX.isStopped() && m_momentumY.isStopped()))
        return;
    m_lastStepTime = foundation::RunLoop::main().now();
    m_motion = FrameClock::shared().startMotion([this](double now) { return stepMotion(now); });
}

bool ScrollView::stepMotion(double now)
{
    const double dt = now - m_lastStepTime;
    m_lastStepTime = now;
    auto keep = weak_from_this().lock();
    const float x = float(m_momentumX.advance(dt));
    const float y = float(m_momentumY.advance(dt));
    setOffsetFromMotion({ x, y });
    if (!m_momentumX.isStopped() || !m_momentumY.isStopped())
        return true;
    m_motion.reset();
    scheduleIndicatorFade();
    if (m_delegate)
        m_delegate->scrollViewDidEndDecelerating(*this);
    return false;
}

void ScrollView::stopMotion()
{
    m_motion.reset();
    m_momentumX.setPosition(contentOffset().x);
    m_momentumY.setPosition(contentOffset().y);
}

// Touches

bool ScrollView::passesSlop(const Touch& touch) const
{
    const gfx::Point moved { touch.windowLocation().x - m_touchStart.x, touch.windowLocation().y - m_touchStart.y };
    return (scrollsVertically() && std::abs(moved.y) > kTouchSlop) || (scrollsHorizontally() && std::abs(moved.x) > kTouchSlop);
}

bool ScrollView::shouldTakeOverTouch(const Touch& touch, const Event& event)
{
    if (!m_scrollEnabled)
        return false;
    switch (touch.phase()) {
    case TouchPhase::Began: {
        if (isTracking())
            return false;
        auto shared = event.touchFor(touch);
        if (!shared)
            return false;
        m_trackedTouch = shared;
        m_touchStart = touch.windowLocation();
        if (!m_motion)
            return false;
        // A finger landing on moving content only stops it; a bounce still settles.
        m_momentumX.stop();
        m_momentumY.stop();
        if (m_momentumX.isStopped() && m_momentumY.isStopped()) {
            m_motion.reset();
            scheduleIndicatorFade();
        }
        return true;
    }
    case TouchPhase::Moved:
    case TouchPhase::Stationary:
        if (!isTracked(touch) || m_dragging || !passesSlop(touch))
            return false;
        beginDragging(touch);
        return true;
    case TouchPhase::Ended:
    case TouchPhase::Cancelled:
        if (isTracked(touch) && !m_dragging)
            m_trackedTouch.reset();
        return false;
    }
    return false;
}

void ScrollView::touchesBegan(const TouchSet&, const Event&)
{
    // The content's own touches end here; dragging starts from shouldTakeOverTouch.
}

void ScrollView::touchesMoved(const TouchSet& touches, const Event&)
{
    for (const auto& touch : touches) {
        if (!isTracked(*touch))
            continue;
        if (!m_dragging && passesSlop(*touch))
            beginDragging(*touch);
        else if (m_dragging)
            dragTo(*touch);
    }
}

void ScrollView::touchesEnded(const TouchSet& touches, const Event& event)
{
    for (const auto& touch : touches) {
        if (!isTracked(*touch))
            continue;
        m_trackedTouch.reset();
        if (m_dragging)
            endDragging(event.timestamp, false);
    }
}

void ScrollView::touchesCancelled(const TouchSet& touches, const Event& event)
{
    // The content's cancel of a touch this view has just taken over.
    if (event.takenOverBy == this)
        return;
    for (const auto& touch : touches) {
        if (!isTracked(*touch))
            continue;
        m_trackedTouch.reset();
        if (m_dragging)
            endDragging(event.timestamp, true);
    }
}

void ScrollView::beginDragging(const Touch& touch)
{
    stopMotion();
    updateLimits();
    m_dragging = true;
    // The drag starts where the finger is now, so the content does not jump by the slop.
    m_touchStart = touch.windowLocation();
    m_dragStartOffset = contentOffset();
    m_momentumX.beginDrag(m_dragStartOffset.x, touch.timestamp());
    m_momentumY.beginDrag(m_dragStartOffset.y, touch.timestamp());
    showIndicators();
    if (m_delegate) {
        auto keep = weak_from_this().lock();
        m_delegate->scrollViewWillBeginDragging(*this);
    }
}

void ScrollView::dragTo(const Touch& touch)
{
    const gfx::Point moved { touch.windowLocation().x - m_touchStart.x, touch.windowLocation().y - m_touchStart.y };
    const gfx::Point maximum = maximumContentOffset();
    const gfx::Size visible = bounds().size;
    auto follow = [&](float start, float delta, float limit, float dimension, bool scrolls) {
        if (!scrolls)
            return start;
        const double raw = double(start) - double(delta);
        return float(m_bounces ? ScrollMomentum::rubberBand(raw, 0, limit, dimension) : std::clamp(raw, 0.0, double(limit)));
    };
    const gfx::Point offset { follow(m_dragStartOffset.x, moved.x, maximum.x, visible.width, scrollsHorizontally()),
        follow(m_dragStartOffset.y, moved.y, maximum.y, visible.height, scrollsVertically()) };
    m_momentumX.dragTo(offset.x, touch.timestamp());
    m_momentumY.dragTo(offset.y, touch.timestamp());
    setOffsetFromMotion(offset);
}

void ScrollView::endDragging(double time, bool cancelled)
{
    m_dragging = false;
    updateLimits();
    if (cancelled) {
        m_momentumX.releasedWithVelocity(contentOffset().x, 0);
        m_momentumY.releasedWithVelocity(contentOffset().y, 0);
    } else {
        m_momentumX.endDrag(time);
        m_momentumY.endDrag(time);
    }
    const bool decelerate = !m_momentumX.isStopped() || !m_momentumY.isStopped();
    startMotionIfNeeded();
    if (!decelerate)
        scheduleIndicatorFade();
    if (m_delegate) {
        auto keep = weak_from_this().lock();
        m_delegate->scrollViewDidEndDragging(*this, decelerate);
    }
}

// Wheel and keys

void ScrollView::scrollWheel(const WheelEvent& event)
{
    if (!m_scrollEnabled || m_dragging) {
        View::scrollWheel(event);
        return;
    }
    const gfx::Point offset = restingOffset();
    gfx::Point target = offset;
    if (scrollsHorizontally())
        target.x -= event.delta.x;
    if (scrollsVertically())
        target.y -= event.delta.y;
    target = clampedOffset(target);
    if (std::abs(target.x - offset.x) < 0.01f && std::abs(target.y - offset.y) < 0.01f) {
        View::scrollWheel(event);
        return;
    }
    setContentOffset(target);
    showIndicators();
    scheduleIndicatorFade();
}

void ScrollView::keyPressed(Key key)
{
    const gfx::Point base = restingOffset();
    const float page = std::max(kLineStep, bounds().height() - kLineStep);
    gfx::Point target = base;
    switch (key) {
    case Key::Up:
        target.y -= kLineStep;
        break;
    case Key::Down:
        target.y += kLineStep;
        break;
    case Key::PageUp:
        target.y -= page;
        break;
    case Key::PageDown:
        target.y += page;
        break;
    case Key::Home:
        target.y = 0;
        break;
    case Key::End:
        target.y = maximumContentOffset().y;
        break;
    case Key::Left:
        target.x -= kLineStep;
        break;
    case Key::Right:
        target.x += kLineStep;
        break;
    default:
        View::keyPressed(key);
        return;
    }
    target = clampedOffset(target);
    if (!m_scrollEnabled || m_dragging || target == base) {
        View::keyPressed(key);
        return;
    }
    setContentOffset(target, true);
}

// Indicators

void ScrollView::flashScrollIndicators()
{
    showIndicators();
    scheduleIndicatorFade();
}

void ScrollView::showIndicators()
{
    if (m_fadeTimer) {
        m_fadeTimer->invalidate();
        m_fadeTimer.reset();
    }
    if (m_indicatorsShown)
        return;
    m_indicatorsShown = true;
    m_verticalIndicator->setAlpha(1);
    m_horizontalIndicator->setAlpha(1);
    setNeedsLayout();
}

void ScrollView::scheduleIndicatorFade()
{
    if (!m_indicatorsShown)
        return;
    if (m_fadeTimer)
        m_fadeTimer->invalidate();
    std::weak_ptr<Responder> weakSelf = weak_from_this();
    m_fadeTimer = foundation::RunLoop::main().scheduleTimer(kIndicatorDelay, false, [weakSelf](foundation::Timer&) {
        auto self = std::static_pointer_cast<ScrollView>(weakSelf.lock());
        if (!self || self->m_dragging || self->m_motion)
            return;
        self->m_fadeTimer.reset();
        self->m_indicatorsShown = false;
        View::beginAnimations();
        View::setAnimationDuration(kIndicatorFade);
        self->m_verticalIndicator->setAlpha(0);
        self->m_horizontalIndicator->setAlpha(0);
        View::commitAnimations();
    });
}

void ScrollView::layoutSubviews()
{
    layoutIndicators();
}

void ScrollView::layoutIndicators()
{
    // Above whatever content came in since the last layout.
    const auto& list = subviews();
    if (list.size() < 2 || list[list.size() - 2] != m_verticalIndicator || list.back() != m_horizontalIndicator) {
        bringSubviewToFront(m_verticalIndicator.get());
        bringSubviewToFront(m_horizontalIndicator.get());
    }
    const gfx::Rect visible = bounds();
    const gfx::Point offset = visible.origin;
    const gfx::Point maximum = maximumContentOffset();
    const float inset = ScrollIndicator::kInset;
    const float thickness = ScrollIndicator::kThickness;
    // Length in proportion to what is in view, shortened by a bounce past either end.
    auto bar = [&](float position, float limit, float extent, float content, float track, float& start) {
        float length = track * extent / content;
        length -= std::max(0.0f, -position) + std::max(0.0f, position - limit);
        length = std::clamp(length, ScrollIndicator::kMinimumLength, track);
        const float fraction = limit > 0 ? std::clamp(position / limit, 0.0f, 1.0f) : 0;
        start = inset + fraction * (track - length);
        return length;
    };
    const bool vertical = m_showsVertical && m_contentSize.height > visible.height();
    const bool horizontal = m_showsHorizontal && m_contentSize.width > visible.width();
    m_verticalIndicator->setHidden(!vertical);
    m_horizontalIndicator->setHidden(!horizontal);
    if (vertical) {
        float start = 0;
        const float track = visible.height() - 2 * inset - (horizontal ? thickness + inset : 0);
        const float length = bar(offset.y, maximum.y, visible.height(), m_contentSize.height, track, start);
        m_verticalIndicator->setFrame(gfx::Rect(visible.maxX() - inset - thickness, visible.minY() + start, thickness, length));
    }
    if (horizontal) {
        float start = 0;
        const float track = visible.width() - 2 * inset - (vertical ? thickness + inset : 0);
        const float length = bar(offset.x, maximum.x, visible.width(), m_contentSize.width, track, start);
        m_horizontalIndicator->setFrame(gfx::Rect(visible.minX() + start, visible.maxY() - inset - thickness, length, thickness));
    }
}

} // namespace ui
