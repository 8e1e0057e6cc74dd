#include "UiTestSupport.h"

#include "CarouselView.h"

#include <gtest/gtest.h>

using gfx::AffineTransform;
using gfx::Color;
using gfx::Rect;

namespace {

AffineTransform scaled(float scale, float tx, float ty)
{
    return AffineTransform::make(scale, 0, 0, scale, tx, ty);
}

// Notes every report with the run-loop time it came at.
class RecordingDelegate : public CarouselViewDelegate {
public:
    struct Report {
        int identifier;
        double time;
    };
    void carouselViewDidFinishAnimation(CarouselView* carouselView, int identifier) override
    {
        EXPECT_NE(carouselView, nullptr);
        reports.push_back({ identifier, foundation::RunLoop::main().now() });
    }
    std::vector<int> identifiers() const
    {
        std::vector<int> ids;
        for (const auto& r : reports)
            ids.push_back(r.identifier);
        return ids;
    }
    std::vector<Report> reports;
};

class CarouselTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        m_carousel = std::make_shared<CarouselView>(Rect(0, 40, 320, 310));
        m_carousel->setDelegate(m_delegate);
        const Color colours[4] = { Color::rgba(1, 0, 0), Color::rgba(0, 1, 0), Color::rgba(0, 0, 1), Color::rgba(1, 1, 0) };
        for (int i = 0; i < 4; ++i)
            m_views[i] = coloured(Rect(0, 0, 164, 164), colours[i]);
    }

    void fill(bool animated = false)
    {
        m_carousel->populateCarouselWithViewAViewBViewCAndViewDAnimated(m_views[0], m_views[1], m_views[2], m_views[3], animated);
    }
    ui::View& container(int slot) const { return *m_views[slot]->superview(); }
    AffineTransform transformOf(int slot) const { return container(slot).transform(); }
    // Which position (0 front … 3 left) a slot's container stands at; -1 for none.
    int positionOf(int slot) const
    {
        const AffineTransform positions[4] = { m_carousel->transformA(), m_carousel->transformB(), m_carousel->transformC(), m_carousel->transformD() };
        for (int p = 0; p < 4; ++p)
            if (transformOf(slot) == positions[p])
                return p;
        return -1;
    }
    std::vector<int> positions() const { return { positionOf(0), positionOf(1), positionOf(2), positionOf(3) }; }
    std::vector<bool> touchable() const
    {
        std::vector<bool> flags;
        for (int slot = 0; slot < 4; ++slot)
            flags.push_back(container(slot).isUserInteractionEnabled());
        return flags;
    }

    std::shared_ptr<CarouselView> m_carousel;
    std::shared_ptr<RecordingDelegate> m_delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<ui::View> m_views[4];
};

constexpr int kFront = 0, kRight = 1, kBack = 2, kLeft = 3;

} // namespace

TEST_F(CarouselTest, PositionTransformsComeFromTheFrameWithDoublePrecisionFactors)
{
    EXPECT_EQ(m_carousel->transformA(), AffineTransform::identity());
    EXPECT_EQ(m_carousel->transformB(), scaled(0.5f, 132, -55));
    EXPECT_EQ(m_carousel->transformC(), scaled(0.25f, 0, -121));
    EXPECT_EQ(m_carousel->transformD(), scaled(0.5f, -132, -55));

    // hx = 6, hy = 31: 2.2 times them rounds differently in single precision (13.2000008),
    // and positions are told apart by exact equality.
    CarouselView odd(Rect(0, 0, 212, 262));
    EXPECT_EQ(odd.transformB(), scaled(0.5f, 13.2f, -31));
    EXPECT_EQ(odd.transformC(), scaled(0.25f, 0, -68.2f));
    EXPECT_EQ(odd.transformD(), scaled(0.5f, -13.2f, -31));
}

