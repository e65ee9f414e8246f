// The level tables and the code chooser that sampleprep and sampleunpack share, in-process, and
// the chooser's driver for bench/quality.
#include "sound/channels.h"
#include "sound/codes.h"
#include "sound/levels.h"
#include "tests/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <sstream>

using namespace std::string_literals;
using namespace sound;

namespace {

// A built-in table, or "squares": a table from a file, uneven and in no order of codes.
Levels named(const char* name) {
    Levels l{};
    if (std::string(name) == "squares") {
        for (int c = 0; c < 16; c++) l[c] = (c * 7 % 16) * (c * 7 % 16);
        return l;
    }
    EXPECT_TRUE(named_levels(name, &l)) << name;
    return l;
}

std::vector<float> played(const std::vector<uint8_t>& codes, const Levels& l) {
    std::vector<float> out;
    for (uint8_t c : codes) out.push_back(float(code_value(l, c)));
    return out;
}

// A sine that starts loud and loses 40 dB a second, at 8000 Hz.
std::vector<float> pluck(double freq, double seconds, double peak = 1.0) {
    std::vector<float> x(size_t(seconds * 8000));
    for (size_t i = 0; i < x.size(); i++)
        x[i] = float(peak * std::sin(2 * M_PI * freq * i / 8000) * std::pow(10.0, -2.0 * i / 8000));
    return x;
}

} // namespace

struct Steps {
    const char* name;
    int loudest;
    int silent;
    double db; // the step between neighbouring codes other than the silent one
};

class LevelsNamed : public testing::TestWithParam<Steps> {};

