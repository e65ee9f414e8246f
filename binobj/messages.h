#pragma once
// binobj's messages, printed as they stand, and the status of every failure.

namespace binobj {
constexpr const char* usage = "%s <input.bin> [banknr] [0x<address>] [identifier]\n";
constexpr int failure = -1;
constexpr const char* open_error = "Error opening input file!\n";
constexpr const char* create_error = "Error creating output file!\n";
constexpr const char* read_error = "Error reading input file!\n";
constexpr const char* write_error = "Error writing output file!\n";
constexpr const char* too_large = "Input file too large!\n";
constexpr const char* invalid_bank = "Invalid bank!\n";
} // namespace binobj
