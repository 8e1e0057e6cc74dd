#include "host/DesktopIntegration.h"
#include "host/WindowGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace host;

TEST(WindowGeometryTest, OpeningScaleFitsTheScreen)
{
    // Full HD and larger: the usual double size.
    EXPECT_EQ(fittingScale({ 1920, 1040 }), 2);
    EXPECT_EQ(fittingScale({ 2560, 1400 }), 2);
    // A 1366 × 768 laptop less its panel: 640 × 960 would not fit; the window and its frame do.
    const float laptop = fittingScale({ 1366, 736 });
    EXPECT_LT(laptop, 2);
    EXPECT_LE(480 * laptop + kWindowDecorationAllowance, 736);
    EXPECT_GT(480 * (laptop + 1.0f / 16) + kWindowDecorationAllowance, 736) << "the largest that fits";
    // Every chosen scale gives the window whole pixels.
    for (float height : { 500.0f, 600.0f, 736.0f, 900.0f, 1000.0f }) {
        const float scale = fittingScale({ 1000, height });
        EXPECT_EQ(320 * scale, std::floor(320 * scale)) << height;
        EXPECT_EQ(480 * scale, std::floor(480 * scale)) << height;
    }
    // A narrow screen limits by its width.
    EXPECT_LE(320 * fittingScale({ 400, 2000 }), 400);
    // Never unreadably small, and an unknown screen gets the usual size.
    EXPECT_EQ(fittingScale({ 200, 200 }), 0.5f);
    EXPECT_EQ(fittingScale({ 0, 0 }), 2);
    EXPECT_EQ(fittingScale({ 0, 1000 }), 2) << "half an area is no area";
}

TEST(WindowGeometryTest, HandheldsAreToldByTheirPhysicalSizeAndTheDesktopsWord)
{
    auto display = [](gfx::Size size, gfx::Size millimetres, std::string desktop = "", std::string platform = "") {
        return DisplayFacts { size, millimetres, std::move(desktop), std::move(platform) };
    };
    // 720 x 1440 pixels: a phone at 270 dpi, a portrait monitor at 100 dpi.
    EXPECT_EQ(windowModeFor(display({ 720, 1440 }, { 68, 135 }), std::nullopt), WindowMode::FullScreen);
    EXPECT_EQ(windowModeFor(display({ 1440, 720 }, { 135, 68 }), std::nullopt), WindowMode::FullScreen) << "turned sideways";
    EXPECT_EQ(windowModeFor(display({ 720, 1440 }, { 183, 366 }), std::nullopt), WindowMode::Windowed);
    // A 7-inch handheld is one; an 8-inch tablet and a 13-inch laptop of few pixels are not.
    EXPECT_EQ(windowModeFor(display({ 1024, 600 }, { 154, 90 }), std::nullopt), WindowMode::FullScreen);
    EXPECT_EQ(windowModeFor(display({ 800, 1280 }, { 108, 172 }), std::nullopt), WindowMode::Windowed);
    EXPECT_EQ(windowModeFor(display({ 1366, 768 }, { 293, 165 }), std::nullopt), WindowMode::Windowed);
    // Without a physical size, by the logical pixels.
    EXPECT_EQ(windowModeFor(display({ 360, 720 }, {}), std::nullopt), WindowMode::FullScreen);
    EXPECT_EQ(windowModeFor(display({ 1024, 600 }, {}), std::nullopt), WindowMode::Windowed) << "a small laptop";
    EXPECT_EQ(windowModeFor(display({}, {}), std::nullopt), WindowMode::Windowed) << "no screen known";
    EXPECT_EQ(windowModeFor(display({ 1920, 1080 }, { 0, 100 }), std::nullopt), WindowMode::Windowed) << "half a physical size is none";
    // A phone shell says so, whatever the display reports.
    EXPECT_EQ(windowModeFor(display({ 1080, 2160 }, { 270, 540 }, "GNOME:Phosh"), std::nullopt), WindowMode::FullScreen);
    EXPECT_EQ(windowModeFor(display({ 1080, 2160 }, { 270, 540 }, "KDE", "phone:handset"), std::nullopt), WindowMode::FullScreen);
    EXPECT_EQ(windowModeFor(display({ 1920, 1080 }, { 520, 290 }, "GNOME"), std::nullopt), WindowMode::Windowed);
    // The user's word decides.
    EXPECT_EQ(windowModeFor(display({ 720, 1440 }, { 68, 135 }), WindowMode::Windowed), WindowMode::Windowed);
    EXPECT_EQ(windowModeFor(display({ 1920, 1080 }, { 520, 290 }), WindowMode::FullScreen), WindowMode::FullScreen);
}

