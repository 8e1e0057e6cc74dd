#include "ui/ViewAnimator.h"

#include "ui/FrameClock.h"
#include "ui/PageCurl.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ui {

namespace {

foundation::Nanos now()
{
    return foundation::RunLoop::main().nowNanos();
}

// The y of a cubic Bézier timing curve through (0,0), (x1,y1), (x2,y2), (1,1) at x.
float bezierTiming(float x, float x1, float y1, float x2, float y2)
{
    auto coordinate = [](double t, double p1, double p2) {
        double u = 1 - t;
        return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
    };
    // x(t) is monotonic for these curves: bisection is exact enough and cannot diverge.
    double lo = 0, hi = 1, t = x;
    for (int i = 0; i < 40; ++i) {
        t = (lo + hi) / 2;
        if (coordinate(t, x1, x2) < x)
            lo = t;
        else
            hi = t;
    }
    return float(coordinate(t, y1, y2));
}

float ease(ViewAnimationCurve curve, float x)
{
    if (x <= 0 || x >= 1)
        return std::clamp(x, 0.0f, 1.0f);
    switch (curve) {
    case ViewAnimationCurve::EaseInOut:
        return bezierTiming(x, 0.42f, 0, 0.58f, 1);
    case ViewAnimationCurve::EaseIn:
        return bezierTiming(x, 0.42f, 0, 1, 1);
    case ViewAnimationCurve::EaseOut:
        return bezierTiming(x, 0, 0, 0.58f, 1);
    case ViewAnimationCurve::Linear:
        return x;
    }
    return x;
}

float mix(float a, float b, float t) { return a + (b - a) * t; }

AnimatedValue interpolate(const AnimatedValue& from, const AnimatedValue& to, float t)
{
    if (t >= 1)
        return to;
    return std::visit([&](const auto& a) -> AnimatedValue {
        using T = std::decay_t<decltype(a)>;
        const T& b = std::get<T>(to);
        if constexpr (std::is_same_v<T, gfx::Point>)
            return gfx::Point { mix(a.x, b.x, t), mix(a.y, b.y, t) };
        else if constexpr (std::is_same_v<T, gfx::Rect>)
            return gfx::Rect(mix(a.x(), b.x(), t), mix(a.y(), b.y(), t), mix(a.width(), b.width(), t), mix(a.height(), b.height(), t));
        else if constexpr (std::is_same_v<T, gfx::AffineTransform>)
            return gfx::AffineTransform::make(mix(a.a, b.a, t), mix(a.b, b.b, t), mix(a.c, b.c, t), mix(a.d, b.d, t), mix(a.tx, b.tx, t), mix(a.ty, b.ty, t));
        else if constexpr (std::is_same_v<T, float>)
            return mix(a, b, t);
        else
            return a.interpolated(b, t);
    },
        from);
}


// Draws rows y0 to y1 of the screen from image laid over bounds, its row src shown at screen
// row offset + scale * src (a negative scale mirrors it).
void drawImageRows(gfx::Context& context, const gfx::Image& image, const gfx::Rect& bounds, float y0, float y1, float scale, float offset)
{
    if (y1 <= y0)
        return;
    context.saveGState();
    context.clipToRect(gfx::Rect(bounds.minX(), y0, bounds.width(), y1 - y0));
    context.concatCTM(gfx::AffineTransform::make(1, 0, 0, scale, 0, offset));
    context.drawImage(image, bounds);
    context.restoreGState();
}

void fillRows(gfx::Context& context, const gfx::Rect& bounds, float y0, float y1, const gfx::Color& color)
{
    if (y1 > y0 && color.alpha > 0)
        context.fillRect(gfx::Rect(bounds.minX(), y0, bounds.width(), y1 - y0), color);
}

// A shadow across the page, strongest at y0 and gone at y1 (either way round).
void drawShadow(gfx::Context& context, const gfx::Rect& bounds, float y0, float y1, float alpha)
{
    const float top = std::max(std::min(y0, y1), bounds.minY()), bottom = std::min(std::max(y0, y1), bounds.maxY());
    if (bottom <= top || alpha <= 0)
        return;
    auto shade = gfx::Gradient::withColors({ gfx::Color::rgba(0, 0, 0, alpha), gfx::Color::rgba(0, 0, 0, 0) });
    context.saveGState();
    context.clipToRect(gfx::Rect(bounds.minX(), top, bounds.width(), bottom - top));
    context.drawLinearGradient(shade, { bounds.minX(), y0 }, { bounds.minX(), y1 }, 0);
    context.restoreGState();
}

// How much of the print shows through the back of the page.
constexpr float kBackWash = 0.72f;
// Rows of device pixels per band of the roll: fine enough for a smooth bend.
constexpr float kBandPixels = 2;

// The page lifted from the bottom edge and rolled up over a cylinder (see PageCurl), the page
// beneath showing below the roll with the roll's shadow on it. Every screen row shows one
// layer, so each row is drawn once; bands are cut on device pixels so that their clips stay
// exact rectangles.
void drawPageCurl(gfx::Context& context, const gfx::Image* page, const gfx::Image* beneath, const gfx::Rect& b, float progress)
{
    const float h = b.height(), bottom = b.maxY();
    if (h <= 0)
        return;
    const PageCurl curl(h, PageCurl::radiusForLength(h));
    const float line = curl.lineAt(progress);
    const gfx::AffineTransform ctm = context.getCTM();
    auto snap = [&](float y) { return ctm.d == 0 ? y : (std::round(y * ctm.d + ctm.ty) - ctm.ty) / ctm.d; };
    // Screen row of a position along the curl, measured up from the bottom edge.
    auto rowOf = [&](float position) { return snap(bottom - std::clamp(position, 0.0f, h)); };

    const float beneathTop = rowOf(curl.rolledStart(line));
    const float backTop = rowOf(curl.frontStart(line));
    const float lineRow = rowOf(line);
    const float flatBottom = rowOf(std::max(line, curl.backEnd(line)));

    context.saveGState();
    context.clipToRect(b);
    if (beneath)
        drawImageRows(context, *beneath, b, beneathTop, bottom, 1, 0);
    // Unclamped, so that the shadow has left the page at the end.
    const float rollRow = snap(bottom - curl.rolledStart(line));
    drawShadow(context, b, rollRow, rollRow + curl.shadowWidth(), PageCurl::kShadowAlpha);
    if (!page) {
        context.restoreGState();
        return;
    }
    drawImageRows(context, *page, b, b.minY(), flatBottom, 1, 0);
    if (flatBottom < lineRow) {
        // The flat back on top: the page mirrored about the row where it turned over.
        const float mirror = 2 * bottom - 2 * line + std::numbers::pi_v<float> * curl.radius();
        drawImageRows(context, *page, b, flatBottom, lineRow, -1, mirror);
        fillRows(context, b, flatBottom, lineRow, gfx::Color::grey(1, kBackWash));
        drawShadow(context, b, flatBottom, flatBottom - curl.shadowWidth() / 3, PageCurl::kShadowAlpha * 0.6f);
    }

    const float step = ctm.d == 0 ? 1 : kBandPixels / std::fabs(ctm.d);
    auto drawBands = [&](float top, float end, PageCurl::Layer side) {
        for (float y0 = top; y0 < end;) {
            const float y1 = std::min(end, snap(y0 + step));
            if (y1 <= y0)
                break;
            const PageCurl::Sample upper = curl.rolledAt(bottom - y0, line, side);
            const PageCurl::Sample lower = curl.rolledAt(bottom - y1, line, side);
            const float src0 = bottom - upper.distance, src1 = bottom - lower.distance;
            if (std::fabs(src1 - src0) > 1e-4f) {
                const float scale = (y1 - y0) / (src1 - src0);
                drawImageRows(context, *page, b, y0, y1, scale, y0 - scale * src0);
            }
            if (side == PageCurl::Layer::Back)
                fillRows(context, b, y0, y1, gfx::Color::grey(1, kBackWash));
            fillRows(context, b, y0, y1, gfx::Color::rgba(0, 0, 0, 1 - (upper.light + lower.light) / 2));
            y0 = y1;
        }
    };
    drawBands(lineRow, backTop, PageCurl::Layer::Front);
    drawBands(backTop, beneathTop, PageCurl::Layer::Back);
    context.restoreGState();
}

} // namespace

