#pragma once

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

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

/// Starts the built parlivo with arguments (after the program's name), its output discarded and
/// its log appended to logPath; the process id, or -1.
inline pid_t spawnParlivo(std::vector<std::string> arguments, const std::string& logPath)
{
    arguments.insert(arguments.begin(), PARLIVO_EXECUTABLE);
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, PARLIVO_EXECUTABLE, &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return started ? pid : -1;
}

} // namespace testsupport
