#pragma once

#include "graphics/Geometry.h"

#include <memory>
#include <vector>

namespace ui {

class View;
class Window;

/// The phase of a touch (the platform's values).
enum class TouchPhase {
    Began = 0,
    Moved = 1,
    Stationary = 2,
    Ended = 3,
    Cancelled = 4,
};

/// One finger (or the mouse) on the screen from touch-down to lift. The same object is
/// delivered in every phase to the view that was hit when it began, unless an ancestor that
/// watches touches takes it over (a scroller starting a drag): then that view gets the
/// touch cancelled and the ancestor gets every later phase. Main thread.
class Touch {
public:
    Touch(std::shared_ptr<View> view, Window* window, gfx::Point windowLocation, double timestamp, int tapCount);

    TouchPhase phase() const { return m_phase; }
    /// The view receiving the touch: the one it began in, wherever the finger goes, or the
    /// ancestor that took it over.
    std::shared_ptr<View> view() const { return m_view; }
    /// Whether a watching ancestor has taken the touch over.
    bool isTakenOver() const { return m_takenOver; }
    Window* window() const { return m_window; }
    int tapCount() const { return m_tapCount; }
    /// Run-loop time in seconds of the last change.
    double timestamp() const { return m_timestamp; }
    /// Where the touch is, in view's coordinates; in the window's for a null view.
    gfx::Point locationInView(const View* view) const;
    gfx::Point previousLocationInView(const View* view) const;
    gfx::Point windowLocation() const { return m_location; }

    /// Moves the touch on (called by the window as events arrive).
    void update(TouchPhase phase, gfx::Point windowLocation, double timestamp);

private:
    friend class Window;

    std::shared_ptr<View> m_view;
    /// Ancestors (and the view itself) that watch touches, innermost first.
    std::vector<std::weak_ptr<View>> m_watchers;
    bool m_takenOver { false };
    Window* m_window;
    gfx::Point m_location;
    gfx::Point m_previousLocation;
    double m_timestamp;
    int m_tapCount;
    TouchPhase m_phase { TouchPhase::Began };
};

using TouchSet = std::vector<std::shared_ptr<Touch>>;

/// The touches of one event as delivered to a responder.
struct Event {
    TouchSet touches;
    double timestamp { 0 };
    /// Set when the touches are cancelled because this view took them over; the cancel
    /// travels up the responder chain from the view that had them, so the view taking them
    /// can tell it from a real cancel.
    const View* takenOverBy { nullptr };

    /// The shared touch for touch, or null when it is not one of this event's.
    std::shared_ptr<Touch> touchFor(const Touch& touch) const
    {
        for (const auto& t : touches)
            if (t.get() == &touch)
                return t;
        return nullptr;
    }
};

} // namespace ui
