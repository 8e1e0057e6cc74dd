// The playback screen's states drawn at 2x and written for people to look at, with a few
// pixels checked where the layout puts things.
#include "PlaybackTest.h"

using namespace e2e;

namespace {

class PlaybackScreenshotTest : public PlaybackTest {
protected:
    std::shared_ptr<gfx::Image> shoot(const std::string& name)
    {
        return writeScreenshot("playback_" + name);
    }
    static gfx::Pixel at(const gfx::Image& shot, gfx::Point point) { return pixelAt(shot, point); }
    /// How many pixels of two shots differ between two heights of the screen.
    static int differences(const gfx::Image& a, const gfx::Image& b, float top, float bottom)
    {
        int count = 0;
        for (int y = int(top * 2); y < int(bottom * 2); ++y)
            for (int x = 0; x < 640; x += 2)
                count += a.pixelAt(x, y) == b.pixelAt(x, y) ? 0 : 1;
        return count;
    }

    /// A photo: a sky over a field with a sun, so a zoom is easy to judge.
    static RecordingImage photo()
    {
        auto context = gfx::BitmapContext::create(128, 128, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
        context->fillRect(gfx::Rect(0, 0, 128, 80), gfx::Color::rgba(0.35f, 0.6f, 0.95f));
        context->fillRect(gfx::Rect(0, 80, 128, 48), gfx::Color::rgba(0.25f, 0.65f, 0.2f));
        gfx::Path sun;
        sun.addArc({ 92, 36 }, 16, 0, 6.2832f, false);
        context->fillPath(sun, gfx::Color::rgba(1, 0.85f, 0.2f));
        return std::make_shared<const std::vector<std::uint8_t>>(context->makeImage()->pngData());
    }
};

} // namespace

TEST_F(PlaybackScreenshotTest, DetailsPlayingZoomedTrashAndAPageCurlHalfWay)
{
    launchWithLists();
    auto memo = makeFiledRecording("Team meeting", 75.0);
    memo->setComments("Budget for next year, the new office, and who takes the minutes from now on.");
    memo->setCategory("Meetings");
    memo->setImage(photo());
    memo->save();
    auto next = makeFiledRecording("Shopping list", 20.0, 1, 3600);

    open(memo);
    auto details = shoot("details");
    const gfx::Point photoCentre = centreOf(*screen().recordingImageButton());
    EXPECT_GT(at(*details, { photoCentre.x - 20, photoCentre.y - 20 }).blue, 200) << "the photo's sky";
    const gfx::Point deleteCentre = centreOf(*screen().deleteButton());
    EXPECT_GT(at(*details, { deleteCentre.x - 50, deleteCentre.y }).red, 150) << "the red delete button";

    playFor(12.3);
    auto playingShot = shoot("playing");
    const gfx::Image& playing = *playingShot;
    EXPECT_EQ(screen().playTimeLabel()->text(), "0:12");
    EXPECT_EQ(screen().remainingTimeLabel()->text(), "-1:03");

    tap(*screen().recordingImageButton());
    advance(0.7);
    auto zoomed = shoot("zoomed");
    EXPECT_GT(at(*zoomed, { 160, 64 + 100 }).blue, 200) << "the sky over the details";
    EXPECT_GT(at(*zoomed, { 160, 64 + 280 }).green, 120) << "the field";
    tap(*screen().recordingImageButton());
    advance(0.7);

    tap(*screen().skipForwardButton());
    advance(0.3);
    auto curl = shoot("curl_half_way");
    advance(0.5);
    auto after = shoot("next");
    // Half way the old page still covers the top, the new one shows at the bottom, and the
    // roll between them is neither.
    EXPECT_EQ(differences(*curl, playing, 64, 90), 0);
    EXPECT_EQ(differences(*curl, *after, 330, 360), 0);
    EXPECT_GT(differences(*curl, playing, 100, 330), 100);
    EXPECT_GT(differences(*curl, *after, 100, 330), 100);

    navigationOf(*m_recordings).popViewControllerAnimated(false);
    memo->setLocation(2);
    memo->save();
    // A handset, whose route button works.
    device().setHasEarpiece(true);
    choose(*m_trash, memo);
    advance(0.6);
    auto trash = shoot("trash");
    const gfx::Point restoreCentre = centreOf(*m_trash->player()->restoreButton());
    const auto green = at(*trash, { restoreCentre.x - 50, restoreCentre.y });
    EXPECT_GT(green.green, green.red) << "the green restore button in the delete button's place";

    tap(*m_trash->player()->speakerButton());
    auto earpiece = shoot("speaker_off");
    const gfx::Point speakerCentre = centreOf(*m_trash->player()->speakerButton());
    const auto black = at(*earpiece, { speakerCentre.x + 50, speakerCentre.y + 10 });
    EXPECT_LT(black.red + black.green + black.blue, 3 * 90) << "the dark button of the earpiece";
}
