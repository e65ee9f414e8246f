#pragma once
// One colour of a binary palette, in each layout a machine's colour memory has: one row of
// colour_layouts() a depth. palpack writes the 12-, 15-, 24- and 32-bit rows; palprep --pack
// writes every row and palview reads every row back.
//   6 bits:  one byte 00BBGGRR, 2 bits a component
//   9 bits:  two bytes 0RRR0BBB, then 00000GGG, 3 bits a component
//   12, 15:  a little-endian word with red in the low bits, 4 or 5 bits a component
//   24, 32:  the bytes R, G, B (and at 32 a zero byte)
// A component keeps its upper bits; the machine shows a level as its bits repeated downwards.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace colours {

struct ColourLayout {
    int32_t depth; // bits a colour, as the programs' --depth names it
    size_t size;   // bytes a colour
    int bits;      // bits a component keeps: 8 when the byte is kept whole
    bool palpack;  // palpack writes it (palpack's depths stay as they are)
    // Writes size bytes: the upper bits of each component (0 to 255; the 12- and 15-bit rows
    // take palpack's out-of-range values as it always did).
    void (*encode)(int32_t r, int32_t g, int32_t b, unsigned char* bytes);
    // The levels of the three components in size bytes; bits outside the fields are not read.
    void (*decode)(const unsigned char* bytes, unsigned rgb[3]);
};

// Every layout, by depth.
const std::vector<ColourLayout>& colour_layouts();

// The layout of a depth; null for none.
const ColourLayout* colour_layout(int32_t depth);

// Writes one colour at a depth palpack writes (12, 15, 24 or 32) into bytes (room for 4) and
// returns how many bytes it takes, or 0 for another depth. Components are used as they are, with
// no range check.
size_t pack_colour(int32_t r, int32_t g, int32_t b, int32_t depth, unsigned char* bytes);

// The bytes one colour takes at a depth of colour_layouts(); 0 for another depth.
size_t colour_size(int32_t depth);

// The components one colour at a depth of colour_layouts() holds, the reverse of its encoder: the
// levels of its bits a component (the bits outside the fields are not read), at 24 and 32 bits
// the bytes. bytes holds colour_size(depth) bytes.
void unpack_colour(const unsigned char* bytes, int32_t depth, unsigned rgb[3]);

} // namespace colours
