// The scrolling physics on its own: friction per second, the bounce, detents, the release
// speed of a drag and the rubber band.
#include "ui/ScrollMomentum.h"

#include <gtest/gtest.h>

#include <cmath>

using ui::ScrollMomentum;

namespace {

// Runs the motion in frames of dt until it stops (or ten seconds pass); returns the
// positions seen.
std::vector<double> run(ScrollMomentum& m, double dt, double limit = 10)
{
    std::vector<double> positions;
    for (double t = 0; t < limit && !m.isStopped(); t += dt)
        positions.push_back(m.advance(dt));
    return positions;
}

} // namespace

TEST(ScrollMomentumTest, FrictionIsPerSecondWhateverTheFrameRate)
{
    for (double dt : { 1.0 / 30, 1.0 / 60, 1.0 / 144, 0.5 }) {
        ScrollMomentum m;
        m.setLimits(0, 100000);
        m.releasedWithVelocity(100, 1000);
        for (double t = 0; t < 1 - 1e-9; t += dt)
            m.advance(dt);
        EXPECT_NEAR(m.velocity(), 1000 * ScrollMomentum::kDefaultFriction, 1e-6) << "frame " << dt;
        const double decay = -std::log(ScrollMomentum::kDefaultFriction);
        EXPECT_NEAR(m.position(), 100 + 1000 * (1 - ScrollMomentum::kDefaultFriction) / decay, 1e-6) << "frame " << dt;
    }
}

TEST(ScrollMomentumTest, AFlingSlowsDownAndStopsShortOfItsProjection)
{
    ScrollMomentum m;
    m.setLimits(-100000, 100000);
    m.setFriction(0.1);
    m.releasedWithVelocity(0, -1500);
    EXPECT_FALSE(m.isStopped());
    auto positions = run(m, 1.0 / 60);
    ASSERT_TRUE(m.isStopped());
    for (size_t i = 1; i < positions.size(); ++i) {
        EXPECT_LT(positions[i], positions[i - 1]);
        // Each frame moves less than the one before.
        if (i > 1) {
            EXPECT_LT(positions[i - 1] - positions[i], positions[i - 2] - positions[i - 1] + 1e-9);
        }
    }
    const double projection = -1500 / -std::log(0.1);
    EXPECT_LT(m.position(), 0);
    EXPECT_GT(m.position(), projection);
    EXPECT_NEAR(m.position(), projection, ScrollMomentum::kStopSpeed / -std::log(0.1) + 1e-6);
    EXPECT_EQ(m.velocity(), 0);
    // A slow release does not move at all.
    m.releasedWithVelocity(10, 5);
    EXPECT_TRUE(m.isStopped());
    EXPECT_EQ(m.advance(1), 10);
}

TEST(ScrollMomentumTest, AFlingPastAnEndBouncesBackWithoutOscillating)
{
    for (double velocity : { 500.0, 3000.0, -3000.0 }) {
        ScrollMomentum m;
        m.setLimits(0, 1000);
        const double start = velocity > 0 ? 950 : 50;
        const double edge = velocity > 0 ? 1000 : 0;
        m.releasedWithVelocity(start, velocity);
        auto positions = run(m, 1.0 / 60);
        ASSERT_TRUE(m.isStopped()) << velocity;
        EXPECT_EQ(m.position(), edge);
        double overshoot = 0;
        bool crossed = false;
        for (double p : positions) {
            double beyond = velocity > 0 ? p - edge : edge - p;
            crossed = crossed || beyond > 0;
            // Once past the edge it never comes back inside until it rests on it.
            if (crossed) {
                EXPECT_GE(beyond, -1e-9) << velocity;
            }
            overshoot = std::max(overshoot, beyond);
        }
        EXPECT_GT(overshoot, 1) << velocity;
        EXPECT_LT(overshoot, std::abs(velocity) / (ScrollMomentum::kSpringRate * std::exp(1.0))) << velocity;
        EXPECT_LT(positions.size() / 60.0, 2.5) << velocity;
    }
}

