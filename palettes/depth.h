#pragma once
// Colours as a machine with 4 or 5 bits a component (12- or 15-bit colour) shows them.

#include "palettes/palette.h"

#include <cstddef>
#include <vector>

enum class Snap {
    nearest, // the level whose shown colour is nearest
    trunc,   // the upper bits, as the palette packer keeps them
};

// Bits a component keeps at a depth of 12 or 15 bits a colour.
inline int component_bits(int depth) {
    return depth == 12 ? 4 : 5;
}

// The 8-bit value shown for a level of 4 or 5 bits: the level's bits repeated downwards
// (4 bits: level * 17; 5 bits: level << 3 | level >> 2), so that 0 and full stay black and white.
uint8_t expand(unsigned level, int bits);

// The level of 4 or 5 bits a component goes to.
unsigned level(uint8_t value, int bits, Snap snap);

// A colour moved to the one the machine shows, written back as its 8-bit expansion.
Colour snap(Colour colour, int bits, Snap snap);

// The groups of indices whose colours were different before and are one after (each group in
// index order, groups by their first index). before and after have the same length.
std::vector<std::vector<size_t>> merged(const std::vector<Colour>& before,
                                        const std::vector<Colour>& after);
