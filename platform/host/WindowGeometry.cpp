#include "host/WindowGeometry.h"

#include "ui/Screen.h"

#include <algorithm>
#include <cmath>

namespace host {

namespace {

constexpr float kPreferredScale = 2;
constexpr float kSmallestScale = 0.5f;
constexpr float kScaleStep = 1.0f / 16;
constexpr float kHandheldShorterSide = 600;

gfx::Size phoneSize()
{
    return ui::Screen::mainScreen().bounds().size;
}

} // namespace

float fittingScale(gfx::Size available)
{
    if (!(available.width > 0 && available.height > 0))
        return kPreferredScale;
    const gfx::Size phone = phoneSize();
    const float fit = std::min(available.width / phone.width, (available.height - kWindowDecorationAllowance) / phone.height);
    if (fit >= kPreferredScale)
        return kPreferredScale;
    return std::max(kSmallestScale, std::floor(fit / kScaleStep) * kScaleStep);
}

bool isHandheldScreen(gfx::Size screen)
{
    const float shorter = std::min(screen.width, screen.height);
    return shorter > 0 && shorter < kHandheldShorterSide;
}

WindowMode windowModeFor(gfx::Size screen, std::optional<WindowMode> asked)
{
    if (asked)
        return *asked;
    return isHandheldScreen(screen) ? WindowMode::FullScreen : WindowMode::Windowed;
}

gfx::Rect screenRectInWindow(gfx::Size window)
{
    const gfx::Size phone = phoneSize();
    const float scale = std::max(0.0f, std::min(window.width / phone.width, window.height / phone.height));
    const gfx::Size fitted { phone.width * scale, phone.height * scale };
    return { (window.width - fitted.width) / 2, (window.height - fitted.height) / 2, fitted.width, fitted.height };
}

float imageScaleFor(float pixelsPerPoint)
{
    return pixelsPerPoint >= 1.5f ? 2 : 1;
}

} // namespace host
