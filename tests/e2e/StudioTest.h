#pragma once

#include "AudioTestEnvironment.h"
#include "UiTestSupport.h"

#include "AudioPlayer.h"
#include "AudioRecorder.h"
#include "DetailsEditorViewController.h"
#include "ParlivoAppDelegate.h"
#include "Recording.h"
#include "RecordingLibrary.h"
#include "RecordingStudioViewController.h"

#include "audio/Session.h"
#include "foundation/Bundle.h"
#include "foundation/FileManager.h"
#include "foundation/UserDefaults.h"
#include "ui/AlertView.h"
#include "ui/Application.h"
#include "ui/Button.h"
#include "ui/Keyboard.h"
#include "ui/Label.h"
#include "ui/Screen.h"
#include "ui/Slider.h"
#include "ui/Window.h"
#include "graphics/Bitmap.h"
#include "graphics/Context.h"
#include "graphics/Image.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

/// One row of the recordings table, read through a connection of the test's own.
struct Row {
    int key { 0 };
    std::string title;
    std::string audioFileName;
    std::string size;
    std::string category;
    double length { 0 };
    int playCount { 0 };
    double createdDate { 0 };
    int location { 0 };
    std::string comments;
};

/// The whole application, headless and in process: the delegate launched as the program
/// launches it, the studio in its tab, the virtual microphone playing a tone and the virtual
/// speaker captured to memory, all on the manual clock. Tests touch the screen where the
/// layout puts the controls and read the database and the audio files back.
class StudioTest : public testsupport::AudioTestEnvironment {
protected:
    void SetUp() override
    {
        AudioTestEnvironment::SetUp();
        uitest::resetScreen();
        RecordingLibrary::resetSharedLibrary();
        ParlivoAppDelegate::initialize();
        device().setMicrophoneTone(440, 0.5);
    }

    void TearDown() override
    {
        // The shared editor outlives the application as in the program, where termination ends it.
        DetailsEditorViewController::sharedDetailsEditor()->finalize();
        // The delegate (window, tabs, studio) goes with the application, before the services.
        ui::Application::resetSharedApplication();
        RecordingLibrary::resetSharedLibrary();
        uitest::resetScreen();
        AudioTestEnvironment::TearDown();
    }

    void setSetting(const std::string& key, const std::string& value)
    {
        foundation::UserDefaults::standardUserDefaults().setObjectForKey(value, key);
    }
    std::string setting(const std::string& key)
    {
        return foundation::UserDefaults::standardUserDefaults().stringForKey(key).value_or("");
    }

    /// Launches the application as the program does and lets the carousel fill.
    void launch(double settle = 1.0)
    {
        auto& application = ui::Application::sharedApplication();
        application.setTerminationHandler([] { });
        application.setDelegate(std::make_shared<ParlivoAppDelegate>());
        application.finishLaunching();
        advance(settle);
    }

    /// Ends the application as the program does (the delegate's shutdown runs).
    void terminate() { ui::Application::sharedApplication().terminate(); }

    /// A later run of the program in the same documents and settings: everything in memory is
    /// dropped and made again.
    void relaunch(double settle = 1.0)
    {
        DetailsEditorViewController::sharedDetailsEditor()->finalize();
        ui::Application::resetSharedApplication();
        RecordingLibrary::resetSharedLibrary();
        uitest::resetScreen();
        audio::Session::resetShared();
        launch(settle);
    }

    ParlivoAppDelegate& delegate()
    {
        return static_cast<ParlivoAppDelegate&>(*ui::Application::sharedApplication().delegate());
    }
    RecordingStudioViewController& studio() { return *delegate().studio(); }
    ui::Window& window() { return *delegate().window(); }

