#include "tests/png.h"

#include <spng.h>

#include <cstdlib>
#include <memory>

namespace {

using Context = std::unique_ptr<spng_ctx, void (*)(spng_ctx*)>;

std::string encode(spng_ctx* ctx, const std::vector<uint8_t>& data) {
    int error =
        spng_encode_image(ctx, data.data(), data.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t length = 0;
    void* buffer = error ? nullptr : spng_get_png_buffer(ctx, &length, &error);
    if (!buffer) abort(); // a fixture the library refuses is a fault of the test
    std::string png(static_cast<char*>(buffer), length);
    free(buffer);
    return png;
}

Context encoder(uint32_t width, uint32_t height, int bits, int type) {
    Context ctx(spng_ctx_new(SPNG_CTX_ENCODER), spng_ctx_free);
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr = {width, height, uint8_t(bits), uint8_t(type), 0, 0, 0};
    if (spng_set_ihdr(ctx.get(), &ihdr)) abort();
    return ctx;
}

} // namespace

std::string indexed_png(uint32_t width, uint32_t height, int bits, const std::vector<Rgba>& plte,
                        const std::vector<uint8_t>& alpha, const std::vector<uint8_t>& pixels) {
    Context ctx = encoder(width, height, bits, SPNG_COLOR_TYPE_INDEXED);
    spng_plte p = {};
    for (const Rgba& c : plte) p.entries[p.n_entries++] = {c.r, c.g, c.b, 255};
    if (spng_set_plte(ctx.get(), &p)) abort();
    if (!alpha.empty()) {
        spng_trns t = {};
        for (uint8_t a : alpha) t.type3_alpha[t.n_type3_entries++] = a;
        if (spng_set_trns(ctx.get(), &t)) abort();
    }
    // Packed rows, the leftmost pixel in the high bits of a byte.
    size_t stride = (size_t(width) * bits + 7) / 8;
    std::vector<uint8_t> data(stride * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            size_t bit = size_t(x) * bits;
            data[y * stride + bit / 8] |=
                uint8_t(pixels[size_t(y) * width + x] << (8 - bits - bit % 8));
        }
    return encode(ctx.get(), data);
}

std::string truecolour_png(uint32_t width, uint32_t height, const std::vector<Rgba>& pixels,
                           bool alpha) {
    Context ctx = encoder(width, height, 8,
                          alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR);
    std::vector<uint8_t> data;
    for (const Rgba& c : pixels) {
        data.insert(data.end(), {c.r, c.g, c.b});
        if (alpha) data.push_back(c.a);
    }
    return encode(ctx.get(), data);
}

Image decode_png(const std::string& bytes) {
    Image image;
    Context ctx(spng_ctx_new(0), spng_ctx_free);
    spng_ihdr ihdr;
    size_t size = 0;
    int error = spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size());
    if (!error) error = spng_get_ihdr(ctx.get(), &ihdr);
    if (!error) error = spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size);
    std::vector<uint8_t> data(size);
    if (!error)
        error = spng_decode_image(ctx.get(), data.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    if (error) {
        image.error = spng_strerror(error);
        return image;
    }
    image.width = ihdr.width;
    image.height = ihdr.height;
    for (size_t i = 0; i + 3 < size; i += 4)
        image.pixels.push_back({data[i], data[i + 1], data[i + 2], data[i + 3]});
    return image;
}
