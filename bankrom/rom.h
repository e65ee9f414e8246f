#pragma once
// A ROM image from a link whose banks the Intel HEX output lays on top of each other: the
// program's bytes below 0x8000 from the HEX image, and each bank module's bytes at the place the
// linker's map gives its symbol, bank n at n x 16384.

#include <string>
#include <vector>

namespace bankrom {

struct Module {
    std::string path;
    std::string text;
};

// The image, or false with the file concerned and the reason.
bool make_rom(const std::string& hex, const std::string& map, const std::vector<Module>& modules,
              std::string* rom, std::string* file, std::string* reason);

} // namespace bankrom
