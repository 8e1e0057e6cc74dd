#include "AudioTestEnvironment.h"

#include "audio/File.h"
#include "foundation/FileManager.h"

#include <sys/stat.h>

using namespace audio;
using testsupport::rampSamples;
using testsupport::readCAF;

namespace {

class AudioFileTest : public testsupport::AudioTestEnvironment {
protected:
    std::string path(const std::string& name = "sound.caf") { return documentsPath() + "/" + name; }

    std::shared_ptr<File> createFile(double rate = 22050)
    {
        std::shared_ptr<File> file;
        EXPECT_EQ(File::create(path(), kFileCAFType, linearPCM16(rate, 1), kFileFlagsEraseFile, &file), noErr);
        return file;
    }

    static Status write(File& file, std::int64_t at, const std::vector<std::int16_t>& samples, std::uint32_t* written = nullptr)
    {
        auto n = static_cast<std::uint32_t>(samples.size());
        Status status = file.writePackets(false, n * 2, nullptr, at, &n, samples.data());
        if (written)
            *written = n;
        return status;
    }

    static std::vector<std::int16_t> read(File& file, std::int64_t at, std::uint32_t count, Status* status = nullptr)
    {
        std::vector<std::int16_t> samples(count);
        std::uint32_t bytes = 0;
        Status result = file.readPackets(false, &bytes, nullptr, at, &count, samples.data());
        EXPECT_EQ(bytes, count * 2);
        samples.resize(count);
        if (status)
            *status = result;
        return samples;
    }
};

} // namespace

TEST_F(AudioFileTest, HeaderCarriesTheBoundFormatAndStaysValidAfterEveryWrite)
{
    auto file = createFile();
    auto samples = rampSamples(3000);
    ASSERT_EQ(write(*file, 0, { samples.begin(), samples.begin() + 1000 }), noErr);

    // Read while the writer still has the file open, as after a crash.
    auto header = readCAF(path());
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->sampleRate, 22050.0);
    EXPECT_EQ(header->formatID, "lpcm");
    EXPECT_EQ(header->formatFlags, 2u) << "the file format's little-endian flag";
    EXPECT_EQ(header->bytesPerPacket, 2u);
    EXPECT_EQ(header->framesPerPacket, 1u);
    EXPECT_EQ(header->channelsPerFrame, 1u);
    EXPECT_EQ(header->bitsPerChannel, 16u);
    EXPECT_EQ(header->samples, std::vector<std::int16_t>(samples.begin(), samples.begin() + 1000));

    ASSERT_EQ(write(*file, 1000, { samples.begin() + 1000, samples.end() }), noErr);
    std::shared_ptr<File> reader;
    ASSERT_EQ(File::open(path(), FilePermission::Read, kFileCAFType, &reader), noErr);
    std::uint64_t packets = 0;
    ASSERT_EQ(reader->getProperty(FileProperty::AudioDataPacketCount, packets), noErr);
    EXPECT_EQ(packets, 3000u);
    EXPECT_EQ(read(*reader, 0, 3000), samples);
    EXPECT_EQ(readCAF(path())->samples, samples);

    StreamBasicDescription format;
    ASSERT_EQ(reader->getProperty(FileProperty::DataFormat, format), noErr);
    EXPECT_EQ(format.mSampleRate, 22050.0);
    EXPECT_EQ(format.mFormatID, kFormatLinearPCM);
    EXPECT_EQ(format.mFormatFlags, 12u);
    EXPECT_EQ(format.mBytesPerPacket, 2u);
    EXPECT_EQ(format.mBytesPerFrame, 2u);
    EXPECT_EQ(format.mChannelsPerFrame, 1u);
    EXPECT_EQ(format.mBitsPerChannel, 16u);
    EXPECT_EQ(format.mReserved, 0u);

    EXPECT_EQ(file->close(), noErr);
    EXPECT_EQ(file->close(), kFileNotOpenError);
    EXPECT_EQ(readCAF(path())->samples, samples);
}

