#include "UiTestSupport.h"

#include "ui/PageCurl.h"
#include "ui/ViewAnimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace ui;
using gfx::Rect;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kLength = 300;
constexpr float kRadius = 30;

} // namespace

TEST(PageCurlTest, ThePageIsFlatBeyondTheLineAndBendsOverTheCylinderBeforeIt)
{
    const PageCurl curl(kLength, kRadius);
    const float line = 40; // less than a quarter turn wound: no back shows yet
    for (float position : { 40.0f, 41.0f, 150.0f, 300.0f }) {
        auto sample = curl.layerAt(position, line);
        EXPECT_EQ(sample.layer, PageCurl::Layer::Flat) << position;
        EXPECT_EQ(sample.distance, position) << "a flat point stays where it is";
        EXPECT_EQ(sample.light, 1.0f);
    }
    // Half the radius below the line the page has turned by a sixth of a half turn.
    auto front = curl.layerAt(line - kRadius / 2, line);
    EXPECT_EQ(front.layer, PageCurl::Layer::Front);
    EXPECT_NEAR(front.distance, line - kRadius * kPi / 6, 1e-3);
    EXPECT_NEAR(front.light, 0.55f + 0.45f * std::cos(kPi / 6), 1e-5);
    // The lifting edge (distance 0) has turned by line / radius and shows where its sine says.
    const float edge = line - kRadius * std::sin(line / kRadius);
    EXPECT_NEAR(curl.rolledStart(line), edge, 1e-4);
    EXPECT_NEAR(curl.layerAt(edge + 0.01f, line).distance, 0, 0.05);
    auto beneath = curl.layerAt(edge - 1, line);
    EXPECT_EQ(beneath.layer, PageCurl::Layer::Beneath);
    EXPECT_GT(beneath.shadow, 0) << "the roll's shadow lies next to it";
    EXPECT_EQ(curl.layerAt(edge - curl.shadowWidth() - 1, line).shadow, 0);
}

TEST(PageCurlTest, PastAQuarterTurnTheBackShowsAndPastAHalfTurnItLiesFlatOnTop)
{
    const PageCurl curl(kLength, kRadius);
    const float line = 150;
    EXPECT_NEAR(curl.rolledStart(line), line - kRadius, 1e-4) << "the roll's lowest point is one radius before the line";
    EXPECT_NEAR(curl.frontStart(line), line, 1e-3) << "half a turn wound: its back hides the front";
    auto back = curl.layerAt(line - kRadius / 2, line);
    EXPECT_EQ(back.layer, PageCurl::Layer::Back);
    EXPECT_NEAR(back.distance, line - kRadius * 5 * kPi / 6, 1e-3);
    EXPECT_LT(curl.layerAt(line - kRadius + 0.5f, line).light, back.light) << "darker where the roll turns away";

    const float end = curl.backEnd(line);
    EXPECT_NEAR(end, 2 * line - kPi * kRadius, 1e-3);
    auto onTop = curl.layerAt(line + 10, line);
    EXPECT_EQ(onTop.layer, PageCurl::Layer::BackFlat);
    EXPECT_NEAR(onTop.distance, line - kPi * kRadius - 10, 1e-3) << "mirrored about where it turned over";
    EXPECT_EQ(curl.layerAt(end + 0.5f, line).layer, PageCurl::Layer::Flat);

    // The page is continuous where the layers meet.
    EXPECT_NEAR(curl.layerAt(line - 0.001f, line).distance, curl.layerAt(line, line).distance, 0.1);
    EXPECT_NEAR(curl.rolledAt(line - kRadius, line, PageCurl::Layer::Back).distance,
        curl.rolledAt(line - kRadius, line, PageCurl::Layer::Front).distance, 1e-3);
}

TEST(PageCurlTest, AtTheEndsOfTheAnimationOnlyOnePageShows)
{
    const PageCurl curl(kLength, kRadius);
    for (float position = 0; position <= kLength; position += 7.5f) {
        auto start = curl.layerAt(position, curl.lineAt(0));
        EXPECT_EQ(start.layer, PageCurl::Layer::Flat) << position;
        EXPECT_EQ(start.distance, position);
        auto end = curl.layerAt(position, curl.lineAt(1));
        EXPECT_EQ(end.layer, PageCurl::Layer::Beneath) << position;
        EXPECT_EQ(end.shadow, 0) << position;
    }
    EXPECT_EQ(curl.lineAt(-1), curl.lineAt(0));
    EXPECT_EQ(curl.lineAt(2), curl.lineAt(1));
    EXPECT_GT(PageCurl(kLength, 0).radius(), 0);
}

