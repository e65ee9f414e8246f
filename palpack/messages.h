#pragma once
// palpack's messages, printed as they stand, and the status of every failure.

namespace palpack {
constexpr const char* usage = "Syntax: %s <input.pal> <output.bin> [12|15|<24>|32]\n";
constexpr int failure = -1;
constexpr const char* open_error = "Error opening input file!\n";
constexpr const char* create_error = "Error creating output file!\n";
constexpr const char* write_error = "Error writing output file!\n";
constexpr const char* format_error = "Formatting error!\n";
constexpr const char* depth_error = "Invalid bit depth!\n";
} // namespace palpack
