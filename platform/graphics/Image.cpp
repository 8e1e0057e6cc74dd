#include "graphics/Image.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cmath>
#include <cstring>
#include <functional>
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

namespace {

// Qt decodes a PNG whole before it scales it, which for a large picture costs width × height ×
// 4 bytes however small it is shown. This reads one row at a time with libpng and averages
// each pixel of the result over its box of the picture, so only a row and the result are held.
// Interlaced files come in passes over the whole picture and are left to Qt (handled false).
class StreamingPNGReader {
public:
    StreamingPNGReader(QIODevice& device, int width, int height)
        : m_device(device)
        , m_width(width)
        , m_height(height)
    {
    }

    /// The picture at the size given; null when the bytes do not decode.
    QImage read(bool* handled)
    {
        *handled = true;
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, [](png_structp, png_const_charp) { });
        png_infop info = png ? png_create_info_struct(png) : nullptr;
        if (!info) {
            png_destroy_read_struct(&png, nullptr, nullptr);
            return {};
        }
        // Nothing the longjmp could leave half-changed lives in this frame: the state is this
        // object's.
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_read_struct(&png, &info, nullptr);
            return {};
        }
        png_set_read_fn(png, this, &StreamingPNGReader::readBytes);
        if (!decode(png, info, handled))
            m_result = QImage();
        png_destroy_read_struct(&png, &info, nullptr);
        return m_result;
    }

private:
    static void readBytes(png_structp png, png_bytep out, png_size_t count)
    {
        auto* self = static_cast<StreamingPNGReader*>(png_get_io_ptr(png));
        if (self->m_device.read(reinterpret_cast<char*>(out), qint64(count)) != qint64(count))
            png_error(png, "cut short");
    }

    bool decode(png_structp png, png_infop info, bool* handled)
    {
        png_read_info(png, info);
        const auto sourceWidth = int(png_get_image_width(png, info));
        const auto sourceHeight = int(png_get_image_height(png, info));
        if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
            *handled = false;
            return false;
        }
        if (sourceWidth < m_width || sourceHeight < m_height || m_width < 1 || m_height < 1)
            return false;
        // Every layout becomes 8-bit RGBA.
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_filler(png, 0xff, PNG_FILLER_AFTER);
        png_read_update_info(png, info);
        if (png_get_rowbytes(png, info) != size_t(sourceWidth) * 4)
            return false;

        m_result = QImage(m_width, m_height, QImage::Format_RGBA8888_Premultiplied);
        if (m_result.isNull())
            return false;
        m_row.resize(size_t(sourceWidth) * 4);
        m_sums.assign(size_t(m_width) * 4, 0);
        m_columnStart.resize(size_t(m_width) + 1);
        for (int x = 0; x <= m_width; ++x)
            m_columnStart[size_t(x)] = int(std::int64_t(x) * sourceWidth / m_width);

        int outputRow = 0;
        int rowsSummed = 0;
        for (int y = 0; y < sourceHeight; ++y) {
            png_read_row(png, m_row.data(), nullptr);
            sumRow();
            ++rowsSummed;
            const int nextStart = int(std::int64_t(outputRow + 1) * sourceHeight / m_height);
            if (y + 1 == nextStart) {
                writeRow(outputRow++, rowsSummed);
                rowsSummed = 0;
            }
        }
        return outputRow == m_height;
    }

    // Adds the row's premultiplied pixels to the sums of the result's pixels they fall in.
    void sumRow()
    {
        for (int x = 0; x < m_width; ++x) {
            std::uint64_t* sum = &m_sums[size_t(x) * 4];
            for (int source = m_columnStart[size_t(x)]; source < m_columnStart[size_t(x) + 1]; ++source) {
                const std::uint8_t* pixel = &m_row[size_t(source) * 4];
                const unsigned alpha = pixel[3];
                sum[0] += (pixel[0] * alpha + 127) / 255;
                sum[1] += (pixel[1] * alpha + 127) / 255;
                sum[2] += (pixel[2] * alpha + 127) / 255;
                sum[3] += alpha;
            }
        }
    }

    void writeRow(int y, int rowsSummed)
    {
        uchar* out = m_result.scanLine(y);
        for (int x = 0; x < m_width; ++x) {
            const std::uint64_t count = std::uint64_t(m_columnStart[size_t(x) + 1] - m_columnStart[size_t(x)]) * std::uint64_t(rowsSummed);
            std::uint64_t* sum = &m_sums[size_t(x) * 4];
            for (int channel = 0; channel < 4; ++channel) {
                out[x * 4 + channel] = count ? uchar((sum[channel] + count / 2) / count) : 0;
                sum[channel] = 0;
            }
        }
    }

    QIODevice& m_device;
    const int m_width;
    const int m_height;
    QImage m_result;
    std::vector<std::uint8_t> m_row;
    std::vector<std::uint64_t> m_sums;
    std::vector<int> m_columnStart;
};

