#include "palview/picture.h"

#include "colours/layouts.h"
#include "palettes/depth.h"

#include <spng.h>

#include <cstdlib>

namespace palview {

using namespace palettes;
using namespace colours;

std::string read_binary(const std::string& bytes, int depth, std::vector<Colour>* colours) {
    size_t entry = colour_size(depth);
    std::string size = std::to_string(bytes.size()) + " bytes";
    if (bytes.empty() || bytes.size() % entry != 0)
        return size + ": no whole number of " + std::to_string(depth) + "-bit colours";
    if (bytes.size() / entry > max_colours)
        return size + ": more than " + std::to_string(max_colours) + " colours at " +
               std::to_string(depth) + " bits";
    for (size_t i = 0; i < bytes.size(); i += entry) {
        unsigned c[3];
        unpack_colour(reinterpret_cast<const unsigned char*>(bytes.data() + i), depth, c);
        // The machine shows each level as its 8-bit expansion.
        int bits = component_bits(depth);
        if (bits < 8)
            for (unsigned& v : c) v = expand(v, bits);
        colours->push_back({uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2])});
    }
    return "";
}

int binary_depth(size_t size) {
    return size == 768 ? 24 : size == 1024 ? 32 : 0;
}

std::string options_conflict(const PaletteFormat* format, int depth) {
    if (format && depth && !colour_layout(depth)->palpack)
        return "--depth " + std::to_string(depth) + " reads a binary palette: no --format";
    return "";
}

std::string read_colours(const std::string& bytes, const PaletteFormat* format, int depth,
                         Viewed* viewed) {
    if (depth && !colour_layout(depth)->palpack) {
        // No editor's palette is packed at this depth, and its bytes of few bits could pass for
        // text: the file is the machine's palette.
        viewed->what = "binary palette at " + std::to_string(depth) + " bits";
        return read_binary(bytes, depth, &viewed->colours);
    }
    if (!format) format = detect(bytes);
    if (format) {
        Palette palette;
        std::string error = read_palette(bytes, format, &palette);
        viewed->colours = palette.colours;
        viewed->what = format->title;
        viewed->ignored = palette.ignored;
        // What the machine shows once palpack has kept the upper bits.
        if (snaps(depth))
            for (Colour& c : viewed->colours) c = snap(c, component_bits(depth), Snap::trunc);
        return error;
    }
    if (!depth) depth = binary_depth(bytes.size());
    if (!depth && bytes.size() == 512)
        return "512 bytes: a binary palette of 12 or 15 bits; give --depth 12 or 15";
    if (!depth)
        return "unknown format, and " + std::to_string(bytes.size()) +
               " bytes fit no binary palette of 256 colours (512 bytes for 12 or 15 bits, 768 "
               "for 24, 1024 for 32); give --depth for another count";
    viewed->what = "binary palette at " + std::to_string(depth) + " bits";
    return read_binary(bytes, depth, &viewed->colours);
}

namespace {

struct Encoder {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    ~Encoder() { spng_ctx_free(ctx); }
};

// The encoded image into png, after the encoding gave error.
std::string finish(Encoder& e, int error, std::string* png) {
    if (error) return spng_strerror(error);
    size_t length = 0;
    void* buffer = spng_get_png_buffer(e.ctx, &length, &error);
    if (!buffer) return spng_strerror(error);
    png->assign(static_cast<const char*>(buffer), length);
    free(buffer);
    return "";
}

} // namespace

size_t columns(size_t count) {
    return count < 16 ? count : 16;
}

namespace {

// The picture with split swatches, in RGBA: a palette of both colours of every swatch could
// outgrow the 256 entries of an indexed image.
std::vector<uint8_t> split_pixels(const std::vector<Colour>& colours,
                                  const std::vector<Colour>& source, uint32_t cell, uint32_t width,
                                  uint32_t height) {
    const size_t per_row = columns(colours.size());
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            size_t index = y / cell * per_row + x / cell;
            uint8_t* p = &pixels[(size_t(y) * width + x) * 4];
            if (index >= colours.size()) continue; // transparent black
            bool upper = y % cell < cell / 2 && index < source.size();
            const Colour& c = upper ? source[index] : colours[index];
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
            p[3] = 255;
        }
    return pixels;
}

} // namespace

std::string draw(const std::vector<Colour>& colours, int cell, std::string* png,
                 const std::vector<Colour>* source) {
    const size_t per_row = columns(colours.size());
    size_t rows = (colours.size() + per_row - 1) / per_row;
    uint32_t width = uint32_t(per_row * size_t(cell)), height = uint32_t(rows * size_t(cell));

    if (source) {
        std::vector<uint8_t> pixels = split_pixels(colours, *source, uint32_t(cell), width, height);
        Encoder e;
        if (!e.ctx) return "out of memory";
        spng_ihdr ihdr = {width, height, 8, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 0, 0, 0};
        int error = spng_set_option(e.ctx, SPNG_ENCODE_TO_BUFFER, 1);
        if (!error) error = spng_set_ihdr(e.ctx, &ihdr);
        if (!error)
            error = spng_encode_image(e.ctx, pixels.data(), pixels.size(), SPNG_FMT_PNG,
                                      SPNG_ENCODE_FINALIZE);
        return finish(e, error, png);
    }

    // An indexed image whose palette is the palette itself, with one more, transparent, entry
    // for the empty cells of a last row.
    spng_plte plte = {};
    for (const Colour& c : colours) plte.entries[plte.n_entries++] = {c.r, c.g, c.b, 255};
    uint8_t empty = uint8_t(colours.size() % 256);
    bool gaps = colours.size() % per_row != 0;
    spng_trns trns = {};
    if (gaps) {
        plte.entries[plte.n_entries++] = {0, 0, 0, 255};
        trns.n_type3_entries = plte.n_entries;
        for (uint32_t i = 0; i < plte.n_entries; ++i) trns.type3_alpha[i] = 255;
        trns.type3_alpha[empty] = 0;
    }
    std::vector<uint8_t> pixels(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            size_t index = y / cell * per_row + x / cell;
            pixels[size_t(y) * width + x] = index < colours.size() ? uint8_t(index) : empty;
        }

    Encoder e;
    if (!e.ctx) return "out of memory";
    spng_ihdr ihdr = {width, height, 8, SPNG_COLOR_TYPE_INDEXED, 0, 0, 0};
    int error = spng_set_option(e.ctx, SPNG_ENCODE_TO_BUFFER, 1);
    if (!error) error = spng_set_ihdr(e.ctx, &ihdr);
    if (!error) error = spng_set_plte(e.ctx, &plte);
    if (!error && gaps) error = spng_set_trns(e.ctx, &trns);
    if (!error)
        error = spng_encode_image(e.ctx, pixels.data(), pixels.size(), SPNG_FMT_PNG,
                                  SPNG_ENCODE_FINALIZE);
    return finish(e, error, png);
}

} // namespace palview
