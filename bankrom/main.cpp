// bankrom: turns a link with banks into a ROM image, bank n at n x 16384, since the linker's
// Intel HEX output keeps 16-bit addresses only and lays the banks on top of each other.
#include "bankrom/rom.h"
#include "common/cli.h"
#include "common/paths.h"

#include <algorithm>

namespace {

const char* const name = "bankrom";

struct Settings {
    std::string output; // -o: empty for the HEX image's name with .rom
};

// The largest input read: a map or HEX image of a full 16 MB address space is far smaller.
const size_t largest = size_t(64) << 20;

cli::Program program(Settings& s) {
    return {
        name,
        "HEX MAP [MODULE...]",
        "Writes the ROM image of a link with banks: the program's first 32 KB from its\n"
        "Intel HEX image, then bank n at n x 16384, each module where the linker's map\n"
        "puts it.",
        {
            {"output", 'o', "FILE",
             "the image, - for standard output (default: HEX with the\n"
             "extension .rom)",
             [&s](const char* v) {
                 s.output = v;
                 return std::string();
             }},
        },
        2,
        1 << 30,
    };
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    std::vector<std::string> paths;
    int status = cli::read_flags(program(s), argc, argv, &paths);
    if (status != cli::go_on) return status;
    // Standard input can be read once.
    if (std::count(paths.begin(), paths.end(), "-") > 1)
        return cli::usage_error(program(s), "- (standard input) named twice");
    std::string& output = s.output;
    if (output.empty() && paths[0] == "-")
        return cli::usage_error(program(s), "-o is needed when HEX is standard input");
    if (output.empty()) output = output_name(paths[0], ".rom");

    std::vector<bankrom::Text> texts(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        texts[i].path = paths[i];
        std::string why = cli::read_file(paths[i], largest, &texts[i].text);
        if (!why.empty()) {
            if (texts[i].text.size() > largest)
                why += ", too large for a HEX image, a map or a module";
            cli::complain(name, paths[i], why);
            return 1;
        }
    }
    std::string rom, file;
    std::vector<bankrom::Text> modules(texts.begin() + 2, texts.end());
    std::string why = bankrom::make_rom(texts[0], texts[1], modules, &rom, &file);
    if (!why.empty()) {
        cli::complain(name, file, why);
        return 1;
    }
    return cli::write_output(name, output, rom, paths);
}
