#include "ui/ImageView.h"

#include "ui/Screen.h"

#include <algorithm>

namespace ui {

std::shared_ptr<gfx::Image> imageNamed(const std::string& name)
{
    return gfx::Image::named(name, Screen::mainScreen().scale());
}

ImageView::ImageView(const gfx::Rect& frame)
    : View(frame)
{
    setUserInteractionEnabled(false);
}

ImageView::ImageView(std::shared_ptr<gfx::Image> image)
    : View(image ? gfx::Rect(gfx::Point {}, image->size()) : gfx::Rect())
    , m_image(std::move(image))
{
    setUserInteractionEnabled(false);
}

void ImageView::setImage(std::shared_ptr<gfx::Image> image)
{
    if (image == m_image)
        return;
    m_image = std::move(image);
    setNeedsDisplay();
}

void ImageView::setContentMode(ContentMode mode)
{
    if (mode == m_contentMode)
        return;
    m_contentMode = mode;
    setNeedsDisplay();
}

void ImageView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    if (!m_image)
        return;
    const gfx::Rect b = bounds();
    const gfx::Size size = m_image->size();
    gfx::Rect target = b;
    if (m_contentMode != ContentMode::ScaleToFill && size.width > 0 && size.height > 0) {
        float scale = 1;
        if (m_contentMode == ContentMode::ScaleAspectFit)
            scale = std::min(b.width() / size.width, b.height() / size.height);
        else if (m_contentMode == ContentMode::ScaleAspectFill)
            scale = std::max(b.width() / size.width, b.height() / size.height);
        gfx::Size shown { size.width * scale, size.height * scale };
        target = gfx::Rect(b.midX() - shown.width * 0.5f, b.midY() - shown.height * 0.5f, shown.width, shown.height);
    }
    context.drawImage(*m_image, target);
}

gfx::Size ImageView::sizeThatFits(gfx::Size size) const
{
    return m_image ? m_image->size() : View::sizeThatFits(size);
}

void ImageView::fillAccessibilityData(AccessibilityData& data) const
{
    if (!accessibilityName().empty())
        data.role = AccessibilityRole::Image;
}

} // namespace ui
