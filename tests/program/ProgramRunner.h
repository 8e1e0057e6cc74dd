#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace testsupport {

struct ProgramResult {
    int status; // the exit status, -1 when the program did not exit normally
    std::string output;
};

/// Which of the program's streams a run collects; the other one is discarded.
enum class Collect { StandardOutput, StandardError };

/// Runs the built parlivo with arguments (a shell word list) in the test's environment.
inline ProgramResult runParlivo(const std::string& arguments, Collect collect = Collect::StandardOutput)
{
    std::string command = std::string(PARLIVO_EXECUTABLE) + " " + arguments
        + (collect == Collect::StandardOutput ? " 2>/dev/null" : " 2>&1 >/dev/null");
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    std::array<char, 256> buffer;
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    int status = pclose(pipe);
    return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, output };
}

} // namespace testsupport
