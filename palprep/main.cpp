// palprep: reads a palette in any of the formats graphics editors write and writes the
// 256-colour JASC-PAL palette that palpack reads, or with --pack the machine's binary palette
// itself, moved to the machine's colours if asked.
#include "common/cli.h"
#include "common/io.h"
#include "palprep/prepare.h"

namespace {

const char* const name = "palprep";

// What the command line asks for.
struct Settings {
    palprep::Preparation how;
    bool verbose = false, pack = false;
    size_t count = 0; // --count: 0 for none
};

const std::string summary = "Reads a palette (" + palettes::format_descriptions() +
                            ", found by its content) and writes OUTPUT: a JASC-PAL palette of 256 "
                            "colours that palpack reads, or with --pack the machine's binary "
                            "palette at the depth.";
const std::string format_help = "read INPUT as F: " + palettes::format_names();
const std::string depth_value = palettes::depth_values();

cli::Program command_line(Settings& s) {
    palprep::Preparation& how = s.how;
    return {
        name,
        "INPUT OUTPUT",
        summary.c_str(),
        {
            {"format", 0, "F", format_help.c_str(),
             [&how](const char* v) {
                 how.format = palettes::format_named(v);
                 return how.format ? "" : "expected " + palettes::format_names();
             }},
            {"depth", 0, depth_value.c_str(),
             "move every colour to the one a machine of that depth shows (24 and 32: all of them; "
             "6 and 9 need --pack)",
             [&how](const char* v) { return palettes::read_depth(v, &how.depth); }},
            {"pack", 0, nullptr,
             "write the binary palette of the depth, one entry a colour, instead of JASC-PAL",
             [&s](const char*) {
                 s.pack = true;
                 return "";
             }},
            {"count", 0, "N",
             "with --pack, the entries written, 1 to 256 (default: the input's colours), padded "
             "with --pad",
             [&s](const char* v) {
                 long long n = 0;
                 std::string why =
                     cli::read_integer(v, 1, static_cast<long long>(palettes::max_colours), &n);
                 s.count = size_t(n);
                 return why;
             }},
            {"snap", 0, "nearest|trunc",
             "the nearest shown colour (default) or the upper bits alone",
             [&how](const char* v) {
                 how.snap_given = true;
                 return palprep::read_snap(v, &how.snap);
             }},
            {"pad", 0, "R,G,B",
             "the colour after the palette's own, up to 256 or --count (default 0,0,0)",
             [&how](const char* v) { return palettes::read_colour(v, &how.pad); }},
            {"strict", 0, nullptr, "fail when two colours become one at the depth",
             [&how](const char*) {
                 how.strict = true;
                 return "";
             }},
            {"verbose", 'v', nullptr, "say what was read and written",
             [&s](const char*) {
                 s.verbose = true;
                 return "";
             }},
        },
    };
}

int run(Settings& s, const std::string& input, const std::string& output) {
    palprep::Preparation& how = s.how;
    std::string bytes;
    std::string error = palettes::read_palette_file(input, &bytes);
    palettes::Palette palette;
    if (error.empty()) error = palettes::read_palette(bytes, how.format, &palette);
    if (!error.empty()) {
        cli::complain(name, input, error);
        return 1;
    }
    if (!palette.ignored.empty()) cli::warn(name, input, palette.ignored);
    if (s.verbose) {
        cli::note(name, input,
                  palettes::colours_text(palette.colours.size()) + ", " + palette.format->title);
        if (palette.transparency) cli::note(name, input, "transparency dropped");
    }

    if (s.pack) how.count = s.count ? s.count : palette.colours.size();
    if (palette.colours.size() > how.count) {
        // Dropping the colours past the count would lose them unseen.
        cli::complain(name, input,
                      palettes::colours_text(palette.colours.size()) + ", more than --count " +
                          std::to_string(how.count));
        return 1;
    }
    palprep::Prepared p = palprep::prepare_palette(palette.colours, how);
    for (const std::vector<size_t>& group : p.merged) {
        std::string merge = palprep::merge_message(group, p.colours[group[0]], how.depth);
        how.strict ? cli::complain(name, input, merge) : cli::warn(name, input, merge);
    }
    if (how.strict && !p.merged.empty()) return 1;

    std::string written =
        s.pack ? palprep::binary_palette(p.colours, how.depth) : palprep::jasc_text(p.colours);
    if (common::write_output(name, output, written, {input})) return 1;
    if (s.verbose)
        cli::note(
            name, output,
            palprep::written_note(palette.colours.size(), p, how, s.pack ? written.size() : 0));
    return 0;
}

// The program's work, which cli::run() ends the way every program ends.
int work(int argc, char** argv) {
    Settings s;
    const palprep::Preparation& how = s.how;
    const cli::Program program = command_line(s);
    std::vector<std::string> files;
    int status = cli::read_flags(program, argc, argv, &files);
    if (status != cli::go_on) return status;
    if (how.snap_given && !how.depth) return cli::usage_error(program, "--snap needs --depth");
    if (how.strict && !how.depth) return cli::usage_error(program, "--strict needs --depth");
    if (s.pack && !how.depth) return cli::usage_error(program, "--pack needs --depth");
    if (s.count && !s.pack) return cli::usage_error(program, "--count needs --pack");
    if (!s.pack && how.depth && !colours::colour_layout(how.depth)->palpack)
        return cli::usage_error(program, "--depth " + std::to_string(how.depth) +
                                             " needs --pack (palpack writes " +
                                             palettes::depth_names(true) + ")");
    return run(s, files[0], files[1]);
}

} // namespace

int main(int argc, char** argv) {
    return cli::run(name, [&] { return work(argc, argv); });
}
