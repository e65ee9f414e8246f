#pragma once
// What palview reads beyond the editors' palettes (the binary palettes palpack writes) and the
// picture it draws.

#include "palettes/palette.h"

#include <string>
#include <vector>

namespace palview {

// Colours of a binary palette at a depth of colour_layouts() (6, 9, 12, 15, 24 or 32), as palpack
// and palprep --pack write them, in the colours the machine shows (levels of fewer than 8 bits
// expanded to 8 bits). Any whole number of entries from 1 to max_colours is taken. Returns an
// empty text, or the reason.
std::string read_binary(const std::string& bytes, int depth,
                        std::vector<palettes::Colour>* colours);

// The depth a binary palette of 256 colours has from its size alone: 24 or 32, 0 otherwise.
int binary_depth(size_t size);

// The colours palview draws from a file.
struct Viewed {
    std::vector<palettes::Colour> colours;
    std::string what;    // what the file was read as: "GIMP palette", "binary palette at 15 bits"
    std::string ignored; // what of it was left unread, and why; or empty
};

// "" when --format and --depth may go together, else why not: a depth palpack does not write
// (6, 9) reads a binary palette, which no format names.
std::string options_conflict(const palettes::PaletteFormat* format, int depth);

// The colours of a file: a palette in format (null: the one its content shows), at the depth
// palpack would pack it (0: as it is); or, when the content shows no format, a binary palette at
// depth (0: from its size). At a depth palpack does not write (6, 9) the file is a binary palette
// whatever its content, and format must be null. Returns an empty text, or the reason.
std::string read_colours(const std::string& bytes, const palettes::PaletteFormat* format, int depth,
                         Viewed* viewed);

// The swatches a row of a picture of count colours: all of them up to 16, else 16.
size_t columns(size_t count);

// A PNG image of colours (1 to max_colours): swatches of cell x cell pixels, columns() a row in
// index order, as many rows as the colours fill; the rest of a last row is transparent. Without
// source the image is indexed and its palette is the palette. With source (the editor's colours)
// each swatch whose index source holds is split: its upper cell / 2 rows in the source's colour,
// the rest in the palette's; the image is then RGBA. Returns an empty text, or the PNG library's
// reason.
std::string draw(const std::vector<palettes::Colour>& colours, int cell, std::string* png,
                 const std::vector<palettes::Colour>* source = nullptr);

} // namespace palview
