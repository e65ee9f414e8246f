// The palette reader's own formatted-scan matching and the depth argument's number.
#include "colours/layouts.h"
#include "palpack/convert.h"
#include "palpack/scan.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace colours;
using namespace palpack;

using namespace std::string_literals;

namespace {

struct ScanCase {
    const char* why;
    const char* pattern;
    std::string input;
    std::vector<int32_t> values; // the numbers read; their count is what scan returns
    std::string rest;            // what a text-mode read then still gives
};

FILE* stream_of(const std::string& bytes) {
    FILE* f = tmpfile();
    if (f) {
        fwrite(bytes.data(), 1, bytes.size(), f);
        rewind(f);
    }
    return f;
}

std::string rest_of(TextInput& in) {
    std::string rest;
    for (int c; (c = in.get()) != EOF;) rest += static_cast<char>(c);
    return rest;
}

// Test names: letters and digits as they are, every other byte spelled out.
std::string label(const std::string& text) {
    if (text.empty()) return "Empty";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out += static_cast<char>(c);
        } else {
            static const char digits[] = "0123456789ABCDEF";
            out += {'_', 'x', digits[c >> 4], digits[c & 15]};
        }
    }
    return out;
}

// The reason in camel case: "CR at the end" is CRAtTheEnd.
std::string scan_name(const testing::TestParamInfo<ScanCase>& info) {
    std::string name;
    bool upper = true;
    for (const char* p = info.param.why; *p; ++p) {
        if (*p == ' ') {
            upper = true;
        } else if (isalnum(static_cast<unsigned char>(*p))) {
            name += upper ? static_cast<char>(toupper(static_cast<unsigned char>(*p))) : *p;
            upper = false;
        }
    }
    return name;
}

class Scan : public testing::TestWithParam<ScanCase> {};

TEST_P(Scan, MatchesLikeTheFormattedScan) {
    const ScanCase& c = GetParam();
    FILE* f = stream_of(c.input);
    ASSERT_NE(f, nullptr);
    TextInput in(f);
    int32_t values[3] = {};
    int count = scan(in, c.pattern, values);
    EXPECT_EQ(std::vector<int32_t>(values, values + count), c.values);
    EXPECT_EQ(rest_of(in), c.rest);
    fclose(f);
}

INSTANTIATE_TEST_SUITE_P(
    Palette, Scan,
    testing::Values(
        // Text-mode reading
        ScanCase{"CR LF is one line feed", "JASC-PAL\n", "JASC-PAL\r\n0100", {}, "0100"},
        ScanCase{"a CR alone stays a CR", "%d", "1\r\r\n", {1}, "\r\n"},
        ScanCase{"a CR alone is white space", "%d %d %d\n", "1\r2\r3\rx", {1, 2, 3}, "x"},
        ScanCase{"CR at the end", "%d %d %d\n", "1 2 3\r", {1, 2, 3}, ""},
        ScanCase{"Ctrl-Z ends the input", "%d %d %d\n", "1 2\x1a 3\n", {1, 2}, ""},
        ScanCase{"Ctrl-Z after a CR", "%d %d %d\n", "1 2 3\r\x1a\n4", {1, 2, 3}, ""},
        ScanCase{"Ctrl-Z inside a number",
                 "%d",
                 "12\x1a"
                 "3",
                 {12},
                 ""},
        ScanCase{"a NUL byte is an ordinary character",
                 "%d %d %d\n",
                 "1 2\0"
                 "3"s,
                 {1, 2},
                 "\0"
                 "3"s},
        // Ordinary characters
        ScanCase{"a differing character stays unread", "256\n", "255 0 0\n", {}, "5 0 0\n"},
        ScanCase{"the first character differs", "0100\n", "0 64 128\n", {}, " 64 128\n"},
        ScanCase{"case counts", "JASC-PAL\n", "jasc-pal\n", {}, "jasc-pal\n"},
        ScanCase{"no white space skipped before a character", "256\n", " 256\n", {}, " 256\n"},
        ScanCase{"end of the input inside a pattern", "JASC-PAL\n", "JASC", {}, ""},
        // White space in a pattern
        ScanCase{"white space matches none", "JASC-PAL\n", "JASC-PAL0100", {}, "0100"},
        ScanCase{
            "white space matches a run", "JASC-PAL\n", "JASC-PAL \t\v\f\r\n\n 0100", {}, "0100"},
        ScanCase{"0x1C is not white space",
                 "%d",
                 "\x1c"
                 "5",
                 {},
                 "\x1c"
                 "5"},
        ScanCase{"0x85 is not white space",
                 "%d",
                 "\x85"
                 "5",
                 {},
                 "\x85"
                 "5"},
        ScanCase{"0xA0 is not white space",
                 "%d",
                 "\xa0"
                 "5",
                 {},
                 "\xa0"
                 "5"},
        ScanCase{"numbers over several lines", "%d %d %d\n", "1\n\n2\t\v\f3\n\n 4", {1, 2, 3}, "4"},
        ScanCase{"no final line end", "%d %d %d\n", "1 2 3", {1, 2, 3}, ""},
        ScanCase{"a comma ends the entry", "%d %d %d\n", "1,2,3", {1}, ",2,3"},
        // Numbers
        ScanCase{"plus sign", "%d", "+7x", {7}, "x"},
        ScanCase{"minus sign", "%d", "-12", {-12}, ""}, ScanCase{"minus zero", "%d", "-0", {0}, ""},
        ScanCase{"one sign only", "%d", "--1", {}, "-1"},
        ScanCase{"no blank after the sign", "%d", "- 1", {}, " 1"},
        ScanCase{"a sign alone", "%d", "+", {}, ""},
        ScanCase{"no hexadecimal", "%d", "0x1F", {0}, "x1F"},
        ScanCase{"no octal", "%d", "017", {17}, ""},
        ScanCase{"all 32 bits set", "%d", "4294967295", {-1}, ""},
        ScanCase{"two to the 32 wraps to 0", "%d", "4294967296", {0}, ""},
        ScanCase{"two to the 31", "%d", "2147483648", {INT32_MIN}, ""},
        ScanCase{"below -2^31", "%d", "-2147483649", {INT32_MAX}, ""},
        ScanCase{"twenty digits", "%d", "99999999999999999999", {1661992959}, ""},
        ScanCase{"each number skips white space", "%d%d", "1 \n2", {1, 2}, ""},
        ScanCase{"empty input", "%d %d %d\n", "", {}, ""}),
    scan_name);

