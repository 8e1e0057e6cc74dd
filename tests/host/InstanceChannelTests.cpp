#include "host/InstanceChannel.h"

#include "TestEnvironment.h"

#include "foundation/FileManager.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace host;

namespace {

class InstanceChannelTest : public testsupport::TestEnvironment {
protected:
    // Asks for a raise on a thread of its own, answering on this one as the host's loop would.
    bool raiseThrough(InstanceChannel& channel, std::string* error = nullptr, bool preferences = false)
    {
        auto request = std::async(std::launch::async, [this, error, preferences] { return requestRaise(path(), 5, error, preferences); });
        while (request.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            channel.handlePendingRequests();
        return request.get();
    }
    std::string path() const { return instanceSocketPath(foundation::documentsDirectory()); }

    /// A client connected to path that has sent words (none: it says nothing).
    static int connectClient(const std::string& path, const char* words = "")
    {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        if (*words) {
            EXPECT_EQ(write(fd, words, std::strlen(words)), ssize_t(std::strlen(words)));
        }
        return fd;
    }

    /// Whether the server still holds the client's connection open (reading would wait).
    static bool stillConnected(int fd)
    {
        char byte;
        return recv(fd, &byte, 1, MSG_DONTWAIT) < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }

    static mode_t modeOf(const std::string& path)
    {
        struct stat info {};
        return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
    }

    void TearDown() override
    {
        unsetenv("XDG_RUNTIME_DIR");
        unsetenv("TMPDIR");
        testsupport::TestEnvironment::TearDown();
    }
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

TEST_F(InstanceChannelTest, AClientThatSaysNothingHoldsNoOneUpAndIsDroppedInTime)
{
    int raised = 0;
    auto channel = InstanceChannel::listen(path(), [&] {
        ++raised;
        return true;
    });
    ASSERT_TRUE(channel);
    int silent = connectClient(path());
    channel->handlePendingRequests();
    EXPECT_TRUE(stillConnected(silent)) << "the window's thread did not wait for it";
    EXPECT_EQ(channel->waitingClientCount(), 1u);

    // A real second start meanwhile is answered, and so is one whose line comes in two parts.
    EXPECT_TRUE(raiseThrough(*channel));
    int halting = connectClient(path(), "rai");
    channel->handlePendingRequests();
    ASSERT_EQ(write(halting, "se\n", 3), 3);
    advance(InstanceChannel::kClientPollInterval);
    char answer[16] = {};
    EXPECT_EQ(read(halting, answer, sizeof answer), 7);
    EXPECT_STREQ(answer, "raised\n");
    EXPECT_EQ(raised, 2);
    close(halting);

    advance(InstanceChannel::kClientTimeout);
    EXPECT_FALSE(stillConnected(silent)) << "given up once its time was over";
    EXPECT_EQ(channel->waitingClientCount(), 0u);
    close(silent);

    // Many silent clients cannot pile up.
    std::vector<int> crowd;
    for (std::size_t i = 0; i < InstanceChannel::kMaxWaitingClients + 3; ++i)
        crowd.push_back(connectClient(path()));
    channel->handlePendingRequests();
    EXPECT_EQ(channel->waitingClientCount(), InstanceChannel::kMaxWaitingClients);
    EXPECT_FALSE(stillConnected(crowd.front()));
    EXPECT_TRUE(stillConnected(crowd.back()));
    for (int fd : crowd)
        close(fd);
    EXPECT_TRUE(raiseThrough(*channel));
}

TEST_F(InstanceChannelTest, DeepDocumentsDirectoryGetsASocketInAFolderOnlyTheUserCanEnter)
{
    const std::string deep = documentsPath() + "/" + std::string(120, 'd');
    ASSERT_TRUE(foundation::createDirectory(deep));

    // The runtime directory, when it is private.
    const std::string runtime = rootDirectory() + "/runtime";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::string path = instanceSocketPath(deep);
    EXPECT_EQ(path.rfind(runtime + "/parlivo-", 0), 0u) << path;
    EXPECT_LT(path.size(), sizeof(sockaddr_un::sun_path));
    EXPECT_EQ(path, instanceSocketPath(deep)) << "the same for every process";
    EXPECT_NE(path, instanceSocketPath(deep + "x"));
    EXPECT_EQ(path.rfind(".socket"), path.size() - 7);

    // Without one (or with one others may enter), a folder of the user's own in the
    // temporary folder, never a name right in it.
    chmod(runtime.c_str(), 0755);
    const std::string temporary = rootDirectory() + "/tmp";
    ASSERT_EQ(mkdir(temporary.c_str(), 01777), 0);
    chmod(temporary.c_str(), 01777);
    setenv("TMPDIR", temporary.c_str(), 1);
    const std::string folder = temporary + "/parlivo-" + std::to_string(geteuid());
    path = instanceSocketPath(deep);
    EXPECT_EQ(path.rfind(folder + "/parlivo-", 0), 0u) << path;
    EXPECT_EQ(modeOf(folder) & 07777, 0700u);
    EXPECT_EQ(instanceSocketPath(deep), path) << "a second start finds the same socket";
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(instanceSocketPath(deep), path);

    int raised = 0;
    auto channel = InstanceChannel::listen(path, [&] {
        ++raised;
        return true;
    });
    ASSERT_TRUE(channel);
    auto request = std::async(std::launch::async, [&] { return requestRaise(path, 5); });
    while (request.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        channel->handlePendingRequests();
    EXPECT_TRUE(request.get());
    channel.reset();

    // A folder of that name that others may enter, or a link put there first, is not used.
    chmod(folder.c_str(), 0777);
    EXPECT_EQ(instanceSocketPath(deep), "");
    rmdir(folder.c_str());
    const std::string elsewhere = rootDirectory() + "/taken";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), folder.c_str()), 0);
    EXPECT_EQ(instanceSocketPath(deep), "");
    std::string error;
    EXPECT_FALSE(requestRaise(instanceSocketPath(deep), 1, &error));
    EXPECT_NE(error.find("no private folder"), std::string::npos) << error;
    EXPECT_FALSE(InstanceChannel::listen(instanceSocketPath(deep), [] { return true; }));
}

TEST_F(InstanceChannelTest, ADocumentsFolderOthersCanWriteToKeepsNoSocket)
{
    const std::string shared = documentsPath() + "/shared";
    ASSERT_TRUE(foundation::createDirectory(shared));
    chmod(shared.c_str(), 0777);
    const std::string runtime = rootDirectory() + "/runtime";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_EQ(instanceSocketPath(shared).rfind(runtime + "/", 0), 0u) << "another user could take the name beside it first";
    chmod(shared.c_str(), 0700);
    EXPECT_EQ(instanceSocketPath(shared), shared + "/parlivodb.sql.socket");
}

TEST_F(InstanceChannelTest, ASecondStartAskingForPreferencesRaisesAndShowsThem)
{
    std::vector<std::string> calls;
    bool canShow = true;
    std::string error;
    auto channel = InstanceChannel::listen(path(), [&] { calls.push_back("raise"); return true; }, &error,
        [&] { calls.push_back("preferences"); return canShow; });
    ASSERT_TRUE(channel) << error;
    EXPECT_TRUE(raiseThrough(*channel, &error, true)) << error;
    EXPECT_EQ(calls, (std::vector<std::string> { "raise", "preferences" }));
    // A plain second start does not open them.
    calls.clear();
    EXPECT_TRUE(raiseThrough(*channel));
    EXPECT_EQ(calls, std::vector<std::string> { "raise" });
    // When they cannot be shown, the second start is told so.
    canShow = false;
    EXPECT_FALSE(raiseThrough(*channel, &error, true));
    EXPECT_EQ(error, "it has no window to show");

    // A program listening without preferences says the same.
    channel.reset();
    channel = InstanceChannel::listen(path(), [] { return true; });
    ASSERT_TRUE(channel);
    EXPECT_FALSE(raiseThrough(*channel, &error, true));
}

TEST_F(InstanceChannelTest, AnImportRequestIsAnsweredWithTheMemosKeyOrTheReason)
{
    std::vector<std::string> asked;
    auto channel = InstanceChannel::listen(path(), [] { return true; });
    ASSERT_TRUE(channel);
    auto importThrough = [&](const std::string& file, std::string* error) {
        auto request = std::async(std::launch::async, [&, file, error] { return requestImport(path(), file, 5, error); });
        while (request.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            channel->handlePendingRequests();
        return request.get();
    };
    std::string error;
    // A program that does not import says so rather than leave the request unanswered.
    EXPECT_FALSE(importThrough("/tmp/a.wav", &error));
    EXPECT_EQ(error, "this program does not import files");

    channel->setImportHandler([&](const std::string& file, std::string* reason) -> std::optional<long long> {
        asked.push_back(file);
        if (file.ends_with(".wav"))
            return 42;
        *reason = "it is not a sound file\nthat can be read";
        return std::nullopt;
    });
    // A long path with spaces and non-ASCII names, well beyond the raise request's length.
    const std::string deep = "/home/ana/Aufnahmen/" + std::string(300, 'x') + "/Küche am Dienstag.wav";
    EXPECT_EQ(importThrough(deep, &error), 42) << error;
    EXPECT_FALSE(importThrough("/home/ana/notes.txt", &error));
    EXPECT_EQ(error, "it is not a sound file that can be read") << "one line";
    EXPECT_FALSE(importThrough("relative.wav", &error));
    EXPECT_EQ(error, "the path is not absolute");
    EXPECT_FALSE(importThrough("/a\nraise", &error));
    EXPECT_EQ(error, "the path cannot be sent to it");
    EXPECT_EQ(asked, (std::vector<std::string> { deep, "/home/ana/notes.txt" }));
}
