#include "AudioQueueObject.h"

#include "audio/Session.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"

const char* const PRLVNotificationAudioQueueWillStart = "PRLVNotificationAudioQueueWillStart";
const char* const PRLVNotificationAudioQueueDidStart = "PRLVNotificationAudioQueueDidStart";
const char* const PRLVNotificationAudioQueueWillStop = "PRLVNotificationAudioQueueWillStop";
const char* const PRLVNotificationAudioQueueDidStop = "PRLVNotificationAudioQueueDidStop";

namespace {

void post(const char* name, AudioQueueObject* object)
{
    foundation::NotificationCenter::defaultCenter().postNotificationName(name, object);
}

} // namespace

AudioQueueObject::~AudioQueueObject()
{
    m_audioFileName.clear();
    // Disposing first guarantees no audio thread calls back into a half-destroyed object.
    disposeQueue();
    closeAudioFile();
}

audio::StreamBasicDescription AudioQueueObject::audioFormat() const
{
    std::lock_guard lock(m_formatMutex);
    return m_audioFormat;
}

void AudioQueueObject::setAudioFormat(const audio::StreamBasicDescription& format)
{
    std::lock_guard lock(m_formatMutex);
    m_audioFormat = format;
}

// A 32-bit flag property of the queue: false without a queue or when the read fails.
bool AudioQueueObject::queueFlag(audio::QueueProperty property) const
{
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    if (!m_queueObject || m_queueObject->getProperty(property, &value, &size) != audio::noErr)
        return false;
    return (value & 0xff) != 0;
}

bool AudioQueueObject::isRunning() const
{
    return queueFlag(audio::QueueProperty::IsRunning);
}

bool AudioQueueObject::isLevelMeteringEnabled() const
{
    return queueFlag(audio::QueueProperty::EnableLevelMetering);
}

double AudioQueueObject::audioFileDuration() const
{
    std::uint64_t packets = 0;
    double rate = audioFormat().mSampleRate;
    if (!m_audioFileID || rate <= 0)
        return 0;
    m_audioFileID->getProperty(audio::FileProperty::AudioDataPacketCount, packets);
    return static_cast<double>(packets) / rate;
}

void AudioQueueObject::stop()
{
    if (!isRunning())
        return;
    audioQueueWillStop();
    if (m_queueObject)
        m_queueObject->stop(true);
}

void AudioQueueObject::pause()
{
    m_paused = true;
    if (m_queueObject)
        m_queueObject->pause();
}

void AudioQueueObject::resume()
{
    if (m_queueObject)
        m_queueObject->start();
    m_paused = false;
}

void AudioQueueObject::enableLevelMetering()
{
    m_audioLevels.assign(audioFormat().mChannelsPerFrame, audio::LevelMeterState {});
    std::uint32_t on = 1;
    audio::Status result = m_queueObject
        ? m_queueObject->setProperty(audio::QueueProperty::EnableLevelMetering, &on, sizeof on)
        : audio::kQueueInvalidParameterError;
    if (result != audio::noErr)
        foundation::logf("enableLevelMetering failed with error code %i", static_cast<int>(result));
}

// A failed read keeps the previous readings.
void AudioQueueObject::readLevels()
{
    if (m_audioLevels.empty() || !m_queueObject)
        return;
    auto size = static_cast<std::uint32_t>(m_audioLevels.size() * sizeof(audio::LevelMeterState));
    m_queueObject->getProperty(audio::QueueProperty::CurrentLevelMeter, m_audioLevels.data(), &size);
}

float AudioQueueObject::getAveragePower()
{
    readLevels();
    return m_audioLevels.empty() ? 0.0f : m_audioLevels[0].mAveragePower;
}

float AudioQueueObject::getPeakPower()
{
    readLevels();
    return m_audioLevels.empty() ? 0.0f : m_audioLevels[0].mPeakPower;
}

void AudioQueueObject::audioQueueWillStart()
{
    if (m_queueObject) {
        m_queueObject->addPropertyListener(audio::QueueProperty::IsRunning, this,
            [this](audio::Queue&, audio::QueueProperty) { propertyListenerCallback(this); });
    }
    post(PRLVNotificationAudioQueueWillStart, this);
}

void AudioQueueObject::audioQueueDidStart()
{
    m_paused = false;
    post(PRLVNotificationAudioQueueDidStart, this);
}

void AudioQueueObject::audioQueueWillStop()
{
    post(PRLVNotificationAudioQueueWillStop, this);
}

void AudioQueueObject::audioQueueDidStop()
{
    closeAudioFile();
    audio::Session::shared().setActive(false);
    post(PRLVNotificationAudioQueueDidStop, this);
}

// Runs on the main run loop whenever the queue's running state changed.
void AudioQueueObject::propertyListenerCallback(AudioQueueObject* object)
{
    // An observer may release the object; keep it alive until the call returns.
    auto keepAlive = object->weak_from_this().lock();
    if (object->isRunning())
        object->audioQueueDidStart();
    else
        object->audioQueueDidStop();
}

void AudioQueueObject::disposeQueue()
{
    if (!m_queueObject)
        return;
    m_queueObject->dispose(true);
    m_queueObject.reset();
}

void AudioQueueObject::closeAudioFile()
{
    if (!m_audioFileID)
        return;
    m_audioFileID->close();
    m_audioFileID.reset();
}
