#include "graphics/Context.h"

#include <QImage>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gfx {

// Defined in Font.cpp, which owns the mapping from our fonts to the toolkit's; the struct
// must stay identical to the one there.
struct ToolkitFont {
    QFont font;
    QFontMetricsF metrics;
};
const ToolkitFont& toolkitFont(const Font& font);

namespace {

QTransform toQt(const AffineTransform& t)
{
    return QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty);
}

AffineTransform fromQt(const QTransform& t)
{
    return AffineTransform::make(float(t.m11()), float(t.m12()), float(t.m21()), float(t.m22()), float(t.dx()), float(t.dy()));
}

QColor toQt(const Color& c)
{
    auto clamp = [](float v) { return std::clamp(v, 0.0f, 1.0f); };
    return QColor::fromRgbF(clamp(c.red), clamp(c.green), clamp(c.blue), clamp(c.alpha));
}

QRectF toQt(const Rect& r)
{
    Rect s = r.standardized();
    return QRectF(s.x(), s.y(), s.width(), s.height());
}

QPainterPath toQt(const Path& path)
{
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    constexpr double degrees = 180.0 / std::numbers::pi;
    for (const Path::Element& e : path.elements()) {
        switch (e.type) {
        case Path::ElementType::MoveTo:
            out.moveTo(e.point.x, e.point.y);
            break;
        case Path::ElementType::LineTo:
            out.lineTo(e.point.x, e.point.y);
            break;
        case Path::ElementType::Arc: {
            QRectF box(e.point.x - e.radius, e.point.y - e.radius, 2.0 * e.radius, 2.0 * e.radius);
            // The toolkit measures angles the other way round (towards negative y).
            out.arcTo(box, -e.startAngle * degrees, -Path::arcSweep(e) * degrees);
            break;
        }
        case Path::ElementType::Close:
            out.closeSubpath();
            break;
        }
    }
    return out;
}

QImage wrapImage(const Bitmap& bitmap)
{
    return QImage(bitmap.data(), bitmap.width(), bitmap.height(), bitmap.bytesPerRow(), QImage::Format(bitmap.toolkitFormatCode()));
}

} // namespace

struct Context::Impl {
    QImage image;
    QPainter painter;
    int depth { 0 };
};

Context::Context(std::shared_ptr<Bitmap> bitmap, const AffineTransform& base)
    : m_bitmap(std::move(bitmap))
    , m_impl(std::make_unique<Impl>())
{
    Font::prepareTextSystem();
    Bitmap& b = *m_bitmap;
    m_impl->image = QImage(b.data(), b.width(), b.height(), b.bytesPerRow(), QImage::Format(b.toolkitFormatCode()));
    m_impl->painter.begin(&m_impl->image);
    m_impl->painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    m_impl->painter.setWorldTransform(toQt(base));
}

Context::~Context()
{
    m_impl->painter.end();
}

void Context::saveGState()
{
    m_impl->painter.save();
    ++m_impl->depth;
}

void Context::restoreGState()
{
    if (m_impl->depth == 0)
        return;
    m_impl->painter.restore();
    --m_impl->depth;
}

AffineTransform Context::getCTM() const
{
    return fromQt(m_impl->painter.worldTransform());
}

void Context::concatCTM(const AffineTransform& t)
{
    m_impl->painter.setWorldTransform(toQt(t), true);
}

void Context::translateCTM(float tx, float ty)
{
    m_impl->painter.translate(tx, ty);
}

void Context::scaleCTM(float sx, float sy)
{
    m_impl->painter.scale(sx, sy);
}

