// tilepack: PNG pictures into the machine's tiles, a tile map for each picture and the fewest
// sub-palettes, in the machine's own byte layouts.
#include "common/cli.h"
#include "palettes/depth.h"
#include "tilepack/pack.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <new>
#include <set>

namespace {

const char* const name = "tilepack";

// The options as given; the machine's row fills what is not.
struct Options {
    tiles::Given given;
    bool verbose = false;
    std::string output;
    tilepack::Settings settings;
} o;

std::string read_colour(const char* text, Colour* c) {
    int v[3], end = 0;
    bool ok = sscanf(text, "%3d,%3d,%3d%n", &v[0], &v[1], &v[2], &end) == 3 && text[end] == '\0';
    for (int x : v) ok = ok && x >= 0 && x <= 255;
    if (!ok) return "expected R,G,B with numbers 0-255";
    *c = {uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])};
    return "";
}

std::string read_count(const char* text, long long min, long long max, int* value) {
    long long n = 0;
    std::string why = cli::read_integer(text, min, max, &n);
    *value = int(n);
    return why;
}

const std::string machine_help = "defaults of " + tiles::machine_names();
const std::string layout_help = "the tile layout: " + tiles::tile_layout_names();
const std::string map_help = "the map entry (default 16)";
const std::string depth_value = depth_values();

const cli::Program program = {
    name,
    "PICTURE...",
    "Turns PNG pictures into DIR/tiles.bin (the tiles they share, duplicates and\n"
    "flipped duplicates stored once), DIR/palettes.bin (the fewest sub-palettes) and\n"
    "DIR/NAME.map for each NAME.png, in the machine's layouts.",
    {
        {"output", 'o', "DIR", "the folder to write into (made if missing)",
         [](const char* v) {
             o.output = v;
             return "";
         }},
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
        {"map", 0, "16|8|none", map_help.c_str(),
         [](const char* v) {
             o.given.map = tiles::map_layout(v);
             return o.given.map ? "" : "expected " + tiles::map_layout_names();
         }},
        {"colours", 0, "N",
         "colours a sub-palette, colour 0 included\n(default 16, or 4 at 2 bits)",
         [](const char* v) { return read_count(v, 2, 16, &o.given.colours); }},
        {"palettes", 0, "N", "the most sub-palettes (default: what the map\nselects)",
         [](const char* v) { return read_count(v, 1, 256, &o.given.palettes); }},
        {"depth", 0, depth_value.c_str(), "the colour depth of palettes.bin (default 24)",
         [](const char* v) { return read_depth(v, &o.given.depth); }},
        {"background", 0, "R,G,B",
         "colour 0 of every sub-palette and of transparent\npixels (default 0,0,0)",
         [](const char* v) { return read_colour(v, &o.settings.background); }},
        {"pad", 0, "R,G,B", "fill pictures to a multiple of 8 with it",
         [](const char* v) {
             o.settings.pad = true;
             return read_colour(v, &o.settings.pad_colour);
         }},
        {"priority", 0, nullptr, "set every map entry's priority bit",
         [](const char*) {
             o.settings.priority = true;
             return "";
         }},
        {"room", 0, "N",
         "the tiles the machine holds (default: the\nmachine's, else what the map indexes)",
         [](const char* v) {
             long long n = 0;
             std::string why = cli::read_integer(v, 1, 1 << 20, &n);
             o.given.room = n;
             return why;
         }},
        {"limit", 0, nullptr, "more tiles than the room: a warning, not a\nfailure",
         [](const char*) {
             o.settings.limit = true;
             return "";
         }},
        {"no-flip", 0, nullptr, "store a flipped copy of a tile as it is",
         [](const char*) {
             o.settings.flips = false;
             return "";
         }},
        {"no-dedup", 0, nullptr, "store every tile, duplicates too",
         [](const char*) {
             o.settings.dedup = false;
             return "";
         }},
        {"verbose", 'v', nullptr, "report tiles, sub-palettes and bytes",
         [](const char*) {
             o.verbose = true;
             return "";
         }},
    },
    1,
    1 << 16,
};

// The settings from the machine's row and the options over it; "" or the usage error.
std::string settle(tilepack::Settings* s) {
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

int run(const std::vector<std::string>& files) {
    std::vector<tilepack::Input> inputs;
    std::set<std::string> names;
    for (const std::string& file : files) {
        std::string bytes;
        tilepack::Input in;
        in.name = file;
        std::string error = cli::read_file(file, size_t(64) << 20, &bytes);
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
    if (cli::write_outputs(name, outputs, files)) {
        if (made) std::filesystem::remove(folder, code);
        return 1;
    }
    if (o.verbose) {
        const tilepack::Report& r = packed.report;
        const tiles::Cover& c = r.cover;
        std::string found =
            c.optimal ? "optimal"
                      : "lower bound " + std::to_string(c.lower_bound) + ", the search gave up";
        cli::complain(name, o.output,
                      plural(r.tiles, "tile", "tiles") + ": " + std::to_string(r.distinct) +
                          " without duplicates, " + std::to_string(r.flipped) +
                          " with flips too; " + std::to_string(r.stored) + " stored");
        cli::complain(name, o.output,
                      plural(size_t(c.palettes), "sub-palette", "sub-palettes") + " (" + found +
                          "; first-fit " + std::to_string(c.first_fit) + ", overload-and-remove " +
                          std::to_string(c.overload) + ") for " +
                          plural(r.colours, "colour", "colours") + " besides the background");
        if (r.transparent)
            cli::complain(name, o.output,
                          plural(r.transparent, "transparent pixel", "transparent pixels") +
                              " in colour 0");
        for (const auto& [file, bytes] : outputs)
            cli::complain(name, file, plural(bytes.size(), "byte", "bytes"));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    int status = cli::read_flags(program, argc, argv, &files);
    if (status != cli::go_on) return status;
    if (std::string why = settle(&o.settings); !why.empty()) return cli::usage_error(program, why);
    try {
        return run(files);
    } catch (const std::bad_alloc&) {
        cli::complain(name, files[0], "out of memory");
        return 1;
    }
}
