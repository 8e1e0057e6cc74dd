// How a recording's photo is stored: what is read as a photo, what a save writes (and leaves
// alone), and the size and format a chosen picture is stored in.

#include "ForeignPicture.h"
#include "StoreFixture.h"

#include "graphics/Context.h"
#include "graphics/Image.h"

#include <algorithm>

using namespace storetest;

namespace {

std::string hex(const std::vector<std::uint8_t>& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (auto byte : bytes) {
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    return out;
}

// A picture of width × height pixels: red on the left half, blue on the right.
std::shared_ptr<gfx::Image> twoColourImage(int width, int height, float scale = 1)
{
    auto context = gfx::BitmapContext::create(width, height, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    context->fillRect(gfx::Rect(0, 0, float(width) / 2, float(height)), gfx::Color::rgba(1, 0, 0));
    context->fillRect(gfx::Rect(float(width) / 2, 0, float(width) / 2, float(height)), gfx::Color::rgba(0, 0, 1));
    return context->makeImage(scale);
}

bool isPNG(const std::vector<std::uint8_t>& bytes)
{
    static const std::vector<std::uint8_t> signature { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    return bytes.size() > signature.size() && std::equal(signature.begin(), signature.end(), bytes.begin());
}

class RecordingPhotoTest : public StoreTest {
protected:
    // A library of one filed recording whose photo column holds bytes.
    std::shared_ptr<Recording> startWithPhotoBytes(const std::vector<std::uint8_t>& bytes)
    {
        installTemplate();
        const int key = insertRow("Talk", kUUID1, 1, ", image", ", X'" + hex(bytes) + "'");
        makeAudioFile(kUUID1, 3072);
        return recordingWithKey(key);
    }
    std::string storedPhoto() { return query("SELECT CASE WHEN image IS NULL THEN 'NULL' ELSE hex(image) END FROM recordings").value_or(""); }
};

} // namespace

TEST_F(RecordingPhotoTest, APhotoAnotherToolStoredAsJPEGShowsAndOutlivesSavesOfTheOtherFields)
{
    const auto jpeg = testsupport::foreignPicture(120, 80, Qt::red, Qt::blue);
    ASSERT_FALSE(isPNG(jpeg));
    // Traces the library's connection, which opens from here.
    StatementTrace trace;
    auto recording = startWithPhotoBytes(jpeg);
    ASSERT_TRUE(recording);

    // Saving other fields neither reads nor writes the photo.
    trace.clear();
    recording->setTitle("Renamed");
    recording->setPlayCount(3);
    recording->save();
    EXPECT_FALSE(recording->isDirty());
    EXPECT_EQ(trace.count("image"), 0);
    EXPECT_EQ(storedPhoto(), hex(jpeg));

    // Read, it is the stored bytes, and they decode to the picture.
    auto photo = recording->image();
    ASSERT_TRUE(photo);
    EXPECT_EQ(*photo, jpeg);
    auto decoded = gfx::Image::fromPNGData(*photo);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelWidth(), 120);
    EXPECT_GT(decoded->pixelAt(10, 40).red, 200);
    EXPECT_GT(decoded->pixelAt(110, 40).blue, 200);

    // A photo read but not changed is not written back either: the bytes stay the tool's.
    recording->setComments("seen");
    recording->save();
    EXPECT_EQ(storedPhoto(), hex(jpeg));
    restart();
    EXPECT_EQ(query("SELECT title || comments FROM recordings"), "Renamedseen");
}

TEST_F(RecordingPhotoTest, BytesThatAreNoPictureReadAsNoPhotoButAreNeverErasedUnasked)
{
    const std::vector<std::uint8_t> junk { 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99 };
    auto recording = startWithPhotoBytes(junk);
    EXPECT_FALSE(recording->image());
    recording->setTitle("Still here");
    recording->save();
    EXPECT_EQ(storedPhoto(), hex(junk));

    // Other formats the graphics layer reads are photos too.
    EXPECT_TRUE(gfx::Image::isImageData(testsupport::foreignPicture(4, 4, Qt::red, Qt::blue, "BMP")));
    EXPECT_TRUE(gfx::Image::isImageData(testsupport::foreignPicture(4, 4, Qt::red, Qt::blue, "PNG")));
    EXPECT_FALSE(gfx::Image::isImageData(junk));
    EXPECT_FALSE(gfx::Image::isImageData({}));
}

TEST_F(RecordingPhotoTest, ClearingAPhotoNeverReadClearsItAndSettingOneWritesItOnce)
{
    StatementTrace trace;
    auto recording = startWithPhotoBytes(testsupport::foreignPicture(16, 16, Qt::red, Qt::blue));
    ASSERT_FALSE(recording->isImageLoaded());
    recording->setImage(nullptr);
    EXPECT_TRUE(recording->isImageChanged());
    recording->save();
    EXPECT_EQ(storedPhoto(), "NULL");
    EXPECT_FALSE(recording->isImageChanged());

    auto photo = Recording::imageDataForPhoto(*twoColourImage(32, 32));
    ASSERT_TRUE(photo);
    recording->setImage(photo);
    trace.clear();
    recording->save();
    EXPECT_EQ(trace.count("UPDATE recordings SET image=?"), 1);
    EXPECT_EQ(storedPhoto(), hex(*photo));
    recording->setTitle("Again");
    recording->save();
    EXPECT_EQ(trace.count("UPDATE recordings SET image=?"), 1);

    // A photo set on a recording not filed yet waits for the save that files it.
    auto fresh = library().newRecording();
    fresh->setImage(photo);
    fresh->save();
    EXPECT_TRUE(fresh->isImageChanged());
    fresh->setLocation(1);
    fresh->save();
    EXPECT_EQ(query("SELECT hex(image) FROM recordings WHERE pk=" + std::to_string(fresh->key())), hex(*photo));
}

TEST_F(RecordingPhotoTest, AChosenPictureIsStoredAsPNGNoLargerThanTheZoomedPhotoAt2x)
{
    ASSERT_EQ(Recording::kMaxPhotoPixelSide, 640);
    struct Case {
        int width, height;
        int storedWidth, storedHeight;
    };
    for (const Case& c : { Case { 2048, 2048, 640, 640 }, Case { 1000, 500, 640, 320 }, Case { 300, 900, 213, 640 },
             Case { 640, 640, 640, 640 }, Case { 120, 80, 120, 80 } }) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        auto stored = Recording::imageDataForPhoto(*twoColourImage(c.width, c.height, 2));
        ASSERT_TRUE(stored);
        EXPECT_TRUE(isPNG(*stored));
        auto decoded = gfx::Image::fromPNGData(*stored);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->pixelWidth(), c.storedWidth);
        EXPECT_EQ(decoded->pixelHeight(), c.storedHeight);
        // The picture is scaled, not cut: both halves are still there.
        EXPECT_EQ(decoded->pixelAt(decoded->pixelWidth() / 4, decoded->pixelHeight() / 2), (gfx::Pixel { 255, 0, 0, 255 }));
        EXPECT_EQ(decoded->pixelAt(decoded->pixelWidth() * 3 / 4, decoded->pixelHeight() / 2), (gfx::Pixel { 0, 0, 255, 255 }));
    }
    // A camera still's worth of pixels becomes a small row.
    auto stored = Recording::imageDataForPhoto(*twoColourImage(2048, 2048));
    EXPECT_LT(stored->size(), 100u * 1024);
}
