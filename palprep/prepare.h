#pragma once
// A palette made ready for the palette packer: 256 colours, moved to the colours the machine shows
// at 12 or 15 bits when asked, written as JASC-PAL text.

#include "palettes/depth.h"
#include "palettes/palette.h"

#include <string>
#include <vector>

// What a run is asked to do.
struct Preparation {
    const PaletteFormat* format = nullptr; // null: found from the content
    int depth = 0;                         // 12 or 15 snap the colours; 0, 24 and 32 keep them
    Snap snap = Snap::nearest;
    bool snap_given = false;
    bool strict = false; // colours that become one are a failure
    Colour pad;          // the colour after the palette's own
};

// The values of --depth, --snap and --pad: "" when taken, else the reason.
std::string read_depth(const char* text, int* depth);
std::string read_snap(const char* text, Snap* snap);
std::string read_colour(const char* text, Colour* colour); // "R,G,B", each 0 to 255

struct Prepared {
    std::vector<Colour> colours;             // always max_colours of them
    std::vector<std::vector<size_t>> merged; // indices of input colours that became one
};

// colours (at most max_colours) snapped at how.depth 12 or 15 (0, 24 or 32: kept as they are,
// every colour shown) and padded with how.pad, itself snapped alike. Only the input's own colours
// count as merged.
Prepared prepare_palette(const std::vector<Colour>& colours, const Preparation& how);

// The JASC-PAL text of colours, with the CR LF line ends of the format's home editor.
std::string jasc_text(const std::vector<Colour>& colours);

// "colours 3, 7 and 9 become one at 15 bits (8 8 8)"
std::string merge_message(const std::vector<size_t>& group, Colour colour, int depth);

// What was written, for -v: "256 colours at 15 bits (nearest), 240 of them padding 0 0 0" for a
// palette of read colours.
std::string written_note(size_t read, const Prepared& prepared, const Preparation& how);
