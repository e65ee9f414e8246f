#pragma once
// What the GoogleTest tests and the check scripts of tests/e2e share, free of GoogleTest: the rule
// for a tool a check needs, and the one Intel HEX reader.

#include <cstdint>
#include <map>
#include <string>

// True when name is an executable file in a folder of PATH, or, when it holds a '/', that file.
bool on_path(const std::string& name);

// The one rule for a tool a check needs (a compiler, a linker, Wine...): found, the check runs;
// missing, it skips, except under CI=true, where it fails: continuous integration must have every
// tool, and a check left unrun there must not pass. NEED_TOOL (tests/tools.h) and `testtool need`
// (the scripts) both answer by it.
// A library the build looks for follows the same rule, by whether it was found (need(found)).
enum class Need { found, skip, fail };
Need need(bool found);
Need need_tool(const std::string& name);

// The bytes of an Intel HEX image by address, its data records laid down from the extended
// addresses given. Returns "" or what is wrong: a malformed line, a bad checksum, a byte given
// twice, no end record.
std::string read_intel_hex(const std::string& text, std::map<uint32_t, uint8_t>& image);
