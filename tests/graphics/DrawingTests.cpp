#include "TestEnvironment.h"

#include "graphics/Context.h"

#include <gtest/gtest.h>
#include <cmath>
#include <numbers>

using namespace gfx;

namespace {

class DrawingTest : public testsupport::TestEnvironment { };

int alphaAt(const Bitmap& b, int x, int y) { return b.pixelAt(x, y).alpha; }

Gradient panelGradient()
{
    return Gradient::withColorComponents(ColorSpace::DeviceRGB, { 0.4f, 0.4f, 0.4f, 1, 0.06f, 0.06f, 0.06f, 1 }, { 0, 1 });
}

} // namespace

TEST_F(DrawingTest, GradientWithoutExtensionPaintsOnlyItsBand)
{
    // A view-style context 40 x 60 pixels, the gradient from y 1 to y 31 as the panels draw it.
    auto context = BitmapContext::create(40, 60, PixelFormat::RGBAPremultiplied, ContextOrigin::TopLeft);
    ASSERT_TRUE(context);
    context->drawLinearGradient(panelGradient(), { 0, 1 }, { 0, 31 }, 0);
    const Bitmap& b = context->bitmap();
    for (int x : { 0, 20, 39 }) {
        EXPECT_EQ(alphaAt(b, x, 0), 0) << x;
        EXPECT_EQ(alphaAt(b, x, 1), 255) << x;
        EXPECT_EQ(alphaAt(b, x, 30), 255) << x;
        EXPECT_EQ(alphaAt(b, x, 31), 0) << x;
        EXPECT_EQ(alphaAt(b, x, 59), 0) << x;
    }
    // Light at the start, dark at the end.
    EXPECT_NEAR(b.pixelAt(5, 1).red, 0.4 * 255, 6);
    EXPECT_NEAR(b.pixelAt(5, 30).red, 0.06 * 255, 6);

    // With both extensions the whole bitmap is painted with the end colours.
    auto extended = BitmapContext::create(40, 60, PixelFormat::RGBAPremultiplied, ContextOrigin::TopLeft);
    extended->drawLinearGradient(panelGradient(), { 0, 1 }, { 0, 31 }, GradientDrawsBeforeStartLocation | GradientDrawsAfterEndLocation);
    EXPECT_EQ(alphaAt(extended->bitmap(), 3, 0), 255);
    EXPECT_NEAR(extended->bitmap().pixelAt(3, 59).red, 0.06 * 255, 2);
}

TEST_F(DrawingTest, GradientRespectsTheClip)
{
    auto context = BitmapContext::create(20, 20, PixelFormat::RGBAPremultiplied, ContextOrigin::TopLeft);
    Path bar;
    bar.addRect(Rect(5, 0, 4, 20));
    context->saveGState();
    context->clipToPath(bar);
    context->drawLinearGradient(panelGradient(), { 0, 0 }, { 0, 20 }, 0);
    context->restoreGState();
    EXPECT_EQ(alphaAt(context->bitmap(), 4, 10), 0);
    EXPECT_EQ(alphaAt(context->bitmap(), 6, 10), 255);
    EXPECT_EQ(alphaAt(context->bitmap(), 9, 10), 0);
    // After the restore the clip is gone.
    context->fillRect(Rect(0, 0, 20, 20), Color::white());
    EXPECT_EQ(alphaAt(context->bitmap(), 0, 0), 255);
}

