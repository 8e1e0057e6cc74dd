#pragma once

#include <string>
#include <sys/types.h>

namespace soundcard {

/// A pulseaudio daemon of the test's own, with no hardware and no system service: a null sink
/// "speaker" whose monitor holds what is played, and a 440-Hz sine source "microphone", both
/// the defaults and both at 22050 Hz mono, so 16-bit sound at that rate passes unchanged.
/// It runs as whoever runs the test (root too: pulseaudio only warns), with its runtime
/// directory, socket and configuration under a directory of the test. ALSA's default device
/// becomes the server's pulse plugin, as on a desktop, so PortAudio reaches it through ALSA.
class PrivatePulseServer {
public:
    PrivatePulseServer() = default;
    ~PrivatePulseServer() { stop(); }
    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    /// Starts the daemon under directory and points this process's clients (libpulse, ALSA)
    /// at it; false with the reason when it does not answer within five seconds.
    bool start(const std::string& directory, std::string* reason);
    /// Ends the daemon and waits for it; nothing when it does not run.
    void stop();

    /// Starts recording the speaker's monitor into a raw file (16-bit mono at 22050 Hz);
    /// the recording ends with stopRecording(). False when parec cannot start.
    bool recordSpeaker(const std::string& path);
    void stopRecording();

private:
    pid_t m_daemon { -1 };
    pid_t m_recorder { -1 };
};

} // namespace soundcard
