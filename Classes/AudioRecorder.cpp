#include "AudioRecorder.h"

#include "HelperMethods.h"

#include "audio/Session.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/StringFormat.h"
#include "foundation/UserDefaults.h"

#include <sys/stat.h>
#include <vector>

namespace {

constexpr double kDefaultSampleRate = 22050;

constexpr int kNumberRecordBuffers = 3;

// A power cut loses at most this much of a recording.
constexpr double kSyncIntervalSeconds = 2.0;

std::string fileFailure(audio::Status status, const audio::StreamBasicDescription& format)
{
    switch (status) {
    case audio::kFileNotFoundError:
        return "not a valid audio file name, or its folder is missing";
    case audio::kFileUnsupportedDataFormatError:
        return foundation::format("a file cannot hold sound at %g Hz", format.mSampleRate);
    case audio::kFilePermissionsError:
        return "permission denied";
    case audio::kFileDiskFullError:
        return "the disk is full";
    case audio::kFileInvalidFileError:
        return "not a readable audio file";
    default:
        return foundation::format("the file could not be written (error %d)", static_cast<int>(status));
    }
}

// What stands at a recording's path when it is not a regular file: a link or a special file
// is never written through. Empty when a regular file or nothing is there.
std::string foreignEntry(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    if (S_ISLNK(info.st_mode))
        return "a link stands at its path";
    if (S_ISDIR(info.st_mode))
        return "a folder stands at its path";
    return "something other than a file stands at its path";
}

// The reason for a file that could not be opened or made, in words for the log.
std::string openFailure(audio::Status status, const std::string& path, const audio::StreamBasicDescription& format)
{
    if (status == audio::kFileInvalidFileError) {
        if (auto entry = foreignEntry(path); !entry.empty())
            return entry;
    }
    return fileFailure(status, format);
}

// Appended samples land in the file as they are only in a mono file of 16-bit samples.
bool appendable(const audio::File& file)
{
    audio::StreamBasicDescription format {};
    return file.storesLinearPCM16() && file.getProperty(audio::FileProperty::DataFormat, format) == audio::noErr
        && format.mChannelsPerFrame == 1;
}

// A writer killed between writing sound and updating the header leaves a size that would make
// an append overwrite the end, or one that keeps the file from opening at all.
void repairBeforeAppending(const std::string& path, const std::string& audioFileName)
{
    bool repaired = false;
    if (audio::File::repairHeader(path, &repaired) == audio::noErr && repaired)
        foundation::logf("Repaired the header of the audio file \"%s\" left by an interrupted recording.", audioFileName.c_str());
}

} // namespace

bool AudioRecorder::canAppendToFile(const std::string& audioFileName)
{
    auto path = HelperMethods::audioFileURL(audioFileName);
    if (!path)
        return false;
    // Appending through a link would write outside the documents folder.
    if (!foreignEntry(*path).empty())
        return false;
    repairBeforeAppending(*path, audioFileName);
    std::shared_ptr<audio::File> file;
    audio::Status status = audio::File::open(*path, audio::FilePermission::Read, audio::kFileCAFType, &file);
    return status == audio::kFileNotFoundError || (status == audio::noErr && appendable(*file));
}

AudioRecorder::~AudioRecorder()
{
    // The queue goes before this object's members, so no callback can reach them.
    disposeQueue();
}

void AudioRecorder::recordToFileWithRecordMode(const std::string& audioFileName, RecordMode mode)
{
    if (isRunning())
        stop();
    // The queue this recording replaces has stopped; it goes without a did-stop, and the file
    // it wrote to is closed before the next one is opened.
    disposeQueue();
    closeAudioFile();
    m_recordMode = mode;
    m_writeFailed = false;
    m_writeFailure = audio::noErr;

    std::uint32_t category = audio::kSessionCategoryRecordAudio;
    audio::Session::shared().setProperty(audio::SessionProperty::AudioCategory, sizeof category, &category);
    audio::Session::shared().setActive(true);

    setAudioFileName(audioFileName);
    setAudioFileURL(HelperMethods::audioFileURL(audioFileName));
    if (mode == RecordModeAppend && audioFileURL())
        repairBeforeAppending(*audioFileURL(), audioFileName);
    setupAudioFormat();
    enableLevelMetering();
    // Without a queue nothing would be recorded: the file is left as it is (recording a
    // made memo again must not erase it).
    if (queueObject())
        setupRecording(mode);
    // Without a file to write there is no recording: the queue goes, so the recorder reports
    // not running. The reason was logged where it arose.
    if (queueObject() && (!audioFileID() || queueObject()->start() != audio::noErr)) {
        disposeQueue();
        closeAudioFile();
    }
    if (!queueObject())
        audio::Session::shared().setActive(false);
}

