#include "ui/PickerView.h"

#include "ui/Appearance.h"
#include "ui/FrameClock.h"
#include "ui/ScrollMomentum.h"

#include "foundation/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ui {

namespace {

constexpr float kGap = 4; // between two wheels
constexpr float kSideMargin = 10; // the frame around the wheels, left and right
constexpr float kTopMargin = 10;
constexpr float kSlop = 4; // a finger that moves less than this taps
constexpr double kWheelRestDelay = 0.15; // a mouse wheel that pauses this long has stopped
// The drum the rows lie on is a little larger than the wheel's window, so the rows at its
// edges are squeezed but still readable.
float wheelRadius(const gfx::Rect& wheel)
{
    return wheel.height() * 0.55f;
}

const gfx::Font& rowFont()
{
    static const gfx::Font font = gfx::Font::boldSystemFont(20);
    return font;
}

} // namespace

struct PickerView::Component {
    int rows { 0 };
    float width { 0 };
    float rowHeight { kDefaultRowHeight };
    std::vector<std::string> titles;
    int selected { 0 };
    /// The wheel's offset in points (row × row height), with its fling and detents.
    ScrollMomentum momentum;
    bool moving { false };
    /// Whether the motion was started by the user: it reports the row it rests on.
    bool byUser { false };

    float position() const { return float(momentum.position() / rowHeight); }
    double lastOffset() const { return double(std::max(rows - 1, 0)) * rowHeight; }
};

struct PickerView::Drag {
    std::shared_ptr<Touch> touch;
    int component { -1 };
    float startY { 0 };
    double startOffset { 0 };
    bool moved { false };
};

PickerView::PickerView(const gfx::Rect& frame)
    : View(frame)
{
    setClipsToBounds(true);
}

PickerView::~PickerView()
{
    if (m_wheelRest)
        m_wheelRest->invalidate();
}

void PickerView::setDelegate(PickerViewDelegate* delegate)
{
    m_delegate = delegate;
    reloadAllComponents();
}

void PickerView::setShowsSelectionIndicator(bool shows)
{
    if (shows == m_showsSelectionIndicator)
        return;
    m_showsSelectionIndicator = shows;
    setNeedsDisplay();
}

int PickerView::numberOfComponents() const
{
    return int(m_components.size());
}

int PickerView::numberOfRowsInComponent(int component) const
{
    if (component < 0 || component >= numberOfComponents())
        return 0;
    return m_components[size_t(component)].rows;
}

gfx::Size PickerView::rowSizeForComponent(int component) const
{
    if (component < 0 || component >= numberOfComponents())
        return {};
    return { rectForComponent(component).width(), m_components[size_t(component)].rowHeight };
}

void PickerView::reloadAllComponents()
{
    const int count = m_delegate ? std::max(m_delegate->numberOfComponentsInPickerView(*this), 0) : 0;
    m_components.resize(size_t(count));
    for (int c = 0; c < count; ++c)
        loadComponent(c);
    setNeedsDisplay();
}

void PickerView::reloadComponent(int component)
{
    if (component < 0 || component >= numberOfComponents())
        return;
    loadComponent(component);
    setNeedsDisplay();
}

void PickerView::loadComponent(int component)
{
    Component& wheel = m_components[size_t(component)];
    wheel.rows = std::max(m_delegate->pickerViewNumberOfRowsInComponent(*this, component), 0);
    wheel.width = m_delegate->pickerViewWidthForComponent(*this, component);
    const float height = m_delegate->pickerViewRowHeightForComponent(*this, component);
    wheel.rowHeight = height > 0 ? height : kDefaultRowHeight;
    wheel.titles.clear();
    wheel.titles.reserve(size_t(wheel.rows));
    for (int row = 0; row < wheel.rows; ++row)
        wheel.titles.push_back(m_delegate->pickerViewTitleForRowForComponent(*this, row, component));
    // A reload stops the wheel: the rows it was turning through may be gone.
    wheel.moving = false;
    wheel.byUser = false;
    wheel.selected = std::clamp(wheel.selected, 0, std::max(wheel.rows - 1, 0));
    wheel.momentum.setLimits(0, wheel.lastOffset());
    wheel.momentum.setDetentSpacing(wheel.rowHeight);
    wheel.momentum.setPosition(double(wheel.selected) * wheel.rowHeight);
    if (m_drag && m_drag->component == component)
        m_drag.reset();
}