foundation::Nanos AnimationBlock::endTime() const
{
    return startTime + foundation::secondsToNanos(duration);
}

float AnimationBlock::progress(foundation::Nanos time) const
{
    if (!started)
        return 0;
    if (time >= endTime())
        return 1;
    float linear = float(double(time - startTime) / double(endTime() - startTime));
    return ease(curve, std::clamp(linear, 0.0f, 1.0f));
}

ViewAnimator& ViewAnimator::shared()
{
    static ViewAnimator animator;
    return animator;
}

void ViewAnimator::begin(const std::string& name, void* context)
{
    auto block = std::make_shared<AnimationBlock>();
    block->name = name;
    block->context = context;
    if (!m_open.empty()) {
        block->duration = m_open.back()->duration;
        block->curve = m_open.back()->curve;
    }
    m_open.push_back(std::move(block));
}

void ViewAnimator::commit()
{
    if (m_open.empty())
        return;
    m_committedInNest.push_back(m_open.back());
    m_open.pop_back();
    if (!m_open.empty())
        return;
    // The outermost block: everything committed inside it starts now.
    auto blocks = std::move(m_committedInNest);
    m_committedInNest.clear();
    const foundation::Nanos start = now();
    for (auto& block : blocks) {
        block->started = true;
        block->startTime = start;
        if (!m_enabled)
            block->duration = 0;
        else if (m_reducesMotion)
            block->duration *= kReducedMotionScale;
        if (auto view = block->transitionView.lock(); view && block->transition != ViewAnimationTransition::None && block->duration > 0) {
            if (!view->m_animation)
                view->m_animation = std::make_unique<ViewAnimationState>();
            std::shared_ptr<gfx::Image> after;
            if (block->transitionCache)
                after = view->snapshotImage(Screen::mainScreen().scale(), false);
            view->m_animation->transition = TransitionAnimation { block->transition, block->transitionBefore, after, block };
            m_views.insert(view);
            view->invalidateCoveredArea();
        }
        // The timer holds the block until its did-stop callback has run.
        m_stopTimers.push_back(foundation::RunLoop::main().performAfter(block->duration, [this, block] { finishBlock(block); }));
    }
    std::erase_if(m_stopTimers, [](const auto& timer) { return !timer->isValid(); });
    FrameClock::shared().request();
}

