#pragma once
// Real tools in tests: running them, and reading what the linker writes.

#include "tests/checks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A tool the test needs, by the rule of need_tool() (tests/checks.h): true when it is there;
// missing, false, and under CI=true the test has failed. Missing, the test skips (NEED_TOOL).
bool have_tool(const std::string& name);
// The same for a library the build looks for: found says whether it found it.
bool have_library(const std::string& name, bool found);

#define NEED_TOOL(name)                                                                            \
    do {                                                                                           \
        if (!have_tool(name)) GTEST_SKIP() << (name) << " is missing";                             \
    } while (0)

struct Tool {
    int status = -1;
    std::string output; // standard output and standard error together
};

// Runs a tool found on PATH in the folder cwd, with its arguments as they are (no shell).
Tool tool(const std::vector<std::string>& argv, const std::string& cwd);

// The bytes of an Intel HEX image by address (read_intel_hex() of tests/checks.h); fails the
// test on a malformed image.
std::map<uint32_t, uint8_t> intel_hex_image(const std::string& text);

// A global symbol's value from a linker map: the hexadecimal number in front of its name.
std::optional<uint32_t> symbol_value(const std::string& map, const std::string& name);
