#pragma once
// What palview reads beyond the editors' palettes (the binary palettes palpack writes) and the
// picture it draws.

#include "palettes/palette.h"

#include <string>
#include <vector>

// Colours of a binary palette at depth 12, 15, 24 or 32, as palpack writes them, in the colours
// the machine shows (levels of 12 and 15 bits expanded to 8 bits). Any whole number of entries up
// to max_colours is taken. Returns an empty text, or the reason.
std::string read_binary(const std::string& bytes, int depth, std::vector<Colour>* colours);

// The depth a binary palette of 256 colours has from its size alone: 24 or 32, 0 otherwise.
int binary_depth(size_t size);

// The colours palview draws from a file.
struct Viewed {
    std::vector<Colour> colours;
    std::string what;    // what the file was read as: "GIMP palette", "binary palette at 15 bits"
    std::string ignored; // what of it was left unread, and why; or empty
};

// The colours of a file: a palette in format (null: the one its content shows), at the depth
// palpack would pack it (0: as it is); or, when the content shows no format, a binary palette at
// depth (0: from its size). Returns an empty text, or the reason.
std::string read_colours(const std::string& bytes, const PaletteFormat* format, int depth,
                         Viewed* viewed);

// A PNG image of colours (1 to max_colours): swatches of cell x cell pixels, 16 a row in index
// order, as many rows as the colours fill; the rest of a last row is transparent. Returns an
// empty text, or the PNG library's reason.
std::string draw(const std::vector<Colour>& colours, int cell, std::string* png);
