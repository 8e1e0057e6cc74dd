#include "ProgramRunner.h"
#include "TestEnvironment.h"

#include "foundation/Bundle.h"
#include "foundation/FileManager.h"
#include "foundation/InstanceLock.h"
#include "foundation/UserDefaults.h"
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
    // The studio under the status bar, whose clock is drawn in white: the navigation bar
    // titled in white, the record button's red dome in the middle.
    auto lightPixels = [&](int top, int bottom) {
        int light = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < 320; ++x)
                light += image->pixelAt(x, y).red > 200;
        return light;
    };
    EXPECT_GT(lightPixels(0, 20), 40);
    EXPECT_GT(lightPixels(20, 64), 40);
    gfx::Pixel dome = image->pixelAt(160, 280);
    EXPECT_GT(dome.red, 150);
    EXPECT_LT(dome.green, 80);

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

TEST_F(CommandLineTest, ASecondProgramOnTheSameDocumentsChangesNothing)
{
    // The test stands in for a running program: it holds the documents' lock.
    const std::string documents = foundation::documentsDirectory();
    const std::string file = rootDirectory() + "/screen.png";
    {
        auto running = foundation::InstanceLock::acquire(documents + "/parlivodb.sql.lock");
        ASSERT_TRUE(running);
        auto second = testsupport::runParlivo("--documents " + documents + " --screenshot " + file, testsupport::Collect::StandardError);
        EXPECT_EQ(second.status, 1);
        EXPECT_NE(second.output.find("parlivo: Parlivo is already running on " + documents), std::string::npos) << second.output;
        EXPECT_FALSE(foundation::fileExists(documents + "/parlivodb.sql"));
        EXPECT_FALSE(foundation::fileExists(file));
        // The settings command works beside a running program.
        EXPECT_EQ(run("defaults write recordTimer NO").status, 0);
    }
    // Once the first has ended, the next start works.
    EXPECT_EQ(run("--documents " + documents + " --screenshot " + file).status, 0);
    EXPECT_TRUE(foundation::fileExists(documents + "/parlivodb.sql"));
    // A lock in this process is refused while the program's own is held elsewhere, and taken again after.
    auto first = foundation::InstanceLock::acquire(documents + "/parlivodb.sql.lock");
    ASSERT_TRUE(first);
    std::string error;
    EXPECT_FALSE(foundation::InstanceLock::acquire(documents + "/parlivodb.sql.lock", &error));
    EXPECT_EQ(error, "held by another process");
    first.reset();
    EXPECT_TRUE(foundation::InstanceLock::acquire(documents + "/parlivodb.sql.lock"));
}

TEST_F(CommandLineTest, DefaultsWriteRefusesValuesItsKeyCannotTake)
{
    for (const char* rate : { "1e9", "-5", "abc", "0", "nan", "inf", "22050.5", "''" }) {
        auto refused = testsupport::runParlivo(std::string("defaults write sampleRate ") + rate, testsupport::Collect::StandardError);
        EXPECT_EQ(refused.status, 1) << rate;
        EXPECT_EQ(refused.output, "parlivo: not written: sampleRate takes a whole number of hertz from 1 to 384000\n") << rate;
    }
    EXPECT_EQ(run("defaults write recordTimer maybe").status, 1);
    EXPECT_EQ(run("defaults write interruptedRecordingKey 4294967296").status, 1);
    // Nothing refused was stored; good values are.
    EXPECT_EQ(run("defaults read sampleRate").output, "22050\n");
    EXPECT_EQ(run("defaults write sampleRate 44100").status, 0);
    EXPECT_EQ(run("defaults write recordTimer NO").status, 0);
    EXPECT_EQ(run("defaults write saveOption anything").status, 0);
    EXPECT_EQ(run("defaults read sampleRate").output, "44100\n");
}