void Context::clipToPath(const Path& path)
{
    m_impl->painter.setClipPath(toQt(path), m_impl->painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

void Context::clipToRect(const Rect& rect)
{
    m_impl->painter.setClipRect(toQt(rect), m_impl->painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

Rect Context::clipBoundingBox() const
{
    QRectF box;
    const QPainter& p = m_impl->painter;
    QRectF device(0, 0, m_bitmap->width(), m_bitmap->height());
    QTransform inverse = p.worldTransform().inverted();
    box = inverse.mapRect(device);
    if (p.hasClipping())
        box = box.intersected(p.clipBoundingRect());
    return Rect(float(box.x()), float(box.y()), float(box.width()), float(box.height()));
}

void Context::setAlpha(float alpha)
{
    m_impl->painter.setOpacity(std::clamp(alpha, 0.0f, 1.0f));
}

float Context::alpha() const
{
    return float(m_impl->painter.opacity());
}

void Context::fillRect(const Rect& rect, const Color& color)
{
    m_impl->painter.fillRect(toQt(rect), toQt(color));
}

void Context::clearRect(const Rect& rect)
{
    QPainter& p = m_impl->painter;
    auto mode = p.compositionMode();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillRect(toQt(rect), Qt::black);
    p.setCompositionMode(mode);
}

void Context::fillPath(const Path& path, const Color& color)
{
    m_impl->painter.fillPath(toQt(path), toQt(color));
}

void Context::strokePath(const Path& path, const Color& color, float lineWidth)
{
    QPen pen(toQt(color), lineWidth);
    m_impl->painter.strokePath(toQt(path), pen);
}

void Context::drawLinearGradient(const Gradient& gradient, Point start, Point end, unsigned options)
{
    const double dx = double(end.x) - start.x;
    const double dy = double(end.y) - start.y;
    const double length = std::hypot(dx, dy);
    if (length == 0 || gradient.stops().empty())
        return;
    // The band along the axis, limited to the clip: t runs along the axis (0 at start,
    // length at end), s across it. Outside 0..length only where the options extend it.
    const double ux = dx / length, uy = dy / length;
    const Rect clip = clipBoundingBox();
    double tMin = 0, tMax = 0, sMin = 0, sMax = 0;
    bool first = true;
    for (Point corner : { Point { clip.minX(), clip.minY() }, Point { clip.maxX(), clip.minY() }, Point { clip.minX(), clip.maxY() }, Point { clip.maxX(), clip.maxY() } }) {
        double rx = corner.x - double(start.x), ry = corner.y - double(start.y);
        double t = rx * ux + ry * uy;
        double s = -rx * uy + ry * ux;
        tMin = first ? t : std::min(tMin, t);
        tMax = first ? t : std::max(tMax, t);
        sMin = first ? s : std::min(sMin, s);
        sMax = first ? s : std::max(sMax, s);
        first = false;
    }
    if (!(options & GradientDrawsBeforeStartLocation))
        tMin = std::max(tMin, 0.0);
    if (!(options & GradientDrawsAfterEndLocation))
        tMax = std::min(tMax, length);
    if (tMax <= tMin)
        return;
    auto at = [&](double t, double s) { return QPointF(start.x + t * ux - s * uy, start.y + t * uy + s * ux); };
    QPolygonF band({ at(tMin, sMin), at(tMax, sMin), at(tMax, sMax), at(tMin, sMax) });

    QLinearGradient fill(QPointF(start.x, start.y), QPointF(end.x, end.y));
    fill.setSpread(QGradient::PadSpread);
    for (const auto& stop : gradient.stops())
        fill.setColorAt(stop.location, toQt(stop.color));
    QPainter& p = m_impl->painter;
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    // The band's edges lie across the axis; smoothing them would bleed outside the band.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawPolygon(band);
    p.restore();
}

void Context::drawImage(const Image& image, const Rect& rect)
{
    if (rect.isEmpty())
        return;
    QPainter& p = m_impl->painter;
    const QImage source = wrapImage(image.bitmap());
    const QRectF target = toQt(rect);
    if (image.leftCapWidth() == 0 && image.topCapHeight() == 0) {
        p.drawImage(target, source);
        return;
    }
    // Three spans an axis: the cap (points and pixels), the stretched one-point span, the rest.
    const float scale = image.scale();
    auto spans = [scale](int cap, float sourcePoints, double targetStart, double targetLength, double out[4], double src[4]) {
        if (cap <= 0) {
            out[0] = out[1] = out[2] = targetStart;
            out[3] = targetStart + targetLength;
            src[0] = src[1] = src[2] = 0;
            src[3] = sourcePoints * scale;
            return;
        }
        double end = std::max(sourcePoints - cap - 1.0, 0.0);
        double capLength = std::min<double>(cap, targetLength);
        double endLength = std::min(end, targetLength - capLength);
        out[0] = targetStart;
        out[1] = targetStart + capLength;
        out[2] = targetStart + targetLength - endLength;
        out[3] = targetStart + targetLength;
        src[0] = 0;
        src[1] = cap * scale;
        src[2] = std::min<double>((cap + 1) * scale, sourcePoints * scale);
        src[3] = sourcePoints * scale;
    };
    double xs[4], sxs[4], ys[4], sys[4];
    spans(image.leftCapWidth(), image.size().width, target.x(), target.width(), xs, sxs);
    spans(image.topCapHeight(), image.size().height, target.y(), target.height(), ys, sys);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            QRectF to(xs[column], ys[row], xs[column + 1] - xs[column], ys[row + 1] - ys[row]);
            QRectF from(sxs[column], sys[row], sxs[column + 1] - sxs[column], sys[row + 1] - sys[row]);
            if (to.width() > 0 && to.height() > 0 && from.width() > 0 && from.height() > 0)
                p.drawImage(to, source, from);
        }
    }
}

void Context::drawImageInQuad(const Image& image, Point topLeft, Point topRight, Point bottomRight, Point bottomLeft)
{
    const QImage source = wrapImage(image.bitmap());
    QPolygonF from(QRectF(0, 0, source.width(), source.height()));
    from.removeLast();
    QPolygonF to({ QPointF(topLeft.x, topLeft.y), QPointF(topRight.x, topRight.y), QPointF(bottomRight.x, bottomRight.y), QPointF(bottomLeft.x, bottomLeft.y) });
    QTransform mapping;
    if (!QTransform::quadToQuad(from, to, mapping))
        return;
    QPainter& p = m_impl->painter;
    p.save();
    p.setWorldTransform(mapping, true);
    p.drawImage(QPointF(0, 0), source);
    p.restore();
}

void Context::drawText(const std::string& text, const Rect& rect, const Font& font, const Color& color,
    TextAlignment alignment, LineBreakMode mode, int numberOfLines)
{
    if (text.empty())
        return;
    drawTextLines(font.layoutText(text, rect.standardized().width(), mode, numberOfLines), rect, font, color, alignment, mode);
}

void Context::drawTextLines(const std::vector<TextLine>& lines, const Rect& rect, const Font& font, const Color& color,
    TextAlignment alignment, LineBreakMode mode)
{
    if (lines.empty())
        return;
    const Rect r = rect.standardized();
    QPainter& p = m_impl->painter;
    p.save();
    const ToolkitFont& face = toolkitFont(font);
    p.setFont(face.font);
    p.setPen(toQt(color));
    if (mode == LineBreakMode::Clip && r.width() > 0)
        p.setClipRect(toQt(r), p.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    const float lineHeight = float(face.metrics.lineSpacing());
    const float ascender = float(face.metrics.ascent());
    for (size_t i = 0; i < lines.size(); ++i) {
        float top = r.minY() + lineHeight * float(i);
        if (i > 0 && r.height() > 0 && top >= r.maxY())
            break;
        float x = r.minX();
        if (alignment == TextAlignment::Center)
            x += (r.width() - lines[i].width) * 0.5f;
        else if (alignment == TextAlignment::Right)
            x += r.width() - lines[i].width;
        p.drawText(QPointF(x, top + ascender), QString::fromStdString(lines[i].text));
    }
    p.restore();
}

BitmapContext::BitmapContext(std::shared_ptr<Bitmap> bitmap, const AffineTransform& base)
    : Context(std::move(bitmap), base)
{
}

namespace {

AffineTransform baseTransform(int height, ContextOrigin origin)
{
    if (origin == ContextOrigin::TopLeft)
        return AffineTransform::identity();
    return AffineTransform::make(1, 0, 0, -1, 0, float(height));
}

} // namespace

std::unique_ptr<BitmapContext> BitmapContext::create(int width, int height, PixelFormat format, ContextOrigin origin)
{
    auto bitmap = Bitmap::create(width, height, format);
    if (!bitmap)
        return nullptr;
    return std::unique_ptr<BitmapContext>(new BitmapContext(std::move(bitmap), baseTransform(height, origin)));
}

std::unique_ptr<BitmapContext> BitmapContext::createWithData(std::uint8_t* data, int width, int height, int bytesPerRow,
    PixelFormat format, std::function<void()> release, ContextOrigin origin)
{
    auto bitmap = Bitmap::wrap(data, width, height, bytesPerRow, format, std::move(release));
    if (!bitmap)
        return nullptr;
    return std::unique_ptr<BitmapContext>(new BitmapContext(std::move(bitmap), baseTransform(height, origin)));
}

std::shared_ptr<Image> BitmapContext::makeImage(float scale)
{
    return Image::withBitmap(m_bitmap->copy(), scale);
}

} // namespace gfx
