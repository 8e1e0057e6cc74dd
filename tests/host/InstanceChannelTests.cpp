#include "host/InstanceChannel.h"

#include "TestEnvironment.h"

#include "foundation/FileManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace host;

namespace {

class InstanceChannelTest : public testsupport::TestEnvironment {
protected:
    // Asks for a raise on a thread of its own, answering on this one as the host's loop would.
    bool raiseThrough(InstanceChannel& channel, std::string* error = nullptr)
    {
        auto request = std::async(std::launch::async, [this, error] { return requestRaise(path(), 5, error); });
        while (request.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            channel.handlePendingRequests();
        return request.get();
    }
    std::string path() const { return instanceSocketPath(foundation::documentsDirectory()); }
};

} // namespace

TEST_F(InstanceChannelTest, ASecondStartRaisesTheRunningWindow)
{
    int raised = 0;
    std::string error;
    auto channel = InstanceChannel::listen(path(), [&] { ++raised; return true; }, &error);
    ASSERT_TRUE(channel) << error;
    EXPECT_EQ(path(), foundation::documentsDirectory() + "/parlivodb.sql.socket");
    struct stat info;
    ASSERT_EQ(stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u) << "no one else may ask";

    EXPECT_TRUE(raiseThrough(*channel));
    EXPECT_TRUE(raiseThrough(*channel));
    EXPECT_EQ(raised, 2);
    // Nothing waiting: returns at once.
    channel->handlePendingRequests();
    EXPECT_EQ(raised, 2);

    channel.reset();
    EXPECT_FALSE(access(path().c_str(), F_OK) == 0) << "the socket goes with the program";
}

TEST_F(InstanceChannelTest, ARunningProgramWithoutAWindowSaysSo)
{
    // Its window gone (destroyed from outside, the program ending): it says it raised nothing.
    auto channel = InstanceChannel::listen(path(), [] { return false; });
    ASSERT_TRUE(channel);
    std::string error;
    EXPECT_FALSE(raiseThrough(*channel, &error));
    EXPECT_NE(error.find("no window to show"), std::string::npos) << error;
}

TEST_F(InstanceChannelTest, NothingListeningIsSaidInWords)
{
    std::string error;
    EXPECT_FALSE(requestRaise(path(), 1, &error));
    EXPECT_NE(error.find("does not listen"), std::string::npos) << error;
    // A file left where the socket should be: nobody accepts on it.
    std::ofstream(path()) << "stale";
    error.clear();
    EXPECT_FALSE(requestRaise(path(), 1, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(InstanceChannelTest, LeftoverSocketFileIsReplacedAndOddClientsAreNotRaised)
{
    std::ofstream(path()) << "left by a crash";
    int raised = 0;
    auto channel = InstanceChannel::listen(path(), [&] { ++raised; return true; });
    ASSERT_TRUE(channel);

    // A client that says something else, and one that hangs up without a word.
    for (const char* words : { "quit\n", "" }) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path().c_str());
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        if (*words) {
            ASSERT_GT(write(fd, words, std::strlen(words)), 0);
        }
        shutdown(fd, SHUT_WR);
        channel->handlePendingRequests();
        char answer[16];
        EXPECT_EQ(read(fd, answer, sizeof answer), 0) << words;
        close(fd);
    }
    EXPECT_EQ(raised, 0);
    EXPECT_TRUE(raiseThrough(*channel));
    EXPECT_EQ(raised, 1);
}

TEST_F(InstanceChannelTest, DeepDocumentsDirectoryGetsASocketInTheRuntimeDirectory)
{
    const std::string deep = documentsPath() + "/" + std::string(120, 'd');
    const std::string path = instanceSocketPath(deep);
    EXPECT_LT(path.size(), sizeof(sockaddr_un::sun_path));
    EXPECT_EQ(path, instanceSocketPath(deep)) << "the same for every process";
    EXPECT_NE(path, instanceSocketPath(deep + "x"));
    EXPECT_EQ(path.rfind(".socket"), path.size() - 7);
}
