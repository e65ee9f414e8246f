// palpack run on real palette files: bytes written, messages, exit status and what is left on disk.
#include "palpack/messages.h"
#include "tests/harness.h"

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const header = "JASC-PAL\n0100\n256\n";

// The test palette: every component different from its neighbours and all of 0 to 255 used.
std::vector<int> components() {
    std::vector<int> v;
    for (int i = 0; i < 256; ++i) {
        v.push_back(i);
        v.push_back((i * 37 + 11) % 256);
        v.push_back(255 - i);
    }
    return v;
}

// Colours first to last - 1 of the test palette, one to a line.
std::string colours(int first, int last, const std::string& eol = "\n") {
    std::vector<int> v = components();
    std::string text;
    for (int i = first; i < last; ++i)
        text += std::to_string(v[3 * i]) + " " + std::to_string(v[3 * i + 1]) + " " +
                std::to_string(v[3 * i + 2]) + eol;
    return text;
}

// The bytes of numbers written at depth 24: each the low 8 bits of a number.
std::string triples(const std::vector<int>& numbers) {
    std::string out;
    for (int n : numbers) out += static_cast<char>(n & 0xFF);
    return out;
}

// The test palette as it must come out at a depth; components of 0 to 255 need no bit tricks.
std::string packed(int depth) {
    std::vector<int> v = components();
    std::string out;
    for (size_t i = 0; i < v.size(); i += 3) {
        int r = v[i], g = v[i + 1], b = v[i + 2], word = 0;
        if (depth == 12) word = r / 16 + g / 16 * 16 + b / 16 * 256;
        if (depth == 15) word = r / 8 + g / 8 * 32 + b / 8 * 1024;
        if (depth == 12 || depth == 15) {
            out += static_cast<char>(word % 256);
            out += static_cast<char>(word / 256);
        } else {
            out += {static_cast<char>(r), static_cast<char>(g), static_cast<char>(b)};
            if (depth == 32) out += '\0';
        }
    }
    return out;
}

std::string message(const std::string& text) {
    return text + "\n";
}

class Palpack : public testing::Test {
  protected:
    TempDir t;
    Result palpack(const std::vector<std::string>& args) { return run("palpack", args, t.path()); }
};

// The test palette is written at the depth the third argument gives.
struct DepthCase {
    std::vector<std::string> extra; // arguments after the input and output
    int depth;                      // 0: not a depth the program takes
    size_t size;
};

// The arguments, "_" between them, each blank spelled "_", a sign spelled out; an empty argument
// list is "None".
std::string depth_name(const testing::TestParamInfo<DepthCase>& info) {
    std::string name;
    for (const std::string& arg : info.param.extra) {
        if (!name.empty()) name += "_";
        for (char ch : arg) name += ch == '+' ? "Plus" : ch == '-' ? "Minus" : std::string(1, ch);
    }
    for (char& ch : name)
        if (ch == ' ') ch = '_';
    return name.empty() ? "None" : name;
}

class DepthArgument : public Palpack, public testing::WithParamInterface<DepthCase> {};