namespace {

class PageCurlDrawingTest : public uitest::UiTest {
protected:
    // A page with a band of colour per 40 points, so that rows can be told apart.
    static std::shared_ptr<gfx::Image> page(float red)
    {
        auto context = gfx::BitmapContext::create(400, 600, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
        for (int band = 0; band < 8; ++band)
            context->fillRect(Rect(0, band * 75.0f, 400, 75), gfx::Color::rgba(red, band / 8.0f, 0.5f));
        return context->makeImage(2);
    }

    std::shared_ptr<gfx::Image> draw(ViewAnimationTransition type, float progress)
    {
        auto view = std::make_shared<View>(Rect(0, 0, 200, 300));
        auto block = std::make_shared<AnimationBlock>();
        block->duration = 1;
        block->curve = ViewAnimationCurve::Linear;
        block->started = true;
        block->startTime = runLoop().nowNanos() - foundation::Nanos(progress * 1e9);
        TransitionAnimation transition { type, m_before, m_after, block };
        auto context = gfx::BitmapContext::create(400, 600, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
        context->scaleCTM(2, 2);
        ViewAnimator::drawTransition(*view, transition, *context);
        return context->makeImage(2);
    }

    static bool same(const gfx::Image& a, const gfx::Image& b)
    {
        for (int y = 0; y < 600; y += 3)
            for (int x = 0; x < 400; x += 7)
                if (!(a.pixelAt(x, y) == b.pixelAt(x, y)))
                    return false;
        return true;
    }

    std::shared_ptr<gfx::Image> m_before = page(1);
    std::shared_ptr<gfx::Image> m_after = page(0);
};

} // namespace

TEST_F(PageCurlDrawingTest, BothEndsOfACurlAreThePlainPages)
{
    EXPECT_TRUE(same(*draw(ViewAnimationTransition::CurlUp, 0), *m_before));
    EXPECT_TRUE(same(*draw(ViewAnimationTransition::CurlUp, 1), *m_after));
    EXPECT_TRUE(same(*draw(ViewAnimationTransition::CurlDown, 0), *m_before));
    EXPECT_TRUE(same(*draw(ViewAnimationTransition::CurlDown, 1), *m_after));
}

TEST_F(PageCurlDrawingTest, HalfWayThePageBeneathTheRollAndTheFlatPageShowWhereTheGeometrySays)
{
    auto shot = draw(ViewAnimationTransition::CurlUp, 0.5f);
    const PageCurl curl(300, PageCurl::radiusForLength(300));
    const float line = curl.lineAt(0.5f);
    auto rowOf = [](float position) { return int((300 - position) * 2); };

    // Near the bottom: the new page, unshaded beyond the shadow.
    EXPECT_EQ(shot->pixelAt(100, 598), m_after->pixelAt(100, 598));
    // Near the top: the old page, flat and unmoved.
    EXPECT_EQ(shot->pixelAt(100, 2), m_before->pixelAt(100, 2));
    // The back of the roll: paler than the print (washed) and not the new page.
    const int backRow = rowOf(curl.rolledStart(line) + 2);
    const auto back = shot->pixelAt(100, backRow);
    EXPECT_NE(back, m_after->pixelAt(100, backRow));
    EXPECT_GT(back.green, 100);
    // Just below the roll the shadow darkens the new page.
    const int shadowRow = rowOf(curl.rolledStart(line) - 2);
    const auto shaded = shot->pixelAt(100, shadowRow), plain = m_after->pixelAt(100, shadowRow);
    EXPECT_LT(shaded.blue, plain.blue);
    // The flat back on top shows the old page's rows mirrored about where it turned over.
    if (curl.backEnd(line) > line + 4) {
        auto sample = curl.layerAt(line + 2, line);
        ASSERT_EQ(sample.layer, PageCurl::Layer::BackFlat);
        EXPECT_GT(shot->pixelAt(100, rowOf(line + 2)).red, 200) << "the old page's red, washed";
    }
}

TEST_F(PageCurlDrawingTest, CurlDownIsTheCurlUpRunBackwardsWithThePagesSwapped)
{
    auto down = draw(ViewAnimationTransition::CurlDown, 0.3f);
    std::swap(m_before, m_after);
    auto up = draw(ViewAnimationTransition::CurlUp, 0.7f);
    EXPECT_TRUE(same(*down, *up));
}
