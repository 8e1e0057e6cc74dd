#include "UiTestSupport.h"

#include "ui/PickerView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace ui;
using gfx::Point;
using gfx::Rect;

namespace {

// The details editor's way of using a picker: one column of 280 points, rows of 40.
class Categories : public PickerViewDelegate {
public:
    std::vector<std::string> names { "Ideas", "Lectures", "Meetings", "Music", "Notes", "Personal", "Shopping", "Travel", "Work", "Unfiled" };
    std::vector<std::pair<int, int>> selections;
    int pickerViewNumberOfRowsInComponent(PickerView&, int) override { return int(names.size()); }
    std::string pickerViewTitleForRowForComponent(PickerView&, int row, int) override { return names[size_t(row)]; }
    float pickerViewWidthForComponent(PickerView&, int) override { return 280; }
    float pickerViewRowHeightForComponent(PickerView&, int) override { return 40; }
    void pickerViewDidSelectRowInComponent(PickerView&, int row, int component) override { selections.emplace_back(row, component); }
};

class PickerViewTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        window = std::make_shared<Window>();
        window->setBackgroundColor(gfx::Color::black());
        picker = std::make_shared<PickerView>();
        const gfx::Size size = picker->sizeThatFits({});
        picker->setFrame(Rect(0, 480 - size.height, size.width, size.height));
        picker->setDelegate(&categories);
        picker->setShowsSelectionIndicator(true);
        window->addSubview(picker);
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        picker->setDelegate(nullptr);
        UiTest::TearDown();
    }

    Point middle() const { return picker->convertPointToView(picker->rectForComponent(0).center(), nullptr); }
    // A finger drawn upwards by dy points over steps frames, then lifted without pausing.
    void flick(float dy, int steps)
    {
        Point p = middle();
        window->sendTouch(1, TouchPhase::Began, p);
        for (int i = 1; i <= steps; ++i) {
            advance(FrameClock::kFrameInterval);
            window->sendTouch(1, TouchPhase::Moved, { p.x, p.y - dy * float(i) / float(steps) });
        }
        window->sendTouch(1, TouchPhase::Ended, { p.x, p.y - dy });
    }
    bool restsOnARow() const
    {
        const float position = picker->wheelPositionInComponent(0);
        return !picker->isSpinning() && position == std::round(position) && int(position) == picker->selectedRowInComponent(0);
    }

    Categories categories;
    std::shared_ptr<Window> window;
    std::shared_ptr<PickerView> picker;
};

} // namespace

TEST_F(PickerViewTest, NaturalSizeAndComponentsComeFromTheDelegate)
{
    EXPECT_EQ(picker->sizeThatFits({}), (gfx::Size { 320, 216 }));
    EXPECT_EQ(picker->sizeThatFits({ 100, 1000 }), (gfx::Size { 320, 216 }));
    EXPECT_EQ(picker->numberOfComponents(), 1);
    EXPECT_EQ(picker->numberOfRowsInComponent(0), 10);
    EXPECT_EQ(picker->rowSizeForComponent(0), (gfx::Size { 280, 40 }));
    // The wheel is centred in the picker, the middle row on its middle line.
    EXPECT_FLOAT_EQ(picker->rectForComponent(0).midX(), 160);
    EXPECT_FLOAT_EQ(picker->rectForComponent(0).midY(), 108);
    EXPECT_EQ(picker->selectedRowInComponent(0), 0);
    EXPECT_EQ(picker->selectedRowInComponent(1), -1);

    // Fewer rows after a reload keep the selection within them.
    picker->selectRowInComponent(9, 0, false);
    categories.names.resize(4);
    picker->reloadAllComponents();
    EXPECT_EQ(picker->numberOfRowsInComponent(0), 4);
    EXPECT_EQ(picker->selectedRowInComponent(0), 3);
    EXPECT_TRUE(categories.selections.empty());
}