// Reads a picture at a bounded size: the header tells the size, a picture too big to hold is
// refused before it is decoded, and a larger one is decoded straight at the smaller size (PNG
// row by row, JPEG by its blocks), else scaled after decoding. open gives the picture's bytes
// from their start, once for the header and once more for a PNG read row by row.
std::shared_ptr<Image> readFitting(const std::function<std::unique_ptr<QIODevice>()>& open, int maxPixelSize, Image::Fit fit,
    Image::ReadFailure* failure)
{
    auto fail = [failure](Image::ReadFailure why) -> std::shared_ptr<Image> {
        if (failure)
            *failure = why;
        return nullptr;
    };
    if (failure)
        *failure = Image::ReadFailure::None;
    std::unique_ptr<QIODevice> device = open();
    if (!device)
        return fail(Image::ReadFailure::Unreadable);
    QImageReader reader(device.get());
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() || size.isEmpty())
        return fail(Image::ReadFailure::Unreadable);
    if (static_cast<long long>(size.width()) * size.height() > Image::kMaxDecodedPixels)
        return fail(Image::ReadFailure::TooLarge);
    const int side = fit == Image::Fit::Inside ? std::max(size.width(), size.height()) : std::min(size.width(), size.height());
    QImage decoded;
    if (maxPixelSize > 0 && side > maxPixelSize) {
        const double factor = double(maxPixelSize) / side;
        const QSize scaled(std::max(int(std::lround(size.width() * factor)), 1), std::max(int(std::lround(size.height() * factor)), 1));
        bool handled = false;
        if (reader.format() == "png") {
            if (auto again = open())
                decoded = StreamingPNGReader(*again, scaled.width(), scaled.height()).read(&handled);
        }
        if (handled && decoded.isNull())
            return fail(Image::ReadFailure::Unreadable);
        if (!handled)
            reader.setScaledSize(scaled);
    }
    if (decoded.isNull())
        decoded = reader.read();
    if (decoded.isNull())
        return fail(Image::ReadFailure::Unreadable);
    auto bitmap = bitmapFromQImage(decoded);
    if (!bitmap)
        return fail(Image::ReadFailure::TooLarge);
    return Image::withBitmap(std::move(bitmap), 1);
}

} // namespace

std::shared_ptr<Image> Image::fromFileFitting(const std::string& path, int maxPixelSize, Fit fit, ReadFailure* failure)
{
    return readFitting(
        [&]() -> std::unique_ptr<QIODevice> {
            auto file = std::make_unique<QFile>(QString::fromStdString(path));
            if (!file->open(QIODevice::ReadOnly))
                return nullptr;
            return file;
        },
        maxPixelSize, fit, failure);
}

std::shared_ptr<Image> Image::fromDataFitting(const std::vector<std::uint8_t>& data, int maxPixelSize, Fit fit, ReadFailure* failure)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    return readFitting(
        [&]() -> std::unique_ptr<QIODevice> {
            auto buffer = std::make_unique<QBuffer>();
            buffer->setData(bytes);
            buffer->open(QIODevice::ReadOnly);
            return buffer;
        },
        maxPixelSize, fit, failure);
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
