#include "UiTestSupport.h"

#include "ui/Application.h"

#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace ui;

namespace {

class ApplicationTest : public uitest::UiTest { };

// Writes one byte a call into a pipe, so the parent process can follow the child.
class PipeDelegate : public ApplicationDelegate {
public:
    explicit PipeDelegate(int fd)
        : m_fd(fd)
    {
    }
    void applicationDidFinishLaunching(Application&) override { (void)!write(m_fd, "L", 1); }
    void applicationWillTerminate(Application&) override
    {
        // The delegate runs on the main thread, inside the run loop.
        const char byte = foundation::RunLoop::main().isCurrentThread() ? 'T' : 'X';
        (void)!write(m_fd, &byte, 1);
    }

private:
    int m_fd;
};

} // namespace

TEST_F(ApplicationTest, SigtermRunsTheTerminationCallbackOnTheMainThreadThenExits)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        foundation::RunLoop::resetMain(std::make_shared<foundation::SystemClock>());
        auto& application = Application::sharedApplication();
        application.setDelegate(std::make_shared<PipeDelegate>(fds[1]));
        if (!Application::installSignalHandlers())
            _exit(2);
        application.finishLaunching();
        // Waits for the signal in real time; reaching the end means it never came.
        foundation::RunLoop::main().runFor(30);
        _exit(3);
    }
    close(fds[1]);
    char byte = 0;
    ASSERT_EQ(read(fds[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'L');
    ASSERT_EQ(kill(child, SIGTERM), 0);
    ASSERT_EQ(read(fds[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'T');
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Nothing more was written: the callback ran once.
    EXPECT_EQ(read(fds[0], &byte, 1), 0);
    close(fds[0]);
}

TEST_F(ApplicationTest, TerminationAndLaunchHappenOnce)
{
    struct Counter : ApplicationDelegate {
        int launched = 0, terminated = 0;
        void applicationDidFinishLaunching(Application&) override { ++launched; }
        void applicationWillTerminate(Application&) override { ++terminated; }
    };
    auto counter = std::make_shared<Counter>();
    auto& application = Application::sharedApplication();
    application.setDelegate(counter);
    int ended = 0;
    application.setTerminationHandler([&] { ++ended; });
    application.finishLaunching();
    application.finishLaunching();
    application.terminate();
    application.terminate();
    EXPECT_EQ(counter->launched, 1);
    EXPECT_EQ(counter->terminated, 1);
    EXPECT_EQ(ended, 1);
}

TEST_F(ApplicationTest, BadgeAndAddressesGoThroughTheHostHooks)
{
    auto& application = Application::sharedApplication();
    std::vector<int> badges;
    application.setIconBadgeHandler([&](int n) { badges.push_back(n); });
    application.setApplicationIconBadgeNumber(2);
    application.setApplicationIconBadgeNumber(2);
    application.setApplicationIconBadgeNumber(-4);
    EXPECT_EQ(badges, (std::vector<int> { 2, 0 }));
    EXPECT_EQ(application.applicationIconBadgeNumber(), 0);

    // Without a handler the request is only recorded; other schemes are refused.
    EXPECT_FALSE(application.openURL("https://www.example.org/"));
    foundation::LogCapture capture;
    EXPECT_FALSE(application.openURL("file:///etc/passwd"));
    EXPECT_FALSE(application.openURL("https://example.org/\nrm"));
    EXPECT_EQ(application.openedURLs(), (std::vector<std::string> { "https://www.example.org/" }));
    EXPECT_TRUE(capture.contains("Refused to open the address file:///etc/passwd"));
    application.setOpenURLHandler([](const std::string&) { return true; });
    EXPECT_TRUE(application.openURL("mailto:someone@example.org"));
}