void PickerView::selectRowInComponent(int row, int component, bool animated)
{
    if (component < 0 || component >= numberOfComponents())
        return;
    Component& wheel = m_components[size_t(component)];
    if (wheel.rows == 0)
        return;
    row = std::clamp(row, 0, wheel.rows - 1);
    if (m_drag && m_drag->component == component)
        m_drag.reset();
    if (animated && std::abs(wheel.momentum.position() - double(row) * wheel.rowHeight) > 0.01) {
        turnToRow(component, row, false);
        return;
    }
    wheel.moving = false;
    wheel.byUser = false;
    wheel.selected = row;
    wheel.momentum.setPosition(double(row) * wheel.rowHeight);
    redrawComponent(component);
}

int PickerView::selectedRowInComponent(int component) const
{
    if (component < 0 || component >= numberOfComponents() || m_components[size_t(component)].rows == 0)
        return -1;
    return m_components[size_t(component)].selected;
}

float PickerView::wheelPositionInComponent(int component) const
{
    if (component < 0 || component >= numberOfComponents())
        return 0;
    return m_components[size_t(component)].position();
}

bool PickerView::isSpinning() const
{
    return m_drag || std::any_of(m_components.begin(), m_components.end(), [](const Component& c) { return c.moving; });
}

gfx::Size PickerView::sizeThatFits(gfx::Size) const
{
    return { kNaturalWidth, kNaturalHeight };
}

gfx::Rect PickerView::wheelsRect() const
{
    const gfx::Rect b = bounds();
    float total = 0;
    int shared = 0;
    for (const Component& c : m_components) {
        total += std::max(c.width, 0.0f);
        shared += c.width <= 0;
    }
    const float room = std::max(b.width() - 2 * kSideMargin, 0.0f);
    const float gaps = kGap * float(std::max(numberOfComponents() - 1, 0));
    if (shared > 0)
        total = room;
    else
        total = std::min(total + gaps, room);
    return gfx::Rect(std::round(b.minX() + (b.width() - total) * 0.5f), b.minY() + kTopMargin, total, std::max(b.height() - 2 * kTopMargin, 0.0f));
}

gfx::Rect PickerView::rectForComponent(int component) const
{
    if (component < 0 || component >= numberOfComponents())
        return {};
    const gfx::Rect wheels = wheelsRect();
    float fixed = 0;
    int shared = 0;
    for (const Component& c : m_components) {
        fixed += std::max(c.width, 0.0f);
        shared += c.width <= 0;
    }
    const float gaps = kGap * float(numberOfComponents() - 1);
    const float sharedWidth = shared > 0 ? std::max((wheels.width() - gaps - fixed) / float(shared), 0.0f) : 0;
    float x = wheels.minX();
    for (int c = 0;; ++c) {
        const Component& wheel = m_components[size_t(c)];
        float width = wheel.width > 0 ? wheel.width : sharedWidth;
        width = std::min(width, std::max(wheels.maxX() - x, 0.0f));
        if (c == component)
            return gfx::Rect(x, wheels.minY(), width, wheels.height());
        x += width + kGap;
    }
}

int PickerView::componentAtPoint(gfx::Point point) const
{
    for (int c = 0; c < numberOfComponents(); ++c) {
        const gfx::Rect r = rectForComponent(c);
        // The gaps and the frame count for the nearest wheel.
        if (point.x < r.maxX() + kGap * 0.5f || c == numberOfComponents() - 1)
            return c;
    }
    return -1;
}

