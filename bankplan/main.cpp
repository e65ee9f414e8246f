// bankplan: places assets into as few banks of a 16 KB mapper as it can, and writes an object
// module for each, a C header that names their banks and the linker options that place the banks.
#include "bankplan/bankplan.h"
#include "common/cli.h"
#include "common/files.h"
#include "common/io.h"

#include <cerrno>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unordered_map>

namespace {

const char* const name = "bankplan";

cli::Program program(bankplan::Options& o) {
    return {
        name,
        "FILE...",
        "Places files into as few banks as it can and writes, into the output folder, an "
        "object module for each (NAME.rel), banks.h, the linker options banks.opt and the "
        "list of modules banks.lst; all of them, or none when any cannot be written.",
        {
            {"size", 's', "BYTES", "bytes a bank, 1 to 16384 (default 16384)",
             [&o](const char* v) {
                 long long n = 0;
                 std::string why = cli::read_integer(v, 1, bankplan::largest_bank_size, &n);
                 o.size = long(n);
                 return why;
             }},
            {"first", 'f', "N", "the first bank's number, 2 to 255 (default 2)",
             [&o](const char* v) {
                 long long n = 0;
                 std::string why =
                     cli::read_integer(v, machines::first_bank, bankplan::last_bank, &n);
                 o.first = int(n);
                 return why.empty() ? why : why + " (banks 0 and 1 hold the program)";
             }},
            {"output", 'o', "DIR", "the folder to write into (default .)",
             [&o](const char* v) {
                 o.dir = v;
                 return std::string();
             }},
            {"split", 0, nullptr, "cut a file larger than a bank across consecutive banks",
             [&o](const char*) {
                 o.split = true;
                 return std::string();
             }},
            {"reserve", 0, "NAMES",
             "names the program uses, split by commas: no input may take one in banks.h",
             [&o](const char* v) { return bankplan::read_reserved(v, &o.reserved); }},
            {"verbose", 'v', nullptr, "report the banks on standard output",
             [&o](const char*) {
                 o.verbose = true;
                 return std::string();
             }},
        },
        1,
        1 << 30,
    };
}

// Each input by a file's name, which names its asset (standard input has none), and each path
// once. False after complaining.
bool inputs_named(const std::vector<std::string>& paths) {
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        if (path == "-") {
            cli::complain(name, path, "standard input has no file name to name its asset");
            return false;
        }
        if (!seen.insert(path).second) {
            cli::complain(name, path, "given twice");
            return false;
        }
    }
    return true;
}

// No file given twice by two paths (a link, "./a.bin" and "a.bin"). Only inputs of the same
// bytes can be one file, so only those are asked of the file system: asking of every pair took
// minutes for a few hundred inputs where each question opens both files. False after complaining.
bool inputs_once(const std::vector<bankplan::Input>& inputs) {
    std::unordered_map<size_t, std::vector<size_t>> by_bytes;
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::vector<size_t>& alike = by_bytes[std::hash<std::string>()(inputs[i].bytes)];
        for (size_t j : alike)
            if (inputs[j].bytes == inputs[i].bytes &&
                common::same_file(inputs[j].path.c_str(), inputs[i].path.c_str())) {
                cli::complain(name, inputs[i].path, "given twice (as " + inputs[j].path + " too)");
                return false;
            }
        alike.push_back(i);
    }
    return true;
}

// The output folder, named as such when it is not there, not by the first output that cannot be
// made in it. False after complaining.
bool folder_there(const std::string& dir) {
    struct stat folder;
    int err = stat(dir.c_str(), &folder) != 0 ? errno : S_ISDIR(folder.st_mode) ? 0 : ENOTDIR;
    if (err != 0) cli::complain(name, dir, strerror(err));
    return err == 0;
}

// The program's work, which cli::run() ends the way every program ends.
int work(int argc, char** argv) {
    bankplan::Options o;
    std::vector<std::string> paths;
    int status = cli::read_flags(program(o), argc, argv, &paths);
    if (status != cli::go_on) return status;

    if (!inputs_named(paths)) return 1;
    // Read one byte past the most an input may hold, so that the core names a larger one.
    std::vector<bankplan::Input> inputs(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        inputs[i].path = paths[i];
        std::string why = common::read_file(paths[i], bankplan::input_limit(o), &inputs[i].bytes);
        if (!why.empty() && inputs[i].bytes.size() <= bankplan::input_limit(o)) {
            cli::complain(name, paths[i], why);
            return 1;
        }
    }
    if (!inputs_once(inputs)) return 1;
    bankplan::Layout layout;
    std::vector<bankplan::OutputFile> made;
    std::string file;
    std::string why = bankplan::plan_layout(std::move(inputs), o, &layout, &file);
    if (why.empty()) why = bankplan::make_outputs(layout, o, &made, &file);
    if (!why.empty()) {
        cli::complain(name, file, why);
        return 1;
    }
    if (!folder_there(o.dir)) return 1;
    std::vector<std::pair<std::string, std::string>> outputs;
    for (bankplan::OutputFile& f : made) outputs.emplace_back(f.path, std::move(f.bytes));
    if (common::write_outputs(name, outputs, paths)) return 1;
    if (o.verbose) fputs(bankplan::report(layout).c_str(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return cli::run(name, [&] { return work(argc, argv); });
}
