#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Geometry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gfx {

/// An immutable picture: a bitmap and the number of pixels per point it was made for
/// (2 for an "@2x" resource), so its size in points is the same at every display scale.
/// Shared between threads only for reading.
class Image {
public:
    /// An image of the bitmap (which it keeps; the caller must not change it afterwards).
    /// Null for a null bitmap; a scale below or at 0 is read as 1.
    static std::shared_ptr<Image> withBitmap(std::shared_ptr<const Bitmap> bitmap, float scale = 1);
    /// An image read from a PNG (or any format the toolkit reads) file; null, with a log
    /// line, when it cannot be read.
    static std::shared_ptr<Image> fromFile(const std::string& path, float scale = 1);
    /// Why fromFileFitting gave no picture.
    enum class ReadFailure { None, Unreadable, TooLarge };
    /// How fromFileFitting sizes the picture: its longer side within the size (Inside), or
    /// its shorter side (Cover, for pictures cut to a square afterwards).
    enum class Fit { Inside, Cover };
    /// Pictures with more pixels than this are refused without being decoded.
    static constexpr long long kMaxDecodedPixels = 64LL * 1024 * 1024;
    /// A picture the user chose, read from a file of any format the toolkit reads, turned
    /// upright as its camera recorded, and decoded straight at a smaller size when it is
    /// larger than maxPixelSize by fit (never enlarged). Null, with failure set, when the file
    /// is not a picture or is cut short (Unreadable) or has more than kMaxDecodedPixels pixels
    /// (TooLarge), which are found from its header before anything is decoded. Safe on any
    /// thread; logs nothing, as the caller shows the failure.
    static std::shared_ptr<Image> fromFileFitting(const std::string& path, int maxPixelSize, Fit fit, ReadFailure* failure = nullptr);
    /// The same for a picture held in memory (a photo stored in the database): decoded at most
    /// at maxPixelSize by fit, so a picture stored larger than it is shown costs only what is
    /// shown; PNG and JPEG are decoded straight at that size, without the whole picture ever
    /// being held.
    static std::shared_ptr<Image> fromDataFitting(const std::vector<std::uint8_t>& data, int maxPixelSize, Fit fit,
        ReadFailure* failure = nullptr);
    /// An image decoded from PNG bytes (or those of any format the toolkit reads); null when
    /// they are not a picture.
    static std::shared_ptr<Image> fromPNGData(const std::vector<std::uint8_t>& data, float scale = 1);
    /// Whether data begins as a picture in a format the toolkit reads, judged from its header
    /// alone: nothing is decoded, so a picture cut short after its header still counts.
    static bool isImageData(const std::vector<std::uint8_t>& data);
    /// The resource image of that file name ("record_mic_normal.png") for a display of the
    /// given scale: on a display of scale 2 or more the "@2x" file is taken when it exists.
    /// Images are read once and shared. Null, with a log line, when no file has the name.
    static std::shared_ptr<Image> named(const std::string& name, float displayScale);
    /// Forgets the images named() has read (tests change the resource directory).
    static void clearNamedCache();
    /// image with mask's grey samples as its alpha (0 transparent, 1 unchanged), the mask
    /// stretched over the image when the sizes differ. Null when mask is not a grey image.
    static std::shared_ptr<Image> createWithMask(const Image& image, const Image& mask);

    /// The PNG encoding; empty on failure.
    std::vector<std::uint8_t> pngData() const;
    /// Writes the PNG encoding to path; false with a log line on failure.
    bool writePNG(const std::string& path) const;

    /// Size in points (pixels divided by scale).
    Size size() const;
    float scale() const { return m_scale; }
    int pixelWidth() const { return m_bitmap->width(); }
    int pixelHeight() const { return m_bitmap->height(); }
    const Bitmap& bitmap() const { return *m_bitmap; }
    Pixel pixelAt(int x, int y) const { return m_bitmap->pixelAt(x, y); }

    /// The same picture stretched like a button background: the leftCapWidth points at the
    /// left and the topCapHeight points at the top stay as they are, the one-point column
    /// (row) after them is stretched, and the rest is the right (bottom) cap. A cap of 0
    /// stretches the whole picture on that axis.
    std::shared_ptr<Image> stretchableImage(int leftCapWidth, int topCapHeight) const;
    int leftCapWidth() const { return m_leftCap; }
    int topCapHeight() const { return m_topCap; }

private:
    Image() = default;

    std::shared_ptr<const Bitmap> m_bitmap;
    float m_scale { 1 };
    int m_leftCap { 0 };
    int m_topCap { 0 };
};

} // namespace gfx
