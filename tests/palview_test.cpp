// palview run on binary palettes and palette files; its pictures read back with libspng.
#include "tests/harness.h"
#include "tests/palette_files.h"
#include "tests/png.h"
#include "tests/tools.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

using namespace palettes;

namespace {

// 256 colours with components all over 0 to 255.
std::vector<Colour> many() {
    std::vector<Colour> c;
    for (int i = 0; i < 256; ++i)
        c.push_back({uint8_t(i), uint8_t((i * 37 + 11) % 256), uint8_t(255 - i * 3 % 256)});
    // At 12 bits the file begins with ";", as a Paint.NET palette does: binary all the same.
    c[0] = {0xB5, 0x3A, 0x10};
    return c;
}

// A component as a machine of depth bits a colour shows what palpack keeps of it; at 6 and 9 bits
// palprep's nearest level, the lower on a tie: of 0, 85, 170, 255 or of round(l * 255 / 7).
uint8_t shown(uint8_t v, int depth) {
    if (depth == 6 || depth == 9) {
        int top = depth == 6 ? 3 : 7;
        long best = 0;
        for (int l = 1; l <= top; ++l) {
            long level = std::lround(l * 255.0 / top);
            if (std::labs(level - v) < std::labs(best - v)) best = level;
        }
        return uint8_t(best);
    }
    if (depth == 12) return uint8_t((v >> 4) * 17);
    if (depth == 15) return uint8_t((v >> 3) << 3 | (v >> 3) >> 2);
    return v;
}

// Checks every pixel of a picture of colours at depth with square cells of cell pixels, up to 16
// a row. With upper, the upper cell / 2 rows of the first upper.size() cells show those colours
// as they are.
void expect_swatches(const Image& image, const std::vector<Colour>& colours, int depth,
                     uint32_t cell, const std::vector<Colour>& upper = {}) {
    ASSERT_EQ(image.error, "");
    size_t across = std::min<size_t>(colours.size(), 16);
    size_t rows = (colours.size() + across - 1) / across;
    ASSERT_EQ(image.width, across * cell);
    ASSERT_EQ(image.height, rows * cell);
    int wrong = 0;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x) {
            size_t i = y / cell * across + x / cell;
            Rgba want = {0, 0, 0, 0}; // the rest of a last row
            if (i < upper.size() && y % cell < cell / 2)
                want = {upper[i].r, upper[i].g, upper[i].b, 255};
            else if (i < colours.size())
                want = {shown(colours[i].r, depth), shown(colours[i].g, depth),
                        shown(colours[i].b, depth), 255};
            const Rgba& got = image.at(x, y);
            if (!(got == want) && wrong++ < 5)
                ADD_FAILURE() << "colour " << i << " at " << x << "," << y << ": " << int(got.r)
                              << " " << int(got.g) << " " << int(got.b) << " " << int(got.a);
        }
    EXPECT_EQ(wrong, 0);
}

class Palview : public testing::Test {
  protected:
    TempDir t;
    Result palview(const std::vector<std::string>& args) { return run("palview", args, t.path()); }
};

