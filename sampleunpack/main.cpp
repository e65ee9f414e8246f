// sampleunpack: plays a packed sample file into a 16-bit WAV file, to hear what the machine will.
#include "common/cli.h"
#include "common/io.h"
#include "samplepack/format.h"
#include "sampleunpack/unpack.h"

#include <filesystem>

namespace {

using sampleunpack::UnpackOptions;

const char* program = "sampleunpack";

std::vector<cli::Option> options(UnpackOptions& o, const char** dac) {
    static const std::string dac_text = sound::dac_help();
    return {
        {"rate", 'r', "HZ", "playing rate (default 8000)",
         [&o](const char* v) { return cli::read_number(v, 1, 1e6, &o.rate); }},
        {"dac", 'd', "NAME|FILE", dac_text.c_str(),
         [dac](const char* v) {
             *dac = v;
             return std::string();
         }},
        {"dc", 0, nullptr, "keep the raw levels, without the output's coupling",
         [&o](const char*) {
             o.dc = true;
             return std::string();
         }},
    };
}

// Reads the packed file. One too large to be one is refused for what its start and its size on
// disk show (a WAV file, a count that does not match); a device that never ends has no size.
std::string read_packed(const std::string& input, std::string* bytes) {
    std::string why = common::read_file(input, packed::max_size, bytes);
    if (bytes->size() <= packed::max_size) return why;
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(input, ec);
    return ec ? why + ", the most a packed sample file holds"
              : sampleunpack::check_size(*bytes, size);
}

// The program's work, which cli::run() ends the way every program ends.
int work(int argc, char** argv) {
    UnpackOptions o;
    const char* dac = sound::dacs()[0].name;
    cli::Program p{program, "INPUT OUTPUT",
                   "Plays a packed sample file through the player's levels into a 16-bit WAV "
                   "file.",
                   options(o, &dac)};
    std::vector<std::string> files;
    if (int status = cli::read_flags(p, argc, argv, &files); status != cli::go_on) return status;
    const std::string &input = files[0], &output = files[1];

    if (std::string why = sound::dac_table(dac, &o.dac); !why.empty()) {
        cli::complain(program, dac, why);
        return 1;
    }
    std::string bytes, wav, why = read_packed(input, &bytes);
    if (why.empty()) why = sampleunpack::unpack(bytes, o, &wav);
    if (!why.empty()) {
        cli::complain(program, input, why);
        return 1;
    }
    std::vector<std::string> inputs = {input};
    if (!o.dac.row) inputs.push_back(dac);
    return common::write_output(program, output, wav, inputs);
}

} // namespace

int main(int argc, char** argv) {
    return cli::run(program, [&] { return work(argc, argv); });
}
