#pragma once

#include "audio/Device.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace audio {

/// The real microphone and speaker through PortAudio's default devices. Streams ask for about
/// 40 ms of buffering in callbacks of about 10 ms, and keep a ring between PortAudio's
/// real-time callback and the queue's audio thread, so that thread never runs inside the
/// callback. The output ring holds a second (more for a stream that buffers more); the input
/// ring grows, up to ten seconds, to take what a sound server delivers at once, and a drop
/// beyond that is logged once per stream. Captured sound is handed over no faster than the
/// clock, so a stop keeps the sound up to its moment even from a source that delivers ahead.
/// What PortAudio's back-ends print on standard error (ALSA, JACK) while devices are probed
/// and opened is kept out of the program's output.
/// A stream that ends by itself, or whose device stays silent for a second beyond the
/// buffering it has shown (its reported latency, the sound it moved ahead, the latest it
/// called back; and a server's first block of up to two seconds after the start), reports the
/// loss through failure(). After a loss, and when sound cards come or go, PortAudio starts
/// over while no stream is open, which picks up a default device that changed.
class PortAudioDevice final : public Device, public std::enable_shared_from_this<PortAudioDevice> {
public:
    /// Null, with the reason in *reason, when PortAudio cannot start or has no default
    /// microphone or speaker.
    static std::shared_ptr<PortAudioDevice> create(std::string* reason);
    ~PortAudioDevice() override;

    std::string name() const override { return "PortAudio"; }
    std::unique_ptr<InputStream> openInput(const StreamBasicDescription& format, Status* error, std::string* reason) override;
    std::unique_ptr<OutputStream> openOutput(const StreamBasicDescription& format, Status* error, std::string* reason) override;
    /// The earpiece is the first output device besides the default one whose name matches
    /// earpiecePattern() (isEarpieceName()).
    bool hasEarpiece() override;
    std::unique_ptr<OutputStream> openEarpiece(const StreamBasicDescription& format, Status* error, std::string* reason) override;
    bool isUsable() override;
    /// Sound cards coming or going in directory (device nodes; "/dev/snd" from create()) make
    /// the next stream opened with none open use the default devices as they are then.
    void watchDevicesIn(const std::string& directory);

    class StreamCount;

private:
    PortAudioDevice() = default;
    void followDeviceChangesLocked();
    void restartLocked();
    int findEarpieceLocked() const;

    std::mutex m_mutex;
    std::atomic<int> m_openStreams { 0 };
    bool m_initialized { true };
    int m_watch { -1 };
    bool m_devicesChanged { false };
};

} // namespace audio
