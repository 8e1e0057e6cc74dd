#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace foundation {
class Timer;
}

namespace host {

/// How a second start of the program reaches the one already running on the same documents
/// directory: the running one listens on a local socket beside the directory's instance lock,
/// and a second start that cannot take the lock asks it there to bring its window to the
/// front, or also to show its preferences. One request is one line, "raise" or "preferences";
/// the answer is one line, "raised". "import PATH" asks it to import a sound file; the answer
/// is "imported KEY" or "refused REASON".
///
/// Only the holder of the instance lock listens, so a socket file found at the path belongs to
/// a process that has ended and is replaced. Main thread: the host calls
/// handlePendingRequests when the socket is readable. Nothing here ever waits for a client:
/// one that has not said its line yet is looked at again on the main run loop until it has,
/// and dropped after kClientTimeout seconds of the loop's clock.
class InstanceChannel {
public:
    /// Listens at path, calling raise for each request; raise answers whether it showed a
    /// window. None when the socket cannot be made; *error then says why.
    /// showPreferences answers "preferences" (after raise), whether it showed them.
    static std::unique_ptr<InstanceChannel> listen(const std::string& path, std::function<bool()> raise, std::string* error = nullptr,
        std::function<bool()> showPreferences = {});

    /// Answers "import PATH" requests with what importFile returns for the absolute path: the
    /// memo's key, or none with the reason in its second argument.
    void setImportHandler(std::function<std::optional<long long>(const std::string& path, std::string* reason)> importFile)
    {
        m_importFile = std::move(importFile);
    }

    /// Stops listening and removes the socket file.
    ~InstanceChannel();
    InstanceChannel(const InstanceChannel&) = delete;
    InstanceChannel& operator=(const InstanceChannel&) = delete;

    /// How long a client may take to send its request.
    static constexpr double kClientTimeout = 1.0;
    /// How often clients that have not finished their request are read again.
    static constexpr double kClientPollInterval = 0.02;
    /// At most this many clients wait at a time; a further one pushes out the oldest.
    static constexpr std::size_t kMaxWaitingClients = 8;

    /// Takes every connection waiting now and answers every client whose request has come,
    /// without waiting for more. Anything but "raise" and "preferences" is answered with nothing.
    void handlePendingRequests();
    /// The listening socket, for the host's watch of it.
    int fileDescriptor() const { return m_fd; }
    /// Clients connected that have not finished their request yet.
    std::size_t waitingClientCount() const { return m_clients.size(); }

private:
    struct Client {
        int fd { -1 };
        std::string received;
        double deadline { 0 };
    };

    InstanceChannel(std::string path, int fd, std::function<bool()> raise, std::function<bool()> showPreferences);
    /// Reads what the client has sent; true when it is done with (answered or given up).
    bool serve(Client& client, double now);
    void watchWaitingClients();
    void answerImport(int fd, const std::string& path);

    std::string m_path;
    int m_fd { -1 };
    std::function<bool()> m_raise;
    std::function<bool()> m_showPreferences;
    std::function<std::optional<long long>(const std::string&, std::string*)> m_importFile;
    std::vector<Client> m_clients;
    std::shared_ptr<foundation::Timer> m_pollTimer;
};

/// Asks the program listening at path to bring its window to the front, waiting at most
/// timeoutSeconds for its answer. True only when it answers that it did; otherwise *error
/// says why in words for the user.
/// With showPreferences, it also shows its preferences.
bool requestRaise(const std::string& path, double timeoutSeconds, std::string* error = nullptr, bool showPreferences = false);

/// Asks the program listening at path to import the sound file at filePath (absolute),
/// waiting at most timeoutSeconds. The new memo's key, or none with *error saying why: the
/// program's reason for refusing the file, or that it did not answer.
std::optional<long long> requestImport(const std::string& path, const std::string& filePath, double timeoutSeconds, std::string* error);

/// The socket path for a documents directory: beside its lock when that path fits a local
/// socket address and only the user can add files to the directory; else a name made from the
/// directory in a folder only the user can enter: $XDG_RUNTIME_DIR when it is one, otherwise
/// "parlivo-<uid>" in $TMPDIR (or /tmp), made with mode 0700. A folder that is a link, is
/// another user's or lets others in is not used; empty when no private folder can be had, so
/// that no name another user could take first is ever listened on or asked. Every start on
/// the same directory gets the same path.
std::string instanceSocketPath(const std::string& documentsDirectory);

} // namespace host
