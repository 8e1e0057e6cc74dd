#include "graphics/Bitmap.h"

#include <QImage>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace gfx {

namespace {

std::uint8_t unpremultiply(std::uint8_t value, std::uint8_t alpha)
{
    if (alpha == 0)
        return 0;
    unsigned v = (unsigned(value) * 255 + alpha / 2) / alpha;
    return std::uint8_t(v > 255 ? 255 : v);
}

} // namespace

int Bitmap::bytesPerPixel(PixelFormat format)
{
    return format == PixelFormat::Grey ? 1 : 4;
}

int Bitmap::toolkitFormatCode() const
{
    switch (m_format) {
    case PixelFormat::RGBAPremultiplied:
        return QImage::Format_RGBA8888_Premultiplied;
    case PixelFormat::Grey:
        return QImage::Format_Grayscale8;
    case PixelFormat::NativePremultiplied:
        return QImage::Format_ARGB32_Premultiplied;
    }
    return QImage::Format_Invalid;
}

std::shared_ptr<Bitmap> Bitmap::create(int width, int height, PixelFormat format)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    const long long rowBytes = static_cast<long long>(width) * bytesPerPixel(format);
    // Rows are padded to 4 bytes, which the painting code wants for grey rows.
    const long long stride = (rowBytes + 3) / 4 * 4;
    if (stride > std::numeric_limits<int>::max() || stride * height > std::numeric_limits<int>::max())
        return nullptr;
    auto* data = static_cast<std::uint8_t*>(std::calloc(static_cast<size_t>(stride * height), 1));
    if (!data)
        return nullptr;
    return wrap(data, width, height, static_cast<int>(stride), format, [data] { std::free(data); });
}

std::shared_ptr<Bitmap> Bitmap::wrap(std::uint8_t* data, int width, int height, int bytesPerRow, PixelFormat format, std::function<void()> release)
{
    if (!data || width <= 0 || height <= 0 || static_cast<long long>(bytesPerRow) < static_cast<long long>(width) * bytesPerPixel(format)) {
        if (release)
            release();
        return nullptr;
    }
    std::shared_ptr<Bitmap> bitmap(new Bitmap);
    bitmap->m_data = data;
    bitmap->m_width = width;
    bitmap->m_height = height;
    bitmap->m_bytesPerRow = bytesPerRow;
    bitmap->m_format = format;
    bitmap->m_release = std::move(release);
    return bitmap;
}

Bitmap::~Bitmap()
{
    if (m_release)
        m_release();
}

std::shared_ptr<Bitmap> Bitmap::copy() const
{
    auto other = create(m_width, m_height, m_format);
    if (!other)
        return nullptr;
    const size_t rowLength = static_cast<size_t>(m_width) * bytesPerPixel(m_format);
    for (int y = 0; y < m_height; ++y)
        std::memcpy(other->m_data + y * other->m_bytesPerRow, m_data + y * m_bytesPerRow, rowLength);
    return other;
}

Pixel Bitmap::pixelAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return {};
    const std::uint8_t* p = m_data + y * m_bytesPerRow + x * bytesPerPixel(m_format);
    switch (m_format) {
    case PixelFormat::Grey:
        return { p[0], p[0], p[0], 255 };
    case PixelFormat::RGBAPremultiplied:
        return { unpremultiply(p[0], p[3]), unpremultiply(p[1], p[3]), unpremultiply(p[2], p[3]), p[3] };
    case PixelFormat::NativePremultiplied: {
        std::uint32_t word;
        std::memcpy(&word, p, 4);
        auto a = std::uint8_t(word >> 24);
        return { unpremultiply(std::uint8_t(word >> 16), a), unpremultiply(std::uint8_t(word >> 8), a), unpremultiply(std::uint8_t(word), a), a };
    }
    }
    return {};
}

} // namespace gfx
