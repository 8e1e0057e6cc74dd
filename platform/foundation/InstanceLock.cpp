#include "foundation/InstanceLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace foundation {

namespace {

bool cannotWrite(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// The folder holding path ("." when it names none).
std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::unique_ptr<InstanceLock> InstanceLock::acquire(const std::string& path, std::string* error, Failure* failure)
{
    auto fail = [&](Failure why, const std::string& text) -> std::unique_ptr<InstanceLock> {
        if (error)
            *error = text;
        if (failure)
            *failure = why;
        return nullptr;
    };
    if (failure)
        *failure = Failure::None;
    bool readOnly = false;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 && cannotWrite(errno)) {
        // flock needs no write access: a read-only folder still gets its one program.
        readOnly = true;
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0 && errno == ENOENT)
            fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0)
        return fail(Failure::Unusable, std::strerror(errno));
    int result;
    while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        const int lockError = errno;
        ::close(fd);
        if (lockError == EWOULDBLOCK)
            return fail(Failure::HeldByAnother, "held by another process");
        return fail(Failure::Unusable, std::strerror(lockError));
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(path, fd, readOnly));
}

InstanceLock::InstanceLock(std::string path, int fd, bool readOnly)
    : m_path(std::move(path))
    , m_fd(fd)
    , m_readOnly(readOnly)
{
}

InstanceLock::~InstanceLock()
{
    ::close(m_fd);
}

} // namespace foundation
