#include "TestEnvironment.h"

#include "HelperMethods.h"

#include "foundation/Calendar.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char* kName = "3F2504E0-4F89-41D3-9A0C-0305E82C3301";

class HelperMethodsFiles : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        foundation::setDefaultLocale("en_US");
    }

    // A sparse file of the given size, so large sizes cost no disk.
    void makeFile(std::uint64_t bytes)
    {
        int fd = ::open(HelperMethods::getFullAudioFilePath(kName)->c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(bytes)), 0);
        ::close(fd);
    }
};

} // namespace

TEST_F(HelperMethodsFiles, PathIsTheDocumentsDirectorySlashNameDotCaf)
{
    EXPECT_EQ(HelperMethods::getFullAudioFilePath(kName), documentsPath() + "/" + kName + ".caf");
    EXPECT_EQ(HelperMethods::audioFileURL(kName), HelperMethods::getFullAudioFilePath(kName));
}

TEST_F(HelperMethodsFiles, SizeTextsFollowTheKilobyteAndMegabyteRule)
{
    EXPECT_FALSE(HelperMethods::audioFileExists(kName));
    EXPECT_EQ(HelperMethods::getAudioFileSizeFormattedString(kName), "0 KB");
    const std::pair<std::uint64_t, const char*> cases[] = {
        { 0, "0 KB" }, { 1023, "0 KB" }, { 1024, "1 KB" }, { 1024 * 1024 - 1, "1023 KB" },
        { 1024 * 1024, "1 MB" }, { 1024 * 1024 * 3 / 2, "1.5 MB" }, { 1'500'000, "1.43 MB" },
        { 5ull * 1024 * 1024 * 1024, "5120 MB" },
    };
    for (auto [bytes, text] : cases) {
        makeFile(bytes);
        EXPECT_EQ(HelperMethods::getAudioFileSizeFormattedString(kName), text) << bytes;
    }
    EXPECT_TRUE(HelperMethods::audioFileExists(kName));
    foundation::setDefaultLocale("de_DE");
    EXPECT_EQ(HelperMethods::getAudioFileSizeFormattedString(kName), "5120 MB");
    EXPECT_EQ(HelperMethods::formattedSize(1'500'000), "1,43 MB");
}

TEST_F(HelperMethodsFiles, DeletingAMissingFileDoesNothing)
{
    foundation::LogCapture capture;
    HelperMethods::deleteAudioFile(kName);
    makeFile(10);
    HelperMethods::deleteAudioFile(kName);
    EXPECT_FALSE(HelperMethods::audioFileExists(kName));
    EXPECT_TRUE(capture.lines().empty());
}

TEST_F(HelperMethodsFiles, NamesThatAreNotUUIDsAreRefusedAndTouchNothingOutside)
{
    std::string outside = rootDirectory() + "/victim.caf";
    ASSERT_TRUE(foundation::writeFileAtomically(outside, "keep me"));
    foundation::LogCapture capture;
    for (const char* name : { "../victim", "/etc/passwd", "", "a/b" }) {
        EXPECT_FALSE(HelperMethods::getFullAudioFilePath(name).has_value());
        EXPECT_FALSE(HelperMethods::audioFileExists(name));
        HelperMethods::deleteAudioFile(name);
        EXPECT_EQ(HelperMethods::getAudioFileSize(name), 0u);
    }
    EXPECT_TRUE(foundation::fileExists(outside));
    EXPECT_TRUE(capture.containsFragment("Refusing audio file name '../victim'"));
}
