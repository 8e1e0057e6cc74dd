// Touches that an ancestor watches and takes over, wheel and key routing, frame-clock
// motions, and the scroll view's drag, fling, bounce, wheel, keys and indicators.
#include "UiTestSupport.h"

#include "ui/Button.h"
#include "ui/ScrollIndicator.h"
#include "ui/ScrollView.h"
#include "ui/ScrollViewDelegate.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ui;
using gfx::Point;
using gfx::Rect;

namespace {

// Records what reaches it from below.
class RecordingView : public View {
public:
    using View::View;
    void scrollWheel(const WheelEvent& event) override { wheels.push_back(event.delta); }
    void keyPressed(Key key) override { keys.push_back(key); }
    std::vector<Point> wheels;
    std::vector<Key> keys;
};

class CountingDelegate : public ScrollViewDelegate {
public:
    void scrollViewDidScroll(ScrollView&) override { ++scrolls; }
    void scrollViewWillBeginDragging(ScrollView&) override { ++drags; }
    void scrollViewDidEndDragging(ScrollView&, bool decelerate) override { lastDecelerate = decelerate; }
    void scrollViewDidEndDecelerating(ScrollView&) override { ++rests; }
    int scrolls { 0 };
    int drags { 0 };
    int rests { 0 };
    bool lastDecelerate { false };
};

class ScrollViewTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        window = std::make_shared<Window>();
        root = std::make_shared<RecordingView>(Rect(0, 0, 320, 480));
        window->addSubview(root);
        scroll = std::make_shared<ScrollView>(Rect(0, 20, 320, 400));
        scroll->setContentSize({ 320, 2000 });
        scroll->setDelegate(&delegate);
        root->addSubview(scroll);
        button = std::make_shared<Button>(Rect(20, 100, 200, 44));
        button->addTargetActionForControlEvents(this, [this](Control&) { ++taps; }, ControlEventTouchUpInside);
        button->addTargetActionForControlEvents(this, [this](Control&) { ++cancels; }, ControlEventTouchCancel);
        scroll->addSubview(button);
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        scroll->setDelegate(nullptr);
        UiTest::TearDown();
    }

    void touch(TouchPhase phase, Point p) { window->sendTouch(1, phase, p); }
    // A finger from `from` moving by `by` in `steps` moves of 10 ms, then lifted.
    void swipe(Point from, Point by, int steps = 10, bool lift = true)
    {
        touch(TouchPhase::Began, from);
        for (int i = 1; i <= steps; ++i) {
            advance(0.01);
            touch(TouchPhase::Moved, { from.x + by.x * float(i) / float(steps), from.y + by.y * float(i) / float(steps) });
        }
        if (lift)
            touch(TouchPhase::Ended, { from.x + by.x, from.y + by.y });
    }
    float offsetY() const { return scroll->contentOffset().y; }

    std::shared_ptr<Window> window;
    std::shared_ptr<RecordingView> root;
    std::shared_ptr<ScrollView> scroll;
    std::shared_ptr<Button> button;
    CountingDelegate delegate;
    int taps { 0 };
    int cancels { 0 };
};

} // namespace

TEST_F(ScrollViewTest, ATapGoesToTheControlAndADragPastTheSlopCancelsIt)
{
    // Button centre on screen: (120, 20 + 122).
    touch(TouchPhase::Began, { 120, 142 });
    touch(TouchPhase::Ended, { 120, 142 });
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(offsetY(), 0);

    touch(TouchPhase::Began, { 120, 142 });
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_TRUE(scroll->isTracking());
    touch(TouchPhase::Moved, { 120, 142 - ScrollView::kTouchSlop + 1 });
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_FALSE(scroll->isDragging());
    EXPECT_EQ(offsetY(), 0);
    // Past the slop the scroll view takes the touch; the content does not jump by the slop.
    touch(TouchPhase::Moved, { 120, 130 });
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_TRUE(scroll->isDragging());
    EXPECT_EQ(delegate.drags, 1);
    EXPECT_EQ(offsetY(), 0);
    touch(TouchPhase::Moved, { 120, 100 });
    EXPECT_EQ(offsetY(), 30);
    advance(0.5);
    touch(TouchPhase::Ended, { 120, 100 });
    EXPECT_EQ(taps, 1);
    EXPECT_FALSE(scroll->isDragging());
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_FALSE(delegate.lastDecelerate);
    EXPECT_EQ(offsetY(), 30);
}

