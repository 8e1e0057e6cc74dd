#pragma once

#include "audio/Device.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace audio {

/// A microphone and a speaker without hardware. The microphone plays silence, a tone, a list
/// of samples or a sound file (then silence); its sound advances as streams read it, so a
/// recording that pauses and resumes continues the sound where it left off. The speaker
/// keeps what it plays in memory and/or writes it to a file.
///
/// Pacing: under a manual clock on the main run loop the streams are paced by run-loop
/// timers (fully deterministic); with the system clock they keep real time on the queues'
/// audio threads; setPacing(Pacing::Unpaced) runs them as fast as possible.
///
/// Every member is safe from any thread.
class VirtualDevice final : public Device, public std::enable_shared_from_this<VirtualDevice> {
public:
    VirtualDevice();
    ~VirtualDevice() override;

    std::string name() const override { return "virtual"; }
    std::unique_ptr<InputStream> openInput(const StreamBasicDescription& format, Status* error, std::string* reason) override;
    std::unique_ptr<OutputStream> openOutput(const StreamBasicDescription& format, Status* error, std::string* reason) override;
    /// Only after setHasEarpiece(true); what it plays is kept apart from the speaker's.
    std::unique_ptr<OutputStream> openEarpiece(const StreamBasicDescription& format, Status* error, std::string* reason) override;
    bool hasEarpiece() override;

    /// A fixed pacing for streams opened from now on; none chooses by the main run loop's clock.
    void setPacing(std::optional<Pacing> pacing);
    Pacing resolvedPacing() const;

    void setMicrophoneSilence();
    /// A sine of a whole number of hertz at amplitude (0 to 1 of full scale). Sample i of a
    /// stream at rate r is round(amplitude × 32767 × sin(2π × ((i × frequency) mod r) / r)).
    void setMicrophoneTone(int frequency, double amplitude);
    /// Mono samples, each copied to every channel, then silence.
    void setMicrophoneSamples(std::vector<std::int16_t> samples);
    /// A sound file (any format libsndfile reads), then silence. Channels are mixed or copied
    /// to the stream's; a file at another rate plays at the stream's rate, unconverted.
    /// False, with a log line, when the file cannot be read (the source is left as it was).
    bool setMicrophoneFile(const std::string& path);
    /// Whether a list of samples or a file has been played to its end; under Pacing::Unpaced
    /// the microphone then gives nothing more, so a run as fast as possible ends there.
    bool microphoneExhausted() const;
    /// Frames the microphone has delivered to streams, dropped ones included.
    std::int64_t microphoneFramesRead() const;

    /// Keeps everything the speaker plays in memory (on by default).
    void setSpeakerCapturesToMemory(bool capture);
    /// Also writes what the speaker plays to path (CAF, or WAV for a ".wav" name) at the rate
    /// and channels of the first stream that plays; empty stops writing. False, with a log
    /// line, when the file cannot be created.
    bool setSpeakerFile(const std::string& path);
    /// The samples played so far, interleaved as played (mono for the recorder's format).
    std::vector<std::int16_t> speakerSamples() const;
    void clearSpeakerSamples();

    /// Gives the device an earpiece (a handset's): none by default, as on a desktop.
    void setHasEarpiece(bool hasEarpiece);
    /// The samples the earpiece played so far, interleaved as played.
    std::vector<std::int16_t> earpieceSamples() const;
    void clearEarpieceSamples();

    /// The microphones (input) or speakers the device names, as a sound server would list
    /// them (none by default); streams still open the virtual ones.
    void setNamedDevices(bool input, std::vector<DeviceDescription> devices);
    std::vector<DeviceDescription> namedDevices(bool input) override;

    /// Used by the streams: the next frames of the microphone, and the speaker's and the
    /// earpiece's output.
    void readMicrophone(std::int16_t* samples, std::size_t frames, double sampleRate, std::uint32_t channels);
    void writeSpeaker(const std::int16_t* samples, std::size_t frames, double sampleRate, std::uint32_t channels);
    void writeEarpiece(const std::int16_t* samples, std::size_t frames, std::uint32_t channels);

private:
    struct Microphone;
    struct Speaker;

    mutable std::mutex m_mutex;
    std::optional<Pacing> m_pacing;
    std::unique_ptr<Microphone> m_microphone;
    std::unique_ptr<Speaker> m_speaker;
    bool m_hasEarpiece { false };
    std::vector<std::int16_t> m_earpieceSamples;
    std::vector<DeviceDescription> m_namedInputs;
    std::vector<DeviceDescription> m_namedOutputs;
};

} // namespace audio
