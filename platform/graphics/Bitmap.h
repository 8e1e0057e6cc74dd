#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace gfx {

/// How the bytes of a bitmap are laid out.
enum class PixelFormat {
    /// Four bytes a pixel in the order red, green, blue, alpha, colour premultiplied by alpha.
    RGBAPremultiplied,
    /// One byte a pixel, a grey level, no alpha.
    Grey,
    /// One 32-bit word a pixel, 0xAARRGGBB in host byte order, premultiplied: the layout the
    /// display paints fastest, used for the screen itself.
    NativePremultiplied,
};

/// One pixel as four 8-bit components, not premultiplied.
struct Pixel {
    std::uint8_t red { 0 };
    std::uint8_t green { 0 };
    std::uint8_t blue { 0 };
    std::uint8_t alpha { 0 };

    friend bool operator==(const Pixel&, const Pixel&) = default;
};

/// A block of pixels, the storage under bitmap contexts and images. Rows run from the top
/// of the picture (row 0) down. Not thread-safe; shared read-only once an image holds it.
class Bitmap {
public:
    /// A bitmap of width × height pixels, cleared to zero. Null when a side is not positive,
    /// when the size overflows or when the memory cannot be had.
    static std::shared_ptr<Bitmap> create(int width, int height, PixelFormat format);
    /// A bitmap over memory the caller provides, bytesPerRow apart (at least the row's
    /// length, else null); release runs when the bitmap goes away and owns the memory then.
    static std::shared_ptr<Bitmap> wrap(std::uint8_t* data, int width, int height, int bytesPerRow, PixelFormat format, std::function<void()> release);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    int bytesPerRow() const { return m_bytesPerRow; }
    PixelFormat format() const { return m_format; }
    std::uint8_t* data() { return m_data; }
    const std::uint8_t* data() const { return m_data; }
    static int bytesPerPixel(PixelFormat format);
    /// The drawing toolkit's code for this layout; only the graphics sources use it.
    int toolkitFormatCode() const;

    /// A bitmap of its own with the same pixels; null when memory cannot be had.
    std::shared_ptr<Bitmap> copy() const;
    /// The pixel at column x, row y (row 0 at the top), unpremultiplied; a grey pixel reads
    /// as an opaque grey. Outside the bitmap: a transparent black pixel.
    Pixel pixelAt(int x, int y) const;

private:
    Bitmap() = default;

    std::uint8_t* m_data { nullptr };
    int m_width { 0 };
    int m_height { 0 };
    int m_bytesPerRow { 0 };
    PixelFormat m_format { PixelFormat::RGBAPremultiplied };
    std::function<void()> m_release;
};

} // namespace gfx
