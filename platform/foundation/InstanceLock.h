#pragma once

#include <memory>
#include <string>

namespace foundation {

/// Keeps a second process from working on the same files: an exclusive advisory lock
/// (flock) on a lock file, held for the life of the object and let go by the system when the
/// process ends, however it ends, so a crash never leaves a stale lock behind.
///
/// The lock file is created owner-only and never removed: removing it while another process
/// waits on it would let two processes hold "the" lock on two different files.
class InstanceLock {
public:
    /// Takes the lock on path without waiting. None when another process (or another
    /// InstanceLock of this one) holds it, or when the file cannot be opened; *error then says
    /// which.
    static std::unique_ptr<InstanceLock> acquire(const std::string& path, std::string* error = nullptr);

    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    const std::string& path() const { return m_path; }

private:
    InstanceLock(std::string path, int fd);

    std::string m_path;
    int m_fd { -1 };
};

} // namespace foundation
