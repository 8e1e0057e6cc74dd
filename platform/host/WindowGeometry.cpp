#include "host/WindowGeometry.h"

#include "ui/Screen.h"

#include "foundation/FileManager.h"
#include "foundation/StringFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace host {

namespace {

constexpr float kPreferredScale = 2;
constexpr float kSmallestScale = 0.5f;
constexpr float kScaleStep = 1.0f / 16;
constexpr float kHandheldShorterSide = 600;
// 7.5 inches: phones and the small handhelds, not the 8-inch and larger tablets.
constexpr float kHandheldDiagonalMillimetres = 190.5f;

constexpr gfx::Size kDesign = ui::Screen::kDesignSize;

bool hasWord(const std::string& list, const std::string& word)
{
    std::stringstream words(list);
    std::string item;
    while (std::getline(words, item, ':'))
        if (item == word)
            return true;
    return false;
}

} // namespace

float fittingScale(gfx::Size available)
{
    if (!(available.width > 0 && available.height > 0))
        return kPreferredScale;
    const float fit = std::min(available.width / kDesign.width, (available.height - kWindowDecorationAllowance) / kDesign.height);
    if (fit >= kPreferredScale)
        return kPreferredScale;
    return std::max(kSmallestScale, std::floor(fit / kScaleStep) * kScaleStep);
}

bool isHandheldDisplay(const DisplayFacts& display)
{
    if (hasWord(display.currentDesktop, "Phosh") || display.plasmaPlatform.rfind("phone", 0) == 0)
        return true;
    if (display.millimetres.width > 0 && display.millimetres.height > 0)
        return std::hypot(display.millimetres.width, display.millimetres.height) <= kHandheldDiagonalMillimetres;
    const float shorter = std::min(display.size.width, display.size.height);
    return shorter > 0 && shorter < kHandheldShorterSide;
}

WindowMode windowModeFor(const DisplayFacts& display, std::optional<WindowMode> asked)
{
    if (asked)
        return *asked;
    return isHandheldDisplay(display) ? WindowMode::FullScreen : WindowMode::Windowed;
}

ScreenFit screenFitForWindow(gfx::Size window, float preferredScale)
{
    const float preferred = preferredScale > 0 ? preferredScale : kPreferredScale;
    if (!(window.width > 0 && window.height > 0))
        return { kDesign, preferred };
    const float scale = std::min({ preferred, window.width / kDesign.width, window.height / kDesign.height });
    // The division may fall a hair short of the designed size.
    return { { std::max(kDesign.width, window.width / scale), std::max(kDesign.height, window.height / scale) }, scale };
}

float imageScaleFor(float pixelsPerPoint)
{
    return pixelsPerPoint >= 1.5f ? 2 : 1;
}

std::optional<SavedWindowGeometry> parseWindowGeometry(const std::string& text)
{
    std::istringstream in(text);
    float x, y, width, height;
    int maximised;
    if (!(in >> x >> y >> width >> height >> maximised) || (maximised != 0 && maximised != 1))
        return std::nullopt;
    std::string rest;
    if (in >> rest)
        return std::nullopt;
    for (float value : { x, y, width, height })
        if (!std::isfinite(value) || std::abs(value) > 1e6f)
            return std::nullopt;
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return SavedWindowGeometry { { x, y, width, height }, maximised == 1 };
}

std::string windowGeometryText(const SavedWindowGeometry& geometry)
{
    const gfx::Rect& f = geometry.frame;
    return foundation::format("%g %g %g %g %d\n", double(f.x()), double(f.y()), double(f.width()), double(f.height()), geometry.maximised ? 1 : 0);
}

std::optional<PlacedWindow> placeSavedWindow(const gfx::Rect& saved, const std::vector<gfx::Rect>& available, gfx::Size minimum)
{
    if (available.empty())
        return std::nullopt;
    const gfx::Point centre = saved.center();
    auto holder = std::find_if(available.begin(), available.end(), [&](const gfx::Rect& area) { return area.containsPoint(centre); });
    const gfx::Rect& area = holder != available.end() ? *holder : available.front();
    const float width = std::clamp(saved.width(), std::min(minimum.width, area.width()), area.width());
    const float height = std::clamp(saved.height(), std::min(minimum.height, area.height()), area.height());
    if (holder == available.end())
        return PlacedWindow { { area.x(), area.y(), width, height }, false };
    const float x = std::clamp(saved.x(), area.minX(), area.maxX() - width);
    const float y = std::clamp(saved.y(), area.minY(), area.maxY() - height);
    return PlacedWindow { { x, y, width, height }, true };
}

std::string savedWindowGeometryPath()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string base = state && state[0] == '/' ? std::string(state) : foundation::homeDirectory() + "/.local/state";
    return base + "/parlivo/window";
}

} // namespace host
