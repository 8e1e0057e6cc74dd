#pragma once

// The look shared by the controls and bars: the classic dark handset look (black glossy
// bars, glossy buttons, blue selection), drawn in code so it is sharp at every scale.

#include "graphics/Context.h"
#include "graphics/Image.h"
#include "graphics/Path.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

/// The look of a bar (the platform's values).
enum class BarStyle {
    Default = 0,
    Black = 1,
    BlackTranslucent = 2,
};

/// A closed rounded rectangle; the radius is limited to half the shorter side.
gfx::Path roundedRectPath(const gfx::Rect& rect, float radius);

/// Paints colours spread evenly from the top of rect to its bottom, inside path (the whole
/// rectangle when path is empty).
void fillVerticalGradient(gfx::Context& context, const gfx::Rect& rect, const std::vector<gfx::Color>& colors,
    const gfx::Path& path = {});

/// A glossy capsule: top colour to base colour with a bright upper half, and a border.
void drawGlossyRoundedRect(gfx::Context& context, const gfx::Rect& rect, float radius, gfx::Color base, gfx::Color border);

/// The background of a navigation bar or toolbar of style, over rect.
void drawBarBackground(gfx::Context& context, const gfx::Rect& rect, BarStyle style);

/// A red badge with white text whose right edge is at right and top at top (tab items).
/// Nothing for an empty text.
void drawBadge(gfx::Context& context, float right, float top, const std::string& text);

/// A picture with shape's alpha and the gradient's colours running from its top to its
/// bottom (tab bar icons, bar glyphs). Made once per shape and colours. Null for no shape.
std::shared_ptr<gfx::Image> tintedImage(const std::shared_ptr<gfx::Image>& shape, const std::vector<gfx::Color>& colors);

/// The picture with its colours darkened (a highlighted custom button). Made once per image.
std::shared_ptr<gfx::Image> darkenedImage(const std::shared_ptr<gfx::Image>& image);

/// Draws text centred in rect on one line (truncated at the tail), vertically centred, with a
/// one-point shadow when shadow is given.
void drawCentredText(gfx::Context& context, const std::string& text, const gfx::Rect& rect, const gfx::Font& font,
    gfx::Color color, std::optional<gfx::Color> shadow = std::nullopt, gfx::Point shadowOffset = { 0, -1 });

/// The background behind grouped tables and the screens drawn in their style.
gfx::Color groupTableViewBackgroundColor();

/// Forgets the pictures made by tintedImage and darkenedImage (tests change the scale).
void clearAppearanceCache();

} // namespace ui

namespace ui {

/// A glossy capsule picture height points tall for a button background, stretchable in
/// width (its caps are the rounded ends), drawn for the main screen's scale. Made once per
/// colours and height.
std::shared_ptr<gfx::Image> glossyButtonImage(gfx::Color base, gfx::Color border, float height, float radius);

} // namespace ui

namespace ui {

/// A picture of size drawn by draw in a top-down context, at the main screen's scale.
std::shared_ptr<gfx::Image> renderImage(gfx::Size size, const std::function<void(gfx::Context&)>& draw);

} // namespace ui