TEST_F(CarouselTest, FillingWithoutAnimationPlacesEverythingAtOnceAndReportsNothing)
{
    fill();
    EXPECT_EQ(positions(), (std::vector<int> { kFront, kRight, kBack, kLeft }));
    EXPECT_EQ(m_carousel->viewA(), m_views[0]);
    EXPECT_EQ(m_carousel->viewD(), m_views[3]);
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(container(slot).bounds(), Rect(0, 0, 200, 200));
        EXPECT_EQ(container(slot).center(), (gfx::Point { 160, 155 }));
        EXPECT_EQ(m_views[slot]->frame(), Rect(18, 0, 164, 164));
        EXPECT_EQ(container(slot).alpha(), slot == 0 ? 1.0f : 0.3f);
        EXPECT_EQ(container(slot).presentedAlpha(), container(slot).alpha());
        // Content first, then its reflection, 56 % as tall, right below it at alpha 0.5.
        ASSERT_EQ(container(slot).subviews().size(), 2u);
        auto reflection = std::dynamic_pointer_cast<ui::ImageView>(container(slot).subviews()[1]);
        ASSERT_TRUE(reflection);
        EXPECT_EQ(reflection->frame(), Rect(18, 164, 164, 91.84f));
        EXPECT_EQ(reflection->alpha(), 0.5f);
        ASSERT_TRUE(reflection->image());
        EXPECT_EQ(reflection->image()->size(), (gfx::Size { 164, 91 }));
    }
    EXPECT_EQ(touchable(), (std::vector<bool> { true, false, false, false }));
    // Stacked back to front C, D, B, A.
    const auto& stack = m_carousel->subviews();
    ASSERT_EQ(stack.size(), 4u);
    EXPECT_EQ(stack[0].get(), &container(2));
    EXPECT_EQ(stack[1].get(), &container(3));
    EXPECT_EQ(stack[2].get(), &container(1));
    EXPECT_EQ(stack[3].get(), &container(0));
    advance(2);
    EXPECT_TRUE(m_delegate->reports.empty());
    EXPECT_EQ(m_carousel->getViewWithTransform(m_carousel->transformC()), m_views[2]);
    EXPECT_FALSE(m_carousel->getViewWithTransform(scaled(0.3f, 0, 0)));
}

TEST_F(CarouselTest, AnimatedFillingSlidesTheBackViewsOutOfTheFrontAndReportsOnce)
{
    fill(true);
    // Model values are final at once; what is drawn starts at the front.
    EXPECT_EQ(transformOf(1), m_carousel->transformB());
    EXPECT_EQ(container(1).presentedTransform(), AffineTransform::identity());
    EXPECT_EQ(container(1).subviews()[1]->presentedAlpha(), 0);
    advance(0.3);
    EXPECT_NEAR(container(1).presentedTransform().tx, 66, 0.1);
    EXPECT_NEAR(container(1).presentedAlpha(), 0.65, 1e-3);
    EXPECT_NEAR(container(1).subviews()[1]->presentedAlpha(), 0.25, 1e-3);
    EXPECT_TRUE(m_delegate->reports.empty());
    advance(0.31);
    ASSERT_EQ(m_delegate->identifiers(), std::vector<int> { 1 });
    EXPECT_DOUBLE_EQ(m_delegate->reports[0].time, 0.6);
    EXPECT_EQ(container(3).presentedTransform(), m_carousel->transformD());
    advance(2);
    EXPECT_EQ(m_delegate->reports.size(), 1u);
}

TEST_F(CarouselTest, ShortestTurnToTheBackRunsTwoClockwiseShiftsAndReportsOnce)
{
    fill();
    m_carousel->makeViewActiveWithRotationStyle(m_views[2].get(), 0);
    // First shift, clockwise: front to left, right to front, back to right, left to back.
    EXPECT_EQ(positions(), (std::vector<int> { kLeft, kFront, kRight, kBack }));
    EXPECT_EQ(touchable(), (std::vector<bool> { false, false, false, false }));
    // The view heading for the front is drawn on top.
    EXPECT_EQ(m_carousel->subviews().back().get(), &container(1));
    advance(0.3);
    EXPECT_NEAR(container(0).presentedAlpha(), 0.65, 1e-3);
    advance(0.31);
    // The second shift has begun; nothing reported yet.
    EXPECT_TRUE(m_delegate->reports.empty());
    EXPECT_EQ(positions(), (std::vector<int> { kBack, kLeft, kFront, kRight }));
    EXPECT_EQ(touchable(), (std::vector<bool> { false, false, false, false }));
    advance(0.6);
    ASSERT_EQ(m_delegate->identifiers(), std::vector<int> { 2 });
    EXPECT_DOUBLE_EQ(m_delegate->reports[0].time, 1.2);
    EXPECT_EQ(container(2).alpha(), 1.0f);
    for (int slot : { 0, 1, 3 })
        EXPECT_EQ(container(slot).alpha(), 0.3f) << slot;
    EXPECT_EQ(touchable(), (std::vector<bool> { false, false, true, false }));
    EXPECT_EQ(m_carousel->subviews().back().get(), &container(2));
    // Reflections keep their own alpha.
    EXPECT_EQ(container(2).subviews()[1]->alpha(), 0.5f);
    advance(2);
    EXPECT_EQ(m_delegate->reports.size(), 1u);
}

