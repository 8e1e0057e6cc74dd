#include "StudioTest.h"

#include "DecibelMeterView.h"
#include "HelperMethods.h"

#include "foundation/FileManager.h"
#include "ui/TabBar.h"
#include "ui/TabBarController.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cmath>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

// Explores the studio as a state machine. From launch (a plain one, and one that offers an
// interrupted recording), every event is applied in every state reached: each tap at the
// place of its control, the launch alert's answers, the title's return key, the start and the
// end of an interruption, and waits of several lengths, so that each event also lands at
// several moments of every turn and of the beep (the manual clock makes the moments exact).
// After every step the invariants are checked; from every state reached a short sequence of
// taps must bring the studio back to ready.
//
// The walk goes on from the state it is in while that state has events not yet tried, and
// starts over (replaying the way it first came to a state) only when it must, so each pair
// of state and event costs about one step.

using namespace e2e;

namespace {

enum Action : int {
    TapFront,
    TapSmallRecord,
    TapSmallPlay,
    TapSmallDelete,
    TapSmallSave,
    TapRecordPause,
    TapPlayPause,
    Seek,
    TitleReturn,
    AlertYes,
    AlertNo,
    InterruptionBegins,
    InterruptionEnds,
    WaitShort,
    WaitTurn,
    WaitLong,
    ActionCount,
};

constexpr const char* kActionNames[ActionCount] = { "tap front", "tap small record", "tap small play", "tap small delete",
    "tap small save", "tap record pause", "tap play pause", "seek", "title return", "alert yes", "alert no", "interruption begins",
    "interruption ends", "wait 0.15", "wait 0.6", "wait 2" };

enum Root : int {
    PlainLaunch,
    LaunchOfferingARecording,
};

// Deep enough for the longest of the reported sequences from ready: record, wait, stop, wait,
// save, enter the title, wait, and an interruption during the saved memo's way out.
constexpr std::size_t kMaxDepth = 8;

/// A state of the studio as the walk tells them apart, with the way the walk first came
/// there: from the launch, or from ready at rest.
struct Node {
    std::string key;
    Root root;
    std::vector<Action> path;
    bool fromLaunch { true };
    std::set<Action> tried;
    /// How often the way there led elsewhere.
    int missed { 0 };
    bool homeChecked { false };
};

class StudioExplorerTest : public StudioTest {
protected:
    // Running the application

    /// A fresh world and application, launched from root; the carousel is still filling.
    void start(Root root)
    {
        TearDown();
        SetUp();
        m_finished.clear();
        m_filed.clear();
        m_lastCurrentKey = 0;
        if (root == LaunchOfferingARecording)
            leaveAnInterruptedRecording();
        launch(0.2);
        openDatabase();
        m_lastActionTime = now();
        m_frontCentre = centreOf(*studio().recordButton());
        checkInvariants();
    }

    double now() { return double(runLoop().clock().now()) * 1e-9; }

    /// What a first run leaves when it ended while an interruption held its recording: the
    /// memo filed with half a second of the tone, and its key remembered.
    void leaveAnInterruptedRecording()
    {
        auto memo = RecordingLibrary::sharedLibrary().newRecording();
        ASSERT_TRUE(memo);
        std::shared_ptr<audio::File> file;
        ASSERT_EQ(audio::File::create(audioPath(memo->audioFileName()), audio::kFileCAFType, audio::linearPCM16(22050, 1),
                      audio::kFileFlagsEraseFile, &file),
            audio::noErr);
        auto samples = tone(11025);
        auto packets = static_cast<std::uint32_t>(samples.size());
        file->writePackets(false, packets * 2, nullptr, 0, &packets, samples.data());
        file->close();
        memo->setLength(0.5f);
        memo->setSize(HelperMethods::getAudioFileSizeFormattedString(memo->audioFileName()));
        memo->setLocation(1);
        memo->save();
        setSetting("interruptedRecordingKey", std::to_string(memo->key()));
        RecordingLibrary::sharedLibrary().finalize();
        RecordingLibrary::resetSharedLibrary();
    }

