// Fuzz target for palpack. The bytes up to the first NUL byte are the depth argument, the rest is
// the palette; bytes without a NUL are a palette converted at the default depth. The output must
// hold whole entries, at most 256 of them, and 256 exactly when the run succeeds. The palette is
// also read with the C library's formatted scan, after the text-mode translation, and must give
// the same bytes and message (unless a number is too long for the library to wrap it).
#include "common/files.h"
#include "fuzz/support.h"
#include "palpack/convert.h"
#include "palpack/messages.h"

#include <cerrno>
#include <cstring>

using namespace colours;
using namespace palpack;

using namespace common;

namespace {

size_t entry_size(int32_t depth) {
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

// The leading number as the C library reads it, where no wrap is involved.
void check_depth(const std::string& text, int32_t depth) {
    errno = 0;
    long long v = strtoll(text.c_str(), nullptr, 10);
    if (errno == 0 && v >= -0xFFFFFFFFll && v <= 0xFFFFFFFFll)
        REQUIRE(depth == int32_t(uint32_t(uint64_t(v))));
}

// The characters of a palette as a text-mode read shows them: cut at the first Ctrl-Z, each CR LF
// made one line feed. False when a number has more digits than the C library reads exactly
// (beyond 18 digits it saturates instead of wrapping).
bool text_mode(const uint8_t* data, size_t size, std::string* text) {
    size_t digits = 0;
    for (size_t i = 0; i < size && data[i] != 0x1A; ++i) {
        digits = data[i] >= '0' && data[i] <= '9' ? digits + 1 : 0;
        if (digits > 18) return false;
        if (!(data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')) *text += char(data[i]);
    }
    return true;
}

// The palette read with the C library's formatted scan, packed by the program's own packing.
const char* library_convert(FILE* in, std::string* out, int32_t depth) {
    (void)fscanf(in, "JASC-PAL\n");
    (void)fscanf(in, "0100\n");
    (void)fscanf(in, "256\n");
    for (int i = 0; i < 256; ++i) {
        int r, g, b;
        if (fscanf(in, "%d %d %d\n", &r, &g, &b) < 3) return palpack::format_error;
        unsigned char bytes[4];
        size_t n = pack_colour(r, g, b, depth, bytes);
        if (n == 0) return palpack::depth_error;
        out->append(reinterpret_cast<char*>(bytes), n);
    }
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t depth = 24;
    const void* nul = memchr(data, 0, size);
    if (nul) {
        size_t length = size_t(static_cast<const uint8_t*>(nul) - data);
        std::string text(reinterpret_cast<const char*>(data), length);
        depth = leading_number(text.c_str());
        check_depth(text, depth);
        data += length + 1;
        size -= length + 1;
    }

    FILE* in = open_memory(data, size);
    Written output;
    FILE* sink = open_sink(&output);
    const char* error = convert(in, sink, depth);
    fclose(in);
    REQUIRE(close_output(sink));
    const std::string& out = output.bytes;

    size_t entry = entry_size(depth);
    if (entry == 0) {
        REQUIRE(out.empty());
        REQUIRE(error && (strcmp(error, palpack::depth_error) == 0 ||
                          strcmp(error, palpack::format_error) == 0));
    } else {
        REQUIRE(out.size() % entry == 0 && out.size() <= 256 * entry);
        if (error)
            REQUIRE(strcmp(error, palpack::format_error) == 0 && out.size() < 256 * entry);
        else
            REQUIRE(out.size() == 256 * entry);
    }

    std::string text;
    if (text_mode(data, size, &text)) {
        std::string expected;
        FILE* again = open_memory(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        const char* expected_error = library_convert(again, &expected, depth);
        fclose(again);
        REQUIRE(out == expected);
        REQUIRE(error == expected_error ||
                (error && expected_error && !strcmp(error, expected_error)));
    }
    return 0;
}
