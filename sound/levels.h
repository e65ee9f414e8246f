#pragma once
// The 16 output levels a player's 4-bit codes drive: a DAC, or a sound chip's volume register.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sound {

// The output level of codes 0 to 15, in any units: only their proportions matter.
using Levels = std::array<double, 16>;

// A DAC the programs know by name. Adding one is adding a row to dacs().
struct Dac {
    const char* name;
    const char* description; // for --help: how its levels run, in at most 50 columns
    uint8_t silence;         // the code that plays silence
    Levels (*levels)();      // one channel's levels
    int channels;            // channels written in turn, one sample each, whose outputs add
};

// The built-in tables, the first the default: "linear" (level = code), "psg" (code 0 loudest,
// 2 dB quieter per step, 15 silent) and "ay" (15 loudest, 3 dB quieter per step down, 0 silent),
// and "psg3" and "ay3", the same levels on three channels written in turn.
const std::vector<Dac>& dacs();

// The row of that name, or null.
const Dac* find_dac(std::string_view name);

// The names of the built-in tables, "linear, psg, ay", for help texts and messages.
std::string dac_names();

// The help of --dac: one line, then one for each built-in table with its description.
std::string dac_help();

// The levels of a built-in table by its name. False for another name.
bool named_levels(std::string_view name, Levels* out);

// Reads a table from text: 16 finite numbers separated by blanks, commas or line ends; "#"
// starts a comment that runs to the end of its line. The levels must differ, and their range
// (the highest less the lowest) must be a finite number. "" when read, else the reason.
std::string parse_levels(const std::string& text, Levels* out);

// What a --dac argument names: a built-in row, or a file's table of one channel.
struct Table {
    Levels levels{};          // one channel's
    int channels = 1;         // channels written in turn
    const Dac* row = nullptr; // the built-in row, null for a file
};

// The table a --dac argument names: a built-in table by its name, else a file of 16 numbers.
// "" when found, else the reason.
std::string dac_table(const char* dac, Table* out);

} // namespace sound
