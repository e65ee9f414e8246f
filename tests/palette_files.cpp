#include "tests/palette_files.h"

#include "tests/png.h"

#include <cstdio>

using namespace palettes;

std::vector<Colour> sixteen() {
    std::vector<Colour> c;
    for (int i = 0; i < 16; ++i)
        c.push_back({uint8_t(i * 17 - i % 3), uint8_t(255 - i * 13), uint8_t((i * 37 + 5) % 256)});
    return c;
}

std::string jasc(const std::vector<Colour>& colours, const std::string& eol, size_t count) {
    std::string text =
        "JASC-PAL" + eol + "0100" + eol + std::to_string(count ? count : colours.size()) + eol;
    for (Colour c : colours)
        text += std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + eol;
    return text;
}

namespace {

std::string format(const char* pattern, Colour c, int extra = 0) {
    char line[80];
    snprintf(line, sizeof line, pattern, c.r, c.g, c.b, extra);
    return line;
}

std::string each(const char* pattern, const std::vector<Colour>& colours) {
    std::string text;
    for (size_t i = 0; i < colours.size(); ++i) text += format(pattern, colours[i], int(i));
    return text;
}

std::vector<Rgba> rgba(const std::vector<Colour>& colours) {
    std::vector<Rgba> out;
    for (Colour c : colours) out.push_back({c.r, c.g, c.b, 255});
    return out;
}

// An indexed image that shows each palette entry once, at bits per pixel.
std::string indexed(int bits, const std::vector<Colour>& colours,
                    const std::vector<uint8_t>& alpha = {}) {
    std::vector<uint8_t> pixels;
    for (size_t i = 0; i < colours.size(); ++i) pixels.push_back(uint8_t(i));
    return indexed_png(uint32_t(colours.size()), 1, bits, rgba(colours), alpha, pixels);
}

// A palette strip: blocks of w x h pixels, columns blocks a row, some pixels made see-through.
std::string strip(const std::vector<Colour>& colours, uint32_t columns, uint32_t w, uint32_t h,
                  bool alpha) {
    uint32_t rows = uint32_t(colours.size()) / columns;
    std::vector<Rgba> pixels;
    for (uint32_t y = 0; y < rows * h; ++y)
        for (uint32_t x = 0; x < columns * w; ++x) {
            Colour c = colours[y / h * columns + x / w];
            pixels.push_back({c.r, c.g, c.b, uint8_t(alpha && x % w == 0 ? 128 : 255)});
        }
    return truecolour_png(columns * w, rows * h, pixels, alpha);
}

std::string act(const std::vector<Colour>& colours, int count, int transparent) {
    std::string bytes(768, '\0');
    for (size_t i = 0; i < colours.size(); ++i)
        bytes.replace(3 * i, 3, {char(colours[i].r), char(colours[i].g), char(colours[i].b)});
    if (count >= 0)
        bytes += {char(count >> 8), char(count), char(transparent >> 8), char(transparent)};
    return bytes;
}

std::string le(unsigned long value, int size) {
    std::string bytes;
    for (int i = 0; i < size; ++i) bytes += char(value >> 8 * i & 0xFF);
    return bytes;
}

std::string be16(unsigned value) {
    return {char(value >> 8 & 0xFF), char(value & 0xFF)};
}

// A Microsoft RIFF palette, with chunks of other names before its data chunk (one of an odd
// size, padded) when asked.
std::string riff(const std::vector<Colour>& colours, bool other_chunks) {
    std::string chunks;
    if (other_chunks) chunks = "JUNK" + le(3, 4) + "abc" + '\0' + "LIST" + le(4, 4) + "INFO";
    std::string data = le(0x0300, 2) + le(colours.size(), 2);
    for (size_t i = 0; i < colours.size(); ++i)
        data += {char(colours[i].r), char(colours[i].g), char(colours[i].b), char(i % 3)};
    chunks += "data" + le(data.size(), 4) + data;
    return "RIFF" + le(4 + chunks.size(), 4) + "PAL " + chunks;
}

// Photoshop swatches: sections of the versions given (1, 2 or both), each component a 16-bit
// word v * 257, as Photoshop writes them; version 2 names every colour.
std::string aco(const std::vector<Colour>& colours, const std::vector<int>& versions) {
    std::string bytes;
    for (int version : versions) {
        bytes += be16(unsigned(version)) + be16(unsigned(colours.size()));
        for (size_t i = 0; i < colours.size(); ++i) {
            Colour c = colours[i];
            bytes += be16(0) + be16(c.r * 257u) + be16(c.g * 257u) + be16(c.b * 257u) + be16(0);
            if (version == 2) {
                std::string name = "Colour " + std::to_string(i);
                bytes += be16(0) + be16(unsigned(name.size() + 1));
                for (char ch : name) bytes += be16(unsigned(ch));
                bytes += be16(0);
            }
        }
    }
    return bytes;
}

} // namespace

