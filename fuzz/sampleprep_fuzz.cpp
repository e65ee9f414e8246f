// Fuzz target for sampleprep's whole conversion, from a file held in memory through libsndfile's
// virtual I/O (WAV, AIFF, FLAC, Ogg, MP3...). The first two bytes pick the options, the rest is
// the input file. Byte 0: bits 0-1 the levels (linear, psg, ay, linear), bit 2 trimming at 40 dB,
// bit 3 the offset, bit 4 dither, bits 5-7 the output rate from a list. Byte 1: bits 0-1 the
// channel (0 mixes), bit 2 a fixed gain of bits 3-7 in dB instead of normalising. A conversion
// either fails with a reason and writes nothing, or gives the 8-bit WAV file samplepack reads:
// its header for the rate and the sample count, a whole number of blocks, every byte a code in
// the high nibble and 8 below, the padding a player's silence.
#include "fuzz/support.h"
#include "samplepack/format.h"
#include "sampleprep/prep.h"
#include "sound/memory.h"

#include <cmath>

namespace {

// Output rates the program accepts, its extremes among them.
const double rates[] = {8000, 1, 1e6, 11025, 7999.5, 22050.25, 44100, 3.5};

// A run's budget of samples handled at either rate: a larger input takes the same code paths,
// only longer, and a run must stay well inside libFuzzer's time-out.
constexpr double max_work = 1 << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t a = data[0], b = data[1];
    std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

    sampleprep::PrepOptions o;
    // By name, so that a new row of the table leaves the seeds as they were.
    static const char* const dacs[] = {"linear", "psg", "ay", "linear"};
    REQUIRE(sound::dac_table(dacs[a & 3], &o.dac).empty());
    o.trim_db = a & 4 ? 40 : 0;
    o.codes.offset = a & 8;
    o.codes.dither = a & 16;
    o.rate = rates[a >> 5];
    o.codes.rate = o.rate;
    o.channel = b & 3;
    if (b & 4) {
        o.normalise = false;
        o.gain_db = (b >> 3) - 12;
    }
    o.snr = true;

    // The input's length as the program sees it: skip what would take long at these rates.
    {
        SF_INFO info{};
        sound::MemoryFile memory(bytes);
        SNDFILE* in = memory.open(&info);
        if (!in) {
            std::string wav;
            sampleprep::PrepReport report;
            REQUIRE(!sampleprep::prepare_bytes(bytes, o, &wav, &report, &info).empty() &&
                    wav.empty());
            return 0;
        }
        sf_close(in);
        if (info.samplerate > 0 && info.frames > 0 && info.frames < SF_COUNT_MAX &&
            (double(info.frames) > max_work ||
             double(info.frames) * o.rate / info.samplerate > max_work))
            return 0;
    }

    std::string wav;
    sampleprep::PrepReport report;
    SF_INFO info{};
    std::string why = sampleprep::prepare_bytes(bytes, o, &wav, &report, &info);
    if (!why.empty()) {
        REQUIRE(wav.empty());
        REQUIRE(why.find('\n') == std::string::npos);
        return 0;
    }
    const uint32_t n = report.samples + report.padding;
    REQUIRE(report.samples > 0 && report.samples <= packed::max_samples);
    REQUIRE(n % packed::block_samples == 0 && report.padding < packed::block_samples);
    REQUIRE(o.trim_db != 0 ? report.samples <= report.resampled
                           : report.samples == report.resampled);
    REQUIRE(wav.size() == wav8::header_size + n);
    REQUIRE(wav.compare(0, wav8::header_size, wav8::header(uint32_t(std::lround(o.rate)), n)) == 0);
    for (size_t i = wav8::header_size; i < wav.size(); ++i) REQUIRE((wav[i] & 15) == 8);
    const char silence = char(sampleprep::silence_code(o.dac) * 16 + 8);
    for (size_t i = wav8::header_size + report.samples; i < wav.size(); ++i)
        REQUIRE(wav[i] == silence);
    REQUIRE(std::isfinite(report.gain_db));
    return 0;
}
