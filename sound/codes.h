#pragma once
// Choosing the 4-bit code for each sample so that the played levels follow the signal.

#include "sound/levels.h"

#include <cstdint>
#include <vector>

namespace sound {

struct CodeOptions {
    bool offset = false; // a slowly varying offset that keeps the waveform where levels are dense
    bool dither = false; // triangular (TPDF) dither of one local level step
    uint32_t seed = 1;   // the dither's random sequence
    double rate = 8000;  // samples per second, for the offset's time constants
};

// True for tables whose levels are not evenly spaced: there the offset pays.
bool offset_by_default(const Levels& levels);

// Chooses a code 0..15 for each sample. Samples are floats where -1..1 is the full range of the
// levels (the lowest level to the highest); values beyond are clipped. Each sample gets the
// nearest level, after:
// - the offset, if asked for: it follows the sound's loudness over tens of milliseconds and
//   holds nothing from 20 Hz up worth hearing. It is left out when every sample already lies
//   within 1/4096 of a level (nothing to gain), so such a signal comes out as exactly its codes
//   with any options but dither, whatever part of the range it uses.
//   With the offset, a sound that fits the dense levels much better upside down is played so
//   (no one hears a sound's polarity), and one 0.5 dB louder (clipped at the top) where its
//   codes play it closer as heard (snr_db).
// - where silence falls halfway between two levels (evenly spaced tables), a shift of 0.3 of the
//   table's smallest step towards the upper one (code 8 on the linear table), so that silence
//   and sounds within that distance of it hold one code; a value on a level keeps its code.
// Where two codes share a level, the lower code is chosen.
std::vector<uint8_t> choose_codes(const std::vector<float>& samples, const Levels& levels,
                                  const CodeOptions& options);

// The sample value, on the same -1..1 scale, that a code stands for when played.
double code_value(const Levels& levels, uint8_t code);

// The mean of x over [i - half, i + half] within the signal, for every i: the smoothing the
// offsets follow.
std::vector<double> box(const std::vector<double>& x, size_t half);

// The output's coupling capacitor, as a speaker hears the levels: a first-order high-pass at
// 20 Hz (at the given sample rate), starting from rest at the first value.
std::vector<double> coupled(const std::vector<double>& x, double rate);

// The signal-to-noise ratio in decibels of the played codes as a listener hears them: the codes'
// levels through the output's coupling against the signal through the same coupling, the output
// taken at the gain that brings it nearest (its loudness and polarity are no error). Infinite
// where they play it exactly, not a number where the signal has nothing the coupling passes.
double snr_db(const std::vector<float>& signal, const std::vector<uint8_t>& codes,
              const Levels& levels, double rate = 8000);

// As above, for the values played (on the -1..1 scale) instead of codes of one channel.
double snr_db(const std::vector<float>& signal, std::vector<double> played, double rate);

} // namespace sound
