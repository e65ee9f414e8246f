// The options that choose a picture format, shared by tilepack and tileview so that both take the
// same words with the same defaults.
#pragma once

#include "common/cli.h"
#include "tiles/layouts.h"

#include <string>
#include <vector>

namespace tiles {

// -m, --bits, --layout, --map and --colours, each filling its field of given.
std::vector<cli::Option> format_options(Given& given);

// A whole number from min to max into *value: "" or the reason.
std::string read_count(const char* text, long long min, long long max, int* value);

} // namespace tiles