TEST_F(PickerViewTest, SelectingInCodeNeverCallsTheDelegate)
{
    picker->selectRowInComponent(3, 0, false);
    EXPECT_EQ(picker->selectedRowInComponent(0), 3);
    EXPECT_FLOAT_EQ(picker->wheelPositionInComponent(0), 3);

    // Animated, the wheel turns there over a few frames and rests exactly on the row.
    picker->selectRowInComponent(7, 0, true);
    advance(0.1);
    const float during = picker->wheelPositionInComponent(0);
    EXPECT_GT(during, 3);
    EXPECT_LT(during, 7);
    advance(3);
    EXPECT_EQ(picker->selectedRowInComponent(0), 7);
    EXPECT_TRUE(restsOnARow());

    // Rows beyond the ends are clamped.
    picker->selectRowInComponent(42, 0, false);
    EXPECT_EQ(picker->selectedRowInComponent(0), 9);
    picker->selectRowInComponent(-5, 0, true);
    advance(3);
    EXPECT_EQ(picker->selectedRowInComponent(0), 0);
    EXPECT_TRUE(categories.selections.empty());
    // Nothing keeps the frame clock going once the wheel rests.
    EXPECT_FALSE(FrameClock::shared().hasMotions());
}

TEST_F(PickerViewTest, ASpinDeceleratesAndReportsOnceWhenItSettles)
{
    // A quick flick upwards: 120 points in five frames.
    flick(120, 5);
    EXPECT_TRUE(picker->isSpinning());
    float last = picker->wheelPositionInComponent(0);
    float lastStep = 1e9f;
    bool slowed = false;
    for (int frame = 0; frame < 20; ++frame) {
        advance(FrameClock::kFrameInterval);
        const float now = picker->wheelPositionInComponent(0);
        EXPECT_GE(now, last - 1e-3f) << "the wheel turns one way only";
        slowed = slowed || (now - last) < lastStep;
        lastStep = now - last;
        last = now;
        // Nothing is reported while the wheel turns.
        if (picker->isSpinning()) {
            EXPECT_TRUE(categories.selections.empty());
        }
    }
    EXPECT_TRUE(slowed);
    advance(5);
    ASSERT_EQ(categories.selections.size(), 1u);
    EXPECT_TRUE(restsOnARow());
    const int row = picker->selectedRowInComponent(0);
    EXPECT_EQ(categories.selections[0], std::make_pair(row, 0));
    // Momentum carried it further than the finger went (three rows).
    EXPECT_GT(row, 3);
    EXPECT_FALSE(FrameClock::shared().hasMotions());

    // A slow drag of one and a half rows, held still before the lift, rests on a whole row
    // next to where it was let go, and reports it once more.
    const Point p = middle();
    const int before = picker->selectedRowInComponent(0);
    window->sendTouch(1, TouchPhase::Began, p);
    for (int i = 1; i <= 6; ++i) {
        advance(0.05);
        window->sendTouch(1, TouchPhase::Moved, { p.x, p.y + 10 * float(i) });
    }
    advance(0.5);
    window->sendTouch(1, TouchPhase::Ended, { p.x, p.y + 60 });
    advance(3);
    ASSERT_EQ(categories.selections.size(), 2u);
    EXPECT_TRUE(restsOnARow());
    EXPECT_TRUE(picker->selectedRowInComponent(0) == before - 1 || picker->selectedRowInComponent(0) == before - 2);
    EXPECT_EQ(categories.selections[1].first, picker->selectedRowInComponent(0));
}

TEST_F(PickerViewTest, AFlingPastTheEndComesBackToTheLastRow)
{
    flick(600, 4);
    advance(0.2);
    advance(5);
    ASSERT_EQ(categories.selections.size(), 1u);
    EXPECT_EQ(categories.selections[0].first, 9);
    EXPECT_TRUE(restsOnARow());

    // And a drag beyond the first row gives way but rests on row 0.
    picker->selectRowInComponent(1, 0, false);
    const Point p = middle();
    window->sendTouch(1, TouchPhase::Began, p);
    for (int i = 1; i <= 10; ++i) {
        advance(0.05);
        window->sendTouch(1, TouchPhase::Moved, { p.x, p.y + 20 * float(i) });
    }
    EXPECT_LT(picker->wheelPositionInComponent(0), 0);
    EXPECT_GT(picker->wheelPositionInComponent(0), -4) << "past the end the wheel follows reluctantly";
    advance(0.5);
    window->sendTouch(1, TouchPhase::Ended, { p.x, p.y + 200 });
    advance(3);
    ASSERT_EQ(categories.selections.size(), 2u);
    EXPECT_EQ(categories.selections[1].first, 0);
    EXPECT_TRUE(restsOnARow());
}

