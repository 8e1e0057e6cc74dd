#include "AudioTestEnvironment.h"

#include "AudioRecorder.h"
#include "DecibelMeterView.h"
#include "ParlivoAppDelegate.h"

#include "foundation/Bundle.h"
#include "foundation/UUID.h"

#include <gtest/gtest.h>

using gfx::Rect;

namespace {

class DecibelMeterTest : public testsupport::AudioTestEnvironment {
protected:
    void SetUp() override
    {
        AudioTestEnvironment::SetUp();
        ParlivoAppDelegate::initialize();
    }
    void TearDown() override
    {
        m_meter.reset();
        m_recorder.reset();
        AudioTestEnvironment::TearDown();
    }

    // Which of the 32 bars the meter draws lit (red), read from the pixels of a 2x drawing
    // along the bars' middle.
    std::vector<bool> litBars()
    {
        auto context = gfx::BitmapContext::create(440, 64, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
        context->scaleCTM(2, 2);
        m_meter->renderInContext(*context);
        std::vector<bool> lit;
        for (int i = 0; i < 32; ++i) {
            const float centre = 2 + i * 6.875f + 3.78125f * 0.5f;
            gfx::Pixel p = context->bitmap().pixelAt(int(centre * 2), 40);
            EXPECT_EQ(p.alpha, 255) << "bar " << i;
            const bool red = p.red > 120 && p.green < 40;
            const bool grey = std::abs(int(p.red) - int(p.green)) < 6;
            EXPECT_TRUE(red || grey) << "bar " << i;
            lit.push_back(red);
        }
        // Between the bars nothing is drawn.
        EXPECT_EQ(context->bitmap().pixelAt(int((2 + 3.78125f + 1.5f) * 2), 40).alpha, 0);
        return lit;
    }
    static std::vector<bool> firstLit(int n)
    {
        std::vector<bool> lit(32, false);
        std::fill(lit.begin(), lit.begin() + n, true);
        return lit;
    }

    std::shared_ptr<DecibelMeterView> m_meter { std::make_shared<DecibelMeterView>(Rect(80, 14, 220, 32)) };
    std::shared_ptr<AudioRecorder> m_recorder { std::make_shared<AudioRecorder>() };
};

} // namespace

TEST_F(DecibelMeterTest, ThirtyTwoRoundedBarsSpreadOverTheWidth)
{
    const auto& paths = m_meter->paths();
    ASSERT_EQ(paths.size(), 32u);
    auto start = [&](int i) { return paths[i].elements().front().point; };
    auto radius = [&](int i) {
        for (const auto& element : paths[i].elements())
            if (element.type == gfx::Path::ElementType::Arc)
                return element.radius;
        return -1.0f;
    };
    // Bar width 3.78125 (55 % of 220 over 32), pitch 6.875, fully rounded ends, 28 tall.
    EXPECT_EQ(start(0), (gfx::Point { 2 + 1.890625f, 2 }));
    EXPECT_EQ(radius(0), 1.890625f);
    EXPECT_EQ(start(1).x - start(0).x, 6.875f);
    EXPECT_EQ(start(31), (gfx::Point { 215.125f + 1.890625f, 2 }));
    const Rect box = paths[31].boundingBox();
    EXPECT_NEAR(box.x(), 215.125, 1e-3);
    EXPECT_NEAR(box.width(), 3.78125, 1e-3);
    EXPECT_NEAR(box.y(), 2, 1e-3);
    EXPECT_NEAR(box.height(), 28, 1e-3);
    EXPECT_EQ(m_meter->backgroundColor(), gfx::Color::clear());
}

TEST_F(DecibelMeterTest, BarsLightFromTheLeftAtOneThirtySecondOfPointEightEach)
{
    EXPECT_EQ(litBars(), firstLit(0));
    m_meter->setAveragePower(0.0249f);
    EXPECT_EQ(litBars(), firstLit(0));
    m_meter->setAveragePower(0.025f);
    EXPECT_EQ(litBars(), firstLit(1));
    m_meter->setAveragePower(0.4f);
    EXPECT_EQ(litBars(), firstLit(16));
    // Divided by 0.8 in single precision these would fall just short of their last bar.
    m_meter->setAveragePower(0.325f);
    EXPECT_EQ(litBars(), firstLit(13));
    m_meter->setAveragePower(0.65f);
    EXPECT_EQ(litBars(), firstLit(26));
    m_meter->setAveragePower(0.8f);
    EXPECT_EQ(litBars(), firstLit(32));
    m_meter->setAveragePower(1.0f);
    EXPECT_EQ(litBars(), firstLit(32));
}

TEST_F(DecibelMeterTest, SamplesARunningQueueEveryTenthOfASecondUntilStopped)
{
    device().setMicrophoneTone(440, 0.5);
    m_recorder->recordToFileWithRecordMode(foundation::makeUUIDString(), RecordModeNew);
    m_meter->startForAudioQueue(m_recorder);
    EXPECT_TRUE(m_meter->isRunning());
    EXPECT_EQ(m_meter->activeAudioQueue(), m_recorder);
    advance(0.35);
    // A sine of amplitude 0.5 has an average power (RMS) of 0.354: 14 bars.
    EXPECT_NEAR(m_meter->averagePower(), 0.3536, 0.005);
    EXPECT_EQ(litBars(), firstLit(14));

    // Samples come at 0.1-s steps: a level set between them lasts until the next one.
    m_meter->setAveragePower(0.9f);
    advance(0.04);
    EXPECT_EQ(m_meter->averagePower(), 0.9f);
    advance(0.02);
    EXPECT_NEAR(m_meter->averagePower(), 0.3536, 0.005);

    // A queue that no longer runs reads as silence.
    m_recorder->stop();
    advance(0.5);
    EXPECT_FALSE(m_recorder->isRunning());
    EXPECT_EQ(m_meter->averagePower(), 0);
    EXPECT_EQ(litBars(), firstLit(0));

    m_meter->setAveragePower(0.5f);
    m_meter->stop();
    EXPECT_FALSE(m_meter->isRunning());
    EXPECT_EQ(m_meter->averagePower(), 0);
    EXPECT_EQ(m_meter->activeAudioQueue(), m_recorder);
    m_meter->setAveragePower(0.5f);
    advance(1);
    EXPECT_EQ(m_meter->averagePower(), 0.5f) << "no sampling after stop";
}

TEST_F(DecibelMeterTest, StartingAgainReplacesTheSamplingSoOneStopEndsIt)
{
    m_meter->startForAudioQueue(nullptr);
    m_meter->startForAudioQueue(nullptr);
    m_meter->setAveragePower(0.5f);
    advance(0.1);
    EXPECT_EQ(m_meter->averagePower(), 0) << "no queue reads as silence";
    m_meter->stop();
    m_meter->setAveragePower(0.5f);
    advance(1);
    EXPECT_EQ(m_meter->averagePower(), 0.5f);

    // A meter that goes away while sampling leaves no timer behind.
    m_meter->startForAudioQueue(m_recorder);
    m_meter.reset();
    advance(1);
}

TEST_F(DecibelMeterTest, ScreenReadersReadTheLevelOnItsScale)
{
    ui::AccessibilityData data = ui::accessibilityData({ m_meter, -1 });
    EXPECT_EQ(data.role, ui::AccessibilityRole::LevelBar);
    EXPECT_EQ(data.name, foundation::localizedString("Level Meter Name"));
    ASSERT_TRUE(data.range.has_value());
    EXPECT_EQ(data.range->current, 0.0f);
    m_meter->setAveragePower(0.4f);
    EXPECT_FLOAT_EQ(ui::accessibilityData({ m_meter, -1 }).range->current, 0.4f);
    // A level over full scale reads as full.
    m_meter->setAveragePower(1.5f);
    EXPECT_FLOAT_EQ(ui::accessibilityData({ m_meter, -1 }).range->current, 1.0f);
}
