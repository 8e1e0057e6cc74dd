// The recorder where the documents folder works against it: a link or a pipe where a memo's
// file should be. (A disk that fills while a card records is in the standin suite.)
#include "AudioEngineTest.h"

#include "AudioRecorder.h"

#include "foundation/Log.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::rampSamples;
using testsupport::readCAF;

namespace {

class AudioRecorderDiskTest : public AudioEngineTest {
protected:
    void TearDown() override
    {
        m_recorder.reset();
        AudioEngineTest::TearDown();
    }

    static std::string contentsOf(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::shared_ptr<AudioRecorder> m_recorder { std::make_shared<AudioRecorder>() };
};

} // namespace

TEST_F(AudioRecorderDiskTest, ALinkAtTheMemosPathIsNeverWrittenThrough)
{
    // A memo's path made a link to a recording outside the documents folder.
    const std::string outside = rootDirectory() + "/outside.caf";
    writeRecording(m_name, rampSamples(22050));
    ASSERT_EQ(::rename(path(m_name).c_str(), outside.c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), path(m_name).c_str()), 0);
    const std::string before = contentsOf(outside);

    EXPECT_FALSE(AudioRecorder::canAppendToFile(m_name)) << "the studio records a new memo instead";
    for (RecordMode mode : { RecordModeAppend, RecordModeNew }) {
        foundation::LogCapture log;
        m_recorder->recordToFileWithRecordMode(m_name, mode);
        EXPECT_FALSE(m_recorder->isRunning()) << mode;
        advance(0.5);
        EXPECT_TRUE(log.containsFragment("a link stands at its path")) << mode;
    }
    EXPECT_EQ(contentsOf(outside), before) << "nothing appended or emptied outside";
    struct stat info {};
    ASSERT_EQ(::lstat(path(m_name).c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link is left as it is";

    // A memo of its own records as ever.
    auto name = foundation::makeUUIDString();
    m_recorder->recordToFileWithRecordMode(name, RecordModeNew);
    EXPECT_TRUE(m_recorder->isRunning());
    advance(0.5);
    m_recorder->stop();
    advance(0.1);
    EXPECT_EQ(readCAF(path(name))->samples.size(), 11025u);
}

TEST_F(AudioRecorderDiskTest, APipeAtTheMemosPathIsNotWaitedOn)
{
    ASSERT_EQ(::mkfifo(path(m_name).c_str(), 0600), 0);
    auto attempt = std::async(std::launch::async, [this] { return AudioRecorder::canAppendToFile(m_name); });
    if (attempt.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ::close(::open(path(m_name).c_str(), O_WRONLY | O_NONBLOCK));
        attempt.wait();
        FAIL() << "canAppendToFile waits on the pipe";
    }
    EXPECT_FALSE(attempt.get());

    foundation::LogCapture log;
    m_recorder->recordToFileWithRecordMode(m_name, RecordModeAppend);
    EXPECT_FALSE(m_recorder->isRunning());
    EXPECT_TRUE(log.containsFragment("something other than a file stands at its path"));
    struct stat info {};
    ASSERT_EQ(::lstat(path(m_name).c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}
