// The sample players on an emulated Z80: the starter project built for each DAC at several rates
// and clocks, through the banks (a sound larger than a bank cut across them) and within one, its
// image run to its end, and every port write checked against the WAV file sampleprep made and the
// preview sampleunpack makes of the packed file.
#include "sound/channels.h"
#include "sound/codes.h"
#include "sound/levels.h"
#include "tests/harness.h"
#include "tests/sound_files.h"
#include "tests/tools.h"
#ifdef ASSETKIT_HAVE_Z80EX
#include "tests/z80/machine.h"
#endif

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

namespace {

#ifdef ASSETKIT_HAVE_Z80EX
constexpr bool z80ex_found = true;
#else
constexpr bool z80ex_found = false;
#endif

bool have_z80ex() {
    return have_library("libz80ex", z80ex_found);
}

std::string folder_of(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

// A scratch copy of the starter project.
void copy_starter(const TempDir& t) {
    for (const char* name : {"Makefile", "main.c", "limits.awk", "hello.wav", "pastel16.pal"})
        write_file(t / name, read_file(source_path(std::string("examples/") + name)));
}

// make in the copy, with the programs just built and the players of the source tree.
Tool make(const TempDir& t, const std::vector<std::string>& settings) {
    std::vector<std::string> argv{"make", "--no-print-directory",
                                  "BIN=" + folder_of(program("sampleprep")),
                                  "PLAYER=" + source_path("player")};
    argv.insert(argv.end(), settings.begin(), settings.end());
    return tool(argv, t.path());
}

// The codes of the samples in a WAV file sampleprep wrote: the high nibbles of the data chunk.
std::vector<uint8_t> wav_codes(const std::string& wav) {
    std::vector<uint8_t> codes;
    if (wav.size() < 52 || wav.compare(44, 4, "data") != 0) {
        ADD_FAILURE() << "not a WAV file of sampleprep's";
        return codes;
    }
    uint32_t n = uint8_t(wav[48]) | uint8_t(wav[49]) << 8 | uint8_t(wav[50]) << 16 |
                 uint32_t(uint8_t(wav[51])) << 24;
    for (uint32_t i = 0; i < n && 52 + i < wav.size(); ++i)
        codes.push_back(uint8_t(wav[52 + i]) >> 4);
    return codes;
}

struct Case {
    const char* name;
    const char* dac;
    double rate;
    double clock;
    bool split = true; // the starter's SPLIT: play_sample_banked, sounds cut across banks
    bool big = false;  // a second sound, of three banks
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Player : public testing::TestWithParam<Case> {};

#ifdef ASSETKIT_HAVE_Z80EX
// The writes that are samples, by the players' default settings (player/settings.s), and the
// silencing write after them, which a sample write of the silent code looks like.
std::vector<z80::PortWrite> sample_writes(const std::string& dac,
                                          const std::vector<z80::PortWrite>& writes) {
    std::vector<z80::PortWrite> samples;
    int selected = -1;
    for (const z80::PortWrite& w : writes) {
        uint8_t port = uint8_t(w.port);
        if (dac == "linear" && port == 0x00) {
            samples.push_back(w);
        } else if (dac == "psg" && port == 0x7F && (w.value & 0xF0) == 0x90) {
            samples.push_back({w.port, uint8_t(w.value & 15), w.t});
        } else if (dac == "ay" && port == 0xA0) {
            selected = w.value;
        } else if (dac == "ay" && port == 0xA1 && selected == 8) {
            samples.push_back(w);
        }
    }
    return samples;
}

// The writes that are samples of a player of three channels in turn, each with its channel in
// *channels, and the silencing write at T after the last; not the setup's silencing of every
// channel nor the silencing of the other two after the last sample, which come within a few
// T-states of each other, far less than any T.
std::vector<z80::PortWrite> in_turn_writes(const std::string& dac,
                                           const std::vector<z80::PortWrite>& writes,
                                           std::vector<int>* channels) {
    std::vector<z80::PortWrite> samples;
    channels->clear();
    const uint64_t close = 100;
    uint64_t last = 0; // the last volume write, kept or not
    int selected = -1, skip = 0;
    for (const z80::PortWrite& w : writes) {
        uint8_t port = uint8_t(w.port);
        int channel = -1;
        if (dac == "psg3" && port == 0x7F && (w.value & 0x90) == 0x90) {
            channel = w.value >> 5 & 3;
            if (channel == 3) { // the noise: the setup, whose first write was taken for a sample
                if (!samples.empty() && w.t - samples.back().t < close) {
                    samples.pop_back();
                    channels->pop_back();
                }
                last = 0; // the next volume write is a sample, however soon
                continue;
            }
        } else if (dac == "ay3" && port == 0xA0) {
            selected = w.value;
            if (selected == 7) skip = 3; // the mixer: the setup's three volumes follow
            continue;
        } else if (dac == "ay3" && port == 0xA1 && selected >= 8 && selected <= 10) {
            channel = selected - 8;
            if (skip > 0) {
                --skip;
                last = 0; // the next volume write is a sample, however soon
                continue;
            }
        } else {
            continue;
        }
        bool near = last != 0 && w.t - last < close;
        last = w.t;
        if (near) continue;
        samples.push_back({w.port, uint8_t(w.value & 15), w.t});
        channels->push_back(channel);
    }
    return samples;
}

// The code each player leaves its channel at, as sample_writes() gives it: its table's silence.
uint8_t silence_of(const std::string& dac) {
    const sound::Dac* d = sound::find_dac(dac);
    EXPECT_NE(d, nullptr) << dac;
    return d ? d->silence : 0;
}
#endif

// The image plays hello.wav (and tune.wav, larger than a bank) as sampleprep prepared it, every
// sample T-states after the one before, then silences the channel T-states after the last, and its
// writes make the sound of sampleunpack's preview.
TEST_P(Player, PlaysThePreparedSoundWithoutJitter) {
    const Case& c = GetParam();
    if (!have_tool("sdcc") || !have_tool("make") || !have_z80ex())
        GTEST_SKIP() << "sdcc, make or libz80ex is missing";
    TempDir t;
    copy_starter(t);
    std::vector<std::string> sounds{"hello"};
    if (c.big) {
        // A sweep at a level that varies, so that every code comes, of 2.5 banks of samples at
        // the player's rate: three parts in three banks.
        const int rate = 44100;
        const sf_count_t frames = sf_count_t(2.5 * 2 * 16384 / c.rate * rate);
        write_sound(t / "tune.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, rate, frames,
                    [&](sf_count_t i, int) {
                        const double pi = std::acos(-1.0), s = double(i) / rate;
                        return (0.3 + 0.6 * std::fabs(std::sin(s))) *
                               std::sin(2 * pi * (200 + 100 * s) * s);
                    });
        sounds.push_back("tune");
    }
    char rate[40], clock[40];
    snprintf(rate, sizeof rate, "%g", c.rate);
    snprintf(clock, sizeof clock, "%.0f", c.clock);
    std::string sound_list;
    for (const std::string& sound : sounds) sound_list += (sound_list.empty() ? "" : " ") + sound;
    Tool built = make(t, {std::string("DAC=") + c.dac, std::string("RATE=") + rate,
                          std::string("CLOCK=") + clock,
                          c.split ? "SPLIT=yes" : "SPLIT=", "SOUNDS=" + sound_list});
    ASSERT_EQ(built.status, 0) << built.output;
    std::string banks = read_file(t / "build/banks/banks.h");
    EXPECT_EQ(banks.find("#define tune_parts 3\n") != std::string::npos, c.big) << banks;

    // The T-states a sample, worked out here on its own: round(CLOCK / RATE).
    const long T = std::lround(c.clock / c.rate);
    const double true_rate = c.clock / double(T);
    EXPECT_LT(std::fabs(true_rate - c.rate) / c.rate, 0.005);
    char true_rate_text[40];
    snprintf(true_rate_text, sizeof true_rate_text, "%.6f", true_rate);
    // sampleprep was given the true rate.
    EXPECT_NE(built.output.find(std::string("sampleprep -r ") + true_rate_text + " -d " + c.dac),
              std::string::npos)
        << built.output;

    // Each sound's codes, then the silencing write.
    std::vector<std::vector<uint8_t>> expected;
    size_t total = 0;
    for (const std::string& sound : sounds) {
        expected.push_back(wav_codes(read_file(t / ("build/" + sound + ".wav"))));
        std::string packed = read_file(t / ("build/" + sound + ".bin"));
        ASSERT_GE(packed.size(), 18u);
        size_t blocks = uint8_t(packed[0] - 1) + 256 * size_t(uint8_t(packed[1] - 1));
        ASSERT_EQ(expected.back().size(), 32 * blocks) << "sampleprep fills the last block";
        total += expected.back().size() + 1;
    }

#ifdef ASSETKIT_HAVE_Z80EX
    z80::Machine machine;
    machine.use_banks(read_file(t / "build/starter.rom"));
    const uint64_t limit = 10000000 + uint64_t(T) * 2 * total;
    ASSERT_EQ(machine.run(limit), z80::Stop::halted)
        << "still running after " << limit << " T-states";
    EXPECT_FALSE(machine.interrupts_enabled());
    // play_sample_banked selects the sound's first bank again when it returns.
    if (c.big) {
        size_t at = banks.find("#define tune_bank ");
        ASSERT_NE(at, std::string::npos) << banks;
        EXPECT_EQ(machine.bank(), std::stoi(banks.substr(at + 18)));
    }

    const sound::Dac* row = sound::find_dac(c.dac);
    ASSERT_NE(row, nullptr);
    const bool in_turn = row->channels == 3;
    std::vector<int> channels;
    std::vector<z80::PortWrite> writes = in_turn
                                             ? in_turn_writes(c.dac, machine.writes(), &channels)
                                             : sample_writes(c.dac, machine.writes());
    ASSERT_EQ(writes.size(), total) << "every sample and the silencing, of every sound";
    // Before the first sample, the setup alone: psg silences the other channels and the noise and
    // sets the tone period to 1; ay selects the mixer, turns every tone and noise off and selects
    // the volume register.
    std::vector<int> setup;
    for (const z80::PortWrite& w : machine.writes())
        if (w.t < writes.front().t) setup.push_back(w.value);
    // psg3 silences every channel and sets every tone period to 1; ay3 turns every tone and
    // noise off and every volume to 0, then selects the first sample's register.
    const std::map<std::string, std::vector<int>> setups = {
        {"linear", {}},
        {"psg", {0xBF, 0xDF, 0xFF, 0x81, 0x00}},
        {"ay", {7, 0xBF, 8}},
        {"psg3", {0x9F, 0xBF, 0xDF, 0xFF, 0x81, 0x00, 0xA1, 0x00, 0xC1, 0x00}},
        {"ay3", {7, 0xBF, 8, 0, 9, 0, 10, 0, 8}}};
    EXPECT_EQ(setup, setups.at(c.dac));
    // After the silencing write, only the other channels' silencing.
    std::vector<int> after;
    for (const z80::PortWrite& w : machine.writes())
        if (w.t > writes.back().t) after.push_back(w.value);
    const std::map<std::string, std::vector<int>> afters = {{"linear", {}},
                                                            {"psg", {}},
                                                            {"ay", {}},
                                                            {"psg3", {0xBF, 0xDF}},
                                                            {"ay3", {8, 0, 9, 0, 10, 0}}};
    EXPECT_EQ(after, afters.at(c.dac)) << "writes after the silencing";
    const uint8_t silence = silence_of(c.dac);
    sound::Levels levels{};
    ASSERT_TRUE(sound::named_levels(c.dac, &levels));

    size_t first = 0;
    for (size_t n = 0; n < sounds.size(); ++n) {
        SCOPED_TRACE(sounds[n]);
        // This sound's writes: its samples, then the silencing.
        std::vector<z80::PortWrite> samples(writes.begin() + long(first),
                                            writes.begin() + long(first + expected[n].size() + 1));
        first += samples.size();
        std::vector<uint8_t> played;
        for (size_t i = 0; i + 1 < samples.size(); ++i) played.push_back(samples[i].value);
        EXPECT_EQ(played, expected[n]);
        EXPECT_EQ(samples.back().value, silence);
        if (in_turn) {
            // Sample i on channel i mod 3, from the first of every sound; the silencing at T
            // on channel 0 (psg3) or on the channel of the last sample (ay3).
            for (size_t i = 0; i + 1 < samples.size(); ++i)
                ASSERT_EQ(channels[first - samples.size() + i], int(i % 3)) << "sample " << i;
            EXPECT_EQ(channels[first - 1],
                      c.dac == std::string("psg3") ? 0 : int((samples.size() - 2) % 3));
        }

        uint64_t shortest = UINT64_MAX, longest = 0;
        for (size_t i = 1; i < samples.size(); ++i) {
            uint64_t d = samples[i].t - samples[i - 1].t;
            shortest = std::min(shortest, d);
            longest = std::max(longest, d);
        }
        EXPECT_EQ(longest - shortest, 0u) << "jitter";
        EXPECT_EQ(shortest, uint64_t(T));
        printf("%s, %s: %zu samples, T %ld (intervals %llu to %llu), %s Hz for %g Hz (%+.3f%%)\n",
               c.name, sounds[n].c_str(), played.size(), T, (unsigned long long)shortest,
               (unsigned long long)longest, true_rate_text, c.rate,
               100 * (true_rate - c.rate) / c.rate);

        // The levels the writes make are the preview's, sample by sample.
        auto preview = run("sampleunpack",
                           {"-r", true_rate_text, "-d", c.dac, "--dc",
                            "build/" + sounds[n] + ".bin", "preview.wav"},
                           t.path());
        ASSERT_EQ(preview.status, 0) << preview.err;
        Sound sound = read_sound(t / "preview.wav");
        EXPECT_EQ(sound.info.samplerate, std::lround(true_rate));
        ASSERT_EQ(sound.samples.size(), played.size());
        // What the chip outputs: one channel's level, or the sum of three, each holding its
        // level until its next write.
        std::vector<double> chip(played.size());
        for (size_t i = 0; i < played.size(); ++i) chip[i] = sound::code_value(levels, played[i]);
        if (in_turn) chip = sound::played_in_turn(played, levels, 3, silence);
        for (size_t i = 0; i < played.size(); ++i)
            ASSERT_NEAR(sound.samples[i], chip[i], 2.0 / 32768) << "sample " << i;
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Dacs, Player,
    testing::Values(Case{"Linear8000", "linear", 8000, 3579545},
                    Case{"Linear22050", "linear", 22050, 3579545},
                    Case{"Linear8000At4MHz", "linear", 8000, 4000000},
                    Case{"Psg8000", "psg", 8000, 3579545}, Case{"Psg16000", "psg", 16000, 3579545},
                    Case{"Psg11025At3546900Hz", "psg", 11025, 3546900},
                    Case{"Ay8000", "ay", 8000, 3579545}, Case{"Ay6000", "ay", 6000, 3579545},
                    Case{"Ay8000At1773400Hz", "ay", 8000, 1773400},
                    // A sound across three banks; the highest rates through the banks.
                    Case{"LinearAcrossBanks", "linear", 8000, 3579545, true, true},
                    Case{"PsgAcrossBanks", "psg", 11025, 3546900, true, true},
                    Case{"AyAcrossBanks", "ay", 8000, 1773400, true, true},
                    Case{"LinearHighestAcrossBanks", "linear", 22372, 3579545, true, true},
                    Case{"PsgHighestAcrossBanks", "psg", 21434, 3579545, true, true},
                    Case{"AyHighestAcrossBanks", "ay", 22372, 3579545, true, true},
                    // The highest rates within a bank, where the delays are shortest.
                    Case{"LinearHighest", "linear", 35795, 3579545, false},
                    Case{"PsgHighest", "psg", 33454, 3579545, false},
                    Case{"AyHighest", "ay", 35795, 3579545, false},
                    Case{"Psg8000WithinBanks", "psg", 8000, 3579545, false},
                    // Three channels in turn, within a bank and across three, at the highest
                    // rate within one.
                    Case{"Psg3_8000", "psg3", 8000, 3579545, false},
                    Case{"Ay3_8000", "ay3", 8000, 3579545, false},
                    Case{"Psg3AcrossBanks", "psg3", 11025, 3546900, true, true},
                    Case{"Ay3AcrossBanks", "ay3", 8000, 1773400, true, true},
                    Case{"Psg3Highest", "psg3", 27965, 3579545, false},
                    Case{"Ay3Highest", "ay3", 26320, 3579545, false}),
    ByName());

// The settings are prerequisites: the same ones again leave nothing to do (a rate that gives the
// same T is the same build), another rate, clock or DAC remakes the sound and the player alone.
TEST(PlayerMake, RebuildsWhatASettingChanges) {
    if (!have_tool("sdcc") || !have_tool("make")) GTEST_SKIP() << "sdcc or make is missing";
    TempDir t;
    copy_starter(t);
    Tool first = make(t, {"DAC=psg", "RATE=8000"});
    ASSERT_EQ(first.status, 0) << first.output;
    const std::string nothing = "make: Nothing to be done for 'all'.\n";
    EXPECT_EQ(make(t, {"DAC=psg", "RATE=8000"}).output, nothing);
    EXPECT_EQ(make(t, {"DAC=psg", "RATE=8001", "CLOCK=3579545"}).output, nothing);
    struct Change {
        std::vector<std::string> settings;
        std::string sampleprep; // the command that must run again
        bool player;            // whether the player is assembled again
    };
    for (const Change& change :
         {Change{{"DAC=psg", "RATE=9000"}, "sampleprep -r 8993.831658 -d psg hello.wav", true},
          Change{
              {"DAC=psg", "RATE=9000", "CLOCK=4000000"}, "sampleprep -r 9009.009009 -d psg", true},
          Change{
              {"DAC=ay", "RATE=9000", "CLOCK=4000000"}, "sampleprep -r 9009.009009 -d ay", true}}) {
        Tool again = make(t, change.settings);
        ASSERT_EQ(again.status, 0) << again.output;
        EXPECT_NE(again.output.find(change.sampleprep), std::string::npos) << again.output;
        EXPECT_EQ(again.output.find("sdasz80") != std::string::npos, change.player) << again.output;
        EXPECT_EQ(again.output.find("palprep"), std::string::npos) << again.output;
        EXPECT_EQ(make(t, change.settings).output, nothing);
    }
}

// The players' delays last exactly what they are asked, from the shortest to several rounds of
// their longest loop, each measured between two writes on the emulator.
TEST(PlayerDelay, LastsExactlyTheTStatesAsked) {
    if (!have_tool("sdasz80") || !have_tool("sdldz80") || !have_z80ex())
        GTEST_SKIP() << "SDCC or libz80ex is missing";
    std::vector<long> delays{0, 4, 5};
    for (long d = 7; d <= 300; ++d) delays.push_back(d);
    for (long d = 4070; d <= 4130; ++d) delays.push_back(d);
    for (long d : {8160L, 8187L, 8188L, 8189L, 8200L, 8211L, 12000L, 20000L}) delays.push_back(d);
    TempDir t;
    // Carry clear, as the players leave it where they wait.
    std::string source = "        .include \"" + source_path("player/assetkit-delay.inc") +
                         "\"\n        .area _CODE\n        di\n        or a\n"
                         "        out (0),a\n";
    for (long d : delays)
        source += "        PLAYER_DELAY " + std::to_string(d) + "\n        out (0),a\n";
    source += "        halt\n";
    write_file(t / "delays.s", source);
    Tool assembled = tool({"sdasz80", "-o", "delays.rel", "delays.s"}, t.path());
    ASSERT_EQ(assembled.status, 0) << assembled.output;
    Tool linked =
        tool({"sdldz80", "-n", "-i", "-b", "_CODE=0x0000", "delays.ihx", "delays.rel"}, t.path());
    ASSERT_EQ(linked.status, 0) << linked.output;
#ifdef ASSETKIT_HAVE_Z80EX
    z80::Machine machine;
    machine.load(intel_hex_image(read_file(t / "delays.ihx")));
    ASSERT_EQ(machine.run(10000000), z80::Stop::halted);
    const auto& writes = machine.writes();
    ASSERT_EQ(writes.size(), delays.size() + 1);
    for (size_t i = 0; i < delays.size(); ++i)
        EXPECT_EQ(writes[i + 1].t - writes[i].t, uint64_t(11 + delays[i]))
            << "PLAYER_DELAY " << delays[i];
#endif
}

// player-timing: T nearest to CLOCK / RATE, never below the player's smallest, and the true rate.
TEST(PlayerTiming, GivesTAndTheTrueRate) {
    if (!have_tool("sh")) GTEST_SKIP() << "sh is missing";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string output;
    } rows[] = {
        {{"linear", "8000"}, 0, "447 8007.930649\n"},
        {{"psg", "8000", "4000000"}, 0, "500 8000.000000\n"},
        {{"ay", "11025", "3546900"}, 0, "322 11015.217391\n"},
        // Above the highest rate: the highest.
        {{"linear", "44100"}, 0, "100 35795.450000\n"},
        {{"psg", "1000000"}, 0, "107 33453.691589\n"},
        {{"ay", "36000"}, 0, "100 35795.450000\n"},
        // play_sample_banked's: the same T down to its smallest, which is larger.
        {{"-b", "linear", "8000"}, 0, "447 8007.930649\n"},
        {{"-b", "linear", "44100"}, 0, "160 22372.156250\n"},
        {{"-b", "psg", "44100"}, 0, "167 21434.401198\n"},
        {{"-b", "ay", "22000", "4000000"}, 0, "182 21978.021978\n"},
        {{"beeper", "8000"}, 2, "usage: player-timing [-b] linear|psg|ay|psg3|ay3 rate [clock]\n"},
        {{"-b"}, 2, "usage: player-timing [-b] linear|psg|ay|psg3|ay3 rate [clock]\n"},
        {{"linear", "-b", "8000"},
         2,
         "player-timing: the rate and the clock are numbers of Hz above 0\n"},
        {{"linear", "0"}, 2, "player-timing: the rate and the clock are numbers of Hz above 0\n"},
        {{"linear", "8000", "3.5MHz"},
         2,
         "player-timing: the rate and the clock are numbers of Hz above 0\n"},
    };
    TempDir t;
    for (const Row& row : rows) {
        std::vector<std::string> argv{"sh", source_path("player/player-timing")};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        Tool timing = tool(argv, t.path());
        EXPECT_EQ(timing.status, row.status) << row.args[0];
        EXPECT_EQ(timing.output, row.output) << row.args[0];
    }
}

// Both entry points, straight from a program of a few instructions, on a sound at each place in a
// page and across the window's end into the next bank: every path through the loops (a page
// within a block and at its end, a new bank, the last sample before a page, a block count across
// two banks) lasts T, at the smallest T and at the default.
TEST(PlayerPaths, EveryPlaceInThePagesAndBanks) {
    if (!have_tool("sdasz80") || !have_tool("sdldz80") || !have_z80ex())
        GTEST_SKIP() << "SDCC or libz80ex is missing";
#ifdef ASSETKIT_HAVE_Z80EX
    struct Place {
        long offset; // from 0xBF00 in bank 2
        long blocks;
        bool banked;
    };
    std::vector<Place> places;
    for (long offset = 0; offset < 16; ++offset) places.push_back({offset, 47, true});
    places.push_back({14, 15, true});  // the last sample at the window's end
    places.push_back({14, 47, true});  // the last sample before a new page, past the window
    places.push_back({255, 20, true}); // the block count across the window's end
    places.push_back({254, 0, true});  // nothing to play
    for (long offset = 0; offset < 16; ++offset) places.push_back({offset - 0x3F00, 47, false});
    places.push_back({14 - 0x3F00, 0, false});
    TempDir t;
    for (auto [dac, smallest] :
         {std::pair{"linear", 160}, {"psg", 167}, {"ay", 160}, {"psg3", 188}, {"ay3", 196}}) {
        for (int T : {smallest, 447}) {
            write_file(t / "mine.s", "PLAYER_T = " + std::to_string(T) + "\nPLAYER_BANKED = 1\n");
            Tool assembled = tool({"sdasz80", "-o", "player.rel", source_path("player/settings.s"),
                                   "mine.s", source_path(std::string("player/") + dac + ".s")},
                                  t.path());
            ASSERT_EQ(assembled.status, 0) << assembled.output;
            for (const Place& place : places) {
                SCOPED_TRACE(std::string(dac) + " T " + std::to_string(T) + " at 0xBF00 + " +
                             std::to_string(place.offset) + ", " + std::to_string(place.blocks) +
                             " blocks, " + (place.banked ? "banked" : "within the window"));
                const long address = 0xBF00 + place.offset;
                // Interrupts enabled before the call at odd places: enabled again after it.
                const bool ei = place.offset % 2 != 0;
                char call[200];
                snprintf(call, sizeof call,
                         place.banked ? "ld a,#2\n ld de,#0x%lX\n call _play_sample_banked\n"
                                      : "ld hl,#0x%lX\n call _play_sample\n",
                         address);
                write_file(t / "main.s", std::string("        .globl _play_sample, "
                                                     "_play_sample_banked\n        .area _CODE\n"
                                                     " ld sp,#0xFF00\n ") +
                                             (ei ? "ei\n " : "") + call + " halt\n");
                Tool linked = tool({"sh", "-c",
                                    "sdasz80 -o main.rel main.s && sdldz80 -n -i -b _CODE=0x0000 "
                                    "main.ihx main.rel player.rel"},
                                   t.path());
                ASSERT_EQ(linked.status, 0) << linked.output;

                // Four banks: the program, then the sound from its place in bank 2 on into bank 3.
                std::string rom(4 * 16384, '\0');
                for (auto [at, byte] : intel_hex_image(read_file(t / "main.ihx")))
                    rom[at] = char(byte);
                std::string packed{char(place.blocks % 256 + 1), char(place.blocks / 256 + 1)};
                std::vector<uint8_t> codes;
                for (long i = 0; i < 16 * place.blocks; ++i) {
                    uint8_t byte = uint8_t(i * 37 + 11);
                    packed += char(byte);
                    codes.push_back(byte >> 4);
                    codes.push_back(byte & 15);
                }
                rom.replace(size_t(2 * 16384 + address - 0x8000), packed.size(), packed);

                z80::Machine machine;
                machine.use_banks(rom);
                ASSERT_EQ(machine.run(10000000), z80::Stop::halted);
                EXPECT_EQ(machine.bank(), 2) << "the bank of the call, selected again";
                EXPECT_EQ(machine.interrupts_enabled(), ei);
                std::vector<int> channels;
                const bool in_turn = sound::find_dac(dac)->channels == 3;
                std::vector<z80::PortWrite> samples =
                    in_turn ? in_turn_writes(dac, machine.writes(), &channels)
                            : sample_writes(dac, machine.writes());
                ASSERT_EQ(samples.size(), codes.size() + 1);
                for (size_t i = 0; i < codes.size(); ++i) {
                    ASSERT_EQ(samples[i].value, codes[i]) << "sample " << i;
                    if (in_turn) {
                        ASSERT_EQ(channels[i], int(i % 3)) << "sample " << i;
                    }
                }
                EXPECT_EQ(samples.back().value, silence_of(dac));
                for (size_t i = 1; i < samples.size(); ++i)
                    ASSERT_EQ(samples[i].t - samples[i - 1].t, uint64_t(T)) << "sample " << i;
            }
        }
    }
#endif
}

// A T below a player's smallest stops the assembly, rather than making a player that jitters;
// with play_sample_banked, below its smallest.
TEST(PlayerAssembly, RefusesTBelowTheSmallest) {
    if (!have_tool("sdasz80")) GTEST_SKIP() << "sdasz80 is missing";
    TempDir t;
    struct Row {
        const char* dac;
        int banked; // PLAYER_BANKED
        int smallest;
    };
    for (auto [dac, banked, smallest] : {Row{"linear", 0, 100},
                                         {"psg", 0, 107},
                                         {"ay", 0, 100},
                                         {"linear", 1, 160},
                                         {"psg", 1, 167},
                                         {"ay", 1, 160},
                                         {"psg3", 0, 128},
                                         {"ay3", 0, 136},
                                         {"psg3", 1, 188},
                                         {"ay3", 1, 196}}) {
        for (int T : {smallest - 1, smallest}) {
            write_file(t / "mine.s", "PLAYER_T = " + std::to_string(T) +
                                         "\nPLAYER_BANKED = " + std::to_string(banked) + "\n");
            Tool assembled = tool({"sdasz80", "-o", "player.rel", source_path("player/settings.s"),
                                   "mine.s", source_path(std::string("player/") + dac + ".s")},
                                  t.path());
            EXPECT_EQ(assembled.status == 0, T == smallest)
                << dac << " at T " << T << ": " << assembled.output;
        }
    }
    // A window or a bank size the banked loop cannot follow page by page.
    for (const char* mapper :
         {"MAPPER_SIZE = 0x3F80", "MAPPER_WINDOW = 0x8010", "MAPPER_SIZE = 0x2000"}) {
        write_file(t / "mine.s", std::string("PLAYER_BANKED = 1\n") + mapper + "\n");
        Tool assembled = tool({"sdasz80", "-o", "player.rel", source_path("player/settings.s"),
                               "mine.s", source_path("player/linear.s")},
                              t.path());
        EXPECT_EQ(assembled.status == 0, std::string(mapper) == "MAPPER_SIZE = 0x2000")
            << mapper << ": " << assembled.output;
    }
}

} // namespace
