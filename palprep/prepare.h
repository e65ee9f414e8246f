#pragma once
// A palette made ready for the machine: moved to the colours it shows at a depth when asked, and
// written as the 256-colour JASC-PAL text palpack reads, or packed as the machine's own binary
// palette of any count.

#include "palettes/depth.h"
#include "palettes/palette.h"

#include <string>
#include <vector>

namespace palprep {

// What a run is asked to do.
struct Preparation {
    const palettes::PaletteFormat* format = nullptr; // null: found from the content
    int depth = 0;                        // 6, 9, 12 or 15 snap the colours; 0, 24 and 32 keep them
    size_t count = palettes::max_colours; // the colours written, padding included
    palettes::Snap snap = palettes::Snap::nearest;
    bool snap_given = false;
    bool strict = false;  // colours that become one are a failure
    palettes::Colour pad; // the colour after the palette's own
};

// The values of --snap and --pad (--depth: read_depth() of palettes/depth.h): "" when taken, else
// the reason.
std::string read_snap(const char* text, palettes::Snap* snap);

struct Prepared {
    std::vector<palettes::Colour> colours;   // always how.count of them
    std::vector<std::vector<size_t>> merged; // indices of input colours that became one
};

// colours (at most how.count) snapped at how.depth 6, 9, 12 or 15 (0, 24 or 32: kept as they
// are, every colour shown) and padded to how.count with how.pad, itself snapped alike. Only the
// input's own colours count as merged.
Prepared prepare_palette(const std::vector<palettes::Colour>& colours, const Preparation& how);

// The JASC-PAL text of colours, with the CR LF line ends of the format's home editor.
std::string jasc_text(const std::vector<palettes::Colour>& colours);

// The binary palette of colours at a depth of colour_layouts(), each colour in its layout.
std::string binary_palette(const std::vector<palettes::Colour>& colours, int depth);

// "colours 3, 7 and 9 become one at 15 bits (8 8 8)"
std::string merge_message(const std::vector<size_t>& group, palettes::Colour colour, int depth);

// What was written, for -v: "256 colours at 15 bits (nearest), 240 of them padding 0 0 0" for a
// palette of read colours; a packed palette adds its size: "16 colours at 6 bits (nearest),
// 16 bytes".
std::string written_note(size_t read, const Prepared& prepared, const Preparation& how,
                         size_t bytes = 0);

} // namespace palprep
