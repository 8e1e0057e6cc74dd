#include "ui/PageCurl.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ui {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kHalfPi = kPi / 2;
constexpr float kMinimumRadius = 1;
// A surface facing away from the viewer keeps this much of its light.
constexpr float kAmbientLight = 0.55f;

float lightAt(float angle)
{
    return kAmbientLight + (1 - kAmbientLight) * std::fabs(std::cos(angle));
}

} // namespace

PageCurl::PageCurl(float length, float radius)
    : m_length(std::max(length, 0.0f))
    , m_radius(radius > 0 ? radius : kMinimumRadius)
{
}

float PageCurl::radiusForLength(float length)
{
    return std::max(length / 8, kMinimumRadius);
}

float PageCurl::lineAt(float progress) const
{
    return std::clamp(progress, 0.0f, 1.0f) * (m_length + m_radius + shadowWidth());
}

float PageCurl::rolledStart(float line) const
{
    if (line <= 0)
        return line;
    return line - m_radius * std::sin(std::min(line / m_radius, kHalfPi));
}

float PageCurl::frontStart(float line) const
{
    const float turned = std::min(line / m_radius, kPi);
    if (turned <= kHalfPi)
        return rolledStart(line);
    return line - m_radius * std::sin(turned);
}

float PageCurl::backEnd(float line) const
{
    return line + std::max(0.0f, line - kPi * m_radius);
}

PageCurl::Sample PageCurl::layerAt(float position, float line) const
{
    Sample sample;
    if (position >= line) {
        if (position < backEnd(line)) {
            sample.layer = Layer::BackFlat;
            sample.distance = 2 * line - kPi * m_radius - position;
        } else {
            sample.layer = Layer::Flat;
            sample.distance = position;
        }
        return sample;
    }
    const float start = rolledStart(line);
    if (position < start) {
        sample.layer = Layer::Beneath;
        sample.distance = position;
        const float away = start - position;
        if (away < shadowWidth())
            sample.shadow = kShadowAlpha * (1 - away / shadowWidth());
        return sample;
    }
    return rolledAt(position, line, position < frontStart(line) ? Layer::Back : Layer::Front);
}

PageCurl::Sample PageCurl::rolledAt(float position, float line, Layer side) const
{
    const float rise = std::clamp((line - position) / m_radius, 0.0f, 1.0f);
    const float angle = side == Layer::Back ? kPi - std::asin(rise) : std::asin(rise);
    Sample sample;
    sample.layer = side == Layer::Back ? Layer::Back : Layer::Front;
    sample.distance = line - m_radius * angle;
    sample.light = lightAt(angle);
    return sample;
}

} // namespace ui
