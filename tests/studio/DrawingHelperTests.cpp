#include "UiTestSupport.h"

#include "ControlPanelView.h"
#include "HelperMethods.h"

#include <gtest/gtest.h>

using gfx::Color;
using gfx::Rect;

namespace {

class DrawingHelperTest : public uitest::UiTest { };

// What a view draws, at scale 1, top-down.
std::unique_ptr<gfx::BitmapContext> render(ui::View& view)
{
    auto context = gfx::BitmapContext::create(int(view.bounds().width()), int(view.bounds().height()),
        gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    view.renderInContext(*context);
    return context;
}

} // namespace

TEST_F(DrawingHelperTest, RoundedRectangleKeepsItsCornersEmptyAndDegeneratesToARectangle)
{
    auto round = gfx::BitmapContext::create(40, 40, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    auto path = HelperMethods::createRoundedRectanglePath(Rect(5, 5, 30, 30), 10);
    round->fillPath(path, Color::white());
    EXPECT_EQ(round->bitmap().pixelAt(6, 6).alpha, 0);
    EXPECT_EQ(round->bitmap().pixelAt(33, 33).alpha, 0);
    EXPECT_EQ(round->bitmap().pixelAt(20, 5).alpha, 255);
    EXPECT_EQ(round->bitmap().pixelAt(5, 20).alpha, 255);
    EXPECT_EQ(round->bitmap().pixelAt(20, 20).alpha, 255);
    // The quarter arcs use 1.57, 3.14 and 4.71, not multiples of pi/2, and turn upwards.
    std::vector<float> angles;
    for (const auto& element : path.elements())
        if (element.type == gfx::Path::ElementType::Arc) {
            EXPECT_FALSE(element.clockwise);
            angles.push_back(element.startAngle);
            angles.push_back(element.endAngle);
        }
    EXPECT_EQ(angles, (std::vector<float> { -1.57f, 0, 0, 1.57f, 1.57f, 3.14f, 3.14f, 4.71f }));
    EXPECT_EQ(path.elements().back().type, gfx::Path::ElementType::Close);

    auto square = gfx::BitmapContext::create(40, 40, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    auto plain = HelperMethods::createRoundedRectanglePath(Rect(5, 5, 30, 30), 0);
    square->fillPath(plain, Color::white());
    EXPECT_EQ(plain.boundingBox(), Rect(5, 5, 30, 30));
    for (auto [x, y] : { std::pair { 5, 5 }, { 34, 5 }, { 5, 34 }, { 34, 34 } })
        EXPECT_EQ(square->bitmap().pixelAt(x, y).alpha, 255) << x << "," << y;
    EXPECT_EQ(square->bitmap().pixelAt(4, 4).alpha, 0);
    EXPECT_EQ(square->bitmap().pixelAt(35, 35).alpha, 0);
}

TEST_F(DrawingHelperTest, BitmapContextIsClearedRgbaWithTheOriginAtTheBottom)
{
    auto context = createBitmapContext(8, 6);
    ASSERT_TRUE(context);
    EXPECT_EQ(context->bitmap().format(), gfx::PixelFormat::RGBAPremultiplied);
    EXPECT_EQ(context->bitmap().bytesPerRow(), 32);
    EXPECT_EQ(context->bitmap().pixelAt(3, 3), gfx::Pixel {});
    context->fillRect(Rect(0, 0, 8, 1), Color::rgba(0, 0, 1));
    EXPECT_EQ(context->bitmap().pixelAt(3, 5), (gfx::Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(context->bitmap().pixelAt(3, 0).alpha, 0);

    EXPECT_FALSE(createBitmapContext(0, 6));
    EXPECT_FALSE(createBitmapContext(8, -1));
    EXPECT_FALSE(createBitmapContext(1 << 30, 4));
}

TEST_F(DrawingHelperTest, GradientImageRunsFromBlackAtTheBottomToWhiteAtTheTop)
{
    auto image = createGradientImage(1, 91);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().format(), gfx::PixelFormat::Grey);
    EXPECT_EQ(image->pixelAt(0, 0).red, 255);
    EXPECT_EQ(image->pixelAt(0, 90).red, 0);
    EXPECT_NEAR(image->pixelAt(0, 45).red, 128, 2);
    for (int y = 1; y < 91; ++y)
        EXPECT_LE(image->pixelAt(0, y).red, image->pixelAt(0, y - 1).red) << y;
    EXPECT_FALSE(createGradientImage(1, 0));
}

TEST_F(DrawingHelperTest, ReflectionMirrorsTheBottomOfTheViewAndFadesOut)
{
    // 40 x 100: red above, then a green band, and a blue bottom row.
    auto view = coloured(Rect(0, 0, 40, 100), Color::rgba(1, 0, 0));
    view->addSubview(coloured(Rect(0, 90, 40, 9), Color::rgba(0, 1, 0)));
    view->addSubview(coloured(Rect(0, 99, 40, 1), Color::rgba(0, 0, 1)));

    auto reflection = HelperMethods::reflectedImageOfView(*view, 20);
    ASSERT_TRUE(reflection);
    EXPECT_EQ(reflection->size(), (gfx::Size { 40, 20 }));
    EXPECT_EQ(reflection->scale(), 2); // the screen's
    // The view's bottom row on top, at full opacity.
    EXPECT_EQ(reflection->pixelAt(20, 0), (gfx::Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(reflection->pixelAt(20, 1).blue, 255);
    EXPECT_EQ(reflection->pixelAt(20, 4).green, 255);
    EXPECT_EQ(reflection->pixelAt(20, 30).red, 255); // the red above the band
    EXPECT_EQ(reflection->pixelAt(20, 39).alpha, 0);
    EXPECT_NEAR(reflection->pixelAt(20, 20).alpha, 125, 4);

    // As tall as the view: the whole view upside down.
    auto whole = HelperMethods::reflectedImageOfView(*view, 100);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->pixelAt(0, 0).blue, 255);
    EXPECT_EQ(whole->pixelAt(0, 150).red, 255);
    EXPECT_EQ(whole->pixelAt(0, 199).alpha, 0);

    EXPECT_FALSE(HelperMethods::reflectedImageOfView(*view, 0));
    ui::View empty;
    EXPECT_FALSE(HelperMethods::reflectedImageOfView(empty, 10));
}

TEST_F(DrawingHelperTest, ControlPanelPaintsItsGradientBetweenRowsOneAndThirtyOneWhateverItsHeight)
{
    ControlPanelView tall(Rect(0, 400, 320, 90));
    auto drawn = render(tall);
    const gfx::Bitmap& b = drawn->bitmap();
    for (int x : { 0, 160, 319 }) {
        EXPECT_EQ(b.pixelAt(x, 0).alpha, 0) << x;
        EXPECT_EQ(b.pixelAt(x, 1).alpha, 255) << x;
        EXPECT_EQ(b.pixelAt(x, 30).alpha, 255) << x;
        for (int y : { 31, 45, 89 })
            EXPECT_EQ(b.pixelAt(x, y).alpha, 0) << x << "," << y;
    }
    EXPECT_NEAR(b.pixelAt(10, 1).red, 0.4 * 255, 6);
    EXPECT_NEAR(b.pixelAt(10, 30).red, 0.06 * 255, 6);

    // A short panel shows only the upper part of the same ramp.
    ControlPanelView shortPanel(Rect(0, 0, 320, 16));
    auto cut = render(shortPanel);
    EXPECT_EQ(cut->bitmap().pixelAt(10, 0).alpha, 0);
    EXPECT_EQ(cut->bitmap().pixelAt(10, 15).alpha, 255);
    EXPECT_EQ(cut->bitmap().pixelAt(10, 15).red, b.pixelAt(10, 15).red);
    EXPECT_GT(cut->bitmap().pixelAt(10, 15).red, 0.2 * 255);
}
