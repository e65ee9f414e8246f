// palview: draws a palette as the machine shows it, a grid of swatches in index order, into a
// PNG image.
#include "common/cli.h"
#include "palview/picture.h"

#include <new>

namespace {

const char* const name = "palview";
const PaletteFormat* format = nullptr;
int depth = 0, cell = 16;
bool verbose = false;

const std::string format_help = "read INPUT as F: " + format_names();

const cli::Program program = {
    name,
    "INPUT OUTPUT.png",
    "Draws a palette, or a binary palette as palpack writes it, as a PNG image: swatches of\n"
    "N x N pixels, 16 a row, in index order, in the colours the machine shows.",
    {
        {"depth", 0, "12|15|24|32",
         "the depth of a binary palette (512 bytes need 12 or 15); for any\n"
         "other palette, the depth palpack packs it at",
         [](const char* v) {
             std::string value = v;
             if (value != "12" && value != "15" && value != "24" && value != "32")
                 return std::string("expected 12, 15, 24 or 32");
             depth = std::stoi(value);
             return std::string();
         }},
        {"cell", 0, "N", "pixels a swatch is wide and high, 1 to 256 (default 16)",
         [](const char* v) {
             long long n = 0;
             std::string why = cli::read_integer(v, 1, 256, &n);
             cell = int(n);
             return why;
         }},
        {"format", 0, "F", format_help.c_str(),
         [](const char* v) {
             format = format_named(v);
             return format ? "" : "expected " + format_names();
         }},
        {"verbose", 'v', nullptr, "say what was read and written",
         [](const char*) {
             verbose = true;
             return "";
         }},
    },
};

int run(const std::string& input, const std::string& output) {
    std::string bytes, png;
    Viewed viewed;
    std::string error = read_palette_file(input, &bytes);
    if (error.empty()) error = read_colours(bytes, format, depth, &viewed);
    if (error.empty()) error = draw(viewed.colours, cell, &png);
    if (!error.empty()) {
        cli::complain(name, input, error);
        return 1;
    }
    if (!viewed.ignored.empty()) cli::warn(name, input, viewed.ignored);

    if (cli::write_output(name, output, png, {input})) return 1;
    if (verbose) {
        cli::complain(name, input, colours_text(viewed.colours.size()) + ", " + viewed.what);
        size_t rows = (viewed.colours.size() + 15) / 16;
        cli::complain(name, output,
                      std::to_string(16 * cell) + " x " + std::to_string(rows * cell) + " pixels");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    int status = cli::read_flags(program, argc, argv, &files);
    if (status != cli::go_on) return status;
    try {
        return run(files[0], files[1]);
    } catch (const std::bad_alloc&) {
        cli::complain(name, files[0], "out of memory");
        return 1;
    }
}
