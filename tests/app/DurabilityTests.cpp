#include "StoreFixture.h"

#include <csignal>
#include <cstdio>
#include <map>
#include <sstream>
#include <sys/wait.h>

using namespace storetest;

namespace {

class Durability : public StoreTest {
protected:
    // Child: saves without pause, a new recording every few saves, and reports through the
    // pipe each save that returned as "key playCount". Never returns.
    [[noreturn]] static void saveUntilKilled(int reportFd)
    {
        std::vector<std::shared_ptr<Recording>> recordings;
        for (int round = 1; round < 1'000'000; ++round) {
            if (round % 5 == 1) {
                auto made = RecordingLibrary::sharedLibrary().newRecording();
                if (!made)
                    _exit(2);
                made->setLocation(1);
                recordings.push_back(made);
            }
            auto& recording = recordings[static_cast<size_t>(round) % recordings.size()];
            recording->setPlayCount(round);
            recording->setComments(std::string(static_cast<size_t>(round % 97) * 40, 'c'));
            recording->save();
            if (recording->isDirty())
                _exit(3);
            char line[64];
            int n = std::snprintf(line, sizeof line, "%d %d\n", recording->key(), round);
            if (::write(reportFd, line, static_cast<size_t>(n)) != n)
                _exit(4);
        }
        _exit(5);
    }

    // Runs a child that saves until it has reported `reports` saves, kills it and returns
    // the last play count reported for each key.
    std::map<int, int> killDuringSaves(int reports)
    {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            saveUntilKilled(fds[1]);
        }
        ::close(fds[1]);
        std::map<int, int> returned;
        std::string pending;
        int received = 0;
        char buffer[4096];
        bool killed = false;
        for (;;) {
            ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            pending.append(buffer, static_cast<size_t>(n));
            size_t end;
            while ((end = pending.find('\n')) != std::string::npos) {
                std::istringstream line(pending.substr(0, end));
                pending.erase(0, end + 1);
                int key = 0, playCount = 0;
                line >> key >> playCount;
                returned[key] = playCount;
                ++received;
            }
            if (!killed && received >= reports) {
                ::kill(child, SIGKILL);
                killed = true;
            }
        }
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "child status " << status;
        return returned;
    }
};

} // namespace

TEST_F(Durability, KilledDuringABurstOfSavesKeepsEveryReturnedSave)
{
    std::map<int, int> returned;
    for (int reports : { 40, 113, 257 }) {
        for (auto [key, playCount] : killDuringSaves(reports))
            returned[key] = playCount;
        ASSERT_FALSE(returned.empty());

        EXPECT_EQ(query("PRAGMA integrity_check"), "ok");
        for (auto [key, playCount] : returned) {
            auto stored = query("SELECT playCount FROM recordings WHERE location=1 AND pk=" + std::to_string(key));
            ASSERT_TRUE(stored) << "recording " << key << " lost";
            // A later save may have finished without being reported, never an earlier one.
            EXPECT_GE(std::stoi(*stored), playCount) << "recording " << key;
        }
        closeRaw();
    }

    // The library opens what the killed runs left.
    EXPECT_GE(library().recordings().size(), returned.size());
    for (auto [key, playCount] : returned) {
        auto recording = recordingWithKey(key);
        ASSERT_TRUE(recording);
        EXPECT_GE(recording->playCount(), playCount);
    }
}
