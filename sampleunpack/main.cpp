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
    fputs(manual_pointer("sampleunpack").c_str(), stdout);
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
                return usage_error("sampleunpack",
                                   std::string("--rate: ") + optarg +
                                       " is not a rate from 1 to 1000000 Hz",
                                   usage);
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
            return print_version("sampleunpack");
        default:
            return usage_error(
                "sampleunpack",
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
        complain("sampleunpack", dac, why);
        return 1;
    }

    std::string packed, wav, reason;
    bool ok = read_input(input, size_t(largest), &packed);
    if (!ok) reason = strerror(errno);
    // Too big to be read whole: the size on disk goes into the message; a device that never ends
    // has none to name.
    if (ok && long(packed.size()) > largest) {
        std::error_code ec;
        uintmax_t size = std::filesystem::file_size(input, ec);
        ok = !ec && block_count(packed, size, &reason) >= 0;
        if (ec)
            reason = "more than " + std::to_string(largest) +
                     " bytes, the most a packed sample file holds";
    }
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
