#include "foundation/InstanceLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace foundation {

std::unique_ptr<InstanceLock> InstanceLock::acquire(const std::string& path, std::string* error)
{
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = std::strerror(errno);
        return nullptr;
    }
    int result;
    while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        if (error)
            *error = errno == EWOULDBLOCK ? "held by another process" : std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(path, fd));
}

InstanceLock::InstanceLock(std::string path, int fd)
    : m_path(std::move(path))
    , m_fd(fd)
{
}

InstanceLock::~InstanceLock()
{
    ::close(m_fd);
}

} // namespace foundation