// A line far longer than any buffer is read in passing.
TEST(Scan, ReadsLongRunsAsTheyCome) {
    std::string input = std::string(5000000, ' ') + std::string(5000000, '0') + "12 3 -4";
    FILE* f = stream_of(input);
    ASSERT_NE(f, nullptr);
    TextInput in(f);
    int32_t values[3] = {};
    ASSERT_EQ(scan(in, "%d %d %d\n", values), 3);
    EXPECT_EQ(values[0], 12);
    EXPECT_EQ(values[1], 3);
    EXPECT_EQ(values[2], -4);
    fclose(f);
}

struct NumberCase {
    const char* text;
    int32_t value;
};

class LeadingNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumber, ReadsTheStandardWay) {
    EXPECT_EQ(leading_number(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Depth, LeadingNumber,
    testing::Values(NumberCase{"24", 24}, NumberCase{"12", 12}, NumberCase{"+12", 12},
                    NumberCase{"-12", -12}, NumberCase{" 12", 12}, NumberCase{"\t\n\v\f\r 15", 15},
                    NumberCase{"24abc", 24}, NumberCase{"015", 15}, NumberCase{"0x20", 0},
                    NumberCase{"4294967308", 12}, NumberCase{"-4294967284", 12},
                    NumberCase{"2147483648", INT32_MIN}, NumberCase{"", 0}, NumberCase{"text", 0},
                    NumberCase{"- 5", 0}, NumberCase{"+-5", 0},
                    NumberCase{"\xa0"
                               "12",
                               0},
                    NumberCase{"1 2", 1}),
    [](const auto& info) { return label(info.param.text); });

} // namespace

// palview reads the binary palettes back with unpack_colour(): for every component and depth it
// gives the level pack_colour() kept (the upper 4 or 5 bits, or the byte itself), and bits above
// the three fields of a word are not read.
TEST(ColourWords, UnpackGivesTheLevelsPackKept) {
    for (int32_t depth : {12, 15, 24, 32}) {
        unsigned shift = depth == 12 ? 4 : depth == 15 ? 3 : 0;
        for (int32_t v = 0; v < 256; ++v) {
            int32_t rgb[3] = {v, (v * 7 + 3) % 256, 255 - v};
            unsigned char bytes[4];
            size_t size = pack_colour(rgb[0], rgb[1], rgb[2], depth, bytes);
            ASSERT_EQ(size, colour_size(depth));
            unsigned back[3];
            unpack_colour(bytes, depth, back);
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(back[i], unsigned(rgb[i]) >> shift) << depth << " bits, " << v;
        }
    }
    struct Top {
        int32_t depth;
        unsigned char bytes[2];
    };
    for (Top t : {Top{12, {0x00, 0xF0}}, Top{15, {0x00, 0x80}}}) {
        unsigned back[3];
        unpack_colour(t.bytes, t.depth, back);
        EXPECT_EQ(back[0] + back[1] + back[2], 0u) << t.depth;
    }
    EXPECT_EQ(colour_size(16), 0u);
}
