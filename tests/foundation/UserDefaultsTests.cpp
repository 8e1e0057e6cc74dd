#include "TestEnvironment.h"

#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace foundation;

namespace {

class UserDefaultsTest : public testsupport::TestEnvironment {
protected:
    std::string settingsFile() { return UserDefaults::standardSettingsPath(); }

    std::vector<std::string> asideFiles()
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(configPath() + "/parlivo")) {
            if (entry.path().filename().string().find(".corrupt-") != std::string::npos)
                names.push_back(entry.path().string());
        }
        return names;
    }
};

} // namespace

TEST_F(UserDefaultsTest, DefaultsAnswerButAreNeverWritten)
{
    auto& defaults = UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.path(), configPath() + "/parlivo/settings");
    defaults.registerDefaults({ { "sampleRate", "22050" }, { "soundEffects", "Yes" }, { "emptyTrash", "NO" },
        { "interruptedRecordingKey", "-1" }, { "playMode", "speaker" } });

    EXPECT_FLOAT_EQ(defaults.floatForKey("sampleRate"), 22050.0f);
    EXPECT_TRUE(defaults.boolForKey("soundEffects"));
    EXPECT_FALSE(defaults.boolForKey("emptyTrash"));
    EXPECT_EQ(defaults.integerForKey("interruptedRecordingKey"), -1);
    EXPECT_EQ(defaults.stringForKey("playMode"), "speaker");
    EXPECT_FALSE(defaults.objectForKey("unknown").has_value());
    EXPECT_EQ(defaults.integerForKey("unknown"), 0);
    EXPECT_FALSE(fileExists(settingsFile()));
}

TEST_F(UserDefaultsTest, StoredValuesReplaceDefaultsPersistAndRemovalBringsTheDefaultBack)
{
    {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.registerDefaults({ { "saveOption", "titleEditor" } });
        ASSERT_TRUE(defaults.setObjectForKey("autoSave", "saveOption"));
        ASSERT_TRUE(defaults.setObjectForKey("line one\nline=two\\", "comment"));
    }
    UserDefaults::resetStandardUserDefaults();
    auto& reopened = UserDefaults::standardUserDefaults();
    reopened.registerDefaults({ { "saveOption", "titleEditor" } });
    EXPECT_EQ(reopened.stringForKey("saveOption"), "autoSave");
    EXPECT_EQ(reopened.stringForKey("comment"), "line one\nline=two\\");
    EXPECT_EQ(reopened.persistentValues().size(), 2u);

    ASSERT_TRUE(reopened.removeObjectForKey("saveOption"));
    EXPECT_EQ(reopened.stringForKey("saveOption"), "titleEditor");
    EXPECT_EQ(std::filesystem::status(settingsFile()).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(UserDefaultsTest, CorruptFileIsKeptAsideLoggedOnceAndReadAsEmpty)
{
    createDirectory(configPath() + "/parlivo");
    const std::string garbage = "this is not a settings file\n\x01\x02";
    ASSERT_TRUE(writeFileAtomically(settingsFile(), garbage));

    LogCapture capture;
    auto& defaults = UserDefaults::standardUserDefaults();
    EXPECT_FALSE(defaults.objectForKey("recordTimer").has_value());
    EXPECT_EQ(defaults.persistentValues().size(), 0u);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_NE(capture.lines()[0].find("is unreadable"), std::string::npos);

    auto aside = asideFiles();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside[0]), garbage);
    // The store works on a fresh file afterwards.
    EXPECT_TRUE(defaults.setObjectForKey("NO", "recordTimer"));
    UserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(UserDefaults::standardUserDefaults().stringForKey("recordTimer"), "NO");
}

TEST_F(UserDefaultsTest, BadLinesCostOnlyThemselvesAndAreKeptInACopy)
{
    createDirectory(configPath() + "/parlivo");
    // A malformed line, a line that is not UTF-8, a bad escape, and a last line without a line
    // break (which counts: the program never leaves one, an editor may).
    const std::string text = std::string(UserDefaults::serialize({ { "a", "1" } })) + "no equals sign\n"
        + "bad=\xff\xfe\n" + "esc=\\q\n" + "c=3\n" + "last=4";
    ASSERT_TRUE(writeFileAtomically(settingsFile(), text));

    LogCapture capture;
    auto& defaults = UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.stringForKey("a"), "1");
    EXPECT_EQ(defaults.stringForKey("c"), "3");
    EXPECT_EQ(defaults.stringForKey("last"), "4");
    EXPECT_EQ(defaults.persistentValues().size(), 3u);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_TRUE(capture.containsFragment("has unreadable lines (malformed line 3, malformed line 4, malformed line 5)"));
    auto aside = asideFiles();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside[0]), text);

    // The next change writes the good lines back without the bad ones, and nothing is logged again.
    ASSERT_TRUE(defaults.setObjectForKey("2", "b"));
    UserDefaults fresh(settingsFile());
    EXPECT_EQ(fresh.persistentValues(), (std::map<std::string, std::string> { { "a", "1" }, { "b", "2" }, { "c", "3" }, { "last", "4" } }));
    EXPECT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(asideFiles().size(), 1u);
}

