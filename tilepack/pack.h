#pragma once
// Pictures into the machine's tiles, tile maps and sub-palettes, in memory: the tile set all the
// pictures share with duplicates removed (also under the flips the map expresses), a map for
// each picture, and the fewest sub-palettes that hold every tile's colours.

#include "palettes/palette.h"
#include "tiles/layouts.h"
#include "tiles/picture.h"
#include "tiles/subpalettes.h"

#include <string>
#include <vector>

namespace tilepack {

struct Settings {
    const tiles::TileLayout* layout = tiles::default_layout(4);
    const tiles::MapLayout* map = tiles::map_layout("16");
    int colours = 16;      // a sub-palette's colours, colour 0 included (at most 1 << layout->bits)
    int palettes = 2;      // the most sub-palettes (at most map->palettes)
    int depth = 24;        // a row of palpack's colour layouts; 6 to 15 snap the colours
    Colour background;     // colour 0 of every sub-palette, and of transparent pixels
    bool flips = true;     // tiles equal under a flip the map expresses are stored once
    bool dedup = true;     // equal tiles are stored once
    bool priority = false; // every map entry's priority bit
    bool pad = false;      // pictures not a multiple of 8 are padded with pad_colour
    Colour pad_colour;
    size_t room = 0;    // tiles the machine holds; 0: what the map indexes
    bool limit = false; // more tiles than the room is a warning, not a refusal
    long budget = tiles::default_budget;
};

struct Input {
    std::string name; // for messages, and the map's name
    tiles::Picture picture;
};

// What -v reports.
struct Report {
    size_t tiles = 0;       // tiles in all the pictures
    size_t distinct = 0;    // without duplicates, flips aside
    size_t flipped = 0;     // without duplicates under the map's flips
    size_t stored = 0;      // in tiles.bin
    size_t colours = 0;     // distinct colours besides the background
    size_t transparent = 0; // pixels taken as transparent
    tiles::Cover cover;     // the sub-palettes
};

struct Packed {
    std::string tiles;             // the tile set (or the bitmap)
    std::string palettes;          // every sub-palette used, each of settings.colours colours
    std::vector<std::string> maps; // one a picture; empty without a map
    std::vector<std::string> warnings;
    Report report;
    std::string where; // the input a failure is about ("" for all of them)
};

// Packs pictures (at least one) as settings says. Returns "" or the reason, with packed->where
// naming the input it is about.
std::string pack(const std::vector<Input>& inputs, const Settings& settings, Packed* packed);

// "" when the settings go together, else why not ("--map 8 selects 1 sub-palette, not 2").
std::string check(const Settings& settings);

} // namespace tilepack