TEST_P(LevelsNamed, StepEvenlyFromSilenceToTheLoudestCode) {
    const Steps& t = GetParam();
    Levels l = named(t.name);
    EXPECT_EQ(l[t.silent], 0.0);
    EXPECT_GT(l[t.silent + (t.loudest > t.silent ? 1 : -1)], 0.0);
    int toward = t.loudest > t.silent ? 1 : -1; // the direction in which codes get louder
    for (int c = t.silent + toward; c != t.loudest; c += toward) {
        int next = c + toward;
        ASSERT_GT(l[next], l[c]) << "code " << next;
        if (t.db > 0)
            EXPECT_NEAR(20 * std::log10(l[next] / l[c]), t.db, 1e-9) << "code " << next;
        else
            EXPECT_EQ(l[next] - l[c], 1.0) << "code " << next;
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, LevelsNamed,
                         testing::Values(Steps{"linear", 15, 0, 0}, Steps{"psg", 0, 15, 2.0},
                                         Steps{"ay", 15, 0, 3.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LevelsNames, UnknownNameIsRefused) {
    Levels l{};
    for (const char* name : {"", "Linear", "sn76489", "psg "})
        EXPECT_FALSE(named_levels(name, &l)) << name;
}

struct Text {
    const char* label;
    const char* text;
    const char* reason; // empty when the text is good
};

class LevelsParse : public testing::TestWithParam<Text> {};

TEST_P(LevelsParse, ReadsSixteenNumbersOrSaysWhy) {
    const Text& t = GetParam();
    Levels l{};
    std::string reason = parse_levels(t.text, &l);
    if (*t.reason == '\0') {
        ASSERT_EQ(reason, "");
        for (int c = 0; c < 16; c++) EXPECT_DOUBLE_EQ(l[c], c * 0.5) << "code " << c;
    } else {
        EXPECT_EQ(reason, t.reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LevelsParse,
    testing::Values(
        Text{"Blanks", "0 0.5 1 1.5 2 2.5 3 3.5 4 4.5 5 5.5 6 6.5 7 7.5", ""},
        Text{"CommasAndLines", "0,0.5,1,1.5\n2, 2.5, 3, 3.5\r\n4 4.5 5 5.5\n6\t6.5\t7\t7.5\n", ""},
        Text{"Comments",
             "# measured on my board\n0 0.5 1 1.5 2 2.5 3 3.5 # low half\n"
             "4 4.5 5 5.5 6 6.5 7 7.5#high half",
             ""},
        Text{"Exponents", "0e0 5e-1 1 1.5 2 2.5 3 3.5 4 4.5 5 5.5 6 6.5 7 0.75E1", ""},
        Text{"Empty", "", "16 levels needed, found 0"},
        Text{"OnlyComments", "# 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n",
             "16 levels needed, found 0"},
        Text{"Fifteen", "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14", "16 levels needed, found 15"},
        Text{"Seventeen", "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16", "more than 16 levels"},
        Text{"Word", "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 loud", "not a number: loud"},
        Text{"Trailing", "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15dB", "not a number: 15dB"},
        Text{"Semicolons", "0;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15",
             "not a number: 0;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15"},
        Text{"NotFinite", "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 inf", "not a number: inf"},
        Text{"OutOfRange", "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 1e999", "not a number: 1e999"},
        Text{"AllEqual", "3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3", "all 16 levels are equal"}),
    [](const auto& info) { return std::string(info.param.label); });

// A binary file is no table, even where a number stands before a NUL byte; the message shows
// such bytes as "?".
TEST(LevelsParse, NulByteIsNoNumber) {
    Levels l{};
    std::string text = "0\0\x7f 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15"s;
    EXPECT_EQ(parse_levels(text, &l), "not a number: 0??");
}

// Any finite level is taken, however small; a table whose range a number cannot hold would put
// every code at one place, and is refused.
TEST(LevelsParse, AnyFiniteLevelButNoEndlessRange) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"0 1e-320 1e-321 1e-321 1e-321 1e-321 1e-321 1e-321 1e-321 1e-321 1e-321 1e-321 1e-321 "
         "1e-321 1e-321 1e-321",
         ""},
        {"-1.7e308 1.7e308 0 0 0 0 0 0 0 0 0 0 0 0 0 0",
         "the levels span more than a number holds"},
        {"-1e308 1e308 0 0 0 0 0 0 0 0 0 0 0 0 0 0", "the levels span more than a number holds"},
        {"0 1.7e308 0 0 0 0 0 0 0 0 0 0 0 0 0 0", ""},
    };
    for (const auto& c : cases) {
        Levels l{};
        EXPECT_EQ(parse_levels(c.text, &l), c.reason) << c.text;
        if (*c.reason) continue;
        // Every code has its place within the range, the lowest and highest at its ends.
        for (int code = 0; code < 16; code++) {
            double v = code_value(l, uint8_t(code));
            EXPECT_TRUE(v >= -1 && v <= 1) << c.text << " code " << code << ": " << v;
        }
        EXPECT_EQ(code_value(l, 0), -1.0) << c.text;
        EXPECT_EQ(code_value(l, 1), 1.0) << c.text;
    }
}

// Each built-in table is found by its name and named in the list that help and messages give.
TEST(LevelsNames, EveryTableByItsName) {
    for (const Dac& d : dacs()) {
        Levels l{};
        ASSERT_TRUE(named_levels(d.name, &l)) << d.name;
        EXPECT_EQ(l, d.levels());
        EXPECT_NE((", " + dac_names() + ",").find(", "s + d.name + ","), std::string::npos);
        EXPECT_LT(d.silence, 16);
        EXPECT_GE(d.channels, 1);
    }
    EXPECT_EQ(find_dac("linear"), &dacs()[0]); // the default comes first
}

TEST(LevelsNames, SharedLevelPlaysAsTheLowerCode) {
    Levels l{};
    for (int c = 0; c < 16; c++) l[c] = c < 4 ? c : c - 1; // codes 3 and 4 share a level
    std::vector<float> x = {float(code_value(l, 3)), float(code_value(l, 4)),
                            float(code_value(l, 5))};
    std::vector<uint8_t> want = {3, 3, 5};
    EXPECT_EQ(choose_codes(x, l, CodeOptions{}), want);
}

TEST(LevelsNames, OffsetOnByDefaultWhereTheLevelsAreUneven) {
    Levels reversed{}, bent{};
    for (int c = 0; c < 16; c++) reversed[c] = 15 - c, bent[c] = c * c;
    EXPECT_FALSE(offset_by_default(named("linear")));
    EXPECT_FALSE(offset_by_default(reversed));
    EXPECT_TRUE(offset_by_default(named("psg")));
    EXPECT_TRUE(offset_by_default(named("ay")));
    EXPECT_TRUE(offset_by_default(bent));
}

// A table whose span a number holds, but not twice that span, still plays from -1 to 1.
TEST(LevelsWide, ValuesSpanTheFullRange) {
    Levels l{};
    l[0] = -1e308;
    l[15] = 1;
    EXPECT_EQ(code_value(l, 0), -1.0);
    EXPECT_EQ(code_value(l, 15), 1.0);
    EXPECT_EQ(code_value(l, 7), 1.0); // 0 lies 1 below the top of a span of 1e308
}

class LevelsCodes : public testing::TestWithParam<const char*> {};

// The lowest level plays as -1 and the highest as 1, whichever codes they belong to.
TEST_P(LevelsCodes, ValuesSpanTheFullRange) {
    Levels l = named(GetParam());
    double lo = 1, hi = -1;
    for (int c = 0; c < 16; c++) {
        lo = std::min(lo, code_value(l, c));
        hi = std::max(hi, code_value(l, c));
    }
    EXPECT_EQ(lo, -1.0);
    EXPECT_EQ(hi, 1.0);
}

// A signal already on the levels, visiting every code in a scattered order, comes back as
// exactly those codes: without the offset, with the defaults, and with the offset forced on.
TEST_P(LevelsCodes, SignalOnTheLevelsKeepsItsCodes) {
    Levels l = named(GetParam());
    std::vector<uint8_t> codes;
    for (int i = 0; i < 4000; i++) codes.push_back(uint8_t(i * 7 % 16));
    std::vector<float> x = played(codes, l);
    CodeOptions off, defaults, on;
    defaults.offset = offset_by_default(l);
    on.offset = true;
    EXPECT_EQ(choose_codes(x, l, off), codes);
    EXPECT_EQ(choose_codes(x, l, defaults), codes);
    EXPECT_EQ(choose_codes(x, l, on), codes);
    // Also when only a few neighbouring levels are used, and after 16-bit rounding.
    std::vector<uint8_t> few;
    for (int i = 0; i < 4000; i++) few.push_back(uint8_t(5 + i % 3));
    std::vector<float> rounded = played(few, l);
    for (float& v : rounded) v = std::round(v * 32767) / 32767;
    EXPECT_EQ(choose_codes(rounded, l, on), few);
}

TEST_P(LevelsCodes, ValuesBeyondTheRangeAreClipped) {
    Levels l = named(GetParam());
    uint8_t lowest = 0, highest = 0;
    for (int c = 0; c < 16; c++) {
        if (l[c] < l[lowest]) lowest = uint8_t(c);
        if (l[c] > l[highest]) highest = uint8_t(c);
    }
    std::vector<float> x = {-1.0f, -1.5f, -1e30f, -INFINITY, 1.0f, 1.0001f, 7.0f, 1e30f, INFINITY};
    std::vector<uint8_t> want = {lowest,  lowest,  lowest,  lowest, highest,
                                 highest, highest, highest, highest};
    EXPECT_EQ(choose_codes(x, l, CodeOptions{}), want);
    // A value that is not a number plays as silence does.
    std::vector<uint8_t> nan = choose_codes({NAN}, l, CodeOptions{});
    EXPECT_EQ(nan, choose_codes({0.0f}, l, CodeOptions{}));
}

TEST_P(LevelsCodes, SilenceIsOneSteadyCode) {
    Levels l = named(GetParam());
    CodeOptions options;
    options.offset = offset_by_default(l);
    std::vector<uint8_t> codes = choose_codes(std::vector<float>(8000, 0.0f), l, options);
    for (uint8_t c : codes) ASSERT_EQ(c, codes[0]);
}

TEST_P(LevelsCodes, SameSeedSameDither) {
    Levels l = named(GetParam());
    std::vector<float> x = pluck(440, 0.5);
    CodeOptions plain, a, b;
    a.dither = b.dither = true;
    a.seed = 7;
    b.seed = 8;
    std::vector<uint8_t> first = choose_codes(x, l, a);
    EXPECT_EQ(choose_codes(x, l, a), first);
    EXPECT_NE(choose_codes(x, l, b), first);
    EXPECT_NE(choose_codes(x, l, plain), first);
}

INSTANTIATE_TEST_SUITE_P(Tables, LevelsCodes, testing::Values("linear", "psg", "ay", "squares"),
                         [](const auto& info) { return std::string(info.param); });

// On evenly spaced levels, silence lies halfway between codes 7 and 8: a sound fading to silence
// settles on code 8 (the code the packer fills with) instead of buzzing between the two.
TEST(LevelsChooser, LinearFadeEndsOnTheFillCode) {
    Levels l = named("linear");
    double step = 2.0 / 15;
    std::vector<float> x = pluck(660, 2.0, 0.29 * step); // never beyond 0.29 of a step
    std::vector<uint8_t> codes = choose_codes(x, l, CodeOptions{});
    for (uint8_t c : codes) ASSERT_EQ(c, 8);
    // A louder fade does use code 7 at first, but ends on code 8 all the same.
    codes = choose_codes(pluck(660, 2.0), l, CodeOptions{});
    EXPECT_GT(std::count(codes.begin(), codes.end(), 7), 0);
    for (size_t i = codes.size() - 4000; i < codes.size(); i++) ASSERT_EQ(codes[i], 8) << i;
}

// Energy from 20 Hz to 200 Hz, where a listener would hear an offset, in what the played codes
// add to a signal of 1 s (Hann-windowed, so that the offset's long drift does not leak upwards).
static double audible_error(const std::vector<float>& x, const std::vector<uint8_t>& codes,
                            const Levels& l) {
    double energy = 0;
    for (int f = 20; f < 200; f++) { // bins of 1 Hz
        std::complex<double> sum = 0;
        for (size_t i = 0; i < x.size(); i++) {
            double window = 0.5 - 0.5 * std::cos(2 * M_PI * i / x.size());
            sum += (code_value(l, codes[i]) - x[i]) * window *
                   std::polar(1.0, -2 * M_PI * f * i / 8000);
        }
        energy += std::norm(sum);
    }
    return energy;
}

// The offset lets the quiet part of a sound use the dense low levels of a volume register, and
// is slow: it lowers the error from 20 Hz up as well, rather than adding steps that are heard.
TEST(LevelsChooser, OffsetHelpsAndStaysBelowHearing) {
    for (const char* name : {"psg", "ay"}) {
        Levels l = named(name);
        std::vector<float> x = pluck(1000, 1.0);
        CodeOptions off, on;
        on.offset = true;
        std::vector<uint8_t> plain = choose_codes(x, l, off), moved = choose_codes(x, l, on);
        EXPECT_GT(snr_db(x, moved, l), snr_db(x, plain, l) + 3) << name;
        EXPECT_LT(audible_error(x, moved, l), 0.75 * audible_error(x, plain, l)) << name;
    }
}

// On uneven levels, driving a loud sound a little past the top (its peaks held on the loudest
// level) can be heard closer than keeping it within: the widest step is the one between the two
// loudest levels. The chooser keeps whichever its codes play closer.
TEST(LevelsChooser, LoudSoundMayPassTheTopWhereThatIsHeardCloser) {
    const struct {
        const char* name;
        double least_db; // a loud sine, as a listener hears it
    } cases[] = {{"psg", 20.2}, {"ay", 17.2}};
    std::vector<float> x(8000);
    for (size_t i = 0; i < x.size(); i++)
        x[i] = float(std::pow(10.0, -0.1 / 20) * std::sin(2 * M_PI * 440 * double(i) / 8000));
    for (const auto& c : cases) {
        Levels l = named(c.name);
        CodeOptions on;
        on.offset = true;
        EXPECT_GE(snr_db(x, choose_codes(x, l, on), l), c.least_db) << c.name;
    }
}

// A voice-like sound whose deep spikes point down (towards the dense quiet levels of a volume
// register) would hold the rest of its waveform up where the levels are sparse: it is played
// upside down, and comes out as well as the same sound with its spikes up.
TEST(LevelsChooser, PolarityThatFitsTheLevels) {
    std::vector<float> up(8000), down(8000);
    for (size_t i = 0; i < up.size(); i++) {
        double t = double(i % 62) / 8000; // a pulse every 62 samples, ringing at 700 Hz
        up[i] = float(std::exp(-t * 300) * std::cos(2 * M_PI * 700 * t));
        down[i] = -up[i];
    }
    for (const char* name : {"psg", "ay"}) {
        Levels l = named(name);
        CodeOptions on;
        on.offset = true;
        double snr_up = snr_db(up, choose_codes(up, l, on), l);
        double snr_down = snr_db(down, choose_codes(down, l, on), l);
        EXPECT_NEAR(snr_down, snr_up, 0.5) << name;
    }
}

TEST(LevelsSnr, IgnoresWhatTheCouplingRemoves) {
    Levels l = named("psg");
    std::vector<uint8_t> codes;
    for (int i = 0; i < 8000; i++) codes.push_back(uint8_t(i % 16));
    std::vector<float> x = played(codes, l);
    EXPECT_GT(snr_db(x, codes, l), 120); // only the float rounding of the values
    for (float& v : x) v -= 0.25f;       // a constant offset: never heard
    EXPECT_GT(snr_db(x, codes, l), 100);
    for (size_t i = 0; i < x.size(); i += 2) x[i] += 0.01f; // a tone at 4000 Hz: heard
    double heard = snr_db(x, codes, l);
    EXPECT_LT(heard, 60);
    for (float& v : x) v = -v; // upside down: the same
    EXPECT_NEAR(snr_db(x, codes, l), heard, 1e-6);
}

// bench/quality --model's driver of the chooser is built with the programs and gives every
// table's values as the library does.
TEST(LevelsBench, ChoosersDriverKnowsEveryTable) {
    TempDir t;
    for (const Dac& d : dacs()) {
        Result r = run("choose", {d.name, "--values"}, t.path());
        ASSERT_EQ(r.status, 0) << d.name << ": " << r.err;
        std::istringstream values(r.out);
        Levels l = d.levels();
        for (int c = 0; c < 16; c++) {
            double v = 0;
            ASSERT_TRUE(values >> v) << d.name << " code " << c;
            EXPECT_DOUBLE_EQ(v, code_value(l, uint8_t(c))) << d.name << " code " << c;
        }
    }
    EXPECT_EQ(run("choose", {"nonesuch"}, t.path()).status, 2);
}

// Three channels written in turn: each holds its level until its next write, all silent before
// the first; the sum on the scale of all three at their lowest (-1) to all at their highest (1).
TEST(LevelsInTurn, EachChannelHoldsItsLevel) {
    const struct {
        const char* label;
        const char* dac;
        uint8_t silence;
        std::vector<uint8_t> codes;
        std::vector<double> sums; // in steps of the linear table, 0 to 45
    } cases[] = {
        {"Linear", "linear", 0, {15, 0, 15, 15, 15, 0}, {15, 15, 30, 30, 45, 30}},
        {"LinearSilentAtEight", "linear", 8, {8, 8, 8, 0, 0, 0}, {24, 24, 24, 16, 8, 0}},
        {"Empty", "linear", 0, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<double> out = played_in_turn(c.codes, named(c.dac), 3, c.silence);
        ASSERT_EQ(out.size(), c.sums.size()) << c.label;
        for (size_t k = 0; k < out.size(); k++)
            EXPECT_NEAR(out[k], c.sums[k] / 45 * 2 - 1, 1e-12) << c.label << " sample " << k;
    }
    // A PSG's channels: all three at code 0 are the top of the range, all silent the bottom.
    std::vector<double> psg = played_in_turn({0, 0, 0, 15, 15, 15}, named("psg"), 3, 15);
    EXPECT_DOUBLE_EQ(psg[2], 1.0);
    EXPECT_DOUBLE_EQ(psg[5], -1.0);
    EXPECT_NEAR(psg[0], 1.0 / 3 * 2 - 1, 1e-12);
}

// The squared error of codes written in turn against a target on the scale of the sum.
double error_in_turn(const std::vector<uint8_t>& codes, const std::vector<float>& target,
                     const Levels& l, uint8_t silence) {
    std::vector<double> out = played_in_turn(codes, l, 3, silence);
    double e = 0;
    for (size_t k = 0; k < out.size(); k++) {
        double d = (out[k] + 1) * 1.5 - target[k];
        e += d * d;
    }
    return e;
}

// The search finds the least error there is: against every sequence of five codes, for targets
// within, below and above the range, from each DAC's silence.
TEST(LevelsInTurn, SearchIsExact) {
    const std::vector<std::vector<float>> targets = {{0.1f, 0.9f, 2.2f, 1.4f, 0.3f},
                                                     {3.0f, 3.0f, 3.0f, 0.0f, 0.0f},
                                                     {-0.5f, 3.5f, -0.5f, 3.5f, 1.0f},
                                                     {0.05f, 0.07f, 0.02f, 0.11f, 0.04f}};
    for (const char* dac : {"psg", "ay", "linear"}) {
        Levels l = named(dac);
        uint8_t silence = find_dac(dac)->silence;
        for (const std::vector<float>& t : targets) {
            double least = INFINITY;
            std::vector<uint8_t> codes(5);
            for (uint32_t all = 0; all < (1u << 20); all++) {
                for (int k = 0; k < 5; k++) codes[size_t(k)] = uint8_t(all >> (4 * k) & 15);
                least = std::min(least, error_in_turn(codes, t, l, silence));
            }
            std::vector<uint8_t> found = search_in_turn(t, l, silence);
            ASSERT_EQ(found.size(), 5u);
            EXPECT_NEAR(error_in_turn(found, t, l, silence), least, 1e-4 * (1 + least))
                << dac << " target " << t[0];
        }
    }
}

// Over thousands of samples, where the search goes back over its path a stretch at a time, it
// finds the error of a plain search that keeps every choice.
TEST(LevelsInTurn, LongSearchIsExact) {
    Levels l = named("psg");
    std::vector<float> t(5000);
    for (size_t k = 0; k < t.size(); k++)
        t[k] = float(1.4 + 1.3 * std::sin(0.07 * k) * std::sin(0.0011 * k));
    // The plain search: cost[q][p], q the code written last.
    std::vector<double> u(16);
    auto [lo, hi] = std::minmax_element(l.begin(), l.end());
    for (int c = 0; c < 16; c++) u[size_t(c)] = (l[size_t(c)] - *lo) / (*hi - *lo);
    std::vector<double> cost(256, INFINITY), next(256);
    cost[15 * 16 + 15] = 0;
    for (float target : t) {
        for (int r = 0; r < 16; r++)
            for (int q = 0; q < 16; q++) {
                double best = INFINITY;
                for (int p = 0; p < 16; p++) {
                    double e = u[size_t(p)] + u[size_t(q)] + u[size_t(r)] - target;
                    best = std::min(best, cost[size_t(q * 16 + p)] + e * e);
                }
                next[size_t(r * 16 + q)] = best;
            }
        cost.swap(next);
    }
    double least = *std::min_element(cost.begin(), cost.end());
    std::vector<uint8_t> found = search_in_turn(t, l, 15);
    ASSERT_EQ(found.size(), t.size());
    EXPECT_NEAR(error_in_turn(found, t, l, 15), least, 1e-3 * least);
}

// A loud sine through three channels in turn comes out as close as the sums of the loud levels
// allow: its peaks must meet them, which takes the offset's floor to within a sixteenth of a
// channel's range (on the AY's levels an eighth cost 0.4 dB here: 24.1 dB). The start from silence
// on every channel costs a part of what the same sine reaches in the middle of a sound.
TEST(LevelsInTurn, LoudSineMeetsTheLoudSums) {
    const struct {
        const char* dac;
        double least_db; // by the chooser's own measure, as a listener hears it
    } cases[] = {{"psg3", 27.0}, {"ay3", 24.3}};
    std::vector<float> x(8000);
    for (size_t i = 0; i < x.size(); i++)
        x[i] = float(std::pow(10.0, -0.1 / 20) * std::sin(2 * M_PI * 440 * double(i) / 8000));
    for (const auto& c : cases) {
        const Dac* row = find_dac(c.dac);
        ASSERT_NE(row, nullptr) << c.dac;
        CodeOptions options;
        options.offset = true;
        std::vector<uint8_t> codes = choose_codes_in_turn(x, row->levels(), row->silence, options);
        double heard = snr_db(x, played_in_turn(codes, row->levels(), 3, row->silence), 8000);
        EXPECT_GE(heard, c.least_db) << c.dac;
    }
}
