#pragma once

#include "graphics/Context.h"
#include "graphics/Image.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace uitest {

/// A width × height picture, its left half left (red) and its right half right (blue), with
/// a white disc in the middle, written as PNG.
inline void writeTwoColourPicture(const std::string& path, int width, int height, gfx::Color left = gfx::Color::rgba(1, 0, 0),
    gfx::Color right = gfx::Color::rgba(0, 0, 1))
{
    auto context = gfx::BitmapContext::create(width, height, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    context->fillRect(gfx::Rect(0, 0, float(width) / 2, float(height)), left);
    context->fillRect(gfx::Rect(float(width) / 2, 0, float(width) / 2, float(height)), right);
    gfx::Path disc;
    disc.addArc({ float(width) / 2, float(height) / 2 }, float(std::min(width, height)) / 8, 0, 6.2832f, false);
    context->fillPath(disc, gfx::Color::white());
    context->makeImage()->writePNG(path);
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

/// A PNG whose header claims width × height pixels but holds no picture data: a file that
/// would take gigabytes to decode, made in a few bytes.
inline void writeHugePictureHeader(const std::string& path, std::uint32_t width, std::uint32_t height)
{
    auto crc32 = [](const std::string& data) {
        std::uint32_t crc = 0xffffffffu;
        for (unsigned char c : data) {
            crc ^= c;
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    auto be32 = [](std::uint32_t v) {
        return std::string { char(v >> 24), char(v >> 16), char(v >> 8), char(v) };
    };
    auto chunk = [&](const std::string& type, const std::string& data) {
        return be32(std::uint32_t(data.size())) + type + data + be32(crc32(type + data));
    };
    std::string header = be32(width) + be32(height) + std::string { 8, 6, 0, 0, 0 };
    writeBytes(path, std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", std::string(16, '\0')) + chunk("IEND", ""));
}

} // namespace uitest