// A binary palette as palpack writes it, at each depth: 768 and 1024 bytes need no option.
TEST_F(Palview, DrawsABinaryPaletteAtEachDepth) {
    write_file(t / "in.pal", jasc(many()));
    for (int depth : {12, 15, 24, 32}) {
        std::string d = std::to_string(depth);
        ASSERT_EQ(run("palpack", {"in.pal", "in.bin", d}, t.path()).status, 0);
        std::vector<std::string> args = {"in.bin", "out.png"};
        if (depth < 24) args.insert(args.end(), {"--depth", d});
        Result r = palview(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
        expect_swatches(decode_png(read_file(t / "out.png")), many(), depth, 16);
    }
}

// A palette file as it is, and at the depth palpack would pack it; fewer colours give fewer rows
// and the rest of the last row stays see-through.
TEST_F(Palview, DrawsAPaletteFile) {
    std::vector<Colour> twenty = many();
    twenty.resize(20);
    write_file(t / "in.pal", jasc(twenty, "\r\n"));
    ASSERT_EQ(palview({"in.pal", "out.png", "--cell", "5"}).status, 0);
    expect_swatches(decode_png(read_file(t / "out.png")), twenty, 24, 5);
    ASSERT_EQ(palview({"--depth", "12", "in.pal", "out.png", "--cell", "1"}).status, 0);
    expect_swatches(decode_png(read_file(t / "out.png")), twenty, 12, 1);
    write_file(t / "in.gpl", "GIMP Palette\n1 2 3\n");
    ASSERT_EQ(palview({"in.gpl", "out.png"}).status, 0);
    expect_swatches(decode_png(read_file(t / "out.png")), {{1, 2, 3}}, 24, 16);
}

// The machine's palettes of 6 and 9 bits, written by hand from the layouts (6 bits: 00BBGGRR; 9
// bits: 0RRR0BBB then 00000GGG), in the colours the machine shows; the bits outside the fields
// are not read. A palette of fewer than 16 colours is a row of just those.
TEST_F(Palview, DrawsSixAndNineBitPalettes) {
    struct Case {
        const char* depth;
        const char* bytes;
        std::vector<Colour> shown;
    };
    for (const Case& c : std::vector<Case>{
             {"6",
              "03 10 36 09 3F C0",
              {{255, 0, 0}, {0, 0, 85}, {170, 85, 255}, {85, 170, 0}, {255, 255, 255}, {0, 0, 0}}},
             {"9",
              "70 00 02 01 56 02 21 05 88 F8 F5 FA",
              {{255, 0, 0}, {0, 36, 73}, {182, 73, 219}, {73, 182, 36}, {0, 0, 0}, {255, 73, 182}}},
         }) {
        write_file(t / "in.bin", bytes(c.bytes));
        Result r = palview({"in.bin", "out.png", "--depth", c.depth, "--cell", "3", "-v"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, std::string("palview: in.bin: 6 colours, binary palette at ") + c.depth +
                             " bits\npalview: out.png: 18 x 3 pixels\n");
        expect_swatches(decode_png(read_file(t / "out.png")), c.shown, 24, 3);
    }
}

// At 6 bits a palette's bytes may spell text another format reads ("000000" and a line feed is a
// hex list): at a depth palpack does not write, the file is the machine's palette all the same.
TEST_F(Palview, SixBitBytesThatSpellAHexList) {
    write_file(t / "in.bin", "000000\n");
    ASSERT_EQ(palview({"in.bin", "out.png", "--depth", "6", "--cell", "2"}).status, 0);
    std::vector<Colour> want(6, Colour{0, 0, 255});
    want.push_back({170, 170, 0});
    expect_swatches(decode_png(read_file(t / "out.png")), want, 24, 2);
    ASSERT_EQ(palview({"in.bin", "out.png", "--cell", "2"}).status, 0);
    expect_swatches(decode_png(read_file(t / "out.png")), {{0, 0, 0}}, 24, 2);
}

// A 16-colour palette packed at its own size is one row of 16, and 4 colours a row of 4: no
// padding to draw.
TEST_F(Palview, DrawsAPaletteOfItsOwnSize) {
    write_file(t / "in.pal", jasc(sixteen()));
    ASSERT_EQ(
        run("palprep", {"in.pal", "in.bin", "--pack", "--depth", "12", "--snap", "trunc"}, t.path())
            .status,
        0);
    ASSERT_EQ(read_file(t / "in.bin").size(), 32u);
    ASSERT_EQ(palview({"in.bin", "out.png", "--depth", "12"}).status, 0);
    expect_swatches(decode_png(read_file(t / "out.png")), sixteen(), 12, 16);
    std::vector<Colour> four = sixteen();
    four.resize(4);
    write_file(t / "four.pal", jasc(four));
    ASSERT_EQ(run("palprep", {"four.pal", "four.bin", "--pack", "--depth", "24"}, t.path()).status,
              0);
    ASSERT_EQ(palview({"four.bin", "out.png", "--depth", "24", "--cell", "4"}).status, 0);
    expect_swatches(decode_png(read_file(t / "out.png")), four, 24, 4);
}

// --source: each swatch's upper half (the lower rows of an odd cell go to the machine) in the
// editor's colour, its lower half in the machine's; swatches past the editor's colours (the
// padding) are the machine's alone, and editor's colours past the palette are said to be left out.
TEST_F(Palview, SourceSplitsEverySwatch) {
    write_file(t / "in.pal", jasc(sixteen()));
    for (const char* depth : {"6", "9"}) {
        ASSERT_EQ(run("palprep", {"in.pal", "m.bin", "--pack", "--depth", depth, "--count", "20"},
                      t.path())
                      .status,
                  0);
        Result r = palview(
            {"m.bin", "out.png", "--depth", depth, "--source", "in.pal", "--cell", "5", "-v"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, std::string("palview: m.bin: 20 colours, binary palette at ") + depth +
                             " bits\npalview: in.pal: 16 colours, JASC-PAL palette\n"
                             "palview: out.png: 80 x 10 pixels\n");
        std::vector<Colour> machine = sixteen();
        machine.resize(20);
        expect_swatches(decode_png(read_file(t / "out.png")), machine, std::stoi(depth), 5,
                        sixteen());
    }
    write_file(t / "m4.bin", bytes("03 0C 30 3F"));
    Result r = palview({"m4.bin", "out.png", "--depth", "6", "--source", "in.pal"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "palview: in.pal: warning: 16 colours, 12 more than m4.bin holds: not drawn\n");
    std::vector<Colour> first = sixteen();
    first.resize(4);
    expect_swatches(decode_png(read_file(t / "out.png")),
                    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}, 24, 16, first);

    r = palview({"m4.bin", "out2.png", "--depth", "6", "--source", "none.pal"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palview: none.pal: No such file or directory\n");
    write_file(t / "bad.gpl", "GIMP Palette\n1 2\n");
    r = palview({"m4.bin", "out2.png", "--depth", "6", "--source", "bad.gpl"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("palview: bad.gpl: GIMP palette, line 2: ", 0), 0u) << r.err;
    EXPECT_FALSE(exists(t / "out2.png"));
}

// A picture palview drew is a palette file too: an indexed image whose palette is the palette.
TEST_F(Palview, PictureReadsBackAsThePalette) {
    write_file(t / "in.pal", jasc(sixteen()));
    ASSERT_EQ(palview({"in.pal", "out.png"}).status, 0);
    Palette p;
    ASSERT_EQ(read_palette(read_file(t / "out.png"), nullptr, &p), "");
    EXPECT_TRUE(p.colours == sixteen());
}

struct BadInput {
    const char* name;
    size_t size;
    std::vector<std::string> options;
    std::string message;
};

void PrintTo(const BadInput& c, std::ostream* os) {
    *os << c.name;
}

class PalviewBadInput : public testing::TestWithParam<BadInput> {};

// A binary palette whose size fits no depth, or not the one given: refused, nothing written.
TEST_P(PalviewBadInput, IsRefusedWithNoOutput) {
    TempDir t;
    write_file(t / "in.bin", std::string(GetParam().size, '\x81'));
    std::vector<std::string> before = listing(t.path());
    std::vector<std::string> args = {"in.bin", "out.png"};
    args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
    Result r = run("palview", args, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "palview: in.bin: " + GetParam().message + "\n");
    EXPECT_EQ(listing(t.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    PalviewCases, PalviewBadInput,
    testing::Values(
        BadInput{"FitsNoDepth",
                 500,
                 {},
                 "unknown format, and 500 bytes fit no binary palette of 256 colours (512 bytes "
                 "for 12 or 15 bits, 768 for 24, 1024 for 32); give --depth for another count"},
        BadInput{"OddAt9", 3, {"--depth", "9"}, "3 bytes: no whole number of 9-bit colours"},
        BadInput{"LongAt6", 257, {"--depth", "6"}, "257 bytes: more than 256 colours at 6 bits"},
        BadInput{"EmptyAt6", 0, {"--depth", "6"}, "0 bytes: no whole number of 6-bit colours"},
        BadInput{"TwelveOrFifteen",
                 512,
                 {},
                 "512 bytes: a binary palette of 12 or 15 bits; give --depth 12 or 15"},
        BadInput{"OddAt15", 513, {"--depth", "15"}, "513 bytes: no whole number of 15-bit colours"},
        BadInput{
            "LongAt32", 1028, {"--depth", "32"}, "1028 bytes: more than 256 colours at 32 bits"},
        BadInput{"Empty", 0, {"--depth", "24"}, "0 bytes: no whole number of 24-bit colours"}),
    [](const auto& info) { return info.param.name; });

TEST_F(Palview, HelpVersionAndUsage) {
    Result r = palview({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, version_text("palview"));
    r = palview({"-h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: palview [--depth 6|9|12|15|24|32]", 0), 0u) << r.out;
    // The help ends where the manual is.
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1), manual_line("palview"))
        << r.out;
    write_file(t / "in.hex", "123456\n");
    for (auto [args, first] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"in.hex", "out.png", "extra"}, "palview: extra operand: extra"},
             {{"in.hex"}, "palview: missing operand: OUTPUT.png"},
             {{"in.hex", "out.png", "--depth", "16"},
              "palview: --depth 16: expected 6, 9, 12, 15, 24 or 32"},
             {{"in.hex", "out.png", "--cell", "0"},
              "palview: --cell 0: expected a whole number from 1 to 256"},
             {{"in.hex", "out.png", "--cell", "8px"},
              "palview: --cell 8px: expected a whole number from 1 to 256"},
             {{"in.hex", "out.png", "--format", "bin"},
              "palview: --format bin: expected jasc, gpl, hex, paintnet, riff, aco, png or act"},
             {{"in.hex", "out.png", "-x"}, "palview: unknown option: -x"},
             {{"in.hex", "out.png", "--depth", "6", "--format", "hex"},
              "palview: --depth 6 reads a binary palette: no --format"},
             {{"in.hex", "out.png", "--source", "in.hex", "--cell", "1"},
              "palview: --source needs --cell 2 or more"},
         }) {
        r = palview(args);
        EXPECT_EQ(r.status, 2) << first;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), first);
        EXPECT_FALSE(exists(t / "out.png"));
    }
}

TEST_F(Palview, RefusesItsInputAsOutput) {
    write_file(t / "in.png", indexed_png(1, 1, 8, {{1, 2, 3, 255}}, {}, {0}));
    std::string before = read_file(t / "in.png");
    Result r = palview({"in.png", "./in.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palview: ./in.png: is the same file as the input in.png\n");
    EXPECT_EQ(read_file(t / "in.png"), before);
    r = palview({"in.png", "out.png", "-v"});
    EXPECT_EQ(r.err, "palview: in.png: 1 colour, PNG image\npalview: out.png: 16 x 16 pixels\n");
}

// A full disk, as /dev/full stands for one: Windows has no such device.
class PosixPalviewOutput : public Palview {};

TEST_F(PosixPalviewOutput, ReportsAFullDisk) {
    write_file(t / "in.png", indexed_png(1, 1, 8, {{1, 2, 3, 255}}, {}, {0}));
    Result r = palview({"in.png", "/dev/full", "-v"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palview: /dev/full: No space left on device\n");
}

// The palette road as the README shows it: the example palette, palprep at 15 bits, palpack,
// binobj and the linker, whose image holds the packed palette; palview's picture of it is the
// one in the README.
class PosixPalview : public testing::Test {
  protected:
    TempDir t;
};

TEST_F(PosixPalview, ExamplePaletteIsWhatItsScriptMakes) {
    Tool made = tool({source_path("scripts/make-example-pal16"), t / "pastel16.pal"}, t.path());
    ASSERT_EQ(made.status, 0) << made.output;
    EXPECT_EQ(read_file(t / "pastel16.pal"), read_file(source_path("examples/pastel16.pal")));
}

TEST_F(PosixPalview, PaletteRoadOfTheReadme) {
    NEED_TOOL("sdldz80");
    write_file(t / "pastel16.pal", read_file(source_path("examples/pastel16.pal")));
    Result r = run("palprep", {"pastel16.pal", "pastel16-15.pal", "--depth", "15"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(run("palpack", {"pastel16-15.pal", "pastel16.bin", "15"}, t.path()).status, 0);
    ASSERT_EQ(run("binobj", {"pastel16.bin", "0xD000", "PALETTE"}, t.path()).status, 0);
    Tool link = tool({"sdldz80", "-n", "-m", "-i", "pastel16.ihx", "pastel16.o"}, t.path());
    ASSERT_EQ(link.status, 0) << link.output;
    std::string palette = read_file(t / "pastel16.bin");
    std::map<uint32_t, uint8_t> image = intel_hex_image(read_file(t / "pastel16.ihx"));
    ASSERT_EQ(image.size(), 512u);
    for (size_t i = 0; i < palette.size(); ++i)
        EXPECT_EQ(image[0xD000 + uint32_t(i)], uint8_t(palette[i])) << i;

    r = run("palview", {"pastel16.bin", "pastel16.png", "--depth", "15"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    Image drawn = decode_png(read_file(t / "pastel16.png"));
    Image shipped = decode_png(read_file(source_path("examples/pastel16.png")));
    ASSERT_EQ(shipped.error, "");
    EXPECT_EQ(drawn.width, shipped.width);
    EXPECT_TRUE(drawn.pixels == shipped.pixels);
}

// The palette road of the README at the colour memory's own size: the 16 pastels packed at 6 and
// 12 bits to 16 and 32 bytes, the merges palprep reports, and palview's split pictures, which are
// the ones in the README.
TEST_F(PosixPalview, PaletteRoadAtTheMachinesOwnSize) {
    write_file(t / "pastel16.pal", read_file(source_path("examples/pastel16.pal")));
    struct Step {
        const char* depth;
        const char* bytes;
        std::string warnings;
    };
    const std::string w = "palprep: pastel16.pal: warning: ";
    for (const Step& s : std::vector<Step>{
             {"6", "2B 3A 2E 3B 2F 2F 2F 3F 3F 2E 2B 3E 3B 2F 2F 2E",
              w + "colours 0 and 10 become one at 6 bits (255 170 170)\n" + w +
                  "colours 2, 9 and 15 become one at 6 bits (170 255 170)\n" + w +
                  "colours 3 and 12 become one at 6 bits (255 170 255)\n" + w +
                  "colours 4, 5, 6, 13 and 14 become one at 6 bits (255 255 170)\n" + w +
                  "colours 7 and 8 become one at 6 bits (255 255 255)\n"},
             {"12",
              "BF 0A CB 0D EC 0C CD 0D DF 0A FF 0C DD 0B DF 0E EE 0E DB 0C CF 0A DC 0E CE 0D EE 0C "
              "DE 0C DB 0C",
              w + "colours 9 and 15 become one at 12 bits (187 221 204)\n"},
         }) {
        std::string bin = std::string("pastel16-") + s.depth + ".bin";
        std::string png = std::string("pastel16-") + s.depth + ".png";
        Result r = run("palprep", {"--pack", "--depth", s.depth, "pastel16.pal", bin}, t.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, s.warnings);
        EXPECT_EQ(hex(read_file(t / bin)), s.bytes);
        r = run("palview", {"--depth", s.depth, "--source", "pastel16.pal", bin, png}, t.path());
        ASSERT_EQ(r.status, 0) << r.err;
        Image drawn = decode_png(read_file(t / png));
        Image shipped = decode_png(read_file(source_path("examples/" + png)));
        ASSERT_EQ(shipped.error, "");
        EXPECT_EQ(drawn.width, 256u);
        EXPECT_EQ(drawn.height, 16u);
        EXPECT_EQ(drawn.width, shipped.width);
        EXPECT_TRUE(drawn.pixels == shipped.pixels) << png;
    }
}

} // namespace
