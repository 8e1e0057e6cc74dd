#include "CarouselView.h"

#include "HelperMethods.h"

#include <cstdint>

namespace {

constexpr float kBackAlpha = 0.3f;
constexpr float kReflectionAlpha = 0.5f;

gfx::AffineTransform scaledAndMoved(float scale, float tx, float ty)
{
    return gfx::AffineTransform::make(scale, 0, 0, scale, tx, ty);
}

// A factor that is a double constant: the product is formed in double precision and rounded
// to single, as the platform's arithmetic on these numbers does. Positions are found by exact
// comparison of transforms, so every one of them must come out bit for bit the same.
float times(double factor, float value)
{
    return float(factor * double(value));
}

// The reflection's frame and image height for a content view of the given size.
double reflectionHeight(const gfx::Size& size)
{
    return double(size.height) * 0.56;
}

gfx::Rect contentFrame(const gfx::Size& size)
{
    return gfx::Rect(100 - size.width * 0.5f, 0, size.width, size.height);
}

} // namespace

CarouselView::CarouselView(const gfx::Rect& frame)
    : ui::View(frame)
{
    const float hx = frame.width() * 0.5f - 100;
    const float hy = frame.height() * 0.5f - 100;
    m_containerFrame = gfx::Rect(hx, hy, 200, 200);

    m_transformA = gfx::AffineTransform::identity();
    m_transformB = scaledAndMoved(0.5f, times(2.2, hx), -hy);
    m_transformC = scaledAndMoved(0.25f, 0, times(-2.2, hy));
    m_transformD = scaledAndMoved(0.5f, times(-2.2, hx), -hy);

    // The toss arcs up and away, then drops below the carousel while shrinking.
    const float scales[8] = { 0.8f, 0.7f, 0.6f, 0.5f, 0.4f, 0.3f, 0.2f, 0.1f };
    const float tx[8] = { times(0.3, hx), times(0.6, hx), times(0.9, hx), times(1.2, hx), 1.5f * hx,
        times(1.8, hx), times(2.1, hx), times(2.2, hx) };
    const float ty[8] = { -hy, times(-1.6, hy), -2.0f * hy, times(-2.2, hy), times(-1.8, hy), times(-1.2, hy),
        times(0.2, hy), times(3.8, hy) };
    for (int i = 0; i < 8; ++i) {
        m_popLeftTransnformStep[i] = scaledAndMoved(scales[i], -tx[i], ty[i]);
        m_popRightTransnformStep[i] = scaledAndMoved(scales[i], tx[i], ty[i]);
    }
}

void CarouselView::populateCarouselWithViewAViewBViewCAndViewDAnimated(std::shared_ptr<ui::View> a,
    std::shared_ptr<ui::View> b, std::shared_ptr<ui::View> c, std::shared_ptr<ui::View> d, bool animated)
{
    std::shared_ptr<ui::View> views[4] = { std::move(a), std::move(b), std::move(c), std::move(d) };
    for (size_t i = 0; i < m_slots.size(); ++i) {
        Slot& slot = m_slots[i];
        slot.container = std::make_shared<ui::View>(m_containerFrame);
        slot.view = views[i];
        const gfx::Size size = slot.view ? slot.view->bounds().size : gfx::Size {};
        const double height = reflectionHeight(size);
        slot.reflection = std::make_shared<ui::ImageView>(gfx::Rect(100 - size.width * 0.5f, size.height, size.width, float(height)));
        if (slot.view) {
            slot.view->setFrame(contentFrame(size));
            slot.reflection->setImage(HelperMethods::reflectedImageOfView(*slot.view, unsigned(height)));
            slot.container->addSubview(slot.view);
        }
        slot.container->addSubview(slot.reflection);
        if (i == 0)
            slot.reflection->setAlpha(kReflectionAlpha);
        else {
            slot.reflection->setAlpha(0);
            slot.container->setUserInteractionEnabled(false);
        }
    }
    // Front last, so it lies on top.
    for (size_t i : { 2, 3, 1, 0 })
        addSubview(m_slots[i].container);

    if (animated)
        beginAnimationBlock(CarouselAnimationPopulate, 0.6);
    const auto places = positions();
    for (size_t i = 0; i < m_slots.size(); ++i) {
        m_slots[i].container->setTransform(places[i].transform);
        m_slots[i].container->setAlpha(places[i].alpha);
        if (i != 0)
            m_slots[i].reflection->setAlpha(kReflectionAlpha);
    }
    if (animated)
        ui::View::commitAnimations();
}