void ViewAnimator::finishBlock(const std::shared_ptr<AnimationBlock>& block)
{
    step();
    if (!block->didStop)
        return;
    // The delegate is kept alive for the call; a delegate that has gone hears nothing.
    std::shared_ptr<void> delegate = block->delegate.lock();
    if (block->hasDelegate && !delegate)
        return;
    auto handler = block->didStop;
    handler(block->name, block->finished, block->context);
}

void ViewAnimator::setTransition(ViewAnimationTransition transition, View* view, bool cache)
{
    AnimationBlock* block = current();
    if (!block || !view)
        return;
    block->transition = transition;
    block->transitionView = view->sharedView();
    block->transitionCache = cache;
    block->transitionBefore = transition == ViewAnimationTransition::None ? nullptr : view->snapshotImage(Screen::mainScreen().scale(), true);
}

void ViewAnimator::propertyWillChange(View& view, AnimatedProperty property, const AnimatedValue& presentedBefore)
{
    auto& state = view.m_animation;
    AnimationBlock* block = (m_enabled && !m_open.empty()) ? m_open.back().get() : nullptr;
    if (state) {
        auto& list = state->properties;
        auto it = std::find_if(list.begin(), list.end(), [&](const auto& a) { return a.property == property; });
        if (it != list.end()) {
            // Set again in the block that animates it: the animation just heads for the new value.
            if (block && it->block.get() == block)
                return;
            if (it->block->progress(now()) < 1)
                it->block->finished = false;
            list.erase(it);
        }
    }
    if (!block) {
        if (state && state->properties.empty() && !state->transition) {
            state.reset();
            m_views.erase(view.sharedView());
        }
        return;
    }
    if (!state)
        state = std::make_unique<ViewAnimationState>();
    state->properties.push_back({ property, presentedBefore, m_open.back() });
    m_views.insert(view.sharedView());
}

