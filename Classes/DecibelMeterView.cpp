#include "DecibelMeterView.h"

#include "AudioQueueObject.h"
#include "HelperMethods.h"

#include "foundation/Bundle.h"
#include "foundation/RunLoop.h"

#include <algorithm>

namespace {

gfx::Gradient twoStops(float r0, float g0, float b0, float a0, float r1, float g1, float b1, float a1)
{
    return gfx::Gradient::withColorComponents(gfx::ColorSpace::DeviceRGB, { r0, g0, b0, a0, r1, g1, b1, a1 }, { 0.0f, 1.0f });
}

} // namespace

DecibelMeterView::DecibelMeterView(const gfx::Rect& frame)
    : ui::View(frame)
    , m_activeGradient(twoStops(1, 0, 0, 1, 0.6f, 0, 0, 1))
    , m_inactiveGradient(twoStops(0.4f, 0.4f, 0.4f, 1, 0.06f, 0.06f, 0.06f, 1))
    , m_glareGradient(twoStops(1, 1, 1, 0.28f, 1, 1, 1, 0.05f))
    , m_gradientStartPoint { 0, 0 }
    , m_gradientEndPoint { 0, frame.height() }
    , m_gradientGlareEndPoint { 0, float(double(frame.height()) * 0.5) }
{
    setBackgroundColor(gfx::Color::clear());
    buildPaths();
}

DecibelMeterView::~DecibelMeterView()
{
    if (m_timer)
        stop();
}

void DecibelMeterView::buildPaths()
{
    const float width = bounds().width();
    const float height = bounds().height();
    // The bars take 55 % of the width, the gaps the rest: the pitch is width / 32.
    const float barsWidth = float(double(width) * 0.55);
    const float barWidth = barsWidth * (1.0f / kBarCount);
    const float gap = (width - barsWidth) * (1.0f / kBarCount);
    const float pitch = barWidth + gap;
    const float radius = barWidth * 0.5f;
    m_paths.clear();
    for (int i = 0; i < kBarCount; ++i)
        m_paths.push_back(HelperMethods::createRoundedRectanglePath(gfx::Rect(float(i) * pitch + 2, 2, barWidth, height - 4), radius));
}

void DecibelMeterView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    // In double precision, so that 0.025 lights exactly one bar.
    const float level = float(double(m_averagePower) / 0.8);
    for (int i = 0; i < int(m_paths.size()); ++i) {
        context.saveGState();
        context.clipToPath(m_paths[i]);
        const bool lit = level >= float(i + 1) * 0.03125f;
        context.drawLinearGradient(lit ? m_activeGradient : m_inactiveGradient, m_gradientStartPoint, m_gradientEndPoint, 0);
        context.drawLinearGradient(m_glareGradient, m_gradientStartPoint, m_gradientGlareEndPoint, 0);
        context.restoreGState();
    }
}

void DecibelMeterView::setAveragePower(float power)
{
    if (m_averagePower == power)
        return;
    m_averagePower = power;
    setNeedsDisplay();
    ui::announceAccessibilityChange(*this, ui::AccessibilityChange::Value);
}

void DecibelMeterView::fillAccessibilityData(ui::AccessibilityData& data) const
{
    data.role = ui::AccessibilityRole::LevelBar;
    data.name = foundation::localizedString("Level Meter Name");
    data.range = ui::AccessibilityRange { 0, 1, std::clamp(m_averagePower, 0.0f, 1.0f), 0.025f };
}

void DecibelMeterView::startForAudioQueue(std::shared_ptr<AudioQueueObject> queue)
{
    m_activeAudioQueue = std::move(queue);
    // A second start must not leave the first timer running where no stop can reach it.
    if (m_timer)
        m_timer->invalidate();
    // The destructor invalidates the timer, so the callback never outlives the meter.
    m_timer = foundation::RunLoop::main().scheduleTimer(0.1, true, [this](foundation::Timer&) { onTimer(); });
}

void DecibelMeterView::onTimer()
{
    const float before = m_averagePower;
    if (m_activeAudioQueue && m_activeAudioQueue->isRunning())
        m_averagePower = m_activeAudioQueue->getAveragePower();
    else
        m_averagePower = 0;
    setNeedsDisplay();
    if (m_averagePower != before)
        ui::announceAccessibilityChange(*this, ui::AccessibilityChange::Value);
}

void DecibelMeterView::stop()
{
    if (m_timer)
        m_timer->invalidate();
    m_averagePower = 0;
    setNeedsDisplay();
    m_timer = nullptr;
}
