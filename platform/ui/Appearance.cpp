#include "ui/Appearance.h"

#include "graphics/Font.h"
#include "graphics/Gradient.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

namespace ui {

namespace {

struct CachedImage {
    std::shared_ptr<gfx::Image> source; // kept so its address is not reused while cached
    std::shared_ptr<gfx::Image> made;
};

std::map<std::pair<const gfx::Image*, std::vector<float>>, CachedImage>& imageCache()
{
    static std::map<std::pair<const gfx::Image*, std::vector<float>>, CachedImage> cache;
    return cache;
}

std::vector<float> keyOf(const std::vector<gfx::Color>& colors)
{
    std::vector<float> key;
    for (const auto& c : colors)
        key.insert(key.end(), { c.red, c.green, c.blue, c.alpha });
    return key;
}

} // namespace

gfx::Path roundedRectPath(const gfx::Rect& rect, float radius)
{
    gfx::Rect r = rect.standardized();
    radius = std::clamp(radius, 0.0f, std::min(r.width(), r.height()) * 0.5f);
    constexpr float pi = std::numbers::pi_v<float>;
    gfx::Path path;
    path.moveTo({ r.minX() + radius, r.minY() });
    path.addArc({ r.maxX() - radius, r.minY() + radius }, radius, -pi / 2, 0, false);
    path.addArc({ r.maxX() - radius, r.maxY() - radius }, radius, 0, pi / 2, false);
    path.addArc({ r.minX() + radius, r.maxY() - radius }, radius, pi / 2, pi, false);
    path.addArc({ r.minX() + radius, r.minY() + radius }, radius, pi, pi * 1.5f, false);
    path.closeSubpath();
    return path;
}

void fillVerticalGradient(gfx::Context& context, const gfx::Rect& rect, const std::vector<gfx::Color>& colors, const gfx::Path& path)
{
    if (colors.empty() || rect.isEmpty())
        return;
    context.saveGState();
    if (path.isEmpty())
        context.clipToRect(rect);
    else
        context.clipToPath(path);
    context.drawLinearGradient(gfx::Gradient::withColors(colors), { rect.midX(), rect.minY() }, { rect.midX(), rect.maxY() },
        gfx::GradientDrawsBeforeStartLocation | gfx::GradientDrawsAfterEndLocation);
    context.restoreGState();
}

void drawGlossyRoundedRect(gfx::Context& context, const gfx::Rect& rect, float radius, gfx::Color base, gfx::Color border)
{
    auto lighter = [&](float amount) {
        return gfx::Color::rgba(base.red + (1 - base.red) * amount, base.green + (1 - base.green) * amount,
            base.blue + (1 - base.blue) * amount, base.alpha);
    };
    gfx::Path outer = roundedRectPath(rect, radius);
    context.fillPath(outer, border);
    gfx::Rect inner = rect.insetBy(1, 1);
    gfx::Path innerPath = roundedRectPath(inner, std::max(radius - 1, 0.0f));
    fillVerticalGradient(context, inner, { lighter(0.45f), lighter(0.25f) }, innerPath);
    // The lower half carries the base colour; the break at the middle is the gloss.
    gfx::Rect lower(inner.minX(), inner.midY(), inner.width(), inner.height() * 0.5f);
    context.saveGState();
    context.clipToRect(lower);
    fillVerticalGradient(context, lower, { base, lighter(0.12f) }, innerPath);
    context.restoreGState();
}

void drawBarBackground(gfx::Context& context, const gfx::Rect& rect, BarStyle style)
{
    const float alpha = style == BarStyle::BlackTranslucent ? 0.75f : 1.0f;
    gfx::Rect upper(rect.minX(), rect.minY(), rect.width(), std::floor(rect.height() * 0.5f));
    gfx::Rect lower(rect.minX(), upper.maxY(), rect.width(), rect.height() - upper.height());
    if (style == BarStyle::Default) {
        // The light steel-blue bar of the default style.
        fillVerticalGradient(context, upper, { gfx::Color::rgba(0.69f, 0.74f, 0.80f), gfx::Color::rgba(0.55f, 0.61f, 0.69f) });
        fillVerticalGradient(context, lower, { gfx::Color::rgba(0.48f, 0.55f, 0.64f), gfx::Color::rgba(0.43f, 0.50f, 0.60f) });
        context.fillRect(gfx::Rect(rect.minX(), rect.minY(), rect.width(), 1), gfx::Color::rgba(0.80f, 0.84f, 0.88f));
        context.fillRect(gfx::Rect(rect.minX(), rect.maxY() - 1, rect.width(), 1), gfx::Color::rgba(0.18f, 0.22f, 0.28f));
        return;
    }
    fillVerticalGradient(context, upper, { gfx::Color::grey(0.36f, alpha), gfx::Color::grey(0.20f, alpha) });
    fillVerticalGradient(context, lower, { gfx::Color::grey(0.11f, alpha), gfx::Color::grey(0.03f, alpha) });
    context.fillRect(gfx::Rect(rect.minX(), rect.minY(), rect.width(), 1), gfx::Color::grey(0.5f, alpha));
    context.fillRect(gfx::Rect(rect.minX(), rect.maxY() - 1, rect.width(), 1), gfx::Color::grey(0, alpha));
}

void drawBadge(gfx::Context& context, float right, float top, const std::string& text)
{
    if (text.empty())
        return;
    gfx::Font font = gfx::Font::boldSystemFont(13);
    const float height = 20;
    float width = std::max(height, std::ceil(font.widthOfText(text)) + 12);
    gfx::Rect badge(right - width, top, width, height);
    context.fillPath(roundedRectPath(badge.insetBy(-1.5f, -1.5f), height * 0.5f + 1.5f), gfx::Color::grey(0, 0.35f));
    context.fillPath(roundedRectPath(badge.insetBy(-1, -1), height * 0.5f + 1), gfx::Color::white());
    gfx::Path body = roundedRectPath(badge.insetBy(1, 1), height * 0.5f - 1);
    fillVerticalGradient(context, badge, { gfx::Color::rgba(0.98f, 0.45f, 0.42f), gfx::Color::rgba(0.85f, 0.05f, 0.05f), gfx::Color::rgba(0.72f, 0.0f, 0.0f) }, body);
    drawCentredText(context, text, badge, font, gfx::Color::white());
}

void drawCentredText(gfx::Context& context, const std::string& text, const gfx::Rect& rect, const gfx::Font& font,
    gfx::Color color, std::optional<gfx::Color> shadow, gfx::Point shadowOffset)
{
    if (text.empty())
        return;
    float top = rect.minY() + std::round((rect.height() - font.lineHeight()) * 0.5f);
    gfx::Rect line(rect.minX(), top, rect.width(), font.lineHeight());
    if (shadow)
        context.drawText(text, line.offsetBy(shadowOffset.x, shadowOffset.y), font, *shadow, gfx::TextAlignment::Center, gfx::LineBreakMode::TailTruncation, 1);
    context.drawText(text, line, font, color, gfx::TextAlignment::Center, gfx::LineBreakMode::TailTruncation, 1);
}

std::shared_ptr<gfx::Image> tintedImage(const std::shared_ptr<gfx::Image>& shape, const std::vector<gfx::Color>& colors)
{
    if (!shape)
        return nullptr;
    auto key = std::make_pair(shape.get(), keyOf(colors));
    if (auto it = imageCache().find(key); it != imageCache().end())
        return it->second.made;
    const int width = shape->pixelWidth(), height = shape->pixelHeight();
    auto context = gfx::BitmapContext::create(width, height, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    if (!context)
        return nullptr;
    fillVerticalGradient(*context, gfx::Rect(0, 0, float(width), float(height)), colors);
    // Premultiplied: scaling all four components by the shape's alpha applies it as a mask.
    gfx::Bitmap& bitmap = context->mutableBitmap();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.data() + std::ptrdiff_t(y) * bitmap.bytesPerRow();
        for (int x = 0; x < width; ++x) {
            const unsigned alpha = shape->pixelAt(x, y).alpha;
            for (int i = 0; i < 4; ++i)
                row[x * 4 + i] = std::uint8_t(row[x * 4 + i] * alpha / 255);
        }
    }
    auto made = context->makeImage(shape->scale());
    imageCache()[key] = { shape, made };
    return made;
}

std::shared_ptr<gfx::Image> darkenedImage(const std::shared_ptr<gfx::Image>& image)
{
    if (!image)
        return nullptr;
    auto key = std::make_pair(image.get(), std::vector<float> { -1 });
    if (auto it = imageCache().find(key); it != imageCache().end())
        return it->second.made;
    auto bitmap = image->bitmap().copy();
    if (!bitmap)
        return image;
    const int bytes = gfx::Bitmap::bytesPerPixel(bitmap->format());
    // The colour components come first in every layout with alpha (little-endian native too).
    const int colourBytes = bytes == 1 ? 1 : 3;
    for (int y = 0; y < bitmap->height(); ++y) {
        std::uint8_t* row = bitmap->data() + std::ptrdiff_t(y) * bitmap->bytesPerRow();
        for (int x = 0; x < bitmap->width(); ++x)
            for (int i = 0; i < colourBytes; ++i)
                row[x * bytes + i] = std::uint8_t(row[x * bytes + i] * 3 / 5);
    }
    auto made = gfx::Image::withBitmap(bitmap, image->scale());
    if (made && (image->leftCapWidth() || image->topCapHeight()))
        made = made->stretchableImage(image->leftCapWidth(), image->topCapHeight());
    imageCache()[key] = { image, made };
    return made;
}

gfx::Color groupTableViewBackgroundColor()
{
    return gfx::Color::rgba(0.773f, 0.8f, 0.831f);
}

void clearAppearanceCache()
{
    imageCache().clear();
}

} // namespace ui

