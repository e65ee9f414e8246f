// sampleprep: turns any recording libsndfile reads into the 8-bit WAV file samplepack packs, with
// the codes chosen for the player's 16 output levels.
#include "files.h"
#include "output.h"
#include "prep.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <getopt.h>
#include <iterator>
#include <sndfile.h>

static const char* usage =
    "usage: sampleprep [-v] [-r hz] [-g db] [-d dac] [--trim db] [--channel n]\n"
    "                  [--offset auto|none] [--dither none|tpdf] input output\n";

static int bad_value(const char* option, const char* value, const char* what) {
    return usage_error("sampleprep", std::string(option) + ": " + value + " " + what, usage);
}

static bool number(const char* text, double* out) {
    char* end = nullptr;
    errno = 0;
    *out = strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(*out);
}

static void help() {
    printf("%s\n"
           "Turns a recording into the 8-bit WAV file samplepack packs.\n\n"
           "  -r, --rate HZ        output rate, fractional allowed (default 8000)\n"
           "  -g, --gain DB        fixed gain instead of normalising the peak\n"
           "      --trim DB        cut leading and trailing audio DB below the peak\n"
           "      --channel N      take channel N (1 is the first) instead of the mix\n"
           "  -d, --dac NAME|FILE  output levels: linear (default), psg, ay, or a file of 16\n"
           "      --offset MODE    auto (for uneven levels, the default) or none\n"
           "      --dither MODE    none (default) or tpdf\n"
           "  -v, --verbose        print a report\n"
           "      --help, --version\n",
           usage);
    fputs(manual_pointer("sampleprep").c_str(), stdout);
}

// The levels named, or read from the file of that name.
static std::string format_name(int format) {
    SF_FORMAT_INFO info = {};
    info.format = format;
    return sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name
               ? info.name
               : "unknown";
}

// The -v report, one line for each step of the conversion.
static void report(const char* input, const SF_INFO& info, const PrepOptions& o, const char* dac,
                   const PrepReport& r) {
    std::string channels = info.channels == 1 ? "1 channel"
                           : o.channel        ? "channel " + std::to_string(o.channel) + " of " +
                                             std::to_string(info.channels)
                                       : std::to_string(info.channels) + " channels mixed";
    fprintf(stderr, "input: %s: %s, %s, %s, %d Hz, %lld frames (%.3f s)\n", input,
            format_name(info.format & SF_FORMAT_TYPEMASK).c_str(),
            format_name(info.format & SF_FORMAT_SUBMASK).c_str(), channels.c_str(), info.samplerate,
            (long long)r.frames, double(r.frames) / info.samplerate);
    if (info.samplerate == o.rate)
        fprintf(stderr, "rate: %d Hz, unchanged: %llu samples\n", info.samplerate,
                (unsigned long long)r.resampled);
    else
        fprintf(stderr, "rate: %d Hz to %.10g Hz (libsoxr, high quality): %llu samples\n",
                info.samplerate, o.rate, (unsigned long long)r.resampled);
    fprintf(stderr, "level: peak %.1f dBFS, gain %+.1f dB (%s), %u samples clipped\n",
            20 * std::log10(r.peak), r.gain_db, o.normalise ? "normalised" : "fixed", r.clipped);
    if (o.trim_db != 0)
        fprintf(stderr, "trim: %g dB below the peak: %u samples kept\n", o.trim_db, r.samples);
    // samplepack packs pairs of samples into blocks of 16 bytes behind a 2-byte count.
    uint32_t blocks = (r.samples / 2 + 15) / 16;
    fprintf(stderr,
            "output: %u samples at %ld Hz (%.3f s), %u packed bytes; dac %s, offset %s, "
            "dither %s\n",
            r.samples, std::lround(o.rate), r.samples / o.rate, 2 + 16 * blocks, dac,
            o.codes.offset ? "auto" : "none", o.codes.dither ? "tpdf" : "none");
    fprintf(stderr, "snr: %.1f dB\n", r.snr_db);
}