void PickerView::layoutSubviews()
{
    setNeedsDisplay();
}

void PickerView::redrawComponent(int component)
{
    const gfx::Rect r = rectForComponent(component);
    // The selection bar reaches over the wheel's edges.
    setNeedsDisplayInRect(r.insetBy(-kGap, 0));
}

// MARK: Motion

void PickerView::release(int component, double velocity, bool byUser)
{
    Component& wheel = m_components[size_t(component)];
    wheel.byUser = wheel.byUser || byUser;
    wheel.momentum.releasedWithVelocity(wheel.momentum.position(), velocity);
    wheel.moving = true;
    startMotion();
}

void PickerView::turnToRow(int component, int row, bool byUser)
{
    Component& wheel = m_components[size_t(component)];
    wheel.byUser = byUser;
    wheel.momentum.moveTo(double(row) * wheel.rowHeight);
    wheel.moving = true;
    startMotion();
}

void PickerView::nudge(int component, float points)
{
    if (component < 0 || component >= numberOfComponents() || m_components[size_t(component)].rows == 0)
        return;
    if (m_drag && m_drag->component == component)
        return;
    Component& wheel = m_components[size_t(component)];
    m_focusedComponent = component;
    const double offset = std::clamp(wheel.momentum.position() + double(points), 0.0, wheel.lastOffset());
    wheel.momentum.setPosition(offset);
    wheel.moving = false;
    wheel.byUser = true;
    redrawComponent(component);
    // The wheel rests on a row once the turning has paused for a moment.
    if (m_wheelRest)
        m_wheelRest->invalidate();
    std::weak_ptr<View> weak = sharedView();
    m_wheelRest = foundation::RunLoop::main().performAfter(kWheelRestDelay, [weak, component] {
        if (auto self = weak.lock()) {
            auto& picker = static_cast<PickerView&>(*self);
            if (component < picker.numberOfComponents() && !(picker.m_drag && picker.m_drag->component == component))
                picker.release(component, 0, true);
        }
    });
}

void PickerView::startMotion()
{
    if (m_motion)
        return;
    m_lastStep = foundation::RunLoop::main().now();
    // The frame clock keeps stepping the wheels while the handle lives; the step holds this
    // view only by the handle, which the view owns.
    m_motion = FrameClock::shared().startMotion([this](double now) { return stepWheels(now); });
}

bool PickerView::stepWheels(double now)
{
    const double dt = std::max(now - m_lastStep, 0.0);
    m_lastStep = now;
    std::vector<int> rested;
    bool stopped = false;
    for (int c = 0; c < numberOfComponents(); ++c) {
        Component& wheel = m_components[size_t(c)];
        if (!wheel.moving)
            continue;
        wheel.momentum.advance(dt);
        if (wheel.momentum.isStopped()) {
            wheel.moving = false;
            stopped = true;
            wheel.selected = std::clamp(int(std::lround(wheel.momentum.position() / wheel.rowHeight)), 0, std::max(wheel.rows - 1, 0));
            wheel.momentum.setPosition(double(wheel.selected) * wheel.rowHeight);
            if (wheel.byUser)
                rested.push_back(c);
            wheel.byUser = false;
        }
        redrawComponent(c);
    }
    const bool goesOn = std::any_of(m_components.begin(), m_components.end(), [](const Component& c) { return c.moving; });
    // Keep a reference: the delegate may drop the picker.
    auto keep = sharedView();
    if (!goesOn)
        m_motion.reset();
    if (stopped)
        announceAccessibilityChange(*this, AccessibilityChange::Selection);
    // Told last, as the delegate may reload or select.
    for (int c : rested)
        if (m_delegate && c < numberOfComponents() && m_components[size_t(c)].rows > 0 && !m_components[size_t(c)].moving)
            m_delegate->pickerViewDidSelectRowInComponent(*this, m_components[size_t(c)].selected, c);
    return goesOn;
}

// MARK: Accessibility