TEST_F(ScrollViewTest, AFlingDeceleratesOnTheFrameClockStopsAndLeavesTheClockIdle)
{
    swipe({ 160, 400 }, { 0, -150 });
    EXPECT_TRUE(delegate.lastDecelerate);
    ASSERT_TRUE(scroll->isDecelerating());
    const float released = offsetY();
    std::vector<float> offsets { released };
    while (scroll->isDecelerating() && offsets.size() < 600) {
        advance(FrameClock::kFrameInterval);
        offsets.push_back(offsetY());
    }
    ASSERT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(delegate.rests, 1);
    EXPECT_GT(offsets.back(), released + 300);
    for (size_t i = 2; i < offsets.size(); ++i)
        EXPECT_LE(offsets[i] - offsets[i - 1], offsets[i - 1] - offsets[i - 2] + 0.01f) << i;
    // Once the indicators have faded nothing ticks any more.
    advance(ScrollView::kIndicatorDelay + ScrollView::kIndicatorFade + 0.1);
    EXPECT_FALSE(FrameClock::shared().isRunning());
    EXPECT_EQ(scroll->verticalScrollIndicator().alpha(), 0);
}

TEST_F(ScrollViewTest, FlingsBounceBackAtBothEndsAndDragsPastThemStretch)
{
    scroll->setContentOffset({ 0, 1500 }); // the maximum is 1600
    swipe({ 160, 400 }, { 0, -200 });
    float furthest = 0;
    while (scroll->isDecelerating()) {
        advance(FrameClock::kFrameInterval);
        furthest = std::max(furthest, offsetY());
    }
    EXPECT_GT(furthest, 1610);
    EXPECT_EQ(offsetY(), 1600);

    scroll->setContentOffset({ 0, 0 });
    swipe({ 160, 100 }, { 0, 200 }, 10, false);
    EXPECT_LT(offsetY(), -20);
    EXPECT_GT(offsetY(), -200 + ScrollView::kTouchSlop);
    advance(0.3);
    touch(TouchPhase::Ended, { 160, 300 });
    ASSERT_TRUE(scroll->isDecelerating());
    advance(1.5);
    EXPECT_EQ(offsetY(), 0);
    EXPECT_FALSE(scroll->isDecelerating());

    scroll->setBounces(false);
    swipe({ 160, 100 }, { 0, 200 });
    EXPECT_EQ(offsetY(), 0);
}

TEST_F(ScrollViewTest, ATouchDuringAFlingStopsItAndReachesNothingElse)
{
    swipe({ 160, 400 }, { 0, -150 });
    advance(0.1);
    ASSERT_TRUE(scroll->isDecelerating());
    const float stoppedAt = offsetY();
    // Whatever is under the finger now, it only stops the fling.
    touch(TouchPhase::Began, { 160, 200 });
    EXPECT_FALSE(scroll->isDecelerating());
    touch(TouchPhase::Ended, { 160, 200 });
    advance(1);
    EXPECT_EQ(offsetY(), stoppedAt);
    EXPECT_EQ(taps, 0);
}

