// Photos stored larger than any screen shows them (by another tool, or in rows from before
// pictures were scaled when chosen) cost only what is shown: the rows and the playback screen
// decode them straight at their own size, and they still show.
#include "PlaybackTest.h"

#include "RecordingLibrary.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <cstring>
#include <fstream>

using namespace e2e;

namespace {

constexpr int kLargeSide = 5600;

class StoredPhotoTest : public PlaybackTest {
protected:
    /// A kLargeSide-pixel square PNG, red on the left half and blue on the right: a few
    /// hundred kilobytes that decode to 120 MB.
    static RecordingImage largePhoto()
    {
        QImage image(kLargeSide, kLargeSide, QImage::Format_Indexed8);
        image.setColorTable({ qRgb(255, 0, 0), qRgb(0, 0, 255) });
        for (int y = 0; y < kLargeSide; ++y) {
            uchar* row = image.scanLine(y);
            std::memset(row, 0, kLargeSide / 2);
            std::memset(row + kLargeSide / 2, 1, kLargeSide - kLargeSide / 2);
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
    }

    /// The most memory the process has held at once, in bytes.
    static long long peakResidentBytes()
    {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0)
                return std::stoll(line.substr(6)) * 1024;
        return 0;
    }

    /// The picture is the stored one: red on its left, blue on its right.
    static void expectRedAndBlue(const std::shared_ptr<gfx::Image>& picture, const std::string& where)
    {
        ASSERT_TRUE(picture) << where;
        const int w = picture->pixelWidth();
        const int h = picture->pixelHeight();
        const gfx::Pixel left = picture->pixelAt(w / 4, h / 2);
        const gfx::Pixel right = picture->pixelAt(3 * w / 4, h / 2);
        EXPECT_GT(left.red, 200) << where;
        EXPECT_LT(left.blue, 50) << where;
        EXPECT_GT(right.blue, 200) << where;
        EXPECT_LT(right.red, 50) << where;
    }
};

} // namespace

TEST_F(StoredPhotoTest, TwelveRowsOfLargePhotosDecodeEachAtTheSizeItIsShown)
{
    setSetting("showImages", "YES");
    launchWithLists();
    const RecordingImage photo = largePhoto();
    std::vector<std::shared_ptr<Recording>> memos;
    for (int i = 0; i < 12; ++i) {
        auto memo = makeFiledRecording("Photo " + std::to_string(i), 0.2, 1, 60.0 * i);
        memo->setImage(photo);
        memo->save();
        memos.push_back(memo);
    }
    // Read back as another run would: from the rows.
    terminate();
    ui::Application::resetSharedApplication();
    relaunch();
    m_recordings = delegate().myRecordings();

    // Decoding a photo whole needs 120 MB: only what is shown may be asked for.
    QImageReader::setAllocationLimit(16);
    const long long before = peakResidentBytes();

    // The playback screen's photo zooms to 320 points: 640 pixels.
    const auto& all = RecordingLibrary::sharedLibrary().recordings();
    auto first = *std::find_if(all.begin(), all.end(), [](const auto& memo) { return memo->location() == 1; });
    open(first);
    auto zoomed = screen().recordingImageButton()->backgroundImageForState(ui::ControlStateNormal);
    expectRedAndBlue(zoomed, first->title());
    EXPECT_EQ(std::max(zoomed->pixelWidth(), zoomed->pixelHeight()), 640);
    navigationOf(*m_recordings).popViewControllerAnimated(false);
    advance(0.6);

    int shown = 0;
    for (const auto& cell : m_recordings->tableView()->visibleCells()) {
        auto row = std::dynamic_pointer_cast<RecordingTableViewCell>(cell);
        if (!row || !row->displayedRecording())
            continue;
        ++shown;
        auto picture = row->imageView()->image();
        expectRedAndBlue(picture, row->displayedRecording()->title());
        EXPECT_LE(std::max(picture->pixelWidth(), picture->pixelHeight()), 88) << "44 points at 2x";
    }
    EXPECT_GE(shown, 6);
    EXPECT_LT(peakResidentBytes() - before, 100LL << 20) << "twelve photos held whole took 1.5 GB";
}
