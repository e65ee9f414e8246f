// palprep run on real palette files, and what the real palpack makes of its output.
#include "palettes/depth.h"
#include "palprep/prepare.h"
#include "tests/harness.h"
#include "tests/palette_files.h"
#include "tests/png.h"
#include "tests/tools.h"

#include <cstdlib>
#include <filesystem>
#include <set>

using namespace palettes;
using namespace colours;

namespace {

// colours padded with black to 256, as a JASC-PAL palette for palpack.
std::string padded(std::vector<Colour> colours) {
    colours.resize(256);
    return jasc(colours);
}

class PalprepFormats : public testing::TestWithParam<PaletteFile> {
  protected:
    TempDir t;
};

// Every file, whatever its format, gives through palprep and palpack the bytes that palpack
// gives for its colours written plainly, at each depth.
TEST_P(PalprepFormats, PackLikeThePlainPalette) {
    const PaletteFile& f = GetParam();
    write_file(t / "input", f.bytes);
    write_file(t / "plain.pal", padded(f.colours));
    Result r = run("palprep", {"input", "ready.pal"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    std::string ready = read_file(t / "ready.pal");
    EXPECT_EQ(ready.substr(0, 21), "JASC-PAL\r\n0100\r\n256\r\n");
    for (const char* depth : {"12", "15", "24", "32"}) {
        ASSERT_EQ(run("palpack", {"ready.pal", "ready.bin", depth}, t.path()).status, 0);
        ASSERT_EQ(run("palpack", {"plain.pal", "plain.bin", depth}, t.path()).status, 0);
        EXPECT_EQ(hex(read_file(t / "ready.bin")), hex(read_file(t / "plain.bin"))) << depth;
    }
    r = run("palprep", {"input", "ready.pal", "-v"}, t.path());
    EXPECT_EQ(r.err.find("transparency dropped") != std::string::npos, f.transparency) << r.err;
}

INSTANTIATE_TEST_SUITE_P(PalprepFiles, PalprepFormats, testing::ValuesIn(palette_files()),
                         [](const auto& info) { return info.param.name; });

class Palprep : public testing::Test {
  protected:
    TempDir t;
    Result palprep(const std::vector<std::string>& args) { return run("palprep", args, t.path()); }
    // The colours of a JASC-PAL file palprep wrote.
    std::vector<Colour> colours(const std::string& name) {
        Palette p;
        EXPECT_EQ(read_palette(read_file(t / name), format_named("jasc"), &p), "");
        return p.colours;
    }
};

// The test's own nearest level: the one whose shown value is closest, the lower on a tie.
uint8_t nearest(uint8_t v, int bits) {
    int best = 0;
    for (int l = 1; l < 1 << bits; ++l)
        if (abs(expand(l, bits) - v) < abs(expand(best, bits) - v)) best = l;
    return expand(unsigned(best), bits);
}

// Colours that become one are reported, each group on a line with all of its indices, and
// --strict makes that a failure with no output.
TEST_F(Palprep, ReportsEveryPairOfMergedColours) {
    std::vector<Colour> in;
    for (int i = 0; i < 64; ++i)
        in.push_back({uint8_t(i * 4 % 256), uint8_t(100 + i % 5), uint8_t(200 - i % 3)});
    in.push_back(in[5]); // already equal: no distinction lost between 5 and 64
    write_file(t / "in.pal", jasc(in));
    for (int depth : {12, 15}) {
        int bits = component_bits(depth);
        std::string expected;
        std::set<size_t> done;
        for (size_t i = 0; i < in.size(); ++i) {
            if (done.count(i)) continue;
            Colour shown{nearest(in[i].r, bits), nearest(in[i].g, bits), nearest(in[i].b, bits)};
            std::vector<size_t> group;
            bool lost = false;
            for (size_t j = i; j < in.size(); ++j)
                if (Colour{nearest(in[j].r, bits), nearest(in[j].g, bits),
                           nearest(in[j].b, bits)} == shown) {
                    group.push_back(j);
                    lost = lost || in[j] != in[i];
                    done.insert(j);
                }
            if (lost)
                expected +=
                    "palprep: in.pal: warning: " + palprep::merge_message(group, shown, depth) +
                    "\n";
        }
        ASSERT_NE(expected, "");
        std::string d = std::to_string(depth);
        Result r = palprep({"in.pal", "out.pal", "--depth", d});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, expected);
        std::vector<Colour> out = colours("out.pal");
        ASSERT_EQ(out.size(), 256u);
        for (size_t i = 0; i < in.size(); ++i)
            EXPECT_EQ(out[i], (Colour{nearest(in[i].r, bits), nearest(in[i].g, bits),
                                      nearest(in[i].b, bits)}))
                << i;

        r = palprep({"in.pal", "strict.pal", "--depth", d, "--strict"});
        EXPECT_EQ(r.status, 1);
        std::string strict = expected;
        for (size_t at; (at = strict.find("warning: ")) != std::string::npos;) strict.erase(at, 9);
        EXPECT_EQ(r.err, strict);
        EXPECT_FALSE(exists(t / "strict.pal"));
    }
}

TEST_F(Palprep, MergeMessageNamesEveryIndex) {
    EXPECT_EQ(palprep::merge_message({3, 7}, {8, 8, 8}, 15),
              "colours 3 and 7 become one at 15 bits (8 8 8)");
    EXPECT_EQ(palprep::merge_message({1, 2, 9}, {0, 17, 34}, 12),
              "colours 1, 2 and 9 become one at 12 bits (0 17 34)");
}

// trunc keeps what palpack keeps; the padding is snapped like the colours.
TEST_F(Palprep, TruncAndPad) {
    write_file(t / "in.hex", "0f0f0f\nf8f8f8\n");
    ASSERT_EQ(
        palprep({"in.hex", "out.pal", "--depth", "12", "--snap", "trunc", "--pad", "30,40,50"})
            .status,
        0);
    std::vector<Colour> out = colours("out.pal");
    EXPECT_EQ(out[0], (Colour{0, 0, 0}));
    EXPECT_EQ(out[1], (Colour{255, 255, 255}));
    EXPECT_EQ(out[255], (Colour{17, 34, 51}));
    ASSERT_EQ(palprep({"in.hex", "out.pal", "--pad", "30,40,50"}).status, 0);
    EXPECT_EQ(colours("out.pal")[2], (Colour{30, 40, 50}));
    ASSERT_EQ(palprep({"in.hex", "out.pal", "--depth", "15"}).status, 0);
    EXPECT_EQ(colours("out.pal")[1], (Colour{247, 247, 247}));
}

TEST_F(Palprep, FormatOptionForcesAReader) {
    // Text that the content shows as a hex list, read as a Paint.NET palette it is not.
    write_file(t / "in.txt", "00ff00\n");
    Result r = palprep({"in.txt", "out.pal", "--format", "paintnet"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palprep: in.txt: Paint.NET palette, line 1: expected AARRGGBB\n");
    EXPECT_EQ(palprep({"in.txt", "out.pal", "--format", "hex"}).status, 0);
}

TEST_F(Palprep, SaysWhatItDidWhenAsked) {
    write_file(t / "in.gpl", "GIMP Palette\nChannels: RGBA\n10 20 30 0 Clear\n");
    Result r = palprep({"-v", "in.gpl", "out.pal", "--depth", "15", "--pad", "1,2,3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "palprep: in.gpl: 1 colour, GIMP palette\n"
              "palprep: in.gpl: transparency dropped\n"
              "palprep: out.pal: 256 colours at 15 bits (nearest), 255 of them padding 0 0 0\n");
}

// 24 and 32 bits show every colour: the depth palpack and palview take is no snapping, and no
// colours can become one.
TEST_F(Palprep, DepthsThatShowEveryColourKeepThem) {
    write_file(t / "in.pal", jasc(sixteen()));
    ASSERT_EQ(palprep({"in.pal", "plain.pal"}).status, 0);
    for (const char* depth : {"24", "32"}) {
        Result r = palprep({"in.pal", "out.pal", "--depth", depth, "--strict", "--snap", "trunc"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_file(t / "out.pal"), read_file(t / "plain.pal")) << depth;
    }
}

// Every palette palpack takes, palprep takes too, and its output packs to the same bytes: the
// text mode's Ctrl-Z ends the file, and palpack reads 256 colours whatever the count says and
// nothing after them.
struct PalpackTakes {
    const char* name;
    std::string bytes;
    std::string warning; // what palprep says of it, or ""
};

void PrintTo(const PalpackTakes& c, std::ostream* os) {
    *os << c.name;
}

class PalprepTakes : public testing::TestWithParam<PalpackTakes> {};

TEST_P(PalprepTakes, WhatPalpackTakes) {
    TempDir t;
    write_file(t / "in.pal", GetParam().bytes);
    Result r = run("palprep", {"in.pal", "ready.pal"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, GetParam().warning.empty()
                         ? ""
                         : "palprep: in.pal: warning: " + GetParam().warning + "\n");
    for (const char* depth : {"12", "15", "24", "32"}) {
        ASSERT_EQ(run("palpack", {"in.pal", "in.bin", depth}, t.path()).status, 0);
        ASSERT_EQ(run("palpack", {"ready.pal", "ready.bin", depth}, t.path()).status, 0);
        EXPECT_EQ(hex(read_file(t / "ready.bin")), hex(read_file(t / "in.bin"))) << depth;
    }
}

std::vector<Colour> all_256() {
    std::vector<Colour> c;
    for (int i = 0; i < 256; ++i) c.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    return c;
}

std::string beyond(size_t line) {
    return "line " + std::to_string(line) + " and after ignored: a palette has at most 256 colours";
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, PalprepTakes,
    testing::Values(
        PalpackTakes{"FinalCtrlZ", jasc(all_256(), "\r\n") + "\x1A", ""},
        PalpackTakes{"CtrlZThenAnything", jasc(all_256(), "\r\n") + "\x1A\xFF\x00 junk\r\n", ""},
        PalpackTakes{"LinesAfter256", jasc(all_256()) + "1 2 3\n-1 300 0\n", beyond(260)},
        PalpackTakes{"TextAfter256", jasc(all_256(), "\r\n") + "\r\n; saved by hand\r\n",
                     beyond(261)}),
    ByName());

// Bad input: a clear message, status 1, no output and the folder as it was.
struct BadInput {
    const char* name;
    std::string bytes;
    std::vector<std::string> options;
    std::string message;
};

std::string many_colours_png() {
    std::vector<Rgba> pixels;
    for (int i = 0; i < 17 * 17; ++i) pixels.push_back({uint8_t(i), uint8_t(i / 256), 7, 255});
    return truecolour_png(17, 17, pixels, false);
}

void PrintTo(const BadInput& c, std::ostream* os) {
    *os << c.name;
}

class PalprepBadInput : public testing::TestWithParam<BadInput> {};

TEST_P(PalprepBadInput, IsRefusedWithNoOutput) {
    TempDir t;
    write_file(t / "in", GetParam().bytes);
    write_file(t / "out.pal", "old");
    std::vector<std::string> before = listing(t.path());
    std::vector<std::string> args = {"in", "out.pal"};
    args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
    Result r = run("palprep", args, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "palprep: in: " + GetParam().message + "\n");
    EXPECT_EQ(listing(t.path()), before);
    EXPECT_EQ(read_file(t / "out.pal"), "old");
}

INSTANTIATE_TEST_SUITE_P(
    PalprepCases, PalprepBadInput,
    testing::Values(
        BadInput{
            "UnknownFormat",
            "colours: red, green\n",
            {},
            "unknown format (not JASC-PAL, GIMP .gpl, hex list, Paint.NET .txt, Microsoft RIFF "
            ".pal, Photoshop .aco, PNG or Adobe .act)"},
        BadInput{"NumberOutOfRange",
                 "GIMP Palette\nName: Ocean\n#\n0 0 0\n1 2 3\n4 5 6\n7 8 300 Foam\n",
                 {},
                 "GIMP palette, line 7: expected three numbers 0-255"},
        BadInput{"ShortAct",
                 std::string(767, '\x80'),
                 {"--format", "act"},
                 "Adobe colour table, byte 767: ends early (a table has 768 or 772 bytes)"},
        BadInput{"PngOf289Colours",
                 many_colours_png(),
                 {},
                 "PNG image, 289 distinct colours, more than 256"},
        BadInput{"GplOf257Colours",
                 "GIMP Palette\n" + jasc(std::vector<Colour>(257)).substr(18),
                 {},
                 "GIMP palette, 257 colours, more than 256"},
        BadInput{"CmykSwatches",
                 aco_swatches(sixteen(), 2),
                 {},
                 "Photoshop swatches, byte 4: colour 0 is in CMYK (colour space 2); only RGB "
                 "colours are read"}),
    [](const auto& info) { return info.param.name; });

// The conventions every companion program keeps.
TEST_F(Palprep, HelpVersionAndUsage) {
    Result r = palprep({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, version_text("palprep"));
    r = palprep({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: palprep [--format F]", 0), 0u) << r.out;
    // The help ends where the manual is.
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1), manual_line("palprep"))
        << r.out;
    write_file(t / "in.hex", "123456\n");
    struct Case {
        std::vector<std::string> args;
        std::string first_line;
    };
    for (const Case& c : std::vector<Case>{
             {{"in.hex"}, "palprep: missing operand: OUTPUT"},
             {{"in.hex", "out.pal", "--depth", "16"},
              "palprep: --depth 16: expected 6, 9, 12, 15, 24 or 32"},
             // The exact words of the tables, pinned here once for the program.
             {{"in.hex", "out.pal", "--depth", "6"},
              "palprep: --depth 6 needs --pack (palpack writes 12, 15, 24 or 32)"},
             {{"in.hex", "out.pal", "--snap", "round"},
              "palprep: --snap round: expected nearest or trunc"},
             {{"in.hex", "out.pal", "--snap", "trunc"}, "palprep: --snap needs --depth"},
             {{"in.hex", "out.pal", "--strict"}, "palprep: --strict needs --depth"},
             {{"in.hex", "out.pal", "--pad", "1,2"},
              "palprep: --pad 1,2: expected R,G,B with numbers 0-255"},
             {{"in.hex", "out.pal", "--pad", "1,2,256"},
              "palprep: --pad 1,2,256: expected R,G,B with numbers 0-255"},
             // Each number by the rule of every number: no blanks, as --count ' 2' is refused.
             {{"in.hex", "out.pal", "--pad", " 1, +2,3"},
              "palprep: --pad ' 1, +2,3': expected R,G,B with numbers 0-255"},
             {{"in.hex", "out.pal", "--pad", "1,2,3,4"},
              "palprep: --pad 1,2,3,4: expected R,G,B with numbers 0-255"},
             {{"in.hex", "out.pal", "--pad", "1,,3"},
              "palprep: --pad 1,,3: expected R,G,B with numbers 0-255"},
             {{"in.hex", "out.pal", "--count", " 2", "--pack", "--depth", "12"},
              "palprep: --count ' 2': expected a whole number from 1 to 256"},
             {{"in.hex", "out.pal", "--format", "bmp"},
              "palprep: --format bmp: expected jasc, gpl, hex, paintnet, riff, aco, png or act"},
             {{"in.hex", "out.pal", "--colour"}, "palprep: unknown option: --colour"},
             {{"in.hex", "out.pal", "--depth"}, "palprep: option needs a value: --depth"},
         }) {
        r = palprep(c.args);
        EXPECT_EQ(r.status, 2) << c.first_line;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
        EXPECT_NE(r.err.find("usage: palprep"), std::string::npos);
        EXPECT_FALSE(exists(t / "out.pal"));
    }
}

TEST_F(Palprep, OutputThatIsTheInputIsRefused) {
    write_file(t / "in.pal", jasc(sixteen()));
    std::filesystem::create_symlink("in.pal", t / "link.pal");
    Result r = palprep({"in.pal", "link.pal"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palprep: link.pal: is the same file as the input in.pal\n");
    EXPECT_EQ(read_file(t / "in.pal"), jasc(sixteen()));
}

TEST_F(Palprep, MissingInput) {
    Result r = palprep({"none.pal", "out.pal"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palprep: none.pal: No such file or directory\n");
}

// A full disk, as /dev/full stands for one: Windows has no such device.
class PosixPalprep : public Palprep {};

TEST_F(PosixPalprep, ReportsAFullDisk) {
    write_file(t / "in.pal", jasc(sixteen()));
    Result r = palprep({"in.pal", "/dev/full"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palprep: /dev/full: No space left on device\n");
}

} // namespace

// A device that never ends is refused once the largest palette file has been read, instead of
// being read until the memory is full.
TEST(PalettePosix, DeviceThatNeverEndsIsRefused) {
    TempDir t;
    for (std::string program : {"palprep", "palview"}) {
        Result r = run(program, {"/dev/zero", "out"}, t.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, program + ": /dev/zero: larger than 64 MiB: too large for a palette\n");
        EXPECT_FALSE(exists(t / "out"));
    }
}

// A file of nothing but line feeds, just under the largest palette file: read in memory within a
// small multiple of its size, and refused for what it is. An allocation that fails is a message
// and status 1 too, never an abort. Under AddressSanitizer, whose shadow memory no address-space
// limit leaves room for, the programs run without the limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool limits_address_space = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool limits_address_space = false;
#else
constexpr bool limits_address_space = true;
#endif
#else
constexpr bool limits_address_space = true;
#endif

TEST(PalettePosix, LargeFileOfLineFeedsInLittleMemory) {
    TempDir t;
    std::string feeds(60 << 20, '\n');
    write_file(t / "feeds.txt", feeds);
    write_file(t / "feeds.pal", "JASC-PAL\n0100\n256\n" + feeds);
    const std::string unknown =
        "unknown format (not JASC-PAL, GIMP .gpl, hex list, Paint.NET .txt, Microsoft RIFF .pal, "
        "Photoshop .aco, PNG or Adobe .act)";
    struct Case {
        std::string program, input, reason;
    };
    for (const Case& c : std::vector<Case>{
             {"palprep", "feeds.txt", unknown},
             {"palprep", "feeds.pal",
              "JASC-PAL palette, end of file: 0 colours, the count says 256"},
             {"palview", "feeds.pal",
              "JASC-PAL palette, end of file: 0 colours, the count says 256"},
         }) {
        // 1.5 GB of address space: about 25 times the input.
        std::string limit = limits_address_space ? "ulimit -v 1500000; " : "";
        Tool r =
            tool({"sh", "-c", limit + "exec \"$0\" \"$@\"", program(c.program), c.input, "out"},
                 t.path());
        EXPECT_EQ(r.status, 1) << c.program << " " << c.input;
        EXPECT_EQ(r.output, c.program + ": " + c.input + ": " + c.reason + "\n");
        EXPECT_FALSE(exists(t / "out"));
    }
    if (!limits_address_space) return;
    // Too little memory to hold the file at all.
    for (std::string p : {"palprep", "palview"}) {
        Tool r = tool(
            {"sh", "-c", "ulimit -v 40000; exec \"$0\" \"$@\"", program(p), "feeds.txt", "out"},
            t.path());
        EXPECT_EQ(r.status, 1) << p;
        EXPECT_EQ(r.output, p + ": out of memory\n"); // cli::run's, as every program says it
        EXPECT_FALSE(exists(t / "out"));
    }
}
