// palprep: reads a palette in any of the formats graphics editors write and writes the
// 256-colour JASC-PAL palette that palpack reads, moved to the machine's colours if asked.
#include "common/cli.h"
#include "palprep/prepare.h"

#include <algorithm>
#include <new>

namespace {

const char* const name = "palprep";
Preparation how;
bool verbose = false;

// text broken at blanks into lines of at most 79 characters.
std::string wrapped(const std::string& text) {
    std::string out;
    size_t line = 0;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min(text.find(' ', at), text.size());
        if (line && line + end - at >= 79) {
            out.back() = '\n';
            line = 0;
        }
        out += text.substr(at, end - at) + ' ';
        line += end - at + 1;
    }
    return out.substr(0, out.size() - 1);
}

const std::string summary = wrapped("Reads a palette (" + format_descriptions() +
                                    ", found by its content) and writes OUTPUT: a JASC-PAL "
                                    "palette of 256 colours that palpack reads.");
const std::string format_help = "read INPUT as F: " + format_names();

const cli::Program program = {
    name,
    "INPUT OUTPUT",
    summary.c_str(),
    {
        {"format", 0, "F", format_help.c_str(),
         [](const char* v) {
             how.format = format_named(v);
             return how.format ? "" : "expected " + format_names();
         }},
        {"depth", 0, "12|15|24|32",
         "move every colour to the one a machine of that depth shows\n(24 and 32: all of them)",
         [](const char* v) { return read_depth(v, &how.depth); }},
        {"snap", 0, "nearest|trunc", "the nearest shown colour (default) or the upper bits alone",
         [](const char* v) {
             how.snap_given = true;
             return read_snap(v, &how.snap);
         }},
        {"pad", 0, "R,G,B", "the colour after the palette's own, up to 256 (default 0,0,0)",
         [](const char* v) { return read_colour(v, &how.pad); }},
        {"strict", 0, nullptr, "fail when two colours become one at the depth",
         [](const char*) {
             how.strict = true;
             return "";
         }},
        {"verbose", 'v', nullptr, "say what was read and written",
         [](const char*) {
             verbose = true;
             return "";
         }},
    },
};

int run(const std::string& input, const std::string& output) {
    std::string bytes;
    std::string error = read_palette_file(input, &bytes);
    Palette palette;
    if (error.empty()) error = read_palette(bytes, how.format, &palette);
    if (!error.empty()) {
        cli::complain(name, input, error);
        return 1;
    }
    if (!palette.ignored.empty()) cli::warn(name, input, palette.ignored);
    if (verbose) {
        cli::complain(name, input,
                      colours_text(palette.colours.size()) + ", " + palette.format->title);
        if (palette.transparency) cli::complain(name, input, "transparency dropped");
    }

    Prepared p = prepare_palette(palette.colours, how);
    for (const std::vector<size_t>& group : p.merged) {
        std::string merge = merge_message(group, p.colours[group[0]], how.depth);
        how.strict ? cli::complain(name, input, merge) : cli::warn(name, input, merge);
    }
    if (how.strict && !p.merged.empty()) return 1;

    if (cli::write_output(name, output, jasc_text(p.colours), {input})) return 1;
    if (verbose) cli::complain(name, output, written_note(palette.colours.size(), p, how));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    int status = cli::read_flags(program, argc, argv, &files);
    if (status != cli::go_on) return status;
    if (how.snap_given && !how.depth) return cli::usage_error(program, "--snap needs --depth");
    if (how.strict && !how.depth) return cli::usage_error(program, "--strict needs --depth");
    try {
        return run(files[0], files[1]);
    } catch (const std::bad_alloc&) {
        cli::complain(name, files[0], "out of memory");
        return 1;
    }
}
