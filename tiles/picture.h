#pragma once
// Pictures as PNG images, through libspng: any PNG decoded to 8-bit RGBA, and RGB pictures
// encoded.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tiles {

struct Pixel {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

struct Picture {
    uint32_t width = 0, height = 0;
    std::vector<Pixel> pixels; // rows top to bottom
    const Pixel& at(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};

// The most pixels a picture read has: 16 M, far beyond any machine's screen.
constexpr size_t max_pixels = size_t(1) << 24;

// Decodes a PNG image of any colour type and depth (indexed, grey, RGB, with or without alpha;
// 16-bit channels keep their upper byte) into *picture. Returns "" or the reason.
std::string decode_png(const std::string& bytes, Picture* picture);

// The PNG image of an opaque picture, RGB 8 bits a channel. Returns "" or the library's reason.
std::string encode_png(const Picture& picture, std::string* png);

} // namespace tiles
