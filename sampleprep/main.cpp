// sampleprep: turns any recording libsndfile reads into the 8-bit WAV file samplepack packs, with
// the codes chosen for the player's 16 output levels.
#include "common/cli.h"
#include "common/io.h"
#include "samplepack/format.h"
#include "sampleprep/prep.h"

#include <cmath>
#include <cstring>
#include <sndfile.h>

namespace {

const char* program = "sampleprep";

using sampleprep::PrepOptions;
using sampleprep::PrepReport;

struct Settings {
    PrepOptions o;
    const char* dac = sound::dacs()[0].name;
    bool offset = true; // --offset auto
    bool verbose = false;
};

// "" for one of the words, else what was expected.
std::string one_of(const char* value, const char* a, const char* b, bool* is_a) {
    if (strcmp(value, a) != 0 && strcmp(value, b) != 0)
        return std::string("expected ") + a + " or " + b;
    *is_a = strcmp(value, a) == 0;
    return "";
}

std::vector<cli::Option> options(Settings& s) {
    static const std::string dac_text = sound::dac_help();
    return {
        {"rate", 'r', "HZ", "output rate, fractional allowed (default 8000)",
         [&](const char* v) { return cli::read_number(v, 1, 1e6, &s.o.rate); }},
        {"gain", 'g', "DB", "fixed gain instead of normalising the peak",
         [&](const char* v) {
             s.o.normalise = false;
             return cli::read_number(v, -200, 200, &s.o.gain_db);
         }},
        {"trim", 0, "DB", "cut leading and trailing audio DB below the peak",
         [&](const char* v) {
             std::string why = cli::read_number(v, -200, 200, &s.o.trim_db);
             if (why.empty() && s.o.trim_db == 0) why = "expected a number of dB other than 0";
             s.o.trim_db = std::fabs(s.o.trim_db);
             return why;
         }},
        {"channel", 0, "N", "take channel N (1 is the first) instead of the mix",
         [&](const char* v) {
             long long n = 0;
             std::string why = cli::read_integer(v, 1, 65535, &n);
             s.o.channel = int(n);
             return why;
         }},
        {"dac", 'd', "NAME|FILE", dac_text.c_str(),
         [&](const char* v) {
             s.dac = v;
             return std::string();
         }},
        {"offset", 0, "MODE", "auto (for uneven levels, the default) or none",
         [&](const char* v) { return one_of(v, "auto", "none", &s.offset); }},
        {"dither", 0, "MODE", "none (default) or tpdf",
         [&](const char* v) {
             bool none = true;
             std::string why = one_of(v, "none", "tpdf", &none);
             s.o.codes.dither = !none;
             return why;
         }},
        {"verbose", 'v', nullptr, "print a report",
         [&](const char*) {
             s.verbose = s.o.snr = true;
             return std::string();
         }},
    };
}

std::string format_name(int format) {
    SF_FORMAT_INFO info = {};
    info.format = format;
    return sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name
               ? info.name
               : "unknown";
}

// "1 sample", "2 samples".
std::string count(unsigned long long n, const char* thing) {
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

// The -v report, one line for each step of the conversion.
void report(const std::string& input, const SF_INFO& info, const Settings& s, const PrepReport& r) {
    const PrepOptions& o = s.o;
    std::string channels = info.channels == 1 ? "1 channel"
                           : o.channel        ? "channel " + std::to_string(o.channel) + " of " +
                                             std::to_string(info.channels)
                                       : std::to_string(info.channels) + " channels mixed";
    fprintf(stderr, "input: %s: %s, %s, %s, %d Hz, %s (%.3f s)\n", input.c_str(),
            format_name(info.format & SF_FORMAT_TYPEMASK).c_str(),
            format_name(info.format & SF_FORMAT_SUBMASK).c_str(), channels.c_str(), info.samplerate,
            count(r.frames, "frame").c_str(), double(r.frames) / info.samplerate);
    if (info.samplerate == o.rate)
        fprintf(stderr, "rate: %d Hz, unchanged: %s\n", info.samplerate,
                count(r.resampled, "sample").c_str());
    else
        fprintf(stderr, "rate: %d Hz to %.10g Hz (libsoxr, high quality): %s\n", info.samplerate,
                o.rate, count(r.resampled, "sample").c_str());
    // A gain that rounds to nothing is no loss: "+0.0", never "-0.0".
    double gain_db = std::fabs(r.gain_db) < 0.05 ? 0.0 : r.gain_db;
    if (r.peak > 0)
        fprintf(stderr, "level: peak %.1f dBFS, gain %+.1f dB (%s), %s clipped\n",
                20 * std::log10(r.peak), gain_db, o.normalise ? "normalised" : "fixed",
                count(r.clipped, "sample").c_str());
    else
        fprintf(stderr, "level: silent, gain %+.1f dB (%s)\n", gain_db,
                o.normalise ? "normalised" : "fixed");
    if (o.trim_db != 0)
        fprintf(stderr, "trim: %g dB below the peak: %s kept\n", o.trim_db,
                count(r.samples, "sample").c_str());
    std::string padding;
    if (r.padding)
        padding = ", " + std::to_string(r.padding) + " of silence to fill the last block";
    fprintf(stderr, "output: %s at %ld Hz (%.3f s)%s, %s; dac %s, offset %s, dither %s\n",
            count(r.samples, "sample").c_str(), std::lround(o.rate), r.samples / o.rate,
            padding.c_str(),
            count(packed::size(packed::blocks_for(r.samples + r.padding)), "packed byte").c_str(),
            s.dac, o.codes.offset ? "auto" : "none", o.codes.dither ? "tpdf" : "none");
    // As a listener hears it: both sides through the output's coupling.
    if (std::isnan(r.snr_db))
        fprintf(stderr, "snr: none, the input is silent\n");
    else if (std::isinf(r.snr_db))
        fprintf(stderr, "snr: exact, the codes play the input as it is\n");
    else
        fprintf(stderr, "snr: %.1f dB, the output coupled against the input coupled\n", r.snr_db);
}

// Reads the input, streamed (it may be longer than the output can hold, or a pipe), and
// converts it. "" when done, else the reason.
std::string convert(const std::string& input, const PrepOptions& o, SF_INFO* info, std::string* wav,
                    PrepReport* r) {
    std::string why;
    FILE* in = common::open_input(input, &why);
    if (!in) return why;
    SNDFILE* sound = sf_open_fd(fileno(in), SFM_READ, info, SF_FALSE);
    why = sound ? sampleprep::prepare(sound, *info, o, wav, r) : sf_strerror(nullptr);
    if (sound) sf_close(sound);
    fclose(in);
    return why;
}

// The program's work, which cli::run() ends the way every program ends.
int work(int argc, char** argv) {
    Settings s;
    cli::Program p{program, "INPUT OUTPUT",
                   "Turns a recording into the 8-bit WAV file samplepack packs.", options(s)};
    std::vector<std::string> files;
    if (int status = cli::read_flags(p, argc, argv, &files); status != cli::go_on) return status;
    const std::string &input = files[0], &output = files[1];

    if (std::string why = sound::dac_table(s.dac, &s.o.dac); !why.empty()) {
        cli::complain(program, s.dac, why);
        return 1;
    }
    // Three channels' codes follow the sound from state to state; a random step between them
    // would only add noise.
    if (s.o.dac.channels > 1 && s.o.codes.dither)
        return cli::usage_error(p, std::string("--dither tpdf is for one channel; ") + s.dac +
                                       " writes three in turn");
    s.o.codes.offset = s.offset && sound::offset_by_default(s.o.dac.levels);
    s.o.codes.rate = s.o.rate;
    SF_INFO info = {};
    std::string wav;
    PrepReport r;
    if (std::string why = convert(input, s.o, &info, &wav, &r); !why.empty()) {
        cli::complain(program, input, why);
        return 1;
    }
    std::vector<std::string> inputs = {input};
    if (!s.o.dac.row) inputs.push_back(s.dac);
    if (int status = common::write_output(program, output, wav, inputs)) return status;
    for (const std::string& w : r.warnings) cli::warn(program, input, w);
    if (s.verbose) report(input, info, s, r);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return cli::run(program, [&] { return work(argc, argv); });
}