void PickerView::fillAccessibilityData(AccessibilityData& data) const
{
    data.role = AccessibilityRole::List;
    data.states |= AccessibilityStateFocusable;
}

int PickerView::accessibilityPartCount() const
{
    int parts = 0;
    for (const Component& wheel : m_components)
        parts += wheel.rows;
    return parts;
}

bool PickerView::componentAndRowOfPart(int part, int& component, int& row) const
{
    if (part < 0)
        return false;
    for (component = 0; component < numberOfComponents(); ++component) {
        const int rows = m_components[size_t(component)].rows;
        if (part < rows) {
            row = part;
            return true;
        }
        part -= rows;
    }
    return false;
}

void PickerView::fillAccessibilityPartData(int part, AccessibilityData& data) const
{
    int component = 0, row = 0;
    if (!componentAndRowOfPart(part, component, row))
        return;
    const Component& wheel = m_components[size_t(component)];
    data.role = AccessibilityRole::ListItem;
    data.name = size_t(row) < wheel.titles.size() ? wheel.titles[size_t(row)] : std::string();
    data.states |= AccessibilityStateSelectable | (!wheel.moving && wheel.selected == row ? AccessibilityStateSelected : 0u);
    data.actions.push_back(AccessibilityAction::Press);
}

gfx::Rect PickerView::accessibilityPartFrame(int part) const
{
    int component = 0, row = 0;
    if (!componentAndRowOfPart(part, component, row))
        return {};
    const Component& wheel = m_components[size_t(component)];
    const gfx::Rect r = rectForComponent(component);
    // Along the wheel as if it were flat: rows far from the middle lie outside the picker.
    const float y = r.midY() + (float(row) - wheel.position() - 0.5f) * wheel.rowHeight;
    return { r.minX(), y, r.width(), wheel.rowHeight };
}

bool PickerView::performAccessibilityAction(AccessibilityAction action, int part)
{
    int component = 0, row = 0;
    if (action != AccessibilityAction::Press || !componentAndRowOfPart(part, component, row) || !window())
        return false;
    turnToRow(component, row, true);
    return true;
}

// MARK: Events

void PickerView::touchesBegan(const TouchSet& touches, const Event&)
{
    if (m_drag || touches.empty())
        return;
    const auto& touch = touches.front();
    const gfx::Point p = touch->locationInView(this);
    const int component = componentAtPoint(p);
    if (component < 0 || m_components[size_t(component)].rows == 0)
        return;
    m_focusedComponent = component;
    Component& wheel = m_components[size_t(component)];
    // A finger on a turning wheel catches it where it is; it reports again when it rests.
    wheel.byUser = wheel.byUser || wheel.moving;
    wheel.moving = false;
    wheel.momentum.beginDrag(wheel.momentum.position(), touch->timestamp());
    m_drag = std::make_unique<Drag>();
    m_drag->touch = touch;
    m_drag->component = component;
    m_drag->startY = p.y;
    m_drag->startOffset = wheel.momentum.position();
}

void PickerView::touchesMoved(const TouchSet& touches, const Event&)
{
    if (!m_drag || std::find(touches.begin(), touches.end(), m_drag->touch) == touches.end())
        return;
    const gfx::Point p = m_drag->touch->locationInView(this);
    Component& wheel = m_components[size_t(m_drag->component)];
    if (!m_drag->moved && std::abs(p.y - m_drag->startY) < kSlop)
        return;
    m_drag->moved = true;
    // A finger moving up turns the wheel on to later rows; past the ends it gives way less.
    const double raw = m_drag->startOffset - double(p.y - m_drag->startY);
    const gfx::Rect r = rectForComponent(m_drag->component);
    wheel.momentum.dragTo(ScrollMomentum::rubberBand(raw, 0, wheel.lastOffset(), r.height()), m_drag->touch->timestamp());
    redrawComponent(m_drag->component);
}

