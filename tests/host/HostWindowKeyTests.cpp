// Keys as Qt delivers them to the program's window (offscreen): the media keys of a keyboard,
// which the desktop leaves to the focused window when nothing else takes them.

#include "HostWindowFixture.h"

#include "ui/Application.h"
#include "ui/Button.h"
#include "ui/MediaPlayer.h"
#include "ui/Window.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class RecordingPlayer : public ui::MediaPlayer {
public:
    ui::PlaybackStatus playbackStatus() const override { return ui::PlaybackStatus::Playing; }
    std::shared_ptr<const ui::MediaMetadata> nowPlaying() const override { return nullptr; }
    bool canPlay() const override { return true; }
    bool canPause() const override { return true; }
    void play() override { calls.push_back("play"); }
    void pause() override { calls.push_back("pause"); }
    void playPause() override { calls.push_back("play-pause"); }
    void stop() override { calls.push_back("stop"); }
    void next() override { calls.push_back("next"); }
    void previous() override { calls.push_back("previous"); }
    std::vector<std::string> calls;
};

class HostWindowKeyTest : public testsupport::HostWindowTest {
protected:
    void press(int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(hostWindow.get(), &event);
    }
};

} // namespace

TEST_F(HostWindowKeyTest, MediaKeysWorkTheMediaPlayer)
{
    // Without a player the keys do nothing, and nothing breaks.
    press(Qt::Key_MediaTogglePlayPause);
    auto player = std::make_shared<RecordingPlayer>();
    ui::Application::sharedApplication().setMediaPlayer(player);
    for (int key : { Qt::Key_MediaTogglePlayPause, Qt::Key_MediaPlay, Qt::Key_MediaPause, Qt::Key_MediaStop, Qt::Key_MediaNext,
             Qt::Key_MediaPrevious })
        press(key);
    EXPECT_EQ(player->calls, (std::vector<std::string> { "play-pause", "play", "pause", "stop", "next", "previous" }));
}

namespace {

class PreferencesDelegate : public ui::ApplicationDelegate {
public:
    bool applicationShowPreferences(ui::Application&) override
    {
        ++shown;
        return true;
    }
    int shown { 0 };
};

} // namespace

TEST_F(HostWindowKeyTest, ControlCommaAsksForThePreferencesWithOrWithoutItsText)
{
    auto delegate = std::make_shared<PreferencesDelegate>();
    ui::Application::sharedApplication().setDelegate(delegate);
    window->makeKeyAndVisible();
    // Desktops send Control+, with a comma as its text, or with none.
    for (const QString& text : { QString(","), QString() }) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Comma, Qt::ControlModifier, text);
        QCoreApplication::sendEvent(hostWindow.get(), &event);
    }
    EXPECT_EQ(delegate->shown, 2);
    // A comma alone is no shortcut.
    QKeyEvent comma(QEvent::KeyPress, Qt::Key_Comma, Qt::NoModifier, ",");
    QCoreApplication::sendEvent(hostWindow.get(), &comma);
    EXPECT_EQ(delegate->shown, 2);
    ui::Application::sharedApplication().setDelegate(nullptr);
}

TEST_F(HostWindowKeyTest, TabAndShiftTabMoveTheFocusAndSpacePressesIt)
{
    window->makeKeyAndVisible();
    int presses[2] = { 0, 0 };
    std::vector<std::shared_ptr<ui::Button>> buttons;
    for (int i = 0; i < 2; ++i) {
        auto button = std::make_shared<ui::Button>(gfx::Rect(20, 40 + 60 * float(i), 200, 40));
        button->addTargetActionForControlEvents(nullptr, [&presses, i](ui::Control&) { ++presses[i]; }, ui::ControlEventTouchUpInside);
        window->addSubview(button);
        buttons.push_back(button);
    }
    press(Qt::Key_Tab);
    EXPECT_EQ(window->keyboardFocus(), buttons[0].get());
    press(Qt::Key_Tab);
    EXPECT_EQ(window->keyboardFocus(), buttons[1].get());
    // Qt gives Shift+Tab as Backtab, with Shift held.
    QKeyEvent backtab(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
    QCoreApplication::sendEvent(hostWindow.get(), &backtab);
    EXPECT_EQ(window->keyboardFocus(), buttons[0].get());
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QCoreApplication::sendEvent(hostWindow.get(), &space);
    press(Qt::Key_Return);
    EXPECT_EQ(presses[0], 2);
    EXPECT_EQ(presses[1], 0);
}