TEST_F(ScrollViewTest, WheelMovesTheContentAndWhatItCannotUseGoesUpTheChain)
{
    window->sendWheel({ 160, 200 }, { 0, -120 });
    EXPECT_EQ(offsetY(), 120);
    EXPECT_TRUE(root->wheels.empty());
    // Sideways, and up past the top, this content cannot follow.
    window->sendWheel({ 160, 200 }, { -30, 0 });
    ASSERT_EQ(root->wheels.size(), 1u);
    window->sendWheel({ 160, 200 }, { 0, 500 });
    EXPECT_EQ(offsetY(), 0);
    EXPECT_EQ(root->wheels.size(), 1u);
    window->sendWheel({ 160, 200 }, { 0, 10 });
    EXPECT_EQ(root->wheels.size(), 2u);
    // Over the button inside, the wheel still scrolls.
    window->sendWheel({ 120, 142 }, { 0, -5000 }, WheelPhase::Changed);
    EXPECT_EQ(offsetY(), 1600);
    // Outside the scroll view it never arrives.
    window->sendWheel({ 160, 450 }, { 0, -10 });
    EXPECT_EQ(offsetY(), 1600);
    EXPECT_EQ(root->wheels.size(), 3u);
}

TEST_F(ScrollViewTest, KeysScrollTheFocusedViewAnimatedAndPassOnWhatItCannotUse)
{
    // Focus: the view the last touch began in, with no first responder.
    touch(TouchPhase::Began, { 300, 300 });
    touch(TouchPhase::Ended, { 300, 300 });
    window->sendKey(Key::PageDown);
    EXPECT_TRUE(scroll->isDecelerating());
    window->sendKey(Key::PageDown); // adds to where the first one goes
    advance(1);
    EXPECT_EQ(offsetY(), 2 * (400 - ScrollView::kLineStep));
    window->sendKey(Key::Up);
    advance(1);
    EXPECT_EQ(offsetY(), 2 * (400 - ScrollView::kLineStep) - ScrollView::kLineStep);
    window->sendKey(Key::End);
    advance(1);
    EXPECT_EQ(offsetY(), 1600);
    window->sendKey(Key::Down);
    window->sendKey(Key::Return);
    window->sendKey(Key::Home);
    advance(1);
    EXPECT_EQ(offsetY(), 0);
    EXPECT_EQ(root->keys, (std::vector<Key> { Key::Down, Key::Return }));
    // The first responder comes first.
    ASSERT_TRUE(scroll->becomeFirstResponder());
    touch(TouchPhase::Began, { 10, 460 });
    touch(TouchPhase::Ended, { 10, 460 });
    window->sendKey(Key::Down);
    advance(1);
    EXPECT_EQ(offsetY(), ScrollView::kLineStep);
}

TEST_F(ScrollViewTest, ARectShownDuringAnAnimatedScrollIsShownWhereTheScrollEnds)
{
    // The content heads for the end; a rect in view now but not there must still end in view.
    scroll->setContentOffset({ 0, 1600 }, true);
    advance(0.02);
    const Rect nearTop(0, 300, 320, 44);
    ASSERT_LT(offsetY(), 300 - 400 + 44 + 200) << "still in view now";
    scroll->scrollRectToVisible(nearTop, true);
    advance(2);
    EXPECT_LE(offsetY(), nearTop.minY());
    EXPECT_GE(offsetY() + 400, nearTop.maxY());
    // A rect the scroll is heading for already changes nothing.
    scroll->setContentOffset({ 0, 1600 }, true);
    advance(0.02);
    scroll->scrollRectToVisible(Rect(0, 1900, 320, 44), true);
    advance(2);
    EXPECT_EQ(offsetY(), 1600);
}

TEST_F(ScrollViewTest, IndicatorsShowWhileMovingAndFadeAfterwards)
{
    const ScrollIndicator& bar = scroll->verticalScrollIndicator();
    EXPECT_EQ(bar.alpha(), 0);
    swipe({ 160, 300 }, { 0, -100 }, 10, false);
    window->displayIfNeeded();
    EXPECT_EQ(bar.alpha(), 1);
    EXPECT_FALSE(bar.isHidden());
    // Its length is the visible fraction of the track; it sits where the offset is.
    const float track = 400 - 2 * ScrollIndicator::kInset;
    EXPECT_NEAR(bar.frame().height(), track * 400 / 2000, 0.01);
    EXPECT_NEAR(bar.frame().minY() - offsetY(), ScrollIndicator::kInset + offsetY() / 1600 * (track - bar.frame().height()), 0.01);
    EXPECT_EQ(scroll->subviews().back().get(), &scroll->horizontalScrollIndicator());
    advance(2); // still held: the bar stays
    EXPECT_EQ(bar.alpha(), 1);
    touch(TouchPhase::Ended, { 160, 200 });
    advance(ScrollView::kIndicatorDelay - 0.05);
    EXPECT_EQ(bar.alpha(), 1);
    advance(0.1);
    EXPECT_EQ(bar.alpha(), 0);
    EXPECT_GT(bar.presentedAlpha(), 0);
    advance(ScrollView::kIndicatorFade);
    EXPECT_EQ(bar.presentedAlpha(), 0);
}

