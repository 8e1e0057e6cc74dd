// Something put where a memo's file should be: a link to a file outside the documents folder.
// Continuing the memo never writes through it (a new memo is recorded beside it), and the file
// outside is left exactly as it was.
#include "StudioTest.h"

#include "foundation/Log.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace e2e;

namespace {

class ForeignEntryTest : public StudioTest {
protected:
    static std::string bytesOf(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    /// Moves a memo's file out of the documents folder and leaves a link to it in its place.
    std::string replaceWithLink(const std::string& audioFileName)
    {
        const std::string outside = rootDirectory() + "/outside-" + audioFileName + ".caf";
        EXPECT_EQ(::rename(audioPath(audioFileName).c_str(), outside.c_str()), 0);
        EXPECT_EQ(::symlink(outside.c_str(), audioPath(audioFileName).c_str()), 0);
        return outside;
    }
    bool isLink(const std::string& path)
    {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    }
};

} // namespace

TEST_F(ForeignEntryTest, ContinuingAnInterruptedMemoNeverAppendsThroughALink)
{
    launch();
    record(1.0);
    const auto old = studio().currentRecording();
    const int key = old->key();
    const std::string name = old->audioFileName();
    interrupt(audio::kSessionBeginInterruption);
    terminate();
    ui::Application::resetSharedApplication();

    const std::string outside = replaceWithLink(name);
    const std::string before = bytesOf(outside);
    foundation::LogCapture log;
    relaunch();
    auto fresh = studio().currentRecording();
    ASSERT_TRUE(shownAlert());
    tap(*shownAlert()->buttons()[1]);
    EXPECT_TRUE(log.containsFragment("cannot be continued"));
    EXPECT_EQ(studio().currentRecording(), fresh) << "a new memo beside it";
    ASSERT_TRUE(recordUntil(1.0));
    stopRecording();
    EXPECT_EQ(samplesOf(fresh->audioFileName()), tone(22050));
    EXPECT_TRUE(bytesOf(outside) == before) << "nothing appended outside the documents folder";
    EXPECT_TRUE(isLink(audioPath(name)));
    ASSERT_TRUE(row(key));
}

TEST_F(ForeignEntryTest, ALinkPutInPlaceDuringAnInterruptionIsNotRecordedInto)
{
    launch();
    auto recording = studio().currentRecording();
    record(1.0);
    // While the interruption holds the recording, its file is swapped for a link.
    interrupt(audio::kSessionBeginInterruption);
    advance(0.5);
    const std::string outside = replaceWithLink(recording->audioFileName());
    const std::string before = bytesOf(outside);
    foundation::LogCapture log;
    interrupt(audio::kSessionEndInterruption);
    advance(2.0);
    EXPECT_TRUE(log.containsFragment("a link stands at its path"));
    EXPECT_FALSE(studio().recorder() && studio().recorder()->isRunning());
    EXPECT_TRUE(bytesOf(outside) == before);

    // The studio is usable: taps lead back to ready and a new memo records.
    if (shownAlert()) {
        tap(*shownAlert()->buttons()[0]);
        advance(0.5);
    }
    ASSERT_TRUE(runUntil([&] { return studio().state() == StudioStateRecorded || studio().state() == StudioStateReady; }, 5.0))
        << studio().state();
    if (studio().state() == StudioStateRecorded) {
        tap(*studio().smallDeleteButton());
        waitUntilReady();
    }
    record(0.5);
    stopRecording();
    EXPECT_NE(studio().currentRecording(), recording);
    EXPECT_EQ(samplesOf(studio().currentRecording()->audioFileName()), tone(11025));
}
