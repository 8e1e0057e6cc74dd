#include "graphics/Image.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

namespace gfx {

namespace {

QImage wrapForReading(const Bitmap& bitmap)
{
    return QImage(bitmap.data(), bitmap.width(), bitmap.height(), bitmap.bytesPerRow(), QImage::Format(bitmap.toolkitFormatCode()));
}

// Copies a decoded picture into a bitmap of ours: grey pictures stay grey (they can serve as
// masks), everything else takes the layout the display draws fastest.
std::shared_ptr<Bitmap> bitmapFromQImage(const QImage& decoded)
{
    const bool grey = decoded.format() == QImage::Format_Grayscale8 || decoded.format() == QImage::Format_Grayscale16;
    PixelFormat format = grey ? PixelFormat::Grey : PixelFormat::NativePremultiplied;
    auto bitmap = Bitmap::create(decoded.width(), decoded.height(), format);
    if (!bitmap)
        return nullptr;
    QImage converted = decoded.convertToFormat(QImage::Format(bitmap->toolkitFormatCode()));
    const size_t rowLength = size_t(decoded.width()) * Bitmap::bytesPerPixel(format);
    for (int y = 0; y < decoded.height(); ++y)
        std::memcpy(bitmap->data() + y * bitmap->bytesPerRow(), converted.constScanLine(y), rowLength);
    return bitmap;
}

std::mutex& namedMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, std::shared_ptr<Image>>& namedCache()
{
    static std::map<std::string, std::shared_ptr<Image>> cache;
    return cache;
}

} // namespace

std::shared_ptr<Image> Image::withBitmap(std::shared_ptr<const Bitmap> bitmap, float scale)
{
    if (!bitmap)
        return nullptr;
    std::shared_ptr<Image> image(new Image);
    image->m_bitmap = std::move(bitmap);
    image->m_scale = scale > 0 ? scale : 1;
    return image;
}

std::shared_ptr<Image> Image::fromFile(const std::string& path, float scale)
{
    QImageReader reader(QString::fromStdString(path));
    QImage decoded = reader.read();
    if (decoded.isNull()) {
        foundation::logf("Could not read the image %s: %s", path.c_str(), reader.errorString().toStdString().c_str());
        return nullptr;
    }
    return withBitmap(bitmapFromQImage(decoded), scale);
}

std::shared_ptr<Image> Image::fromFileFitting(const std::string& path, int maxPixelSize, Fit fit, ReadFailure* failure)
{
    auto fail = [failure](ReadFailure why) -> std::shared_ptr<Image> {
        if (failure)
            *failure = why;
        return nullptr;
    };
    if (failure)
        *failure = ReadFailure::None;
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    // The header tells the size; a picture too big to hold is refused before it is decoded.
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() || size.isEmpty())
        return fail(ReadFailure::Unreadable);
    if (static_cast<long long>(size.width()) * size.height() > kMaxDecodedPixels)
        return fail(ReadFailure::TooLarge);
    const int side = fit == Fit::Inside ? std::max(size.width(), size.height()) : std::min(size.width(), size.height());
    if (maxPixelSize > 0 && side > maxPixelSize) {
        const double factor = double(maxPixelSize) / side;
        // Formats that can (JPEG) decode at the smaller size directly; the rest are scaled after.
        reader.setScaledSize(QSize(std::max(int(std::lround(size.width() * factor)), 1), std::max(int(std::lround(size.height() * factor)), 1)));
    }
    QImage decoded = reader.read();
    if (decoded.isNull())
        return fail(ReadFailure::Unreadable);
    auto bitmap = bitmapFromQImage(decoded);
    if (!bitmap)
        return fail(ReadFailure::TooLarge);
    return withBitmap(std::move(bitmap), 1);
}

std::shared_ptr<Image> Image::fromPNGData(const std::vector<std::uint8_t>& data, float scale)
{
    QImage decoded;
    if (data.empty() || !decoded.loadFromData(data.data(), int(data.size())))
        return nullptr;
    return withBitmap(bitmapFromQImage(decoded), scale);
}

bool Image::isImageData(const std::vector<std::uint8_t>& data)
{
    if (data.empty())
        return false;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).canRead();
}

std::shared_ptr<Image> Image::named(const std::string& name, float displayScale)
{
    auto& bundle = foundation::Bundle::main();
    std::string stem = name;
    std::string extension = "png";
    if (auto dot = name.rfind('.'); dot != std::string::npos) {
        stem = name.substr(0, dot);
        extension = name.substr(dot + 1);
    }
    std::optional<std::string> path;
    float scale = 1;
    if (displayScale >= 2) {
        path = bundle.pathForResource("images/" + stem + "@2x", extension);
        scale = 2;
    }
    if (!path) {
        path = bundle.pathForResource("images/" + stem, extension);
        scale = 1;
    }
    if (!path) {
        foundation::logf("No image named %s", name.c_str());
        return nullptr;
    }
    std::lock_guard lock(namedMutex());
    auto& cached = namedCache()[*path];
    if (!cached)
        cached = fromFile(*path, scale);
    return cached;
}

void Image::clearNamedCache()
{
    std::lock_guard lock(namedMutex());
    namedCache().clear();
}

std::shared_ptr<Image> Image::createWithMask(const Image& image, const Image& mask)
{
    if (mask.bitmap().format() != PixelFormat::Grey)
        return nullptr;
    QImage source = wrapForReading(image.bitmap()).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    auto result = bitmapFromQImage(source);
    if (!result)
        return nullptr;
    const Bitmap& m = mask.bitmap();
    const int w = result->width();
    const int h = result->height();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* maskRow = m.data() + (long(y) * m.height() / h) * m.bytesPerRow();
        auto* row = reinterpret_cast<std::uint32_t*>(result->data() + y * result->bytesPerRow());
        for (int x = 0; x < w; ++x) {
            unsigned alpha = maskRow[long(x) * m.width() / w];
            std::uint32_t p = row[x];
            std::uint32_t out = 0;
            // Premultiplied, so every component scales with the alpha.
            for (int shift = 0; shift < 32; shift += 8)
                out |= ((((p >> shift) & 0xff) * alpha + 127) / 255) << shift;
            row[x] = out;
        }
    }
    return withBitmap(result, image.scale());
}

std::vector<std::uint8_t> Image::pngData() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!wrapForReading(*m_bitmap).save(&buffer, "PNG"))
        return {};
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

bool Image::writePNG(const std::string& path) const
{
    if (!wrapForReading(*m_bitmap).save(QString::fromStdString(path), "PNG")) {
        foundation::logf("Could not write the image %s", path.c_str());
        return false;
    }
    return true;
}

Size Image::size() const
{
    return { float(m_bitmap->width()) / m_scale, float(m_bitmap->height()) / m_scale };
}

std::shared_ptr<Image> Image::stretchableImage(int leftCapWidth, int topCapHeight) const
{
    std::shared_ptr<Image> image(new Image(*this));
    image->m_leftCap = std::max(leftCapWidth, 0);
    image->m_topCap = std::max(topCapHeight, 0);
    return image;
}

} // namespace gfx
