#include "palpack/convert.h"
#include "palpack/messages.h"
#include "palpack/scan.h"

using namespace palpack;

int32_t leading_number(const char* text) {
    const char* p = text;
    while (is_space(static_cast<unsigned char>(*p))) ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    uint32_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10u + uint32_t(*p - '0');
    return to_int32(negative ? 0u - v : v);
}

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

const char* convert(FILE* in, FILE* out, int32_t depth) {
    TextInput text(in);
    // A header line that differs is taken only up to its first differing character; the rest is
    // left to the patterns that follow.
    static const char* const header[] = {"JASC-PAL\n", "0100\n", "256\n"};
    for (const char* pattern : header) scan(text, pattern, nullptr);

    // The colour count is never read: a palette has 256 colours.
    for (int i = 0; i < 256; ++i) {
        int32_t rgb[3];
        if (scan(text, "%d %d %d\n", rgb) < 3) return format_error;
        unsigned char bytes[4];
        size_t n = pack_colour(rgb[0], rgb[1], rgb[2], depth, bytes);
        if (n == 0) return depth_error;
        if (fwrite(bytes, 1, n, out) != n) return write_error;
    }
    return nullptr;
}
