// palview: draws a palette as the machine shows it, a grid of swatches in index order, into a
// PNG image.
#include "depth.h"
#include "files.h"
#include "output.h"
#include "picture.h"

#include <cerrno>
#include <cstring>
#include <getopt.h>
#include <string>

static const char* const name = "palview";

static const char* const usage =
    "usage: palview INPUT OUTPUT.png [--depth 12|15|24|32] [--cell N] [--format F] [-v]\n";

static const char* const help =
    "Draws a palette, or a binary palette as palpack writes it, as a PNG image: swatches of\n"
    "N x N pixels, 16 a row, in index order, in the colours the machine shows.\n"
    "\n"
    "  --depth 12|15|24|32  the depth of a binary palette (512 bytes need 12 or 15); for any\n"
    "                       other palette, the depth palpack packs it at\n"
    "  --cell N             pixels a swatch is wide and high, 1 to 256 (default 16)\n"
    "  --format F           read INPUT as F: jasc, gpl, act, hex, paintnet or png\n"
    "  -v, --verbose        say what was read and written\n"
    "  -h, --help           print this help\n"
    "  --version            print the version\n";

// The colours of INPUT: a palette in a format the readers know, or else a binary palette at
// depth (0: from its size). Empty text, or the reason.
static std::string read_colours(const std::string& bytes, Format format, int depth,
                                std::vector<Colour>* colours, std::string* what) {
    if (format == Format::unknown) format = detect(bytes);
    if (format != Format::unknown) {
        Palette palette;
        std::string error = read_palette(bytes, format, &palette);
        *colours = palette.colours;
        *what = format_title(format);
        // What the machine shows once palpack has kept the upper bits.
        if (depth == 12 || depth == 15)
            for (Colour& c : *colours) c = snap(c, component_bits(depth), Snap::trunc);
        return error;
    }
    if (!depth) depth = binary_depth(bytes.size());
    if (!depth && bytes.size() == 512)
        return "512 bytes: a binary palette of 12 or 15 bits; give --depth 12 or 15";
    if (!depth)
        return "unknown format, and " + std::to_string(bytes.size()) +
               " bytes fit no binary palette (512 bytes for 12 or 15 bits, 768 for 24, 1024 "
               "for 32)";
    *what = "binary palette at " + std::to_string(depth) + " bits";
    return read_binary(bytes, depth, colours);
}

int main(int argc, char** argv) {
    enum { depth_option = 256, cell_option, format_option, version };
    const option options[] = {
        {"depth", required_argument, nullptr, depth_option},
        {"cell", required_argument, nullptr, cell_option},
        {"format", required_argument, nullptr, format_option},
        {"verbose", no_argument, nullptr, 'v'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, version},
        {nullptr, 0, nullptr, 0},
    };
    Format format = Format::unknown;
    int depth = 0, cell = 16;
    bool verbose = false;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, ":vh", options, nullptr)) != -1;) {
        std::string value = optarg ? optarg : "";
        switch (c) {
        case depth_option:
            if (value != "12" && value != "15" && value != "24" && value != "32")
                return usage_error(name, "--depth: expected 12, 15, 24 or 32", usage);
            depth = std::stoi(value);
            break;
        case cell_option: {
            char* end = nullptr;
            long n = strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < 1 || n > 256)
                return usage_error(name, "--cell: expected a number 1-256", usage);
            cell = int(n);
            break;
        }
        case format_option:
            format = format_named(value);
            if (format == Format::unknown)
                return usage_error(name, "--format: expected jasc, gpl, act, hex, paintnet or png",
                                   usage);
            break;
        case 'v':
            verbose = true;
            break;
        case 'h':
            printf("%s\n%s%s", usage, help, manual_pointer(name).c_str());
            return 0;
        case version:
            return print_version(name);
        case ':':
            return usage_error(name, std::string("option needs a value: ") + argv[optind - 1],
                               usage);
        default:
            return usage_error(name, std::string("unknown option: ") + argv[optind - 1], usage);
        }
    }
    if (argc - optind != 2) return usage_error(name, "expected INPUT and OUTPUT.png", usage);
    const char* input = argv[optind];
    const char* output = argv[optind + 1];

    if (same_file(input, output)) {
        complain(name, output, "is the input file");
        return 1;
    }
    std::string bytes;
    std::string error = load_file(input, &bytes);
    if (!error.empty()) {
        complain(name, input, error);
        return 1;
    }

    std::vector<Colour> colours;
    std::string what;
    error = read_colours(bytes, format, depth, &colours, &what);
    std::string png;
    if (error.empty()) error = draw(colours, cell, &png);
    if (!error.empty()) {
        complain(name, input, error);
        return 1;
    }

    Output out(output);
    FILE* f = out.open();
    if (f) fwrite(png.data(), 1, png.size(), f);
    if (!f || !out.commit()) {
        complain(name, output, strerror(errno));
        return 1;
    }
    if (verbose) {
        complain(name, input, colours_text(colours.size()) + ", " + what);
        complain(name, output,
                 std::to_string(16 * cell) + " x " +
                     std::to_string((colours.size() + 15) / 16 * size_t(cell)) + " pixels");
    }
    return 0;
}
