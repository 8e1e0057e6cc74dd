#pragma once

// A folder that cannot be written, for tests that run as root: permissions do not stop root,
// so the part of the test that must meet them runs in a child process as the user "nobody".

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

/// Lets any user pass through the folders on the way to path (o+x).
inline void makeReachable(const std::string& path)
{
    namespace fs = std::filesystem;
    for (fs::path parent = fs::path(path).parent_path(); !parent.empty() && parent != parent.root_path(); parent = parent.parent_path()) {
        struct stat info {};
        if (::stat(parent.c_str(), &info) == 0 && (info.st_mode & 0011) != 0011)
            ::chmod(parent.c_str(), (info.st_mode & 07777) | 0011);
    }
}

/// Makes path and everything in it readable but not writable by anyone but root: folders
/// 0555, files 0444; the folders on the way to it are made reachable.
inline void makeReadOnly(const std::string& path)
{
    namespace fs = std::filesystem;
    makeReachable(path);
    for (const auto& entry : fs::recursive_directory_iterator(path))
        ::chmod(entry.path().c_str(), entry.is_directory() ? 0555 : 0444);
    ::chmod(path.c_str(), 0555);
}

/// Gives path back to its owner for writing (so the test can remove it).
inline void makeWritable(const std::string& path)
{
    namespace fs = std::filesystem;
    ::chmod(path.c_str(), 0755);
    for (const auto& entry : fs::recursive_directory_iterator(path))
        ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
}

/// Runs body where permissions hold: in a child process, as "nobody" (uid and gid 65534)
/// when the test runs as root. The child's failures are reported by it and fail the test.
inline void runWherePermissionsHold(const std::function<void()>& body)
{
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        body();
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the part run where permissions hold failed (status " << status << ")";
}

} // namespace testsupport
