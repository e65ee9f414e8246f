// The rows of the tile, map and machine tables, each beside the functions it names.
#include "tiles/layouts.h"

#include <algorithm>

namespace tiles {

namespace {

// 4 bits a pixel, the four planes interleaved per row: for each row plane 0 to plane 3, one byte
// each, bit 7 the leftmost pixel.
void planar_encode(const uint8_t* pixels, uint8_t* bytes, int planes) {
    for (int plane = 0; plane < planes; ++plane) {
        uint8_t b = 0;
        for (int x = 0; x < tile_side; ++x) b = uint8_t(b << 1 | (pixels[x] >> plane & 1));
        bytes[plane] = b;
    }
}

void planar_decode(const uint8_t* bytes, uint8_t* pixels, int planes) {
    for (int x = 0; x < tile_side; ++x) {
        uint8_t p = 0;
        for (int plane = 0; plane < planes; ++plane)
            p |= uint8_t((bytes[plane] >> (7 - x) & 1) << plane);
        pixels[x] = p;
    }
}

void planar4_encode(const uint8_t* pixels, uint8_t* bytes) {
    planar_encode(pixels, bytes, 4);
}
void planar4_decode(const uint8_t* bytes, uint8_t* pixels) {
    planar_decode(bytes, pixels, 4);
}
void planar2_encode(const uint8_t* pixels, uint8_t* bytes) {
    planar_encode(pixels, bytes, 2);
}
void planar2_decode(const uint8_t* bytes, uint8_t* pixels) {
    planar_decode(bytes, pixels, 2);
}

// 4 bits a pixel, two to a byte, the left pixel in the high nibble.
void packed4_encode(const uint8_t* pixels, uint8_t* bytes) {
    for (int i = 0; i < tile_side / 2; ++i)
        bytes[i] = uint8_t(pixels[2 * i] << 4 | pixels[2 * i + 1]);
}

void packed4_decode(const uint8_t* bytes, uint8_t* pixels) {
    for (int i = 0; i < tile_side / 2; ++i) {
        pixels[2 * i] = bytes[i] >> 4;
        pixels[2 * i + 1] = bytes[i] & 15;
    }
}

// 16 bits little-endian: bits 0-8 the tile, 9 and 10 the flips, 11 the second sub-palette, 12
// the priority.
void map16_encode(const Entry& e, uint8_t* bytes) {
    unsigned v =
        (e.tile & 0x1FF) | e.hflip << 9 | e.vflip << 10 | (e.palette & 1) << 11 | e.priority << 12;
    bytes[0] = uint8_t(v);
    bytes[1] = uint8_t(v >> 8);
}

void map16_decode(const uint8_t* bytes, Entry* e) {
    unsigned v = bytes[0] | unsigned(bytes[1]) << 8;
    *e = {v & 0x1FF, bool(v >> 9 & 1), bool(v >> 10 & 1), v >> 11 & 1, bool(v >> 12 & 1)};
}

// One byte, the tile alone.
void map8_encode(const Entry& e, uint8_t* bytes) {
    bytes[0] = uint8_t(e.tile);
}
void map8_decode(const uint8_t* bytes, Entry* e) {
    *e = {bytes[0], false, false, 0, false};
}

void none_encode(const Entry&, uint8_t*) {}
void none_decode(const uint8_t*, Entry* e) {
    *e = {};
}

template <class Row> std::string names_of(const std::vector<Row>& rows) {
    std::vector<std::string> names;
    for (const Row& r : rows) names.push_back(r.name);
    return choice_text(names);
}

template <class Row> const Row* named(const std::vector<Row>& rows, const std::string& name) {
    for (const Row& r : rows)
        if (name == r.name) return &r;
    return nullptr;
}

} // namespace

const std::vector<TileLayout>& tile_layouts() {
    static const std::vector<TileLayout> rows = {
        {"planar4", 4, 4, "4 bits a pixel, for each row planes 0 to 3, bit 7 the left pixel",
         planar4_encode, planar4_decode},
        {"planar2", 2, 2, "2 bits a pixel, for each row the low plane then the high plane",
         planar2_encode, planar2_decode},
        {"packed4", 4, 4, "4 bits a pixel, two to a byte, the left pixel in the high nibble",
         packed4_encode, packed4_decode},
    };
    return rows;
}

const TileLayout* tile_layout(const std::string& name) {
    return named(tile_layouts(), name);
}

const TileLayout* default_layout(int bits) {
    for (const TileLayout& l : tile_layouts())
        if (l.bits == bits) return &l;
    return nullptr;
}

std::string tile_layout_names() {
    return names_of(tile_layouts());
}

const std::vector<MapLayout>& map_layouts() {
    static const std::vector<MapLayout> rows = {
        {"16", 2, 512, 2, true, true,
         "16 bits little-endian: tile 0-8, flips 0x0200 and 0x0400, palette 0x0800, "
         "priority 0x1000",
         map16_encode, map16_decode},
        {"8", 1, 256, 1, false, false, "one byte, the tile", map8_encode, map8_decode},
        {"none", 0, 0, 1, false, false, "no map: the pictures whole, as a bitmap", none_encode,
         none_decode},
    };
    return rows;
}

const MapLayout* map_layout(const std::string& name) {
    return named(map_layouts(), name);
}

std::string map_layout_names() {
    return names_of(map_layouts());
}

const std::vector<Machine>& machines() {
    // The rows of the table of machines that show pictures, as CMake read them, in the order of
    // their names; the layout and map each names must be rows here (the tests check them).
    static const std::vector<Machine> rows = {
#include "machines/pictures.inc"
    };
    return rows;
}

const Machine* machine(const std::string& name) {
    return named(machines(), name);
}

std::string machine_names() {
    return names_of(machines());
}

std::string settle(const Given& g, Format* f) {
    const Machine* m = g.machine;
    const TileLayout* machine_layout = m ? tile_layout(m->layout) : nullptr;
    if (g.layout && g.bits && g.layout->bits != g.bits)
        return std::string("--layout ") + g.layout->name + " has " +
               std::to_string(g.layout->bits) + " bits a pixel, not " + std::to_string(g.bits);
    f->layout = g.layout;
    if (!f->layout && machine_layout && (!g.bits || machine_layout->bits == g.bits))
        f->layout = machine_layout;
    if (!f->layout) f->layout = default_layout(g.bits ? g.bits : 4);
    if (!f->layout) return "--bits " + std::to_string(g.bits) + ": no tile layout has it";
    f->map = g.map ? g.map : map_layout(m ? m->map : "16");
    f->colours = g.colours                                                   ? g.colours
                 : machine_layout && machine_layout->bits == f->layout->bits ? m->colours
                                                                             : 1 << f->layout->bits;
    f->palettes = g.palettes ? g.palettes
                  : m        ? std::min(m->palettes, int(f->map->palettes))
                             : int(f->map->palettes);
    f->depth = g.depth ? g.depth : m ? m->depth : 24;
    f->room = g.room >= 0 ? size_t(g.room) : m ? m->room : 0;
    int most = 1 << f->layout->bits;
    if (f->colours < 2 || f->colours > most)
        return "--colours " + std::to_string(f->colours) + ": " + std::to_string(f->layout->bits) +
               " bits a pixel hold 2 to " + std::to_string(most) + " colours";
    if (f->palettes < 1 || unsigned(f->palettes) > f->map->palettes)
        return std::string("--map ") + f->map->name + " selects " +
               std::to_string(f->map->palettes) +
               (f->map->palettes == 1 ? " sub-palette" : " sub-palettes") + ", not " +
               std::to_string(f->palettes);
    return "";
}

std::string choice_text(const std::vector<std::string>& names, const char* last) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) text += i + 1 == names.size() ? std::string(" ") + last + " " : ", ";
        text += names[i];
    }
    return text;
}

} // namespace tiles
