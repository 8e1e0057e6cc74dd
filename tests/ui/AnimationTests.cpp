#include "UiTestSupport.h"

#include <gtest/gtest.h>

using namespace ui;
using gfx::AffineTransform;
using gfx::Rect;

namespace {

class AnimationTest : public uitest::UiTest {
protected:
    struct Stop {
        std::string name;
        bool finished;
        void* context;
        double time;
    };

    // A delegate that notes every did-stop call with the run-loop time it came at.
    std::shared_ptr<int> m_delegate = std::make_shared<int>(0);
    std::vector<Stop> m_stops;

    void listen()
    {
        View::setAnimationDelegate(m_delegate);
        View::setAnimationDidStopSelector([this](const std::string& name, bool finished, void* context) {
            m_stops.push_back({ name, finished, context, runLoop().now() });
        });
    }

    static void* tag(intptr_t n) { return reinterpret_cast<void*>(n); }
};

} // namespace

TEST_F(AnimationTest, ModelValueChangesAtOnceWhileTheDrawnOneMovesOverTheDuration)
{
    auto window = std::make_shared<Window>();
    window->makeKeyAndVisible();
    auto container = coloured(Rect(60, 45, 200, 200), gfx::Color::rgba(1, 0, 0));
    window->addSubview(container);
    const auto right = AffineTransform::make(0.5f, 0, 0, 0.5f, 132, -55);

    View::beginAnimations("turn", tag(2));
    View::setAnimationDuration(0.6);
    container->setTransform(right);
    // Read back at once inside the block, as the lookups by position rely on.
    EXPECT_EQ(container->transform(), right);
    View::commitAnimations();
    EXPECT_EQ(container->transform(), right);
    EXPECT_EQ(container->presentedTransform(), AffineTransform::identity());

    advance(0.3);
    // Half the time of the symmetric ease-in-out curve is half the way.
    auto mid = container->presentedTransform();
    EXPECT_NEAR(mid.a, 0.75, 1e-3);
    EXPECT_NEAR(mid.tx, 66, 0.1);
    EXPECT_NEAR(mid.ty, -27.5, 0.1);
    EXPECT_EQ(container->transform(), right);
    // The screen shows the halfway state: the container's right edge is at 160 + 66 + 75.
    auto screen = renderScreen(*window);
    EXPECT_EQ(screen->bitmap().pixelAt(299, 100).red, 255);
    EXPECT_EQ(screen->bitmap().pixelAt(302, 100).red, 0);
    // Hit-testing uses the model value already.
    EXPECT_EQ(window->hitTest({ 300, 60 }), container.get());

    // Ease in, ease out: slow at the start, fast in the middle.
    EXPECT_TRUE(container->isAnimating());
    advance(0.31);
    EXPECT_EQ(container->presentedTransform(), right);
    EXPECT_FALSE(container->isAnimating());
}

TEST_F(AnimationTest, EaseInOutCurveIsSlowAtBothEnds)
{
    auto view = std::make_shared<View>(Rect(0, 0, 10, 10));
    View::beginAnimations();
    View::setAnimationDuration(1.0);
    view->setAlpha(0);
    View::commitAnimations();
    advance(0.1);
    float early = 1 - view->presentedAlpha();
    advance(0.4);
    float half = 1 - view->presentedAlpha();
    advance(0.4);
    float late = 1 - view->presentedAlpha();
    EXPECT_LT(early, 0.05f);
    EXPECT_NEAR(half, 0.5f, 1e-3);
    EXPECT_GT(late, 0.95f);
    EXPECT_EQ(view->alpha(), 0);
}

