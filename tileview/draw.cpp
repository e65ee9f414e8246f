// Tiles, map and palettes drawn as the machine shows them.
#include "tileview/draw.h"

#include "colours/layouts.h"
#include "palettes/depth.h"

namespace tileview {

using namespace palettes;
using colours::ColourLayout;

namespace {

using tiles::tile_side;

std::string count_text(size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

} // namespace

std::string draw(const std::string& tiles, const std::string& palettes, const std::string& map,
                 const View& v, tiles::Picture* picture) {
    const ColourLayout* cl = colours::colour_layout(v.depth);
    if (!v.layout || !v.map || !cl || v.colours < 1 || !v.width) return "no such layout";
    size_t palette_size = size_t(v.colours) * cl->size;
    if (palettes.empty() || palettes.size() % palette_size)
        return "palettes of " + count_text(palettes.size(), "byte") + ", no whole number of " +
               count_text(size_t(v.colours), "colour") + " at " + std::to_string(v.depth) + " bits";
    std::vector<tiles::Pixel> colours;
    for (size_t at = 0; at < palettes.size(); at += cl->size) {
        unsigned rgb[3];
        cl->decode(reinterpret_cast<const unsigned char*>(&palettes[at]), rgb);
        uint8_t c[3];
        for (int i = 0; i < 3; ++i)
            c[i] = cl->bits < 8 ? expand(rgb[i], cl->bits) : uint8_t(rgb[i]);
        colours.push_back({c[0], c[1], c[2], 255});
    }
    size_t sub_palettes = colours.size() / size_t(v.colours);

    const tiles::TileLayout& tl = *v.layout;
    size_t row_bytes = tl.row_size;
    auto row = [&](size_t at, uint8_t* pixels) {
        tl.decode(reinterpret_cast<const uint8_t*>(&tiles[at]), pixels);
    };
    picture->width = v.width * tile_side;
    if (!v.map->size) {
        size_t line = size_t(v.width) * row_bytes;
        if (tiles.empty() || tiles.size() % line)
            return "a bitmap of " + count_text(tiles.size(), "byte") + ", no whole number of " +
                   "rows of " + count_text(v.width * tile_side, "pixel") + " (" +
                   count_text(line, "byte") + ")";
        picture->height = uint32_t(tiles.size() / line);
        if (size_t(picture->width) * picture->height > tiles::max_pixels) return "too large";
        picture->pixels.assign(size_t(picture->width) * picture->height, {});
        for (uint32_t y = 0; y < picture->height; ++y)
            for (unsigned t = 0; t < v.width; ++t) {
                uint8_t pixels[tile_side];
                row(y * line + t * row_bytes, pixels);
                for (int x = 0; x < tile_side; ++x) {
                    if (pixels[x] >= v.colours)
                        return "a pixel of colour " + std::to_string(pixels[x]) + ", beyond " +
                               count_text(size_t(v.colours), "colour");
                    picture->pixels[size_t(y) * picture->width + t * tile_side + unsigned(x)] =
                        colours[pixels[x]];
                }
            }
        return "";
    }

    size_t tile_size = tl.tile_size();
    if (tiles.size() % tile_size)
        return "tiles of " + count_text(tiles.size(), "byte") + ", no whole number of tiles of " +
               std::to_string(tile_size);
    size_t tile_count = tiles.size() / tile_size;
    size_t entries = map.size() / v.map->size;
    if (!entries || map.size() % v.map->size || entries % v.width)
        return "a map of " + count_text(map.size(), "byte") + ", no whole number of rows of " +
               std::to_string(v.width) + " entries of " + count_text(v.map->size, "byte");
    picture->height = uint32_t(entries / v.width * tile_side);
    if (size_t(picture->width) * picture->height > tiles::max_pixels) return "too large";
    picture->pixels.assign(size_t(picture->width) * picture->height, {});
    for (size_t i = 0; i < entries; ++i) {
        tiles::Entry e;
        v.map->decode(reinterpret_cast<const uint8_t*>(&map[i * v.map->size]), &e);
        if (e.tile >= tile_count)
            return "map entry " + std::to_string(i) + " shows tile " + std::to_string(e.tile) +
                   ", beyond the " + count_text(tile_count, "tile");
        if (e.palette >= sub_palettes)
            return "map entry " + std::to_string(i) + " selects sub-palette " +
                   std::to_string(e.palette) + ", beyond the " + std::to_string(sub_palettes) +
                   " given";
        size_t left = i % v.width * tile_side, top = i / v.width * tile_side;
        for (int y = 0; y < tile_side; ++y) {
            uint8_t pixels[tile_side];
            row(e.tile * tile_size + size_t(e.vflip ? tile_side - 1 - y : y) * row_bytes, pixels);
            for (int x = 0; x < tile_side; ++x) {
                uint8_t index = pixels[e.hflip ? tile_side - 1 - x : x];
                if (index >= v.colours)
                    return "tile " + std::to_string(e.tile) + " has colour " +
                           std::to_string(index) + ", beyond " +
                           count_text(size_t(v.colours), "colour");
                picture->pixels[(top + size_t(y)) * picture->width + left + size_t(x)] =
                    colours[e.palette * size_t(v.colours) + index];
            }
        }
    }
    return "";
}

} // namespace tileview
