#pragma once
// The conversion of sampleunpack: a packed sample file in, a 16-bit PCM WAV file out, as the
// player's output would sound.

#include "sound/levels.h"

#include <cstdint>
#include <string>

namespace sampleunpack {

struct UnpackOptions {
    sound::Table dac;   // output level of each code, and the channels that play in turn
    double rate = 8000; // samples per second; the WAV header holds it rounded
    bool dc = false;    // keep the raw levels instead of the coupled output
};

// Checks that a file of size bytes whose first bytes are start is as long as its block count
// says. "" when it is, else the reason; a WAV file is named for what it is.
std::string check_size(const std::string& start, uint64_t size);

// The WAV file for the packed file's bytes, in *wav. "" when done, else the reason.
std::string unpack(const std::string& packed, const UnpackOptions& options, std::string* wav);

} // namespace sampleunpack