int main(int argc, char** argv) {
    enum { TRIM = 256, CHANNEL, OFFSET, DITHER, HELP, VERSION };
    static const option longs[] = {{"rate", required_argument, nullptr, 'r'},
                                   {"gain", required_argument, nullptr, 'g'},
                                   {"trim", required_argument, nullptr, TRIM},
                                   {"channel", required_argument, nullptr, CHANNEL},
                                   {"dac", required_argument, nullptr, 'd'},
                                   {"offset", required_argument, nullptr, OFFSET},
                                   {"dither", required_argument, nullptr, DITHER},
                                   {"verbose", no_argument, nullptr, 'v'},
                                   {"help", no_argument, nullptr, HELP},
                                   {"version", no_argument, nullptr, VERSION},
                                   {nullptr, 0, nullptr, 0}};
    PrepOptions o;
    const char* dac = "linear";
    const char* offset = "auto";
    bool verbose = false;
    double value = 0;
    opterr = 0; // the messages are the program's own
    for (int c; (c = getopt_long(argc, argv, "r:g:d:v", longs, nullptr)) != -1;) {
        switch (c) {
        case 'r':
            if (!number(optarg, &value) || value < 1 || value > 1e6)
                return bad_value("--rate", optarg, "is not a rate from 1 to 1000000 Hz");
            o.rate = value;
            break;
        case 'g':
            if (!number(optarg, &value) || std::fabs(value) > 200)
                return bad_value("--gain", optarg, "is not a gain in dB");
            o.gain_db = value;
            o.normalise = false;
            break;
        case TRIM:
            if (!number(optarg, &value) || value == 0 || std::fabs(value) > 200)
                return bad_value("--trim", optarg, "is not a level in dB below the peak");
            o.trim_db = std::fabs(value);
            break;
        case CHANNEL:
            if (!number(optarg, &value) || value < 1 || value > 65535 || value != std::floor(value))
                return bad_value("--channel", optarg, "is not a channel number (1 is the first)");
            o.channel = int(value);
            break;
        case 'd':
            dac = optarg;
            break;
        case OFFSET:
            if (strcmp(optarg, "auto") != 0 && strcmp(optarg, "none") != 0)
                return bad_value("--offset", optarg, "is not auto or none");
            offset = optarg;
            break;
        case DITHER:
            if (strcmp(optarg, "tpdf") != 0 && strcmp(optarg, "none") != 0)
                return bad_value("--dither", optarg, "is not none or tpdf");
            o.codes.dither = strcmp(optarg, "tpdf") == 0;
            break;
        case 'v':
            verbose = o.snr = true;
            break;
        case HELP:
            help();
            return 0;
        case VERSION:
            return print_version("sampleprep");
        default:
            return usage_error(
                "sampleprep",
                std::string(argv[optind - 1]) + ": unknown option, or its value is missing", usage);
        }
    }
    if (argc - optind != 2) {
        fputs(usage, stderr);
        return 2;
    }
    const char* input = argv[optind];
    const char* output = argv[optind + 1];
    std::string why;
    if (!dac_levels(dac, &o.levels, &why)) {
        complain("sampleprep", dac, why);
        return 1;
    }
    o.codes.offset = strcmp(offset, "auto") == 0 && offset_by_default(o.levels);
    o.codes.rate = o.rate;

    FILE* in = open_input(input);
    if (!in) {
        std::error_code ec;
        complain("sampleprep", input,
                 std::filesystem::is_directory(input, ec) ? strerror(EISDIR) : strerror(errno));
        return 1;
    }
    // Writing the output over its input would destroy what is being read.
    if (same_file(input, output)) {
        complain("sampleprep", output, "is the input");
        fclose(in);
        return 1;
    }
    SF_INFO info = {};
    SNDFILE* sound = sf_open_fd(fileno(in), SFM_READ, &info, SF_FALSE);
    if (!sound) {
        complain("sampleprep", input, sf_strerror(nullptr));
        fclose(in);
        return 1;
    }
    std::string wav, reason;
    PrepReport r;
    bool ok = prepare(sound, info, o, &wav, &r, &reason);
    sf_close(sound);
    fclose(in);
    if (!ok) {
        complain("sampleprep", input, reason);
        return 1;
    }

    Output out(output);
    FILE* f = out.open();
    if (!f || fwrite(wav.data(), 1, wav.size(), f) != wav.size() || !out.commit()) {
        complain("sampleprep", output, strerror(errno));
        return 1;
    }
    if (verbose) report(input, info, o, dac, r);
    return 0;
}