TEST(ScrollMomentumTest, WithoutBouncesAFlingStopsAtTheLimitAndAReleaseOutsideSettlesBack)
{
    ScrollMomentum m;
    m.setLimits(0, 1000);
    m.setBounces(false);
    m.releasedWithVelocity(900, 4000);
    run(m, 1.0 / 60);
    EXPECT_EQ(m.position(), 1000);

    m.setBounces(true);
    m.releasedWithVelocity(-80, 0);
    EXPECT_FALSE(m.isStopped());
    EXPECT_EQ(m.target(), 0);
    run(m, 1.0 / 60);
    EXPECT_EQ(m.position(), 0);
}

TEST(ScrollMomentumTest, DetentsAlwaysEndExactlyOnARowInsideTheLimits)
{
    const double unit = 44;
    for (double velocity : { 0.0, 30.0, -30.0, 400.0, -900.0, 2500.0, 8000.0, -8000.0 }) {
        for (double start : { 0.0, 100.0, 500.0, 990.0 }) {
            ScrollMomentum m;
            m.setLimits(0, 1000); // not a whole number of rows: the last is at 968
            m.setDetentSpacing(unit);
            m.setFriction(0.05);
            m.releasedWithVelocity(start, velocity);
            const double target = m.target();
            run(m, 1.0 / 60);
            ASSERT_TRUE(m.isStopped()) << velocity << " from " << start;
            EXPECT_EQ(m.position(), target);
            EXPECT_DOUBLE_EQ(std::fmod(m.position(), unit), 0) << velocity << " from " << start;
            EXPECT_GE(m.position(), 0);
            EXPECT_LE(m.position(), 968);
            if (velocity >= 400 && start < 500) {
                EXPECT_GT(m.position(), start);
            }
        }
    }
    // Dragged past the end, it settles on the last row.
    ScrollMomentum m;
    m.setLimits(0, 440);
    m.setDetentSpacing(unit);
    m.releasedWithVelocity(470, 0);
    run(m, 1.0 / 60);
    EXPECT_EQ(m.position(), 440);
    // Stopped between rows, it still settles on the nearest.
    m.releasedWithVelocity(100, 1000);
    m.advance(0.05);
    m.stop();
    run(m, 1.0 / 60);
    EXPECT_DOUBLE_EQ(std::fmod(m.position(), unit), 0);
}

TEST(ScrollMomentumTest, ADragReleasesWithTheSpeedOfItsLastTenthOfASecond)
{
    ScrollMomentum m;
    m.setLimits(0, 100000);
    m.beginDrag(0, 10);
    // Slow at first, then 1200 points per second for the last 0.1 s.
    m.dragTo(5, 10.1);
    m.dragTo(10, 10.2);
    for (int i = 1; i <= 10; ++i)
        m.dragTo(10 + 12 * i, 10.2 + 0.01 * i);
    EXPECT_TRUE(m.isDragging());
    EXPECT_EQ(m.advance(1), 130);
    m.endDrag(10.3);
    EXPECT_NEAR(m.velocity(), 1200, 1e-6);
    EXPECT_FALSE(m.isStopped());

    // A finger that rested before letting go throws nothing.
    m.beginDrag(0, 20);
    m.dragTo(50, 20.05);
    m.endDrag(20.3);
    EXPECT_TRUE(m.isStopped());
    EXPECT_EQ(m.position(), 50);
    // So does a tap.
    m.beginDrag(50, 30);
    m.endDrag(30);
    EXPECT_TRUE(m.isStopped());
}

TEST(ScrollMomentumTest, RubberBandGrowsEverMoreSlowlyAndNeverReachesTheViewsSize)
{
    EXPECT_EQ(ScrollMomentum::rubberBand(300, 0, 1000, 400), 300);
    EXPECT_NEAR(ScrollMomentum::rubberBand(1000.001, 0, 1000, 400), 1000, 0.01);
    double previous = 0;
    double previousStep = 1e9;
    for (double over = 20; over <= 4000; over += 20) {
        const double shown = -ScrollMomentum::rubberBand(-over, 0, 1000, 400);
        EXPECT_GT(shown, previous);
        EXPECT_LT(shown, over);
        EXPECT_LT(shown, 400);
        EXPECT_LT(shown - previous, previousStep + 1e-9);
        previousStep = shown - previous;
        previous = shown;
    }
    EXPECT_GT(ScrollMomentum::rubberBand(1100, 0, 1000, 400), 1000);
}
