#include "palpack/convert.h"
#include "palpack/messages.h"
#include "palpack/scan.h"

namespace palpack {

int32_t leading_number(const char* text) {
    const char* p = text;
    while (is_space(static_cast<unsigned char>(*p))) ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    uint32_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10u + uint32_t(*p - '0');
    return to_int32(negative ? 0u - v : v);
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
        size_t n = colours::pack_colour(rgb[0], rgb[1], rgb[2], depth, bytes);
        if (n == 0) return depth_error;
        if (fwrite(bytes, 1, n, out) != n) return write_error;
    }
    return nullptr;
}

} // namespace palpack
