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
}

TEST(WindowGeometryTest, HandheldScreensGoFullScreenUnlessAskedOtherwise)
{
    EXPECT_EQ(windowModeFor({ 360, 720 }, std::nullopt), WindowMode::FullScreen);
    EXPECT_EQ(windowModeFor({ 720, 360 }, std::nullopt), WindowMode::FullScreen) << "turned sideways";
    EXPECT_EQ(windowModeFor({ 1366, 768 }, std::nullopt), WindowMode::Windowed);
    EXPECT_EQ(windowModeFor({ 1024, 600 }, std::nullopt), WindowMode::Windowed) << "a small laptop";
    EXPECT_EQ(windowModeFor({ 0, 0 }, std::nullopt), WindowMode::Windowed) << "no screen known";
    EXPECT_EQ(windowModeFor({ 360, 720 }, WindowMode::Windowed), WindowMode::Windowed);
    EXPECT_EQ(windowModeFor({ 1920, 1080 }, WindowMode::FullScreen), WindowMode::FullScreen);
}

TEST(WindowGeometryTest, ScreenKeepsItsProportionsCentredInAnyWindow)
{
    EXPECT_EQ(screenRectInWindow({ 640, 960 }), gfx::Rect(0, 0, 640, 960));
    // Too wide: bars left and right.
    EXPECT_EQ(screenRectInWindow({ 1000, 480 }), gfx::Rect(340, 0, 320, 480));
    // Too tall: bars above and below.
    EXPECT_EQ(screenRectInWindow({ 320, 600 }), gfx::Rect(0, 60, 320, 480));
    // A full-screen handheld of 360 × 720.
    gfx::Rect handheld = screenRectInWindow({ 360, 720 });
    EXPECT_FLOAT_EQ(handheld.width(), 360);
    EXPECT_FLOAT_EQ(handheld.height(), 540);
    EXPECT_FLOAT_EQ(handheld.y(), 90);
    EXPECT_EQ(screenRectInWindow({ 0, 0 }).size, gfx::Size(0, 0));
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
