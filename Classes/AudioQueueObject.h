#pragma once

#include "audio/File.h"
#include "audio/Queue.h"
#include "audio/Types.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

/// Posted on the main thread when a queue was just made, before it starts.
extern const char* const PRLVNotificationAudioQueueWillStart;
/// Posted on the main run loop when the queue reports that it runs.
extern const char* const PRLVNotificationAudioQueueDidStart;
/// Posted by stop() before a running queue is stopped, and by the player at the end of its file.
extern const char* const PRLVNotificationAudioQueueWillStop;
/// Posted on the main run loop when the queue reports that it stopped; its file is closed by then.
extern const char* const PRLVNotificationAudioQueueDidStop;

/// The common base of the recorder and the player: one audio queue and one audio file, the
/// stream format, the packet position in the file, the paused flag and the level readings.
/// Every notification's object is the AudioQueueObject*.
///
/// Made and used on the main thread. The packet position is also advanced by the recorder's
/// audio thread, so it is atomic. A queue that is replaced or destroyed is disposed of
/// without a stop notification, and a file still open at destruction is closed.
class AudioQueueObject : public std::enable_shared_from_this<AudioQueueObject> {
public:
    AudioQueueObject() = default;
    virtual ~AudioQueueObject();
    AudioQueueObject(const AudioQueueObject&) = delete;
    AudioQueueObject& operator=(const AudioQueueObject&) = delete;

    const std::shared_ptr<audio::Queue>& queueObject() const { return m_queueObject; }
    void setQueueObject(std::shared_ptr<audio::Queue> queue) { m_queueObject = std::move(queue); }
    const std::shared_ptr<audio::File>& audioFileID() const { return m_audioFileID; }
    void setAudioFileID(std::shared_ptr<audio::File> file) { m_audioFileID = std::move(file); }
    const std::string& audioFileName() const { return m_audioFileName; }
    void setAudioFileName(const std::string& name) { m_audioFileName = name; }
    /// The file's location; none when the name is not a valid audio file name.
    const std::optional<std::string>& audioFileURL() const { return m_audioFileURL; }
    void setAudioFileURL(std::optional<std::string> url) { m_audioFileURL = std::move(url); }
    audio::StreamBasicDescription audioFormat() const;
    void setAudioFormat(const audio::StreamBasicDescription& format);
    /// One reading per channel; empty until enableLevelMetering().
    const std::vector<audio::LevelMeterState>& audioLevels() const { return m_audioLevels; }
    std::int64_t startingPacketNumber() const { return m_startingPacketNumber.load(); }
    void setStartingPacketNumber(std::int64_t packet) { m_startingPacketNumber.store(packet); }
    bool paused() const { return m_paused; }

    /// Whether the queue runs (also while paused); false without a queue.
    bool isRunning() const;
    bool isLevelMeteringEnabled() const;
    /// The file's packet count divided by the sample rate; 0 without a file or rate.
    double audioFileDuration() const;

    /// Only if the queue runs: posts will-stop, then stops it at once.
    virtual void stop();
    virtual void pause();
    virtual void resume();
    /// Makes a zero-filled reading per channel and switches metering on; a failure is logged.
    void enableLevelMetering();
    /// The average power of channel 0 from the last buffer, 0 to 1; 0 before metering.
    float getAveragePower();
    /// The peak power of channel 0 from the last buffer, 0 to 1; 0 before metering.
    float getPeakPower();
    /// Adds n packets to the position; safe from the audio thread.
    void incrementStartingPacketNumberBy(std::uint32_t n) { m_startingPacketNumber.fetch_add(n); }

    /// Called by a subclass right after it made the queue: listens to its running state and
    /// posts will-start.
    void audioQueueWillStart();
    void audioQueueDidStart();
    void audioQueueWillStop();
    /// Closes the file, deactivates the session and posts did-stop. Subclasses extend it and
    /// call the base last.
    virtual void audioQueueDidStop();

protected:
    /// Disposes of the current queue, if any, without a stop notification.
    void disposeQueue();
    /// Closes the current file, if any.
    void closeAudioFile();
    void setPaused(bool paused) { m_paused = paused; }
    void readLevels();

private:
    static void propertyListenerCallback(AudioQueueObject* object);
    bool queueFlag(audio::QueueProperty property) const;

    std::shared_ptr<audio::Queue> m_queueObject;
    std::shared_ptr<audio::File> m_audioFileID;
    std::string m_audioFileName;
    std::optional<std::string> m_audioFileURL;
    mutable std::mutex m_formatMutex;
    audio::StreamBasicDescription m_audioFormat;
    std::vector<audio::LevelMeterState> m_audioLevels;
    std::atomic<std::int64_t> m_startingPacketNumber { 0 };
    bool m_paused { false };
};
