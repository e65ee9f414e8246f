// The palette readers and the colour levels, in-process.
#include "palettes/depth.h"
#include "tests/palette_files.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace palettes;
using namespace colours;

namespace {

std::string text(const std::vector<Colour>& colours) {
    std::string s;
    for (Colour c : colours)
        s += std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + "\n";
    return s;
}

class PaletteRead : public testing::TestWithParam<PaletteFile> {};

TEST_P(PaletteRead, GivesTheColoursInOrder) {
    const PaletteFile& f = GetParam();
    ASSERT_NE(detect(f.bytes), nullptr);
    EXPECT_EQ(detect(f.bytes)->name, f.format);
    Palette p;
    ASSERT_EQ(read_palette(f.bytes, nullptr, &p), "");
    EXPECT_EQ(p.format, detect(f.bytes));
    EXPECT_EQ(text(p.colours), text(f.colours));
    EXPECT_EQ(p.transparency, f.transparency);
    // Forcing the format it has changes nothing.
    Palette forced;
    ASSERT_EQ(read_palette(f.bytes, format_named(f.format), &forced), "");
    EXPECT_EQ(text(forced.colours), text(f.colours));
}

INSTANTIATE_TEST_SUITE_P(Formats, PaletteRead, testing::ValuesIn(palette_files()),
                         [](const auto& info) { return info.param.name; });

// Reasons with the format and the line or byte where reading stopped.
struct Bad {
    const char* name;
    std::string bytes;
    std::string format; // the name --format takes, or "" to find it from the content
    std::string reason;
};

void PrintTo(const Bad& c, std::ostream* os) {
    *os << c.name;
}

class PaletteReadBad : public testing::TestWithParam<Bad> {};

TEST_P(PaletteReadBad, SaysWhereAndWhy) {
    Palette p;
    const std::string& format = GetParam().format;
    ASSERT_TRUE(format.empty() || format_named(format)) << format;
    EXPECT_EQ(read_palette(GetParam().bytes, format.empty() ? nullptr : format_named(format), &p),
              GetParam().reason);
    EXPECT_TRUE(p.colours.empty());
}

std::string times(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

std::string gpl_with_seventh_line(const std::string& line) {
    return "GIMP Palette\nName: Ocean\n#\n0 0 0 Black\n1 2 3\n4 5 6\n" + line + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PaletteReadBad,
    testing::Values(
        Bad{"Unknown", "hello\nworld\n", "",
            "unknown format (not JASC-PAL, GIMP .gpl, hex list, Paint.NET .txt, Microsoft RIFF "
            ".pal, Photoshop .aco, PNG or Adobe .act)"},
        Bad{"Empty", "", "",
            "unknown format (not JASC-PAL, GIMP .gpl, hex list, Paint.NET .txt, Microsoft RIFF "
            ".pal, Photoshop .aco, PNG or Adobe .act)"},
        Bad{"GplOutOfRange", gpl_with_seventh_line("256 0 0 Too red"), "gpl",
            "GIMP palette, line 7: expected three numbers 0-255"},
        Bad{"GplTwoNumbers", gpl_with_seventh_line("12 13"), "",
            "GIMP palette, line 7: expected three numbers 0-255"},
        Bad{"GplRgbaThree", "GIMP Palette\nChannels: RGBA\n1 2 3 Name\n", "",
            "GIMP palette, line 3: expected four numbers 0-255"},
        Bad{"GplChannels", "GIMP Palette\nChannels: CMYK\n", "",
            "GIMP palette, line 2: expected Channels: RGB or RGBA"},
        Bad{"JascNegative", "JASC-PAL\r\n0100\r\n2\r\n1 2 3\r\n-1 0 0\r\n", "",
            "JASC-PAL palette, line 5: expected three numbers 0-255"},
        Bad{"JascVersion", "JASC-PAL\n0200\n1\n1 2 3\n", "",
            "JASC-PAL palette, line 2: expected 0100"},
        Bad{"JascCount", "JASC-PAL\n0100\nsixteen\n", "",
            "JASC-PAL palette, line 3: expected the count of colours"},
        Bad{"JascFewer", "JASC-PAL\n0100\n3\n1 2 3\n", "",
            "JASC-PAL palette, end of file: 1 colour, the count says 3"},
        Bad{"JascMore", "JASC-PAL\n0100\n1\n1 2 3\n\n4 5 6\n", "",
            "JASC-PAL palette, line 6: more colours than the count of 1"},
        Bad{"JascNone", "JASC-PAL\n0100\n0\n", "", "JASC-PAL palette, no colours"},
        Bad{"Hex", "00ff00\n12345g\n", "", "hex palette, line 2: expected RRGGBB"},
        Bad{"PaintNet", "; palette\nFF00FF00\nFF00FF\n", "",
            "Paint.NET palette, line 3: expected AARRGGBB"},
        Bad{"ActShort", std::string(700, '\x10'), "act",
            "Adobe colour table, byte 700: ends early (a table has 768 or 772 bytes)"},
        Bad{"ActBetween", std::string(770, '\x10'), "act",
            "Adobe colour table, byte 770: ends early (a table has 768 or 772 bytes)"},
        Bad{"ActLong", std::string(800, '\x10'), "act",
            "Adobe colour table, byte 772: more than the 772 bytes of a table"},
        Bad{"ActCount", std::string(768, '\0') + "\x01\x01\xff\xff", "",
            "Adobe colour table, byte 768: a count of 257 colours (1 to 256)"},
        Bad{"HexTooMany", times("#aabbcc\n", 300), "", "hex palette, 300 colours, more than 256"},
        Bad{"GplTooMany", "GIMP Palette\n" + text(std::vector<Colour>(300, Colour{1, 2, 3})), "",
            "GIMP palette, 300 colours, more than 256"},
        Bad{"JascMoreThanTheCountButFewerThan256",
            jasc(std::vector<Colour>(255, Colour{1, 2, 3}), "\n", 16), "",
            "JASC-PAL palette, line 20: more colours than the count of 16"},
        Bad{"RiffVersion", riff_palette(sixteen()).replace(20, 2, std::string("\0\1", 2)), "",
            "RIFF palette, byte 20: version 0x0100 (0x0300)"},
        Bad{"RiffCount", riff_palette(sixteen()).replace(22, 1, "\x11"), "",
            "RIFF palette, byte 22: a count of 17 colours, more than the data chunk holds"},
        Bad{"RiffNoData", std::string("RIFF\x04\0\0\0PAL ", 12), "",
            "RIFF palette, byte 12: no data chunk"},
        Bad{"RiffForced", jasc(sixteen()), "riff", "RIFF palette, byte 0: expected RIFF and PAL "},
        Bad{"AcoCmyk", aco_swatches(sixteen(), 2), "",
            "Photoshop swatches, byte 4: colour 0 is in CMYK (colour space 2); only RGB colours "
            "are read"},
        Bad{"AcoLab", aco_swatches(sixteen(), 7).replace(5, 1, std::string(1, '\0')), "",
            "Photoshop swatches, byte 14: colour 1 is in Lab (colour space 7); only RGB colours "
            "are read"},
        Bad{"AcoCut", aco_swatches(sixteen(), 0).substr(0, 163), "aco",
            "Photoshop swatches, byte 163: ends early in a swatch"},
        Bad{"AcoVersion3", std::string("\0\3\0\0", 4), "aco",
            "Photoshop swatches, byte 0: version 3 (1 or 2)"},
        Bad{"PngForced", jasc(sixteen()), "png", "PNG image, invalid signature"},
        Bad{"PngCut", "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", "", "PNG image, end of stream"}),
    [](const auto& info) { return info.param.name; });

// The palette packer reads 256 colours and nothing after them: a JASC-PAL palette whose count
// says more gives its first 256, and says where the rest begins.
TEST(PaletteReadJasc, ColoursAfterThe256thAreLeftUnread) {
    std::vector<Colour> many;
    for (int i = 0; i < 300; ++i) many.push_back({uint8_t(i), 1, 2});
    Palette p;
    ASSERT_EQ(read_palette(jasc(many, "\r\n"), nullptr, &p), "");
    EXPECT_EQ(text(p.colours), text(std::vector<Colour>(many.begin(), many.begin() + 256)));
    EXPECT_EQ(p.ignored, "line 260 and after ignored: a palette has at most 256 colours");
    ASSERT_EQ(read_palette(jasc(sixteen()), nullptr, &p), "");
    EXPECT_EQ(p.ignored, "");
}

// The expansions of the levels of 4 and 5 bits: the colours a machine can show.
std::vector<int> grid(int bits) {
    std::vector<int> g;
    for (unsigned l = 0; l < 1u << bits; ++l) g.push_back(expand(l, bits));
    return g;
}

TEST(Levels, ExpansionRepeatsTheBits) {
    EXPECT_EQ(grid(4), (std::vector<int>{0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204,
                                         221, 238, 255}));
    std::vector<int> five = grid(5);
    EXPECT_EQ(five[0], 0);
    EXPECT_EQ(five[1], 8);
    EXPECT_EQ(five[4], 33);
    EXPECT_EQ(five[16], 132);
    EXPECT_EQ(five[31], 255);
}

TEST(Levels, ColoursOnTheGridStayWithBothModes) {
    for (int bits : {4, 5})
        for (Snap mode : {Snap::nearest, Snap::trunc})
            for (int v : grid(bits)) {
                Colour c{uint8_t(v), uint8_t(255 - v), uint8_t(v)};
                EXPECT_EQ(snap(c, bits, mode), c) << bits << " bits, " << v;
            }
}

// Every value from 0 to 255: the worst error of each mode, nearest truly nearest, and palpack's
// truncation of the written value giving exactly the chosen level.
TEST(Levels, WorstErrorsAndTruncationAgree) {
    struct Case {
        int bits;
        Snap mode;
        int worst;
    };
    for (Case k : {Case{4, Snap::nearest, 8}, Case{5, Snap::nearest, 4}, Case{4, Snap::trunc, 15},
                   Case{5, Snap::trunc, 7}}) {
        int worst = 0;
        for (int v = 0; v < 256; ++v) {
            unsigned l = level(uint8_t(v), k.bits, k.mode);
            int shown = expand(l, k.bits);
            worst = std::max(worst, abs(shown - v));
            EXPECT_EQ(unsigned(shown >> (8 - k.bits)), l) << v;
            if (k.mode == Snap::trunc) {
                EXPECT_EQ(l, unsigned(v >> (8 - k.bits))) << v;
            } else {
                for (int g : grid(k.bits)) EXPECT_LE(abs(shown - v), abs(g - v)) << v;
            }
        }
        EXPECT_EQ(worst, k.worst) << k.bits << " bits";
    }
}

TEST(Levels, MergedGroupsOnlyWhereADistinctionIsLost) {
    std::vector<Colour> before = {{1, 1, 1},   {2, 2, 2},   {9, 9, 9}, {2, 2, 2},
                                  {100, 0, 0}, {100, 0, 0}, {0, 0, 3}};
    std::vector<Colour> after;
    for (Colour c : before) after.push_back(snap(c, 4, Snap::nearest));
    // 0, 1, 3 and 6 all become black; 2 becomes 17 17 17; 4 and 5 were one already.
    EXPECT_EQ(merged(before, after), (std::vector<std::vector<size_t>>{{0, 1, 3, 6}}));
}

} // namespace
