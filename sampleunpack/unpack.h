#pragma once
// The conversion of sampleunpack: a packed sample file in, a 16-bit PCM WAV file out, as the
// player's output would sound.

#include "sound/levels.h"

#include <cstdint>
#include <string>

struct UnpackOptions {
    Levels levels{};    // output level of each code
    double rate = 8000; // samples per second; the WAV header holds it rounded
    bool dc = false;    // keep the raw levels instead of the coupled output
};

// The block count of a packed sample file of size bytes whose first bytes are start; -1 with
// *reason when the size does not match it.
long block_count(const std::string& start, uint64_t size, std::string* reason);

// Returns the WAV file for the packed file's bytes in *wav; false with *reason when the bytes
// are not a packed sample file.
bool unpack(const std::string& packed, const UnpackOptions& options, std::string* wav,
            std::string* reason);