void PickerView::touchesEnded(const TouchSet& touches, const Event&)
{
    if (!m_drag || std::find(touches.begin(), touches.end(), m_drag->touch) == touches.end())
        return;
    std::unique_ptr<Drag> drag = std::move(m_drag);
    const int component = drag->component;
    Component& wheel = m_components[size_t(component)];
    if (drag->moved) {
        wheel.momentum.endDrag(drag->touch->timestamp());
        wheel.byUser = true;
        wheel.moving = true;
        startMotion();
        return;
    }
    // A tap: the row under the finger turns to the middle line.
    wheel.momentum.stop();
    const gfx::Point p = drag->touch->locationInView(this);
    const gfx::Rect r = rectForComponent(component);
    const float radius = wheelRadius(r);
    // From where the finger is on the drum's face back to the distance along its rim.
    const float along = radius * std::asin(std::clamp((p.y - r.midY()) / radius, -1.0f, 1.0f));
    const float position = wheel.position();
    const int row = std::clamp(int(std::lround(position + along / wheel.rowHeight)), 0, wheel.rows - 1);
    if (std::abs(position - float(row)) > 0.001f || wheel.byUser)
        turnToRow(component, row, true);
}

void PickerView::touchesCancelled(const TouchSet& touches, const Event&)
{
    if (!m_drag || std::find(touches.begin(), touches.end(), m_drag->touch) == touches.end())
        return;
    const int component = m_drag->component;
    const bool moved = m_drag->moved;
    m_drag.reset();
    // A wheel let go of without a lift still comes to rest on a row.
    Component& wheel = m_components[size_t(component)];
    wheel.momentum.stop();
    release(component, 0, moved || wheel.byUser);
}

void PickerView::scrollWheel(const WheelEvent& event)
{
    const int component = componentAtPoint(convertPointFromView(event.windowLocation, nullptr));
    if (component < 0 || m_components[size_t(component)].rows == 0 || event.delta.y == 0) {
        View::scrollWheel(event);
        return;
    }
    // A positive delta pulls the rows down, showing earlier ones.
    nudge(component, -event.delta.y);
}

void PickerView::keyPressed(Key key)
{
    const int component = std::clamp(m_focusedComponent, 0, std::max(numberOfComponents() - 1, 0));
    if (component >= numberOfComponents() || m_components[size_t(component)].rows == 0) {
        View::keyPressed(key);
        return;
    }
    Component& wheel = m_components[size_t(component)];
    int row;
    switch (key) {
    case Key::Up:
        row = wheel.selected - 1;
        break;
    case Key::Down:
        row = wheel.selected + 1;
        break;
    case Key::Home:
        row = 0;
        break;
    case Key::End:
        row = wheel.rows - 1;
        break;
    default:
        View::keyPressed(key);
        return;
    }
    // Keys go from the row the wheel is heading for, so quick presses add up.
    if (wheel.moving)
        row += int(std::lround(wheel.momentum.target() / wheel.rowHeight)) - wheel.selected;
    row = std::clamp(row, 0, wheel.rows - 1);
    turnToRow(component, row, true);
}

// MARK: Drawing

