#include "PrivatePulseServer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace soundcard {

namespace {

pid_t spawn(std::vector<std::string> args, const std::string& output, const std::string& errors)
{
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Ends a child: asked first, then told.
void end(pid_t& pid, int signal)
{
    if (pid <= 0)
        return;
    ::kill(pid, signal);
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

bool accepts(const std::string& socketPath)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

bool PrivatePulseServer::start(const std::string& directory, std::string* reason)
{
    const std::string runtime = directory + "/pulse-runtime";
    ::mkdir(runtime.c_str(), 0700);
    const std::string socketPath = runtime + "/native";
    // The socket module comes last: once it answers, the sink and the source are there. The
    // sink does not rewind: a monitor cannot take back what it passed on, so sound a new
    // stream wrote over what the sink had rendered ahead would miss the recording.
    std::ofstream(directory + "/pulse.pa") << "load-module module-null-sink sink_name=speaker format=s16le rate=22050 channels=1 norewinds=1\n"
                                              "load-module module-sine-source source_name=microphone rate=22050 frequency=440\n"
                                              "set-default-sink speaker\n"
                                              "set-default-source microphone\n"
                                              "load-module module-native-protocol-unix auth-anonymous=1 socket="
                                           << socketPath << "\n";
    // Clients never start a daemon of their own, and find this one.
    std::ofstream(directory + "/client.conf") << "autospawn = no\n";
    std::ofstream(directory + "/asound.conf") << "pcm.!default { type pulse }\nctl.!default { type pulse }\n";
    setenv("PULSE_RUNTIME_PATH", runtime.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + socketPath).c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (directory + "/client.conf").c_str(), 1);
    setenv("ALSA_CONFIG_PATH", (directory + "/asound.conf").c_str(), 1);
    m_daemon = spawn({ "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--realtime=no",
                         "--high-priority=no", "--log-target=stderr", "-F", directory + "/pulse.pa" },
        "/dev/null", directory + "/pulseaudio.log");
    if (m_daemon <= 0) {
        if (reason)
            *reason = "pulseaudio cannot be started";
        return false;
    }
    for (int i = 0; i < 500; ++i) {
        if (accepts(socketPath))
            return true;
        if (::waitpid(m_daemon, nullptr, WNOHANG) == m_daemon) {
            m_daemon = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stop();
    if (reason)
        *reason = "pulseaudio did not answer; see " + directory + "/pulseaudio.log";
    return false;
}

void PrivatePulseServer::stop()
{
    stopRecording();
    end(m_daemon, SIGTERM);
}

bool PrivatePulseServer::recordSpeaker(const std::string& path)
{
    m_recorder = spawn({ "parec", "--device=speaker.monitor", "--format=s16le", "--rate=22050", "--channels=1", "--latency-msec=20" }, path,
        "/dev/null");
    return m_recorder > 0;
}

void PrivatePulseServer::stopRecording()
{
    end(m_recorder, SIGINT);
}

} // namespace soundcard
