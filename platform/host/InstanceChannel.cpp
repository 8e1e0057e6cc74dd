#include "host/InstanceChannel.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace host {

namespace {

constexpr const char* kRequest = "raise\n";
constexpr const char* kAnswer = "raised\n";
constexpr const char* kNoWindow = "no window\n";
// A client that connects and says nothing must not hold the window's thread for long.
constexpr double kServerReadTimeout = 1.0;

bool makeAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void setTimeouts(int fd, double seconds)
{
    timeval time {};
    time.tv_sec = time_t(seconds);
    time.tv_usec = suseconds_t((seconds - std::floor(seconds)) * 1e6);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &time, sizeof time);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &time, sizeof time);
}

// Reads one line of at most a few bytes; empty when none came.
std::string readLine(int fd)
{
    std::string line;
    char c;
    while (line.size() < 16) {
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != 1)
            return {};
        line += c;
        if (c == '\n')
            return line;
    }
    return {};
}

bool writeAll(int fd, const char* text)
{
    size_t length = std::strlen(text);
    while (length > 0) {
        ssize_t n = send(fd, text, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text += n;
        length -= size_t(n);
    }
    return true;
}

void fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

} // namespace

std::unique_ptr<InstanceChannel> InstanceChannel::listen(const std::string& path, std::function<bool()> raise, std::string* error)
{
    sockaddr_un address;
    if (!makeAddress(path, address)) {
        fail(error, "the path is too long for a local socket");
        return nullptr;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        fail(error, std::strerror(errno));
        return nullptr;
    }
    // The caller holds the instance lock: a socket file here was left by a process that ended.
    unlink(path.c_str());
    // Owner-only from the start, as the rest of the documents directory.
    mode_t previous = umask(0077);
    int bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    umask(previous);
    if (bound != 0 || ::listen(fd, 4) != 0) {
        fail(error, std::strerror(errno));
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<InstanceChannel>(new InstanceChannel(path, fd, std::move(raise)));
}

InstanceChannel::InstanceChannel(std::string path, int fd, std::function<bool()> raise)
    : m_path(std::move(path))
    , m_fd(fd)
    , m_raise(std::move(raise))
{
}

InstanceChannel::~InstanceChannel()
{
    close(m_fd);
    unlink(m_path.c_str());
}

void InstanceChannel::handlePendingRequests()
{
    for (;;) {
        int client = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        setTimeouts(client, kServerReadTimeout);
        if (readLine(client) == kRequest)
            writeAll(client, m_raise && m_raise() ? kAnswer : kNoWindow);
        close(client);
    }
}

bool requestRaise(const std::string& path, double timeoutSeconds, std::string* error)
{
    sockaddr_un address;
    if (!makeAddress(path, address)) {
        fail(error, "its socket path is too long");
        return false;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        fail(error, std::strerror(errno));
        return false;
    }
    setTimeouts(fd, timeoutSeconds);
    bool raised = false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno == ENOENT || errno == ECONNREFUSED)
            fail(error, "it does not listen for a second start; it may be starting, ending, or showing no window");
        else
            fail(error, std::strerror(errno));
    } else if (!writeAll(fd, kRequest)) {
        fail(error, "it did not answer");
    } else if (const std::string answer = readLine(fd); answer == kAnswer) {
        raised = true;
    } else {
        fail(error, answer == kNoWindow ? "it has no window to show" : "it did not answer");
    }
    close(fd);
    return raised;
}

std::string instanceSocketPath(const std::string& documentsDirectory)
{
    std::string beside = documentsDirectory + "/parlivodb.sql.socket";
    if (beside.size() < sizeof(sockaddr_un::sun_path))
        return beside;
    // FNV-1a: the same directory gives the same name in every process.
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : documentsDirectory) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string directory = runtime && runtime[0] ? runtime : "/tmp";
    char name[40];
    std::snprintf(name, sizeof name, "/parlivo-%016llx.socket", static_cast<unsigned long long>(hash));
    return directory + name;
}

} // namespace host
