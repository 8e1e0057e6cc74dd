#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

/// A sound server of the test's own, speaking the PulseAudio protocol on a socket in a
/// directory of the test, with no hardware and no system service: a null sink "speaker" whose
/// monitor records what is played, and a source "microphone" that plays a 440-Hz sine (half of
/// full scale), both 16-bit mono at the rate given. While it lives, PULSE_SERVER points this
/// process and the programs it starts at it; the destructor stops it and puts the environment
/// back. Either a `pulseaudio` daemon or PipeWire with its PulseAudio service (and WirePlumber)
/// serves; both run as root too.
///
/// Not thread-safe: one test thread drives it. Helpers that talk to the server run `pactl`
/// and `parec`, so they work whatever the test links.
class PrivateSoundServer {
public:
    enum class Kind { PulseAudio, PipeWire };
    struct Options {
        Kind kind { Kind::PulseAudio };
        double rate { 22050 };
        /// Start with the sine source.
        bool microphone { true };
        /// Start with the null sink.
        bool speaker { true };
    };

    /// Starts the server with its files under directory (made if missing). ready() tells
    /// whether it answers; error() says why not.
    explicit PrivateSoundServer(const std::string& directory, Options options);
    explicit PrivateSoundServer(const std::string& directory)
        : PrivateSoundServer(directory, Options {})
    {
    }
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    /// Whether the Debian packages for kind are installed (a suite skips what it cannot run).
    static bool available(Kind kind, std::string* missing = nullptr);
    static const char* name(Kind kind);

    bool ready() const { return m_ready; }
    const std::string& error() const { return m_error; }
    Kind kind() const { return m_options.kind; }
    double rate() const { return m_options.rate; }
    /// The server address clients use ("unix:DIR/native").
    std::string address() const;
    /// The file the server logs to.
    std::string logPath() const { return m_directory + "/server.log"; }

    /// Runs pactl against the server: its standard output, or none when it failed.
    std::optional<std::string> pactl(const std::string& arguments) const;
    /// Loads the sine source "microphone" / the null sink named name; false when it failed.
    bool loadMicrophone();
    bool loadSpeaker(const std::string& name = "speaker");
    /// Unloads the module that made the source or sink of that name.
    bool unloadMicrophone();
    bool unloadSpeaker(const std::string& name = "speaker");
    bool setDefaultSink(const std::string& name);
    /// The name of the sink each playing stream plays on, by the stream's media.name.
    std::map<std::string, std::string> sinkOfEachStream() const;

    /// The properties of each playing stream (sink input) or recording stream (source
    /// output), as `pactl list` shows them.
    std::vector<std::map<std::string, std::string>> sinkInputs() const;
    std::vector<std::map<std::string, std::string>> sourceOutputs() const;

    /// Records what a sink plays, from its monitor, until stop(); samples() then holds it.
    class SinkRecording {
    public:
        SinkRecording(const PrivateSoundServer& server, const std::string& sink);
        ~SinkRecording();
        SinkRecording(const SinkRecording&) = delete;
        SinkRecording& operator=(const SinkRecording&) = delete;
        /// Whether the recording runs (the monitor has delivered its first samples).
        bool started() const { return m_started; }
        void stop();
        /// Everything recorded so far, 16-bit mono at the server's rate.
        std::vector<std::int16_t> samples() const;

    private:
        std::string m_path;
        pid_t m_pid { -1 };
        bool m_started { false };
    };

    /// Makes the server go away at once (SIGKILL), as a crash would.
    void kill();
    /// Stops the server in order; also done by the destructor.
    void stop();

private:
    bool startPulseAudio();
    bool startPipeWire();
    bool waitUntilAnswering();
    std::optional<int> moduleOf(const std::string& kind, const std::string& name) const;
    std::vector<std::map<std::string, std::string>> listProperties(const std::string& what) const;
    pid_t spawn(const std::vector<std::string>& command, const std::string& log);

    Options m_options;
    std::string m_directory;
    std::vector<pid_t> m_processes;
    bool m_ready { false };
    std::string m_error;
    std::optional<std::string> m_savedServer;
};

/// The samples of a sine of frequency at amplitude (of full scale) and phase (radians at
/// sample 0) that fits samples best in the least-squares sense, with the largest difference.
struct SineFit {
    double amplitude { 0 };
    double phase { 0 };
    double largestError { 0 };
};
SineFit fitSine(const std::int16_t* samples, std::size_t count, double frequency, double rate);

} // namespace testsupport
