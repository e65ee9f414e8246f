// tilepack: PNG pictures into the machine's tiles, a tile map for each picture and the fewest
// sub-palettes, in the machine's own byte layouts.
#include "common/cli.h"
#include "common/io.h"
#include "palettes/depth.h"
#include "tilepack/pack.h"
#include "tiles/options.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <new>
#include <set>

namespace {

using namespace palettes;

const char* const name = "tilepack";

// The options as given; the machine's row fills what is not.
struct Options {
    tiles::Given given;
    bool verbose = false;
    std::string output;
    tilepack::Settings settings;
};

const std::string depth_value = depth_values();

cli::Program program(Options& o) {
    cli::Program p{
        name,
        "PICTURE...",
        "Turns PNG pictures into DIR/tiles.bin (the tiles they share, duplicates and\n"
        "flipped duplicates stored once), DIR/palettes.bin (the fewest sub-palettes) and\n"
        "DIR/NAME.map for each NAME.png, in the machine's layouts.",
        {
            {"output", 'o', "DIR", "the folder to write into (made if missing)",
             [&o](const char* v) {
                 o.output = v;
                 return "";
             }},
            {"palettes", 0, "N", "the most sub-palettes (default: what the map\nselects)",
             [&o](const char* v) { return tiles::read_count(v, 1, 256, &o.given.palettes); }},
            {"depth", 0, depth_value.c_str(), "the colour depth of palettes.bin (default 24)",
             [&o](const char* v) { return read_depth(v, &o.given.depth); }},
            {"background", 0, "R,G,B",
             "colour 0 of every sub-palette and of transparent\npixels (default 0,0,0)",
             [&o](const char* v) { return palettes::read_colour(v, &o.settings.background); }},
            {"pad", 0, "R,G,B", "fill pictures to a multiple of 8 with it",
             [&o](const char* v) {
                 o.settings.pad = true;
                 return palettes::read_colour(v, &o.settings.pad_colour);
             }},
            {"priority", 0, nullptr, "set every map entry's priority bit",
             [&o](const char*) {
                 o.settings.priority = true;
                 return "";
             }},
            {"room", 0, "N",
             "the tiles the machine holds (default: the\nmachine's, else what the map indexes)",
             [&o](const char* v) {
                 long long n = 0;
                 std::string why = cli::read_integer(v, 1, 1 << 20, &n);
                 o.given.room = n;
                 return why;
             }},
            {"limit", 0, nullptr, "more tiles than the room: a warning, not a\nfailure",
             [&o](const char*) {
                 o.settings.limit = true;
                 return "";
             }},
            {"no-flip", 0, nullptr, "store a flipped copy of a tile as it is",
             [&o](const char*) {
                 o.settings.flips = false;
                 return "";
             }},
            {"no-dedup", 0, nullptr, "store every tile, duplicates too",
             [&o](const char*) {
                 o.settings.dedup = false;
                 return "";
             }},
            {"verbose", 'v', nullptr, "report tiles, sub-palettes and bytes",
             [&o](const char*) {
                 o.verbose = true;
                 return "";
             }},
        },
        1,
        1 << 16,
    };
    std::vector<cli::Option> format = tiles::format_options(o.given);
    p.options.insert(p.options.begin() + 1, format.begin(), format.end());
    return p;
}

// The settings from the machine's row and the options over it; "" or the usage error.
std::string settle(const Options& o, tilepack::Settings* s) {
    tiles::Format f;
    if (std::string why = tiles::settle(o.given, &f); !why.empty()) return why;
    s->layout = f.layout;
    s->map = f.map;
    s->colours = f.colours;
    s->palettes = f.palettes;
    s->depth = f.depth;
    s->room = f.room;
    if (o.output.empty()) return "missing option: -o DIR";
    if (o.output == "-") return "-o -: the outputs are files in a folder, not standard output";
    return tilepack::check(*s);
}

// The map's name of a picture: its file name without the folder and the .png.
std::string map_name(const std::string& path) {
    if (path == "-") return "stdin";
    std::filesystem::path p = std::filesystem::u8path(path);
    std::string stem = p.filename().u8string();
    if (stem.size() > 4) {
        std::string tail = stem.substr(stem.size() - 4);
        for (char& c : tail) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (tail == ".png") stem.resize(stem.size() - 4);
    }
    return stem;
}

std::string plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

int run(const Options& o, const std::vector<std::string>& files) {
    std::vector<tilepack::Input> inputs;
    std::set<std::string> names;
    for (const std::string& file : files) {
        std::string bytes;
        tilepack::Input in;
        in.name = file;
        std::string error = common::read_file(file, size_t(64) << 20, &bytes);
        if (!error.empty() && bytes.size() > (size_t(64) << 20))
            error += ", too large for a picture";
        if (error.empty()) error = tiles::decode_png(bytes, &in.picture);
        if (error.empty() && o.settings.map->size && !names.insert(map_name(file)).second)
            error = "another picture's map is also " + map_name(file) + ".map";
        if (!error.empty()) {
            cli::complain(name, file, error);
            return 1;
        }
        inputs.push_back(std::move(in));
    }
    tilepack::Packed packed;
    std::string error = tilepack::pack(inputs, o.settings, &packed);
    if (!error.empty()) {
        cli::complain(name, packed.where.empty() ? o.output : packed.where, error);
        return 1;
    }
    for (const std::string& w : packed.warnings) cli::warn(name, o.output, w);

    std::string dir = o.output;
    auto path = [&](const std::string& file) { return dir == "/" ? "/" + file : dir + "/" + file; };
    std::vector<std::pair<std::string, std::string>> outputs = {
        {path("tiles.bin"), packed.tiles}, {path("palettes.bin"), packed.palettes}};
    for (size_t i = 0; i < packed.maps.size(); ++i)
        outputs.push_back({path(map_name(files[i]) + ".map"), packed.maps[i]});
    std::error_code code;
    std::filesystem::path folder = std::filesystem::u8path(dir);
    bool made =
        !std::filesystem::exists(folder, code) && std::filesystem::create_directory(folder, code);
    if (code) {
        cli::complain(name, dir, code.message());
        return 1;
    }
    if (common::write_outputs(name, outputs, files)) {
        if (made) std::filesystem::remove(folder, code);
        return 1;
    }
    if (o.verbose) {
        const tilepack::Report& r = packed.report;
        const tiles::Cover& c = r.cover;
        std::string found =
            c.optimal ? "optimal"
                      : "lower bound " + std::to_string(c.lower_bound) + ", the search gave up";
        cli::note(name, o.output,
                  plural(r.tiles, "tile", "tiles") + ": " + std::to_string(r.distinct) +
                      " without duplicates, " + std::to_string(r.flipped) + " with flips too; " +
                      std::to_string(r.stored) + " stored");
        cli::note(name, o.output,
                  plural(size_t(c.palettes), "sub-palette", "sub-palettes") + " (" + found +
                      "; first-fit " + std::to_string(c.first_fit) + ", overload-and-remove " +
                      std::to_string(c.overload) + ") for " +
                      plural(r.colours, "colour", "colours") + " besides the background");
        if (r.transparent)
            cli::note(name, o.output,
                      plural(r.transparent, "transparent pixel", "transparent pixels") +
                          " in colour 0");
        for (const auto& [file, bytes] : outputs)
            cli::note(name, file, plural(bytes.size(), "byte", "bytes"));
    }
    return 0;
}

// The program's work, which cli::run() ends the way every program ends.
int work(int argc, char** argv) {
    Options o;
    std::vector<std::string> files;
    int status = cli::read_flags(program(o), argc, argv, &files);
    if (status != cli::go_on) return status;
    if (std::string why = settle(o, &o.settings); !why.empty())
        return cli::usage_error(program(o), why);
    return run(o, files);
}

} // namespace

int main(int argc, char** argv) {
    return cli::run(name, [&] { return work(argc, argv); });
}
