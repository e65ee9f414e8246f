#pragma once
// The 16 output levels a player's 4-bit codes drive: a DAC, or a sound chip's volume register.

#include <array>
#include <string>
#include <string_view>

// The output level of codes 0 to 15, in any units: only their proportions matter.
using Levels = std::array<double, 16>;

// The built-in tables: "linear" (level = code), "psg" (code 0 loudest, 2 dB quieter per step,
// 15 silent) and "ay" (15 loudest, 3 dB quieter per step down, 0 silent). False for another name.
bool named_levels(std::string_view name, Levels* out);

// Reads a table from text: 16 numbers separated by blanks, commas or line ends; "#" starts a
// comment that runs to the end of its line. On failure, false with the reason in *reason.
bool parse_levels(const std::string& text, Levels* out, std::string* reason);

// The levels a --dac argument names: a built-in table by its name, else a file of 16 numbers.
// On failure, false with the reason in *reason.
bool dac_levels(const char* dac, Levels* out, std::string* reason);