TEST_F(CarouselTest, FixedDirectionStylesTakeThreeShiftsTheLongWayRound)
{
    fill();
    // Style 1 on the left view: clockwise three times.
    m_carousel->makeViewActiveWithRotationStyle(m_views[3].get(), 1);
    EXPECT_EQ(positionOf(0), kLeft);
    advance(1.79);
    EXPECT_TRUE(m_delegate->reports.empty());
    advance(0.02);
    ASSERT_EQ(m_delegate->identifiers(), std::vector<int> { 2 });
    EXPECT_EQ(positions(), (std::vector<int> { kRight, kBack, kLeft, kFront }));

    // Style 2 on the (now) right view A: counter-clockwise three times.
    m_carousel->makeViewActiveWithRotationStyle(m_views[0].get(), 2);
    EXPECT_EQ(positionOf(3), kRight); // the front went right: counter-clockwise
    advance(1.81);
    ASSERT_EQ(m_delegate->identifiers(), (std::vector<int> { 2, 2 }));
    EXPECT_EQ(positions(), (std::vector<int> { kFront, kRight, kBack, kLeft }));
    EXPECT_EQ(touchable(), (std::vector<bool> { true, false, false, false }));

    // The shortest way to the left view is one counter-clockwise shift.
    m_carousel->makeViewActiveWithRotationStyle(m_views[3].get(), 0);
    advance(0.61);
    ASSERT_EQ(m_delegate->reports.size(), 3u);
    EXPECT_NEAR(m_delegate->reports[2].time, 4.22, 1e-6);
    EXPECT_EQ(positionOf(3), kFront);
}

TEST_F(CarouselTest, TurnsThatAreNotNeededDoNothingAtAll)
{
    fill();
    m_carousel->makeViewActiveWithRotationStyle(m_views[0].get(), 0);
    m_carousel->makeViewActiveWithRotationStyle(m_views[0].get(), 1);
    m_carousel->rotateCarousel(0);
    auto loose = coloured(Rect(0, 0, 10, 10), Color::white());
    m_carousel->makeViewActiveWithRotationStyle(loose.get(), 0);
    m_carousel->makeViewActiveWithRotationStyle(nullptr, 0);
    EXPECT_FALSE(container(1).isAnimating());
    EXPECT_EQ(touchable(), (std::vector<bool> { true, false, false, false }));
    // A popped view has no position to turn from.
    m_carousel->popActiveViewLeft();
    advance(1);
    m_delegate->reports.clear();
    m_carousel->makeViewActiveWithRotationStyle(m_views[0].get(), 0);
    advance(2);
    EXPECT_TRUE(m_delegate->reports.empty());
    EXPECT_EQ(positions(), (std::vector<int> { -1, kRight, kBack, kLeft }));
}

