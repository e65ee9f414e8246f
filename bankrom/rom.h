#pragma once
// A ROM image from a link whose banks the Intel HEX output lays on top of each other: the
// program's bytes below 0x8000 from the HEX image, and each bank module's bytes at the place the
// linker's map gives its symbol, bank n at n x 16384.

#include <string>
#include <vector>

namespace bankrom {

// An input as read: its path, for messages, and its text.
struct Text {
    std::string path;
    std::string text;
};

// The image from the HEX image, the linker's map and the bank modules. "" when made, else the
// reason, with the path of the input it concerns in *file.
std::string make_rom(const Text& hex, const Text& map, const std::vector<Text>& modules,
                     std::string* rom, std::string* file);

} // namespace bankrom
