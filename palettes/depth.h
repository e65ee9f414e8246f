#pragma once
// Colours as a machine with 2 to 5 bits a component (6-, 9-, 12- or 15-bit colour) shows them.
// The depths and their bits a component are the rows of colour_layouts() (colours/layouts.h).

#include "colours/layouts.h"
#include "palettes/palette.h"

#include <cstddef>
#include <string>
#include <vector>

namespace palettes {

enum class Snap {
    nearest, // the level whose shown colour is nearest
    trunc,   // the upper bits, as the palette packer keeps them
};

// Bits a component keeps at a depth of colour_layouts(): 8 when every colour is kept (24, 32).
inline int component_bits(int depth) {
    return colours::colour_layout(depth)->bits;
}

// True when a depth moves colours: fewer than 8 bits a component.
inline bool snaps(int depth) {
    return depth && component_bits(depth) < 8;
}

// "6, 9, 12, 15, 24 or 32": the depths of colour_layouts(); "12, 15, 24 or 32": palpack's alone.
std::string depth_names(bool palpack_only = false);

// "6|9|12|15|24|32": the value of --depth in the help.
std::string depth_values();

// The value of --depth: "" when it names a depth of colour_layouts(), else the reason.
std::string read_depth(const char* text, int* depth);

// The 8-bit value shown for a level of 2 to 8 bits: the level's bits repeated downwards
// (2 bits: level * 85; 3 bits: round(level * 255 / 7); 4 bits: level * 17; 5 bits: level << 3 |
// level >> 2), so that 0 and full stay black and white and the upper bits give the level back.
uint8_t expand(unsigned level, int bits);

// The level of 2 to 5 bits a component goes to.
unsigned level(uint8_t value, int bits, Snap snap);

// A colour moved to the one the machine shows, written back as its 8-bit expansion.
Colour snap(Colour colour, int bits, Snap snap);

// The groups of indices whose colours were different before and are one after (each group in
// index order, groups by their first index). before and after have the same length.
std::vector<std::vector<size_t>> merged(const std::vector<Colour>& before,
                                        const std::vector<Colour>& after);

} // namespace palettes
