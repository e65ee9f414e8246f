// palview run on binary palettes and palette files; its pictures read back with libspng.
#include "harness.h"
#include "palette_files.h"
#include "png.h"
#include "tools.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace {

// A tool the test needs: missing, it fails the test on CI and skips it elsewhere.
#define NEED_TOOL(name)                                                                            \
    do {                                                                                           \
        if (!on_path(name)) {                                                                      \
            if (getenv("CI")) FAIL() << "no " << name;                                             \
            GTEST_SKIP() << "no " << name;                                                         \
        }                                                                                          \
    } while (0)

// 256 colours with components all over 0 to 255.
std::vector<Colour> many() {
    std::vector<Colour> c;
    for (int i = 0; i < 256; ++i)
        c.push_back({uint8_t(i), uint8_t((i * 37 + 11) % 256), uint8_t(255 - i * 3 % 256)});
    // At 12 bits the file begins with ";", as a Paint.NET palette does: binary all the same.
    c[0] = {0xB5, 0x3A, 0x10};
    return c;
}

// A component as a machine of depth bits a colour shows what palpack keeps of it.
uint8_t shown(uint8_t v, int depth) {
    if (depth == 12) return uint8_t((v >> 4) * 17);
    if (depth == 15) return uint8_t((v >> 3) << 3 | (v >> 3) >> 2);
    return v;
}

// Checks every pixel of a picture of colours at depth with square cells of cell pixels.
void expect_swatches(const Image& image, const std::vector<Colour>& colours, int depth,
                     uint32_t cell) {
    ASSERT_EQ(image.error, "");
    size_t rows = (colours.size() + 15) / 16;
    ASSERT_EQ(image.width, 16 * cell);
    ASSERT_EQ(image.height, rows * cell);
    int wrong = 0;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x) {
            size_t i = y / cell * 16 + x / cell;
            Rgba want = {0, 0, 0, 0}; // the rest of a last row
            if (i < colours.size())
                want = {shown(colours[i].r, depth), shown(colours[i].g, depth),
                        shown(colours[i].b, depth), 255};
            const Rgba& got = image.at(x, y);
            if (!(got == want) && wrong++ < 5)
                ADD_FAILURE() << "colour " << i << " at " << x << "," << y << ": " << int(got.r)
                              << " " << int(got.g) << " " << int(got.b) << " " << int(got.a);
        }
    EXPECT_EQ(wrong, 0);
}

std::set<std::string> listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
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

// A picture palview drew is a palette file too: an indexed image whose palette is the palette.
TEST_F(Palview, PictureReadsBackAsThePalette) {
    write_file(t / "in.pal", jasc(sixteen()));
    ASSERT_EQ(palview({"in.pal", "out.png"}).status, 0);
    Palette p;
    ASSERT_EQ(read_palette(read_file(t / "out.png"), Format::unknown, &p), "");
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
    std::set<std::string> before = listing(t.path());
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
                 "unknown format, and 500 bytes fit no binary palette (512 bytes for 12 or 15 "
                 "bits, 768 for 24, 1024 for 32)"},
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
    EXPECT_EQ(r.out.rfind("usage: palview INPUT OUTPUT.png", 0), 0u) << r.out;
    // The help ends where the manual is.
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1), manual_line("palview"))
        << r.out;
    write_file(t / "in.hex", "123456\n");
    for (auto [args, first] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"in.hex", "out.png", "extra"}, "palview: expected INPUT and OUTPUT.png"},
             {{"in.hex", "out.png", "--depth", "16"},
              "palview: --depth: expected 12, 15, 24 or 32"},
             {{"in.hex", "out.png", "--cell", "0"}, "palview: --cell: expected a number 1-256"},
             {{"in.hex", "out.png", "--cell", "8px"}, "palview: --cell: expected a number 1-256"},
             {{"in.hex", "out.png", "--format", "bin"},
              "palview: --format: expected jasc, gpl, act, hex, paintnet or png"},
             {{"in.hex", "out.png", "-x"}, "palview: unknown option: -x"},
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
    EXPECT_EQ(r.err, "palview: ./in.png: is the input file\n");
    EXPECT_EQ(read_file(t / "in.png"), before);
    r = palview({"in.png", "out.png", "-v"});
    EXPECT_EQ(r.err, "palview: in.png: 1 colour, PNG image\npalview: out.png: 256 x 16 pixels\n");
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
    std::map<uint32_t, uint8_t> image = read_hex(read_file(t / "pastel16.ihx"));
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

} // namespace
