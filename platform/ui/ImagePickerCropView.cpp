#include "ui/ImagePickerCropView.h"

#include "ui/Appearance.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

constexpr float kWheelZoomRate = 1.0f / 240; // a wheel notch (120) zooms by about 1.65

gfx::Point middleOf(const std::vector<std::shared_ptr<Touch>>& fingers, const View* view)
{
    gfx::Point sum;
    for (const auto& f : fingers) {
        const gfx::Point p = f->locationInView(view);
        sum.x += p.x;
        sum.y += p.y;
    }
    const float n = float(std::max<size_t>(fingers.size(), 1));
    return { sum.x / n, sum.y / n };
}

float spreadOf(const std::vector<std::shared_ptr<Touch>>& fingers, const View* view)
{
    if (fingers.size() < 2)
        return 0;
    const gfx::Point a = fingers[0]->locationInView(view);
    const gfx::Point b = fingers[1]->locationInView(view);
    return std::hypot(a.x - b.x, a.y - b.y);
}

} // namespace

ImagePickerCropView::ImagePickerCropView(const gfx::Rect& frame)
    : View(frame)
{
    setBackgroundColor(gfx::Color::black());
    setClipsToBounds(true);
}

void ImagePickerCropView::setImage(std::shared_ptr<gfx::Image> image)
{
    m_image = std::move(image);
    m_fingers.clear();
    m_zoom = minimumZoom();
    const gfx::Rect square = cropSquare();
    if (m_image) {
        m_origin = { (square.width() - float(m_image->pixelWidth()) * m_zoom) * 0.5f, (square.height() - float(m_image->pixelHeight()) * m_zoom) * 0.5f };
    }
    m_lastSide = square.width();
    constrain();
    setNeedsDisplay();
}

void ImagePickerCropView::setCaption(std::string caption)
{
    m_caption = std::move(caption);
    setNeedsDisplay();
}

gfx::Rect ImagePickerCropView::cropSquare() const
{
    const gfx::Rect b = bounds();
    const float side = std::min(b.width(), b.height());
    return gfx::Rect(b.minX() + (b.width() - side) * 0.5f, std::round(b.minY() + (b.height() - side) * 0.5f), side, side);
}

float ImagePickerCropView::minimumZoom() const
{
    if (!m_image)
        return 1;
    const float shorter = float(std::min(m_image->pixelWidth(), m_image->pixelHeight()));
    return cropSquare().width() / shorter;
}

gfx::Rect ImagePickerCropView::imageRect() const
{
    if (!m_image)
        return {};
    const gfx::Rect square = cropSquare();
    return gfx::Rect(square.minX() + m_origin.x, square.minY() + m_origin.y, float(m_image->pixelWidth()) * m_zoom, float(m_image->pixelHeight()) * m_zoom);
}

gfx::Rect ImagePickerCropView::cropRectInImage() const
{
    if (!m_image)
        return {};
    const float side = cropSquare().width() / m_zoom;
    return gfx::Rect(-m_origin.x / m_zoom, -m_origin.y / m_zoom, side, side);
}

void ImagePickerCropView::constrain()
{
    if (!m_image)
        return;
    const float minimum = minimumZoom();
    m_zoom = std::clamp(m_zoom, minimum, minimum * kMaxZoom);
    const gfx::Rect square = cropSquare();
    const float w = float(m_image->pixelWidth()) * m_zoom;
    const float h = float(m_image->pixelHeight()) * m_zoom;
    m_origin.x = std::clamp(m_origin.x, std::min(square.width() - w, 0.0f), 0.0f);
    m_origin.y = std::clamp(m_origin.y, std::min(square.height() - h, 0.0f), 0.0f);
}

void ImagePickerCropView::zoomBy(float factor, gfx::Point around)
{
    if (!m_image || !(factor > 0))
        return;
    const gfx::Rect square = cropSquare();
    const float old = m_zoom;
    const float minimum = minimumZoom();
    m_zoom = std::clamp(m_zoom * factor, minimum, minimum * kMaxZoom);
    // The picture's point under `around` stays there.
    const gfx::Point local { around.x - square.minX(), around.y - square.minY() };
    const float applied = m_zoom / old;
    m_origin.x = local.x - (local.x - m_origin.x) * applied;
    m_origin.y = local.y - (local.y - m_origin.y) * applied;
    constrain();
    setNeedsDisplay();
}

void ImagePickerCropView::moveBy(gfx::Point delta)
{
    if (!m_image)
        return;
    m_origin.x += delta.x;
    m_origin.y += delta.y;
    constrain();
    setNeedsDisplay();
}

