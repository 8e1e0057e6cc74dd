#include "host/InstanceChannel.h"

#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <algorithm>
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
constexpr const char* kPreferencesRequest = "preferences\n";
constexpr const char* kAnswer = "raised\n";
constexpr const char* kNoWindow = "no window\n";
constexpr const char* kImportRequest = "import ";
constexpr const char* kImported = "imported ";
constexpr const char* kRefused = "refused ";
// Longer than any request or answer: a client that sends more is not one of ours.
constexpr std::size_t kMaxLine = 16;
// An import names a path; its answer may give a reason.
constexpr std::size_t kMaxImportLine = 4096 + 16;

bool makeAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
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
std::string readLine(int fd, std::size_t maxLine = kMaxLine)
{
    std::string line;
    char c;
    while (line.size() < maxLine) {
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

std::unique_ptr<InstanceChannel> InstanceChannel::listen(const std::string& path, std::function<bool()> raise, std::string* error,
    std::function<bool()> showPreferences)
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
    if (bound != 0 || ::listen(fd, 16) != 0) {
        fail(error, std::strerror(errno));
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<InstanceChannel>(new InstanceChannel(path, fd, std::move(raise), std::move(showPreferences)));
}

InstanceChannel::InstanceChannel(std::string path, int fd, std::function<bool()> raise, std::function<bool()> showPreferences)
    : m_path(std::move(path))
    , m_fd(fd)
    , m_raise(std::move(raise))
    , m_showPreferences(std::move(showPreferences))
{
}

InstanceChannel::~InstanceChannel()
{
    if (m_pollTimer)
        m_pollTimer->invalidate();
    for (const Client& client : m_clients)
        close(client.fd);
    close(m_fd);
    unlink(m_path.c_str());
}

void InstanceChannel::handlePendingRequests()
{
    for (;;) {
        // Non-blocking, so a client that says nothing cannot hold the window's thread.
        int client = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (m_clients.size() >= kMaxWaitingClients) {
            close(m_clients.front().fd);
            m_clients.erase(m_clients.begin());
        }
        m_clients.push_back({ client, {}, foundation::RunLoop::main().now() + kClientTimeout });
    }
    const double now = foundation::RunLoop::main().now();
    std::erase_if(m_clients, [&](Client& client) {
        if (!serve(client, now))
            return false;
        close(client.fd);
        return true;
    });
    watchWaitingClients();
}

bool InstanceChannel::serve(Client& client, double now)
{
    char bytes[256];
    for (;;) {
        ssize_t n = read(client.fd, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return now >= client.deadline;
        if (n <= 0)
            return true;
        client.received.append(bytes, size_t(n));
        if (auto end = client.received.find('\n'); end != std::string::npos) {
            // "raised" only when a window was shown: a second start must not say so otherwise.
            if (client.received.compare(0, end + 1, kRequest) == 0)
                writeAll(client.fd, m_raise && m_raise() ? kAnswer : kNoWindow);
            else if (client.received.compare(0, end + 1, kPreferencesRequest) == 0)
                writeAll(client.fd, m_raise && m_raise() && m_showPreferences && m_showPreferences() ? kAnswer : kNoWindow);
            else if (client.received.compare(0, std::strlen(kImportRequest), kImportRequest) == 0)
                answerImport(client.fd, client.received.substr(std::strlen(kImportRequest), end - std::strlen(kImportRequest)));
            return true;
        }
        const bool import = client.received.compare(0, std::min(client.received.size(), std::strlen(kImportRequest)), kImportRequest, 0,
                                std::min(client.received.size(), std::strlen(kImportRequest)))
            == 0;
        if (client.received.size() >= (import ? kMaxImportLine : kMaxLine))
            return true;
    }
}

void InstanceChannel::answerImport(int fd, const std::string& path)
{
    std::string reason;
    std::optional<long long> key;
    if (!m_importFile)
        reason = "this program does not import files";
    else if (path.empty() || path[0] != '/')
        reason = "the path is not absolute";
    else
        key = m_importFile(path, &reason);
    // A reason is one line.
    std::replace(reason.begin(), reason.end(), '\n', ' ');
    const std::string answer = key ? kImported + std::to_string(*key) + "\n" : kRefused + reason.substr(0, kMaxImportLine - 16) + "\n";
    // The answer waits for the client, which waits for it, a short while at most.
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    setTimeouts(fd, kClientTimeout);
    writeAll(fd, answer.c_str());
}

// A client's request may come after its connection: the waiting ones are read again on the
// run loop until they have said it or their time is up.
void InstanceChannel::watchWaitingClients()
{
    if (m_clients.empty()) {
        if (m_pollTimer)
            m_pollTimer->invalidate();
        m_pollTimer.reset();
        return;
    }
    if (!m_pollTimer)
        m_pollTimer = foundation::RunLoop::main().scheduleTimer(kClientPollInterval, true, [this](foundation::Timer&) { handlePendingRequests(); });
}

bool requestRaise(const std::string& path, double timeoutSeconds, std::string* error, bool showPreferences)
{
    sockaddr_un address;
    if (!makeAddress(path, address)) {
        fail(error, path.empty() ? "there is no private folder for its socket" : "its socket path is too long");
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
    } else if (!writeAll(fd, showPreferences ? kPreferencesRequest : kRequest)) {
        fail(error, "it did not answer");
    } else if (const std::string answer = readLine(fd); answer == kAnswer) {
        raised = true;
    } else {
        fail(error, answer == kNoWindow ? "it has no window to show" : "it did not answer");
    }
    close(fd);
    return raised;
}

std::optional<long long> requestImport(const std::string& path, const std::string& filePath, double timeoutSeconds, std::string* error)
{
    sockaddr_un address;
    if (!makeAddress(path, address)) {
        fail(error, "its socket path cannot be used");
        return std::nullopt;
    }
    if (filePath.find('\n') != std::string::npos || filePath.size() > 4096) {
        fail(error, "the path cannot be sent to it");
        return std::nullopt;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        fail(error, std::strerror(errno));
        return std::nullopt;
    }
    setTimeouts(fd, timeoutSeconds);
    std::optional<long long> key;
    const std::string request = kImportRequest + filePath + "\n";
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        fail(error, errno == ENOENT || errno == ECONNREFUSED ? "it does not listen for requests; it may be starting or ending" : std::strerror(errno));
    } else if (!writeAll(fd, request.c_str())) {
        fail(error, "it did not answer");
    } else {
        std::string answer = readLine(fd, kMaxImportLine);
        if (!answer.empty())
            answer.pop_back();
        if (answer.rfind(kImported, 0) == 0) {
            char* end = nullptr;
            const long long value = std::strtoll(answer.c_str() + std::strlen(kImported), &end, 10);
            if (*end == '\0' && value > 0)
                key = value;
            else
                fail(error, "it answered what is not a memo's key");
        } else if (answer.rfind(kRefused, 0) == 0) {
            fail(error, answer.substr(std::strlen(kRefused)));
        } else {
            fail(error, "it did not answer");
        }
    }
    close(fd);
    return key;
}

namespace {

// Whether path is a folder of this user's that nobody else may add names to: not a link,
// owned by the user, and not writable by group or others (mustBePrivate: not enterable by
// them either, as a runtime directory is).
bool ownFolder(const std::string& path, bool mustBePrivate)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return false;
    return (info.st_mode & (mustBePrivate ? 0077 : 0022)) == 0;
}

// $XDG_RUNTIME_DIR, or else parlivo-<uid> in the temporary folder, made owner-only when it is
// not there; empty when neither is a private folder of this user's.
std::string privateFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && ownFolder(runtime, true))
        return runtime;
    const char* temporary = std::getenv("TMPDIR");
    std::string base = temporary && temporary[0] == '/' ? temporary : "/tmp";
    std::string folder = base + "/parlivo-" + std::to_string(geteuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    // Made by us, or found: a folder someone else made first, or one with a link in its
    // place, is never used.
    if (!ownFolder(folder, true)) {
        foundation::logf("The folder %s is not private to this user; a second start will not find this one.", folder.c_str());
        return {};
    }
    return folder;
}

} // namespace

std::string instanceSocketPath(const std::string& documentsDirectory)
{
    std::string beside = documentsDirectory + "/parlivodb.sql.socket";
    if (beside.size() < sizeof(sockaddr_un::sun_path) && ownFolder(documentsDirectory, false))
        return beside;
    std::string folder = privateFolder();
    if (folder.empty())
        return {};
    // FNV-1a: the same directory gives the same name in every process.
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : documentsDirectory) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char name[40];
    std::snprintf(name, sizeof name, "/parlivo-%016llx.socket", static_cast<unsigned long long>(hash));
    std::string path = folder + name;
    return path.size() < sizeof(sockaddr_un::sun_path) ? path : std::string();
}

} // namespace host
