#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

/// While it lives, no file of this process grows beyond limit bytes, as on a disk that has
/// filled up: a write past it fails with EFBIG instead of raising SIGXFSZ. Every test runs in
/// a process of its own under CTest, and the limit is lifted again at the end of the scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved {};
    void (*m_savedHandler)(int) { nullptr };
};

} // namespace testsupport
