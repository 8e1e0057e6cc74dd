#pragma once

#include <functional>
#include <memory>
#include <string>

namespace host {

/// How a second start of the program reaches the one already running on the same documents
/// directory: the running one listens on a local socket beside the directory's instance lock,
/// and a second start that cannot take the lock asks it there to bring its window to the
/// front. One request is one line, "raise"; the answer is one line, "raised".
///
/// Only the holder of the instance lock listens, so a socket file found at the path belongs to
/// a process that has ended and is replaced. Main thread: the host calls
/// handlePendingRequests when the socket is readable.
class InstanceChannel {
public:
    /// Listens at path, calling raise for each request; raise answers whether it showed a
    /// window. None when the socket cannot be made; *error then says why.
    static std::unique_ptr<InstanceChannel> listen(const std::string& path, std::function<bool()> raise, std::string* error = nullptr);

    /// Stops listening and removes the socket file.
    ~InstanceChannel();
    InstanceChannel(const InstanceChannel&) = delete;
    InstanceChannel& operator=(const InstanceChannel&) = delete;

    /// Answers every request waiting now, without waiting for more. A client that connects but
    /// says nothing is given up after a second; anything but "raise" is answered with nothing.
    void handlePendingRequests();
    /// The listening socket, for the host's watch of it.
    int fileDescriptor() const { return m_fd; }

private:
    InstanceChannel(std::string path, int fd, std::function<bool()> raise);

    std::string m_path;
    int m_fd { -1 };
    std::function<bool()> m_raise;
};

/// Asks the program listening at path to bring its window to the front, waiting at most
/// timeoutSeconds for its answer. True only when it answers that it did; otherwise *error
/// says why in words for the user.
bool requestRaise(const std::string& path, double timeoutSeconds, std::string* error = nullptr);

/// The socket path for a documents directory: beside its lock when that path fits a local
/// socket address, else a name made from the directory in the user's runtime directory.
std::string instanceSocketPath(const std::string& documentsDirectory);

} // namespace host
