#pragma once

#include "audio/Types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace audio {

/// What sets the pace of a stream, and so how a queue drives it.
enum class Pacing {
    /// Timers on the run loop at each buffer's duration: with a manual clock every buffer
    /// happens at a known clock time. Reads and writes never block.
    RunLoop,
    /// The stream's own reads and writes block until the device has captured or played the
    /// frames (a sound card, or a virtual device keeping real time on an audio thread).
    Device,
    /// As fast as possible: reads and writes never block and no timer waits.
    Unpaced,
};

/// A device's capture side for one queue, in the queue's format (16-bit interleaved samples).
/// read() is called by one audio thread at a time; start, stop and interrupt by the queue.
class InputStream {
public:
    virtual ~InputStream() = default;
    virtual Pacing pacing() const = 0;
    /// Begins capturing; clears an earlier stop() or interrupt().
    virtual Status start() = 0;
    /// Ends capturing; returns once the device no longer calls back. What was captured before
    /// stays readable: reads give it without waiting, then 0.
    virtual void stop() = 0;
    /// Fills up to frames frames and returns how many. With Device pacing it waits until they
    /// were captured; fewer come back only after stop(), interrupt() or the loss of the device.
    virtual std::size_t read(std::int16_t* samples, std::size_t frames) = 0;
    /// Makes a blocked read() return at once. Safe from any thread.
    virtual void interrupt() = 0;
    /// Why the device stopped working (an error, or no callback for a second); empty while it
    /// works. Safe from any thread.
    virtual std::string failure() const { return {}; }
};

/// A device's playing side for one queue; the counterpart of InputStream.
class OutputStream {
public:
    virtual ~OutputStream() = default;
    virtual Pacing pacing() const = 0;
    virtual Status start() = 0;
    /// Stops at once: what was written and not yet played is dropped.
    virtual void stop() = 0;
    /// Plays up to frames frames and returns how many it took. With Device pacing it waits
    /// until the device has room; fewer only after interrupt() or the loss of the device.
    virtual std::size_t write(const std::int16_t* samples, std::size_t frames) = 0;
    /// Waits until everything written has been played; false when interrupt() or the loss of
    /// the device ended the wait.
    virtual bool drain() { return true; }
    /// A paused stream plays silence and keeps what was written for when it goes on.
    virtual void setPaused(bool) { }
    /// Frames played since start(): what the listener has heard, to within one device period.
    /// Streams that play as they are written leave the count to the queue (-1).
    virtual std::int64_t framesPlayed() const { return -1; }
    virtual void interrupt() = 0;
    virtual std::string failure() const { return {}; }
};

/// What an output plays, so that a sound server can show it and apply its policies (the
/// desktop's mixer lists sound effects apart from media).
enum class OutputPurpose {
    /// A recording played back.
    Memo,
    /// A short sound of the interface (the beep, the save and crumple sounds).
    SystemSound,
};

/// Where an output queue plays.
enum class OutputRoute {
    /// The device's default output (the loudspeaker).
    Default,
    /// The earpiece when the device has one, else the default output.
    Earpiece,
};

/// A microphone or speaker that a back-end can name: the name the "microphoneDevice" and
/// "speakerDevice" settings hold, and the description people read.
struct DeviceDescription {
    std::string name;
    std::string description;
    bool operator==(const DeviceDescription&) const = default;
};

/// A back-end: the microphone and the speaker that queues open streams on.
class Device {
public:
    virtual ~Device() = default;
    /// A short name for log lines ("PortAudio", "virtual").
    virtual std::string name() const = 0;
    /// Opens a stream in format (16-bit linear PCM); null with *error set, and the device's
    /// reason in *reason when given, when the device cannot serve it.
    virtual std::unique_ptr<InputStream> openInput(const StreamBasicDescription& format, Status* error, std::string* reason) = 0;
    virtual std::unique_ptr<OutputStream> openOutput(const StreamBasicDescription& format, Status* error, std::string* reason) = 0;
    /// openOutput() for a purpose; a back-end that does not tell purposes apart opens openOutput().
    virtual std::unique_ptr<OutputStream> openOutputFor(OutputPurpose purpose, const StreamBasicDescription& format, Status* error,
        std::string* reason);
    /// Whether the device knows an output for the earpiece (a handset's receiver) besides its
    /// default one. Without one, sound meant for the earpiece plays on the default output.
    virtual bool hasEarpiece() { return false; }
    /// Opens a stream on the earpiece, as openOutput() does on the default output; null with
    /// *error set when the device has none or cannot serve it.
    virtual std::unique_ptr<OutputStream> openEarpiece(const StreamBasicDescription& format, Status* error, std::string* reason);
    /// Whether the device can serve streams now; asked after a device was lost, until it is
    /// usable again. A back-end may pick up a new default device here.
    virtual bool isUsable() { return true; }
    /// The microphones (input) or speakers the back-end can open by name, as it lists them
    /// now; empty for a back-end that opens only its default ones. May wait for an answer
    /// (the sound server's, at most a second).
    virtual std::vector<DeviceDescription> namedDevices(bool input) { (void)input; return {}; }
};

/// Whether a device's name (or description) names an earpiece: it contains pattern, ignoring
/// the case of ASCII letters (device names are not always valid UTF-8). An empty pattern
/// matches nothing.
bool isEarpieceName(const std::string& deviceName, const std::string& pattern);
/// What an earpiece's name contains: PARLIVO_EARPIECE_DEVICE from the environment when set,
/// else "earpiece" (a handset's sound card, port or ALSA device defined under that name).
std::string earpiecePattern();

/// The back-end that new queues and system sounds use: a virtual device with a silent
/// microphone until setCurrentDevice() chose another. Safe from any thread.
std::shared_ptr<Device> currentDevice();
void setCurrentDevice(std::shared_ptr<Device> device);

/// The program's choice of devices.
struct DeviceChoice {
    enum class Backend {
        /// The sound server when one answers, else PortAudio's sound card.
        Automatic,
        SoundServer,
        PortAudio,
        /// Only when asked for (tests, headless runs): a silent or file-fed microphone.
        Virtual,
    };
    Backend backend { Backend::Automatic };
    /// The application's desktop id: the sound server shows it as the streams' icon name.
    std::string applicationID;
    /// The sound server's names of a chosen microphone and speaker; empty follows the
    /// server's defaults.
    std::string microphoneDevice;
    std::string speakerDevice;
    /// The virtual microphone plays this file (then silence); empty: silence.
    std::string microphoneFile;
    /// The virtual speaker writes what it plays to this file; empty: nowhere.
    std::string speakerFile;
};

/// Makes the choice the current device and returns it. Never the virtual devices unless they
/// were chosen: with no usable device one line says so, and queues then fail to open with the
/// reason (kQueueNoDeviceError). A sound server that does not answer yet (chosen, or found
/// by neither back-end) is asked again at every stream, so sound works once it runs. An
/// unreadable microphone file or an unwritable speaker file is logged and left out.
std::shared_ptr<Device> useDevices(const DeviceChoice& choice);

} // namespace audio