#include "ui/Screen.h"

namespace ui {

std::shared_ptr<gfx::Image> glossyButtonImage(gfx::Color base, gfx::Color border, float height, float radius)
{
    const float scale = Screen::mainScreen().scale();
    std::vector<float> key = keyOf({ base, border });
    key.insert(key.end(), { height, radius, scale, -2 });
    auto cacheKey = std::make_pair(static_cast<const gfx::Image*>(nullptr), key);
    if (auto it = imageCache().find(cacheKey); it != imageCache().end())
        return it->second.made;
    const float width = radius * 2 + 2;
    auto image = renderImage({ width, height }, [&](gfx::Context& context) {
        drawGlossyRoundedRect(context, gfx::Rect(0, 0, width, height), radius, base, border);
    });
    auto made = image ? image->stretchableImage(int(radius), 0) : nullptr;
    imageCache()[cacheKey] = { nullptr, made };
    return made;
}

} // namespace ui

namespace ui {

std::shared_ptr<gfx::Image> renderImage(gfx::Size size, const std::function<void(gfx::Context&)>& draw)
{
    const float scale = Screen::mainScreen().scale();
    auto context = gfx::BitmapContext::create(int(std::ceil(size.width * scale)), int(std::ceil(size.height * scale)),
        gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    if (!context)
        return nullptr;
    context->scaleCTM(scale, scale);
    draw(*context);
    return context->makeImage(scale);
}

} // namespace ui