TEST_F(PickerViewTest, TapsWheelTurnsAndKeysSelectNeighbours)
{
    picker->selectRowInComponent(4, 0, false);
    // A tap on the row below the middle turns it up into the middle.
    const Point below { middle().x, middle().y + 40 };
    window->sendTouch(1, TouchPhase::Began, below);
    window->sendTouch(1, TouchPhase::Ended, below);
    EXPECT_TRUE(categories.selections.empty());
    advance(2);
    ASSERT_EQ(categories.selections.size(), 1u);
    EXPECT_EQ(categories.selections[0].first, 5);
    EXPECT_TRUE(restsOnARow());

    // A tap on the middle row changes nothing and tells nothing.
    window->sendTouch(1, TouchPhase::Began, middle());
    window->sendTouch(1, TouchPhase::Ended, middle());
    advance(2);
    EXPECT_EQ(categories.selections.size(), 1u);

    // Three notches of the wheel towards the user turn it on by three rows, reported once
    // when the wheel has stopped turning.
    for (int i = 0; i < 3; ++i) {
        window->sendWheel(middle(), { 0, -40 });
        advance(0.05);
    }
    EXPECT_EQ(categories.selections.size(), 1u);
    advance(2);
    ASSERT_EQ(categories.selections.size(), 2u);
    EXPECT_EQ(categories.selections[1].first, 8);
    EXPECT_TRUE(restsOnARow());

    // The picker was touched last, so it has the keys: Up goes back one row, Home to the first.
    window->sendKey(Key::Up);
    advance(2);
    ASSERT_EQ(categories.selections.size(), 3u);
    EXPECT_EQ(categories.selections[2].first, 7);
    window->sendKey(Key::Home);
    advance(2);
    ASSERT_EQ(categories.selections.size(), 4u);
    EXPECT_EQ(categories.selections[3].first, 0);
    EXPECT_TRUE(restsOnARow());
}

TEST_F(PickerViewTest, CatchingASpinningWheelStillReportsOnce)
{
    flick(160, 4);
    advance(0.1);
    ASSERT_TRUE(picker->isSpinning());
    // A finger lands on the turning wheel and lifts without moving: it stops on a row.
    window->sendTouch(1, TouchPhase::Began, middle());
    const float caught = picker->wheelPositionInComponent(0);
    advance(0.2);
    EXPECT_FLOAT_EQ(picker->wheelPositionInComponent(0), caught) << "a finger holds the wheel";
    window->sendTouch(1, TouchPhase::Ended, middle());
    advance(3);
    ASSERT_EQ(categories.selections.size(), 1u);
    EXPECT_TRUE(restsOnARow());
    EXPECT_EQ(std::abs(float(picker->selectedRowInComponent(0)) - caught) <= 0.5f, true);
}

TEST_F(PickerViewTest, ScreenshotShowsTheWheelAndTheGlassBar)
{
    std::filesystem::create_directories(PARLIVO_SCREENSHOT_DIR);
    picker->selectRowInComponent(3, 0, false);
    window->layoutIfNeeded();
    auto context = gfx::BitmapContext::create(640, 960, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    ASSERT_TRUE(context);
    context->scaleCTM(2, 2);
    window->drawScreen(*context);
    auto image = context->makeImage(2);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->writePNG(std::string(PARLIVO_SCREENSHOT_DIR) + "/picker.png"));
    auto at = [&](float x, float y) { return image->pixelAt(int(x * 2), int(y * 2)); };
    const float top = 480 - 216;
    // Above the bar the wheel is white paper, shaded towards its top edge.
    EXPECT_GT(at(250, top + 108 - 40).red, 160);
    EXPECT_LT(at(250, top + 14).red, at(250, top + 108 - 40).red);
    // The bar over the middle row is tinted blue.
    const auto bar = at(250, top + 112);
    EXPECT_GT(int(bar.blue), int(bar.red) + 10);
    // The frame outside the wheel is dark.
    EXPECT_LT(at(4, top + 108).red, 120);
}