TEST(WindowGeometryTest, TheScreenFillsAnyWindow)
{
    // The designed window, a larger one (more points at the same scale), a maximised one.
    EXPECT_EQ(screenFitForWindow({ 640, 960 }, 2), (ScreenFit { { 320, 480 }, 2 }));
    EXPECT_EQ(screenFitForWindow({ 1200, 960 }, 2), (ScreenFit { { 600, 480 }, 2 }));
    EXPECT_EQ(screenFitForWindow({ 1920, 1053 }, 2), (ScreenFit { { 960, 526.5f }, 2 }));
    // A handheld of 720 x 1440 at 2, and turned: the short way holds 480 points at 1.5.
    EXPECT_EQ(screenFitForWindow({ 720, 1440 }, 2), (ScreenFit { { 360, 720 }, 2 }));
    EXPECT_EQ(screenFitForWindow({ 1440, 720 }, 2), (ScreenFit { { 960, 480 }, 1.5f }));
    // Smaller than 320 x 480 at the scale: smaller points, still the whole window.
    for (gfx::Size window : { gfx::Size { 320, 960 }, gfx::Size { 1000, 480 }, gfx::Size { 333, 517 } }) {
        const ScreenFit fit = screenFitForWindow(window, 2);
        EXPECT_LT(fit.scale, 2);
        EXPECT_GE(fit.points.width, 320);
        EXPECT_GE(fit.points.height, 480);
        EXPECT_NEAR(fit.points.width * fit.scale, window.width, 1e-3) << "no band";
        EXPECT_NEAR(fit.points.height * fit.scale, window.height, 1e-3) << "no band";
    }
    EXPECT_EQ(screenFitForWindow({ 0, 0 }, 1.5f), (ScreenFit { { 320, 480 }, 1.5f }));
}

TEST(WindowGeometryTest, TheWindowsPlaceIsKeptWithinAScreenThatShowsIt)
{
    const SavedWindowGeometry geometry { { 100, 50, 700, 900 }, true };
    EXPECT_EQ(parseWindowGeometry(windowGeometryText(geometry)), geometry);
    for (const char* bad : { "", "1 2 3", "1 2 3 4 2", "1 2 -3 4 0", "1 2 3 4 0 extra", "nan 2 3 4 0", "1 2 3 1e9 0" })
        EXPECT_FALSE(parseWindowGeometry(bad)) << bad;

    const std::vector<gfx::Rect> screens { { 0, 0, 1920, 1053 }, { 1920, 0, 1280, 1024 } };
    const gfx::Size minimum { 160, 240 };
    // On the second screen, as it was.
    auto placed = placeSavedWindow({ 2000, 50, 640, 960 }, screens, minimum);
    ASSERT_TRUE(placed);
    EXPECT_TRUE(placed->keepsPosition);
    EXPECT_EQ(placed->frame, gfx::Rect(2000, 50, 640, 960));
    // Hanging over the second screen's bottom: moved up; taller than it: shrunk.
    placed = placeSavedWindow({ 2000, 500, 640, 960 }, screens, minimum);
    EXPECT_EQ(placed->frame, gfx::Rect(2000, 64, 640, 960));
    placed = placeSavedWindow({ 2000, 0, 640, 1500 }, screens, minimum);
    EXPECT_EQ(placed->frame, gfx::Rect(2000, 0, 640, 1024));
    // The second screen is gone: only the size comes back, on the first.
    placed = placeSavedWindow({ 2000, 100, 640, 960 }, { screens[0] }, minimum);
    EXPECT_FALSE(placed->keepsPosition);
    EXPECT_EQ(placed->frame.size, gfx::Size(640, 960));
    EXPECT_FALSE(placeSavedWindow({ 0, 0, 640, 960 }, {}, minimum));
}

TEST(WindowGeometryTest, ImagesAtTwiceTheSizeFromOneAndAHalfPixelsPerPoint)
{
    EXPECT_EQ(imageScaleFor(1), 1);
    EXPECT_EQ(imageScaleFor(1.375f), 1);
    EXPECT_EQ(imageScaleFor(1.5f), 2);
    EXPECT_EQ(imageScaleFor(2 * 1.25f), 2) << "HiDPI";
}

TEST(WindowGeometryTest, TitleSaysWhatIsShownAndTheBadge)
{
    EXPECT_EQ(windowTitle("", 0), "Parlivo");
    EXPECT_EQ(windowTitle("Recordings", 0), "Recordings \u2014 Parlivo");
    EXPECT_EQ(windowTitle("Recordings", 3), "Recordings \u2014 Parlivo (3)");
    EXPECT_EQ(windowTitle("", 1), "Parlivo (1)");
    EXPECT_EQ(launcherEntryURI(), "application://" PARLIVO_APP_ID ".desktop");
}
