#pragma once
// The conversion of sampleprep: audio read by libsndfile in, the WAV file that samplepack accepts
// out. It reads an open SNDFILE (a file, a pipe) or a whole file held in memory.

#include "sound/codes.h"
#include "sound/levels.h"

#include <cmath>
#include <cstdint>
#include <sndfile.h>
#include <string>
#include <vector>

namespace sampleprep {

struct PrepOptions {
    double rate = 8000;       // output rate in Hz; the header holds it rounded
    int channel = 0;          // 0 mixes all channels; 1 is the first
    bool normalise = true;    // peak to the full range of the levels, else gain_db
    double gain_db = 0;       // fixed gain when not normalising
    double trim_db = 0;       // 0: no trimming; else cut what is this far below the peak
    sound::Table dac;         // output level of each code, and the channels that play in turn
    sound::CodeOptions codes; // how codes are chosen
    bool snr = false;         // measure the SNR for the report
};

// Below this peak an input is silent: it is written as silence, whatever the gain.
constexpr double silent_db = -90;
// Normalising raises a quiet input by at most this much, so that its hiss does not become
// full-scale noise.
constexpr double max_normalising_db = 40;
// libsoxr takes rates at most this many times apart (far beyond it, it never returns).
constexpr double max_rate_ratio = 65536;

struct PrepReport {
    sf_count_t frames = 0;  // input frames read
    double peak = 0;        // peak of the resampled signal before gain, 1 = full scale
    double gain_db = 0;     // gain applied
    uint32_t clipped = 0;   // samples beyond the full range after the gain
    uint64_t resampled = 0; // samples at the output rate before trimming
    uint32_t samples = 0;   // samples of the sound written
    uint32_t padding = 0;   // samples of silence after them, to fill the last block
    // Of the chosen codes through the output's coupling against the signal given to the
    // chooser through the same coupling; not a number when not measured or the input is silent.
    double snr_db = NAN;
    // What the output holds that may surprise: a silent input, a gain limited, samples clipped
    // or not numbers. One line each, for standard error.
    std::vector<std::string> warnings;
};

// Reads in (described by info) and returns the whole output file in *wav, its samples padded with
// silence_code() to a whole number of blocks, so that samplepack's filling of the last block is
// never played. "" when done, else the reason the input cannot be converted; a too-long input is
// refused before it is read whenever its length is known.
std::string prepare(SNDFILE* in, const SF_INFO& info, const PrepOptions& options, std::string* wav,
                    PrepReport* report);

// The code a player's silence holds: a built-in table's own; for a file's table, on evenly spaced
// levels the code a silent sample gets (the middle of the range), on any other the quietest
// level, where a sound chip's volume register turns the channel off.
uint8_t silence_code(const sound::Table& dac);

// As prepare(), for a whole input file held in bytes; *info receives its description.
std::string prepare_bytes(const std::string& bytes, const PrepOptions& options, std::string* wav,
                          PrepReport* report, SF_INFO* info);

} // namespace sampleprep