void CarouselView::makeViewActiveWithRotationStyle(const ui::View* view, int style)
{
    const ui::View* container = view ? view->superview() : nullptr;
    if (!container)
        return;
    // Shifts to bring the right, back and left positions to the front, per style.
    static constexpr int shifts[3][3] = {
        { +1, +2, -1 }, // the shortest way
        { +1, +2, +3 }, // always clockwise
        { -3, -2, -1 }, // always counter-clockwise
    };
    const int row = (style == 1 || style == 2) ? style : 0;
    const gfx::AffineTransform& t = container->transform();
    if (t == m_transformB)
        rotateCarousel(shifts[row][0]);
    else if (t == m_transformC)
        rotateCarousel(shifts[row][1]);
    else if (t == m_transformD)
        rotateCarousel(shifts[row][2]);
}

void CarouselView::rotateCarousel(int n)
{
    if (n == 0)
        return;
    for (Slot& slot : m_slots)
        if (slot.container)
            slot.container->setUserInteractionEnabled(false);
    if (n > 0) {
        m_animationStepCounter = n - 1;
        performClockwiseShift();
    } else {
        m_animationStepCounter = n + 1;
        performCounterClockwiseShift();
    }
}

void CarouselView::performClockwiseShift()
{
    shift(true);
}

void CarouselView::performCounterClockwiseShift()
{
    shift(false);
}

void CarouselView::shift(bool clockwise)
{
    auto a = getViewContainerWithTransform(m_transformA);
    auto b = getViewContainerWithTransform(m_transformB);
    auto c = getViewContainerWithTransform(m_transformC);
    auto d = getViewContainerWithTransform(m_transformD);
    // The view heading for the front ends on top; the one leaving it comes next.
    auto raise = [this](const std::shared_ptr<ui::View>& container) {
        if (container)
            bringSubviewToFront(container.get());
    };
    auto place = [](const std::shared_ptr<ui::View>& container, const gfx::AffineTransform& t) {
        if (container)
            container->setTransform(t);
    };
    if (clockwise) {
        for (const auto* container : { &d, &c, &a, &b })
            raise(*container);
    } else {
        for (const auto* container : { &c, &b, &d, &a })
            raise(*container);
    }
    beginAnimationBlock(CarouselAnimationShift, 0.6);
    if (clockwise) {
        place(a, m_transformD);
        place(b, m_transformA);
        place(c, m_transformB);
        place(d, m_transformC);
    } else {
        place(a, m_transformB);
        place(b, m_transformC);
        place(c, m_transformD);
        place(d, m_transformA);
    }
    spotlightActiveView();
    ui::View::commitAnimations();
}

std::array<CarouselView::Position, 4> CarouselView::positions() const
{
    return { {
        { m_transformA, 1.0f },
        { m_transformB, kBackAlpha },
        { m_transformC, kBackAlpha },
        { m_transformD, kBackAlpha },
    } };
}

std::vector<ui::View*> CarouselView::accessibilityChildViews() const
{
    // While it turns (or the screen keeps it closed) a tap reaches nothing in it; nor does a reader.
    auto front = getViewContainerWithTransform(m_transformA);
    if (!front || !isUserInteractionEnabled() || !front->isUserInteractionEnabled() || !ui::isShownForAccessibility(*front))
        return {};
    return { front.get() };
}

void CarouselView::spotlightActiveView()
{
    for (const Position& position : positions())
        if (auto container = getViewContainerWithTransform(position.transform))
            container->setAlpha(position.alpha);
}

void CarouselView::replaceViewWithViewWithTransitionStyle(const ui::View* oldView, std::shared_ptr<ui::View> newView,
    ui::ViewAnimationTransition style)
{
    ui::View* container = oldView ? oldView->superview() : nullptr;
    if (!container || container->superview() != this || !newView)
        return;
    Slot* slot = nullptr;
    for (Slot& candidate : m_slots)
        if (candidate.view.get() == oldView && candidate.container.get() == container)
            slot = &candidate;
    if (!slot)
        return;

    newView->setFrame(contentFrame(newView->bounds().size));
    container->setUserInteractionEnabled(false);
    beginAnimationBlock(CarouselAnimationReplace, 0.5);
    ui::View::setAnimationTransitionForView(style, container, true);
    auto old = std::move(slot->view);
    slot->view = newView;
    old->removeFromSuperview();
    container->addSubview(newView);
    invalidateReflectionOfView(newView.get());
    ui::View::commitAnimations();
}

void CarouselView::invalidateReflectionOfView(ui::View* view)
{
    const ui::View* container = view ? view->superview() : nullptr;
    if (!container)
        return;
    auto reflection = getViewReflectionWithTransform(container->transform());
    if (!reflection)
        return;
    reflection->setImage(HelperMethods::reflectedImageOfView(*view, unsigned(reflectionHeight(view->frame().size))));
}

const CarouselView::Slot* CarouselView::slotWithContainerTransform(const gfx::AffineTransform& transform) const
{
    for (const Slot& slot : m_slots)
        if (slot.container && slot.container->transform() == transform)
            return &slot;
    return nullptr;
}

std::shared_ptr<ui::View> CarouselView::getViewContainerWithTransform(const gfx::AffineTransform& transform) const
{
    const Slot* slot = slotWithContainerTransform(transform);
    return slot ? slot->container : nullptr;
}

