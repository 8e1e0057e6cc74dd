// The status bar: the time in the locale's own form, the battery only where there is one,
// never signal bars.

#include "UiTestSupport.h"

#include "ui/StatusBar.h"

#include "foundation/Bundle.h"
#include "foundation/Calendar.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace ui;

namespace {

class StatusBarTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        // 13:00 in Berlin: a 12-hour clock reads 1, a 24-hour one 13.
        foundation::setDefaultTimeZone("Europe/Berlin");
        Application::sharedApplication().setStatusBarStyle(StatusBarStyle::BlackOpaque);
        window = std::make_shared<Window>();
        window->setBackgroundColor(gfx::Color::black());
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        foundation::setDefaultLocale("en_US");
        foundation::setDefaultTimeZone("UTC");
        unsetenv("LANGUAGE");
        foundation::Bundle::resetMain();
        UiTest::TearDown();
    }
    /// How many light pixels the bar has in a column range.
    int lightPixels(const gfx::BitmapContext& screen, int from, int to)
    {
        int light = 0;
        for (int x = from; x < to; ++x)
            for (int y = 0; y < 20; ++y)
                light += screen.bitmap().pixelAt(x, y).green > 128;
        return light;
    }
    /// The colour at a point of the bar.
    gfx::Pixel pixel(const gfx::BitmapContext& screen, int x, int y) { return screen.bitmap().pixelAt(x, y); }

    std::shared_ptr<Window> window;
};

} // namespace

TEST_F(StatusBarTest, TheClockTakesTheLocalesOwnForm)
{
    foundation::setDefaultLocale("en_US");
    const std::string english = StatusBar::timeText();
    EXPECT_EQ(english.substr(0, 4), "1:00") << english;
    EXPECT_NE(english.find("PM"), std::string::npos) << english;
    foundation::setDefaultLocale("en_GB");
    EXPECT_EQ(StatusBar::timeText(), "13:00");
    foundation::setDefaultLocale("de_DE");
    EXPECT_EQ(StatusBar::timeText(), "13:00");
    foundation::setDefaultLocale("fr_FR");
    EXPECT_EQ(StatusBar::timeText(), "13:00");
    // The locale the program forms from the texts' language and the user's region.
    foundation::setDefaultLocale(foundation::formattingLocale("de", nullptr, nullptr, "en_US.UTF-8"));
    EXPECT_EQ(StatusBar::timeText(), "13:00");
}

TEST_F(StatusBarTest, TheBatteryShowsOnlyWhereThereIsOne)
{
    // None (a desktop): nothing but the time, and no signal bars at the left.
    auto screen = renderScreen(*window);
    EXPECT_EQ(lightPixels(*screen, 0, 100), 0);
    EXPECT_EQ(lightPixels(*screen, 220, 320), 0);
    EXPECT_GT(lightPixels(*screen, 120, 200), 20) << "the time";

    // Half charged: the left half of the battery is filled, the right half not.
    Application::sharedApplication().setBatteryStatus(BatteryStatus { 0.5f, BatteryStatus::State::Discharging });
    EXPECT_TRUE(window->dirtyRect()) << "the bar is drawn again";
    screen = renderScreen(*window);
    const int body = 320 - 8 - int(StatusBar::kBatteryWidth);
    EXPECT_GT(pixel(*screen, body + 5, 10).green, 200);
    EXPECT_LT(pixel(*screen, body + 18, 10).green, 60);
    EXPECT_GT(lightPixels(*screen, body - 40, body - 2), 20) << "the charge in figures";
    EXPECT_EQ(StatusBar::batteryText({ 0.5f, BatteryStatus::State::Discharging }), "50%");

    // Charging: the yellow bolt over it.
    Application::sharedApplication().setBatteryStatus(BatteryStatus { 0.5f, BatteryStatus::State::Charging });
    screen = renderScreen(*window);
    int yellow = 0;
    for (int x = body; x < body + int(StatusBar::kBatteryWidth); ++x)
        for (int y = 0; y < 20; ++y) {
            auto p = pixel(*screen, x, y);
            yellow += p.red > 200 && p.green > 150 && p.blue < 100;
        }
    EXPECT_GT(yellow, 4);

    // Out-of-range levels are read as the nearest possible.
    Application::sharedApplication().setBatteryStatus(BatteryStatus { 7, BatteryStatus::State::Full });
    EXPECT_EQ(Application::sharedApplication().batteryStatus()->level, 1);
    Application::sharedApplication().setBatteryStatus(std::nullopt);
    screen = renderScreen(*window);
    EXPECT_EQ(lightPixels(*screen, 220, 320), 0);

    // German and French set a blank before the sign.
    setenv("LANGUAGE", "de", 1);
    foundation::Bundle::resetMain();
    EXPECT_EQ(StatusBar::batteryText({ 0.73f, BatteryStatus::State::Discharging }), "73\u00a0%");
}