AnimatedValue ViewAnimator::presented(const View& view, AnimatedProperty property, const AnimatedValue& model) const
{
    if (!view.m_animation)
        return model;
    for (const auto& animation : view.m_animation->properties)
        if (animation.property == property)
            return interpolate(animation.from, model, animation.block->progress(now()));
    return model;
}

const TransitionAnimation* ViewAnimator::transition(const View& view) const
{
    if (!view.m_animation || !view.m_animation->transition)
        return nullptr;
    const auto& t = *view.m_animation->transition;
    return t.block->progress(now()) < 1 ? &t : nullptr;
}

void ViewAnimator::dropEnded(View& view, foundation::Nanos time)
{
    auto& state = view.m_animation;
    if (!state)
        return;
    std::erase_if(state->properties, [&](const auto& a) { return a.block->started && time >= a.block->endTime(); });
    if (state->transition && time >= state->transition->block->endTime())
        state->transition.reset();
    if (state->properties.empty() && !state->transition)
        state.reset();
}

void ViewAnimator::step()
{
    const foundation::Nanos time = now();
    for (auto it = m_views.begin(); it != m_views.end();) {
        View& view = **it;
        // Repaint where it was and where it is now.
        gfx::Rect covered = view.coveredAreaInWindow();
        auto& last = m_lastCovered[&view];
        if (Window* w = view.window())
            w->setNeedsDisplayInWindowRect(covered.united(last));
        last = covered;
        dropEnded(view, time);
        if (!view.m_animation) {
            m_lastCovered.erase(&view);
            it = m_views.erase(it);
        } else
            ++it;
    }
}

void ViewAnimator::reset()
{
    for (auto& timer : m_stopTimers)
        timer->invalidate();
    m_stopTimers.clear();
    m_open.clear();
    m_committedInNest.clear();
    for (auto& view : m_views)
        view->m_animation.reset();
    m_views.clear();
    m_lastCovered.clear();
    m_enabled = true;
    m_reducesMotion = false;
}

void ViewAnimator::drawTransition(View& view, const TransitionAnimation& transition, gfx::Context& context)
{
    const float p = transition.block->progress(now());
    const gfx::Rect b = view.presentedBounds();
    std::shared_ptr<gfx::Image> after = transition.after ? transition.after : view.snapshotImage(Screen::mainScreen().scale(), true);
    const gfx::Image* before = transition.before.get();
    const float top = b.minY(), bottom = b.maxY(), h = b.height();

    switch (transition.type) {
    case ViewAnimationTransition::FlipFromLeft:
    case ViewAnimationTransition::FlipFromRight: {
        // A card turning about its vertical centre line: squeezed by the cosine of the angle,
        // its nearer edge taller. The old face shows for the first half, the new one after.
        const bool firstHalf = p < 0.5f;
        const gfx::Image* face = firstHalf ? before : after.get();
        if (!face)
            return;
        const double angle = p * std::numbers::pi;
        const float squeeze = float(std::fabs(std::cos(angle)));
        const float lift = float(std::sin(angle)) * 0.12f * h;
        const float half = b.width() * 0.5f * squeeze;
        const float mid = b.midX();
        bool leftNear = (transition.type == ViewAnimationTransition::FlipFromLeft) == firstHalf;
        float leftGrow = leftNear ? lift : -lift;
        float rightGrow = -leftGrow;
        context.drawImageInQuad(*face, { mid - half, top - leftGrow * 0.5f }, { mid + half, top - rightGrow * 0.5f },
            { mid + half, bottom + rightGrow * 0.5f }, { mid - half, bottom + leftGrow * 0.5f });
        return;
    }
    case ViewAnimationTransition::CurlUp:
    case ViewAnimationTransition::CurlDown: {
        // A curl down is a curl up run backwards: the new page unrolls over the old one.
        const bool up = transition.type == ViewAnimationTransition::CurlUp;
        drawPageCurl(context, up ? before : after.get(), up ? after.get() : before, b, up ? p : 1 - p);
        return;
    }
    case ViewAnimationTransition::None:
        break;
    }
}

} // namespace ui
