#pragma once

#include "graphics/AffineTransform.h"
#include "graphics/Bitmap.h"
#include "graphics/Color.h"
#include "graphics/Font.h"
#include "graphics/Geometry.h"
#include "graphics/Gradient.h"
#include "graphics/Image.h"
#include "graphics/Path.h"

#include <memory>
#include <string>

namespace gfx {

/// A drawing context over a bitmap: a current transform (user space to pixels), a clip and a
/// global alpha, kept on a stack by saveGState / restoreGState. All coordinates are in user
/// space; which way user space points is the creator's choice (a bitmap context made with
/// BitmapContext::create has its origin at the bottom left and y growing upwards; the one a
/// view draws in has its origin at the view's top left and y growing downwards).
///
/// Pictures and text are drawn upright in a y-down user space (the views' convention), so in
/// a y-up context they come out mirrored, exactly as a view rendered there does. Not
/// thread-safe; one thread draws at a time.
class Context {
public:
    virtual ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    /// Pushes the transform, clip and alpha. Every save must be matched by a restore; a
    /// restore without a save does nothing.
    void saveGState();
    void restoreGState();

    /// The current transform from user space to pixels.
    AffineTransform getCTM() const;
    /// Transforms user space by t (t applies first, then the current transform).
    void concatCTM(const AffineTransform& t);
    void translateCTM(float tx, float ty);
    void scaleCTM(float sx, float sy);

    /// Narrows the clip to the filled area of path (non-zero winding), in user space.
    void clipToPath(const Path& path);
    void clipToRect(const Rect& rect);
    /// The clip's bounding box in user space (the whole bitmap when unclipped).
    Rect clipBoundingBox() const;

    /// Multiplies everything drawn from now on by alpha (clamped to 0–1); part of the state.
    void setAlpha(float alpha);
    float alpha() const;

    void fillRect(const Rect& rect, const Color& color);
    /// Makes the rectangle fully transparent (black in a grey context).
    void clearRect(const Rect& rect);
    void fillPath(const Path& path, const Color& color);
    void strokePath(const Path& path, const Color& color, float lineWidth);
    /// Paints the gradient along the line from start to end inside the clip. Without the
    /// options nothing is painted before start or beyond end (measured along the line);
    /// GradientDrawsBeforeStartLocation / GradientDrawsAfterEndLocation extend the end
    /// colours outwards. Start equal to end paints nothing.
    void drawLinearGradient(const Gradient& gradient, Point start, Point end, unsigned options);
    /// Draws the picture scaled into rect, its top row at rect's minimum y. A stretchable
    /// image keeps its caps at their size and stretches the column and row after them.
    void drawImage(const Image& image, const Rect& rect);
    /// Draws the picture mapped onto a quadrilateral (a perspective mapping: the four corners
    /// of the picture go to the four points, in the order top left, top right, bottom right,
    /// bottom left). Degenerate quadrilaterals draw nothing.
    void drawImageInQuad(const Image& image, Point topLeft, Point topRight, Point bottomRight, Point bottomLeft);
    /// Draws text in rect: lines as Font::layoutText breaks them, from the top of rect down,
    /// each placed by alignment; lines that start below the rectangle's bottom are left out
    /// (the first line is always drawn).
    void drawText(const std::string& text, const Rect& rect, const Font& font, const Color& color,
        TextAlignment alignment = TextAlignment::Left, LineBreakMode mode = LineBreakMode::WordWrap, int numberOfLines = 0);
    /// Draws lines that Font::layoutText made for rect's width, as drawText places them: a
    /// view drawn on every frame keeps its lines instead of breaking its text again each time.
    void drawTextLines(const std::vector<TextLine>& lines, const Rect& rect, const Font& font, const Color& color,
        TextAlignment alignment = TextAlignment::Left, LineBreakMode mode = LineBreakMode::WordWrap);

    /// The bitmap drawn into; drawing reaches its memory at once.
    const Bitmap& bitmap() const { return *m_bitmap; }

protected:
    /// A context on bitmap whose user space maps to pixels by base.
    Context(std::shared_ptr<Bitmap> bitmap, const AffineTransform& base);
    std::shared_ptr<Bitmap> m_bitmap;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

/// Where user space starts in a bitmap context.
enum class ContextOrigin {
    /// The platform's bitmap convention: origin at the bottom left, y up.
    BottomLeft,
    /// The views' convention: origin at the top left, y down.
    TopLeft,
};

/// A context drawing into a bitmap of its own or of the caller's.
class BitmapContext final : public Context {
public:
    /// A context on a new bitmap of width × height pixels cleared to transparent (black for
    /// grey). Null when the bitmap cannot be had (sizes not positive, too large, no memory).
    static std::unique_ptr<BitmapContext> create(int width, int height, PixelFormat format, ContextOrigin origin = ContextOrigin::BottomLeft);
    /// A context on the caller's memory (see Bitmap::wrap; release runs when the context's
    /// bitmap goes away, also when this returns null).
    static std::unique_ptr<BitmapContext> createWithData(std::uint8_t* data, int width, int height, int bytesPerRow,
        PixelFormat format, std::function<void()> release, ContextOrigin origin = ContextOrigin::BottomLeft);

    int width() const { return m_bitmap->width(); }
    int height() const { return m_bitmap->height(); }
    Bitmap& mutableBitmap() { return *m_bitmap; }
    /// An image of what has been drawn so far (a copy: later drawing does not change it);
    /// null when memory cannot be had.
    std::shared_ptr<Image> makeImage(float scale = 1);

private:
    BitmapContext(std::shared_ptr<Bitmap> bitmap, const AffineTransform& base);
};

} // namespace gfx
