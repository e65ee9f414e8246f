// tileview: draws what the machine shows of tiles, a tile map and sub-palettes as tilepack writes
// them, as a PNG picture.
#include "common/cli.h"
#include "palettes/depth.h"
#include "tileview/draw.h"

#include <new>

namespace {

const char* const name = "tileview";

struct Options {
    tiles::Given given;
    long long width = 32;
    bool verbose = false;
} o;

std::string read_count(const char* text, long long min, long long max, int* value) {
    long long n = 0;
    std::string why = cli::read_integer(text, min, max, &n);
    *value = int(n);
    return why;
}

const std::string machine_help = "defaults of " + tiles::machine_names();
const std::string layout_help = "the tile layout: " + tiles::tile_layout_names();
const std::string depth_value = depth_values();

const cli::Program program = {
    name,
    "TILES PALETTES [MAP] OUTPUT.png",
    "Draws what the machine shows of TILES, PALETTES and MAP as tilepack writes them\n"
    "(with --map none, TILES is a bitmap and there is no MAP) into a PNG picture.",
    {
        {"machine", 'm', "NAME", machine_help.c_str(),
         [](const char* v) {
             o.given.machine = tiles::machine(v);
             return o.given.machine ? "" : "expected " + tiles::machine_names();
         }},
        {"bits", 0, "2|4", "bits a pixel (default 4)",
         [](const char* v) {
             std::string why = read_count(v, 2, 4, &o.given.bits);
             return why.empty() && o.given.bits != 3 ? "" : "expected 2 or 4";
         }},
        {"layout", 0, "ROW", layout_help.c_str(),
         [](const char* v) {
             o.given.layout = tiles::tile_layout(v);
             return o.given.layout ? "" : "expected " + tiles::tile_layout_names();
         }},
        {"map", 0, "16|8|none", "the map entry (default 16)",
         [](const char* v) {
             o.given.map = tiles::map_layout(v);
             return o.given.map ? "" : "expected " + tiles::map_layout_names();
         }},
        {"colours", 0, "N",
         "colours a sub-palette, colour 0 included\n(default 16, or 4 at 2 bits)",
         [](const char* v) { return read_count(v, 2, 16, &o.given.colours); }},
        {"depth", 0, depth_value.c_str(), "the colour depth of PALETTES (default 24)",
         [](const char* v) { return read_depth(v, &o.given.depth); }},
        {"width", 'w', "N", "tiles across, 1 to 4096 (default 32)",
         [](const char* v) { return cli::read_integer(v, 1, 4096, &o.width); }},
        {"verbose", 'v', nullptr, "say what was drawn",
         [](const char*) {
             o.verbose = true;
             return "";
         }},
    },
    3,
    4,
};

int run(const std::vector<std::string>& files, const tileview::View& view) {
    bool mapped = view.map->size != 0;
    std::string data[3]; // tiles, palettes, map
    for (size_t i = 0; i + 1 < files.size(); ++i) {
        std::string error = cli::read_file(files[i], size_t(64) << 20, &data[i]);
        if (!error.empty()) {
            cli::complain(name, files[i], error);
            return 1;
        }
    }
    tiles::Picture picture;
    std::string error = tileview::draw(data[0], data[1], mapped ? data[2] : "", view, &picture);
    std::string png;
    if (error.empty()) error = tiles::encode_png(picture, &png);
    if (!error.empty()) {
        cli::complain(name, files[0], error);
        return 1;
    }
    std::vector<std::string> inputs(files.begin(), files.end() - 1);
    if (cli::write_output(name, files.back(), png, inputs)) return 1;
    if (o.verbose)
        cli::complain(name, files.back(),
                      std::to_string(picture.width) + " x " + std::to_string(picture.height) +
                          " pixels");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    int status = cli::read_flags(program, argc, argv, &files);
    if (status != cli::go_on) return status;
    tiles::Format f;
    if (std::string why = tiles::settle(o.given, &f); !why.empty())
        return cli::usage_error(program, why);
    tileview::View view{f.layout, f.map, f.colours, f.depth, unsigned(o.width)};
    size_t wanted = f.map->size ? 4 : 3;
    if (files.size() != wanted)
        return cli::usage_error(program, f.map->size
                                             ? "missing operand: OUTPUT.png"
                                             : "extra operand with --map none: " + files[2]);
    try {
        return run(files, view);
    } catch (const std::bad_alloc&) {
        cli::complain(name, files[0], "out of memory");
        return 1;
    }
}
