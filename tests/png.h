#pragma once
// PNG images for the palette tests, written and read with libspng so that no test carries PNG
// code of its own.

#include <cstdint>
#include <string>
#include <vector>

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// An indexed image of bits (1, 2, 4 or 8) per pixel with the palette plte, the transparency alpha
// (none when empty) and one index a pixel, rows top to bottom.
std::string indexed_png(uint32_t width, uint32_t height, int bits, const std::vector<Rgba>& plte,
                        const std::vector<uint8_t>& alpha, const std::vector<uint8_t>& pixels);

// A truecolour image, with an alpha channel when alpha is true.
std::string truecolour_png(uint32_t width, uint32_t height, const std::vector<Rgba>& pixels,
                           bool alpha);

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<Rgba> pixels; // rows top to bottom
    std::string error;        // the library's reason when the bytes are no PNG image
    const Rgba& at(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};

// Any PNG image decoded to 8-bit RGBA, transparency applied.
Image decode_png(const std::string& bytes);
