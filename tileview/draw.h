#pragma once
// What the machine shows of tiles, a tile map and sub-palettes: the picture drawn back, in
// memory.

#include "tiles/layouts.h"
#include "tiles/picture.h"

#include <string>

namespace tileview {

struct View {
    const tiles::TileLayout* layout = tiles::default_layout(4);
    const tiles::MapLayout* map = tiles::map_layout("16");
    int colours = 16;    // colours a sub-palette
    int depth = 24;      // the colour layout of the palettes
    unsigned width = 32; // tiles across
};

// The picture the tiles, map and palettes (as tilepack writes them) show: every map entry's tile,
// flipped as the entry says, in the colours of the sub-palette it selects, colour 0 included; with
// no map, tiles holds a bitmap of view.width tiles across, of any number of pixel rows. Returns ""
// or what does not fit (a size that is no whole number of tiles, entries or palettes; an entry
// beyond the tiles or the palettes).
std::string draw(const std::string& tiles, const std::string& palettes, const std::string& map,
                 const View& view, tiles::Picture* picture);

} // namespace tileview
