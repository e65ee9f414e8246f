#pragma once
// A palette made ready for the palette packer: 256 colours, moved to the colours the machine shows
// at 12 or 15 bits when asked, written as JASC-PAL text.

#include "palettes/depth.h"
#include "palettes/palette.h"

#include <string>
#include <vector>

struct Prepared {
    std::vector<Colour> colours;             // always max_colours of them
    std::vector<std::vector<size_t>> merged; // indices of input colours that became one
};

// colours (at most max_colours) snapped at depth 12 or 15 (0, 24 or 32: kept as they are, every
// colour shown) and padded with pad, itself snapped alike. Only the input's own colours count as
// merged.
Prepared prepare_palette(const std::vector<Colour>& colours, int depth, Snap snap, Colour pad);

// The JASC-PAL text of colours, with the CR LF line ends of the format's home editor.
std::string jasc_text(const std::vector<Colour>& colours);

// "colours 3, 7 and 9 become one at 15 bits (8 8 8)"
std::string merge_message(const std::vector<size_t>& group, Colour colour, int depth);