TEST_F(CarouselTest, ReplacingSwapsTheSlotsViewWithATransitionAndRenewsItsReflection)
{
    fill();
    auto symbol = coloured(Rect(0, 0, 120, 100), Color::rgba(0, 1, 1));
    // A view outside the carousel, or one of a foreign container, is not replaced.
    auto stranger = std::make_shared<ui::View>(Rect(0, 0, 200, 200));
    auto inside = coloured(Rect(0, 0, 10, 10), Color::white());
    stranger->addSubview(inside);
    m_carousel->replaceViewWithViewWithTransitionStyle(inside.get(), symbol, ui::ViewAnimationTransition::FlipFromLeft);
    auto orphan = coloured(Rect(0, 0, 10, 10), Color::white());
    m_carousel->replaceViewWithViewWithTransitionStyle(orphan.get(), symbol, ui::ViewAnimationTransition::FlipFromLeft);
    advance(1);
    EXPECT_TRUE(m_delegate->reports.empty());
    EXPECT_EQ(symbol->superview(), nullptr);
    EXPECT_EQ(m_carousel->viewC(), m_views[2]);

    m_carousel->replaceViewWithViewWithTransitionStyle(m_views[0].get(), symbol, ui::ViewAnimationTransition::FlipFromRight);
    EXPECT_EQ(m_carousel->viewA(), symbol);
    EXPECT_EQ(m_views[0]->superview(), nullptr);
    EXPECT_EQ(symbol->frame(), Rect(40, 0, 120, 100));
    ui::View& front = *symbol->superview();
    EXPECT_FALSE(front.isUserInteractionEnabled());
    EXPECT_TRUE(front.isAnimating()); // the flip
    // The reflection now mirrors the new view; its frame stays the old one.
    auto reflection = m_carousel->getViewReflectionWithTransform(m_carousel->transformA());
    ASSERT_TRUE(reflection && reflection->image());
    EXPECT_EQ(reflection->image()->size(), (gfx::Size { 120, 56 }));
    EXPECT_EQ(reflection->image()->pixelAt(10, 0), (gfx::Pixel { 0, 255, 255, 255 }));
    EXPECT_EQ(reflection->frame(), Rect(18, 164, 164, 91.84f));
    advance(0.49);
    EXPECT_TRUE(m_delegate->reports.empty());
    advance(0.02);
    ASSERT_EQ(m_delegate->identifiers(), std::vector<int> { 6 });
    EXPECT_FALSE(front.isUserInteractionEnabled());
}

TEST_F(CarouselTest, LeftPopPassesThroughEightKeyFramesAndReportsOnce)
{
    fill();
    ui::View& popped = container(0);
    auto reflection = m_carousel->getViewReflectionWithTransform(m_carousel->transformA());
    EXPECT_FALSE(m_carousel->getPoppedView());

    const AffineTransform frames[8] = {
        scaled(0.8f, -18, -55), scaled(0.7f, -36, -88), scaled(0.6f, -54, -110), scaled(0.5f, -72, -121),
        scaled(0.4f, -90, -99), scaled(0.3f, -108, -66), scaled(0.2f, -126, 11), scaled(0.1f, -132, 209),
    };
    m_carousel->popActiveViewLeft();
    // The reflection slides down by its own height and fades as the view takes off.
    EXPECT_EQ(reflection->transform(), AffineTransform::makeTranslation(0, 91.84f));
    EXPECT_EQ(reflection->alpha(), 0);
    for (int step = 0; step < 8; ++step) {
        EXPECT_EQ(popped.transform(), frames[step]) << "step " << step + 1;
        EXPECT_EQ(popped.alpha(), step < 7 ? 1.0f : 0.0f) << "step " << step + 1;
        EXPECT_TRUE(m_delegate->reports.empty()) << "step " << step + 1;
        advance(0.055);
    }
    ASSERT_EQ(m_delegate->identifiers(), std::vector<int> { 3 });
    EXPECT_NEAR(m_delegate->reports[0].time, 0.44, 1e-9);
    EXPECT_EQ(popped.presentedTransform(), frames[7]);
    EXPECT_EQ(reflection->transform(), AffineTransform::identity());
    EXPECT_EQ(reflection->alpha(), 0.5f);
    EXPECT_EQ(m_carousel->getPoppedView().get(), &popped);
    EXPECT_FALSE(m_carousel->getViewContainerWithTransform(m_carousel->transformA()));

    // With nothing at the front a further pop does nothing.
    m_carousel->popActiveViewRight();
    advance(1);
    EXPECT_EQ(m_delegate->reports.size(), 1u);
}

