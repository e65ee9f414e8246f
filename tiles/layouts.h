#pragma once
// The byte layouts of tiles and tile maps, and the machines' picture defaults: one row each, so
// that the options, the help, the messages and the tests all derive from the rows. A new tile
// layout is a row of tile_layouts() beside its two row functions; a new map layout a row of
// map_layouts(). The machines come from the table of machines (machines/*.machine, their
// PICTURE_* keys): a new machine is a row there.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tiles {

// A tile is 8 x 8 pixels, each a colour index into its sub-palette.
constexpr int tile_side = 8;
constexpr int tile_pixels = tile_side * tile_side;

// How one row of 8 pixels of a tile is stored. Every layout stores a tile as its 8 rows, top to
// bottom, one after the other; a bitmap (no map) is the pictures' pixel rows in the same row
// encoding, 8 pixels at a time.
struct TileLayout {
    const char* name;        // what --layout takes: "planar4"
    int bits;                // bits a pixel
    size_t row_size;         // bytes a row of 8 pixels
    const char* description; // for the help and the manual page
    // Writes row_size bytes from 8 indices (each below 1 << bits), left to right.
    void (*encode)(const uint8_t* pixels, uint8_t* bytes);
    // The 8 indices of row_size bytes.
    void (*decode)(const uint8_t* bytes, uint8_t* pixels);
    size_t tile_size() const { return row_size * tile_side; }
};

// Every tile layout; the first of each bits is that depth's default.
const std::vector<TileLayout>& tile_layouts();
const TileLayout* tile_layout(const std::string& name); // null for none
const TileLayout* default_layout(int bits);             // null for none
std::string tile_layout_names();                        // "planar4, planar2 or packed4"

// One entry of a tile map as the program sees it.
struct Entry {
    unsigned tile = 0;
    bool hflip = false, vflip = false; // shows the stored tile mirrored left-right, top-bottom
    unsigned palette = 0;              // the sub-palette
    bool priority = false;             // drawn in front of sprites
    bool operator==(const Entry& o) const {
        return tile == o.tile && hflip == o.hflip && vflip == o.vflip && palette == o.palette &&
               priority == o.priority;
    }
};

// How a map stores its entries, row by row of tiles; or no map at all, the pictures stored whole
// as a bitmap.
struct MapLayout {
    const char* name;        // what --map takes: "16"
    size_t size;             // bytes an entry; 0: no map
    unsigned indices;        // tile indices an entry holds
    unsigned palettes;       // sub-palettes an entry selects
    bool flips;              // an entry mirrors its tile
    bool priority;           // an entry holds a priority bit
    const char* description; // for the help and the manual page
    void (*encode)(const Entry& entry, uint8_t* bytes);
    void (*decode)(const uint8_t* bytes, Entry* entry);
};

const std::vector<MapLayout>& map_layouts();
const MapLayout* map_layout(const std::string& name); // null for none
std::string map_layout_names();                       // "16, 8 or none"

// What a machine's video chip takes, from its row of the table of machines: the defaults -m
// sets; each option overrides its own.
struct Machine {
    const char* name;   // what -m takes
    const char* layout; // a row of tile_layouts()
    const char* map;    // a row of map_layouts()
    int colours;        // colours a sub-palette, colour 0 included
    int palettes;       // sub-palettes the tiles may use
    int depth;          // colour depth, a row of palpack's colour layouts
    size_t room;        // tiles the video memory holds for them
    const char* mode;   // how the video chip shows them: "tiles" through a map, or "bitmap"
};

const std::vector<Machine>& machines();
const Machine* machine(const std::string& name); // null for none
std::string machine_names();                     // "ay-9bit, psg-12bit or psg-6bit"

// The options of tilepack and tileview that choose a format, as given (0 or null: not given).
struct Given {
    const Machine* machine = nullptr;
    int bits = 0;
    const TileLayout* layout = nullptr;
    const MapLayout* map = nullptr;
    int colours = 0, palettes = 0, depth = 0;
    long long room = -1;
};

// The format the options choose: the machine's row (or 4 bits, map 16, depth 24) with every
// option given over it.
struct Format {
    const TileLayout* layout = nullptr;
    const MapLayout* map = nullptr;
    int colours = 0;  // 1 << layout->bits unless the machine or the option says
    int palettes = 0; // the machine's, at most what the map selects
    int depth = 0;
    size_t room = 0; // 0: what the map indexes
};

// The format of given; "" or the reason the options do not go together.
std::string settle(const Given& given, Format* format);

// "a, b or c" from names (or "a, b and c" with last "and").
std::string choice_text(const std::vector<std::string>& names, const char* last = "or");

} // namespace tiles