void PickerView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    // The brushed frame around the wheels.
    fillVerticalGradient(context, b, { gfx::Color::grey(0.44f), gfx::Color::grey(0.26f), gfx::Color::grey(0.18f), gfx::Color::grey(0.28f) });
    const gfx::Rect wheels = wheelsRect();
    context.fillRect(wheels.insetBy(-2, -2), gfx::Color::grey(0.06f));
    for (int c = 0; c < numberOfComponents(); ++c)
        drawComponent(context, c);
    if (!m_showsSelectionIndicator || numberOfComponents() == 0)
        return;
    // The glass bar across every wheel at the middle line.
    float barHeight = 0;
    for (const Component& wheel : m_components)
        barHeight = std::max(barHeight, wheel.rowHeight);
    barHeight += 4;
    const gfx::Rect bar(wheels.minX() - 6, std::round(wheels.midY() - barHeight * 0.5f), wheels.width() + 12, barHeight);
    const gfx::Path shape = roundedRectPath(bar, 3);
    context.fillPath(roundedRectPath(bar.offsetBy(0, 1), 3), gfx::Color::grey(0, 0.35f));
    fillVerticalGradient(context, bar, { gfx::Color::rgba(0.70f, 0.75f, 0.95f, 0.30f), gfx::Color::rgba(0.45f, 0.52f, 0.85f, 0.30f) }, shape);
    // The glass's gloss on its upper half.
    const gfx::Rect upper(bar.minX(), bar.minY(), bar.width(), std::round(bar.height() * 0.5f));
    context.saveGState();
    context.clipToRect(upper);
    fillVerticalGradient(context, upper, { gfx::Color::grey(1, 0.45f), gfx::Color::grey(1, 0.12f) }, shape);
    context.restoreGState();
    context.strokePath(roundedRectPath(bar.insetBy(0.5f, 0.5f), 3), gfx::Color::rgba(0.25f, 0.27f, 0.36f, 0.9f), 1);
}

void PickerView::drawComponent(gfx::Context& context, int component) const
{
    const Component& wheel = m_components[size_t(component)];
    const gfx::Rect r = rectForComponent(component);
    if (r.width() <= 0 || r.height() <= 0)
        return;
    context.saveGState();
    context.clipToRect(r);
    context.fillRect(r, gfx::Color::white());
    const float middle = r.midY();
    const float h = wheel.rowHeight;
    const float radius = wheelRadius(r);
    // Rows lie on a drum: one d points along its rim from the middle shows at radius·sin(d/radius),
    // squeezed by cos(d/radius). Only the front half of the drum shows.
    const float reach = radius * std::numbers::pi_v<float> * 0.5f;
    const int first = std::max(int(std::floor(wheel.position() - reach / h)), 0);
    const int last = std::min(int(std::ceil(wheel.position() + reach / h)), wheel.rows - 1);
    const gfx::Font& font = rowFont();
    const float lineHeight = font.lineHeight();
    for (int row = first; row <= last; ++row) {
        const std::string& title = wheel.titles[size_t(row)];
        const float angle = (float(row) - wheel.position()) * h / radius;
        if (title.empty() || std::abs(angle) >= std::numbers::pi_v<float> * 0.5f)
            continue;
        context.saveGState();
        context.translateCTM(0, middle + radius * std::sin(angle));
        context.scaleCTM(1, std::cos(angle));
        context.drawText(title, gfx::Rect(r.minX() + 12, -lineHeight * 0.5f, r.width() - 24, lineHeight), font, gfx::Color::black(),
            gfx::TextAlignment::Left, gfx::LineBreakMode::TailTruncation, 1);
        context.restoreGState();
    }
    // The wheel curves away at the top and the bottom.
    const float shade = r.height() * 0.42f;
    fillVerticalGradient(context, gfx::Rect(r.minX(), r.minY(), r.width(), shade),
        { gfx::Color::grey(0.05f, 0.85f), gfx::Color::grey(0.15f, 0.35f), gfx::Color::grey(0.3f, 0) });
    fillVerticalGradient(context, gfx::Rect(r.minX(), r.maxY() - shade, r.width(), shade),
        { gfx::Color::grey(0.3f, 0), gfx::Color::grey(0.15f, 0.35f), gfx::Color::grey(0.05f, 0.85f) });
    // Thin dark edges make the wheel stand in its slot.
    context.fillRect(gfx::Rect(r.minX(), r.minY(), 1, r.height()), gfx::Color::grey(0, 0.5f));
    context.fillRect(gfx::Rect(r.maxX() - 1, r.minY(), 1, r.height()), gfx::Color::grey(0, 0.5f));
    context.restoreGState();
}

bool PickerView::canBecomeKeyboardFocus() const
{
    if (!isUserInteractionEnabled())
        return false;
    for (const auto& component : m_components)
        if (component.rows > 0)
            return true;
    return false;
}

} // namespace ui
