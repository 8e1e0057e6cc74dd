#pragma once

#include "ui/ScrollMomentum.h"
#include "ui/View.h"

#include <memory>

namespace foundation {
class Timer;
}

namespace ui {

class ScrollIndicator;
class ScrollViewDelegate;

/// A view whose content is larger than itself and moves under a finger, the wheel and keys.
///
/// The content offset is the bounds' origin, so subviews placed in content coordinates are
/// drawn and hit-tested where the offset puts them; every offset change asks for layout, so
/// a subclass (the table) fills what came into view in layoutSubviews.
///
/// Touches: the scroll view watches every touch that begins inside it. Once a finger has
/// moved more than kTouchSlop points along an axis that can scroll, the scroll view takes the
/// touch over (the control under it gets touchesCancelled) and drags the content; past the
/// edges the content follows ever more reluctantly (rubber band). Letting go flings it with
/// the finger's speed; the fling slows (ScrollMomentum), bounces back at the ends, and runs
/// on the frame clock, so it moves with the run loop's clock and stops ticking when it
/// rests. A touch that lands during a fling stops it and goes no further.
///
/// The wheel and touchpad move the content by their pixel deltas, clamped to the edges; a
/// wheel turn the content cannot follow (already at that edge, or nothing to scroll) goes up
/// the responder chain. When it is focused (the first responder, or the view last touched
/// with no first responder) the arrow keys move it by a line, Page Up/Down by a page less a
/// line and Home/End to the ends, animated; keys it cannot use go up the chain.
///
/// Scroll indicators appear while the content moves and fade out shortly after it rests.
/// Main thread only; the delegate is not owned (its owner clears it before going away).
class ScrollView : public View {
public:
    /// How far a finger moves before the touch becomes a drag.
    static constexpr float kTouchSlop = 8;
    /// How far an arrow key scrolls.
    static constexpr float kLineStep = 40;
    /// How long the indicators stay after the content rests, and how long they take to fade.
    static constexpr double kIndicatorDelay = 0.5;
    static constexpr double kIndicatorFade = 0.3;

    explicit ScrollView(const gfx::Rect& frame = {});
    ~ScrollView() override;

    gfx::Size contentSize() const { return m_contentSize; }
    /// The size of the content; the offset is not changed (a fling's limits follow).
    void setContentSize(gfx::Size size);
    gfx::Point contentOffset() const { return bounds().origin; }
    /// Moves the content at once to offset (not clamped), ending any fling or scroll animation.
    void setContentOffset(gfx::Point offset);
    /// Moves to offset; animated, it glides there on the frame clock.
    void setContentOffset(gfx::Point offset, bool animated);
    /// Scrolls the least that shows rect (content coordinates), as far as the content allows.
    void scrollRectToVisible(const gfx::Rect& rect, bool animated);
    /// The largest offset the content allows (never negative).
    gfx::Point maximumContentOffset() const;

    bool isScrollEnabled() const { return m_scrollEnabled; }
    /// A scroll view that is not enabled takes no touches, wheel turns or keys.
    void setScrollEnabled(bool enabled) { m_scrollEnabled = enabled; }
    bool bounces() const { return m_bounces; }
    void setBounces(bool bounces);
    /// Whether a vertical drag bounces even when the content is not taller than the view.
    bool alwaysBounceVertical() const { return m_alwaysBounceVertical; }
    void setAlwaysBounceVertical(bool value) { m_alwaysBounceVertical = value; }
    bool alwaysBounceHorizontal() const { return m_alwaysBounceHorizontal; }
    void setAlwaysBounceHorizontal(bool value) { m_alwaysBounceHorizontal = value; }
    /// The fraction of its speed a fling keeps after one second.
    double decelerationRate() const { return m_momentumY.friction(); }
    void setDecelerationRate(double fractionKeptPerSecond);
    bool showsVerticalScrollIndicator() const { return m_showsVertical; }
    void setShowsVerticalScrollIndicator(bool shows);
    bool showsHorizontalScrollIndicator() const { return m_showsHorizontal; }
    void setShowsHorizontalScrollIndicator(bool shows);

    ScrollViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(ScrollViewDelegate* delegate) { m_delegate = delegate; }

    /// A finger is down on the content (it may not have moved far enough to drag yet).
    bool isTracking() const { return !m_trackedTouch.expired(); }
    /// A finger is dragging the content.
    bool isDragging() const { return m_dragging; }
    /// The content moves on its own: a fling, a bounce or an animated scroll.
    bool isDecelerating() const { return m_motion != nullptr; }
    /// Shows the indicators now and fades them out after the usual delay.
    void flashScrollIndicators();
    /// The indicators, for their owner's layout and for tests; hidden when not shown.
    const ScrollIndicator& verticalScrollIndicator() const { return *m_verticalIndicator; }
    const ScrollIndicator& horizontalScrollIndicator() const { return *m_horizontalIndicator; }

    bool watchesTouches() const override { return true; }
    bool shouldTakeOverTouch(const Touch& touch, const Event& event) override;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void scrollWheel(const WheelEvent& event) override;
    void keyPressed(Key key) override;
    bool canBecomeFirstResponder() const override { return true; }
    void layoutSubviews() override;

protected:
    /// Whether the content can move along each axis (bigger than the view, or told to bounce).
    bool scrollsVertically() const;
    bool scrollsHorizontally() const;
    /// Where the content comes to rest: the running scroll's target, else where it is.
    gfx::Point restingOffset() const;

private:
    void setOffsetFromMotion(gfx::Point offset);
    bool isTracked(const Touch& touch) const { return m_trackedTouch.lock().get() == &touch; }
    bool passesSlop(const Touch& touch) const;
    void beginDragging(const Touch& touch);
    void dragTo(const Touch& touch);
    void endDragging(double time, bool cancelled);
    void startMotionIfNeeded();
    bool stepMotion(double now);
    void stopMotion();
    void updateLimits();
    void showIndicators();
    void scheduleIndicatorFade();
    void layoutIndicators();
    gfx::Point clampedOffset(gfx::Point offset) const;

    gfx::Size m_contentSize;
    bool m_scrollEnabled { true };
    bool m_bounces { true };
    bool m_alwaysBounceVertical { false };
    bool m_alwaysBounceHorizontal { false };
    bool m_showsVertical { true };
    bool m_showsHorizontal { true };
    ScrollViewDelegate* m_delegate { nullptr };

    ScrollMomentum m_momentumX;
    ScrollMomentum m_momentumY;
    std::shared_ptr<void> m_motion;
    double m_lastStepTime { 0 };

    std::weak_ptr<Touch> m_trackedTouch;
    gfx::Point m_touchStart;
    gfx::Point m_dragStartOffset;
    bool m_dragging { false };

    std::shared_ptr<ScrollIndicator> m_verticalIndicator;
    std::shared_ptr<ScrollIndicator> m_horizontalIndicator;
    std::shared_ptr<foundation::Timer> m_fadeTimer;
    bool m_indicatorsShown { false };
};

} // namespace ui
