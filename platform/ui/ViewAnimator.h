#pragma once

#include "ui/View.h"

#include "foundation/Clock.h"
#include "graphics/Image.h"

#include <memory>
#include <map>
#include <set>
#include <variant>
#include <vector>

namespace foundation {
class Timer;
}

namespace ui {

/// The properties an animation block can animate.
enum class AnimatedProperty { Center, Bounds, Transform, Alpha, BackgroundColor };

using AnimatedValue = std::variant<gfx::Point, gfx::Rect, gfx::AffineTransform, float, gfx::Color>;

/// One begin/commit pair: its settings, and its timing once the outermost block is committed.
struct AnimationBlock {
    std::string name;
    void* context { nullptr };
    double duration { 0.2 };
    ViewAnimationCurve curve { ViewAnimationCurve::EaseInOut };
    std::weak_ptr<void> delegate;
    bool hasDelegate { false };
    AnimationDidStopHandler didStop;
    bool started { false };
    foundation::Nanos startTime { 0 };
    /// Cleared when one of its animations is replaced or cancelled before its end.
    bool finished { true };
    // A transition set in the block, taken over by the view at commit.
    ViewAnimationTransition transition { ViewAnimationTransition::None };
    std::weak_ptr<View> transitionView;
    std::shared_ptr<gfx::Image> transitionBefore;
    bool transitionCache { false };

    foundation::Nanos endTime() const;
    /// Eased progress from 0 to 1 at time now (0 before the start).
    float progress(foundation::Nanos now) const;
};

struct PropertyAnimation {
    AnimatedProperty property;
    AnimatedValue from;
    std::shared_ptr<AnimationBlock> block;
};

struct TransitionAnimation {
    ViewAnimationTransition type { ViewAnimationTransition::None };
    std::shared_ptr<gfx::Image> before;
    std::shared_ptr<gfx::Image> after; // null: the view is drawn live
    std::shared_ptr<AnimationBlock> block;
};

/// What a view animates now; exists only while it animates.
struct ViewAnimationState {
    std::vector<PropertyAnimation> properties;
    std::optional<TransitionAnimation> transition;
};

/// The animation engine behind View's animation blocks: the stack of open blocks, the
/// running animations and the presented values. Time is the main run loop's clock; did-stop
/// callbacks are run-loop timers, and drawing steps come from the frame clock. Main thread.
class ViewAnimator {
public:
    static ViewAnimator& shared();

    void begin(const std::string& name, void* context);
    void commit();
    bool isOpen() const { return !m_open.empty(); }
    /// The innermost open block, or null.
    AnimationBlock* current() { return m_open.empty() ? nullptr : m_open.back().get(); }
    void setTransition(ViewAnimationTransition transition, View* view, bool cache);
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    /// The desktop's "reduce animation": every block committed while it is on lasts a fifth
    /// of its duration (its did-stop comes that much sooner), so screens change with a short
    /// fade or move instead of a slide.
    bool reducesMotion() const { return m_reducesMotion; }
    void setReducesMotion(bool reduces) { m_reducesMotion = reduces; }
    static constexpr double kReducedMotionScale = 0.2;

    /// Called by a setter before the model value changes; presentedBefore is what is drawn now.
    void propertyWillChange(View& view, AnimatedProperty property, const AnimatedValue& presentedBefore);
    /// The presented value of a property whose model value is model.
    AnimatedValue presented(const View& view, AnimatedProperty property, const AnimatedValue& model) const;
    /// The running transition of view, if any.
    const TransitionAnimation* transition(const View& view) const;

    /// Whether anything animates now (or waits for its block to start).
    bool hasRunningAnimations() const { return !m_views.empty(); }
    /// One frame: marks what moves for repainting and drops animations that have ended.
    void step();
    /// Drops every animation and open block (a test starting afresh).
    void reset();
    /// Draws view in its own coordinates as the transition shows it now.
    static void drawTransition(View& view, const TransitionAnimation& transition, gfx::Context& context);

private:
    void finishBlock(const std::shared_ptr<AnimationBlock>& block);
    void dropEnded(View& view, foundation::Nanos now);

    std::vector<std::shared_ptr<AnimationBlock>> m_open;
    std::vector<std::shared_ptr<AnimationBlock>> m_committedInNest;
    std::set<std::shared_ptr<View>> m_views;
    std::vector<std::shared_ptr<foundation::Timer>> m_stopTimers;
    /// What each animating view covered on screen at the last step, to repaint it away.
    std::map<View*, gfx::Rect> m_lastCovered;
    bool m_enabled { true };
    bool m_reducesMotion { false };
};

} // namespace ui
