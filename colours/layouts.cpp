#include "colours/layouts.h"

namespace colours {

namespace {

unsigned char low_byte(uint32_t v) {
    return static_cast<unsigned char>(v & 0xFF);
}

void encode6(int32_t r, int32_t g, int32_t b, unsigned char* bytes) {
    bytes[0] = low_byte((uint32_t(b) >> 6 & 3) << 4 | (uint32_t(g) >> 6 & 3) << 2 |
                        (uint32_t(r) >> 6 & 3));
}

void decode6(const unsigned char* bytes, unsigned rgb[3]) {
    rgb[0] = bytes[0] & 3u;
    rgb[1] = bytes[0] >> 2 & 3u;
    rgb[2] = bytes[0] >> 4 & 3u;
}

void encode9(int32_t r, int32_t g, int32_t b, unsigned char* bytes) {
    bytes[0] = low_byte((uint32_t(r) >> 5 & 7) << 4 | (uint32_t(b) >> 5 & 7));
    bytes[1] = low_byte(uint32_t(g) >> 5 & 7);
}

void decode9(const unsigned char* bytes, unsigned rgb[3]) {
    rgb[0] = bytes[0] >> 4 & 7u;
    rgb[1] = bytes[1] & 7u;
    rgb[2] = bytes[0] & 7u;
}

// Shifts right keep the sign, and the fields are not masked: a component out of 0 to 255 spills
// into its neighbours' bits, as palpack has always packed it. Shifts left are done on the
// unsigned pattern.
void put_word(uint32_t word, unsigned char* bytes) {
    bytes[0] = low_byte(word);
    bytes[1] = low_byte(word >> 8);
}

void encode12(int32_t r, int32_t g, int32_t b, unsigned char* bytes) {
    put_word(uint32_t(b >> 4) << 8 | uint32_t(g >> 4) << 4 | uint32_t(r >> 4), bytes);
}

void encode15(int32_t r, int32_t g, int32_t b, unsigned char* bytes) {
    put_word(uint32_t(b >> 3) << 10 | uint32_t(g >> 3) << 5 | uint32_t(r >> 3), bytes);
}

template <unsigned bits> void decode_word(const unsigned char* bytes, unsigned rgb[3]) {
    unsigned word = bytes[0] | unsigned(bytes[1]) << 8, mask = (1u << bits) - 1;
    for (unsigned i = 0; i < 3; ++i) rgb[i] = word >> (i * bits) & mask;
}

void encode24(int32_t r, int32_t g, int32_t b, unsigned char* bytes) {
    bytes[0] = low_byte(uint32_t(r));
    bytes[1] = low_byte(uint32_t(g));
    bytes[2] = low_byte(uint32_t(b));
}

void encode32(int32_t r, int32_t g, int32_t b, unsigned char* bytes) {
    encode24(r, g, b, bytes);
    bytes[3] = 0;
}

void decode_bytes(const unsigned char* bytes, unsigned rgb[3]) {
    for (int i = 0; i < 3; ++i) rgb[i] = bytes[i];
}

} // namespace

const std::vector<ColourLayout>& colour_layouts() {
    static const std::vector<ColourLayout> layouts = {
        {6, 1, 2, false, encode6, decode6},         {9, 2, 3, false, encode9, decode9},
        {12, 2, 4, true, encode12, decode_word<4>}, {15, 2, 5, true, encode15, decode_word<5>},
        {24, 3, 8, true, encode24, decode_bytes},   {32, 4, 8, true, encode32, decode_bytes},
    };
    return layouts;
}

const ColourLayout* colour_layout(int32_t depth) {
    for (const ColourLayout& l : colour_layouts())
        if (l.depth == depth) return &l;
    return nullptr;
}

size_t pack_colour(int32_t r, int32_t g, int32_t b, int32_t depth, unsigned char* bytes) {
    const ColourLayout* layout = colour_layout(depth);
    if (!layout || !layout->palpack) return 0;
    layout->encode(r, g, b, bytes);
    return layout->size;
}

size_t colour_size(int32_t depth) {
    const ColourLayout* layout = colour_layout(depth);
    return layout ? layout->size : 0;
}

void unpack_colour(const unsigned char* bytes, int32_t depth, unsigned rgb[3]) {
    colour_layout(depth)->decode(bytes, rgb);
}

} // namespace colours
