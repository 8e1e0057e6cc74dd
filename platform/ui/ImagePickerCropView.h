#pragma once

#include "ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

/// The square frame of the image picker's editing screen: the picture lies under a square as
/// wide as the view, the rest dimmed. One finger moves the picture, two fingers pinch it
/// larger or smaller around their middle, and the wheel zooms around the pointer. The
/// picture always covers the whole square, and zooms in at most kMaxZoom times beyond that.
/// Main thread only.
class ImagePickerCropView : public View {
public:
    explicit ImagePickerCropView(const gfx::Rect& frame = {});

    std::shared_ptr<gfx::Image> image() const { return m_image; }
    /// Shows image filling the square, centred.
    void setImage(std::shared_ptr<gfx::Image> image);

    /// The line above the square ("Move and Scale").
    const std::string& caption() const { return m_caption; }
    void setCaption(std::string caption);

    /// The square in the view's coordinates.
    gfx::Rect cropSquare() const;
    /// How many points of the screen one pixel of the picture takes now.
    float zoomScale() const { return m_zoom; }
    /// The picture's rectangle in the view's coordinates.
    gfx::Rect imageRect() const;
    /// The part of the picture inside the square, in its pixels.
    gfx::Rect cropRectInImage() const;
    /// Zooms by factor around point (view coordinates), within the limits.
    void zoomBy(float factor, gfx::Point around);
    /// Moves the picture by delta, within the limits.
    void moveBy(gfx::Point delta);

    /// What is inside the square as a picture of the screen's scale: the square's side in
    /// points at scale pixels per point. Null without a picture.
    std::shared_ptr<gfx::Image> croppedImage(float scale) const;

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void scrollWheel(const WheelEvent& event) override;

    static constexpr float kMaxZoom = 5;

private:
    float minimumZoom() const;
    /// Keeps the zoom within the limits and the square covered.
    void constrain();
    void fingersChanged();

    std::shared_ptr<gfx::Image> m_image;
    std::string m_caption;
    float m_zoom { 1 };
    /// The picture's top left relative to the square's top left (never positive).
    gfx::Point m_origin;
    float m_lastSide { 0 };
    std::vector<std::shared_ptr<Touch>> m_fingers;
    /// The fingers' middle and spread when they last changed.
    gfx::Point m_lastMiddle;
    float m_lastSpread { 0 };
};

} // namespace ui