std::string riff_palette(const std::vector<Colour>& colours) {
    return riff(colours, false);
}

std::string aco_swatches(const std::vector<Colour>& colours, unsigned space) {
    std::string bytes = aco(colours, {1});
    for (size_t i = 0; i < colours.size(); ++i) bytes[4 + 10 * i + 1] = char(space);
    return bytes;
}

std::vector<PaletteFile> palette_files() {
    std::vector<Colour> c = sixteen();
    std::vector<Colour> twice = c;
    twice.insert(twice.end(), c.begin(), c.end());
    std::vector<Colour> table = c; // a 768-byte table always holds 256 colours
    table.resize(256);
    std::vector<Colour> four(c.begin(), c.begin() + 4);
    std::string header = "JASC-PAL\r\n\r\n0100\r\n16\r\n\r\n";
    std::vector<uint8_t> opaque(16, 255), see_through = opaque;
    see_through[0] = 0;

    return {
        {"JascLf", jasc(c, "\n"), "jasc", c, false},
        {"JascCrLf", jasc(c, "\r\n"), "jasc", c, false},
        {"JascCr", jasc(c, "\r"), "jasc", c, false},
        {"JascBlankLines", header + each("%d %d %d\r\n\r\n", c) + "\r\n", "jasc", c, false},
        {"JascAlpha", "JASC-PAL\n0100\n16\n" + each("%d %d %d 255\n", c), "jasc", c, false},
        {"JascAlphaSeeThrough", "JASC-PAL\n0100\n16\n" + each("%d\t%d %d  %d\n", c), "jasc", c,
         true},
        {"Jasc32", jasc(twice, "\r\n"), "jasc", twice, false},
        {"GplNames",
         "GIMP Palette\nName: Test\nColumns: 4\n#\n" + each("%3d %3d %3d\tColour %d\n", c), "gpl",
         c, false},
        {"GplPlain", "GIMP Palette\r\n# no names\r\n" + each("%d %d %d\r\n", c), "gpl", c, false},
        {"GplRgba",
         "GIMP Palette\nName: Test\nChannels: RGBA\n" + each("%3d %3d %3d %3d Colour\n", c), "gpl",
         c, true},
        {"Act768", act(c, -1, 0), "act", table, false},
        {"Act772", act(c, 16, 0xFFFF), "act", c, false},
        {"Act772Transparent", act(c, 16, 3), "act", c, true},
        {"Hex", each("%02x%02x%02X\n", c), "hex", c, false},
        {"HexWithHash", each("#%02x%02x%02X\n", c), "hex", c, false},
        {"JascCtrlZ", jasc(c, "\r\n") + "\x1A", "jasc", c, false},
        {"JascCtrlZThenAnything", jasc(c, "\r\n") + "\x1A\x00\x01 GIMP Palette\r\n", "jasc", c,
         false},
        {"Riff", riff(c, false), "riff", c, false},
        {"RiffOtherChunks", riff(c, true), "riff", c, false},
        {"AcoVersion1", aco(c, {1}), "aco", c, false},
        {"AcoVersions1And2", aco(c, {1, 2}), "aco", c, false},
        {"AcoVersion2", aco(c, {2}), "aco", c, false},
        {"PaintNet", "; paint.net Palette File\r\n; 16 colours\r\n" + each("FF%02X%02X%02X\r\n", c),
         "paintnet", c, false},
        {"Png2Bit", indexed(2, four), "png", four, false},
        {"Png4Bit", indexed(4, c), "png", c, false},
        {"Png8Bit", indexed(8, c), "png", c, false},
        {"Png8BitOpaqueTrns", indexed(8, c, opaque), "png", c, false},
        {"Png8BitTrns", indexed(8, c, see_through), "png", c, true},
        {"PngStrip", strip(c, 16, 3, 2, false), "png", c, false},
        {"PngGridAlpha", strip(c, 8, 4, 4, true), "png", c, true},
    };
}