TEST_F(DrawingTest, BitmapContextsHaveTheirOriginAtTheBottomLeft)
{
    auto context = BitmapContext::create(10, 10, PixelFormat::RGBAPremultiplied);
    context->fillRect(Rect(0, 0, 10, 2), Color::rgba(1, 0, 0));
    // User y 0..2 is the bottom two rows of the picture.
    EXPECT_EQ(context->bitmap().pixelAt(0, 9), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(context->bitmap().pixelAt(0, 0).alpha, 0);
    // The buffer holds red, green, blue, alpha in that byte order, premultiplied.
    context->fillRect(Rect(0, 9, 1, 1), Color::rgba(0, 0, 1, 0.5f));
    const std::uint8_t* top = context->bitmap().data();
    EXPECT_EQ(top[0], 0);
    EXPECT_NEAR(top[2], 128, 1);
    EXPECT_NEAR(top[3], 128, 1);
}

TEST_F(DrawingTest, GreyMaskRampGivesALinearAlpha)
{
    const int h = 64;
    // The mask as the reflection makes it: grey 0 at the bottom to grey 1 at the top.
    auto maskContext = BitmapContext::create(1, h, PixelFormat::Grey);
    ASSERT_TRUE(maskContext);
    auto ramp = Gradient::withColorComponents(ColorSpace::DeviceGrey, { 0, 1, 1, 1 });
    maskContext->drawLinearGradient(ramp, { 0, 0 }, { 0, float(h) }, GradientDrawsAfterEndLocation);
    auto mask = maskContext->makeImage();
    EXPECT_GE(mask->pixelAt(0, 0).red, 250);
    EXPECT_LE(mask->pixelAt(0, h - 1).red, 5);

    auto picture = BitmapContext::create(16, h, PixelFormat::RGBAPremultiplied);
    picture->fillRect(Rect(0, 0, 16, float(h)), Color::rgba(0, 0.5f, 1));
    auto masked = Image::createWithMask(*picture->makeImage(), *mask);
    ASSERT_TRUE(masked);
    EXPECT_GE(masked->pixelAt(8, 0).alpha, 250);
    EXPECT_LE(masked->pixelAt(8, h - 1).alpha, 5);
    for (int y = 0; y < h; y += 9) {
        double expected = 255.0 * (h - 0.5 - y) / h;
        EXPECT_NEAR(masked->pixelAt(3, y).alpha, expected, 6) << "row " << y;
        // The colour stays the same where anything is left of it.
        if (masked->pixelAt(3, y).alpha > 60) {
            EXPECT_NEAR(masked->pixelAt(3, y).blue, 255, 6);
        }
    }
    // Only grey pictures can be masks.
    EXPECT_FALSE(Image::createWithMask(*mask, *picture->makeImage()));
}

TEST_F(DrawingTest, PathOfLinesAndArcsFillsInsideOnly)
{
    // A 40 x 20 stadium: two straight edges joined by half circles.
    auto context = BitmapContext::create(40, 20, PixelFormat::RGBAPremultiplied, ContextOrigin::TopLeft);
    const float half = float(std::numbers::pi / 2);
    Path path;
    path.moveTo({ 10, 0 });
    path.lineTo({ 30, 0 });
    path.addArc({ 30, 10 }, 10, -half, half, false);
    path.lineTo({ 10, 20 });
    path.addArc({ 10, 10 }, 10, half, 3 * half, false);
    path.closeSubpath();
    context->fillPath(path, Color::white());
    const Bitmap& b = context->bitmap();
    EXPECT_EQ(alphaAt(b, 20, 10), 255);
    EXPECT_EQ(alphaAt(b, 0, 0), 0);
    EXPECT_EQ(alphaAt(b, 39, 19), 0);
    EXPECT_EQ(alphaAt(b, 10, 1), 255);
    Rect box = path.boundingBox();
    EXPECT_NEAR(box.width(), 40, 0.05);
    EXPECT_NEAR(box.height(), 20, 0.05);

    // An arc against its direction goes the long way round.
    Path longWay;
    longWay.addArc({ 0, 0 }, 1, 0, -1.57f, false);
    EXPECT_NEAR(Path::arcSweep(longWay.elements().back()), 2 * std::numbers::pi - 1.57, 1e-5);
}

TEST_F(DrawingTest, ImagesRoundTripThroughPNGAndStretchWithCaps)
{
    auto context = BitmapContext::create(5, 2, PixelFormat::RGBAPremultiplied, ContextOrigin::TopLeft);
    context->fillRect(Rect(0, 0, 2, 2), Color::rgba(1, 0, 0));
    context->fillRect(Rect(2, 0, 1, 2), Color::rgba(0, 1, 0));
    context->fillRect(Rect(3, 0, 2, 2), Color::rgba(0, 0, 1));
    auto image = context->makeImage();
    auto decoded = Image::fromPNGData(image->pngData());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelAt(2, 1), (Pixel { 0, 255, 0, 255 }));
    EXPECT_FALSE(Image::fromPNGData({ 1, 2, 3 }));

    auto target = BitmapContext::create(40, 2, PixelFormat::RGBAPremultiplied, ContextOrigin::TopLeft);
    target->drawImage(*image->stretchableImage(2, 0), Rect(0, 0, 40, 2));
    const Bitmap& b = target->bitmap();
    EXPECT_EQ(b.pixelAt(1, 0), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(b.pixelAt(20, 0), (Pixel { 0, 255, 0, 255 }));
    EXPECT_EQ(b.pixelAt(38, 0), (Pixel { 0, 0, 255, 255 }));
}

TEST_F(DrawingTest, PictureDataIsKnownByItsHeaderAlone)
{
    auto context = BitmapContext::create(8, 8, PixelFormat::RGBAPremultiplied, ContextOrigin::TopLeft);
    context->fillRect(Rect(0, 0, 8, 8), Color::rgba(0, 1, 0));
    auto png = context->makeImage()->pngData();
    EXPECT_TRUE(Image::isImageData(png));
    // Cut short after its header it still counts: decoding it is what fails.
    png.resize(40);
    EXPECT_TRUE(Image::isImageData(png));
    EXPECT_FALSE(Image::fromPNGData(png));
    EXPECT_FALSE(Image::isImageData({ 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77 }));
    EXPECT_FALSE(Image::isImageData({}));
}

TEST_F(DrawingTest, TextIsDrawnInsideItsRectAndWrapsAtWords)
{
    Font font = Font::boldSystemFont(16);
    EXPECT_GT(font.lineHeight(), 16);
    EXPECT_LT(font.lineHeight(), 24);
    auto lines = font.layoutText("Tap the microphone to record a memo", 150, LineBreakMode::WordWrap, 2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_LE(lines[0].width, 150);
    EXPECT_EQ(lines[0].text.back() != ' ', true);
    auto truncated = font.layoutText("A very long title that does not fit", 80, LineBreakMode::TailTruncation);
    ASSERT_EQ(truncated.size(), 1u);
    EXPECT_LE(truncated[0].width, 80);

    // Twice the scale, twice the pixels: text keeps its size in points.
    auto context = BitmapContext::create(200, 60, PixelFormat::RGBAPremultiplied, ContextOrigin::TopLeft);
    context->scaleCTM(2, 2);
    context->drawText("0:00", Rect(0, 0, 100, 30), font, Color::white(), TextAlignment::Center);
    const Bitmap& b = context->bitmap();
    int inked = 0, leftMost = 200, rightMost = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            if (b.pixelAt(x, y).alpha > 128) {
                ++inked;
                leftMost = std::min(leftMost, x);
                rightMost = std::max(rightMost, x);
            }
    EXPECT_GT(inked, 50);
    // Centred: the ink is about as far from the left edge as from the right.
    EXPECT_NEAR(leftMost, 199 - rightMost, 6);
    EXPECT_NEAR(rightMost - leftMost, 2 * font.widthOfText("0:00"), 8);
}

TEST_F(DrawingTest, ContextStateIsSavedAndRestored)
{
    auto context = BitmapContext::create(10, 10, PixelFormat::RGBAPremultiplied, ContextOrigin::TopLeft);
    context->saveGState();
    context->translateCTM(5, 5);
    context->setAlpha(0.5f);
    EXPECT_EQ(context->getCTM(), AffineTransform::makeTranslation(5, 5));
    context->fillRect(Rect(0, 0, 1, 1), Color::white());
    context->restoreGState();
    context->restoreGState(); // unmatched: ignored
    EXPECT_EQ(context->getCTM(), AffineTransform::identity());
    EXPECT_EQ(context->alpha(), 1.0f);
    EXPECT_NEAR(context->bitmap().pixelAt(5, 5).alpha, 128, 1);
    EXPECT_FALSE(BitmapContext::create(0, 10, PixelFormat::Grey));
    EXPECT_FALSE(BitmapContext::create(1 << 20, 1 << 20, PixelFormat::RGBAPremultiplied));
}