// An appended file keeps its own rate: recording at another one would corrupt its sound.
double AudioRecorder::settingSampleRate()
{
    // A setting no file or device can take ("abc", "nan", "1e9", "22050.5") records at the
    // default rate instead of claiming to record while nothing is.
    const std::string setting = foundation::UserDefaults::standardUserDefaults().stringForKey("sampleRate").value_or("");
    auto usableRate = HelperMethods::sampleRateFromSetting(setting);
    if (!usableRate)
        foundation::logf("The sampleRate setting \"%s\" cannot be used; recording at %g Hz.", setting.c_str(), kDefaultSampleRate);
    return usableRate.value_or(kDefaultSampleRate);
}

double AudioRecorder::recordingSampleRate() const
{
    double settingRate = settingSampleRate();
    if (m_recordMode != RecordModeAppend || !audioFileURL())
        return settingRate;
    std::shared_ptr<audio::File> existing;
    if (audio::File::open(*audioFileURL(), audio::FilePermission::Read, audio::kFileCAFType, &existing) != audio::noErr)
        return settingRate;
    audio::StreamBasicDescription format;
    existing->getProperty(audio::FileProperty::DataFormat, format);
    return format.mSampleRate;
}

void AudioRecorder::setupAudioFormat()
{
    setAudioFormat(audio::linearPCM16(recordingSampleRate(), 1));

    std::shared_ptr<audio::Queue> queue;
    audio::Status status = audio::Queue::newInput(audioFormat(),
        [this](audio::Queue& q, audio::Buffer* buffer, const audio::TimeStamp&, std::uint32_t numPackets,
            const audio::PacketDescription* descriptions) { recordingCallback(q, buffer, numPackets, descriptions); },
        &queue);
    m_noMicrophone = status == audio::kQueueNoDeviceError;
    setQueueObject(queue);
    audioQueueWillStart();

    if (queueObject()) {
        audio::StreamBasicDescription format;
        std::uint32_t size = sizeof format;
        if (queueObject()->getProperty(audio::QueueProperty::StreamDescription, &format, &size) == audio::noErr)
            setAudioFormat(format);
    }
}

void AudioRecorder::setupRecording(RecordMode mode)
{
    std::shared_ptr<audio::File> file;
    bool opened = false;
    bool kept = false;
    if (mode == RecordModeAppend && audioFileURL()) {
        // Looked at read-only first: closing a file opened for writing rewrites its header.
        audio::Status status = audio::File::open(*audioFileURL(), audio::FilePermission::Read, audio::kFileCAFType, &file);
        if (status == audio::noErr && appendable(*file))
            status = audio::File::open(*audioFileURL(), audio::FilePermission::ReadWrite, audio::kFileCAFType, &file);
        else if (status == audio::noErr)
            status = audio::kFileUnsupportedDataFormatError;
        if (status == audio::noErr) {
            std::uint64_t packets = 0;
            file->getProperty(audio::FileProperty::AudioDataPacketCount, packets);
            setStartingPacketNumber(static_cast<std::int64_t>(packets));
            audio::StreamBasicDescription format;
            if (file->getProperty(audio::FileProperty::DataFormat, format) == audio::noErr)
                setAudioFormat(format);
            opened = true;
        } else if (status != audio::kFileNotFoundError) {
            // Replacing a file that is there but cannot take our samples would lose its sound.
            foundation::logf("Cannot append to the audio file \"%s\" (%s); it is kept as it is.", audioFileName().c_str(),
                status == audio::kFileUnsupportedDataFormatError ? "it holds sound of another format"
                                                                 : openFailure(status, *audioFileURL(), audioFormat()).c_str());
            file.reset();
            kept = true;
        }
    }
    if (!opened && !kept) {
        setStartingPacketNumber(0);
        audio::Status status = audio::kFileNotFoundError;
        if (audioFileURL())
            status = audio::File::create(*audioFileURL(), audio::kFileCAFType, audioFormat(), audio::kFileFlagsEraseFile, &file);
        if (!file && queueObject())
            foundation::logf("Cannot record into the audio file \"%s\": %s", audioFileName().c_str(),
                audioFileURL() ? openFailure(status, *audioFileURL(), audioFormat()).c_str() : fileFailure(status, audioFormat()).c_str());
    }
    m_packetsAtLastSync = startingPacketNumber();
    setAudioFileID(file);
    copyEncoderMagicCookieToFileFromQueue(file.get(), queueObject().get());

    // A tenth of a second of 16-bit mono sound at the recording's rate.
    m_bufferSize = static_cast<std::int32_t>(static_cast<float>(audioFormat().mSampleRate) / 5.0f);
    if (!queueObject())
        return;
    for (int i = 0; i < kNumberRecordBuffers; ++i) {
        audio::Buffer* buffer = nullptr;
        if (queueObject()->allocateBuffer(static_cast<std::uint32_t>(std::max(m_bufferSize, 0)), &buffer) == audio::noErr)
            queueObject()->enqueueBuffer(buffer);
    }
}

