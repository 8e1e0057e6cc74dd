#pragma once

#include "AudioQueueObject.h"

#include <atomic>
#include <cstdint>
#include <string>

/// Record modes of recordToFileWithRecordMode.
enum RecordMode : std::int32_t {
    /// Create the file, replacing any file of that name.
    RecordModeNew = 0,
    /// Continue after the last packet of the existing file; a file that cannot be opened is
    /// created as with RecordModeNew.
    RecordModeAppend = 1,
};

/// Records the microphone into one audio file through an input queue: 16-bit signed
/// little-endian mono linear PCM in a CAF file at the "sampleRate" setting (an appended file
/// keeps its own rate). Buffers of a tenth of a second are written as they fill, on the
/// queue's service thread. A pause stops the queue; resume appends to the same file.
///
/// Used on the main thread; the recording callback runs on the queue's service thread.
class AudioRecorder : public AudioQueueObject {
public:
    AudioRecorder() = default;
    ~AudioRecorder() override;

    /// Starts recording into the named file (a UUID string, see HelperMethods). A running
    /// queue is stopped first (will-stop is posted for it). A name that is not a valid audio
    /// file name, or a rate the device refuses, leaves the recorder not running.
    void recordToFileWithRecordMode(const std::string& audioFileName, RecordMode mode);
    /// Marks the recorder paused and stops the queue.
    void pause() override;
    /// Records on into the same file, appending.
    void resume() override;
    /// Seconds recorded: packets written divided by the sample rate while the recorder runs or
    /// is paused; 0 otherwise.
    double position() const;
    std::int32_t bufferSize() const { return m_bufferSize; }
    /// Whether recording may append to the named file. A header that a killed writer left
    /// stale or open-ended is mended first. A missing file may be appended to (it is created);
    /// one that is not a readable mono file of 16-bit little-endian samples may not, nor a
    /// link or anything but a regular file at the path (nothing is written through a link).
    static bool canAppendToFile(const std::string& audioFileName);
    /// The rate the "sampleRate" setting names, or the default one (logged) when no file or
    /// device can take it. Main thread.
    static double settingSampleRate();
    /// Whether a write into the file failed (a full disk) during the current recording. The
    /// recorder then stops itself on the main run loop, keeping what was written.
    bool writeFailed() const { return m_writeFailed.load(); }
    /// Why the write failed (kFileDiskFullError for a full disk); noErr while none did.
    audio::Status writeFailure() const { return m_writeFailure.load(); }
    /// Whether the last start found no microphone to record from (none there, or no sound
    /// server answering). The device is asked again at every start.
    bool noMicrophone() const { return m_noMicrophone; }

    void setupAudioFormat();
    void setupRecording(RecordMode mode);
    void copyEncoderMagicCookieToFileFromQueue(audio::File* file, audio::Queue* queue);
    /// Copies the cookie once more, then the base closes the file and posts did-stop.
    void audioQueueDidStop() override;

private:
    void recordingCallback(audio::Queue& queue, audio::Buffer* buffer, std::uint32_t numPackets,
        const audio::PacketDescription* packetDescriptions);
    double recordingSampleRate() const;
    void writeDidFail(audio::Status status);
    void stopAfterWriteFailure();

    std::int32_t m_bufferSize { 0 };
    RecordMode m_recordMode { RecordModeNew };
    std::atomic<bool> m_writeFailed { false };
    bool m_noMicrophone { false };
    std::atomic<audio::Status> m_writeFailure { audio::noErr };
    // Service thread only: the packet count when the file was last asked to reach the disk.
    std::int64_t m_packetsAtLastSync { 0 };
};
