#pragma once
// Real tools in tests: running them, and reading what the linker writes.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// True when name is an executable file in a folder of PATH.
bool on_path(const std::string& name);

struct Tool {
    int status = -1;
    std::string output; // standard output and standard error together
};

// Runs a tool found on PATH in the folder cwd, with its arguments as they are (no shell).
Tool tool(const std::vector<std::string>& argv, const std::string& cwd);

// The bytes of an Intel HEX image by address; fails the test on a malformed line or a byte
// given twice.
std::map<uint32_t, uint8_t> read_hex(const std::string& text);

// A global symbol's value from a linker map: the hexadecimal number in front of its name.
std::optional<uint32_t> symbol_value(const std::string& map, const std::string& name);
