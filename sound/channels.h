#pragma once
// A sound chip's channels written in turn, one sample each, whose outputs add: sample k sets
// channel k mod n's level, which it holds until that channel's next write.

#include "sound/codes.h"
#include "sound/levels.h"

#include <cstdint>
#include <vector>

namespace sound {

// What the chip outputs for the codes, on the -1..1 scale of the sum's range (every channel at
// its lowest level to every channel at its highest). Before the first write every channel holds
// silence.
std::vector<double> played_in_turn(const std::vector<uint8_t>& codes, const Levels& levels,
                                   int channels, uint8_t silence);

// The codes of least squared error between what three channels written in turn output and the
// target, every channel silent before the first; both on the scale of the sum, where each
// channel adds 0 at its lowest level and 1 at its highest. Exact.
std::vector<uint8_t> search_in_turn(const std::vector<float>& target, const Levels& levels,
                                    uint8_t silence);

// Chooses a code for each sample of three channels written in turn, every channel silent before
// the first: an exact search over the two other channels' levels (256 joint states, 16 choices a
// sample) for the least squared error against the samples at a gain, a polarity and an offset
// (fixed, or with options.offset one that follows the sound's depth slowly), chosen among a few
// on parts of the sound for the least error against its loudness. Samples as for
// choose_codes(); options.dither is not taken.
std::vector<uint8_t> choose_codes_in_turn(const std::vector<float>& samples, const Levels& levels,
                                          uint8_t silence, const CodeOptions& options);

} // namespace sound