TEST_P(DepthArgument, WritesTheWholePaletteAtThatDepth) {
    const DepthCase& c = GetParam();
    write_file(t / "in.pal", header + colours(0, 256));
    write_file(t / "out.bin", "old contents");
    std::vector<std::string> args = {"in.pal", "out.bin"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    Result r = palpack(args);
    std::string out = read_file(t / "out.bin");
    if (c.depth == 0) {
        EXPECT_EQ(r.out, palpack::depth_error);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(out, ""); // created, and found wrong only after the first colour was read
    } else {
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(out.size(), c.size);
        EXPECT_EQ(hex(out), hex(packed(c.depth)));
    }
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Palpack, DepthArgument,
                         testing::Values(DepthCase{{}, 24, 768}, DepthCase{{"12"}, 12, 512},
                                         DepthCase{{"15"}, 15, 512}, DepthCase{{"24"}, 24, 768},
                                         DepthCase{{"32"}, 32, 1024}, DepthCase{{"16"}, 0, 0},
                                         DepthCase{{"8"}, 0, 0}, DepthCase{{"0"}, 0, 0},
                                         DepthCase{{"-12"}, 0, 0}, DepthCase{{"text"}, 0, 0},
                                         DepthCase{{"24abc"}, 24, 768}, DepthCase{{"015"}, 15, 512},
                                         DepthCase{{" 12"}, 12, 512}, DepthCase{{"+12"}, 12, 512},
                                         DepthCase{{"4294967308"}, 12, 512}, // 2^32 + 12
                                         DepthCase{{"32", "extra", "arguments"}, 32, 1024}),
                         depth_name);

// Entries whose bytes are known, at each depth: out-of-range components spill into their
// neighbours' bits, and every byte is the low 8 bits of its value.
struct Worked {
    const char* rgb;
    const char* bytes[4]; // at depths 12, 15, 24, 32
};

const Worked worked[] = {
    {"255 128 0", {"8F 00", "1F 02", "FF 80 00", "FF 80 00 00"}},
    {"0 0 255", {"00 0F", "00 7C", "00 00 FF", "00 00 FF 00"}},
    {"255 255 255", {"FF 0F", "FF 7F", "FF FF FF", "FF FF FF 00"}},
    {"300 0 0", {"12 00", "25 00", "2C 00 00", "2C 00 00 00"}},
    {"-1 0 0", {"FF FF", "FF FF", "FF 00 00", "FF 00 00 00"}},
    {"0 -16 0", {"F0 FF", "C0 FF", "00 F0 00", "00 F0 00 00"}},
    {"4096 0 0", {"00 01", "00 02", "00 00 00", "00 00 00 00"}},
    {"4294967551 0 0", {"0F 00", "1F 00", "FF 00 00", "FF 00 00 00"}},
    {"+16 -0 0", {"01 00", "02 00", "10 00 00", "10 00 00 00"}},
};

class WorkedEntries : public Palpack, public testing::WithParamInterface<int> {};

TEST_P(WorkedEntries, PackAsTheTableSays) {
    int depth = GetParam();
    int d = depth == 12 ? 0 : depth == 15 ? 1 : depth == 24 ? 2 : 3;
    std::string text = header, want;
    for (const Worked& w : worked) {
        text += std::string(w.rgb) + "\n";
        want += bytes(w.bytes[d]);
    }
    size_t size = want.size() / std::size(worked) * 256;
    for (size_t i = std::size(worked); i < 256; ++i) text += "0 0 0\n";
    write_file(t / "in.pal", text);
    Result r = palpack({"in.pal", "out.bin", std::to_string(depth)});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    std::string out = read_file(t / "out.bin");
    EXPECT_EQ(out.size(), size);
    EXPECT_EQ(hex(out.substr(0, want.size())), hex(want));
    EXPECT_EQ(out.find_first_not_of('\0', want.size()), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Palpack, WorkedEntries, testing::Values(12, 15, 24, 32),
                         [](const auto& info) { return "Depth" + std::to_string(info.param); });

// What the header patterns and the entries make of palette files that differ from the plain
// form, read at the default depth so that the output shows the numbers as they were taken.
struct FileCase {
    const char* name;
    std::string text;
    std::vector<int> numbers; // the numbers written, three to a colour
    const char* error;        // null: success
};

std::vector<int> numbers(int first, int last) {
    std::vector<int> v = components();
    return std::vector<int>(v.begin() + 3 * first, v.begin() + 3 * last);
}

std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<FileCase> file_cases() {
    std::string all = colours(0, 256);
    std::string one_a_line, one_line;
    for (int n : components()) {
        one_a_line += std::to_string(n) + "\n\n";
        one_line += std::to_string(n) + " ";
    }
    std::vector<int> shifted = numbers(1, 256);
    return {
        {"Plain", header + all, numbers(0, 256), nullptr},
        // The count line "16" does not match "256", so the 16 is the red of colour 0 and the
        // numbers run out after 16 colours.
        {"SixteenColours", "JASC-PAL\n0100\n16\n" + colours(0, 16),
         std::vector<int>{16} + numbers(0, 15) +
             std::vector<int>{numbers(15, 16)[0], numbers(15, 16)[1]},
         palpack::format_error},
        // Without a header, "256" takes the 25 of 255.
        {"NoHeader255", "255 0 0\n" + colours(1, 256), std::vector<int>{5, 0, 0} + shifted,
         nullptr},
        // "0100" takes the 0, so every later number moves one place earlier.
        {"NoHeader0", "0 64 128\n" + colours(1, 256),
         std::vector<int>{64, 128} + std::vector<int>(shifted.begin(), shifted.end() - 2),
         palpack::format_error},
        {"LowerCaseHeader", "jasc-pal\n0100\n256\n" + all, {}, palpack::format_error},
        {"CrLf", "JASC-PAL\r\n0100\r\n256\r\n" + colours(0, 256, "\r\n"), numbers(0, 256), nullptr},
        {"CrAlone", "JASC-PAL\r0100\r256\r" + colours(0, 256, "\r"), numbers(0, 256), nullptr},
        {"CtrlZInTheMiddle", header + colours(0, 100) + "\x1a" + colours(100, 256), numbers(0, 100),
         palpack::format_error},
        {"CtrlZInANumber",
         header + colours(0, 100) +
             "1\x1a"
             "2 3 4\n",
         numbers(0, 100), palpack::format_error},
        {"CtrlZAtTheEnd", header + all + "\x1a garbage", numbers(0, 256), nullptr},
        {"OneNumberALine", header + one_a_line, numbers(0, 256), nullptr},
        {"AllOnOneLine", header + one_line, numbers(0, 256), nullptr},
        {"NoFinalLineEnd", header + all.substr(0, all.size() - 1), numbers(0, 256), nullptr},
        {"LinesAfterTheLast", header + all + "garbage\n1 2 3\n", numbers(0, 256), nullptr},
        {"BlanksInTheHeader", "JASC-PAL \n 0100\t\n\n256  \n" + all, numbers(0, 256), nullptr},
        {"ShortPalette", header + colours(0, 255), numbers(0, 255), palpack::format_error},
        {"LetterInColour10", header + colours(0, 10) + "1 x 3\n" + colours(11, 256), numbers(0, 10),
         palpack::format_error},
        {"HeaderOnly", header, {}, palpack::format_error},
        {"Empty", "", {}, palpack::format_error},
    };
}

void PrintTo(const FileCase& c, std::ostream* os) {
    *os << c.name;
}

class PaletteFile : public Palpack, public testing::WithParamInterface<FileCase> {};

TEST_P(PaletteFile, IsReadAsTheFormattedScanReadsIt) {
    const FileCase& c = GetParam();
    write_file(t / "in.pal", c.text);
    Result r = palpack({"in.pal", "out.bin"});
    EXPECT_EQ(r.out, c.error ? c.error : "");
    EXPECT_EQ(r.status, c.error ? 255 : 0);
    EXPECT_EQ(hex(read_file(t / "out.bin")), hex(triples(c.numbers)));
}

INSTANTIATE_TEST_SUITE_P(Palpack, PaletteFile, testing::ValuesIn(file_cases()), ByName());

TEST_F(Palpack, ShowsItsUsageWithFewerThanTwoArguments) {
    write_file(t / "in.pal", header + colours(0, 256));
    for (std::vector<std::string> args : {std::vector<std::string>{}, {"in.pal"}}) {
        Result r = palpack(args);
        EXPECT_EQ(r.out, message("Syntax: " + usage_name("palpack") +
                                 " <input.pal> <output.bin> [12|15|<24>|32]"));
        EXPECT_EQ(r.status, 255);
    }
    EXPECT_EQ(read_file(t / "in.pal"), header + colours(0, 256));
    EXPECT_FALSE(exists(t / "in.bin"));
}

TEST_F(Palpack, RefusesAnOutputItCannotCreate) {
    write_file(t / "in.pal", header + colours(0, 256));
    ASSERT_EQ(mkdir((t / "dir.bin").c_str(), 0755), 0);
    Result r = palpack({"in.pal", "dir.bin"});
    EXPECT_EQ(r.out, palpack::create_error);
    EXPECT_EQ(r.status, 255);
}

TEST_F(Palpack, ReplacesAnExistingOutput) {
    write_file(t / "in.pal", header + colours(0, 256));
    write_file(t / "out.bin", std::string(5000, 'x'));
    Result r = palpack({"in.pal", "out.bin", "12"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(t / "out.bin"), packed(12));
}

// A wrong depth is found only once there is a colour to write, so a palette that fails at its
// first colour says so instead.
TEST_F(Palpack, ReportsAFormattingErrorBeforeAWrongDepth) {
    write_file(t / "in.pal", "JASC-PAL\n0100\n256\nred green blue\n");
    Result r = palpack({"in.pal", "out.bin", "16"});
    EXPECT_EQ(r.out, palpack::format_error);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(read_file(t / "out.bin"), "");
}

// Writing the output over the input would empty the palette before it is read: every path that
// leads to the input file is refused, and nothing is created or changed.
TEST_F(Palpack, RefusesToWriteOverItsInput) {
    const std::string text = header + colours(0, 256);
    ASSERT_EQ(mkdir((t / "dir").c_str(), 0755), 0);
    write_file(t / "dir/in.pal", text);
    ASSERT_EQ(link((t / "dir/in.pal").c_str(), (t / "hard.pal").c_str()), 0);
    ASSERT_EQ(symlink("dir/in.pal", (t / "soft.pal").c_str()), 0);
    for (const std::string& output : {std::string("dir/in.pal"), std::string("dir/./in.pal"),
                                      std::string("./dir/../dir/in.pal"), t / "dir/in.pal",
                                      std::string("hard.pal"), std::string("soft.pal")}) {
        for (const char* input : {"dir/in.pal", "soft.pal"}) {
            Result r = palpack({input, output, "12"});
            EXPECT_EQ(r.out, palpack::create_error) << input << " -> " << output;
            EXPECT_EQ(r.status, 255);
            EXPECT_EQ(read_file(t / "dir/in.pal"), text);
        }
    }
    EXPECT_EQ(read_file(t / "hard.pal"), text);
    EXPECT_EQ(read_file(t / "soft.pal"), text);
}

} // namespace
