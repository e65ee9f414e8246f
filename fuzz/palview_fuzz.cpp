// Fuzz target for palview: the format routing of read_colours() and the drawing of draw(), as the
// program runs them, at cell sizes above 1. The input begins with the options, the rest is the
// input file. Two names, each ended by a NUL byte (take_name()), pick them from the tables by
// name: --format, "" for by content or a format's name in palette_formats() ("jasc"); --depth,
// "" for none or a depth of colour_layouts() ("15"); a name no table holds is skipped. The byte
// after them: bits 0-2 the cell from a
// list (halved while the picture is large), bit 3 --source, whose palette is the colours read,
// inverted, bits 4-7 times 16 plus one of them (so that it may be shorter than the palette).
// Picks the program refuses as a usage error are skipped. A file read gives 1 to 256 colours, at
// a depth that moves colours only ones the machine shows; its picture is columns() swatches a
// row of cell x cell pixels, each in its colour, split with the source's where that holds one.
#include "fuzz/support.h"
#include "palettes/depth.h"
#include "palview/picture.h"

#include <spng.h>

using namespace palettes;
using namespace colours;

namespace {

const int cells[] = {2, 3, 16, 5, 2, 7, 33, 256};
// The most pixels a picture here has: the cell shrinks to keep within it. 256 colours at 256
// pixels make a picture of 16 M pixels, seconds of work under the sanitizers for the same loops
// that a row of 16 swatches at 256 pixels runs.
constexpr size_t max_pixels = size_t(1) << 20;

// The picture's pixels as RGBA, 8 bits a channel, and its size; false when it cannot be decoded.
bool decode(const std::string& png, std::vector<uint8_t>* pixels, uint32_t* width,
            uint32_t* height) {
    spng_ctx* ctx = spng_ctx_new(0);
    if (!ctx) return false;
    spng_ihdr ihdr{};
    size_t size = 0;
    bool ok = spng_set_png_buffer(ctx, png.data(), png.size()) == 0 &&
              spng_get_ihdr(ctx, &ihdr) == 0 &&
              spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0;
    if (ok) {
        pixels->resize(size);
        ok = spng_decode_image(ctx, pixels->data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) == 0;
    }
    *width = ihdr.width;
    *height = ihdr.height;
    spng_ctx_free(ctx);
    return ok;
}

bool pixel_is(const std::vector<uint8_t>& pixels, uint32_t width, size_t x, size_t y,
              const Colour& c) {
    const uint8_t* p = &pixels[(y * width + x) * 4];
    return p[0] == c.r && p[1] == c.g && p[2] == c.b && p[3] == 255;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size), format_name, depth_name;
    if (!take_name(&bytes, &format_name) || !take_name(&bytes, &depth_name) || bytes.empty())
        return 0;
    const PaletteFormat* format = format_name.empty() ? nullptr : format_named(format_name);
    const ColourLayout* layout = nullptr;
    if (!depth_name.empty() && depth_name.size() < 3 &&
        depth_name.find_first_not_of("0123456789") == std::string::npos)
        layout = colour_layout(std::stoi(depth_name));
    if ((!format_name.empty() && !format) || (!depth_name.empty() && !layout)) return 0;
    int depth = layout ? layout->depth : 0;
    if (!palview::options_conflict(format, depth).empty()) return 0; // the program's usage error
    const uint8_t options = uint8_t(bytes[0]);
    bytes.erase(0, 1);
    int cell = cells[options & 7];
    const bool with_source = options & 8;
    const size_t source_count = size_t(options >> 4) * 16 + 1;

    palview::Viewed viewed;
    std::string error = palview::read_colours(bytes, format, depth, &viewed);
    if (!error.empty()) return 0;
    const std::vector<Colour>& colours = viewed.colours;
    REQUIRE(!colours.empty() && colours.size() <= max_colours);
    REQUIRE(!viewed.what.empty());
    if (snaps(depth)) {
        int bits = component_bits(depth);
        for (Colour c : colours)
            for (uint8_t v : {c.r, c.g, c.b}) REQUIRE(expand(unsigned(v) >> (8 - bits), bits) == v);
    }

    const size_t across = palview::columns(colours.size());
    const size_t rows = (colours.size() + across - 1) / across;
    while (cell > 2 && across * rows * size_t(cell) * size_t(cell) > max_pixels) cell /= 2;

    std::vector<Colour> source;
    for (size_t i = 0; with_source && i < std::min(source_count, colours.size()); ++i)
        source.push_back({uint8_t(~colours[i].r), uint8_t(~colours[i].g), uint8_t(~colours[i].b)});
    std::string png;
    REQUIRE(palview::draw(colours, cell, &png, with_source ? &source : nullptr).empty());

    std::vector<uint8_t> pixels;
    uint32_t width = 0, height = 0;
    REQUIRE(decode(png, &pixels, &width, &height));
    REQUIRE(width == across * cell && height == rows * cell);
    for (size_t i = 0; i < rows * across; ++i) {
        size_t left = i % across * cell, top = i / across * cell;
        size_t bottom = top + cell - 1, right = left + cell - 1;
        if (i >= colours.size()) {
            REQUIRE(pixels[(top * width + left) * 4 + 3] == 0); // an empty cell is transparent
            continue;
        }
        REQUIRE(pixel_is(pixels, width, left, bottom, colours[i]));
        REQUIRE(pixel_is(pixels, width, right, bottom, colours[i]));
        REQUIRE(pixel_is(pixels, width, right, top, i < source.size() ? source[i] : colours[i]));
    }
    return 0;
}
