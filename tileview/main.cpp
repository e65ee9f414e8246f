// tileview: draws what the machine shows of tiles, a tile map and sub-palettes as tilepack writes
// them, as a PNG picture.
#include "common/cli.h"
#include "common/io.h"
#include "palettes/depth.h"
#include "tiles/options.h"
#include "tileview/draw.h"

#include <new>

namespace {

using namespace palettes;

const char* const name = "tileview";

struct Options {
    tiles::Given given;
    long long width = 32;
    bool verbose = false;
};

const std::string depth_value = depth_values();

cli::Program program(Options& o) {
    cli::Program p{
        name,
        "TILES PALETTES [MAP] OUTPUT.png",
        "Draws what the machine shows of TILES, PALETTES and MAP as tilepack writes them\n"
        "(with --map none, TILES is a bitmap and there is no MAP) into a PNG picture.",
        {
            {"depth", 0, depth_value.c_str(), "the colour depth of PALETTES (default 24)",
             [&o](const char* v) { return read_depth(v, &o.given.depth); }},
            {"width", 'w', "N", "tiles across, 1 to 4096 (default 32)",
             [&o](const char* v) { return cli::read_integer(v, 1, 4096, &o.width); }},
            {"verbose", 'v', nullptr, "say what was drawn",
             [&o](const char*) {
                 o.verbose = true;
                 return "";
             }},
        },
        3,
        4,
    };
    std::vector<cli::Option> format = tiles::format_options(o.given);
    p.options.insert(p.options.begin(), format.begin(), format.end());
    return p;
}

int run(const Options& o, const std::vector<std::string>& files, const tileview::View& view) {
    bool mapped = view.map->size != 0;
    std::string data[3]; // tiles, palettes, map
    for (size_t i = 0; i + 1 < files.size(); ++i) {
        std::string error = common::read_file(files[i], size_t(64) << 20, &data[i]);
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
    if (common::write_output(name, files.back(), png, inputs)) return 1;
    if (o.verbose)
        cli::note(name, files.back(),
                  std::to_string(picture.width) + " x " + std::to_string(picture.height) +
                      " pixels");
    return 0;
}

// The program's work, which cli::run() ends the way every program ends.
int work(int argc, char** argv) {
    Options o;
    std::vector<std::string> files;
    int status = cli::read_flags(program(o), argc, argv, &files);
    if (status != cli::go_on) return status;
    tiles::Format f;
    if (std::string why = tiles::settle(o.given, &f); !why.empty())
        return cli::usage_error(program(o), why);
    tileview::View view{f.layout, f.map, f.colours, f.depth, unsigned(o.width)};
    size_t wanted = f.map->size ? 4 : 3;
    if (files.size() != wanted)
        return cli::usage_error(program(o), f.map->size
                                                ? "missing operand: OUTPUT.png"
                                                : "extra operand with --map none: " + files[2]);
    return run(o, files, view);
}

} // namespace

int main(int argc, char** argv) {
    return cli::run(name, [&] { return work(argc, argv); });
}
