// Memos whose sound cannot be played: a file gone, cut short, of another kind or no file at all
// where it should be (a folder, a named pipe). Playing one says so, naming the memo, in the
// playback screen and in the studio; the window never waits and stays usable.
#include "PlaybackTest.h"

#include "foundation/Log.h"
#include "foundation/StringFormat.h"
#include "ui/AlertView.h"

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace e2e;

namespace {

class DamagedMemoTest : public PlaybackTest {
protected:
    static std::string bytesOf(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void setBytes(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    /// The file's bytes with one byte of its "desc" chunk's body changed.
    static void setDescByte(const std::string& path, std::size_t offset, char value)
    {
        std::string bytes = bytesOf(path);
        bytes[bytes.find("desc") + 12 + offset] = value;
        setBytes(path, bytes);
    }

    /// Taps play/pause and checks that an alert names the memo and that the screen shows it
    /// does not play; then dismisses the alert.
    void expectCannotPlay(const std::string& damage, const std::string& title)
    {
        foundation::LogCapture log;
        tap(*screen().playPauseButton());
        advance(0.3);
        ui::AlertView* alert = shownAlert();
        ASSERT_TRUE(alert) << damage;
        EXPECT_EQ(alert->title(), text("Playback Failed Prompt Title")) << damage;
        EXPECT_EQ(alert->message(), foundation::formatWithString(text("Playback Failed Prompt"), title)) << damage;
        EXPECT_TRUE(log.containsFragment("Cannot play the audio file")) << damage;
        EXPECT_FALSE(player().isRunning()) << damage;
        EXPECT_EQ(playPauseImage(), image("play.png")) << damage;
        tap(*alert->buttons()[0]);
        advance(0.5);
        EXPECT_EQ(shownAlert(), nullptr) << damage;
    }
};

} // namespace

TEST_F(DamagedMemoTest, PlayingADamagedMemoSaysSoAndTheScreenStaysUsable)
{
    launchWithLists();
    auto good = makeFiledRecording("Good", 0.5);
    const std::string outside = rootDirectory() + "/elsewhere";
    ASSERT_TRUE(foundation::createDirectory(outside));

    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> damages = {
        { "missing", [](const std::string& path) { ::unlink(path.c_str()); } },
        { "zero bytes", [](const std::string& path) { setBytes(path, ""); } },
        { "cut inside the header", [](const std::string& path) { setBytes(path, bytesOf(path).substr(0, 20)); } },
        { "no data chunk", [](const std::string& path) { setBytes(path, bytesOf(path).substr(0, 52)); } },
        { "not a CAF file", [](const std::string& path) { setBytes(path, "Shopping list: milk, bread\n"); } },
        { "garbage", [](const std::string& path) {
             std::string noise(6000, '\0');
             for (std::size_t i = 0; i < noise.size(); ++i)
                 noise[i] = char((i * 2654435761u) >> 13);
             setBytes(path, noise);
         } },
        { "a compressed format", [](const std::string& path) {
             std::string bytes = bytesOf(path);
             bytes.replace(bytes.find("lpcm"), 4, "aac ");
             setBytes(path, bytes);
         } },
        { "no channels", [](const std::string& path) { setDescByte(path, 27, 0); } },
        { "nine channels", [](const std::string& path) { setDescByte(path, 27, 9); } },
        { "a sample rate of 0", [](const std::string& path) {
             std::string bytes = bytesOf(path);
             bytes.replace(bytes.find("desc") + 12, 8, std::string(8, '\0'));
             setBytes(path, bytes);
         } },
        { "a folder", [](const std::string& path) { ::unlink(path.c_str()); ::mkdir(path.c_str(), 0700); } },
        { "a named pipe", [](const std::string& path) { ::unlink(path.c_str()); ::mkfifo(path.c_str(), 0600); } },
        { "a socket", [](const std::string& path) {
             ::unlink(path.c_str());
             int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address {};
             address.sun_family = AF_UNIX;
             std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
             ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
             ::close(fd);
         } },
        { "a link to nothing", [&](const std::string& path) { ::unlink(path.c_str()); ::symlink((outside + "/gone.caf").c_str(), path.c_str()); } },
        { "a link to a pipe", [&](const std::string& path) {
             ::unlink(path.c_str());
             ::mkfifo((outside + "/pipe").c_str(), 0600);
             ::symlink((outside + "/pipe").c_str(), path.c_str());
         } },
    };
    std::vector<std::shared_ptr<Recording>> damaged;
    for (const auto& [what, damage] : damages) {
        auto recording = makeFiledRecording("Damaged: " + what, 0.5);
        damage(audioPath(recording->audioFileName()));
        damaged.push_back(recording);
    }

    open(damaged.front());
    for (std::size_t i = 0; i < damages.size(); ++i) {
        screen().setCurrentRecording(damaged[i]);
        expectCannotPlay(damages[i].first, damaged[i]->title());
        EXPECT_EQ(damaged[i]->playCount(), 0) << damages[i].first << ": it was not played";
    }

    // The screen goes on working: another memo plays, and Back goes back.
    screen().setCurrentRecording(good);
    playFor(1.0);
    EXPECT_EQ(device().speakerSamples(), soundOf(good, 0.5));
    EXPECT_EQ(shownAlert(), nullptr);
    navigationOf(*m_recordings).popViewControllerAnimated(false);
    advance(0.6);
    EXPECT_EQ(navigationOf(*m_recordings).topViewController().get(), m_recordings.get());
}

TEST_F(DamagedMemoTest, TheStudiosPlayerSaysSoTooAndGoesBackToTheSmallButtons)
{
    launch();
    auto recording = makeRecording(1.0);
    ::unlink(audioPath(recording->audioFileName()).c_str());
    ::mkfifo(audioPath(recording->audioFileName()).c_str(), 0600);

    foundation::LogCapture log;
    tap(*studio().smallPlayButton());
    ASSERT_TRUE(runUntil([&] { return shownAlert() != nullptr; }, 3.0));
    EXPECT_EQ(shownAlert()->message(), foundation::formatWithString(text("Playback Failed Prompt"), recording->title()));
    EXPECT_TRUE(log.containsFragment("something other than a file stands at its path"));
    EXPECT_TRUE(runUntilState(StudioStateRecorded, 3.0));
    tap(*shownAlert()->buttons()[0]);
    advance(0.5);

    // Recording again makes a file of its own there and plays it.
    ::unlink(audioPath(recording->audioFileName()).c_str());
    tap(*studio().smallRecordButton());
    ASSERT_TRUE(recordUntil(0.5));
    stopRecording();
    tap(*studio().smallPlayButton());
    ASSERT_TRUE(runUntilState(StudioStatePlaying, 3.0));
    EXPECT_EQ(shownAlert(), nullptr);
}
