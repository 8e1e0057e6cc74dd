#include "UiTestSupport.h"

#include "CarouselView.h"
#include "ControlPanelView.h"
#include "DecibelMeterView.h"

#include "foundation/FileManager.h"
#include "ui/Button.h"
#include "graphics/Font.h"

#include <gtest/gtest.h>

using gfx::Color;
using gfx::Rect;

namespace {

// The studio's buttons: a background picture, and for the small ones a 12-point title low in it.
std::shared_ptr<ui::Button> button(const Rect& frame, const std::string& image, const std::string& title = {},
    ui::EdgeInsets titleInsets = {})
{
    auto button = std::make_shared<ui::Button>(frame);
    button->setBackgroundImageForState(ui::imageNamed(image), ui::ControlStateNormal);
    if (!title.empty()) {
        button->setTitleForState(title, ui::ControlStateNormal);
        button->setFont(gfx::Font::systemFont(12));
        button->setTitleEdgeInsets(titleInsets);
    }
    return button;
}

class CarouselScreenshotTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        m_window = std::make_shared<ui::Window>();
        m_window->setBackgroundColor(Color::black());
        m_window->makeKeyAndVisible();
        m_carousel = std::make_shared<CarouselView>(Rect(0, 40, 320, 310));
        m_window->addSubview(m_carousel);

        const Rect big(0, 0, 164, 164);
        m_record = button(big, "record_mic_normal.png");
        m_recordStop = button(big, "record_stop_normal.png");
        m_playStop = button(big, "play_stop_normal.png");
        m_multiFunction = std::make_shared<ui::View>(big);
        m_multiFunction->addSubview(button(Rect(0, 0, 82, 82), "control_panel_mic_normal.png", "Redo", { 58, 2, 0, -2 }));
        m_multiFunction->addSubview(button(Rect(82, 0, 82, 82), "control_panel_play_normal.png", "Play", { 58, -2, 0, 0 }));
        m_multiFunction->addSubview(button(Rect(0, 82, 82, 82), "control_panel_trash_normal.png", "Delete", { 44, 2, 0, -4 }));
        m_multiFunction->addSubview(button(Rect(82, 82, 82, 82), "control_panel_save_normal.png", "Save", { 44, -2, 0, 0 }));
        m_symbol = std::make_shared<ui::ImageView>(ui::imageNamed("recording_symbol_normal.png"));
        m_symbol->setFrame(big);
        m_carousel->populateCarouselWithViewAViewBViewCAndViewDAnimated(m_record, m_recordStop, m_multiFunction, m_playStop, false);
    }

    // A part of the window (the carousel's 320 x 310 unless told) as it shows now, at scale 2.
    std::shared_ptr<gfx::Image> shoot(const std::string& name, const Rect& area = Rect(0, 40, 320, 310))
    {
        auto context = gfx::BitmapContext::create(int(area.width() * 2), int(area.height() * 2), gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
        context->scaleCTM(2, 2);
        context->translateCTM(-area.x(), -area.y());
        m_window->drawScreen(*context, area);
        auto image = context->makeImage(2);
        const std::string directory = PARLIVO_SCREENSHOT_DIR;
        foundation::createDirectory(directory);
        EXPECT_TRUE(image->writePNG(directory + "/" + name)) << name;
        return image;
    }

    // A pixel of the shot at a point of the carousel.
    static gfx::Pixel at(const gfx::Image& shot, float x, float y) { return shot.pixelAt(int(x * 2), int(y * 2)); }

    std::shared_ptr<ui::Window> m_window;
    std::shared_ptr<CarouselView> m_carousel;
    std::shared_ptr<ui::View> m_record, m_recordStop, m_multiFunction, m_playStop, m_symbol;
};

} // namespace

TEST_F(CarouselScreenshotTest, FilledTurningAndPopping)
{
    auto filled = shoot("carousel_filled.png");
    // The front button's red dome, full size at the centre, and its dimmer mirror image below.
    gfx::Pixel dome = at(*filled, 125, 125);
    EXPECT_GT(dome.red, 150);
    EXPECT_LT(dome.green, 80);
    gfx::Pixel mirror = at(*filled, 130, 259);
    EXPECT_GT(mirror.red, 20);
    EXPECT_LT(mirror.red, dome.red / 2);
    EXPECT_EQ(at(*filled, 2, 305), (gfx::Pixel { 0, 0, 0, 255 }));

    // Halfway through the first shift towards the small buttons.
    m_carousel->makeViewActiveWithRotationStyle(m_multiFunction.get(), 0);
    advance(0.3);
    auto turning = shoot("carousel_turn_midway.png");
    EXPECT_NE(turning->pngData(), filled->pngData());
    advance(1.0);

    // Saved: the small buttons flip into the recording symbol, which is then tossed off to the right.
    m_carousel->replaceViewWithViewWithTransitionStyle(m_multiFunction.get(), m_symbol, ui::ViewAnimationTransition::FlipFromLeft);
    advance(0.15);
    shoot("carousel_flip_midway.png");
    advance(0.4);
    m_carousel->popActiveViewRight();
    advance(0.2);
    auto popping = shoot("carousel_pop_midway.png");
    // Step 4 of the toss: half size, high above the centre and to the right.
    const float scale = m_symbol->superview()->presentedTransform().a;
    EXPECT_GT(scale, 0.5f);
    EXPECT_LT(scale, 0.7f);
    // Where the symbol stood the black background shows again (its reflection slid away).
    EXPECT_LT(at(*popping, 160, 200).red, 40);
}

TEST_F(CarouselScreenshotTest, RecordPanelWithTheMeter)
{
    // The record panel raised by 80 as while recording: pause button, meter, and no timer text.
    auto panel = std::make_shared<ControlPanelView>(Rect(0, 390, 320, 90));
    auto pause = std::make_shared<ui::Button>(Rect(0, 0, 80, 60));
    pause->setImageForState(ui::imageNamed("pause.png"), ui::ControlStateNormal);
    pause->setShowsTouchWhenHighlighted(true);
    auto meter = std::make_shared<DecibelMeterView>(Rect(80, 14, 220, 32));
    meter->setAveragePower(0.45f);
    panel->addSubview(meter);
    panel->addSubview(pause);
    m_window->addSubview(panel);
    auto shot = shoot("record_panel.png", Rect(0, 380, 320, 100));
    // Bar 18 lit, bar 19 not; the panel's gradient ends 31 points down.
    const float lit = 80 + 2 + 17 * 6.875f + 1.9f, unlit = lit + 6.875f;
    auto redness = [&](float x) {
        gfx::Pixel p = at(*shot, x, 10 + 14 + 16);
        return int(p.red) - int(p.green);
    };
    EXPECT_GT(redness(lit), 100);
    EXPECT_LT(std::abs(redness(unlit)), 8);
    EXPECT_EQ(at(*shot, 10, 10 + 40), (gfx::Pixel { 0, 0, 0, 255 }));
}
