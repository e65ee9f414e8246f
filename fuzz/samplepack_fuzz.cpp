// Fuzz target for samplepack: the bytes are a whole WAV file, checked and packed as the program
// does, and the packed file is checked against the samples it was made from. The RIFF length
// (bytes 4 to 7), which the program ignores, stands for the room left on the disk: an output that
// would grow past it fails, and the run must then report "Output error!".
#include "common/files.h"
#include "fuzz/support.h"
#include "samplepack/format.h"
#include "samplepack/messages.h"
#include "samplepack/pack.h"

#include <algorithm>
#include <cstring>

using namespace samplepack;

using namespace common;

namespace {

bool never() {
    return false;
}

// The message for a header: the first tag that the bytes do not hold in full, or that differs.
const char* header_error(const uint8_t* data, size_t size) {
    static const struct {
        size_t at;
        const char* tag;
        const char* error;
    } tags[] = {{0, "RIFF", samplepack::riff_error},
                {12, "fmt ", samplepack::fmt_error},
                {44, "data", samplepack::data_error}};
    for (const auto& t : tags)
        if (size < t.at + 4 || memcmp(data + t.at, t.tag, 4) != 0) return t.error;
    return size < 52 ? samplepack::data_error : nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* in = open_memory(data, size);
    uint32_t length = 0;
    const char* error = check_header(in, &length);
    const char* expected = header_error(data, size);
    REQUIRE(error == expected || (error && expected && strcmp(error, expected) == 0));
    if (error) {
        fclose(in);
        return 0;
    }
    REQUIRE(length == (data[48] | data[49] << 8 | data[50] << 16 | uint32_t(data[51]) << 24));

    Written output;
    output.limit = data[4] | data[5] << 8 | data[6] << 16 | uint32_t(data[7]) << 24;
    FILE* sink = open_sink(&output);
    error = pack(in, sink, length, never);
    fclose(in);
    bool closed = close_output(sink);
    if (output.failed) {
        REQUIRE(error ? strcmp(error, samplepack::output_error) == 0 : !closed);
        return 0;
    }
    REQUIRE(closed);
    const std::string& out = output.bytes;

    // Each read of up to 4096 samples is packed on its own: its odd last sample is dropped.
    const uint8_t* samples = data + 52;
    size_t present = std::min(size_t(length), size - 52);
    std::string nibbles;
    for (size_t read = 0; read < present; read += 4096) {
        size_t n = std::min(size_t(4096), present - read);
        for (size_t i = 0; i + 1 < n; i += 2)
            nibbles += char((samples[read + i] & 0xF0) | samples[read + i + 1] >> 4);
    }
    size_t blocks = (nibbles.size() + packed::block_bytes - 1) / packed::block_bytes;
    if (blocks > packed::max_blocks) {
        REQUIRE(error && strcmp(error, samplepack::too_many_samples) == 0);
        return 0;
    }
    REQUIRE(error == nullptr);
    REQUIRE(out.size() == packed::size(blocks));
    REQUIRE(out.compare(0, packed::count_bytes, packed::count(uint32_t(blocks))) == 0);
    REQUIRE(out.compare(packed::count_bytes, nibbles.size(), nibbles) == 0);
    REQUIRE(out.find_first_not_of(char(packed::fill), packed::count_bytes + nibbles.size()) ==
            std::string::npos);
    return 0;
}