TEST_F(CommandLineTest, DefaultsRefuseKeysOfNoSettingAndNameTheNearest)
{
    const std::string settings = foundation::UserDefaults::standardSettingsPath();
    ASSERT_EQ(run("defaults write recordTimer NO").status, 0);
    const auto before = foundation::readFile(settings);
    ASSERT_TRUE(before);
    const std::pair<const char*, const char*> misses[] = {
        { "emptytrash", "emptytrash: no such setting; did you mean emptyTrash?" },
        { "sampleRat", "sampleRat: no such setting; did you mean sampleRate?" },
        { "smapleRate", "smapleRate: no such setting; did you mean sampleRate?" },
        { "aboutScreenHiden", "aboutScreenHidden" },
        { "sound", "sound: no such setting; did you mean soundEffects?" },
        { "microphone", "microphone: no such setting; did you mean microphoneDevice?" },
        { "volume", "volume: no such setting" },
        { "x", "x: no such setting" },
    };
    for (const auto& [key, expected] : misses) {
        auto written = testsupport::runParlivo(std::string("defaults write ") + key + " YES", testsupport::Collect::StandardError);
        EXPECT_EQ(written.status, 1) << key;
        auto deleted = testsupport::runParlivo(std::string("defaults delete ") + key, testsupport::Collect::StandardError);
        EXPECT_EQ(deleted.status, 1) << key;
        auto read = testsupport::runParlivo(std::string("defaults read ") + key, testsupport::Collect::StandardError);
        EXPECT_EQ(read.status, 1) << key;
        const std::string text = expected;
        if (text.find(':') == std::string::npos) {
            EXPECT_NE(written.output.find("did you mean " + text + "?\n"), std::string::npos) << written.output;
            continue;
        }
        EXPECT_EQ(written.output, "parlivo: not written: " + text + "\n");
        EXPECT_EQ(deleted.output, "parlivo: not deleted: " + text + "\n");
        EXPECT_EQ(read.output, "parlivo: " + text + "\n");
    }
    // Nothing refused touched the file, and the setting the typo meant kept its default.
    EXPECT_EQ(foundation::readFile(settings), before);
    EXPECT_EQ(run("defaults read emptyTrash").output, "NO\n");
    // A known key with a refused value is refused for its value, not its name.
    auto badValue = testsupport::runParlivo("defaults write emptyTrash maybe", testsupport::Collect::StandardError);
    EXPECT_EQ(badValue.output, "parlivo: not written: emptyTrash takes Yes or NO\n");
}

TEST_F(CommandLineTest, DefaultsReadListsEveryKeyAndSaysWhichAreDefaults)
{
    // The default category is a display text.
    setenv("LANGUAGE", "en", 1);
    ASSERT_EQ(run("defaults write sampleRate 44100").status, 0);
    // A stored value equal to the default reads as the default.
    ASSERT_EQ(run("defaults write listStyle grouped").status, 0);
    // What a mistyped write stored before keys were checked, as an older program did.
    ASSERT_TRUE(foundation::UserDefaults(foundation::UserDefaults::standardSettingsPath()).setObjectForKey("YES", "emptytrash"));

    auto listing = run("defaults read");
    ASSERT_EQ(listing.status, 0);
    const std::string expected = "interruptedRecordingKey = -1 (default)\n"
                                 "defaultCategory = General (default)\n"
                                 "soundEffects = Yes (default)\n"
                                 "aboutScreenHidden = NO (default)\n"
                                 "emptyTrash = NO (default)\n"
                                 "playMode = speaker (default)\n"
                                 "sampleRate = 44100\n"
                                 "showImages = NO (default)\n"
                                 "listStyle = grouped (default)\n"
                                 "instantRecord = NO (default)\n"
                                 "saveOption = titleEditor (default)\n"
                                 "recordTimer = Yes (default)\n"
                                 "microphoneDevice = \"\" (default)\n"
                                 "speakerDevice = \"\" (default)\n"
                                 "emptytrash = YES (no such setting; unused)\n";
    EXPECT_EQ(listing.output, expected);

    // The stray key can be tidied away; then it is refused like any other.
    EXPECT_EQ(run("defaults delete emptytrash").status, 0);
    EXPECT_EQ(run("defaults read").output.find("emptytrash"), std::string::npos);
    EXPECT_EQ(run("defaults delete emptytrash").status, 1);
    EXPECT_EQ(run("defaults delete sampleRate").status, 0);
    EXPECT_NE(run("defaults read").output.find("sampleRate = 22050 (default)\n"), std::string::npos);
}

TEST_F(CommandLineTest, PreferencesOptionOpensTheScreenInANewProgram)
{
    const std::string file = rootDirectory() + "/preferences.png";
    ASSERT_EQ(run("--scale 1 --preferences --screenshot " + file + " --after 1").status, 0);
    auto image = gfx::Image::fromFile(file);
    ASSERT_TRUE(image);
    // The grouped table's light blue-grey beside its rows where the studio is black, and no
    // record dome in the middle.
    const gfx::Pixel margin = image->pixelAt(4, 300);
    EXPECT_GT(margin.red, 150);
    EXPECT_GT(margin.blue, margin.red);
    const gfx::Pixel middle = image->pixelAt(160, 280);
    EXPECT_FALSE(middle.red > 150 && middle.green < 80);
}
