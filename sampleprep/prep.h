#pragma once
// The conversion of sampleprep: audio read by libsndfile in, the WAV file that samplepack accepts
// out. It works on an open SNDFILE, so tests can feed it from memory.

#include "codes.h"
#include "levels.h"

#include <cstdint>
#include <sndfile.h>
#include <string>
#include <vector>

// The most samples a packed sample file holds: 65535 blocks of 32.
constexpr uint32_t max_samples = 65535 * 32;

struct PrepOptions {
    double rate = 8000;    // output rate in Hz; the header holds it rounded
    int channel = 0;       // 0 mixes all channels; 1 is the first
    bool normalise = true; // peak to the full range of the levels, else gain_db
    double gain_db = 0;    // fixed gain when not normalising
    double trim_db = 0;    // 0: no trimming; else cut what is this far below the peak
    Levels levels{};       // output level of each code
    CodeOptions codes;     // how codes are chosen
    bool snr = false;      // measure the SNR for the report
};

struct PrepReport {
    sf_count_t frames = 0;  // input frames read
    double peak = 0;        // peak of the resampled signal before gain, 1 = full scale
    double gain_db = 0;     // gain applied
    uint32_t clipped = 0;   // samples beyond the full range after the gain
    uint64_t resampled = 0; // samples at the output rate before trimming
    uint32_t samples = 0;   // samples of the sound written
    uint32_t padding = 0;   // samples of silence after them, to fill the last block
    double snr_db = 0;      // of the chosen codes against the signal given to the chooser
};

// The 52-byte header samplepack expects, for samples 8-bit mono samples at rate Hz.
std::string wav_header(uint32_t rate, uint32_t samples);

// The code a player's silence holds: on a table of evenly spaced levels the code a silent sample
// gets (8 on "linear", the middle of the range), on any other the quietest level, where a sound
// chip's volume register turns the channel off (15 on "psg", 0 on "ay").
uint8_t silence_code(const Levels& levels);

// Reads in (described by info) and returns the whole output file in *wav, its samples padded with
// silence_code() to a whole number of blocks of 32, so that samplepack's filling of the last block
// is never played. False with *reason
// when the input cannot be converted; a too-long input is refused before it is read whenever
// its length is known.
bool prepare(SNDFILE* in, const SF_INFO& info, const PrepOptions& options, std::string* wav,
             PrepReport* report, std::string* reason);