std::shared_ptr<ui::ImageView> CarouselView::getViewReflectionWithTransform(const gfx::AffineTransform& transform) const
{
    const Slot* slot = slotWithContainerTransform(transform);
    return slot ? slot->reflection : nullptr;
}

std::shared_ptr<ui::View> CarouselView::getViewWithTransform(const gfx::AffineTransform& transform) const
{
    const Slot* slot = slotWithContainerTransform(transform);
    return slot ? slot->view : nullptr;
}

void CarouselView::beginAnimationBlock(int identifier, double duration)
{
    ui::View::beginAnimations({}, reinterpret_cast<void*>(static_cast<std::intptr_t>(identifier)));
    ui::View::setAnimationDuration(duration);
    // The animator calls back only while the carousel lives, and keeps it alive for the call.
    ui::View::setAnimationDelegate(weak_from_this());
    ui::View::setAnimationDidStopSelector([this](const std::string& animationID, bool finished, void* context) {
        transitionDidStopFinishedContext(animationID, finished, context);
    });
}

void CarouselView::transitionDidStopFinishedContext(const std::string&, bool, void* context)
{
    const auto identifier = static_cast<int>(reinterpret_cast<std::intptr_t>(context));
    switch (identifier) {
    case CarouselAnimationShift:
        if (m_animationStepCounter < 0) {
            ++m_animationStepCounter;
            performCounterClockwiseShift();
        } else if (m_animationStepCounter > 0) {
            --m_animationStepCounter;
            performClockwiseShift();
        } else {
            if (auto front = getViewContainerWithTransform(m_transformA))
                front->setUserInteractionEnabled(true);
            report(identifier);
        }
        break;
    case CarouselAnimationPopLeft:
    case CarouselAnimationPopRight:
        if (m_popAnimatingView)
            popStep(identifier == CarouselAnimationPopLeft ? m_popLeftTransnformStep : m_popRightTransnformStep, identifier);
        else
            report(identifier);
        break;
    case CarouselAnimationPopulate:
    case CarouselAnimationRestore:
    case CarouselAnimationReplace:
        report(identifier);
        break;
    default:
        break;
    }
}

void CarouselView::report(int identifier)
{
    if (auto delegate = m_delegate.lock())
        delegate->carouselViewDidFinishAnimation(this, identifier);
    if (m_autoRestorePoppedView)
        restorePoppedView();
}

void CarouselView::popActiveViewLeft()
{
    popStep(m_popLeftTransnformStep, CarouselAnimationPopLeft);
}

void CarouselView::popActiveViewRight()
{
    popStep(m_popRightTransnformStep, CarouselAnimationPopRight);
}

void CarouselView::popStep(const std::array<gfx::AffineTransform, 8>& steps, int identifier)
{
    if (!m_popAnimatingView)
        m_popAnimatingView = getViewContainerWithTransform(m_transformA);
    if (!m_popAnimatingView)
        return;
    beginAnimationBlock(identifier, 0.055);
    const gfx::AffineTransform current = m_popAnimatingView->transform();
    if (current == m_transformA) {
        // The reflection slides down by its own height and fades as the view takes off.
        if (auto reflection = getViewReflectionWithTransform(m_transformA)) {
            reflection->setTransform(reflection->transform().translated(0, reflection->bounds().height()));
            reflection->setAlpha(0);
        }
        m_popAnimatingView->setTransform(steps[0]);
    } else if (current == steps[6]) {
        if (auto reflection = getViewReflectionWithTransform(steps[6])) {
            reflection->setTransform(gfx::AffineTransform::identity());
            reflection->setAlpha(kReflectionAlpha);
        }
        m_popAnimatingView->setTransform(steps[7]);
        m_popAnimatingView->setAlpha(0);
        m_popAnimatingView = nullptr;
    } else {
        for (size_t k = 0; k + 1 < 7; ++k)
            if (current == steps[k]) {
                m_popAnimatingView->setTransform(steps[k + 1]);
                break;
            }
    }
    ui::View::commitAnimations();
}

std::shared_ptr<ui::View> CarouselView::getPoppedView() const
{
    for (const Slot& slot : m_slots) {
        if (!slot.container)
            continue;
        const gfx::AffineTransform& t = slot.container->transform();
        if (t == m_popLeftTransnformStep[7] || t == m_popRightTransnformStep[7])
            return slot.container;
    }
    return nullptr;
}

void CarouselView::restorePoppedView()
{
    auto popped = getPoppedView();
    if (!popped)
        return;
    // The popped container has left its own position, so one is always free.
    for (const Position& position : positions()) {
        if (getViewContainerWithTransform(position.transform))
            continue;
        popped->setTransform(position.transform);
        beginAnimationBlock(CarouselAnimationRestore, 0.6);
        popped->setAlpha(position.alpha);
        ui::View::commitAnimations();
        return;
    }
}
