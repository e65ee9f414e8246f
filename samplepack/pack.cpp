#include "samplepack/pack.h"
#include "samplepack/format.h"
#include "samplepack/messages.h"

#include <cstring>

namespace samplepack {

const char* check_header(FILE* in, uint32_t* length) {
    unsigned char h[wav8::header_size];
    size_t n = fread(h, 1, sizeof h, in);
    if (n < sizeof h && ferror(in)) return input_error;
    // A short file is refused at the first tag it does not hold in full.
    static const struct {
        size_t at;
        const char* tag;
        const char* error;
    } tags[] = {{wav8::riff_at, "RIFF", riff_error},
                {wav8::fmt_at, "fmt ", fmt_error},
                {wav8::data_at, "data", data_error}};
    for (const auto& t : tags)
        if (n < t.at + 4 || memcmp(h + t.at, t.tag, 4) != 0) return t.error;
    if (n < sizeof h) return data_error;
    const unsigned char* l = h + wav8::length_at;
    *length = uint32_t(l[0]) | uint32_t(l[1]) << 8 | uint32_t(l[2]) << 16 | uint32_t(l[3]) << 24;
    return nullptr;
}

const char* pack(FILE* in, FILE* out, uint32_t length, bool (*stop)()) {
    static unsigned char samples[4096];
    static unsigned char packed[sizeof samples / 2];
    static const char placeholder[packed::count_bytes] = {};
    if (fwrite(placeholder, 1, packed::count_bytes, out) != packed::count_bytes)
        return output_error;

    uint64_t size = 0; // bytes after the block count
    uint32_t remaining = length;
    while (remaining != 0) {
        // The count follows the requested sizes, not what arrives.
        size_t want = remaining >= sizeof samples ? sizeof samples : remaining;
        remaining -= uint32_t(want);
        size_t n = fread(samples, 1, want, in);
        if (n < want && ferror(in)) return input_error;
        // Past the largest count the file can never be valid: stop before writing more.
        if (size + n / 2 > uint64_t(packed::max_blocks) * packed::block_bytes)
            return too_many_samples;
        // An odd last sample of a read has no partner and is dropped.
        for (size_t i = 0; i < n / 2; ++i)
            packed[i] = (samples[2 * i] & 0xF0) | samples[2 * i + 1] >> 4;
        if (fwrite(packed, 1, n / 2, out) != n / 2) return output_error;
        size += n / 2;
        // Past the end of the input every read delivers nothing, so nothing more would be written.
        if (n < want || stop()) break;
    }

    for (; size % packed::block_bytes != 0; ++size)
        if (fputc(packed::fill, out) == EOF) return output_error;
    const std::string count = packed::count(uint32_t(size / packed::block_bytes));
    if (fseek(out, 0, SEEK_SET) != 0 || fwrite(count.data(), 1, count.size(), out) != count.size())
        return output_error;
    return nullptr;
}

} // namespace samplepack
