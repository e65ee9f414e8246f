// What every program of the build keeps alike, run end to end over the list of programs the
// build declares: a help within 80 columns, a failed standard output told and never taken for
// success, and an empty path refused before anything is written.
#include "tests/harness.h"
#include "tests/tools.h"

#include <algorithm>
#include <sstream>

namespace {

// The programs of this build, from their declarations (ASSETKIT_PROGRAM_LIST: "a,b,c").
std::vector<std::string> programs() {
    std::vector<std::string> names;
    std::istringstream list(ASSETKIT_PROGRAM_LIST);
    for (std::string name; std::getline(list, name, ',');)
        if (!name.empty()) names.push_back(name);
    return names;
}

bool built(const std::string& name) {
    std::vector<std::string> all = programs();
    return std::find(all.begin(), all.end(), name) != all.end();
}

class EveryProgram : public testing::TestWithParam<std::string> {};

// No line of any program's --help is wider than 80 columns, the program named as a user types it
// (the runs here name it by its whole path).
TEST_P(EveryProgram, HelpFitsIn80Columns) {
    const std::string& name = GetParam();
    TempDir t;
    Result r = run(name, {"--help"}, t.path());
    EXPECT_EQ(r.status, 0);
    std::string help = r.out, path = usage_name(name);
    for (size_t at; (at = help.find(path)) != std::string::npos;)
        help.replace(at, path.size(), name);
    std::istringstream lines(help);
    size_t widest = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 80u) << line;
        widest = std::max(widest, line.size());
    }
    RecordProperty("widest", int(widest));
}

// Standard output on a full device: --help and --version say that it failed and end with a
// failure, as a lost write is no success.
TEST_P(EveryProgram, SaysAFailedStandardOutput) {
    const std::string& name = GetParam();
    TempDir t;
    for (const char* option : {"--help", "--version"}) {
        Tool r =
            tool({"sh", "-c", "exec \"$0\" \"$@\" > /dev/full", program(name), option}, t.path());
        EXPECT_NE(r.status, 0) << option;
        EXPECT_EQ(r.output, name + ": standard output: No space left on device\n") << option;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, EveryProgram, testing::ValuesIn(programs()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

// Standard output closed from the start (>&-): a run that prints nothing there succeeds, one
// that prints is told.
TEST(ProgramsReport, AClosedStandardOutputFailsOnlyWhatIsPrinted) {
    TempDir t;
    write_file(t / "a.bin", "abc");
    Tool quiet =
        tool({"sh", "-c", "exec \"$0\" \"$@\" >&-", program("bankplan"), "a.bin"}, t.path());
    EXPECT_EQ(quiet.status, 0) << quiet.output;
    EXPECT_EQ(quiet.output, "");
    Tool told =
        tool({"sh", "-c", "exec \"$0\" \"$@\" >&-", program("bankplan"), "-v", "a.bin"}, t.path());
    EXPECT_EQ(told.status, 1);
    EXPECT_EQ(told.output, "bankplan: standard output: Bad file descriptor\n");
}

// bankplan's report, its one output on standard output, lost on a full device: the outputs are
// written, and the run fails.
TEST(ProgramsReport, AFailedStandardOutputFails) {
    TempDir t;
    write_file(t / "a.bin", "abc");
    Tool r =
        tool({"sh", "-c", "exec \"$0\" \"$@\" > /dev/full", program("bankplan"), "-v", "a.bin"},
             t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "bankplan: standard output: No space left on device\n");
    EXPECT_TRUE(exists(t / "banks.h"));
}

struct EmptyPath {
    std::string name;
    std::string program;
    std::vector<std::string> args;
    std::string message; // the first line on standard error
};

void PrintTo(const EmptyPath& c, std::ostream* os) {
    *os << c.name;
}

std::vector<EmptyPath> empty_paths() {
    std::vector<EmptyPath> all = {
        {"BankplanOutputLong",
         "bankplan",
         {"--output=", "a.bin"},
         "bankplan: --output '': expected a folder name"},
        {"BankplanOutputLetter",
         "bankplan",
         {"-o", "", "a.bin"},
         "bankplan: -o '': expected a folder name"},
        {"BankplanInput", "bankplan", {"a.bin", ""}, "bankplan: empty operand"},
        {"BankromOutput",
         "bankrom",
         {"--output=", "a.ihx", "a.map"},
         "bankrom: --output '': expected a file name"},
        {"BankromHex", "bankrom", {"", "a.map"}, "bankrom: empty operand"},
        {"SampleprepDac",
         "sampleprep",
         {"--dac=", "a.wav", "b.wav"},
         "sampleprep: --dac '': expected a name or a file name"},
        {"SampleprepOutput", "sampleprep", {"a.wav", ""}, "sampleprep: empty operand: OUTPUT"},
        {"SampleunpackDac",
         "sampleunpack",
         {"-d", "", "a.bin", "b.wav"},
         "sampleunpack: -d '': expected a name or a file name"},
        {"SampleunpackInput", "sampleunpack", {"", "b.wav"}, "sampleunpack: empty operand: INPUT"},
        {"PalprepOutput", "palprep", {"a.pal", ""}, "palprep: empty operand: OUTPUT"},
        {"PalviewSource",
         "palview",
         {"--source=", "a.bin", "b.png"},
         "palview: --source '': expected a file name"},
        {"PalviewOutput", "palview", {"a.bin", ""}, "palview: empty operand: OUTPUT.png"},
        {"TilepackOutput",
         "tilepack",
         {"-o", "", "a.png"},
         "tilepack: -o '': expected a folder name"},
        {"TileviewTiles", "tileview", {"", "b.bin", "c.map", "o.png"}, "tileview: empty operand"},
    };
    std::vector<EmptyPath> cases;
    for (const EmptyPath& c : all)
        if (built(c.program)) cases.push_back(c);
    return cases;
}

class ProgramsRefuse : public testing::TestWithParam<EmptyPath> {};

// An empty name where a file or folder is expected is a usage error: not a default output, not
// the current folder.
TEST_P(ProgramsRefuse, AnEmptyPath) {
    const EmptyPath& c = GetParam();
    TempDir t;
    write_file(t / "a.bin", "abc");
    auto before = snapshot(t.path());
    Result r = run(c.program, c.args, t.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.message);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(t.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramsRefuse, testing::ValuesIn(empty_paths()), ByName());

// Standard input that is a folder is refused in the same words by every program that reads "-",
// through the one open_input.
TEST(ProgramsRefuse, AFolderAsStandardInput) {
    struct Case {
        std::string program;
        std::vector<std::string> args;
    };
    for (const Case& c : std::vector<Case>{{"sampleprep", {"-", "out.wav"}},
                                           {"sampleunpack", {"-", "out.wav"}},
                                           {"palprep", {"-", "out.pal"}},
                                           {"palview", {"-", "out.png"}},
                                           {"bankrom", {"-o", "out.rom", "-", "a.map"}}}) {
        if (!built(c.program)) continue;
        TempDir t;
        std::vector<std::string> argv = {"sh", "-c", "exec \"$0\" \"$@\" < .", program(c.program)};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        Tool r = tool(argv, t.path());
        EXPECT_EQ(r.status, 1) << c.program;
        EXPECT_EQ(r.output, c.program + ": -: Is a directory\n");
        EXPECT_EQ(listing(t.path()), std::vector<std::string>{}) << c.program;
    }
}

} // namespace
