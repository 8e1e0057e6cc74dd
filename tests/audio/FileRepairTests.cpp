// Headers a killed writer leaves behind: a data chunk of unknown size, or one whose size
// disagrees with the file's length, is mended before anything reads or appends; anything else
// is left exactly as it is.
#include "AudioTestEnvironment.h"

#include "audio/File.h"
#include "foundation/FileManager.h"

#include <fstream>
#include <sys/stat.h>

using namespace audio;
using testsupport::rampSamples;
using testsupport::readCAF;

namespace {

class AudioFileRepairTest : public testsupport::AudioTestEnvironment {
protected:
    std::string path() const { return documentsPath() + "/sound.caf"; }

    // A file as the recorder writes it, with count ramp samples.
    void writeFile(std::uint32_t count)
    {
        std::shared_ptr<File> file;
        ASSERT_EQ(File::create(path(), kFileCAFType, linearPCM16(22050, 1), kFileFlagsEraseFile, &file), noErr);
        auto samples = rampSamples(count);
        ASSERT_EQ(file->writePackets(false, count * 2, nullptr, 0, &count, samples.data()), noErr);
        ASSERT_EQ(file->close(), noErr);
    }

    std::string bytes() const
    {
        std::ifstream in(path(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void setBytes(const std::string& contents) const { std::ofstream(path(), std::ios::binary) << contents; }

    // Overwrites the data chunk's size field, as a writer killed before its header update leaves it.
    void setDataSize(std::int64_t size) const
    {
        std::string contents = bytes();
        auto at = contents.find("data");
        ASSERT_NE(at, std::string::npos);
        for (int i = 0; i < 8; ++i)
            contents[at + 4 + i] = static_cast<char>(static_cast<std::uint64_t>(size) >> (56 - 8 * i));
        setBytes(contents);
    }

    std::optional<std::uint64_t> packetCount() const
    {
        std::shared_ptr<File> file;
        if (File::open(path(), FilePermission::Read, kFileCAFType, &file) != noErr)
            return std::nullopt;
        std::uint64_t packets = 0;
        file->getProperty(FileProperty::AudioDataPacketCount, packets);
        return packets;
    }

    Status repair(bool* repaired) const { return File::repairHeader(path(), repaired); }
};

} // namespace

TEST_F(AudioFileRepairTest, AnOpenEndedOrStaleDataSizeIsTakenFromTheFilesLength)
{
    writeFile(1000);
    const std::string written = bytes();
    bool repaired = true;

    // Unknown size: the file does not open at all until it is mended.
    setDataSize(-1);
    EXPECT_FALSE(packetCount());
    ASSERT_EQ(repair(&repaired), noErr);
    EXPECT_TRUE(repaired);
    EXPECT_TRUE(bytes() == written);

    // A size from an earlier header update: what follows would be overwritten by an append.
    setDataSize(4 + 2 * 600);
    EXPECT_EQ(packetCount(), 600u);
    ASSERT_EQ(repair(&repaired), noErr);
    EXPECT_TRUE(repaired);
    EXPECT_EQ(packetCount(), 1000u);
    EXPECT_EQ(readCAF(path())->samples, rampSamples(1000));

    // A size beyond the end (the file was cut short) counts what is there.
    setDataSize(4 + 2 * 5000);
    ASSERT_EQ(repair(&repaired), noErr);
    EXPECT_EQ(packetCount(), 1000u);

    // Half a sample written when the writer died is cut off.
    setBytes(written + "\x7f");
    setDataSize(-1);
    ASSERT_EQ(repair(&repaired), noErr);
    EXPECT_TRUE(bytes() == written);
}

TEST_F(AudioFileRepairTest, ConsistentAndForeignFilesAreLeftAsTheyAre)
{
    bool repaired = true;
    writeFile(500);
    const std::string written = bytes();
    EXPECT_EQ(repair(&repaired), noErr);
    EXPECT_FALSE(repaired);
    EXPECT_TRUE(bytes() == written);

    // Another chunk after the sound is no stale size.
    std::string trailing = written + std::string("info", 4) + std::string(7, '\0') + std::string("\x04", 1) + std::string(4, '\0');
    setBytes(trailing);
    EXPECT_EQ(repair(&repaired), noErr);
    EXPECT_FALSE(repaired);
    EXPECT_TRUE(bytes() == trailing);

    // What is not a CAF file with a format and a data chunk is refused untouched.
    for (const std::string& foreign : { std::string(), std::string("RIFF\x24\0\0\0WAVEfmt ", 16), written.substr(0, 8),
             written.substr(0, written.find("desc")) + std::string(12, '\xff') }) {
        setBytes(foreign);
        EXPECT_EQ(repair(&repaired), kFileInvalidFileError) << foreign.size() << " bytes";
        EXPECT_FALSE(repaired);
        EXPECT_TRUE(bytes() == foreign);
    }
    EXPECT_EQ(File::repairHeader(documentsPath() + "/missing.caf", &repaired), kFileNotFoundError);
    EXPECT_EQ(File::repairHeader(documentsPath(), &repaired), kFileInvalidFileError) << "a directory";
}

TEST_F(AudioFileRepairTest, OnlyFilesStoringSixteenBitLittleEndianSamplesTakeSamplesAsWritten)
{
    writeFile(100);
    std::shared_ptr<File> file;
    ASSERT_EQ(File::open(path(), FilePermission::ReadWrite, kFileCAFType, &file), noErr);
    EXPECT_TRUE(file->storesLinearPCM16());
    EXPECT_EQ(file->sync(), noErr);
    file->close();
    EXPECT_EQ(file->sync(), kFileNotOpenError);

    // The same file described as 32-bit samples, and as big-endian ones.
    std::string contents = bytes();
    const auto desc = contents.find("desc") + 12;
    std::string wide = contents;
    wide[desc + 19] = 4; // bytes per packet
    wide[desc + 31] = 32; // bits per channel
    setBytes(wide);
    ASSERT_EQ(File::open(path(), FilePermission::ReadWrite, kFileCAFType, &file), noErr);
    EXPECT_FALSE(file->storesLinearPCM16());
    std::string big = contents;
    big[desc + 15] = 0; // the little-endian flag cleared
    setBytes(big);
    ASSERT_EQ(File::open(path(), FilePermission::ReadWrite, kFileCAFType, &file), noErr);
    EXPECT_FALSE(file->storesLinearPCM16());
}
