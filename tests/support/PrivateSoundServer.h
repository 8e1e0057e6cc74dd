#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace testsupport {

/// A sound server of the test's own, speaking the PulseAudio protocol on a socket in a
/// directory of the test, with no hardware and no system service: a null sink "speaker" whose
/// monitor records what is played, and a source "microphone" that delivers a 440-Hz sine (half
/// of full scale, sineSample()) in real time, both 16-bit mono at the rate given. While it lives, PULSE_SERVER points this
/// process and the programs it starts at it; the destructor stops it and puts the environment
/// back. Either a `pulseaudio` daemon or PipeWire with its PulseAudio service (and WirePlumber
/// on a private session bus) serves; both run as root too.
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

    /// The microphone's sample at index (its samples are numbered from the server's start;
    /// a recording begins anywhere among them).
    static std::int16_t sineSample(std::int64_t index, double rate);
    static constexpr double kSineFrequency = 440;
    static constexpr double kSineAmplitude = 0.5;

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
    bool waitForFile(const std::string& path) const;
    std::optional<int> moduleOf(const std::string& kind, const std::string& name) const;
    std::string microphoneModule() const;
    std::string speakerModule(const std::string& name) const;
    std::string sinePipePath() const { return m_directory + "/runtime/microphone.fifo"; }
    void startSineWriter();
    void writeSine();
    void startPipeReader();
    void stopPipeReader();
    std::vector<std::map<std::string, std::string>> listProperties(const std::string& what) const;
    pid_t spawn(const std::vector<std::string>& command, const std::string& log);

    Options m_options;
    std::string m_directory;
    std::vector<pid_t> m_processes;
    pid_t m_pipeReader { -1 };
    bool m_ready { false };
    std::string m_error;
    std::optional<std::string> m_savedServer;
    std::string m_busAddress;
    std::thread m_sineWriter;
    std::atomic<bool> m_stopSine { false };
};

/// Where a started program's standard streams go.
struct ChildStreams {
    std::string input { "/dev/null" };
    std::string output { "/dev/null" };
    /// Appended to; empty: the same as output.
    std::string errors;
    bool truncateOutput { false };
};

/// Starts a program (found on PATH) in environment (this process's when null) that is killed
/// when this process ends, however it ends, so a test that dies leaves no server behind. The
/// child's pid, or -1.
pid_t spawnTied(const std::vector<std::string>& arguments, const std::vector<std::string>* environment, const ChildStreams& streams);

/// The samples of a sine of frequency at amplitude (of full scale) and phase (radians at
/// sample 0) that fits samples best in the least-squares sense, with the largest difference.
struct SineFit {
    double amplitude { 0 };
    double phase { 0 };
    double largestError { 0 };
};
SineFit fitSine(const std::int16_t* samples, std::size_t count, double frequency, double rate);

} // namespace testsupport
