// palview: draws a palette as the machine shows it, a grid of swatches in index order, into a
// PNG image; beside the editor's palette, each swatch split between the two.
#include "common/cli.h"
#include "common/io.h"
#include "palettes/depth.h"
#include "palview/picture.h"

#include <algorithm>

namespace {

const char* const name = "palview";

// What the command line asks for.
struct Settings {
    const palettes::PaletteFormat* format = nullptr;
    int depth = 0, cell = 16;
    bool verbose = false;
    std::string source; // --source: the editor's palette, or empty
};

const std::string format_help = "read INPUT as F: " + palettes::format_names();
const std::string depth_value = palettes::depth_values();

cli::Program command_line(Settings& s) {
    return {
        name,
        "INPUT OUTPUT.png",
        "Draws a palette, or a binary palette as palpack or palprep --pack writes it, as a PNG "
        "image: swatches of N x N pixels, up to 16 a row, in index order, in the colours the "
        "machine shows.",
        {
            {"depth", 0, depth_value.c_str(),
             "the depth of a binary palette (512 bytes need 12 or 15; 6, 9 "
             "and a palette of another size need it); for any other palette, "
             "the depth palpack packs it at",
             [&s](const char* v) { return palettes::read_depth(v, &s.depth); }},
            {"source", 0, "FILE",
             "the editor's palette INPUT was made from: each swatch's upper "
             "half in its colour, the lower half in the machine's",
             [&s](const char* v) {
                 s.source = v;
                 return "";
             }},
            {"cell", 0, "N", "pixels a swatch is wide and high, 1 to 256 (default 16)",
             [&s](const char* v) {
                 long long n = 0;
                 std::string why = cli::read_integer(v, 1, 256, &n);
                 s.cell = int(n);
                 return why;
             }},
            {"format", 0, "F", format_help.c_str(),
             [&s](const char* v) {
                 s.format = palettes::format_named(v);
                 return s.format ? "" : "expected " + palettes::format_names();
             }},
            {"verbose", 'v', nullptr, "say what was read and written",
             [&s](const char*) {
                 s.verbose = true;
                 return "";
             }},
        },
    };
}

// The editor's palette of --source, found by its content and drawn as it is. Returns 0, or 1
// after complaining.
int read_source(const std::string& source, palettes::Palette* palette) {
    std::string bytes;
    std::string error = palettes::read_palette_file(source, &bytes);
    if (error.empty()) error = palettes::read_palette(bytes, nullptr, palette);
    if (!error.empty()) {
        cli::complain(name, source, error);
        return 1;
    }
    if (!palette->ignored.empty()) cli::warn(name, source, palette->ignored);
    return 0;
}

int run(const Settings& s, const std::string& input, const std::string& output) {
    const std::string& source = s.source;
    std::string bytes, png;
    palview::Viewed viewed;
    std::string error = palettes::read_palette_file(input, &bytes);
    if (error.empty()) error = palview::read_colours(bytes, s.format, s.depth, &viewed);
    if (!error.empty()) {
        cli::complain(name, input, error);
        return 1;
    }
    if (!viewed.ignored.empty()) cli::warn(name, input, viewed.ignored);
    palettes::Palette editor;
    if (!source.empty()) {
        if (read_source(source, &editor)) return 1;
        size_t extra =
            editor.colours.size() - std::min(editor.colours.size(), viewed.colours.size());
        if (extra)
            cli::warn(name, source,
                      palettes::colours_text(editor.colours.size()) + ", " + std::to_string(extra) +
                          " more than " + input + " holds: not drawn");
    }
    error = palview::draw(viewed.colours, s.cell, &png, source.empty() ? nullptr : &editor.colours);
    if (!error.empty()) {
        cli::complain(name, input, error);
        return 1;
    }

    std::vector<std::string> inputs = {input};
    if (!source.empty()) inputs.push_back(source);
    if (common::write_output(name, output, png, inputs)) return 1;
    if (s.verbose) {
        cli::note(name, input, palettes::colours_text(viewed.colours.size()) + ", " + viewed.what);
        if (!source.empty())
            cli::note(name, source,
                      palettes::colours_text(editor.colours.size()) + ", " + editor.format->title);
        size_t across = palview::columns(viewed.colours.size());
        size_t rows = (viewed.colours.size() + across - 1) / across;
        cli::note(name, output,
                  std::to_string(across * size_t(s.cell)) + " x " +
                      std::to_string(rows * size_t(s.cell)) + " pixels");
    }
    return 0;
}

// The program's work, which cli::run() ends the way every program ends.
int work(int argc, char** argv) {
    Settings s;
    const cli::Program program = command_line(s);
    std::vector<std::string> files;
    int status = cli::read_flags(program, argc, argv, &files);
    if (status != cli::go_on) return status;
    if (std::string why = palview::options_conflict(s.format, s.depth); !why.empty())
        return cli::usage_error(program, why);
    if (!s.source.empty() && s.cell < 2)
        return cli::usage_error(program, "--source needs --cell 2 or more");
    return run(s, files[0], files[1]);
}

} // namespace

int main(int argc, char** argv) {
    return cli::run(name, [&] { return work(argc, argv); });
}
