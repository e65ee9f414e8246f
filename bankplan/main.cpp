// bankplan: places assets into as few banks of a 16 KB mapper as it can, and writes an object
// module for each, a C header that names their banks and the linker options that place the banks.
#include "bankplan/bankplan.h"
#include "common/output.h"

#include <cerrno>
#include <cstdlib>
#include <getopt.h>

static const char* usage = "usage: bankplan [-v] [-s size] [-f first] [-o dir] [--split] file...\n";

static void help() {
    printf("%s\n"
           "Places files into as few banks as it can and writes, into the output folder, an\n"
           "object module for each (NAME.rel), banks.h and the linker options banks.opt.\n\n"
           "  -s, --size BYTES   bytes a bank (default 16384)\n"
           "  -f, --first N      the first bank's number (default 2)\n"
           "  -o, --output DIR   the folder to write into (default .)\n"
           "      --split        cut a file larger than a bank across consecutive banks\n"
           "  -v, --verbose      report the banks on standard output\n"
           "      --help, --version\n",
           usage);
    fputs(manual_pointer("bankplan").c_str(), stdout);
}

// A whole number from low to high, or false.
static bool read_number(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 0);
    if (end == text || *end || errno || v < low || v > high) return false;
    *value = v;
    return true;
}

int main(int argc, char** argv) {
    enum { SPLIT = 256, HELP, VERSION };
    static const option longs[] = {
        {"size", required_argument, nullptr, 's'},  {"first", required_argument, nullptr, 'f'},
        {"output", required_argument, nullptr, 'o'}, {"split", no_argument, nullptr, SPLIT},
        {"verbose", no_argument, nullptr, 'v'},     {"help", no_argument, nullptr, HELP},
        {"version", no_argument, nullptr, VERSION}, {nullptr, 0, nullptr, 0}};
    bankplan::Options o;
    opterr = 0; // the messages are the program's own
    for (int c; (c = getopt_long(argc, argv, "s:f:o:v", longs, nullptr)) != -1;) {
        long value = 0;
        switch (c) {
        case 's':
            if (!read_number(optarg, 1, bankplan::window, &value))
                return usage_error("bankplan",
                                   std::string("--size: ") + optarg +
                                       " is not a size from 1 to 16384 bytes",
                                   usage);
            o.size = value;
            break;
        case 'f':
            if (!read_number(optarg, 2, bankplan::last_bank, &value))
                return usage_error("bankplan",
                                   std::string("--first: ") + optarg +
                                       " is not a bank from 2 to 255 (0 and 1 hold the program)",
                                   usage);
            o.first = int(value);
            break;
        case 'o':
            o.dir = optarg;
            break;
        case SPLIT:
            o.split = true;
            break;
        case 'v':
            o.verbose = true;
            break;
        case HELP:
            help();
            return 0;
        case VERSION:
            return print_version("bankplan");
        default:
            return usage_error(
                "bankplan",
                std::string(argv[optind - 1]) + ": unknown option, or its value is missing", usage);
        }
    }
    if (optind == argc) return usage_error("bankplan", "no input files", usage);

    bankplan::Layout layout;
    bankplan::Failure failure;
    std::vector<std::string> inputs(argv + optind, argv + argc);
    if (!bankplan::plan_layout(inputs, o, &layout, &failure) ||
        !bankplan::write_outputs(layout, o, &failure)) {
        if (failure.file.empty())
            fprintf(stderr, "bankplan: %s\n", failure.reason.c_str());
        else
            complain("bankplan", failure.file, failure.reason);
        return 1;
    }
    if (o.verbose) fputs(bankplan::report(layout).c_str(), stdout);
    return 0;
}
