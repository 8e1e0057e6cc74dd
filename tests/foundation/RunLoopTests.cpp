#include "foundation/RunLoop.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace foundation;

namespace {
std::shared_ptr<ManualClock> manual()
{
    return std::make_shared<ManualClock>(1'000'000.0);
}
} // namespace

TEST(RunLoop, TimersFireInTimeOrderAtTheirOwnTimes)
{
    RunLoop loop(manual());
    std::vector<std::pair<std::string, Nanos>> fired;
    auto record = [&](std::string name) { return [&, name](Timer&) { fired.emplace_back(name, loop.nowNanos()); }; };
    loop.scheduleTimer(0.3, false, record("c"));
    loop.scheduleTimer(0.1, false, record("a"));
    loop.scheduleTimer(0.2, false, record("b"));
    loop.scheduleTimer(0.1, false, record("a2")); // same time: scheduling order

    loop.runFor(0.25);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[0], std::make_pair(std::string("a"), Nanos { 100'000'000 }));
    EXPECT_EQ(fired[1], std::make_pair(std::string("a2"), Nanos { 100'000'000 }));
    EXPECT_EQ(fired[2], std::make_pair(std::string("b"), Nanos { 200'000'000 }));
    EXPECT_EQ(loop.nowNanos(), 250'000'000);
    loop.runFor(0.05);
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_EQ(fired[3].first, "c");
}

TEST(RunLoop, RepeatingTimerTicksExactlyEveryIntervalUntilInvalidated)
{
    RunLoop loop(manual());
    int ticks = 0;
    auto timer = loop.scheduleTimer(0.1, true, [&](Timer& self) {
        if (++ticks == 25)
            self.invalidate();
    });
    // Many small steps must not drift: 0.1 s ticks land on exact multiples.
    for (int i = 0; i < 10; ++i)
        loop.runFor(0.1);
    EXPECT_EQ(ticks, 10);
    EXPECT_EQ(timer->fireTime(), 1'100'000'000);
    loop.runFor(5.0);
    EXPECT_EQ(ticks, 25);
    EXPECT_FALSE(timer->isValid());
    EXPECT_FALSE(loop.nextTimerTime().has_value());
}

TEST(RunLoop, InvalidatedTimerNeverFiresAndOneShotEndsInvalid)
{
    RunLoop loop(manual());
    int fired = 0;
    auto cancelled = loop.scheduleTimer(0.5, false, [&](Timer&) { fired += 100; });
    auto once = loop.scheduleTimer(0.2, false, [&](Timer&) {
        ++fired;
        cancelled->invalidate();
    });
    loop.runFor(1.0);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(once->isValid());
}

TEST(RunLoop, RunPendingFiresOnlyWhatIsDueAndDoesNotMoveTheClock)
{
    RunLoop loop(manual());
    int fired = 0;
    loop.scheduleTimer(0.1, true, [&](Timer&) { ++fired; });
    EXPECT_FALSE(loop.runPending());
    loop.manualClock()->advanceBy(secondsToNanos(0.35));
    EXPECT_TRUE(loop.runPending());
    // A late loop skips the missed fire times instead of firing three times in a row.
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(loop.nextTimerTime(), Nanos { 400'000'000 });
}

TEST(RunLoop, TaskPostedFromAnotherThreadRunsOnTheLoopThread)
{
    RunLoop loop(manual());
    std::thread::id ranOn;
    bool done = false;
    std::thread worker([&] { loop.post([&] {
        ranOn = std::this_thread::get_id();
        done = true;
    }); });
    EXPECT_TRUE(loop.runUntil([&] { return done; }, 1.0, 10.0));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(RunLoop, TaskPostedWithTheSystemClockWakesAWaitingLoop)
{
    RunLoop loop(std::make_shared<SystemClock>());
    std::atomic<bool> done { false };
    std::thread worker([&] { loop.post([&] { done = true; }); });
    EXPECT_TRUE(loop.runUntil([&] { return done.load(); }, 10.0));
    worker.join();
}

TEST(RunLoop, NestedRunFromATimerAdvancesTheSameClock)
{
    RunLoop loop(manual());
    std::vector<std::string> order;
    loop.scheduleTimer(0.1, false, [&](Timer&) {
        order.push_back("outer");
        loop.runFor(0.05); // a modal wait inside a callback
        order.push_back("outer done");
    });
    loop.scheduleTimer(0.12, false, [&](Timer&) { order.push_back("inner"); });
    loop.scheduleTimer(0.2, false, [&](Timer&) { order.push_back("later"); });
    loop.runFor(0.3);
    EXPECT_EQ(order, (std::vector<std::string> { "outer", "inner", "outer done", "later" }));
    EXPECT_EQ(loop.nowNanos(), 300'000'000);
}

TEST(Clock, ManualDateMovesWithMonotonicTimeAndCanBePinned)
{
    ManualClock clock(1000.0);
    clock.advanceBy(secondsToNanos(2.5));
    EXPECT_DOUBLE_EQ(clock.wallTime(), 1002.5);
    clock.advanceTo(0); // never backwards
    EXPECT_EQ(clock.now(), 2'500'000'000);
    clock.setWallTime(5000.0);
    EXPECT_DOUBLE_EQ(clock.wallTime(), 5000.0);
    clock.advanceBy(secondsToNanos(1));
    EXPECT_DOUBLE_EQ(clock.wallTime(), 5001.0);
}

TEST(RunLoop, ChainsOfPostedTasksRunBeforeAManualClockMovesOn)
{
    RunLoop loop(manual());
    std::vector<std::pair<int, Nanos>> ran;
    std::function<void(int)> chain = [&](int depth) {
        ran.emplace_back(depth, loop.nowNanos());
        if (depth < 3)
            loop.post([&, depth] { chain(depth + 1); });
    };
    loop.scheduleTimer(0.1, false, [&](Timer&) { loop.post([&] { chain(0); }); });
    loop.runFor(0.5);
    ASSERT_EQ(ran.size(), 4u);
    for (const auto& [depth, when] : ran)
        EXPECT_EQ(when, 100'000'000) << depth;
}
