// sampleunpack: plays a packed sample file into a 16-bit WAV file, to hear what the machine will.
#include "files.h"
#include "output.h"
#include "unpack.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <getopt.h>
#include <iterator>

static const char* usage = "usage: sampleunpack [-r hz] [-d dac] [--dc] input output\n";

// The biggest packed sample file: the block count and 65535 blocks.
static const long largest = 2 + 16 * 65535;

static void help() {
    printf("%s\n"
           "Plays a packed sample file through the player's levels into a 16-bit WAV file.\n\n"
           "  -r, --rate HZ        playing rate (default 8000)\n"
           "  -d, --dac NAME|FILE  output levels: linear (default), psg, ay, or a file of 16\n"
           "      --dc             keep the raw levels, without the output's coupling\n"
           "      --help, --version\n",
           usage);
}

// The whole file, or false with *reason; a file too big to be a packed sample file is not read.
static bool slurp(const char* path, long limit, std::string* bytes, std::string* reason) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        *reason = strerror(EISDIR);
        return false;
    }
    FILE* f = open_input(path);
    if (!f) {
        *reason = strerror(errno);
        return false;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0 && long(bytes->size()) <= limit)
        bytes->append(buffer, n);
    bool ok = !ferror(f);
    if (!ok) *reason = strerror(errno);
    fclose(f);
    return ok;
}

static bool load_levels(const char* dac, Levels* levels) {
    if (named_levels(dac, levels)) return true;
    std::string text, reason;
    if (!slurp(dac, 1 << 20, &text, &reason)) {
        complain("sampleunpack", dac, reason + " (the DACs by name: linear, psg, ay)");
        return false;
    }
    if (parse_levels(text, levels, &reason)) return true;
    complain("sampleunpack", dac, reason);
    return false;
}

int main(int argc, char** argv) {
    enum { DC = 256, HELP, VERSION };
    static const option longs[] = {
        {"rate", required_argument, nullptr, 'r'},  {"dac", required_argument, nullptr, 'd'},
        {"dc", no_argument, nullptr, DC},           {"help", no_argument, nullptr, HELP},
        {"version", no_argument, nullptr, VERSION}, {nullptr, 0, nullptr, 0}};
    UnpackOptions o;
    const char* dac = "linear";
    opterr = 0; // the messages are the program's own
    for (int c; (c = getopt_long(argc, argv, "r:d:", longs, nullptr)) != -1;) {
        switch (c) {
        case 'r': {
            char* end = nullptr;
            errno = 0;
            o.rate = strtod(optarg, &end);
            if (end == optarg || *end || errno || !(o.rate >= 1 && o.rate <= 1e6)) {
                fprintf(stderr, "sampleunpack: --rate: %s is not a rate from 1 to 1000000 Hz\n%s",
                        optarg, usage);
                return 2;
            }
            break;
        }
        case 'd':
            dac = optarg;
            break;
        case DC:
            o.dc = true;
            break;
        case HELP:
            help();
            return 0;
        case VERSION:
            printf("sampleunpack (assetkit) %s\n", TOOLKIT_VERSION);
            return 0;
        default:
            fprintf(stderr, "%s: %s: unknown option, or its value is missing\n%s", "sampleunpack",
                    argv[optind - 1], usage);
            return 2;
        }
    }
    if (argc - optind != 2) {
        fputs(usage, stderr);
        return 2;
    }
    const char* input = argv[optind];
    const char* output = argv[optind + 1];
    if (!load_levels(dac, &o.levels)) return 1;

    std::string packed, wav, reason;
    bool ok = slurp(input, largest, &packed, &reason);
    // Too big to be read whole: the size on disk goes into the message.
    std::error_code ec;
    if (ok && long(packed.size()) > largest)
        ok = block_count(packed, std::filesystem::file_size(input, ec), &reason) >= 0;
    if (!ok || !unpack(packed, o, &wav, &reason)) {
        complain("sampleunpack", input, reason);
        return 1;
    }
    // Writing the output over its input would destroy what is being read.
    if (same_file(input, output)) {
        complain("sampleunpack", output, "is the input");
        return 1;
    }
    Output out(output);
    FILE* f = out.open();
    if (!f || fwrite(wav.data(), 1, wav.size(), f) != wav.size() || !out.commit()) {
        complain("sampleunpack", output, strerror(errno));
        return 1;
    }
    return 0;
}
