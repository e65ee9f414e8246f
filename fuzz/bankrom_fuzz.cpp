// Fuzz target for bankrom's readers of the Intel HEX image, the linker's map and the bank
// modules. The input is their texts, each ended by a NUL byte: the HEX image, the map, then any
// modules (at most 16). An image made is whole banks, the first 32 KB and at most bank 255's end,
// with every byte of a HEX image's one record below 0x8000 in its place; a refusal names one of
// the inputs and says why.
#include "bankrom/rom.h"
#include "fuzz/memory.h"

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<bankrom::Text> parts;
    for (size_t at = 0; at <= text.size() && parts.size() < 18;) {
        size_t end = std::min(text.find('\0', at), text.size());
        parts.push_back({"input" + std::to_string(parts.size()), text.substr(at, end - at)});
        at = end + 1;
    }
    while (parts.size() < 2) parts.push_back({"input" + std::to_string(parts.size()), ""});
    std::vector<bankrom::Text> modules(parts.begin() + 2, parts.end());

    std::string rom, file;
    std::string why = bankrom::make_rom(parts[0], parts[1], modules, &rom, &file);
    if (!why.empty()) {
        bool named = false;
        for (const bankrom::Text& p : parts) named = named || p.path == file;
        REQUIRE(named);
        return 0;
    }
    REQUIRE(file.empty());
    REQUIRE(rom.size() % 0x4000 == 0 && rom.size() >= 0x8000 && rom.size() <= 256 * 0x4000);
    // A HEX image of one record, then the end record: its bytes stand where it says.
    const std::string& hex = parts[0].text;
    size_t eol = hex.find('\n');
    if (eol != std::string::npos && eol >= 11 && hex[0] == ':' &&
        (hex.compare(eol + 1, std::string::npos, ":00000001FF") == 0 ||
         hex.compare(eol + 1, std::string::npos, ":00000001FF\n") == 0)) {
        auto byte = [&](size_t i) {
            return unsigned(std::stoul(hex.substr(1 + 2 * i, 2), nullptr, 16));
        };
        unsigned count = byte(0), address = byte(1) << 8 | byte(2);
        if (byte(3) == 0)
            for (unsigned i = 0; i < count; ++i)
                if (address + i < 0x8000) REQUIRE(uint8_t(rom[address + i]) == byte(4 + i));
    }
    return 0;
}
