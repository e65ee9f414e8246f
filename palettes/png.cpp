// PNG images through libspng: an indexed image gives its palette (PLTE), any other image the
// distinct colours of its pixels in the order they first appear, rows top to bottom.
#include "palettes/readers.h"

#include <spng.h>

#include <memory>

namespace palettes {

namespace {

// Decoded pixels beyond this are refused rather than allocated: a palette strip is small.
constexpr size_t max_image_bytes = size_t(64) << 20;

struct Context {
    spng_ctx* ctx = spng_ctx_new(0);
    ~Context() { spng_ctx_free(ctx); }
};

std::string failed(int error) {
    return spng_strerror(error);
}

} // namespace

bool is_png(const std::string& bytes) {
    return bytes.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) == 0;
}

std::string read_png(const std::string& bytes, Palette* palette) {
    Context c;
    if (!c.ctx) return "out of memory";
    spng_set_chunk_limits(c.ctx, max_image_bytes, max_image_bytes);
    int error = spng_set_png_buffer(c.ctx, bytes.data(), bytes.size());
    spng_ihdr ihdr;
    if (!error) error = spng_get_ihdr(c.ctx, &ihdr);
    if (error) return failed(error);

    if (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED) {
        spng_plte plte;
        error = spng_get_plte(c.ctx, &plte);
        if (error) return failed(error);
        for (uint32_t i = 0; i < plte.n_entries; ++i)
            palette->colours.push_back(
                {plte.entries[i].red, plte.entries[i].green, plte.entries[i].blue});
        spng_trns trns;
        if (spng_get_trns(c.ctx, &trns) == 0)
            for (uint32_t i = 0; i < trns.n_type3_entries; ++i)
                palette->transparency = palette->transparency || trns.type3_alpha[i] != 255;
        return "";
    }

    size_t size = 0;
    error = spng_decoded_image_size(c.ctx, SPNG_FMT_RGBA8, &size);
    if (error) return failed(error);
    if (size > max_image_bytes)
        return std::to_string(ihdr.width) + " x " + std::to_string(ihdr.height) +
               " pixels, too large for a palette";
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[size]);
    error = spng_decode_image(c.ctx, pixels.get(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    if (error) return failed(error);

    // One bit for each of the 2^24 colours; only the first max_colours + 1 are kept, the rest
    // only counted.
    std::vector<bool> seen(size_t(1) << 24);
    size_t count = 0;
    for (size_t i = 0; i + 3 < size; i += 4) {
        const uint8_t* p = &pixels[i];
        size_t key = size_t(p[0]) << 16 | size_t(p[1]) << 8 | p[2];
        palette->transparency = palette->transparency || p[3] != 255;
        if (seen[key]) continue;
        seen[key] = true;
        ++count;
        if (palette->colours.size() <= max_colours) palette->colours.push_back({p[0], p[1], p[2]});
    }
    if (count > max_colours)
        return std::to_string(count) + " distinct colours, more than " +
               std::to_string(max_colours);
    return "";
}

} // namespace palettes
