#pragma once

#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

/// Xvfb on a display of the test's own: a number from the process id (salted, so two suites
/// of one run differ), the next one when that is taken (Xvfb then ends at once). Xvfb writes the
/// number to a pipe once it accepts clients; letting Xvfb pick races with other servers starting
/// at the same moment. No reset when the last client leaves: the next start would find the
/// server resetting. The display (":N") with *server its process, or empty when none started.
inline std::string startPrivateXServer(pid_t* server, int salt, const std::string& screen = "1024x768x24", int dpi = 96)
{
    for (int attempt = 0; attempt < 40; ++attempt) {
        const std::string display = ":" + std::to_string(100 + (::getpid() * salt + attempt) % 800);
        int fds[2];
        if (::pipe(fds) != 0)
            return {};
        *server = ::fork();
        if (*server < 0)
            return {};
        if (*server == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            const std::string dots = std::to_string(dpi);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("Xvfb", "Xvfb", display.c_str(), "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-dpi", dots.c_str(), "-nolisten", "tcp",
                "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        if (!number.empty())
            return ":" + number;
        ::waitpid(*server, nullptr, 0);
        *server = -1;
    }
    return {};
}

} // namespace testsupport
