#pragma once

#include "ui/View.h"

#include "graphics/Image.h"

#include <memory>
#include <string>

namespace ui {

/// How a view's content fills its bounds (the platform's values, those in use here).
enum class ContentMode {
    ScaleToFill = 0,
    ScaleAspectFit = 1,
    ScaleAspectFill = 2,
    Center = 4,
};

/// The resource image of that file name for the main screen's scale ("record_mic_normal.png"
/// picks "record_mic_normal@2x.png" on a 2x screen); null, with a log line, when missing.
std::shared_ptr<gfx::Image> imageNamed(const std::string& name);

/// A view showing one image, stretched over its bounds unless its content mode says otherwise.
class ImageView : public View {
public:
    explicit ImageView(const gfx::Rect& frame = {});
    /// An image view as large as image (in points), at the origin.
    explicit ImageView(std::shared_ptr<gfx::Image> image);

    std::shared_ptr<gfx::Image> image() const { return m_image; }
    /// A null image shows nothing.
    void setImage(std::shared_ptr<gfx::Image> image);
    ContentMode contentMode() const { return m_contentMode; }
    void setContentMode(ContentMode mode);

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    /// A picture is read only when its screen names it.
    void fillAccessibilityData(AccessibilityData& data) const override;
    /// The image's size; the current size without an image.
    gfx::Size sizeThatFits(gfx::Size size) const override;

private:
    std::shared_ptr<gfx::Image> m_image;
    ContentMode m_contentMode { ContentMode::ScaleToFill };
};

} // namespace ui
