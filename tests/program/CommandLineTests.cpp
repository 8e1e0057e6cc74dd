#include "ProgramRunner.h"
#include "TestEnvironment.h"

#include "foundation/Bundle.h"
#include "graphics/Image.h"


namespace {

class CommandLineTest : public testsupport::TestEnvironment {
protected:
    testsupport::ProgramResult run(const std::string& arguments) { return testsupport::runParlivo(arguments); }
};

} // namespace

TEST_F(CommandLineTest, PrintsItsVersion)
{
    auto result = run("--version");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "parlivo " + foundation::programVersion() + "\n");
}

TEST_F(CommandLineTest, DefaultsWrittenByOneProcessAreReadByAnother)
{
    EXPECT_EQ(run("defaults write recordTimer NO").status, 0);
    auto read = run("defaults read recordTimer");
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.output, "NO\n");
    EXPECT_NE(run("defaults read").output.find("recordTimer = NO\n"), std::string::npos);

    EXPECT_EQ(run("defaults delete recordTimer").status, 0);
    auto listing = run("defaults read");
    EXPECT_EQ(listing.output.find("recordTimer = NO"), std::string::npos);
}

TEST_F(CommandLineTest, RejectsUnknownArguments)
{
    EXPECT_EQ(run("--no-such-option").status, 2);
    EXPECT_EQ(run("defaults frobnicate").status, 2);
}

TEST_F(CommandLineTest, WritesAHeadlessScreenshotOfTheScreen)
{
    const std::string file = rootDirectory() + "/screen.png";
    // No display is needed: the environment may have none at all.
    auto result = run("--scale 1 --screenshot " + file + " --after 0.5");
    ASSERT_EQ(result.status, 0);
    auto image = gfx::Image::fromFile(file);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 320);
    EXPECT_EQ(image->pixelHeight(), 480);
    // An empty black screen under the status bar, whose clock is drawn in white.
    EXPECT_EQ(image->pixelAt(160, 300), (gfx::Pixel { 0, 0, 0, 255 }));
    int light = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 320; ++x)
            light += image->pixelAt(x, y).red > 200;
    EXPECT_GT(light, 40);
    for (int x = 0; x < 320; ++x)
        EXPECT_LT(image->pixelAt(x, 25).red, 10) << x;

    // Twice the scale, twice the pixels.
    ASSERT_EQ(run("--screenshot " + file).status, 0);
    auto doubled = gfx::Image::fromFile(file);
    ASSERT_TRUE(doubled);
    EXPECT_EQ(doubled->pixelWidth(), 640);
    EXPECT_EQ(doubled->pixelHeight(), 960);
}

TEST_F(CommandLineTest, RejectsBadDisplayOptions)
{
    EXPECT_EQ(run("--scale 0 --screenshot x.png").status, 2);
    EXPECT_EQ(run("--scale two").status, 2);
    EXPECT_EQ(run("--after -1 --screenshot x.png").status, 2);
    EXPECT_EQ(run("--screenshot " + rootDirectory() + "/no/such/dir/x.png").status, 1);
}
