#pragma once

#include "audio/Device.h"

#include <memory>
#include <string>

namespace audio {

/// The microphone and speaker of the desktop's sound server, spoken to in its own protocol
/// through libpulse (PipeWire's PulseAudio service serves it too). This is how sound reaches
/// a desktop or handset whose sound card belongs to the server.
///
/// Streams go to the server's default source and sink unless a device was chosen, so they
/// follow the desktop: when the default changes, or the device a stream plays on goes and
/// another one remains, the server moves the stream and it goes on. Each stream asks for a
/// few tens of milliseconds of buffering; position and drain come from the server's clock.
/// The streams carry the application's name and icon name, and a media role for what they
/// are (system sounds are events), which the desktop's mixer and policies read.
///
/// A stream is lost (failure() tells why, within the server's notice of it) when its source
/// or sink is removed and nothing takes its place, when the server goes away, or when a
/// recording would be moved to a sink's monitor (which would record the speaker instead of
/// the microphone). Silence alone never counts as a loss. The server's default monitor is
/// never taken for a microphone, unless chosen by name.
///
/// Threads: one libpulse main-loop thread per device runs the server's callbacks; the
/// queues' audio threads block in read(), write() and drain() against it. Every member is
/// safe from any thread. Opening a stream, start() and isUsable() wait for the server's
/// answer (at most a second; at once when no server listens).
class SoundServerDevice final : public Device, public std::enable_shared_from_this<SoundServerDevice> {
public:
    struct Options {
        /// The application's desktop id: the icon name and id the server shows.
        std::string applicationID;
        /// The server's address; empty: the one libpulse finds (PULSE_SERVER, the session's).
        std::string server;
        /// How long a connection may take before the server counts as not answering.
        double connectTimeout { 1.0 };
    };

    /// A device that is not connected yet; connect() (or any stream) connects it. A daemon is
    /// never started for it.
    static std::shared_ptr<SoundServerDevice> create(const Options& options);
    ~SoundServerDevice() override;
    SoundServerDevice(const SoundServerDevice&) = delete;
    SoundServerDevice& operator=(const SoundServerDevice&) = delete;

    /// Whether the server answers, connecting when the device is not connected (again after
    /// the server went away); false with the reason in *reason.
    bool connect(std::string* reason = nullptr);

    /// "sound server (NAME VERSION)", as the server calls itself once it answered.
    std::string name() const override;
    /// On the chosen microphone, else the default source; kQueueNoDeviceError when there is
    /// none, or the default is a monitor, or the server does not answer.
    std::unique_ptr<InputStream> openInput(const StreamBasicDescription& format, Status* error, std::string* reason) override;
    std::unique_ptr<OutputStream> openOutput(const StreamBasicDescription& format, Status* error, std::string* reason) override;
    std::unique_ptr<OutputStream> openOutputFor(OutputPurpose purpose, const StreamBasicDescription& format, Status* error,
        std::string* reason) override;
    /// An earpiece is a sink other than the default, or a port of any sink, whose name or
    /// description matches earpiecePattern(). A port is made the sink's active port while the
    /// stream plays, and the one before is put back when it stops.
    bool hasEarpiece() override;
    std::unique_ptr<OutputStream> openEarpiece(const StreamBasicDescription& format, Status* error, std::string* reason) override;
    /// After a loss: whether the server answers and has again what was lost (a microphone, a
    /// speaker).
    bool isUsable() override;
    /// The server's sources that are not monitors (input), or its sinks; empty when it does
    /// not answer.
    std::vector<DeviceDescription> namedDevices(bool input) override;

    /// A microphone or speaker chosen by the server's name for the streams opened from now
    /// on; empty follows the server's default. A chosen device that is not there gives the
    /// default, with one log line until it is there again.
    void setChosenMicrophone(const std::string& name);
    void setChosenSpeaker(const std::string& name);
    /// Whether the server has a microphone (a source that is not a monitor, or the chosen one)
    /// or a speaker now; why not in *reason ("no microphone (...)", "no speaker...").
    bool hasMicrophone(std::string* reason = nullptr);
    bool hasSpeaker(std::string* reason = nullptr);

    /// The main loop, the connection and what streams share; defined in the source.
    struct Server;

private:
    explicit SoundServerDevice(const Options& options);
    std::unique_ptr<OutputStream> openPlayback(OutputPurpose purpose, bool earpiece, const StreamBasicDescription& format,
        Status* error, std::string* reason);

    std::unique_ptr<Server> m_server;
};

} // namespace audio
