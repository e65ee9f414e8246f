// PNG pictures through libspng.
#include "tiles/picture.h"

#include <spng.h>

#include <cstdlib>
#include <memory>

namespace tiles {

namespace {

using Context = std::unique_ptr<spng_ctx, void (*)(spng_ctx*)>;

} // namespace

std::string decode_png(const std::string& bytes, Picture* picture) {
    Context ctx(spng_ctx_new(0), spng_ctx_free);
    if (!ctx) return "out of memory";
    spng_set_chunk_limits(ctx.get(), max_pixels * 4, max_pixels * 4);
    int error = spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size());
    spng_ihdr ihdr{};
    if (!error) error = spng_get_ihdr(ctx.get(), &ihdr);
    if (error) return spng_strerror(error);
    if (size_t(ihdr.width) * ihdr.height > max_pixels)
        return std::to_string(ihdr.width) + " x " + std::to_string(ihdr.height) +
               " pixels, more than a picture may have";
    size_t size = 0;
    error = spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size);
    if (error) return spng_strerror(error);
    std::vector<uint8_t> data(size);
    error = spng_decode_image(ctx.get(), data.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    if (error) return spng_strerror(error);
    picture->width = ihdr.width;
    picture->height = ihdr.height;
    picture->pixels.resize(size / 4);
    for (size_t i = 0; i < picture->pixels.size(); ++i)
        picture->pixels[i] = {data[4 * i], data[4 * i + 1], data[4 * i + 2], data[4 * i + 3]};
    return "";
}

std::string encode_png(const Picture& picture, std::string* png) {
    Context ctx(spng_ctx_new(SPNG_CTX_ENCODER), spng_ctx_free);
    if (!ctx) return "out of memory";
    std::vector<uint8_t> data;
    data.reserve(picture.pixels.size() * 3);
    for (const Pixel& p : picture.pixels) data.insert(data.end(), {p.r, p.g, p.b});
    spng_ihdr ihdr = {picture.width, picture.height, 8, SPNG_COLOR_TYPE_TRUECOLOR, 0, 0, 0};
    int error = spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    if (!error) error = spng_set_ihdr(ctx.get(), &ihdr);
    if (!error)
        error = spng_encode_image(ctx.get(), data.data(), data.size(), SPNG_FMT_PNG,
                                  SPNG_ENCODE_FINALIZE);
    if (error) return spng_strerror(error);
    size_t length = 0;
    void* buffer = spng_get_png_buffer(ctx.get(), &length, &error);
    if (!buffer) return spng_strerror(error);
    png->assign(static_cast<char*>(buffer), length);
    free(buffer);
    return "";
}

} // namespace tiles
