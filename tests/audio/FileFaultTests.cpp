// Audio files meeting a full disk and foreign things at their path: what was written stays where
// it was, nothing is written through a link, and a pipe is never waited on.
#include "AudioTestEnvironment.h"
#include "FileSizeLimit.h"

#include "audio/File.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace audio;
using testsupport::FileSizeLimit;
using testsupport::rampSamples;
using testsupport::readCAF;

namespace {

class AudioFileFaultTest : public testsupport::AudioTestEnvironment {
protected:
    std::string path(const std::string& name = "sound.caf") const { return documentsPath() + "/" + name; }

    static Status write(File& file, std::int64_t at, const std::int16_t* samples, std::uint32_t count, std::uint32_t* written)
    {
        *written = count;
        return file.writePackets(false, count * 2, nullptr, at, written, samples);
    }

    static std::string contentsOf(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    /// Runs open or create on another thread: a call that waits on a pipe fails the test
    /// instead of hanging it (the pipe is then opened and closed for writing, which lets the
    /// call go).
    template<typename Call>
    Status withoutWaiting(const std::string& fifo, Call call)
    {
        auto result = std::async(std::launch::async, call);
        if (result.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
            return result.get();
        ADD_FAILURE() << "the call waits on the pipe";
        // A writer that comes and goes lets the open return and the read find the end.
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        return result.get();
    }
};

} // namespace

TEST_F(AudioFileFaultTest, AWriteThatFindsNoRoomKeepsEverySampleBeforeItInOrder)
{
    // 50,001 bytes: the last write stops inside a sample, as a disk fills wherever it does.
    for (rlim_t limit : { rlim_t(50000), rlim_t(50001) }) {
        std::shared_ptr<File> file;
        ASSERT_EQ(File::create(path(), kFileCAFType, linearPCM16(22050, 1), kFileFlagsEraseFile, &file), noErr);
        const auto sound = rampSamples(40 * 2205, 3);
        std::int64_t packets = 0;
        Status failure = noErr;
        {
            FileSizeLimit full(limit);
            for (int buffer = 0; buffer < 40 && failure == noErr; ++buffer) {
                std::uint32_t written = 0;
                failure = write(*file, packets, sound.data() + packets, 2205, &written);
                packets += written;
            }
            EXPECT_EQ(failure, kFileDiskFullError) << limit;
            // A buffer that was already on its way when the disk filled, written where the
            // counted packets end: before, libsndfile put it over the start of the sound.
            std::uint32_t written = 0;
            EXPECT_EQ(write(*file, packets, sound.data() + packets, 2205, &written), kFileDiskFullError);
            EXPECT_EQ(written, 0u);
        }
        EXPECT_GT(packets, 20000);
        EXPECT_LT(packets, 25000);

        // With room again the sound goes on right after the last whole sample.
        std::uint32_t written = 0;
        EXPECT_EQ(write(*file, packets, sound.data() + packets, 2205, &written), noErr);
        packets += written;
        ASSERT_EQ(file->close(), noErr);
        auto contents = readCAF(path());
        ASSERT_TRUE(contents.has_value()) << "the header is valid";
        EXPECT_EQ(contents->samples, std::vector<std::int16_t>(sound.begin(), sound.begin() + packets)) << limit;
    }
}

TEST_F(AudioFileFaultTest, NothingIsWrittenThroughALinkNorIsAPipeWaitedOn)
{
    // A recording elsewhere that a link at a memo's path points to.
    const std::string outside = rootDirectory() + "/outside.caf";
    {
        std::shared_ptr<File> file;
        ASSERT_EQ(File::create(outside, kFileCAFType, linearPCM16(22050, 1), kFileFlagsEraseFile, &file), noErr);
        auto samples = rampSamples(2205);
        std::uint32_t written = 0;
        ASSERT_EQ(write(*file, 0, samples.data(), 2205, &written), noErr);
    }
    const std::string before = contentsOf(outside);
    ASSERT_EQ(::symlink(outside.c_str(), path("link.caf").c_str()), 0);

    std::shared_ptr<File> file;
    EXPECT_EQ(File::open(path("link.caf"), FilePermission::ReadWrite, kFileCAFType, &file), kFileInvalidFileError);
    EXPECT_FALSE(file);
    EXPECT_EQ(File::create(path("link.caf"), kFileCAFType, linearPCM16(22050, 1), kFileFlagsEraseFile, &file), kFileInvalidFileError);
    EXPECT_EQ(File::create(path("link.caf"), kFileCAFType, linearPCM16(22050, 1), 0, &file), kFileExistsError);
    EXPECT_EQ(contentsOf(outside), before) << "the file outside is untouched";
    // Reading through it writes nothing and may be wanted (a memo moved to another disk).
    EXPECT_EQ(File::open(path("link.caf"), FilePermission::Read, kFileCAFType, &file), noErr);

    const std::string fifo = path("pipe.caf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (FilePermission permission : { FilePermission::Read, FilePermission::ReadWrite }) {
        EXPECT_EQ(withoutWaiting(fifo, [&] {
            std::shared_ptr<File> opened;
            return File::open(fifo, permission, kFileCAFType, &opened);
        }),
            kFileInvalidFileError);
    }
    EXPECT_EQ(withoutWaiting(fifo, [&] {
        std::shared_ptr<File> made;
        return File::create(fifo, kFileCAFType, linearPCM16(22050, 1), kFileFlagsEraseFile, &made);
    }),
        kFileInvalidFileError);
    struct stat info {};
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "left as it is";

    ASSERT_EQ(::mkdir(path("folder.caf").c_str(), 0700), 0);
    EXPECT_EQ(File::open(path("folder.caf"), FilePermission::Read, kFileCAFType, &file), kFileInvalidFileError);
    EXPECT_EQ(File::create(path("folder.caf"), kFileCAFType, linearPCM16(22050, 1), kFileFlagsEraseFile, &file), kFileInvalidFileError);
}
