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
/// delivered in every phase, always to the view that was hit when it began. Main thread.
class Touch {
public:
    Touch(std::shared_ptr<View> view, Window* window, gfx::Point windowLocation, double timestamp, int tapCount);

    TouchPhase phase() const { return m_phase; }
    /// The view the touch began in; it keeps receiving the touch wherever the finger goes.
    std::shared_ptr<View> view() const { return m_view; }
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
    std::shared_ptr<View> m_view;
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
};

} // namespace ui
