// palprep: reads a palette in any of the formats graphics editors write and writes the
// 256-colour JASC-PAL palette that palpack reads, moved to the machine's colours if asked.
#include "files.h"
#include "output.h"
#include "prepare.h"

#include <cerrno>
#include <cstring>
#include <getopt.h>
#include <string>

static const char* const name = "palprep";

static const char* const usage =
    "usage: palprep INPUT OUTPUT [--format F] [--depth 12|15] [--snap nearest|trunc]\n"
    "               [--pad R,G,B] [--strict] [-v]\n";

static const char* const help =
    "Reads a palette (JASC-PAL, GIMP .gpl, Adobe .act, .hex, Paint.NET .txt or PNG, found by its\n"
    "content) and writes OUTPUT: a JASC-PAL palette of 256 colours that palpack reads.\n"
    "\n"
    "  --format F          read INPUT as F: jasc, gpl, act, hex, paintnet or png\n"
    "  --depth 12|15       move every colour to the one a machine of that depth shows\n"
    "  --snap nearest|trunc  the nearest shown colour (default) or the upper bits alone\n"
    "  --pad R,G,B         the colour after the palette's own, up to 256 (default 0,0,0)\n"
    "  --strict            fail when two colours become one at the depth\n"
    "  -v, --verbose       say what was read and written\n"
    "  -h, --help          print this help\n"
    "  --version           print the version\n";

// "R,G,B" with each number 0 to 255.
static bool parse_colour(const char* text, Colour* c) {
    int v[3], end = 0;
    if (sscanf(text, "%3d,%3d,%3d%n", &v[0], &v[1], &v[2], &end) != 3 || text[end] != '\0')
        return false;
    for (int x : v)
        if (x < 0 || x > 255) return false;
    *c = {uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])};
    return true;
}

int main(int argc, char** argv) {
    enum { format_option = 256, depth_option, snap_option, pad_option, strict_option, version };
    const option options[] = {
        {"format", required_argument, nullptr, format_option},
        {"depth", required_argument, nullptr, depth_option},
        {"snap", required_argument, nullptr, snap_option},
        {"pad", required_argument, nullptr, pad_option},
        {"strict", no_argument, nullptr, strict_option},
        {"verbose", no_argument, nullptr, 'v'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, version},
        {nullptr, 0, nullptr, 0},
    };
    Format format = Format::unknown;
    int depth = 0;
    Snap snap_mode = Snap::nearest;
    bool snap_given = false, strict = false, verbose = false;
    Colour pad;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, ":vh", options, nullptr)) != -1;) {
        std::string value = optarg ? optarg : "";
        switch (c) {
        case format_option:
            format = format_named(value);
            if (format == Format::unknown)
                return usage_error(name, "--format: expected jasc, gpl, act, hex, paintnet or png",
                                   usage);
            break;
        case depth_option:
            if (value != "12" && value != "15")
                return usage_error(name, "--depth: expected 12 or 15", usage);
            depth = std::stoi(value);
            break;
        case snap_option:
            if (value != "nearest" && value != "trunc")
                return usage_error(name, "--snap: expected nearest or trunc", usage);
            snap_mode = value == "trunc" ? Snap::trunc : Snap::nearest;
            snap_given = true;
            break;
        case pad_option:
            if (!parse_colour(optarg, &pad))
                return usage_error(name, "--pad: expected R,G,B with numbers 0-255", usage);
            break;
        case strict_option:
            strict = true;
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
    if (argc - optind != 2) return usage_error(name, "expected INPUT and OUTPUT", usage);
    if (snap_given && !depth) return usage_error(name, "--snap needs --depth", usage);
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

    Palette palette;
    error = read_palette(bytes, format, &palette);
    if (!error.empty()) {
        complain(name, input, error);
        return 1;
    }
    if (format == Format::unknown) format = detect(bytes);
    if (verbose) {
        complain(name, input, colours_text(palette.colours.size()) + ", " + format_title(format));
        if (palette.transparency) complain(name, input, "transparency dropped");
    }

    Prepared p = prepare(palette.colours, depth, snap_mode, pad);
    for (const std::vector<size_t>& group : p.merged)
        complain(name, input,
                 std::string(strict ? "" : "warning: ") +
                     merge_message(group, p.colours[group[0]], depth));
    if (strict && !p.merged.empty()) return 1;

    Output out(output);
    FILE* f = out.open();
    std::string text = jasc_text(p.colours);
    if (f) fwrite(text.data(), 1, text.size(), f);
    if (!f || !out.commit()) {
        complain(name, output, strerror(errno));
        return 1;
    }
    if (verbose) {
        std::string note = std::to_string(max_colours) + " colours";
        if (depth)
            note += std::string(" at ") + std::to_string(depth) + " bits (" +
                    (snap_mode == Snap::trunc ? "trunc" : "nearest") + ")";
        size_t padding = max_colours - palette.colours.size();
        if (padding)
            note += ", " + std::to_string(padding) + " of them padding " +
                    std::to_string(p.colours.back().r) + " " + std::to_string(p.colours.back().g) +
                    " " + std::to_string(p.colours.back().b);
        complain(name, output, note);
    }
    return 0;
}