    /// A finger on the screen at a point of the window.
    void touch(ui::TouchPhase phase, gfx::Point point) { window().sendTouch(1, phase, point); }
    /// The whole screen as the window shows it now, at 2x, written as fileName.png among the
    /// screenshots for people to look at.
    std::shared_ptr<gfx::Image> writeScreenshot(const std::string& fileName)
    {
        const gfx::Size size = ui::Screen::mainScreen().bounds().size;
        auto context = gfx::BitmapContext::create(int(size.width * 2), int(size.height * 2), gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
        context->scaleCTM(2, 2);
        window().layoutIfNeeded();
        window().drawScreen(*context);
        auto image = context->makeImage(2);
        const std::string directory = PARLIVO_SCREENSHOT_DIR;
        foundation::createDirectory(directory);
        EXPECT_TRUE(image->writePNG(directory + "/" + fileName + ".png")) << fileName;
        return image;
    }
    /// A pixel of a 2x screenshot at a point of the screen.
    static gfx::Pixel pixelAt(const gfx::Image& shot, gfx::Point point) { return shot.pixelAt(int(point.x * 2), int(point.y * 2)); }

    void tapAt(gfx::Point point)
    {
        touch(ui::TouchPhase::Began, point);
        touch(ui::TouchPhase::Ended, point);
    }
    /// Where the layout puts a view's centre on the screen.
    static gfx::Point centreOf(const ui::View& view) { return view.convertPointToView(view.bounds().center(), nullptr); }
    void tap(const ui::View& view) { tapAt(centreOf(view)); }

    /// Drags the slider's thumb to the place of value and lets go.
    void dragSlider(ui::Slider& slider, float value)
    {
        auto thumbCentre = [&](float v) { return slider.convertPointToView(slider.thumbRectForBounds(slider.bounds(), v).center(), nullptr); };
        touch(ui::TouchPhase::Began, thumbCentre(slider.value()));
        touch(ui::TouchPhase::Moved, thumbCentre(value));
        touch(ui::TouchPhase::Ended, thumbCentre(value));
    }

    /// The platform reports an interruption state; the listener runs at the loop's next turn.
    void interrupt(std::uint32_t state)
    {
        audio::Session::shared().raiseInterruption(state);
        runLoop().runPending();
    }

    /// The view at the front of the studio's carousel (none while the front is empty).
    std::shared_ptr<ui::View> frontView() { return studio().carousel()->getViewWithTransform(studio().carousel()->transformA()); }

    /// Runs the clock until done() holds (at most timeout seconds of clock time).
    bool runUntil(const std::function<bool()>& done, double timeout = 10) { return runLoop().runUntil(done, timeout); }
    bool runUntilState(std::int32_t state, double timeout = 10)
    {
        return runUntil([&] { return studio().state() == state; }, timeout);
    }
    /// Runs until the studio's recorder has recorded seconds of sound.
    bool recordUntil(double seconds)
    {
        return runUntil([&] { return studio().recorder() && studio().recorder()->position() >= seconds - 1e-9; });
    }

    /// Taps record and records seconds of sound (the beep first).
    void record(double seconds)
    {
        tap(*studio().recordButton());
        ASSERT_TRUE(recordUntil(seconds));
    }
    /// Taps stop and waits for the small buttons.
    void stopRecording()
    {
        tap(*studio().recordStopButton());
        ASSERT_TRUE(runUntilState(StudioStateRecorded));
    }
    /// Records seconds of the tone and stops; answers the recording.
    std::shared_ptr<Recording> makeRecording(double seconds)
    {
        auto recording = studio().currentRecording();
        record(seconds);
        stopRecording();
        return recording;
    }
    /// Waits until a saved or deleted recording has left and the studio is ready again.
    void waitUntilReady() { ASSERT_TRUE(runUntilState(StudioStateReady)); }

    /// The recording's audio file read back.
    std::vector<std::int16_t> samplesOf(const std::string& audioFileName)
    {
        auto contents = testsupport::readCAF(audioPath(audioFileName));
        EXPECT_TRUE(contents) << audioFileName;
        return contents ? contents->samples : std::vector<std::int16_t> {};
    }
    std::string audioPath(const std::string& audioFileName) const { return documentsPath() + "/" + audioFileName + ".caf"; }
    bool audioFileExists(const std::string& audioFileName) const { return foundation::fileExists(audioPath(audioFileName)); }

    /// The rows of the recordings table, by key, through a connection of the test's own.
    std::vector<Row> rows() const
    {
        std::vector<Row> result;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2((documentsPath() + "/parlivodb.sql").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "the database does not open";
            sqlite3_close(db);
            return result;
        }
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db,
            "SELECT pk, title, audioFileName, size, category, length, playCount, createdDate, location, comments FROM recordings ORDER BY pk", -1,
            &statement, nullptr);
        auto text = [&](int column) {
            const unsigned char* value = sqlite3_column_text(statement, column);
            return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
        };
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            result.push_back({ sqlite3_column_int(statement, 0), text(1), text(2), text(3), text(4), sqlite3_column_double(statement, 5),
                sqlite3_column_int(statement, 6), sqlite3_column_double(statement, 7), sqlite3_column_int(statement, 8), text(9) });
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return result;
    }
    std::optional<Row> row(int key) const
    {
        for (const auto& r : rows())
            if (r.key == key)
                return r;
        return std::nullopt;
    }

    /// The samples of the microphone's tone, from its first sample.
    static std::vector<std::int16_t> tone(size_t count) { return testsupport::toneSamples(440, 0.5, 22050, count); }
    static std::string text(const char* key) { return foundation::localizedString(key); }

    /// The alert shown over the window, if any.
    ui::AlertView* shownAlert()
    {
        for (const auto& view : window().subviews())
            if (auto* alert = dynamic_cast<ui::AlertView*>(view.get()); alert && alert->isVisible())
                return alert;
        return nullptr;
    }

    /// Where the on-screen keyboard's return key is.
    gfx::Point returnKey()
    {
        ui::Keyboard& keyboard = window().keyboard();
        for (const auto& key : keyboard.keys())
            if (key.kind == ui::Keyboard::Key::Kind::Return)
                return keyboard.convertPointToView(key.frame.center(), nullptr);
        ADD_FAILURE() << "no return key";
        return {};
    }
};

} // namespace e2e
