// The binary colour layouts of every depth, worked by hand, and the levels the machine shows.
#include "colours/layouts.h"
#include "palettes/depth.h"
#include "tests/harness.h"

#include <cmath>
#include <regex>

using namespace palettes;
using namespace colours;

namespace {

std::string encoded(Colour c, int depth) {
    const ColourLayout* layout = colour_layout(depth);
    unsigned char out[4] = {};
    layout->encode(c.r, c.g, c.b, out);
    return hex(std::string(reinterpret_cast<const char*>(out), layout->size));
}

// The colour the machine shows for the bytes of one entry.
Colour shown(const std::string& entry, int depth) {
    unsigned rgb[3];
    unpack_colour(reinterpret_cast<const unsigned char*>(entry.data()), depth, rgb);
    int bits = component_bits(depth);
    for (unsigned& v : rgb)
        if (bits < 8) v = expand(v, bits);
    return {uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2])};
}

struct Worked {
    Colour colour;
    const char* at6;
    const char* at9;
    const char* at12;
    const char* at15;
    const char* at24;
    const char* at32;
    Colour shown6, shown9; // what the machine shows of the 6- and 9-bit bytes
};

// Each colour's bytes in every layout: 6 bits 00BBGGRR; 9 bits 0RRR0BBB then 00000GGG; 12 and 15
// bits a little-endian word with red low; 24 and 32 the bytes. Every layout keeps the upper bits.
const Worked worked[] = {
    {{0, 0, 0}, "00", "00 00", "00 00", "00 00", "00 00 00", "00 00 00 00", {0, 0, 0}, {0, 0, 0}},
    {{255, 0, 0},
     "03",
     "70 00",
     "0F 00",
     "1F 00",
     "FF 00 00",
     "FF 00 00 00",
     {255, 0, 0},
     {255, 0, 0}},
    {{0, 255, 0},
     "0C",
     "00 07",
     "F0 00",
     "E0 03",
     "00 FF 00",
     "00 FF 00 00",
     {0, 255, 0},
     {0, 255, 0}},
    {{0, 0, 255},
     "30",
     "07 00",
     "00 0F",
     "00 7C",
     "00 00 FF",
     "00 00 FF 00",
     {0, 0, 255},
     {0, 0, 255}},
    {{255, 255, 255},
     "3F",
     "77 07",
     "FF 0F",
     "FF 7F",
     "FF FF FF",
     "FF FF FF 00",
     {255, 255, 255},
     {255, 255, 255}},
    {{0x12, 0x34, 0x56},
     "10",
     "02 01",
     "31 05",
     "C2 28",
     "12 34 56",
     "12 34 56 00",
     {0, 0, 85},
     {0, 36, 73}},
    {{182, 73, 219},
     "36",
     "56 02",
     "4B 0D",
     "36 6D",
     "B6 49 DB",
     "B6 49 DB 00",
     {170, 85, 255},
     {182, 73, 219}},
    {{85, 170, 36},
     "09",
     "21 05",
     "A5 02",
     "AA 12",
     "55 AA 24",
     "55 AA 24 00",
     {85, 170, 0},
     {73, 182, 36}},
};

TEST(ColourLayouts, WorkedValuesOfEveryLayout) {
    for (const Worked& w : worked) {
        std::string at = std::to_string(w.colour.r) + " " + std::to_string(w.colour.g) + " " +
                         std::to_string(w.colour.b);
        const std::pair<int, const char*> rows[] = {{6, w.at6},   {9, w.at9},   {12, w.at12},
                                                    {15, w.at15}, {24, w.at24}, {32, w.at32}};
        for (auto [depth, want] : rows) {
            EXPECT_EQ(encoded(w.colour, depth), want) << at << " at " << depth;
            EXPECT_EQ(colour_size(depth) * 3 - 1, std::string(want).size()) << depth;
            // palpack's own depths go through pack_colour() to the same bytes; 6 and 9 are not
            // palpack's, which still refuses them.
            unsigned char out[4];
            size_t n = pack_colour(w.colour.r, w.colour.g, w.colour.b, depth, out);
            if (depth == 6 || depth == 9)
                EXPECT_EQ(n, 0u) << depth;
            else
                EXPECT_EQ(hex(std::string(reinterpret_cast<const char*>(out), n)), want) << depth;
        }
        EXPECT_EQ(shown(bytes(w.at6), 6), w.shown6) << at;
        EXPECT_EQ(shown(bytes(w.at9), 9), w.shown9) << at;
        EXPECT_EQ(shown(bytes(w.at24), 24), w.colour) << at;
    }
}

// The bits outside a layout's fields are not read, as the machine ignores them.
TEST(ColourLayouts, BitsOutsideTheFieldsAreNotRead) {
    EXPECT_EQ(shown(bytes("C0"), 6), (Colour{0, 0, 0}));
    EXPECT_EQ(shown(bytes("88 F8"), 9), (Colour{0, 0, 0}));
    EXPECT_EQ(shown(bytes("F5 FA"), 9), (Colour{255, 73, 182}));
}

// The levels shown at 2 and 3 bits a component: 0, 85, 170, 255 and round(v * 255 / 7), as at 4
// and 5 bits the bits repeated downwards.
TEST(ColourLayouts, LevelsShown) {
    for (unsigned l = 0; l < 4; ++l) EXPECT_EQ(expand(l, 2), l * 85);
    for (unsigned l = 0; l < 8; ++l) EXPECT_EQ(expand(l, 3), std::lround(l * 255.0 / 7)) << l;
    for (unsigned l = 0; l < 16; ++l) EXPECT_EQ(expand(l, 4), l * 17);
    for (unsigned l = 0; l < 32; ++l) EXPECT_EQ(expand(l, 5), l << 3 | l >> 2);
}

// A snapped colour written and read back is the same colour, at every depth and component
// value, either way of snapping: what palprep writes is what palview draws.
TEST(ColourLayouts, SnappedColoursComeBackAsTheyWere) {
    for (const ColourLayout& layout : colour_layouts())
        for (Snap mode : {Snap::nearest, Snap::trunc})
            for (int v = 0; v < 256; ++v) {
                Colour c{uint8_t(v), uint8_t(255 - v), uint8_t(v * 7 % 256)};
                if (layout.bits < 8) c = snap(c, layout.bits, mode);
                EXPECT_EQ(shown(bytes(encoded(c, layout.depth)), layout.depth), c)
                    << layout.depth << " bits, " << v;
            }
}

// Every row of colour_layouts() is a depth the options take and the messages name, palpack's
// among palpack's alone; the exact words are pinned end to end, by palprep's and palview's tests.
TEST(ColourLayouts, DepthsAreReadFromTheTable) {
    std::string names = depth_names(), palpack_names = depth_names(true);
    for (const ColourLayout& layout : colour_layouts()) {
        std::string depth_text = std::to_string(layout.depth);
        int depth = 0;
        EXPECT_EQ(read_depth(depth_text.c_str(), &depth), "") << depth_text;
        EXPECT_EQ(depth, layout.depth);
        std::regex word("(^|, | or )" + depth_text + "(,| or |$)");
        EXPECT_TRUE(std::regex_search(names, word)) << depth_text << " not in " << names;
        EXPECT_EQ(std::regex_search(palpack_names, word), layout.palpack)
            << depth_text << " in " << palpack_names;
        // Spelled another way, the same number is no depth.
        EXPECT_EQ(read_depth(("0" + depth_text).c_str(), &depth), "expected " + names);
    }
    int depth = 0;
    EXPECT_EQ(read_depth("8", &depth), "expected " + names);
}

} // namespace
