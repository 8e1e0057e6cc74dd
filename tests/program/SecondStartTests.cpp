// A second start on the documents of a running program, as from the launcher: the test holds
// the documents' lock and answers on the socket beside it as the running program would.

#include "ProgramRunner.h"
#include "TestEnvironment.h"

#include "foundation/FileManager.h"
#include "foundation/InstanceLock.h"

#include <cstring>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class SecondStartTest : public testsupport::TestEnvironment {
protected:
    std::string documents() { return foundation::documentsDirectory(); }
    testsupport::ProgramResult startAgain(const std::string& extra = {})
    {
        return testsupport::runParlivo("--documents " + documents() + extra, testsupport::Collect::StandardError);
    }
};

// Listens where the running program would and answers one request; what it was asked.
std::future<std::string> answerOnce(const std::string& path, const std::string& answer)
{
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd, 1), 0);
    return std::async(std::launch::async, [fd, answer] {
        int client = accept(fd, nullptr, nullptr);
        char buffer[32] = {};
        ssize_t n = read(client, buffer, sizeof buffer - 1);
        if (!answer.empty())
            (void)!write(client, answer.data(), answer.size());
        close(client);
        close(fd);
        return std::string(buffer, n > 0 ? size_t(n) : 0);
    });
}

} // namespace

TEST_F(SecondStartTest, BringsTheRunningWindowToTheFront)
{
    auto running = foundation::InstanceLock::acquire(documents() + "/parlivodb.sql.lock");
    ASSERT_TRUE(running);
    auto asked = answerOnce(documents() + "/parlivodb.sql.socket", "raised\n");
    auto second = startAgain();
    EXPECT_EQ(asked.get(), "raise\n");
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_NE(second.output.find("its window was brought to the front"), std::string::npos) << second.output;
    EXPECT_FALSE(foundation::fileExists(documents() + "/parlivodb.sql")) << "the second start touched nothing";
}

TEST_F(SecondStartTest, SaysWhyWhenTheRunningOneCannotBeRaised)
{
    auto running = foundation::InstanceLock::acquire(documents() + "/parlivodb.sql.lock");
    ASSERT_TRUE(running);
    // Nobody listens (a program still starting, or one without a window).
    auto second = startAgain();
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.output.find("could not be brought to the front"), std::string::npos) << second.output;
    EXPECT_NE(second.output.find("this start changes nothing"), std::string::npos) << second.output;

    // One that listens but answers something else is not taken for raised.
    auto asked = answerOnce(documents() + "/parlivodb.sql.socket", "busy\n");
    second = startAgain();
    asked.get();
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.output.find("did not answer"), std::string::npos) << second.output;
    EXPECT_FALSE(foundation::fileExists(documents() + "/parlivodb.sql"));
}

TEST_F(SecondStartTest, AFolderThatCannotBeUsedIsNotTakenForAnotherProgram)
{
    // A file where the documents' folder would have to be made.
    ASSERT_TRUE(foundation::writeFileAtomically(rootDirectory() + "/blocked", "x"));
    auto start = testsupport::runParlivo("--documents " + rootDirectory() + "/blocked/Documents", testsupport::Collect::StandardError);
    EXPECT_EQ(start.status, 1);
    EXPECT_EQ(start.output.find("already running"), std::string::npos) << start.output;
    EXPECT_NE(start.output.find("cannot be used (Not a directory); this start changes nothing."), std::string::npos) << start.output;
}
