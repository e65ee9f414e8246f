#pragma once
// Wrapping of a binary file into a text object module: one area holding the bytes and one global
// symbol at its start.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace binobj {

// The address that stands for "no fixed address": the data goes into a bank or the code area.
constexpr uint16_t no_address = 0xFFFF;

// The largest input a module can describe: the linker keeps area sizes and addresses to 16 bits.
constexpr long largest_input = 0xFFFF;

struct Settings {
    std::string identifier;        // "_" and the data's name: the module and the symbol
    uint16_t address = no_address; // where the bytes go, in the absolute area
    std::string bank;              // the first bank argument as typed; empty when none was given
};

// The value of an address argument ("0x" or "0X" and hexadecimal digits): the digits after the
// prefix, saturating at 0xFFFFFFFF, cut to 16 bits.
uint16_t read_address(const char* arg);

// True when a bank argument (one that begins with a digit) names a bank: its leading digits,
// accumulated modulo 2^32 and taken as a signed 32-bit number, must be above 0.
bool bank_counts(const char* arg);

// The identifier for data read from path: "_" and the file name, cut at its last ".".
std::string derive_identifier(std::string_view path);

// The settings for a command line: argv[1] is the input path, every later argument an address,
// bank or identifier. The identifier comes from the input path when no argument gives one.
Settings read_settings(int argc, const char* const* argv);

// The bank the area line names, or null when the data goes into the absolute or the code area.
const std::string* area_bank(const Settings& settings);

// Finds the size of the input by seeking to its end, and seeks back to its start. Returns null,
// or the message that refuses the input.
const char* measure(FILE* in, long* size);

// Refuses what a module cannot carry: an input that is too large, or that would pass the top of
// memory (0xFFFF) from its address, and a bank text that the linker would cut short. Returns null
// or the message.
const char* check(const Settings& settings, long size);

// Writes the module for size bytes read from in. Returns null, or the message of the failure.
const char* write_module(FILE* in, FILE* out, const Settings& settings, long size);

} // namespace binobj
