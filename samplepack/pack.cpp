#include "samplepack/pack.h"
#include "samplepack/messages.h"

#include <cstring>

using namespace samplepack;

const char* check_header(FILE* in, uint32_t* length) {
    unsigned char h[52];
    size_t n = fread(h, 1, sizeof h, in);
    if (n < sizeof h && ferror(in)) return input_error;
    // A short file is refused at the first tag it does not hold in full.
    static const struct {
        size_t at;
        const char* tag;
        const char* error;
    } tags[] = {{0, "RIFF", riff_error}, {12, "fmt ", fmt_error}, {44, "data", data_error}};
    for (const auto& t : tags)
        if (n < t.at + 4 || memcmp(h + t.at, t.tag, 4) != 0) return t.error;
    if (n < sizeof h) return data_error;
    *length =
        uint32_t(h[48]) | uint32_t(h[49]) << 8 | uint32_t(h[50]) << 16 | uint32_t(h[51]) << 24;
    return nullptr;
}

// The most blocks the two count bytes can tell apart.
const uint64_t largest_count = 0xFFFF;

const char* pack(FILE* in, FILE* out, uint32_t length, bool (*stop)()) {
    static unsigned char samples[4096];
    static unsigned char packed[sizeof samples / 2];
    static const char placeholder[2] = {0, 0};
    if (fwrite(placeholder, 1, 2, out) != 2) return output_error;

    uint64_t size = 0; // bytes after the block count
    uint32_t remaining = length;
    while (remaining != 0) {
        // The count follows the requested sizes, not what arrives.
        size_t want = remaining >= sizeof samples ? sizeof samples : remaining;
        remaining -= uint32_t(want);
        size_t n = fread(samples, 1, want, in);
        if (n < want && ferror(in)) return input_error;
        // Past the largest count the file can never be valid: stop before writing more.
        if (size + n / 2 > largest_count * 16) return too_many_samples;
        // An odd last sample of a read has no partner and is dropped.
        for (size_t i = 0; i < n / 2; ++i)
            packed[i] = (samples[2 * i] & 0xF0) | samples[2 * i + 1] >> 4;
        if (fwrite(packed, 1, n / 2, out) != n / 2) return output_error;
        size += n / 2;
        // Past the end of the input every read delivers nothing, so nothing more would be written.
        if (n < want || stop()) break;
    }

    for (; size % 16 != 0; ++size)
        if (fputc(0x88, out) == EOF) return output_error;
    uint64_t blocks = size / 16;
    // Both bytes carry their own +1, so an empty file reads 01 01.
    const char count[2] = {char((blocks & 0xFF) + 1), char((blocks >> 8) + 1)};
    if (fseek(out, 0, SEEK_SET) != 0 || fwrite(count, 1, 2, out) != 2) return output_error;
    return nullptr;
}
