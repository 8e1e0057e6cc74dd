#include "AudioPlayer.h"

#include "HelperMethods.h"

#include "audio/Session.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"

#include <algorithm>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr std::uint32_t kMaxBufferSize = 0x10000;
constexpr std::uint32_t kMinBufferSize = 0x1000;

// Why a recording's file does not play, in words for the log.
std::string playbackFailureReason(audio::Status status, const std::optional<std::string>& path)
{
    struct stat info {};
    switch (status) {
    case audio::kFileNotFoundError:
        return path ? "it is missing" : "it is not a valid audio file name";
    case audio::kFileInvalidFileError:
        if (path && ::lstat(path->c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
            return S_ISDIR(info.st_mode) ? "a folder stands at its path" : "something other than a file stands at its path";
        return "it is not a readable recording";
    case audio::kFilePermissionsError:
        return "it may not be read";
    case audio::kFileUnsupportedDataFormatError:
    case audio::kQueueUnsupportedFormatError:
        return "its sound is of a format that cannot be played";
    default:
        return "no sound output could be opened for it";
    }
}

} // namespace

AudioPlayer::~AudioPlayer()
{
    disposeQueue();
}

void AudioPlayer::playFromFileStartingAtPosition(const std::string& audioFileName, double startSeconds)
{
    m_stopping = false;
    m_donePlayingFile = false;
    // A restart (seeking) replaces the queue: the old one goes quietly, since observers take
    // every did-stop of the player as the end of the current playback.
    disposeQueue();
    closeAudioFile();
    m_buffers = {};

    setAudioFileName(audioFileName);
    setAudioFileURL(HelperMethods::audioFileURL(audioFileName));
    openPlaybackFile();
    setupPlaybackAudioQueueObject();

    std::uint32_t category = speakerMode() ? audio::kSessionCategoryMediaPlayback : audio::kSessionCategoryPlayAndRecord;
    audio::Session::shared().setProperty(audio::SessionProperty::AudioCategory, sizeof category, &category);
    audio::Session::shared().setActive(true);

    setupAudioQueueBuffers(startSeconds);
    if (queueObject())
        queueObject()->start();
    if (m_playbackFailure != audio::noErr)
        foundation::logf("Cannot play the audio file \"%s\": %s.", audioFileName.c_str(),
            playbackFailureReason(m_playbackFailure, audioFileURL()).c_str());
}

void AudioPlayer::openPlaybackFile()
{
    std::shared_ptr<audio::File> file;
    audio::StreamBasicDescription format;
    m_playbackFailure = audio::kFileNotFoundError;
    if (audioFileURL())
        m_playbackFailure = audio::File::open(*audioFileURL(), audio::FilePermission::Read, audio::kFileCAFType, &file);
    if (file)
        file->getProperty(audio::FileProperty::DataFormat, format);
    setAudioFileID(file);
    setAudioFormat(format);
}

void AudioPlayer::setupPlaybackAudioQueueObject()
{
    std::shared_ptr<audio::Queue> queue;
    // "earpiece" plays there where the device has one; elsewhere both modes use the speaker.
    // Without a file there is nothing to play, and no queue is asked of the device.
    if (audioFileID()) {
        audio::Status made = audio::Queue::newOutput(audioFormat(),
            [this](audio::Queue& q, audio::Buffer* buffer) { playbackCallback(&q, buffer); }, &foundation::RunLoop::main(), &queue,
            speakerMode() ? audio::OutputRoute::Default : audio::OutputRoute::Earpiece);
        if (made != audio::noErr)
            m_playbackFailure = made;
    }
    setQueueObject(queue);
    audioQueueWillStart();
    if (!queueObject())
        return;
    queueObject()->setParameter(audio::QueueParameter::Volume, 1.0f);
    copyMagicCookieToQueueFromFile(queueObject().get(), audioFileID().get());
}

void AudioPlayer::copyMagicCookieToQueueFromFile(audio::Queue* queue, audio::File* file)
{
    std::uint32_t size = 0;
    if (!queue || !file || file->getPropertyInfo(audio::FileProperty::MagicCookieData, &size, nullptr) != audio::noErr
        || size == 0)
        return;
    std::vector<std::uint8_t> cookie(size);
    if (file->getProperty(audio::FileProperty::MagicCookieData, &size, cookie.data()) == audio::noErr)
        queue->setProperty(audio::QueueProperty::MagicCookie, cookie.data(), size);
}

void AudioPlayer::setupAudioQueueBuffers(double startSeconds)
{
    calculateSizesFor(0.1);
    setStartingPacketNumber(static_cast<std::int64_t>(startSeconds * audioFormat().mSampleRate));
    m_firstPacket = startingPacketNumber();
    for (auto& slot : m_buffers) {
        if (queueObject())
            queueObject()->allocateBuffer(m_bufferByteSize, &slot);
        playbackCallback(queueObject().get(), slot);
        if (m_donePlayingFile)
            break;
    }
}

void AudioPlayer::calculateSizesFor(double seconds)
{
    std::uint32_t maxPacketSize = 0;
    if (audioFileID())
        audioFileID()->getProperty(audio::FileProperty::PacketSizeUpperBound, maxPacketSize);
    if (maxPacketSize == 0) {
        m_bufferByteSize = 0;
        m_numPacketsToRead = 0;
        return;
    }
    audio::StreamBasicDescription format = audioFormat();
    if (format.mFramesPerPacket != 0) {
        double packetsForTime = format.mSampleRate / format.mFramesPerPacket * seconds;
        m_bufferByteSize = static_cast<std::uint32_t>(packetsForTime * maxPacketSize);
    } else {
        m_bufferByteSize = std::max(kMaxBufferSize, maxPacketSize);
    }
    if (m_bufferByteSize > kMaxBufferSize && m_bufferByteSize > maxPacketSize)
        m_bufferByteSize = kMaxBufferSize;
    else if (m_bufferByteSize < kMinBufferSize)
        m_bufferByteSize = kMinBufferSize;
    m_numPacketsToRead = m_bufferByteSize / maxPacketSize;
}

// Runs on the main run loop, and directly while priming.
void AudioPlayer::playbackCallback(audio::Queue* queue, audio::Buffer* buffer)
{
    if (m_donePlayingFile)
        return;
    std::uint32_t numPackets = m_numPacketsToRead;
    std::uint32_t numBytes = 0;
    if (buffer && audioFileID())
        audioFileID()->readPackets(false, &numBytes, m_packetDescriptions, startingPacketNumber(), &numPackets, buffer->mAudioData);
    else
        numPackets = 0;
    if (buffer)
        buffer->mUserData = numPackets;
    if (numPackets > 0) {
        buffer->mAudioDataByteSize = numBytes;
        if (queue)
            queue->enqueueBuffer(buffer, m_packetDescriptions ? numPackets : 0, m_packetDescriptions);
        incrementStartingPacketNumberBy(numPackets);
        return;
    }
    m_donePlayingFile = true;
    if (m_stopping)
        return;
    audioQueueWillStop();
    if (queue)
        queue->stop(false);
}

void AudioPlayer::stop()
{
    m_stopping = true;
    AudioQueueObject::stop();
}

double AudioPlayer::position() const
{
    double rate = audioFormat().mSampleRate;
    if (rate <= 0)
        return 0;
    // A sound card holds up to a second of what was handed back, so what was heard is asked
    // of the queue rather than worked out from the buffers.
    audio::TimeStamp heard;
    if (queueObject() && queueObject()->getCurrentTime(&heard) == audio::noErr) {
        double packet = static_cast<double>(m_firstPacket) + heard.mSampleTime;
        return std::min(packet, static_cast<double>(startingPacketNumber())) / rate;
    }
    std::int32_t queuedPackets = 0;
    for (audio::Buffer* buffer : m_buffers) {
        if (buffer)
            queuedPackets += static_cast<std::int32_t>(buffer->mUserData);
    }
    return static_cast<double>(startingPacketNumber() - queuedPackets) / rate;
}

bool AudioPlayer::speakerMode() const
{
    return foundation::UserDefaults::standardUserDefaults().stringForKey("playMode") == std::optional<std::string>("speaker");
}

void AudioPlayer::setSpeakerMode(bool speaker)
{
    foundation::UserDefaults::standardUserDefaults().setObjectForKey(speaker ? "speaker" : "earpiece", "playMode");
}
