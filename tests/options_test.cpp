// --help and --version of the three converters, end to end: each counts only as the one and only
// argument; every other command line, a file named --help among them, keeps its meaning.
#include "tests/harness.h"
#include "tests/wav.h"

#include <sstream>

namespace {

struct OptionCase {
    const char* name;
    std::vector<std::string> args;
    std::string message; // what the program prints; "%s" stands for its invocation name
    int status;
    std::string file; // a file of this name, holding content, is in the folder before the run
    std::string content;
    std::string output;   // a file the run must create
    std::string contains; // text it must hold

    OptionCase(const char* name, std::vector<std::string> args, std::string message, int status)
        : name(name), args(std::move(args)), message(std::move(message)), status(status) {}
    OptionCase& given(const std::string& path, const std::string& bytes) {
        file = path;
        content = bytes;
        return *this;
    }
    OptionCase& creates(const std::string& path, const std::string& text) {
        output = path;
        contains = text;
        return *this;
    }
};

void PrintTo(const OptionCase& c, std::ostream* os) {
    *os << c.name;
}

std::string palette() {
    std::string text = "JASC-PAL\n0100\n256\n";
    for (int i = 0; i < 256; ++i) text += "1 2 3\n";
    return text;
}

std::string version(const std::string& program) {
    return version_text(program);
}

const std::string samplepack_help =
    "%s [input.wav]\n"
    "  input.wav  an 8-bit WAV file; its samples are packed into a file beside it,\n"
    "             with the extension .bin\n"
    "  --help     as the only argument: print this help\n"
    "  --version  as the only argument: print the version\n"
    "A key press ends the packing early. " +
    manual_line("samplepack");

const std::string binobj_help =
    "%s <input.bin> [banknr] [0x<address>] [identifier]\n"
    "  input.bin    any file; it is wrapped into an object module beside it, with the\n"
    "               extension .o\n"
    "  banknr       a code bank: the data goes into the area _CODE_banknr\n"
    "  0x<address>  a fixed address, in hexadecimal: the data goes into the area _ABS\n"
    "  identifier   the data's name: the symbol _identifier (default: the file name)\n"
    "  --help       as the only argument: print this help\n"
    "  --version    as the only argument: print the version\n" +
    manual_line("binobj");

const std::string palpack_help = "Syntax: %s <input.pal> <output.bin> [12|15|<24>|32]\n"
                                 "  input.pal      a JASC-PAL palette of exactly 256 colours\n"
                                 "  output.bin     the binary palette to write\n"
                                 "  12|15|<24>|32  the bits a colour (default 24)\n"
                                 "  --help         as the only argument: print this help\n"
                                 "  --version      as the only argument: print the version\n" +
                                 manual_line("palpack");

std::vector<OptionCase> samplepack_cases() {
    std::string sound = wav("\x10\x20");
    return {
        OptionCase("Help", {"--help"}, samplepack_help, 0),
        OptionCase("Version", {"--version"}, version("samplepack"), 0),
        OptionCase("HelpWithAFileOfThatName", {"--help"}, samplepack_help, 0)
            .given("--help", sound),
        OptionCase("FileNamedHelp", {"./--help"}, "", 0)
            .given("--help", sound)
            .creates("--help.bin", "\x02\x01\x12"),
        OptionCase("HelpWithMoreArguments", {"--help", "x"}, "Input error!\n", 1),
        OptionCase("OtherSpellings", {"-h"}, "Input error!\n", 1),
        OptionCase("NoArgument", {}, "%s [input.wav]\n", 1),
    };
}

std::vector<OptionCase> binobj_cases() {
    return {
        OptionCase("Help", {"--help"}, binobj_help, 0),
        OptionCase("Version", {"--version"}, version("binobj"), 0),
        OptionCase("FileNamedHelp", {"./--help"}, "", 0)
            .given("--help", "ab")
            .creates("--help.o", "M _--help"),
        // With a second argument --help is the input path, as always.
        OptionCase("HelpAsInputWithABank", {"--help", "2"}, "", 0)
            .given("--help", "ab")
            .creates("--help.o", "A _CODE_2 size 2 flags 0"),
        OptionCase("VersionAsMissingInput", {"--version", "2"}, "Error opening input file!\n", 255),
        OptionCase("NoArgument", {}, "%s <input.bin> [banknr] [0x<address>] [identifier]\n", 255),
    };
}

std::vector<OptionCase> palpack_cases() {
    return {
        // palpack wants two arguments: --help alone used to print the usage line.
        OptionCase("Help", {"--help"}, palpack_help, 0),
        OptionCase("Version", {"--version"}, version("palpack"), 0),
        OptionCase("FileNamedHelp", {"./--help", "out.bin"}, "", 0)
            .given("--help", palette())
            .creates("out.bin", "\x01\x02\x03"),
        OptionCase("HelpAsMissingInput", {"--help", "out.bin"}, "Error opening input file!\n", 255),
        OptionCase("OneOtherArgument", {"in.pal"},
                   "Syntax: %s <input.pal> <output.bin> [12|15|<24>|32]\n", 255),
    };
}

class ConverterOption : public testing::TestWithParam<std::pair<std::string, OptionCase>> {};

TEST_P(ConverterOption, CountsOnlyAsTheOnlyArgument) {
    const std::string& program = GetParam().first;
    const OptionCase& c = GetParam().second;
    TempDir t;
    if (!c.file.empty()) write_file(t / c.file, c.content);
    Result r = run(program, c.args, t.path());

    std::string expected = c.message;
    if (size_t at = expected.find("%s"); at != std::string::npos)
        expected.replace(at, 2, usage_name(program));
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, "");
    if (!c.output.empty()) {
        std::string written = read_file(t / c.output);
        EXPECT_NE(written.find(c.contains), std::string::npos) << hex(written);
    } else {
        EXPECT_FALSE(exists(t / "--help.bin") || exists(t / "--help.o") || exists(t / "out.bin"));
    }
}

std::vector<std::pair<std::string, OptionCase>> of(const std::string& program,
                                                   const std::vector<OptionCase>& cases) {
    std::vector<std::pair<std::string, OptionCase>> out;
    for (const OptionCase& c : cases) out.emplace_back(program, c);
    return out;
}

std::string case_name(const testing::TestParamInfo<std::pair<std::string, OptionCase>>& info) {
    return info.param.second.name;
}

// The help fits a terminal of 80 columns, as every program's does; the usage line, which holds the
// name the program was started by, aside.
TEST(ConverterHelp, FitsIn80Columns) {
    TempDir t;
    for (const char* program : {"samplepack", "binobj", "palpack"}) {
        Result r = run(program, {"--help"}, t.path());
        std::istringstream lines(r.out);
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << program;
        while (std::getline(lines, line)) EXPECT_LE(line.size(), 80u) << program << ": " << line;
    }
}

// Named after each program, so that the cases run against the Windows build under Wine too.
INSTANTIATE_TEST_SUITE_P(SamplepackOptions, ConverterOption,
                         testing::ValuesIn(of("samplepack", samplepack_cases())), case_name);
INSTANTIATE_TEST_SUITE_P(BinobjOptions, ConverterOption,
                         testing::ValuesIn(of("binobj", binobj_cases())), case_name);
INSTANTIATE_TEST_SUITE_P(PalpackOptions, ConverterOption,
                         testing::ValuesIn(of("palpack", palpack_cases())), case_name);

} // namespace
