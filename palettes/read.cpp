// The table of palette formats, and reading a palette through it.
#include "common/cli.h"
#include "common/io.h"
#include "palettes/palette.h"
#include "palettes/readers.h"

namespace palettes {

const std::vector<PaletteFormat>& palette_formats() {
    // Detection tries the rows in order: the Adobe table, known by its size alone, comes last.
    static const std::vector<PaletteFormat> formats = {
        {"jasc", "JASC-PAL palette", "JASC-PAL", is_jasc, read_jasc},
        {"gpl", "GIMP palette", "GIMP .gpl", is_gpl, read_gpl},
        {"hex", "hex palette", "hex list", is_hex, read_hex},
        {"paintnet", "Paint.NET palette", "Paint.NET .txt", is_paintnet, read_paintnet},
        {"riff", "RIFF palette", "Microsoft RIFF .pal", is_riff, read_riff},
        {"aco", "Photoshop swatches", "Photoshop .aco", is_aco, read_aco},
        {"png", "PNG image", "PNG", is_png, read_png},
        {"act", "Adobe colour table", "Adobe .act", is_act, read_act},
    };
    return formats;
}

namespace {

// "a, b or c" from one field of every row.
std::string listed(const char* PaletteFormat::*field) {
    const std::vector<PaletteFormat>& formats = palette_formats();
    std::string text;
    for (size_t i = 0; i < formats.size(); ++i) {
        if (i > 0) text += i + 1 == formats.size() ? " or " : ", ";
        text += formats[i].*field;
    }
    return text;
}

} // namespace

std::string format_names() {
    return listed(&PaletteFormat::name);
}

std::string format_descriptions() {
    return listed(&PaletteFormat::description);
}

std::string unknown_format() {
    return "unknown format (not " + format_descriptions() + ")";
}

const PaletteFormat* format_named(const std::string& name) {
    for (const PaletteFormat& f : palette_formats())
        if (name == f.name) return &f;
    return nullptr;
}

const PaletteFormat* detect(const std::string& bytes) {
    for (const PaletteFormat& f : palette_formats())
        if (f.detect(bytes)) return &f;
    return nullptr;
}

std::string read_palette_file(const std::string& path, std::string* bytes) {
    std::string error = common::read_file(path, largest_file, bytes);
    if (!error.empty() && bytes->size() > largest_file) error += ": too large for a palette";
    return error;
}

std::string read_palette(const std::string& bytes, const PaletteFormat* format, Palette* palette) {
    *palette = Palette();
    if (!format) format = detect(bytes);
    if (!format) return unknown_format();
    std::string error = format->read(bytes, palette);
    if (error.empty() && palette->colours.empty()) error = "no colours";
    if (error.empty() && palette->colours.size() > max_colours)
        error = std::to_string(palette->colours.size()) + " colours, more than " +
                std::to_string(max_colours);
    if (!error.empty()) {
        *palette = Palette();
        return std::string(format->title) + ", " + error;
    }
    palette->format = format;
    return "";
}

std::string read_colour(const char* text, Colour* c) {
    // Three numbers, each by the rule of every number the programs take: no blanks.
    std::string parts[3], rest = text;
    int found = 0;
    for (; found < 3; ++found) {
        size_t comma = rest.find(',');
        parts[found] = rest.substr(0, comma);
        if (comma == std::string::npos) break;
        rest = rest.substr(comma + 1);
    }
    uint8_t v[3];
    for (int i = 0; i < 3; ++i) {
        long long n = 0;
        if (found != 2 || !cli::read_integer(parts[i].c_str(), 0, 255, &n).empty())
            return "expected R,G,B with numbers 0-255";
        v[i] = uint8_t(n);
    }
    *c = {v[0], v[1], v[2]};
    return "";
}

} // namespace palettes
