// Pictures read at the size they are shown, whatever size they are stored at: a large PNG is
// read a row at a time (the decoder's allocation limit would refuse it whole), its pixels are
// the averages of what they cover, and bytes that are not a whole picture give none (pictures
// too large to hold are refused from their header, see the image picker's tests).
#include "TestEnvironment.h"

#include "graphics/Image.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <cstring>
#include <fstream>

using gfx::Image;

namespace {

class ImageFittingTest : public testsupport::TestEnvironment {
protected:
    static std::vector<std::uint8_t> encode(const QImage& image, const char* format = "PNG")
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format));
        return { bytes.begin(), bytes.end() };
    }
    /// side × side, red on the left half and blue on the right, 8-bit indexed: cheap to make,
    /// and 4 bytes a pixel once decoded.
    static std::vector<std::uint8_t> largeTwoColourPNG(int side)
    {
        QImage image(side, side, QImage::Format_Indexed8);
        image.setColorTable({ qRgb(255, 0, 0), qRgb(0, 0, 255) });
        for (int y = 0; y < side; ++y) {
            std::memset(image.scanLine(y), 0, size_t(side / 2));
            std::memset(image.scanLine(y) + side / 2, 1, size_t(side - side / 2));
        }
        return encode(image);
    }
};

} // namespace

TEST_F(ImageFittingTest, ALargePNGIsReadARowAtATimeAtTheSizeAsked)
{
    const auto png = largeTwoColourPNG(5600);
    // Whole, the picture needs 120 MB; the decoder may now allocate 16.
    QImageReader::setAllocationLimit(16);
    EXPECT_EQ(Image::fromPNGData(png), nullptr) << "decoding it whole is refused";

    Image::ReadFailure failure = Image::ReadFailure::TooLarge;
    auto fitted = Image::fromDataFitting(png, 640, Image::Fit::Inside, &failure);
    ASSERT_TRUE(fitted);
    EXPECT_EQ(failure, Image::ReadFailure::None);
    EXPECT_EQ(fitted->pixelWidth(), 640);
    EXPECT_EQ(fitted->pixelHeight(), 640);
    EXPECT_EQ(fitted->pixelAt(100, 320), (gfx::Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(fitted->pixelAt(540, 320), (gfx::Pixel { 0, 0, 255, 255 }));

    // The same from a file, as a picture the user chooses.
    const std::string path = rootDirectory() + "/large.png";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    auto chosen = Image::fromFileFitting(path, 88, Image::Fit::Cover);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->pixelWidth(), 88);
}

TEST_F(ImageFittingTest, EachPixelIsTheAverageOfWhatItCoversTransparencyIncluded)
{
    // One-pixel black and white stripes over a left half that is clear, and a right half of
    // green at half opacity.
    QImage image(400, 200, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 400; ++x)
            image.setPixel(x, y, (x % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    for (int y = 100; y < 200; ++y)
        for (int x = 200; x < 400; ++x)
            image.setPixel(x, y, qRgba(0, 255, 0, 128));
    auto fitted = Image::fromDataFitting(encode(image), 40, Image::Fit::Inside);
    ASSERT_TRUE(fitted);
    ASSERT_EQ(fitted->pixelWidth(), 40);
    ASSERT_EQ(fitted->pixelHeight(), 20);
    const gfx::Pixel grey = fitted->pixelAt(10, 5);
    EXPECT_NEAR(grey.red, 128, 2);
    EXPECT_NEAR(grey.green, 128, 2);
    EXPECT_EQ(grey.alpha, 255);
    EXPECT_EQ(fitted->pixelAt(10, 15).alpha, 0) << "clear stays clear";
    const gfx::Pixel green = fitted->pixelAt(30, 15);
    EXPECT_NEAR(green.alpha, 128, 1);
    EXPECT_NEAR(green.green, 255, 2);
    EXPECT_EQ(green.red, 0);

    // Smaller than asked: read as it is, never enlarged.
    auto small = Image::fromDataFitting(encode(image), 1000, Image::Fit::Inside);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->pixelWidth(), 400);
}

TEST_F(ImageFittingTest, BytesThatAreNoWholePictureGiveNone)
{
    auto png = largeTwoColourPNG(2000);
    png.resize(png.size() / 2);
    Image::ReadFailure failure = Image::ReadFailure::None;
    EXPECT_EQ(Image::fromDataFitting(png, 640, Image::Fit::Inside, &failure), nullptr);
    EXPECT_EQ(failure, Image::ReadFailure::Unreadable);

    EXPECT_EQ(Image::fromDataFitting({ 'n', 'o', 'p', 'e' }, 640, Image::Fit::Inside, &failure), nullptr);
    EXPECT_EQ(failure, Image::ReadFailure::Unreadable);
}
