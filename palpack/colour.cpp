#include "palpack/colour.h"

size_t pack_colour(int32_t r, int32_t g, int32_t b, int32_t depth, unsigned char* bytes) {
    // Shifts right keep the sign, and the fields are not masked: a component out of 0 to 255
    // spills into its neighbours' bits. Shifts left are done on the unsigned pattern.
    uint32_t word;
    switch (depth) {
    case 12:
        word = uint32_t(b >> 4) << 8 | uint32_t(g >> 4) << 4 | uint32_t(r >> 4);
        break;
    case 15:
        word = uint32_t(b >> 3) << 10 | uint32_t(g >> 3) << 5 | uint32_t(r >> 3);
        break;
    case 24:
    case 32:
        bytes[0] = static_cast<unsigned char>(uint32_t(r) & 0xFF);
        bytes[1] = static_cast<unsigned char>(uint32_t(g) & 0xFF);
        bytes[2] = static_cast<unsigned char>(uint32_t(b) & 0xFF);
        if (depth == 24) return 3;
        bytes[3] = 0;
        return 4;
    default:
        return 0;
    }
    bytes[0] = static_cast<unsigned char>(word & 0xFF);
    bytes[1] = static_cast<unsigned char>(word >> 8 & 0xFF);
    return 2;
}

size_t colour_size(int32_t depth) {
    switch (depth) {
    case 12:
    case 15:
        return 2;
    case 24:
        return 3;
    case 32:
        return 4;
    default:
        return 0;
    }
}

void unpack_colour(const unsigned char* bytes, int32_t depth, unsigned rgb[3]) {
    if (depth == 24 || depth == 32) {
        for (int i = 0; i < 3; ++i) rgb[i] = bytes[i];
        return;
    }
    unsigned bits = depth == 12 ? 4 : 5, mask = (1u << bits) - 1;
    unsigned word = bytes[0] | unsigned(bytes[1]) << 8;
    for (unsigned i = 0; i < 3; ++i) rgb[i] = word >> (i * bits) & mask;
}
