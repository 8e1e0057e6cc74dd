#include "graphics/AffineTransform.h"
#include "graphics/Geometry.h"

#include <gtest/gtest.h>
#include <cmath>
#include <numbers>

using gfx::AffineTransform;
using gfx::Point;
using gfx::Rect;

namespace {

// The turntable's positions as the studio computes them from a 320 x 310 frame: hx and hy in
// single precision, products with double constants rounded back to single precision.
struct Positions {
    AffineTransform right, back, left;
};

Positions positionsFor(float width, float height)
{
    float hx = width * 0.5f - 100;
    float hy = height * 0.5f - 100;
    return {
        AffineTransform::make(0.5f, 0, 0, 0.5f, float(2.2 * hx), -hy),
        AffineTransform::make(0.25f, 0, 0, 0.25f, 0, float(-2.2 * hy)),
        AffineTransform::make(0.5f, 0, 0, 0.5f, float(-2.2 * hx), -hy),
    };
}

} // namespace

TEST(AffineTransformTest, CarouselPositionsComeOutAsWholeNumbers)
{
    auto p = positionsFor(320, 310);
    EXPECT_EQ(p.right, AffineTransform::make(0.5f, 0, 0, 0.5f, 132, -55));
    EXPECT_EQ(p.back, AffineTransform::make(0.25f, 0, 0, 0.25f, 0, -121));
    EXPECT_EQ(p.left, AffineTransform::make(0.5f, 0, 0, 0.5f, -132, -55));
    // Equality is exact: one unit in the last place makes another transform.
    auto nudged = p.right;
    nudged.tx = std::nextafter(nudged.tx, 200.0f);
    EXPECT_NE(nudged, p.right);
}

TEST(AffineTransformTest, TranslatePrecedesTheTransformInSinglePrecision)
{
    // A half-size view moved down by its own height of 91.84 points moves by half of that.
    auto t = AffineTransform::makeScale(0.5f, 0.5f).translated(0, 91.84f);
    EXPECT_EQ(t.ty, 0.5f * 91.84f);
    EXPECT_EQ(t.a, 0.5f);
    auto shifted = AffineTransform::make(0.5f, 0, 0, 0.5f, 132, -55).translated(10, 20);
    EXPECT_EQ(shifted, AffineTransform::make(0.5f, 0, 0, 0.5f, 137, -45));
    // The same float arithmetic as a direct computation, not a double one.
    float a = 0.1f, tx = 0.3f;
    auto odd = AffineTransform::make(a, 0, 0, a, tx, 0).translated(0.7f, 0);
    EXPECT_EQ(odd.tx, a * 0.7f + 0.0f * 0.0f + tx);
}

TEST(AffineTransformTest, ConcatenationAppliesTheFirstTransformFirst)
{
    auto scale = AffineTransform::makeScale(2, 3);
    auto move = AffineTransform::makeTranslation(10, 20);
    EXPECT_EQ(scale.concatenated(move).apply(Point { 1, 1 }), (Point { 12, 23 }));
    EXPECT_EQ(move.concatenated(scale).apply(Point { 1, 1 }), (Point { 22, 63 }));
    auto r = AffineTransform::makeRotation(1.0f);
    auto p = r.concatenated(r.inverted()).apply(Point { 5, 7 });
    EXPECT_NEAR(p.x, 5, 1e-5);
    EXPECT_NEAR(p.y, 7, 1e-5);
}

TEST(AffineTransformTest, InversionAndRectangles)
{
    auto t = AffineTransform::make(5.0f, 0, 0, 4.65f, 116, 105);
    auto back = t.inverted().apply(t.apply(Point { 44, 44 }));
    EXPECT_NEAR(back.x, 44, 1e-4);
    EXPECT_NEAR(back.y, 44, 1e-4);
    // A singular transform cannot be inverted and is answered unchanged.
    auto singular = AffineTransform::makeScale(0, 1);
    EXPECT_EQ(singular.inverted(), singular);
    // A quarter turn maps a rectangle to its bounding box.
    auto box = AffineTransform::makeRotation(float(std::numbers::pi / 2)).apply(Rect(0, 0, 10, 20));
    EXPECT_NEAR(box.x(), -20, 1e-4);
    EXPECT_NEAR(box.width(), 20, 1e-4);
    EXPECT_NEAR(box.height(), 10, 1e-4);
}

TEST(RectTest, ContainmentIntersectionAndUnion)
{
    Rect r(10, 10, 20, 20);
    EXPECT_TRUE(r.containsPoint({ 10, 10 }));
    EXPECT_FALSE(r.containsPoint({ 30, 10 }));
    EXPECT_EQ(r.intersection(Rect(20, 25, 100, 100)), Rect(20, 25, 10, 5));
    EXPECT_TRUE(r.intersection(Rect(30, 0, 5, 5)).isEmpty());
    EXPECT_EQ(r.united(Rect()), r);
    EXPECT_EQ(r.united(Rect(0, 0, 1, 1)), Rect(0, 0, 30, 30));
    EXPECT_EQ(Rect(5, 5, -5, -5).standardized(), Rect(0, 0, 5, 5));
    EXPECT_EQ(Rect(0.5f, 0.25f, 1, 1).integral(), Rect(0, 0, 2, 2));
}
