#pragma once
// One colour of a binary palette at 12, 15, 24 or 32 bits: written by palpack, read back by
// palview. At 12 and 15 bits a colour is a little-endian word with red in the low bits; at 24 the
// bytes R, G, B; at 32 the same and a zero byte.

#include <cstddef>
#include <cstdint>

// Writes one colour at a depth into bytes (room for 4) and returns how many bytes it takes, or 0
// when the depth is not 12, 15, 24 or 32. Components are used as they are, with no range check.
size_t pack_colour(int32_t r, int32_t g, int32_t b, int32_t depth, unsigned char* bytes);

// The bytes one colour takes at a depth, as pack_colour() writes them; 0 for another depth.
size_t colour_size(int32_t depth);

// The components one colour at a depth holds, the reverse of pack_colour(): at 12 and 15 bits the
// levels of 4 or 5 bits each (the bits above the three fields are not read), at 24 and 32 bits
// the bytes. bytes holds colour_size(depth) bytes.
void unpack_colour(const unsigned char* bytes, int32_t depth, unsigned rgb[3]);
