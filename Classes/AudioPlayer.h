#pragma once

#include "AudioQueueObject.h"

#include <array>
#include <cstdint>
#include <string>

/// Plays one recorded audio file through an output queue from any start position, with
/// pause, resume, stop and the position for the time display. The sound goes to the speaker
/// or the earpiece according to the "playMode" setting. Starting again (seeking) replaces the
/// queue; the replaced queue goes without a stop notification.
///
/// Used on the main thread; the playback callback runs on the main run loop.
class AudioPlayer : public AudioQueueObject {
public:
    AudioPlayer() = default;
    ~AudioPlayer() override;

    /// Plays the named file from startSeconds. A file that cannot be opened (missing, not a
    /// recording, or not a regular file: a named pipe there is never waited on) leaves an
    /// empty format and nothing plays, with a log line; so does a sound the device refuses. A
    /// start at or past the end posts will-stop at once.
    void playFromFileStartingAtPosition(const std::string& audioFileName, double startSeconds);
    /// Why the last start made no queue: the file's status (kFileNotFoundError,
    /// kFileInvalidFileError, ...) or the queue's when the device refused the sound; noErr
    /// when it plays.
    audio::Status playbackFailure() const { return m_playbackFailure; }
    /// Marks the stop as the user's, then stops as the base does.
    void stop() override;
    /// Seconds: the sound heard so far from the start position, to within one device period
    /// (one buffer without a queue); 0 without a rate.
    double position() const;
    /// Whether "playMode" is "speaker".
    bool speakerMode() const;
    /// Stores "speaker" or "earpiece" under "playMode"; used by the next playback.
    void setSpeakerMode(bool speaker);

    bool stopping() const { return m_stopping; }
    bool donePlayingFile() const { return m_donePlayingFile; }
    void setDonePlayingFile(bool done) { m_donePlayingFile = done; }
    std::uint32_t numPacketsToRead() const { return m_numPacketsToRead; }
    void setNumPacketsToRead(std::uint32_t packets) { m_numPacketsToRead = packets; }
    std::uint32_t bufferByteSize() const { return m_bufferByteSize; }
    void setBufferByteSize(std::uint32_t bytes) { m_bufferByteSize = bytes; }
    audio::PacketDescription* packetDescriptions() const { return m_packetDescriptions; }
    void setPacketDescriptions(audio::PacketDescription* descriptions) { m_packetDescriptions = descriptions; }
    const std::array<audio::Buffer*, 3>& buffers() const { return m_buffers; }

    void openPlaybackFile();
    void setupPlaybackAudioQueueObject();
    void copyMagicCookieToQueueFromFile(audio::Queue* queue, audio::File* file);
    void setupAudioQueueBuffers(double startSeconds);
    /// Sizes the buffers for the given seconds of sound, at least 4096 bytes; with no packet
    /// size known (no file) both sizes are 0.
    void calculateSizesFor(double seconds);
    /// Fills buffer from the file and queues it; at the end of the file posts will-stop and
    /// lets what is queued play out. Called by the queue and, to prime, by this class.
    void playbackCallback(audio::Queue* queue, audio::Buffer* buffer);

private:
    std::array<audio::Buffer*, 3> m_buffers {};
    std::uint32_t m_bufferByteSize { 0 };
    std::uint32_t m_numPacketsToRead { 0 };
    audio::PacketDescription* m_packetDescriptions { nullptr };
    bool m_donePlayingFile { false };
    bool m_stopping { false };
    std::int64_t m_firstPacket { 0 };
    audio::Status m_playbackFailure { audio::noErr };
};