TEST_F(CarouselTest, RightPopMirrorsTheLeftOneAndReportsFour)
{
    fill();
    m_carousel->popActiveViewRight();
    EXPECT_EQ(transformOf(0), scaled(0.8f, 18, -55));
    advance(0.5);
    EXPECT_EQ(m_delegate->identifiers(), std::vector<int> { 4 });
    EXPECT_EQ(transformOf(0), scaled(0.1f, 132, 209));

    // The step-8 key frames need double-precision products too.
    auto odd = std::make_shared<CarouselView>(Rect(0, 0, 212, 262));
    auto v = coloured(Rect(0, 0, 164, 164), Color::white());
    odd->populateCarouselWithViewAViewBViewCAndViewDAnimated(v, nullptr, nullptr, nullptr, false);
    odd->popActiveViewLeft();
    advance(0.5);
    EXPECT_EQ(v->superview()->transform(), scaled(0.1f, -13.2f, 117.8f));
}

TEST_F(CarouselTest, RestoreBringsThePoppedViewBackToTheFirstFreePosition)
{
    fill();
    m_carousel->restorePoppedView(); // nothing popped
    advance(1);
    EXPECT_TRUE(m_delegate->reports.empty());

    m_carousel->popActiveViewLeft();
    advance(0.5);
    m_carousel->restorePoppedView();
    // In place at once, fading in.
    EXPECT_EQ(transformOf(0), AffineTransform::identity());
    EXPECT_EQ(container(0).presentedTransform(), AffineTransform::identity());
    EXPECT_EQ(container(0).presentedAlpha(), 0);
    EXPECT_FALSE(m_carousel->getPoppedView());
    advance(0.6);
    EXPECT_EQ(m_delegate->identifiers(), (std::vector<int> { 3, 5 }));
    EXPECT_EQ(container(0).presentedAlpha(), 1.0f);
    EXPECT_EQ(container(0).subviews()[1]->alpha(), 0.5f);

    // Popped, then turned one step clockwise: the empty front went left, and it comes back there.
    m_carousel->popActiveViewLeft();
    advance(0.5);
    m_carousel->rotateCarousel(1);
    advance(0.6);
    EXPECT_EQ(positions(), (std::vector<int> { -1, kFront, kRight, kBack }));
    m_carousel->restorePoppedView();
    EXPECT_EQ(positionOf(0), kLeft);
    advance(0.6);
    EXPECT_EQ(m_delegate->identifiers(), (std::vector<int> { 3, 5, 3, 2, 5 }));
    EXPECT_EQ(container(0).alpha(), 0.3f);
    EXPECT_FALSE(m_carousel->getPoppedView());
}

TEST_F(CarouselTest, AutomaticRestoreFollowsEveryReport)
{
    fill();
    m_carousel->setAutoRestorePoppedView(true);
    m_carousel->popActiveViewRight();
    advance(0.44);
    EXPECT_EQ(m_delegate->identifiers(), std::vector<int> { 4 });
    EXPECT_EQ(transformOf(0), AffineTransform::identity());
    advance(0.6);
    EXPECT_EQ(m_delegate->identifiers(), (std::vector<int> { 4, 5 }));
    advance(2);
    EXPECT_EQ(m_delegate->reports.size(), 2u);
    EXPECT_EQ(container(0).alpha(), 1.0f);
}

TEST_F(CarouselTest, AGoneDelegateOrCarouselHearsNothing)
{
    fill();
    m_carousel->makeViewActiveWithRotationStyle(m_views[1].get(), 0);
    m_delegate.reset();
    advance(1); // the report finds no delegate
    m_carousel->makeViewActiveWithRotationStyle(m_views[2].get(), 0);
    std::weak_ptr<CarouselView> weak = m_carousel;
    m_carousel.reset();
    EXPECT_TRUE(weak.expired());
    advance(1);
}

TEST_F(CarouselTest, ScreenReadersReachOnlyTheFrontViewAndNothingWhileItTurns)
{
    auto window = std::make_shared<ui::Window>();
    window->addSubview(m_carousel);
    window->makeKeyAndVisible();
    fill();
    auto reached = [&] { return m_carousel->accessibilityChildViews(); };
    EXPECT_EQ(reached(), (std::vector<ui::View*> { &container(0) }));
    m_carousel->makeViewActiveWithRotationStyle(m_views[2].get(), 0);
    EXPECT_TRUE(reached().empty());
    advance(1.3);
    EXPECT_EQ(reached(), (std::vector<ui::View*> { &container(2) }));
    // A carousel its screen keeps closed offers nothing either.
    m_carousel->setUserInteractionEnabled(false);
    EXPECT_TRUE(reached().empty());
}