    /// The test's own connection to the database, kept open for the walk.
    void openDatabase()
    {
        closeDatabase();
        ASSERT_EQ(sqlite3_open_v2((documentsPath() + "/parlivodb.sql").c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_prepare_v2(m_db, "SELECT pk, title, audioFileName, size, length, createdDate, location FROM recordings", -1,
                      &m_select, nullptr),
            SQLITE_OK);
    }
    void closeDatabase()
    {
        sqlite3_finalize(m_select);
        sqlite3_close(m_db);
        m_select = nullptr;
        m_db = nullptr;
    }
    void SetUp() override
    {
        // The walk writes the settings and the database thousands of times, each write flushed
        // to disk: on a memory file system the flushes cost nothing.
        if (access("/dev/shm", W_OK) == 0)
            setenv("TMPDIR", "/dev/shm", 1);
        StudioTest::SetUp();
    }
    void TearDown() override
    {
        closeDatabase();
        StudioTest::TearDown();
    }

    /// Every memo's row, through the kept connection.
    std::vector<Row> memos()
    {
        std::vector<Row> result;
        auto text = [&](int column) {
            const unsigned char* value = sqlite3_column_text(m_select, column);
            return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
        };
        while (sqlite3_step(m_select) == SQLITE_ROW) {
            Row memo;
            memo.key = sqlite3_column_int(m_select, 0);
            memo.title = text(1);
            memo.audioFileName = text(2);
            memo.size = text(3);
            memo.length = sqlite3_column_double(m_select, 4);
            memo.createdDate = sqlite3_column_double(m_select, 5);
            memo.location = sqlite3_column_int(m_select, 6);
            result.push_back(memo);
        }
        sqlite3_reset(m_select);
        return result;
    }

    /// Taps a panel's button unless its panel has slid down behind the tab bar: a finger
    /// there would choose another tab, which is outside the studio's walk. Seeking likewise.
    bool tapUnlessUnderTheTabBar(const ui::View& button)
    {
        if (underTheTabBar(centreOf(button)))
            return false;
        tap(button);
        return true;
    }
    bool underTheTabBar(gfx::Point point)
    {
        auto& bar = *delegate().tabBarController()->tabBar();
        return bar.convertRectToView(bar.bounds(), nullptr).containsPoint(point);
    }

    /// Applies action; false when it does not apply to the screen as it is (no alert, no
    /// title entry), in which case nothing was done.
    bool apply(Action action)
    {
        auto& studio = this->studio();
        const gfx::Point front = m_frontCentre;
        auto tapAtOffset = [&](float dx, float dy) { tapAt({ front.x + dx, front.y + dy }); };
        switch (action) {
        case TapFront:
            tapAt(front);
            break;
        case TapSmallRecord:
            tapAtOffset(-41, -41);
            break;
        case TapSmallPlay:
            tapAtOffset(41, -41);
            break;
        case TapSmallDelete:
            tapAtOffset(-41, 41);
            break;
        case TapSmallSave:
            tapAtOffset(41, 41);
            break;
        case TapRecordPause:
            return tapUnlessUnderTheTabBar(*studio.recordPauseButton());
        case TapPlayPause:
            return tapUnlessUnderTheTabBar(*studio.playPauseButton());
        case Seek: {
            auto& slider = *studio.playbackSlider();
            if (underTheTabBar(slider.convertPointToView(slider.thumbRectForBounds(slider.bounds(), slider.value()).center(), nullptr)))
                return false;
            seek();
            break;
        }
        case TitleReturn:
            if (!studio.titleTextField()->isFirstResponder())
                return false;
            window().sendText("Memo");
            tapAt(returnKey());
            break;
        case AlertYes:
        case AlertNo: {
            ui::AlertView* alert = shownAlert();
            const int index = action == AlertYes ? 1 : 0;
            if (!alert || alert->numberOfButtons() <= index)
                return false;
            tap(*alert->buttons()[static_cast<std::size_t>(index)]);
            break;
        }
        case InterruptionBegins:
            interrupt(audio::kSessionBeginInterruption);
            break;
        case InterruptionEnds:
            interrupt(audio::kSessionEndInterruption);
            break;
        case WaitShort:
            advance(0.15);
            return true;
        case WaitTurn:
            advance(0.6);
            return true;
        case WaitLong:
            advance(2.0);
            return true;
        case ActionCount:
            return false;
        }
        m_lastActionTime = now();
        return true;
    }

    /// A drag of the slider to its middle. While playback runs unpaused, playback must go on
    /// from there: a place marked while paused must not make it stay paused.
    void seek()
    {
        auto& studio = this->studio();
        auto& slider = *studio.playbackSlider();
        const bool playing = studio.state() == StudioStatePlaying && studio.player() && studio.player()->isRunning()
            && !studio.player()->paused() && studio.playbackSlider()->isEnabled();
        const float to = slider.maximumValue() * 0.5f;
        dragSlider(slider, to);
        // The restarted queue reports its start through the run loop.
        runLoop().runPending();
        if (playing) {
            check(!studio.player()->paused(), "a seek while playing left playback paused");
            check(std::abs(slider.value() - to) < 0.1f, "the slider did not take the new place");
        }
    }

    // What the walk tells states apart by

    std::string key()
    {
        auto& studio = this->studio();
        const int state = studio.state();
        const bool beep = state == StudioStateRecording && studio.recordingRequested() && !studio.interrupted();
        const bool moving = studio.turning() || beep || state == StudioStateInitial || state == StudioStateRecordRequested
            || state == StudioStateRecordStopped || state == StudioStatePlayRequested || state == StudioStatePlayStopped
            || state == StudioStateFinished;
        // Early in a turn or the beep, late, or after its usual end.
        const int moment = moving ? std::min(2, int((now() - m_lastActionTime) / 0.3)) : -1;
        const auto& recorder = studio.recorder();
        const auto& player = studio.player();
        ui::AlertView* alert = shownAlert();
        std::ostringstream out;
        out << "state " << state << " moment " << moment << (studio.turning() ? " turning" : "")
            << (studio.carousel()->getPoppedView() ? " popped" : "") << " recorder "
            << (!recorder ? "none" : recorder->paused() ? "paused" : recorder->isRunning() ? "running" : "idle") << " player "
            << (!player ? "none" : !player->isRunning() ? "idle" : player->paused() ? "paused" : "playing")
            << (studio.interrupted() ? " interrupted" : "") << (studio.recordingRequested() ? " requested" : "")
            << (alert ? " alert " + std::to_string(alert->numberOfButtons()) : "") << (studio.enteringTitle() ? " title" : "")
            << (studio.playbackPositionAdjustedWhilePaused() ? " marked" : "")
            << (studio.currentRecording() && studio.currentRecording()->length() > 0 ? " sound" : "");
        return out.str();
    }

    // Invariants

    void check(bool holds, const std::string& what)
    {
        if (holds)
            return;
        ++m_failures;
        if (m_failures <= 10)
            ADD_FAILURE() << what << "\n  after: " << describe(m_path) << "\n  in: " << key();
    }

    std::string describe(const std::vector<Action>& path) const
    {
        std::string text = !m_fromLaunch ? "ready" : m_root == PlainLaunch ? "launch" : "launch offering a recording";
        for (auto action : path)
            text += ", " + std::string(kActionNames[action]);
        return text;
    }

    /// What a memo's file looks like from outside: its size and the time of its last write.
    std::pair<std::uintmax_t, std::filesystem::file_time_type> stamp(const std::string& audioFileName)
    {
        std::error_code ignored;
        const std::string path = audioPath(audioFileName);
        return { std::filesystem::file_size(path, ignored), std::filesystem::last_write_time(path, ignored) };
    }

    /// A filed memo describes its file: length and size text.
    void checkDescribesItsFile(const Row& stored)
    {
        const auto contents = testsupport::readCAF(audioPath(stored.audioFileName));
        const double seconds = contents ? double(contents->samples.size()) / 22050 : 0;
        check(std::abs(stored.length - seconds) < 1e-4, "a filed memo's length is not its file's");
        check(stored.size == HelperMethods::formattedSize(foundation::fileSize(audioPath(stored.audioFileName)).value_or(0)),
            "a filed memo's size is not its file's");
    }

    /// After every step; the files of filed memos are looked at when the walk goes home.
    void checkInvariants(bool withFiles = false)
    {
        auto& studio = this->studio();
        const int state = studio.state();
        const bool recorderRuns = studio.recorder() && studio.recorder()->isRunning();
        check(!recorderRuns || state == StudioStateRecording, "a recorder runs outside state 3");
        check(!(studio.player() && studio.player()->isRunning()) || state == StudioStatePlaying, "a player runs outside state 7");
        const bool recordPanelShown = state == StudioStateRecordRequested || state == StudioStateRecording;
        check(!studio.recordTimerRunning() || recordPanelShown, "the record timer runs without the record panel");
        check(!studio.decibelMeter()->isRunning() || recordPanelShown, "the meter runs without the record panel");
        check(!studio.playbackTimerRunning() || state == StudioStatePlaying, "the playback timer runs outside playback");

        const int current = studio.currentRecording() ? studio.currentRecording()->key() : 0;
        const auto stored = memos();
        if (current != m_lastCurrentKey) {
            // The memo that left the studio filed (saved or trashed) must never come back.
            for (const auto& left : stored)
                if (left.key == m_lastCurrentKey && (left.location == 1 || left.location == 2))
                    m_finished.insert(left.key);
            m_lastCurrentKey = current;
        }
        check(!m_finished.count(current), "a saved or deleted recording is the studio's current one again");
        for (const auto& memo : stored) {
            if (memo.key == current || (memo.location != 1 && memo.location != 2)) {
                m_filed.erase(memo.key);
                continue;
            }
            // A filed memo out of the studio's hands describes its file when first seen, and
            // neither its row nor its file changes afterwards.
            auto it = m_filed.find(memo.key);
            if (it == m_filed.end()) {
                checkDescribesItsFile(memo);
                m_filed[memo.key] = { memo, stamp(memo.audioFileName) };
                continue;
            }
            const Row& then = it->second.row;
            check(memo.location == then.location && memo.length == then.length && memo.size == then.size && memo.title == then.title
                    && memo.createdDate == then.createdDate,
                "a filed memo's row changed: " + std::to_string(memo.key));
            if (withFiles)
                check(stamp(memo.audioFileName) == it->second.file, "a filed memo's file changed: " + std::to_string(memo.key));
        }
        for (int key : m_finished)
            check(std::any_of(stored.begin(), stored.end(), [&](const Row& memo) { return memo.key == key; }),
                "a saved or deleted memo's row went");
    }

    /// Taps only, as a user would, until the studio is ready and at rest.
    bool tapBackToReady()
    {
        auto& studio = this->studio();
        for (int step = 0; step < 20; ++step) {
            checkInvariants();
            const int state = studio.state();
            if (ui::AlertView* alert = shownAlert())
                tap(*alert->buttons()[0]);
            else if (studio.titleTextField()->isFirstResponder()) {
                tapAt(returnKey());
                advance(0.4);
            } else if (state == StudioStateReady && !studio.turning())
                break;
            else if (state == StudioStateRecording || state == StudioStatePlaying)
                tapAt(m_frontCentre);
            else if (state == StudioStateRecorded)
                tapAt({ m_frontCentre.x - 41, m_frontCentre.y + 41 });
            advance(0.5);
        }
        advance(1.0);
        checkInvariants(true);
        return studio.state() == StudioStateReady && !(studio.recorder() && studio.recorder()->isRunning())
            && frontView() == studio.recordButton() && !studio.recordTimerRunning() && !studio.playbackTimerRunning();
    }

    struct Filed {
        Row row;
        std::pair<std::uintmax_t, std::filesystem::file_time_type> file;
    };

    Root m_root { PlainLaunch };
    /// Whether m_path starts at the launch (else at ready, at rest).
    bool m_fromLaunch { true };
    std::vector<Action> m_path;
    double m_lastActionTime { 0 };
    gfx::Point m_frontCentre;
    /// Memos that left the studio saved or trashed.
    std::set<int> m_finished;
    /// Filed memos out of the studio's hands, as first seen.
    std::map<int, Filed> m_filed;
    int m_lastCurrentKey { 0 };
    int m_failures { 0 };
    sqlite3* m_db { nullptr };
    sqlite3_stmt* m_select { nullptr };
};

} // namespace

TEST_F(StudioExplorerTest, EveryEventInEveryStateAtSeveralMoments)
{
    const auto began = std::chrono::steady_clock::now();
    std::vector<Node> nodes;
    std::map<std::string, std::size_t> index;
    std::size_t steps = 0, launches = 0, homes = 0;

    auto enter = [&](Root root) {
        const std::string k = key();
        auto [it, added] = index.emplace(k, nodes.size());
        if (added)
            nodes.push_back({ k, root, m_path, m_fromLaunch, {}, 0 });
        Node& node = nodes[it->second];
        // Keep the cheapest known way: from ready rather than from a launch, and short.
        if ((node.fromLaunch && !m_fromLaunch) || (node.fromLaunch == m_fromLaunch && m_path.size() < node.path.size())) {
            node.path = m_path;
            node.fromLaunch = m_fromLaunch;
        }
        return it->second;
    };
    auto open = [&](const Node& node) { return node.missed < 3 && node.path.size() < kMaxDepth && node.tried.size() < ActionCount; };
    // Taps home from wherever the walk is; then the interruption, if any, ends, so that every
    // way from ready starts alike.
    double homeSeconds = 0, launchSeconds = 0;
    auto since = [](std::chrono::steady_clock::time_point t) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    };
    auto goHome = [&]() {
        const auto t = std::chrono::steady_clock::now();
        ++homes;
        const bool home = tapBackToReady();
        check(home, "taps do not bring the studio back to ready from: " + key());
        if (studio().interrupted())
            interrupt(audio::kSessionEndInterruption);
        advance(1.0);
        m_path.clear();
        m_fromLaunch = false;
        homeSeconds += since(t);
        return home;
    };
    auto launchFrom = [&](Root root) {
        const auto t = std::chrono::steady_clock::now();
        m_root = root;
        m_path.clear();
        m_fromLaunch = true;
        start(root);
        ++launches;
        launchSeconds += since(t);
    };

