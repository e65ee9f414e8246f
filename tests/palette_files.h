#pragma once
// One small palette, the same 16 colours, in every format and variant the palette readers take.

#include "palettes/palette.h"

#include <ostream>
#include <string>
#include <vector>

struct PaletteFile {
    std::string name;                      // the case's name in test output
    std::string bytes;                     // the file
    std::string format;                    // the name of the format its content shows
    std::vector<palettes::Colour> colours; // what it reads to
    bool transparency;                     // whether it holds a colour that is not opaque
};

inline void PrintTo(const PaletteFile& f, std::ostream* os) {
    *os << f.name;
}

// The 16 colours: all different, 0 and 255 among the components.
std::vector<palettes::Colour> sixteen();

std::vector<PaletteFile> palette_files();

// "r g b" lines of a JASC-PAL palette of colours, with the line end eol and the count line count.
std::string jasc(const std::vector<palettes::Colour>& colours, const std::string& eol = "\n",
                 size_t count = 0);

// A Microsoft RIFF palette of colours.
std::string riff_palette(const std::vector<palettes::Colour>& colours);

// Photoshop swatches of version 1, each colour marked as in the colour space given (0: RGB).
std::string aco_swatches(const std::vector<palettes::Colour>& colours, unsigned space);
