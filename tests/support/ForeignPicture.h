#pragma once

// Pictures as other programs write them. The program itself stores PNG only; rows written by
// other tools may hold JPEG, which tests make here with Qt directly, as such a tool would.

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

/// A width × height picture, its left half left and its right half right, encoded in format
/// ("JPEG", "PNG", "BMP"…).
inline std::vector<std::uint8_t> foreignPicture(int width, int height, QColor left, QColor right, const char* format = "JPEG")
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, left);
    painter.fillRect(width / 2, 0, width - width / 2, height, right);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return { bytes.begin(), bytes.end() };
}

inline void writeForeignPicture(const std::string& path, int width, int height, QColor left, QColor right, const char* format = "JPEG")
{
    const auto bytes = foreignPicture(width, height, left, right, format);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace testsupport
