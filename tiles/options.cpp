#include "tiles/options.h"

namespace tiles {

std::string read_count(const char* text, long long min, long long max, int* value) {
    long long n = 0;
    std::string why = cli::read_integer(text, min, max, &n);
    *value = int(n);
    return why;
}

std::vector<cli::Option> format_options(Given& given) {
    static const std::string machine_help = "defaults of " + machine_names();
    static const std::string layout_help = "the tile layout: " + tile_layout_names();
    return {
        {"machine", 'm', "NAME", machine_help.c_str(),
         [&given](const char* v) {
             given.machine = machine(v);
             return given.machine ? "" : "expected " + machine_names();
         }},
        {"bits", 0, "2|4", "bits a pixel (default 4)",
         [&given](const char* v) {
             std::string why = read_count(v, 2, 4, &given.bits);
             return why.empty() && given.bits != 3 ? "" : "expected 2 or 4";
         }},
        {"layout", 0, "ROW", layout_help.c_str(),
         [&given](const char* v) {
             given.layout = tile_layout(v);
             return given.layout ? "" : "expected " + tile_layout_names();
         }},
        {"map", 0, "16|8|none", "the map entry (default 16)",
         [&given](const char* v) {
             given.map = map_layout(v);
             return given.map ? "" : "expected " + map_layout_names();
         }},
        {"colours", 0, "N",
         "colours a sub-palette, colour 0 included\n(default 16, or 4 at 2 bits)",
         [&given](const char* v) { return read_count(v, 2, 16, &given.colours); }},
    };
}

} // namespace tiles