TEST_F(AnimationTest, DidStopRunsOnceAfterTheDurationWithItsContextAlsoForAnEmptyBlock)
{
    auto view = std::make_shared<View>(Rect(0, 0, 10, 10));
    View::beginAnimations("pop", tag(3));
    View::setAnimationDuration(0.055);
    listen();
    view->setCenter({ 20, 20 });
    View::commitAnimations();

    View::beginAnimations("empty", tag(6));
    View::setAnimationDuration(0.5);
    listen();
    View::commitAnimations();

    EXPECT_TRUE(m_stops.empty()); // never during the commit
    advance(0.054);
    EXPECT_TRUE(m_stops.empty());
    advance(0.002);
    ASSERT_EQ(m_stops.size(), 1u);
    EXPECT_EQ(m_stops[0].name, "pop");
    EXPECT_EQ(m_stops[0].context, tag(3));
    EXPECT_TRUE(m_stops[0].finished);
    EXPECT_DOUBLE_EQ(m_stops[0].time, 0.055);
    advance(1.0);
    ASSERT_EQ(m_stops.size(), 2u);
    EXPECT_EQ(m_stops[1].context, tag(6));
    EXPECT_DOUBLE_EQ(m_stops[1].time, 0.5);
    advance(5.0);
    EXPECT_EQ(m_stops.size(), 2u);
}

TEST_F(AnimationTest, ChainedBlocksStartFromWhereThePreviousOneEnded)
{
    // Each completion starts the next step, as a rotation of several shifts does.
    auto view = std::make_shared<View>(Rect(0, 0, 10, 10));
    int steps = 0;
    std::function<void()> shift = [&] {
        View::beginAnimations("shift", tag(2));
        View::setAnimationDuration(0.6);
        View::setAnimationDelegate(m_delegate);
        View::setAnimationDidStopSelector([&](const std::string&, bool, void*) {
            if (++steps < 3)
                shift();
        });
        view->setCenter({ view->center().x + 10, 5 });
        View::commitAnimations();
    };
    shift();
    advance(0.9);
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(view->center().x, 25);
    EXPECT_NEAR(view->presentedCenter().x, 20, 0.01);
    advance(1.0);
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(view->presentedCenter().x, 35);
}

TEST_F(AnimationTest, NestedBlocksStartTogetherWhenTheOutermostIsCommitted)
{
    auto a = std::make_shared<View>(Rect(0, 0, 10, 10));
    auto b = std::make_shared<View>(Rect(0, 0, 10, 10));
    View::beginAnimations("outer", tag(1));
    View::setAnimationDuration(0.6);
    listen();
    a->setAlpha(0);
    View::beginAnimations("inner", tag(2));
    listen();
    EXPECT_TRUE(View::isInAnimationBlock());
    b->setAlpha(0); // the inner block takes the outer one's duration
    View::commitAnimations();
    advance(0.3); // nothing runs before the outermost commit
    EXPECT_EQ(b->presentedAlpha(), 1);
    EXPECT_TRUE(m_stops.empty());
    View::commitAnimations();
    EXPECT_FALSE(View::isInAnimationBlock());
    advance(0.3);
    EXPECT_NEAR(a->presentedAlpha(), 0.5, 1e-3);
    EXPECT_NEAR(b->presentedAlpha(), 0.5, 1e-3);
    advance(0.31);
    ASSERT_EQ(m_stops.size(), 2u);
    EXPECT_EQ(m_stops[0].name, "inner");
    EXPECT_EQ(m_stops[1].name, "outer");
    EXPECT_DOUBLE_EQ(m_stops[1].time, 0.9);
    // A commit without a block does nothing.
    View::commitAnimations();
    advance(1);
    EXPECT_EQ(m_stops.size(), 2u);
}

TEST_F(AnimationTest, ReplacedAnimationsReportUnfinishedAndGoneDelegatesHearNothing)
{
    auto view = std::make_shared<View>(Rect(0, 0, 10, 10));
    View::beginAnimations("first");
    View::setAnimationDuration(1.0);
    listen();
    view->setAlpha(0);
    View::commitAnimations();
    advance(0.5);
    float halfway = view->presentedAlpha();
    // Set outside a block: the drawn value jumps to the model value.
    view->setAlpha(0.25f);
    EXPECT_EQ(view->presentedAlpha(), 0.25f);
    EXPECT_NE(halfway, 0.25f);
    advance(1);
    ASSERT_EQ(m_stops.size(), 1u);
    EXPECT_FALSE(m_stops[0].finished);

    auto delegate = std::make_shared<int>(0);
    bool called = false;
    View::beginAnimations("orphan");
    View::setAnimationDelegate(delegate);
    View::setAnimationDidStopSelector([&](const std::string&, bool, void*) { called = true; });
    View::commitAnimations();
    delegate.reset();
    advance(1);
    EXPECT_FALSE(called);
}

