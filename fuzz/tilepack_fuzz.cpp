// Fuzz target for tilepack's core: pack() of a PNG picture as the program runs it, checked by
// drawing its output back with tileview's core. Byte 0 picks the tile layout (its index in
// tile_layouts(), modulo their count), byte 1 the map layout (in map_layouts()), byte 2 the depth
// (in colours::colour_layouts()), byte 3 bits: 0 no flips, 1 no duplicates removed, 2 priority, 3
// pad with white, 4-7 the colours a sub-palette below the most (0: all of them). The rest is the
// picture. A packed picture draws back as it was read: each pixel in the colour the machine shows,
// the transparent ones and those of the background in colour 0.
#include "colours/layouts.h"
#include "fuzz/support.h"
#include "palettes/depth.h"
#include "tilepack/pack.h"
#include "tileview/draw.h"

namespace {

using namespace palettes;

// Pictures larger than this are left out: the loops are the same, the runs far longer.
constexpr size_t most_pixels = 64 * 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const auto& layouts = tiles::tile_layouts();
    const auto& maps = tiles::map_layouts();
    const auto& depths = colours::colour_layouts();
    tilepack::Settings s;
    s.layout = &layouts[data[0] % layouts.size()];
    s.map = &maps[data[1] % maps.size()];
    s.depth = depths[data[2] % depths.size()].depth;
    s.flips = !(data[3] & 1);
    s.dedup = !(data[3] & 2);
    s.priority = data[3] & 4;
    s.pad = data[3] & 8;
    s.pad_colour = {255, 255, 255};
    s.colours = std::max(2, (1 << s.layout->bits) - (data[3] >> 4));
    s.palettes = int(s.map->palettes);
    s.limit = true;
    s.budget = 200'000;
    REQUIRE(tilepack::check(s).empty());

    tilepack::Input in;
    in.name = "fuzz.png";
    std::string bytes(reinterpret_cast<const char*>(data) + 4, size - 4);
    if (!tiles::decode_png(bytes, &in.picture).empty()) return 0;
    if (size_t(in.picture.width) * in.picture.height > most_pixels) return 0;
    tilepack::Packed out;
    if (!tilepack::pack({in}, s, &out).empty()) return 0;

    const tilepack::Report& r = out.report;
    const tiles::Cover& c = r.cover;
    REQUIRE(c.palettes >= 1 && c.palettes <= s.palettes);
    REQUIRE(c.lower_bound <= c.palettes && c.palettes <= c.first_fit && c.palettes <= c.overload);
    REQUIRE(r.flipped <= r.distinct && r.distinct <= r.tiles && r.stored <= r.tiles);
    REQUIRE(out.maps.size() == (s.map->size ? 1u : 0u));

    // A bitmap keeps the picture's own rows unless padded.
    uint32_t width = (in.picture.width + 7) / 8 * 8, height = (in.picture.height + 7) / 8 * 8;
    if (!s.map->size && !s.pad) height = in.picture.height;
    tileview::View view{s.layout, s.map, s.colours, s.depth, width / 8};
    tiles::Picture back;
    REQUIRE(tileview::draw(out.tiles, out.palettes, s.map->size ? out.maps[0] : "", view, &back)
                .empty());
    REQUIRE(back.width == width && back.height == height);
    int bits = component_bits(s.depth);
    auto shown = [&](tiles::Pixel p) {
        Colour c =
            snaps(s.depth) ? snap({p.r, p.g, p.b}, bits, Snap::nearest) : Colour{p.r, p.g, p.b};
        return tiles::Pixel{c.r, c.g, c.b, 255};
    };
    tiles::Pixel background = shown({0, 0, 0, 255}), pad = shown({255, 255, 255, 255});
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            tiles::Pixel want = pad;
            if (x < in.picture.width && y < in.picture.height) {
                const tiles::Pixel& p = in.picture.at(x, y);
                want = p.a < 128 ? background : shown(p);
            }
            REQUIRE(back.at(x, y) == want);
        }
    return 0;
}
