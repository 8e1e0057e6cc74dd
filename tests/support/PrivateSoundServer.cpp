#include "PrivateSoundServer.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <spawn.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

// How long a server may take to answer after its start, and a stop to end it.
constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(5);

bool executableOnPath(const std::string& program)
{
    for (const char* dir : { "/usr/bin", "/bin", "/usr/local/bin" }) {
        if (::access((std::string(dir) + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string rateText(double rate)
{
    return std::to_string(static_cast<long>(std::lround(rate)));
}

// Waits for a child to end within timeout; false when it is still running.
bool waitFor(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto until = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD))
            return true;
        if (Clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void endProcess(pid_t pid, int signal)
{
    if (pid <= 0)
        return;
    ::kill(pid, signal);
    if (!waitFor(pid, std::chrono::duration_cast<std::chrono::milliseconds>(kStopTimeout))) {
        ::kill(pid, SIGKILL);
        waitFor(pid, std::chrono::milliseconds(2000));
    }
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

} // namespace

const char* PrivateSoundServer::name(Kind kind)
{
    return kind == Kind::PulseAudio ? "pulseaudio" : "pipewire";
}

bool PrivateSoundServer::available(Kind kind, std::string* missing)
{
    std::vector<std::string> programs { "pactl", "parec" };
    if (kind == Kind::PulseAudio)
        programs.push_back("pulseaudio");
    else
        programs.insert(programs.end(), { "pipewire", "pipewire-pulse", "wireplumber", "dbus-daemon" });
    for (const auto& program : programs) {
        if (!executableOnPath(program)) {
            if (missing)
                *missing = program;
            return false;
        }
    }
    return true;
}

PrivateSoundServer::PrivateSoundServer(const std::string& directory, Options options)
    : m_options(options)
    , m_directory(directory)
{
    std::error_code ignored;
    std::filesystem::create_directories(m_directory + "/runtime", ignored);
    std::filesystem::create_directories(m_directory + "/home", ignored);
    // The server's runtime directory must be private to it.
    ::chmod((m_directory + "/runtime").c_str(), 0700);
    if (const char* server = std::getenv("PULSE_SERVER"))
        m_savedServer = server;
    ::setenv("PULSE_SERVER", address().c_str(), 1);
    std::string missing;
    if (!available(options.kind, &missing)) {
        m_error = missing + " is not installed";
        return;
    }
    ::unlink(sinePipePath().c_str());
    if (options.microphone)
        startSineWriter();
    bool started = options.kind == Kind::PulseAudio ? startPulseAudio() : startPipeWire();
    if (!started || !waitUntilAnswering())
        return;
    if (options.kind == Kind::PipeWire) {
        // PipeWire's service makes the devices through the same module commands; the session
        // manager would take the first device as the default, so they are named defaults.
        auto retried = [](const std::function<bool()>& step) {
            for (int i = 0; i < 100; ++i) {
                if (step())
                    return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            return false;
        };
        // The session manager takes a new device on a moment after it was made.
        if ((options.speaker && (!loadSpeaker() || !retried([&] { return setDefaultSink("speaker"); })))
            || (options.microphone && (!loadMicrophone() || !retried([&] { return pactl("set-default-source microphone").has_value(); })))) {
            m_error = "the devices could not be made; see " + logPath();
            return;
        }
    } else if (options.microphone) {
        startPipeReader();
    }
    // A module that failed does not keep the daemon from serving.
    auto sources = pactl("list short sources");
    auto sinks = pactl("list short sinks");
    if ((options.microphone && (!sources || sources->find("microphone\t") == std::string::npos))
        || (options.speaker && (!sinks || sinks->find("speaker\t") == std::string::npos))) {
        m_error = "the server lacks its devices; see " + logPath();
        return;
    }
    m_ready = true;
}

PrivateSoundServer::~PrivateSoundServer()
{
    stop();
    m_stopSine = true;
    if (m_sineWriter.joinable())
        m_sineWriter.join();
    if (m_savedServer)
        ::setenv("PULSE_SERVER", m_savedServer->c_str(), 1);
    else
        ::unsetenv("PULSE_SERVER");
}

std::string PrivateSoundServer::address() const
{
    return "unix:" + m_directory + "/runtime/native";
}

pid_t PrivateSoundServer::spawn(const std::vector<std::string>& command, const std::string& log)
{
    // A clean environment: the server sees only its own directories, never the session's
    // bus or a desktop's sound server.
    std::vector<std::string> environment {
        "PATH=/usr/bin:/bin",
        "HOME=" + m_directory + "/home",
        "XDG_RUNTIME_DIR=" + m_directory + "/runtime",
        "XDG_CONFIG_HOME=" + m_directory + "/home/.config",
        "XDG_STATE_HOME=" + m_directory + "/home/.local/state",
        "XDG_DATA_HOME=" + m_directory + "/home/.local/share",
        "PULSE_RUNTIME_PATH=" + m_directory + "/runtime",
        "PULSE_STATE_PATH=" + m_directory + "/home/state",
        "PIPEWIRE_RUNTIME_DIR=" + m_directory + "/runtime",
        "DBUS_SESSION_BUS_ADDRESS=" + (m_busAddress.empty() ? std::string("disabled:") : m_busAddress),
        "DISABLE_RTKIT=y",
    };
    pid_t pid = spawnTied(command, &environment, { "/dev/null", log, {}, false });
    if (pid < 0) {
        m_error = "cannot start " + command[0];
        return -1;
    }
    m_processes.push_back(pid);
    return pid;
}

bool PrivateSoundServer::startPulseAudio()
{
    // The protocol comes last, so a client that gets through finds the devices made.
    const std::string script = m_directory + "/server.pa";
    const std::string rate = rateText(m_options.rate);
    std::ofstream out(script);
    if (m_options.speaker)
        out << "load-module " << speakerModule("speaker") << "\n";
    if (m_options.microphone)
        out << "load-module " << microphoneModule() << "\n";
    if (m_options.speaker)
        out << "set-default-sink speaker\n";
    if (m_options.microphone)
        out << "set-default-source microphone\n";
    out << "load-module module-native-protocol-unix socket=" << m_directory << "/runtime/native auth-anonymous=1\n";
    out.close();
    // As root the daemon warns that it is meant for a user session, and then serves.
    return spawn({ "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes", "--use-pid-file=no",
                     "--system=no", "--high-priority=no", "--realtime=no", "--log-target=stderr", "--log-level=info", "-F", script },
               logPath())
        > 0;
}

bool PrivateSoundServer::startPipeWire()
{
    // WirePlumber, PipeWire's session manager (it links streams to devices and keeps the
    // defaults), does not run without a session bus: a private one.
    const std::string bus = m_directory + "/runtime/bus";
    if (spawn({ "dbus-daemon", "--session", "--nofork", "--address=unix:path=" + bus }, logPath()) <= 0 || !waitForFile(bus))
        return false;
    m_busAddress = "unix:path=" + bus;
    // The graph runs at the test's rate, so nothing is resampled and the monitor gives back
    // exactly what was played. The PulseAudio service listens on our socket and makes no
    // stand-in sink of its own when there is none.
    const std::string config = m_directory + "/home/.config/pipewire";
    std::error_code ignored;
    std::filesystem::create_directories(config + "/pipewire.conf.d", ignored);
    const std::string rate = rateText(m_options.rate);
    std::ofstream(config + "/pipewire.conf.d/rate.conf")
        << "context.properties = { default.clock.rate = " << rate << " default.clock.allowed-rates = [ " << rate << " ] }\n";
    std::ofstream(config + "/pipewire-pulse.conf") << "context.spa-libs = { audio.convert.* = audioconvert/libspa-audioconvert support.* = support/libspa-support }\n"
                                                      "context.modules = [\n"
                                                      "  { name = libpipewire-module-protocol-native }\n"
                                                      "  { name = libpipewire-module-client-node }\n"
                                                      "  { name = libpipewire-module-adapter }\n"
                                                      "  { name = libpipewire-module-metadata }\n"
                                                      "  { name = libpipewire-module-protocol-pulse }\n"
                                                      "]\n"
                                                      "pulse.cmd = [ ]\n"
                                                      "pulse.properties = { server.address = [ \"unix:"
                                                   << m_directory << "/runtime/native\" ] }\n";
    if (spawn({ "pipewire" }, logPath()) <= 0)
        return false;
    // PipeWire's own socket must be there before the others start.
    if (!waitForFile(m_directory + "/runtime/pipewire-0")) {
        m_error = "pipewire made no socket; see " + logPath();
        return false;
    }
    return spawn({ "wireplumber" }, logPath()) > 0 && spawn({ "pipewire-pulse" }, logPath()) > 0;
}

bool PrivateSoundServer::waitForFile(const std::string& path) const
{
    const auto until = Clock::now() + kStartTimeout;
    while (::access(path.c_str(), F_OK) != 0) {
        if (Clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool PrivateSoundServer::waitUntilAnswering()
{
    const std::string socketPath = m_directory + "/runtime/native";
    const auto until = Clock::now() + kStartTimeout;
    while (Clock::now() < until) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
        bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        if (connected && pactl("info"))
            return true;
        for (pid_t pid : m_processes) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                m_error = "the server ended at its start; see " + logPath();
                std::erase(m_processes, pid);
                return false;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_error = "the server does not answer; see " + logPath();
    return false;
}

std::optional<std::string> PrivateSoundServer::pactl(const std::string& arguments) const
{
    std::string command = "PULSE_SERVER=" + quoted(address()) + " pactl " + arguments + " 2>>" + quoted(logPath());
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string output;
    std::array<char, 4096> buffer;
    while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    int status = ::pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

// The servers' sine source renders up to two seconds ahead of time, which no microphone does:
// the microphone is a pipe that a thread of ours fills with the sine in real time.
std::string PrivateSoundServer::microphoneModule() const
{
    return "module-pipe-source source_name=microphone file=" + sinePipePath() + " format=s16le rate=" + rateText(m_options.rate)
        + " channels=1";
}

// Without rewinds the sink's monitor records everything played: a sink that rewinds to mix a
// new stream in at once replaces sound its monitor has already handed over.
std::string PrivateSoundServer::speakerModule(const std::string& name) const
{
    return "module-null-sink sink_name=" + name + " rate=" + rateText(m_options.rate) + " channels=1 format=s16le"
        + (m_options.kind == Kind::PulseAudio ? " norewinds=1" : "");
}

void PrivateSoundServer::startSineWriter()
{
    if (!m_sineWriter.joinable())
        m_sineWriter = std::thread([this] { writeSine(); });
}

bool PrivateSoundServer::loadMicrophone()
{
    startSineWriter();
    ::unlink(sinePipePath().c_str());
    if (!pactl("load-module " + microphoneModule()))
        return false;
    startPipeReader();
    return true;
}

// The pipe source reads its pipe only while something records: a reader of ours keeps it
// reading, so a recording never starts with sound that waited in the pipe.
void PrivateSoundServer::startPipeReader()
{
    stopPipeReader();
    m_pipeReader = spawn({ "parec", "--server=" + address(), "--device=microphone", "--raw", "--format=s16le", "--rate=" + rateText(m_options.rate),
                              "--channels=1", "--latency-msec=20", "--client-name=pipe-reader", "/dev/null" },
        logPath());
}

void PrivateSoundServer::stopPipeReader()
{
    if (m_pipeReader <= 0)
        return;
    endProcess(m_pipeReader, SIGINT);
    std::erase(m_processes, m_pipeReader);
    m_pipeReader = -1;
}

bool PrivateSoundServer::loadSpeaker(const std::string& name)
{
    return pactl("load-module " + speakerModule(name)).has_value();
}

std::int16_t PrivateSoundServer::sineSample(std::int64_t index, double rate)
{
    const double turns = std::fmod(static_cast<double>(index) * kSineFrequency / rate, 1.0);
    return static_cast<std::int16_t>(std::lround(kSineAmplitude * 32767.0 * std::sin(2 * std::numbers::pi * turns)));
}

void PrivateSoundServer::writeSine()
{
    // A pipe whose reader went gives EPIPE here rather than a signal to the whole process.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    const auto start = Clock::now();
    // PipeWire's pipe source takes a whole cycle of the graph at a time and fills what the
    // pipe lacks with silence: it is kept a little ahead. PulseAudio's takes what is there.
    const double lead = m_options.kind == Kind::PipeWire ? 0.07 : 0;
    std::int64_t written = 0;
    int fd = -1;
    std::vector<std::int16_t> chunk;
    while (!m_stopSine) {
        const auto due = static_cast<std::int64_t>((std::chrono::duration<double>(Clock::now() - start).count() + lead) * m_options.rate);
        if (fd < 0) {
            fd = ::open(sinePipePath().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            // A small pipe: what nobody reads is dropped instead of arriving late in a burst.
            if (fd >= 0)
                ::fcntl(fd, F_SETPIPE_SZ, 4096);
            written = due;
        }
        if (fd >= 0 && due > written) {
            chunk.resize(static_cast<std::size_t>(std::min<std::int64_t>(due - written, 2048)));
            for (std::size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = sineSample(written + static_cast<std::int64_t>(i), m_options.rate);
            ssize_t result = ::write(fd, chunk.data(), chunk.size() * sizeof(std::int16_t));
            if (result < 0 && errno != EAGAIN) {
                ::close(fd);
                fd = -1;
            }
            written += static_cast<std::int64_t>(chunk.size());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (fd >= 0)
        ::close(fd);
}

std::optional<int> PrivateSoundServer::moduleOf(const std::string& kind, const std::string& name) const
{
    auto modules = pactl("list short modules");
    if (!modules)
        return std::nullopt;
    std::istringstream lines(*modules);
    const std::string argument = kind + "_name=" + name;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        int index = -1;
        std::string module;
        fields >> index >> module;
        std::string rest;
        std::getline(fields, rest);
        std::istringstream words(rest);
        for (std::string word; words >> word;) {
            if (word == argument)
                return index;
        }
    }
    return std::nullopt;
}

bool PrivateSoundServer::unloadMicrophone()
{
    stopPipeReader();
    auto module = moduleOf("source", "microphone");
    return module && pactl("unload-module " + std::to_string(*module)).has_value();
}

bool PrivateSoundServer::unloadSpeaker(const std::string& name)
{
    auto module = moduleOf("sink", name);
    return module && pactl("unload-module " + std::to_string(*module)).has_value();
}

bool PrivateSoundServer::setDefaultSink(const std::string& name)
{
    return pactl("set-default-sink " + name).has_value();
}

std::vector<std::map<std::string, std::string>> PrivateSoundServer::listProperties(const std::string& what) const
{
    std::vector<std::map<std::string, std::string>> result;
    auto listing = pactl("list " + what);
    if (!listing)
        return result;
    std::istringstream lines(*listing);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '\t' && line[0] != ' ') {
            result.emplace_back();
            continue;
        }
        if (result.empty())
            continue;
        std::string entry = trim(line);
        // Properties read 'key = "value"'; the stream's own fields 'Field: value'.
        auto equals = entry.find(" = \"");
        auto colon = entry.find(": ");
        if (equals != std::string::npos && entry.back() == '"')
            result.back()[entry.substr(0, equals)] = entry.substr(equals + 4, entry.size() - equals - 5);
        else if (colon != std::string::npos)
            result.back()[entry.substr(0, colon)] = entry.substr(colon + 2);
    }
    return result;
}

std::vector<std::map<std::string, std::string>> PrivateSoundServer::sinkInputs() const
{
    return listProperties("sink-inputs");
}

std::vector<std::map<std::string, std::string>> PrivateSoundServer::sourceOutputs() const
{
    return listProperties("source-outputs");
}

void PrivateSoundServer::kill()
{
    for (pid_t pid : m_processes) {
        ::kill(pid, SIGKILL);
        waitFor(pid, std::chrono::milliseconds(2000));
    }
    m_processes.clear();
    m_pipeReader = -1;
    // What a killed server leaves would keep the next one from starting.
    ::unlink((m_directory + "/runtime/native").c_str());
    ::unlink(sinePipePath().c_str());
}

void PrivateSoundServer::stop()
{
    stopPipeReader();
    // The PulseAudio service first, PipeWire last.
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it)
        endProcess(*it, SIGTERM);
    m_processes.clear();
}

PrivateSoundServer::SinkRecording::SinkRecording(const PrivateSoundServer& server, const std::string& sink)
{
    static int count = 0;
    m_path = server.m_directory + "/sink-" + sink + "-" + std::to_string(++count) + ".raw";
    std::vector<std::string> args { "parec", "--server=" + server.address(), "--device=" + sink + ".monitor", "--raw", "--format=s16le",
        "--rate=" + rateText(server.rate()), "--channels=1", "--latency-msec=20" };
    m_pid = spawnTied(args, nullptr, { "/dev/null", m_path, server.logPath(), true });
    // The monitor delivers silence while nothing plays, so the file grows once it records.
    const auto until = Clock::now() + kStartTimeout;
    while (m_pid > 0 && Clock::now() < until) {
        struct stat info {};
        if (::stat(m_path.c_str(), &info) == 0 && info.st_size > 0) {
            m_started = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

PrivateSoundServer::SinkRecording::~SinkRecording()
{
    stop();
}

void PrivateSoundServer::SinkRecording::stop()
{
    endProcess(m_pid, SIGINT);
    m_pid = -1;
}

std::vector<std::int16_t> PrivateSoundServer::SinkRecording::samples() const
{
    std::ifstream in(m_path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return samples;
}

pid_t spawnTied(const std::vector<std::string>& arguments, const std::vector<std::string>* environment, const ChildStreams& streams)
{
    // Everything the child needs is made before the fork: after it, in a process with other
    // threads, only async-signal-safe calls are allowed.
    std::vector<std::string> args = arguments;
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> entries;
    if (environment)
        entries = *environment;
    std::vector<char*> envp;
    for (auto& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* const* childEnvironment = environment ? envp.data() : environ;
    const std::string errors = streams.errors.empty() ? streams.output : streams.errors;
    const int outputFlags = O_WRONLY | O_CREAT | (streams.truncateOutput ? O_TRUNC : O_APPEND);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    int in = ::open(streams.input.c_str(), O_RDONLY);
    int out = ::open(streams.output.c_str(), outputFlags, 0600);
    int err = errors == streams.output ? out : ::open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (in < 0 || out < 0 || err < 0)
        ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execvpe(argv[0], argv.data(), childEnvironment);
    ::_exit(127);
}

SineFit fitSine(const std::int16_t* samples, std::size_t count, double frequency, double rate)
{
    // Least squares of x ≈ a·sin(ωn) + b·cos(ωn): the normal equations of two unknowns.
    const double omega = 2 * std::numbers::pi * frequency / rate;
    double ss = 0, cc = 0, sc = 0, xs = 0, xc = 0;
    for (std::size_t n = 0; n < count; ++n) {
        double s = std::sin(omega * static_cast<double>(n));
        double c = std::cos(omega * static_cast<double>(n));
        ss += s * s;
        cc += c * c;
        sc += s * c;
        xs += samples[n] * s;
        xc += samples[n] * c;
    }
    double determinant = ss * cc - sc * sc;
    SineFit fit;
    if (count == 0 || determinant == 0)
        return fit;
    double a = (xs * cc - xc * sc) / determinant;
    double b = (xc * ss - xs * sc) / determinant;
    for (std::size_t n = 0; n < count; ++n) {
        double model = a * std::sin(omega * static_cast<double>(n)) + b * std::cos(omega * static_cast<double>(n));
        fit.largestError = std::max(fit.largestError, std::abs(samples[n] - model));
    }
    fit.amplitude = std::hypot(a, b) / 32767.0;
    fit.phase = std::atan2(b, a);
    return fit;
}

} // namespace testsupport