TEST_F(AnimationTest, FrameClockRunsOnlyWhileSomethingMoves)
{
    auto window = std::make_shared<Window>();
    window->makeKeyAndVisible();
    auto view = coloured(Rect(10, 30, 50, 50), gfx::Color::white());
    window->addSubview(view);
    std::vector<Rect> painted;
    window->setDisplayHandler([&](const Rect& dirty) { painted.push_back(dirty); });
    advance(0.1);
    ASSERT_EQ(painted.size(), 1u); // the first full frame
    EXPECT_EQ(painted[0], Rect(0, 0, 320, 480));
    EXPECT_FALSE(FrameClock::shared().isRunning());

    // Idle: no frame, however long; only the status bar's minute clock stays scheduled.
    long frames = FrameClock::shared().frameCount();
    advance(50);
    EXPECT_EQ(FrameClock::shared().frameCount() - frames, 0);
    EXPECT_EQ(painted.size(), 1u);

    // A one-second move: frames tick while it runs, repainting only around the view.
    View::beginAnimations();
    View::setAnimationDuration(1.0);
    view->setCenter({ 135, 55 });
    View::commitAnimations();
    EXPECT_TRUE(FrameClock::shared().isRunning());
    advance(1.2);
    EXPECT_FALSE(FrameClock::shared().isRunning());
    EXPECT_GE(painted.size(), 55u);
    EXPECT_LE(painted.size(), 75u);
    for (size_t i = 1; i < painted.size(); ++i) {
        EXPECT_GE(painted[i].minY(), 30);
        EXPECT_LE(painted[i].maxY(), 80);
    }
    // Idle across a whole minute: one frame, for the status bar's clock, and nothing else.
    frames = FrameClock::shared().frameCount();
    painted.clear();
    advance(30);
    EXPECT_EQ(FrameClock::shared().frameCount() - frames, 1);
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0], Rect(0, 0, 320, 20));
    painted.clear();
    // A redraw request paints just that view once.
    view->setNeedsDisplay();
    advance(0.1);
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0], Rect(110, 30, 50, 50));
}

TEST_F(AnimationTest, FlipTransitionShowsTheOldThenTheNewContent)
{
    auto window = std::make_shared<Window>();
    window->makeKeyAndVisible();
    auto container = std::make_shared<View>(Rect(60, 60, 200, 200));
    window->addSubview(container);
    auto oldView = coloured(Rect(0, 0, 200, 200), gfx::Color::rgba(1, 0, 0));
    container->addSubview(oldView);
    auto newView = coloured(Rect(0, 0, 200, 200), gfx::Color::rgba(0, 0, 1));

    View::beginAnimations("replace", tag(6));
    View::setAnimationDuration(0.5);
    listen();
    View::setAnimationTransitionForView(ViewAnimationTransition::FlipFromLeft, container.get(), true);
    oldView->removeFromSuperview();
    container->addSubview(newView);
    View::commitAnimations();
    EXPECT_EQ(container->subviews().front(), newView);

    advance(0.1);
    auto early = renderScreen(*window);
    EXPECT_EQ(early->bitmap().pixelAt(160, 160).red, 255);
    EXPECT_EQ(early->bitmap().pixelAt(62, 160).red, 0); // squeezed towards the middle
    advance(0.3);
    auto late = renderScreen(*window);
    EXPECT_EQ(late->bitmap().pixelAt(160, 160).blue, 255);
    advance(0.2);
    auto done = renderScreen(*window);
    EXPECT_EQ(done->bitmap().pixelAt(62, 160).blue, 255);
    ASSERT_EQ(m_stops.size(), 1u);
    EXPECT_EQ(m_stops[0].context, tag(6));
}