TEST_F(AudioFileTest, ReadingAndWritingGoByPacketIndex)
{
    auto samples = rampSamples(5000, 13);
    {
        auto file = createFile(8000);
        ASSERT_EQ(write(*file, 0, { samples.begin(), samples.begin() + 3000 }), noErr);
        std::uint32_t written = 0;
        EXPECT_EQ(write(*file, 3001, { 1, 2 }, &written), kFileInvalidPacketOffsetError);
        EXPECT_EQ(written, 0u);
        EXPECT_EQ(write(*file, -1, { 1 }), kFileInvalidPacketOffsetError);
    }

    std::shared_ptr<File> file;
    ASSERT_EQ(File::open(path(), FilePermission::ReadWrite, kFileCAFType, &file), noErr);
    // Appending after the last packet, then overwriting inside, then reading across both.
    ASSERT_EQ(write(*file, 3000, { samples.begin() + 3000, samples.end() }), noErr);
    EXPECT_EQ(read(*file, 2990, 20), std::vector<std::int16_t>(samples.begin() + 2990, samples.begin() + 3010));
    ASSERT_EQ(write(*file, 10, { 111, 222 }), noErr);
    auto expected = samples;
    expected[10] = 111;
    expected[11] = 222;
    EXPECT_EQ(read(*file, 0, 5000), expected);

    // At and past the end nothing is read; a request over the end is cut short.
    EXPECT_TRUE(read(*file, 5000, 100).empty());
    EXPECT_TRUE(read(*file, 9000, 100).empty());
    EXPECT_EQ(read(*file, 4990, 100).size(), 10u);
    Status status = noErr;
    read(*file, -5, 1, &status);
    EXPECT_EQ(status, kFileInvalidPacketOffsetError);
    file.reset();

    auto contents = readCAF(path());
    ASSERT_TRUE(contents.has_value());
    EXPECT_EQ(contents->sampleRate, 8000.0);
    EXPECT_EQ(contents->samples, expected);
}

TEST_F(AudioFileTest, PropertiesAndRefusals)
{
    auto file = createFile();
    std::uint32_t upperBound = 0;
    EXPECT_EQ(file->getProperty(FileProperty::PacketSizeUpperBound, upperBound), noErr);
    EXPECT_EQ(upperBound, 2u);
    std::uint32_t size = 0;
    EXPECT_EQ(file->getPropertyInfo(FileProperty::MagicCookieData, &size, nullptr), kFileUnsupportedPropertyError);
    std::uint64_t packets = 99;
    EXPECT_EQ(file->getProperty(FileProperty::AudioDataPacketCount, packets), noErr);
    EXPECT_EQ(packets, 0u);
    std::uint16_t tooSmall = 0;
    EXPECT_EQ(file->getProperty(FileProperty::AudioDataPacketCount, tooSmall), kFileBadPropertySizeError);

    struct stat info {};
    ASSERT_EQ(::stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    std::shared_ptr<File> other;
    EXPECT_EQ(File::create(path(), kFileCAFType, linearPCM16(22050, 1), 0, &other), kFileExistsError);
    EXPECT_EQ(File::open(path("missing.caf"), FilePermission::Read, kFileCAFType, &other), kFileNotFoundError);
    EXPECT_EQ(other, nullptr);
    ASSERT_TRUE(foundation::writeFileAtomically(path("junk.caf"), "not a sound"));
    EXPECT_EQ(File::open(path("junk.caf"), FilePermission::Read, kFileCAFType, &other), kFileInvalidFileError);

    auto bigEndian = linearPCM16(22050, 1);
    bigEndian.mFormatFlags |= kFormatFlagIsBigEndian;
    auto fractionalRate = linearPCM16(22050.5, 1);
    auto noRate = linearPCM16(0, 1);
    for (const auto& format : { bigEndian, fractionalRate, noRate }) {
        EXPECT_EQ(File::create(path("other.caf"), kFileCAFType, format, kFileFlagsEraseFile, &other),
            kFileUnsupportedDataFormatError);
    }
    EXPECT_EQ(File::create(path("other.caf"), fourCharCode("WAVE"), linearPCM16(22050, 1), kFileFlagsEraseFile, &other),
        kFileUnsupportedFileTypeError);
}
