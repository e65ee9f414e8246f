// bankrom: turns a link with banks into a ROM image, bank n at n x 16384, since the linker's
// Intel HEX output keeps 16-bit addresses only and lays the banks on top of each other.
#include "bankrom/rom.h"
#include "common/files.h"
#include "common/output.h"
#include "common/paths.h"

#include <cerrno>
#include <cstring>
#include <getopt.h>

static const char* usage = "usage: bankrom [-o rom] program.ihx program.map module...\n";

static void help() {
    printf("%s\n"
           "Writes the ROM image of a link with banks: the program's first 32 KB from its Intel\n"
           "HEX image, then bank n at n x 16384, each module where the linker's map puts it.\n\n"
           "  -o, --output FILE  the image (default: program.ihx with the extension .rom)\n"
           "      --help, --version\n",
           usage);
    fputs(manual_pointer("bankrom").c_str(), stdout);
}

// The largest text read: a map or HEX image of a full 16 MB address space is far smaller.
static const size_t largest = size_t(64) << 20;

int main(int argc, char** argv) {
    enum { HELP = 256, VERSION };
    static const option longs[] = {{"output", required_argument, nullptr, 'o'},
                                   {"help", no_argument, nullptr, HELP},
                                   {"version", no_argument, nullptr, VERSION},
                                   {nullptr, 0, nullptr, 0}};
    std::string output;
    opterr = 0; // the messages are the program's own
    for (int c; (c = getopt_long(argc, argv, "o:", longs, nullptr)) != -1;) {
        switch (c) {
        case 'o':
            output = optarg;
            break;
        case HELP:
            help();
            return 0;
        case VERSION:
            return print_version("bankrom");
        default:
            return usage_error(
                "bankrom", std::string(argv[optind - 1]) + ": unknown option, or its value is missing",
                usage);
        }
    }
    if (argc - optind < 2) return usage_error("bankrom", "a HEX image and a map are needed", usage);
    const char* hex_path = argv[optind];
    const char* map_path = argv[optind + 1];
    if (output.empty()) output = output_name(hex_path, ".rom");

    auto read = [](const char* path, std::string* text) {
        if (!read_input(path, largest, text)) {
            complain("bankrom", path, strerror(errno));
            return false;
        }
        if (text->size() > largest) {
            complain("bankrom", path, "too large for a HEX image, a map or a module");
            return false;
        }
        return true;
    };
    std::string hex, map;
    std::vector<bankrom::Module> modules;
    if (!read(hex_path, &hex) || !read(map_path, &map)) return 1;
    for (int i = optind + 2; i < argc; ++i) {
        modules.push_back({argv[i], ""});
        if (!read(argv[i], &modules.back().text)) return 1;
    }
    std::string rom, file, reason;
    if (!bankrom::make_rom(hex, map, modules, &rom, &file, &reason)) {
        complain("bankrom", file.empty() ? hex_path : file, reason);
        return 1;
    }
    for (int i = optind; i < argc; ++i)
        if (same_file(argv[i], output.c_str())) {
            complain("bankrom", output, "is an input");
            return 1;
        }
    Output out(output);
    FILE* f = out.open();
    if (!f || fwrite(rom.data(), 1, rom.size(), f) != rom.size() || !out.commit()) {
        complain("bankrom", output, strerror(errno));
        return 1;
    }
    return 0;
}
