#include "UiTestSupport.h"

#include "ui/AlertView.h"
#include "ui/Appearance.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/Slider.h"
#include "ui/TabBarController.h"
#include "ui/TextField.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

using namespace ui;
using gfx::Rect;

namespace {

class ScreenshotTest : public uitest::UiTest { };

// A tab icon of a simple shape.
std::shared_ptr<gfx::Image> icon(int shape)
{
    return renderImage({ 30, 30 }, [shape](gfx::Context& c) {
        gfx::Path path;
        const float pi = std::numbers::pi_v<float>;
        if (shape == 0) {
            path = roundedRectPath(Rect(10, 2, 10, 17), 5);
            c.fillPath(path, gfx::Color::black());
            c.fillRect(Rect(14, 21, 2, 5), gfx::Color::black());
            c.fillRect(Rect(9, 26, 12, 2), gfx::Color::black());
            return;
        }
        if (shape == 1) {
            for (int i = 0; i < 4; ++i)
                c.fillRect(Rect(4, 4 + 6.5f * float(i), 22, 4), gfx::Color::black());
            return;
        }
        if (shape == 2) {
            path.addArc({ 15, 15 }, 12, 0, 2 * pi, false);
            c.fillPath(path, gfx::Color::black());
            return;
        }
        path.moveTo({ 15, 2 });
        for (int i = 1; i < 10; ++i) {
            float r = i % 2 ? 5.5f : 13;
            float a = -pi / 2 + float(i) * pi / 5;
            path.lineTo({ 15 + r * std::cos(a), 16 + r * std::sin(a) });
        }
        path.closeSubpath();
        c.fillPath(path, gfx::Color::black());
    });
}

std::shared_ptr<Label> label(Rect frame, const std::string& text)
{
    auto l = std::make_shared<Label>(frame);
    l->setText(text);
    l->setBackgroundColor(std::nullopt);
    l->setTextColor(gfx::Color::grey(0.8f, 0.9f));
    l->setFont(gfx::Font::boldSystemFont(16));
    l->setTextAlignment(gfx::TextAlignment::Center);
    return l;
}

// The screen: tabs of navigation stacks, a screen of controls, the keyboard up, an alert.
std::shared_ptr<Window> buildScreen(std::shared_ptr<TabBarController>& tabs, bool editing)
{
    Application::sharedApplication().setStatusBarStyle(StatusBarStyle::BlackOpaque);
    const char* names[] = { "Studio", "Recordings", "Categories", "About" };
    std::vector<std::shared_ptr<ViewController>> stacks;
    std::shared_ptr<ViewController> first;
    for (int i = 0; i < 4; ++i) {
        auto screen = std::make_shared<ViewController>();
        screen->setTitle(names[i]);
        screen->tabBarItem()->setImage(icon(i));
        auto navigation = std::make_shared<NavigationController>(screen);
        navigation->navigationBar()->setBarStyle(BarStyle::Black);
        stacks.push_back(navigation);
        if (i == 0)
            first = screen;
    }
    stacks[1]->tabBarItem()->setBadgeValue("3");
    tabs = std::make_shared<TabBarController>();
    tabs->setViewControllers(stacks);
    first->navigationItem()->setRightBarButtonItem(BarButtonItem::withSystemItem(BarButtonSystemItem::Edit));
    first->navigationItem()->setLeftBarButtonItem(BarButtonItem::withTitle("Cancel", BarButtonItemStyle::Bordered));

    auto view = first->view();
    view->setBackgroundColor(gfx::Color::black());
    auto round = Button::buttonWithType(ButtonType::RoundedRect);
    round->setFrame(Rect(20, 92, 130, 37));
    round->setTitleForState("Rounded", ControlStateNormal);
    view->addSubview(round);
    auto glossy = std::make_shared<Button>(Rect(170, 92, 130, 37));
    glossy->setBackgroundImageForState(glossyButtonImage(gfx::Color::rgba(0.10f, 0.32f, 0.80f), gfx::Color::grey(0, 0.8f), 37, 8), ControlStateNormal);
    glossy->setTitleForState("Speaker ON", ControlStateNormal);
    glossy->setTitleColorForState(gfx::Color::grey(1, 0.9f), ControlStateNormal);
    view->addSubview(glossy);
    auto slider = std::make_shared<Slider>(Rect(60, 55, 200, 23));
    slider->setMaximumValue(100);
    slider->setValue(35);
    view->addSubview(label(Rect(0, 56, 58, 20), "0:21"));
    view->addSubview(label(Rect(262, 56, 58, 20), "-0:39"));
    view->addSubview(label(Rect(5, 150, 310, 24), "Tap record to begin"));
    view->addSubview(slider);
    auto field = std::make_shared<TextField>(Rect(20, 12, 280, 31));
    field->setBorderStyle(TextBorderStyle::RoundedRect);
    field->setFont(gfx::Font::systemFont(16));
    field->setPlaceholder("<title>");
    field->setClearButtonMode(TextFieldViewMode::WhileEditing);
    field->setReturnKeyType(ReturnKeyType::Done);
    view->addSubview(field);

    auto window = std::make_shared<Window>();
    window->setBackgroundColor(gfx::Color::black());
    window->addSubview(tabs->view());
    window->makeKeyAndVisible();
    if (!editing)
        return window;
    field->becomeFirstResponder();
    window->sendText("Memo at the lake");
    auto alert = std::make_shared<AlertView>("Recording Interrupted", "Continue the recording that was cut off?", nullptr, "No");
    alert->addButtonWithTitle("Yes");
    alert->show();
    return window;
}

} // namespace

TEST_F(ScreenshotTest, ControlsScreenAtBothScales)
{
    std::filesystem::create_directories(PARLIVO_SCREENSHOT_DIR);
    for (float scale : { 2.0f, 1.0f }) {
        for (bool editing : { true, false }) {
            Screen::mainScreen().setScale(scale);
            gfx::Image::clearNamedCache();
            clearAppearanceCache();
            ViewAnimator::shared().reset();
            std::shared_ptr<TabBarController> tabs;
            auto window = buildScreen(tabs, editing);
            // Past every animation; the caret shows at a whole second.
            advance(2);
            auto context = gfx::BitmapContext::create(int(320 * scale), int(480 * scale), gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
            ASSERT_TRUE(context);
            context->scaleCTM(scale, scale);
            window->layoutIfNeeded();
            window->drawScreen(*context);
            auto image = context->makeImage(scale);
            ASSERT_TRUE(image);
            std::string name = std::string(editing ? "controls" : "controls-tabs") + (scale == 2 ? ".png" : "@1x.png");
            EXPECT_TRUE(image->writePNG(std::string(PARLIVO_SCREENSHOT_DIR) + "/" + name));

            auto at = [&](float x, float y) { return image->pixelAt(int(x * scale), int(y * scale)); };
            // The navigation bar is dark.
            EXPECT_LT(at(160, 22).red, 120);
            if (editing) {
                // The keyboard is up behind the dimmed window: its light keys show through.
                EXPECT_GT(at(16, 264 + 30).red, 90);
                continue;
            }
            // The tab bar's badge is red.
            Rect tab = tabs->tabBar()->convertRectToView(tabs->tabBar()->rectForItemAtIndex(1), nullptr);
            int red = 0;
            for (float y = tab.minY(); y < tab.minY() + 22; y += 0.5f)
                for (float x = tab.minX(); x < tab.maxX(); x += 0.5f) {
                    auto p = at(x, y);
                    red += p.red > 150 && p.green < 60 && p.blue < 60;
                }
            EXPECT_GT(red, 20);
        }
    }
}
