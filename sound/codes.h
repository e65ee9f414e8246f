#pragma once
// Choosing the 4-bit code for each sample so that the played levels follow the signal.

#include "levels.h"

#include <cstdint>
#include <vector>

struct CodeOptions {
    bool offset = false; // a slowly varying offset that keeps the waveform where levels are dense
    bool dither = false; // triangular (TPDF) dither of one local level step
    uint32_t seed = 1;   // the dither's random sequence
    double rate = 8000;  // samples per second, for the offset's time constants
};

// True for tables whose levels are not evenly spaced: there the offset pays.
bool offset_by_default(const Levels& levels);

// Chooses a code 0..15 for each sample. Samples are floats where -1..1 is the full range of the
// levels (the lowest level to the highest); values beyond are clipped.
std::vector<uint8_t> choose_codes(const std::vector<float>& samples, const Levels& levels,
                                  const CodeOptions& options);

// The sample value, on the same -1..1 scale, that a code stands for when played.
double code_value(const Levels& levels, uint8_t code);

// The signal-to-noise ratio in decibels of the played codes against the signal, after the
// slowly varying part that the output's coupling removes (at the given sample rate).
double snr_db(const std::vector<float>& signal, const std::vector<uint8_t>& codes,
              const Levels& levels, double rate = 8000);
