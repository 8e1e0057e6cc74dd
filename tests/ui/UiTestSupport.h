#pragma once

#include "TestEnvironment.h"

#include "ui/Application.h"
#include "ui/Appearance.h"
#include "ui/FrameClock.h"
#include "ui/Screen.h"
#include "ui/ViewAnimator.h"
#include "ui/Window.h"

#include "graphics/Image.h"

namespace uitest {

/// No key window, no animations, scale 2, no cached images, a fresh application.
inline void resetScreen()
{
    ui::ViewAnimator::shared().reset();
    ui::Window::resetKeyWindow();
    ui::Screen::mainScreen().setScale(2);
    ui::Screen::mainScreen().setSize(ui::Screen::kDesignSize);
    gfx::Image::clearNamedCache();
    ui::clearAppearanceCache();
    ui::Application::resetSharedApplication();
}

/// A fresh screen for each test: no key window, no animations, scale 2, manual time.
class UiTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        resetScreen();
    }
    void TearDown() override
    {
        ui::ViewAnimator::shared().reset();
        TestEnvironment::TearDown();
    }

    static std::shared_ptr<ui::View> coloured(const gfx::Rect& frame, gfx::Color color)
    {
        auto view = std::make_shared<ui::View>(frame);
        view->setBackgroundColor(color);
        return view;
    }

    /// The screen as the window shows it now, at scale 1, top-down.
    static std::unique_ptr<gfx::BitmapContext> renderScreen(ui::Window& window)
    {
        auto context = gfx::BitmapContext::create(320, 480, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
        window.drawScreen(*context);
        return context;
    }
};

} // namespace uitest
