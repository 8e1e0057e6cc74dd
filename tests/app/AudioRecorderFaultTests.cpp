// The recorder meets what a crash or a full disk leaves: a header a killed writer did not
// finish, a file of another format at the recording's path, a write that finds no room.
#include "AudioEngineTest.h"

#include "AudioRecorder.h"
#include "FileSizeLimit.h"

#include "foundation/Log.h"

#include <fstream>

using testsupport::FileSizeLimit;
using testsupport::rampSamples;
using testsupport::readCAF;
using testsupport::toneSamples;

namespace {

class AudioRecorderFaultTest : public AudioEngineTest {
protected:
    void TearDown() override
    {
        m_recorder.reset();
        AudioEngineTest::TearDown();
    }

    std::string bytes(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void setBytes(const std::string& name, const std::string& contents) const { std::ofstream(path(name), std::ios::binary) << contents; }
    /// The data chunk's size field, as a writer killed before its header update leaves it.
    void setDataSize(const std::string& name, std::int64_t size) const
    {
        std::string contents = bytes(name);
        auto at = contents.find("data");
        ASSERT_NE(at, std::string::npos);
        for (int i = 0; i < 8; ++i)
            contents[at + 4 + i] = static_cast<char>(static_cast<std::uint64_t>(size) >> (56 - 8 * i));
        setBytes(name, contents);
    }

    /// Appends half a second of the microphone's tone to name and answers the file's samples.
    std::vector<std::int16_t> appendHalfASecond(const std::string& name)
    {
        m_recorder->recordToFileWithRecordMode(name, RecordModeAppend);
        EXPECT_TRUE(m_recorder->isRunning());
        advance(0.5);
        m_recorder->stop();
        advance(0.1);
        auto contents = readCAF(path(name));
        return contents ? contents->samples : std::vector<std::int16_t> {};
    }

    std::shared_ptr<AudioRecorder> m_recorder { std::make_shared<AudioRecorder>() };
};

} // namespace

TEST_F(AudioRecorderFaultTest, AppendingMendsTheHeaderAKilledWriterLeftAndLosesNothing)
{
    device().setMicrophoneTone(700, 0.3);
    auto first = rampSamples(22050, 3);
    auto expected = first;
    auto tone = toneSamples(700, 0.3, 22050, 11025);
    expected.insert(expected.end(), tone.begin(), tone.end());

    // Size unknown: the file would not open, and would be made again, empty.
    writeRecording(m_name, first);
    setDataSize(m_name, -1);
    foundation::LogCapture log;
    EXPECT_EQ(appendHalfASecond(m_name), expected);
    EXPECT_TRUE(log.containsFragment("Repaired the header of the audio file"));

    // A size from an earlier header update: the append would overwrite the end.
    auto other = foundation::makeUUIDString();
    writeRecording(other, first);
    setDataSize(other, 4 + 2 * 11025);
    EXPECT_EQ(appendHalfASecond(other), expected);
}

TEST_F(AudioRecorderFaultTest, OnlyAMonoFileOfSixteenBitSamplesIsAppendedTo)
{
    EXPECT_TRUE(AudioRecorder::canAppendToFile(m_name)) << "a missing file is made";
    writeRecording(m_name, rampSamples(2205));
    EXPECT_TRUE(AudioRecorder::canAppendToFile(m_name));

    // The same sound described as 32-bit samples, and a stereo file.
    std::string wide = bytes(m_name);
    const auto desc = wide.find("desc") + 12;
    wide[desc + 19] = 4;
    wide[desc + 31] = 32;
    setBytes(m_name, wide);
    auto stereo = foundation::makeUUIDString();
    writeRecording(stereo, rampSamples(2000));
    std::string twoChannels = bytes(stereo);
    const auto stereoDesc = twoChannels.find("desc") + 12;
    twoChannels[stereoDesc + 19] = 4;
    twoChannels[stereoDesc + 27] = 2;
    setBytes(stereo, twoChannels);

    for (const auto& [name, contents] : { std::pair { m_name, wide }, { stereo, twoChannels } }) {
        EXPECT_FALSE(AudioRecorder::canAppendToFile(name));
        foundation::LogCapture log;
        m_recorder->recordToFileWithRecordMode(name, RecordModeAppend);
        EXPECT_FALSE(m_recorder->isRunning()) << "nothing is recorded rather than the file replaced";
        advance(0.3);
        EXPECT_TRUE(bytes(name) == contents) << "the file is untouched";
        EXPECT_TRUE(log.containsFragment("it is kept as it is"));
    }
}

TEST_F(AudioRecorderFaultTest, AFullDiskStopsTheRecorderWhichKeepsWhatWasWritten)
{
    device().setMicrophoneTone(440, 0.5);
    foundation::LogCapture log;
    {
        // Room for the header and about one second of sound.
        FileSizeLimit limit(50000);
        m_recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
        ASSERT_TRUE(m_recorder->isRunning());
        advance(3.0);
    }
    EXPECT_TRUE(m_recorder->writeFailed());
    EXPECT_FALSE(m_recorder->isRunning()) << "the recorder stops itself";
    auto posted = takePosted();
    EXPECT_NE(std::find(posted.begin(), posted.end(), "WillStop"), posted.end());
    EXPECT_TRUE(log.containsFragment("stopped after")) << "the failure is logged";
    EXPECT_TRUE(log.containsFragment("the disk is full"));

    auto contents = readCAF(path(m_name));
    ASSERT_TRUE(contents.has_value());
    EXPECT_GT(contents->samples.size(), 20000u);
    EXPECT_LT(contents->samples.size(), 25000u);
    EXPECT_EQ(contents->samples, toneSamples(440, 0.5, 22050, contents->samples.size())) << "what was written is intact";

    // With room again, the next recording works.
    m_recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
    EXPECT_FALSE(m_recorder->writeFailed());
    advance(1.0);
    EXPECT_TRUE(m_recorder->isRunning());
    m_recorder->stop();
}

TEST_F(AudioRecorderFaultTest, WhatIsRecordedIsSentToTheDiskAtLeastEveryTwoSeconds)
{
    m_recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(m_recorder->isRunning());
    auto file = m_recorder->audioFileID();
    for (int step = 0; step < 70; ++step) {
        advance(0.1);
        EXPECT_LE(m_recorder->startingPacketNumber() - file->syncRequestedPacketCount(), 2 * 22050) << step;
    }
    EXPECT_GE(file->syncRequestedPacketCount(), 6 * 22050);
    m_recorder->stop();
    advance(0.1);
    EXPECT_EQ(file->syncedPacketCount(), 7 * 22050) << "closing syncs the rest";
}
