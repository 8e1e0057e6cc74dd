#pragma once

#include "graphics/Gradient.h"
#include "graphics/Path.h"
#include "ui/View.h"

#include <memory>
#include <vector>

class AudioQueueObject;

namespace foundation {
class Timer;
}

/// The studio's recording level meter: a row of 32 rounded bars that light red from the left
/// with the average level of an audio queue, sampled every 0.1 s on the main run loop, each
/// bar with a glassy glare over its upper half. Bar k (from 1) lights at an average power of
/// 0.025 k, so all 32 are lit from 0.8 up. The bar outlines and gradients are made once, at
/// creation; a redraw only clips and fills.
///
/// The meter keeps the queue it shows (shared) until it is given another one; idle (no
/// timer, level 0, no bar lit) after creation and after stop. Main thread only.
class DecibelMeterView : public ui::View {
public:
    explicit DecibelMeterView(const gfx::Rect& frame);
    ~DecibelMeterView() override;

    /// Shows queue's level from now on, sampled every 0.1 s. A sampling already running is
    /// replaced, so one stop always ends it. A null queue reads as silence.
    void startForAudioQueue(std::shared_ptr<AudioQueueObject> queue);
    /// One sample: the queue's average power while it runs, else 0; then a redraw.
    void onTimer();
    /// Ends the sampling and shows no bar lit; the queue stays set.
    void stop();
    /// Makes the 32 bar outlines anew from the current bounds.
    void buildPaths();

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    /// A level bar named "Level Meter Name", its value the average power on 0 to 1.
    void fillAccessibilityData(ui::AccessibilityData& data) const override;

    float averagePower() const { return m_averagePower; }
    /// The level the next drawing shows (linear, 0 silence to 1 full scale); the next sample
    /// replaces it.
    void setAveragePower(float power);
    float peakPower() const { return m_peakPower; }
    const std::shared_ptr<AudioQueueObject>& activeAudioQueue() const { return m_activeAudioQueue; }
    bool isRunning() const { return m_timer != nullptr; }
    /// The bar outlines, leftmost first.
    const std::vector<gfx::Path>& paths() const { return m_paths; }

    static constexpr int kBarCount = 32;

private:
    float m_averagePower { 0 };
    float m_peakPower { 0 };
    std::shared_ptr<AudioQueueObject> m_activeAudioQueue;
    std::vector<gfx::Path> m_paths;
    gfx::Gradient m_activeGradient;
    gfx::Gradient m_inactiveGradient;
    gfx::Gradient m_glareGradient;
    gfx::Point m_gradientStartPoint;
    gfx::Point m_gradientEndPoint;
    gfx::Point m_gradientGlareEndPoint;
    std::shared_ptr<foundation::Timer> m_timer;
};