void AudioRecorder::copyEncoderMagicCookieToFileFromQueue(audio::File* file, audio::Queue* queue)
{
    std::uint32_t size = 0;
    if (!file || !queue || queue->getPropertySize(audio::QueueProperty::MagicCookie, &size) != audio::noErr || size == 0)
        return;
    std::vector<std::uint8_t> cookie(size);
    if (queue->getProperty(audio::QueueProperty::MagicCookie, cookie.data(), &size) == audio::noErr)
        file->setProperty(audio::FileProperty::MagicCookieData, size, cookie.data());
}

// Runs on the queue's service thread each time a buffer is full.
void AudioRecorder::recordingCallback(audio::Queue& queue, audio::Buffer* buffer, std::uint32_t numPackets,
    const audio::PacketDescription* packetDescriptions)
{
    // After a failed write nothing more goes in, not even what the stop hands over: sound
    // after a gap would no longer follow what came before it.
    if (m_writeFailed)
        numPackets = 0;
    if (numPackets > 0) {
        // What could not be written is not recorded time: n becomes the packets written.
        if (const auto& file = audioFileID()) {
            audio::Status status = file->writePackets(false, buffer->mAudioDataByteSize, packetDescriptions, startingPacketNumber(),
                &numPackets, buffer->mAudioData);
            if (status != audio::noErr)
                writeDidFail(status);
            const std::int64_t written = startingPacketNumber() + numPackets;
            if (written - m_packetsAtLastSync >= static_cast<std::int64_t>(audioFormat().mSampleRate * kSyncIntervalSeconds)) {
                // The flush runs on the file's own thread: this one must keep up with the microphone.
                file->requestSync();
                m_packetsAtLastSync = written;
            }
        } else
            numPackets = 0;
    }
    incrementStartingPacketNumberBy(numPackets);
    // After a failed write the buffer stays out: nothing more is captured into a file that cannot take it.
    if (isRunning() && !m_writeFailed)
        queue.enqueueBuffer(buffer);
}

// Service thread: the stop itself belongs to the main thread, where the studio hears of it.
void AudioRecorder::writeDidFail(audio::Status status)
{
    // Only this thread sets them while the queue runs; the reason is there before the flag.
    if (m_writeFailed)
        return;
    m_writeFailure = status;
    m_writeFailed = true;
    foundation::RunLoop::main().post([weak = weak_from_this()] {
        if (auto self = std::static_pointer_cast<AudioRecorder>(weak.lock()))
            self->stopAfterWriteFailure();
    });
}

void AudioRecorder::stopAfterWriteFailure()
{
    // A recording started since then has failures of its own.
    if (!m_writeFailed || !isRunning())
        return;
    foundation::logf("Recording into the audio file \"%s\" stopped after %.1f s: %s.", audioFileName().c_str(),
        audioFormat().mSampleRate > 0 ? static_cast<double>(startingPacketNumber()) / audioFormat().mSampleRate : 0.0,
        fileFailure(m_writeFailure, audioFormat()).c_str());
    stop();
}

void AudioRecorder::pause()
{
    setPaused(true);
    stop();
}

void AudioRecorder::resume()
{
    recordToFileWithRecordMode(audioFileName(), RecordModeAppend);
    setPaused(false);
}

double AudioRecorder::position() const
{
    double rate = audioFormat().mSampleRate;
    if (!(isRunning() || paused()) || rate <= 0)
        return 0;
    return static_cast<double>(startingPacketNumber()) / rate;
}

void AudioRecorder::audioQueueDidStop()
{
    copyEncoderMagicCookieToFileFromQueue(audioFileID().get(), queueObject().get());
    AudioQueueObject::audioQueueDidStop();
}