TEST_F(UserDefaultsTest, AFileOfOneLineWithoutALineBreakKeepsItsSetting)
{
    createDirectory(configPath() + "/parlivo");
    for (const std::string& text : { std::string("sampleRate=44100"), UserDefaults::serialize({}) + "sampleRate=44100" }) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(writeFileAtomically(settingsFile(), text));
        LogCapture capture;
        UserDefaults reader(settingsFile());
        EXPECT_EQ(reader.stringForKey("sampleRate"), "44100");
        EXPECT_TRUE(capture.lines().empty()) << capture.lines().front();
    }
    EXPECT_TRUE(asideFiles().empty());
}

TEST_F(UserDefaultsTest, EveryProcessReadingABadFileKeepsOneCopyOfEachContentAside)
{
    createDirectory(configPath() + "/parlivo");
    const std::string badLines = std::string(UserDefaults::serialize({ { "a", "1" } })) + std::string(100'000, 'x') + "\n";
    ASSERT_TRUE(writeFileAtomically(settingsFile(), badLines));
    // Each store stands for a process of its own (the program, `parlivo defaults read`...).
    for (int process = 0; process < 4; ++process) {
        UserDefaults reader(settingsFile());
        EXPECT_EQ(reader.stringForKey("a"), "1");
    }
    ASSERT_EQ(asideFiles().size(), 1u);
    EXPECT_EQ(readFile(asideFiles()[0]), badLines);

    // Other bad content gets a copy of its own, once.
    const std::string otherLines = badLines + "more junk\n";
    ASSERT_TRUE(writeFileAtomically(settingsFile(), otherLines));
    for (int process = 0; process < 3; ++process)
        UserDefaults(settingsFile()).persistentValues();
    EXPECT_EQ(asideFiles().size(), 2u);

    // A file with nothing readable is moved aside; the same bytes again are not kept twice.
    const std::string garbage = "garbage without any setting\n";
    for (int process = 0; process < 3; ++process) {
        ASSERT_TRUE(writeFileAtomically(settingsFile(), garbage));
        LogCapture capture;
        EXPECT_TRUE(UserDefaults(settingsFile()).persistentValues().empty());
        EXPECT_TRUE(capture.containsFragment("is unreadable")) << process;
        EXPECT_FALSE(fileExists(settingsFile()));
    }
    EXPECT_EQ(asideFiles().size(), 3u);
}

TEST_F(UserDefaultsTest, ReaderSeesAnotherProcessesWriteWithoutWritingItself)
{
    auto& reader = UserDefaults::standardUserDefaults();
    reader.registerDefaults({ { "sampleRate", "22050" } });
    EXPECT_EQ(reader.stringForKey("sampleRate"), "22050");
    // Another process, as `parlivo defaults write` is.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        UserDefaults writer(settingsFile());
        _exit(writer.setObjectForKey("44100", "sampleRate") ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(reader.stringForKey("sampleRate"), "44100");
}

TEST_F(UserDefaultsTest, TwoProcessesWritingDifferentKeysKeepBothChanges)
{
    auto& defaults = UserDefaults::standardUserDefaults();
    ASSERT_TRUE(defaults.setObjectForKey("start", "shared"));
    constexpr int kRounds = 40;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        UserDefaults other(settingsFile());
        for (int i = 0; i < kRounds; ++i)
            other.setObjectForKey(std::to_string(i), "child" + std::to_string(i));
        _exit(0);
    }
    for (int i = 0; i < kRounds; ++i)
        defaults.setObjectForKey(std::to_string(i), "parent" + std::to_string(i));
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));

    UserDefaults fresh(settingsFile());
    auto values = fresh.persistentValues();
    EXPECT_EQ(values.size(), static_cast<size_t>(2 * kRounds + 1));
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(values["child" + std::to_string(i)], std::to_string(i));
        EXPECT_EQ(values["parent" + std::to_string(i)], std::to_string(i));
    }
    // The parent also sees the child's writes without reopening.
    EXPECT_EQ(defaults.stringForKey("child0"), "0");
}

TEST_F(UserDefaultsTest, KilledWriterNeverLeavesACorruptFile)
{
    auto& defaults = UserDefaults::standardUserDefaults();
    ASSERT_TRUE(defaults.setObjectForKey("0", "counter"));
    const std::string padding(4096, 'x'); // large enough that a write takes several syscalls
    for (int round = 0; round < 12; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            UserDefaults writer(settingsFile());
            for (int i = 1;; ++i) {
                writer.setObjectForKey(padding + std::to_string(i), "payload");
                writer.setObjectForKey(std::to_string(i), "counter");
            }
        }
        usleep(static_cast<useconds_t>(2000 + round * 1500));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        LogCapture capture;
        UserDefaults reader(settingsFile());
        auto values = reader.persistentValues();
        EXPECT_TRUE(capture.lines().empty()) << "round " << round << ": " << capture.lines().front();
        EXPECT_TRUE(values.count("counter")) << "round " << round;
    }
    EXPECT_TRUE(asideFiles().empty());
}