void ImagePickerCropView::layoutSubviews()
{
    // A new size keeps the part shown, scaled to the new square.
    const float side = cropSquare().width();
    if (m_image && m_lastSide > 0 && side != m_lastSide) {
        const float ratio = side / m_lastSide;
        m_zoom *= ratio;
        m_origin = { m_origin.x * ratio, m_origin.y * ratio };
        constrain();
    }
    m_lastSide = side;
    setNeedsDisplay();
}

std::shared_ptr<gfx::Image> ImagePickerCropView::croppedImage(float scale) const
{
    if (!m_image || !(scale > 0))
        return nullptr;
    const float side = cropSquare().width();
    const int pixels = int(std::lround(side * scale));
    auto context = gfx::BitmapContext::create(pixels, pixels, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    if (!context)
        return nullptr;
    context->scaleCTM(scale, scale);
    context->drawImage(*m_image, gfx::Rect(m_origin.x, m_origin.y, float(m_image->pixelWidth()) * m_zoom, float(m_image->pixelHeight()) * m_zoom));
    return context->makeImage(scale);
}

void ImagePickerCropView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect square = cropSquare();
    if (m_image)
        context.drawImage(*m_image, imageRect());
    // Outside the square the picture is dimmed; the square has a thin light edge.
    const gfx::Rect b = bounds();
    const gfx::Color dim = gfx::Color::grey(0, 0.6f);
    context.fillRect(gfx::Rect(b.minX(), b.minY(), b.width(), square.minY() - b.minY()), dim);
    context.fillRect(gfx::Rect(b.minX(), square.maxY(), b.width(), b.maxY() - square.maxY()), dim);
    context.fillRect(gfx::Rect(b.minX(), square.minY(), square.minX() - b.minX(), square.height()), dim);
    context.fillRect(gfx::Rect(square.maxX(), square.minY(), b.maxX() - square.maxX(), square.height()), dim);
    gfx::Path edge;
    const gfx::Rect e = square.insetBy(0.5f, 0.5f);
    edge.moveTo({ e.minX(), e.minY() });
    edge.lineTo({ e.maxX(), e.minY() });
    edge.lineTo({ e.maxX(), e.maxY() });
    edge.lineTo({ e.minX(), e.maxY() });
    edge.closeSubpath();
    context.strokePath(edge, gfx::Color::grey(1, 0.7f), 1);
    if (!m_caption.empty())
        drawCentredText(context, m_caption, gfx::Rect(b.minX(), b.minY(), b.width(), square.minY() - b.minY()), gfx::Font::boldSystemFont(18),
            gfx::Color::white(), gfx::Color::grey(0, 0.8f));
}

// Touches: one finger moves, two move and pinch around their middle. Any change of fingers
// restarts the gesture from where they are, so lifting one of two goes on moving smoothly.

void ImagePickerCropView::fingersChanged()
{
    m_lastMiddle = middleOf(m_fingers, this);
    m_lastSpread = spreadOf(m_fingers, this);
}

void ImagePickerCropView::touchesBegan(const TouchSet& touches, const Event&)
{
    for (const auto& touch : touches)
        if (m_fingers.size() < 2 && std::find(m_fingers.begin(), m_fingers.end(), touch) == m_fingers.end())
            m_fingers.push_back(touch);
    fingersChanged();
}

void ImagePickerCropView::touchesMoved(const TouchSet&, const Event&)
{
    if (m_fingers.empty())
        return;
    const gfx::Point middle = middleOf(m_fingers, this);
    const float spread = spreadOf(m_fingers, this);
    if (m_fingers.size() >= 2 && m_lastSpread > 1 && spread > 1)
        zoomBy(spread / m_lastSpread, m_lastMiddle);
    moveBy({ middle.x - m_lastMiddle.x, middle.y - m_lastMiddle.y });
    m_lastMiddle = middle;
    m_lastSpread = spread;
}

void ImagePickerCropView::touchesEnded(const TouchSet& touches, const Event&)
{
    for (const auto& touch : touches)
        std::erase(m_fingers, touch);
    fingersChanged();
}

void ImagePickerCropView::touchesCancelled(const TouchSet& touches, const Event& event)
{
    touchesEnded(touches, event);
}

void ImagePickerCropView::scrollWheel(const WheelEvent& event)
{
    if (!m_image || event.delta.y == 0) {
        View::scrollWheel(event);
        return;
    }
    // Turning the wheel away from the user (a positive delta, as it would scroll back up)
    // enlarges the picture, as in every viewer.
    zoomBy(std::exp(event.delta.y * kWheelZoomRate), convertPointFromView(event.windowLocation, nullptr));
}

} // namespace ui