TEST_F(ScrollViewTest, FrameClockMotionsRunOnTheRunLoopClockUntilDoneOrDropped)
{
    std::vector<double> times;
    const double start = runLoop().now();
    auto motion = FrameClock::shared().startMotion([&](double now) {
        times.push_back(now - start);
        return times.size() < 3;
    });
    advance(0.2);
    ASSERT_EQ(times.size(), 3u);
    EXPECT_NEAR(times[0], FrameClock::kFrameInterval, 1e-6);
    EXPECT_NEAR(times[2], 3 * FrameClock::kFrameInterval, 1e-6);
    EXPECT_FALSE(FrameClock::shared().hasMotions());
    EXPECT_FALSE(FrameClock::shared().isRunning());

    int calls = 0;
    auto endless = FrameClock::shared().startMotion([&](double) { return ++calls > 0; });
    advance(0.06);
    const int seen = calls;
    EXPECT_GE(seen, 3);
    endless.reset();
    advance(0.05);
    EXPECT_EQ(calls, seen);
    EXPECT_FALSE(FrameClock::shared().isRunning());
}

TEST_F(ScrollViewTest, AnOuterScrollerGetsWhatAnInnerOneCannotScroll)
{
    // A sideways strip inside the vertical scroll view: vertical drags go to the outer one.
    auto strip = std::make_shared<ScrollView>(Rect(0, 200, 320, 100));
    strip->setContentSize({ 1000, 100 });
    scroll->addSubview(strip);
    swipe({ 160, 250 }, { -100, 0 });
    EXPECT_GT(strip->contentOffset().x, 80);
    EXPECT_EQ(offsetY(), 0);
    advance(3);
    swipe({ 160, 250 }, { 0, -100 });
    EXPECT_GT(offsetY(), 80);
}

TEST_F(ScrollViewTest, ADragFromPlainContentKeepsScrollingAfterTheContentIsCancelled)
{
    // A plain view passes its cancel up the chain to the scroll view that took the touch.
    auto plain = coloured(Rect(0, 200, 320, 100), gfx::Color::white());
    scroll->addSubview(plain);
    touch(TouchPhase::Began, { 160, 250 });
    touch(TouchPhase::Moved, { 160, 230 });
    EXPECT_TRUE(scroll->isDragging());
    touch(TouchPhase::Moved, { 160, 180 });
    EXPECT_EQ(offsetY(), 50);
    EXPECT_TRUE(scroll->isDragging());
}

TEST_F(ScrollViewTest, ContentChangingOutOfViewRepaintsNothingAndInViewOnlyWhatShows)
{
    auto far = coloured(Rect(0, 1000, 320, 50), gfx::Color::white());
    auto near = coloured(Rect(0, 380, 320, 50), gfx::Color::white());
    scroll->addSubview(far);
    scroll->addSubview(near);
    window->displayIfNeeded();
    ASSERT_FALSE(window->dirtyRect());
    far->setNeedsDisplay();
    far->setBackgroundColor(gfx::Color::black());
    EXPECT_FALSE(window->dirtyRect());
    near->setNeedsDisplay();
    ASSERT_TRUE(window->dirtyRect());
    // Only the 20 points of it inside the scroll view (which ends at 420 on screen).
    EXPECT_EQ(*window->dirtyRect(), Rect(0, 400, 320, 20));
}