    for (Root root : { PlainLaunch, LaunchOfferingARecording }) {
        launchFrom(root);
        std::size_t at = enter(root);
        while (m_failures < 10) {
            Node& node = nodes[at];
            std::optional<Action> next;
            if (m_path.size() < kMaxDepth)
                for (int a = 0; a < ActionCount && !next; ++a)
                    if (!node.tried.count(Action(a)))
                        next = Action(a);
            if (next) {
                node.tried.insert(*next);
                if (!apply(*next))
                    continue;
                ++steps;
                m_path.push_back(*next);
                checkInvariants();
                at = enter(root);
                continue;
            }

            // Nothing left to try from here: taps home (the check that every state has a way
            // back), then on to a state with events left, the way the walk first came there.
            node.homeChecked = true;
            if (!goHome())
                launchFrom(root);
            at = enter(root);
            // Ways from ready first: they need no launch.
            std::optional<std::size_t> target;
            for (bool fromLaunchToo : { false, true })
                for (std::size_t n = 0; n < nodes.size() && !target; ++n)
                    if (nodes[n].root == root && open(nodes[n]) && (fromLaunchToo || !nodes[n].fromLaunch))
                        target = n;
            if (!target)
                break;
            Node& goal = nodes[*target];
            if (goal.fromLaunch)
                launchFrom(root);
            for (auto action : goal.path) {
                apply(action);
                m_path.push_back(action);
                checkInvariants();
            }
            // The key leaves out what the walk cannot steer (the clock, the number of memos);
            // a way that leads elsewhere is explored from where it led.
            at = enter(root);
            if (at != *target)
                ++nodes[*target].missed;
        }
    }

    // The states from which the walk moved on before the taps home were tried there.
    for (std::size_t n = 0; n < nodes.size() && m_failures < 10; ++n) {
        Node& node = nodes[n];
        if (node.homeChecked)
            continue;
        if (node.fromLaunch)
            launchFrom(node.root);
        else if (!goHome())
            launchFrom(node.root);
        for (auto action : node.path) {
            apply(action);
            m_path.push_back(action);
        }
        if (key() == node.key)
            node.homeChecked = true;
        goHome();
    }

    std::size_t unchecked = 0, exhausted = 0;
    std::set<int> studioStates;
    for (const auto& node : nodes) {
        studioStates.insert(std::stoi(node.key.substr(6)));
        unchecked += !node.homeChecked;
        exhausted += node.tried.size() == ActionCount;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::cout << "explored " << nodes.size() << " states (" << exhausted << " with every event tried; studio states "
              << studioStates.size() << " of 10), " << steps << " steps, " << launches << " launches, " << homes
              << " ways home tapped (" << unchecked << " states not reproduced for it), in " << seconds << " s (launches " << launchSeconds << " s, ways home " << homeSeconds << " s)\n";
    EXPECT_EQ(studioStates.size(), 10u) << "every studio state is reached";
}
