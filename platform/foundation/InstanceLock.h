#pragma once

#include <memory>
#include <string>

namespace foundation {

/// Keeps a second process from working on the same files: an exclusive advisory lock
/// (flock) on a lock file, held for the life of the object and let go by the system when the
/// process ends, however it ends, so a crash never leaves a stale lock behind.
///
/// The lock file is created owner-only and never removed: removing it while another process
/// waits on it would let two processes hold "the" lock on two different files. In a folder
/// that cannot be written the lock is taken on the lock file opened for reading, or, when
/// there is none, on the folder itself: a program may still read such a folder, and two of
/// them must still not run on it at once.
class InstanceLock {
public:
    /// Why acquire() failed.
    enum class Failure {
        None,
        /// Another process (or another InstanceLock of this one) holds the lock.
        HeldByAnother,
        /// The lock file could not be opened or locked for another reason (a missing folder,
        /// an I/O error); *error says which.
        Unusable,
    };

    /// Takes the lock on path without waiting. None when it is held elsewhere or cannot be
    /// had; *failure and *error (both optional) then say why.
    static std::unique_ptr<InstanceLock> acquire(const std::string& path, std::string* error = nullptr, Failure* failure = nullptr);

    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    const std::string& path() const { return m_path; }
    /// The lock file (or its folder) could be opened for reading only, as in a folder that
    /// cannot be written: the lock is held all the same.
    bool openedForReading() const { return m_readOnly; }

private:
    InstanceLock(std::string path, int fd, bool readOnly);

    std::string m_path;
    int m_fd { -1 };
    bool m_readOnly { false };
};

} // namespace foundation
