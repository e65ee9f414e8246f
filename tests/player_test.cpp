// The sample players on an emulated Z80: the starter project built for each DAC at several rates
// and clocks, through the banks (a sound larger than a bank cut across them) and within one, its
// image run to its end, and every port write checked against the WAV file sampleprep made and the
// preview sampleunpack makes of the packed file.
#include "sound/channels.h"
#include "sound/codes.h"
#include "sound/levels.h"
#include "tests/harness.h"
#include "tests/machines.h"
#include "tests/png.h"
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
    for (const char* name : {"Makefile", "main.c", "start.s", "limits.awk", "hello.wav",
                             "pastel16.pal", "screen.png", "banner.png"})
        write_file(t / name, read_file(source_path(std::string("examples/") + name)));
}

// make in the copy, with the programs just built and the players and machines of the source
// tree, for the machine linear unless the settings name another.
Tool make(const TempDir& t, const std::vector<std::string>& settings) {
    std::vector<std::string> argv{"make",
                                  "--no-print-directory",
                                  "BIN=" + folder_of(program("sampleprep")),
                                  "PLAYER=" + source_path("player"),
                                  "MACHINES=" + source_path("machines"),
                                  "MACHINE=linear"};
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
// On a machine of the table, its ports: data (the DAC's, the psg's, the ay's write port) and
// select (the ay's register select).
std::vector<z80::PortWrite> sample_writes(const std::string& dac,
                                          const std::vector<z80::PortWrite>& writes, int data = -1,
                                          int select = 0xA0) {
    if (data < 0) data = dac == "linear" ? 0x00 : dac == "psg" ? 0x7F : 0xA1;
    std::vector<z80::PortWrite> samples;
    int selected = -1;
    for (const z80::PortWrite& w : writes) {
        uint8_t port = uint8_t(w.port);
        if (dac == "linear" && port == data) {
            samples.push_back(w);
        } else if (dac == "psg" && port == data && (w.value & 0xF0) == 0x90) {
            samples.push_back({w.port, uint8_t(w.value & 15), w.t});
        } else if (dac == "ay" && port == select) {
            selected = w.value;
        } else if (dac == "ay" && port == data && selected == 8) {
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

// The emulated board of a machine's row.
z80::Board board_of(const machines::Row& row) {
    z80::Board board;
    const std::string kind = row.text("MAPPER_KIND");
    if (kind == "three-register")
        board.mapper = z80::Mapper::three_register;
    else if (kind == "two-window")
        board.mapper = z80::Mapper::two_window;
    else
        EXPECT_EQ(kind, "one-register") << row.name;
    board.m1_waits = int(row.number("M1_WAITS"));
    board.mapper_register = uint16_t(row.number("MAPPER_REGISTER"));
    if (!row.text("NEVER_WRITE").empty())
        for (auto [first, last] : row.ranges("NEVER_WRITE"))
            board.never_write.push_back({uint16_t(first), uint16_t(last)});
    const long colours = row.number("COLOURS");
    if (colours > 0) {
        // The video chip's protocol, from the control port's second byte: 11 in bits 7-6 chooses
        // colour memory at an address, 10 writes a register (16, the palette's index).
        const long setup = row.number("COLOUR_SETUP") >> 8;
        board.video = (setup & 0xC0) == 0xC0 ? z80::Video::address : z80::Video::register16;
        board.colour_control = uint8_t(row.number("COLOUR_CONTROL"));
        board.colour_data = uint8_t(row.number("COLOUR_DATA"));
        board.colour_bytes = size_t(colours) * (row.number("COLOUR_DEPTH") > 8 ? 2 : 1);
        board.colour_depth = int(row.number("COLOUR_DEPTH"));
        board.video_data = uint8_t(row.number("PICTURE_DATA"));
    }
    return board;
}

// Fails the test with each fault the board saw.
void expect_no_faults(const z80::Machine& machine) {
    for (const std::string& fault : machine.faults()) ADD_FAILURE() << fault;
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
    machine.use_board(board_of(machines::row("linear")), read_file(t / "build/starter.rom"));
    const uint64_t limit = 10000000 + uint64_t(T) * 2 * total;
    ASSERT_EQ(machine.run(limit), z80::Stop::halted)
        << "still running after " << limit << " T-states";
    expect_no_faults(machine);
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
                    // Slow rates, whose delays once overran the players' relative jumps.
                    Case{"LinearSlow200", "linear", 200, 3579545},
                    Case{"PsgSlow200WithinBanks", "psg", 200, 3579545, false},
                    // Three channels in turn, within a bank and across three, at the highest
                    // rate within one.
                    Case{"Psg3_8000", "psg3", 8000, 3579545, false},
                    Case{"Ay3_8000", "ay3", 8000, 3579545, false},
                    Case{"Psg3AcrossBanks", "psg3", 11025, 3546900, true, true},
                    Case{"Ay3AcrossBanks", "ay3", 8000, 1773400, true, true},
                    Case{"Psg3Highest", "psg3", 27965, 3579545, false},
                    Case{"Ay3Highest", "ay3", 26320, 3579545, false}),
    ByName());

// The starter built for each machine of the table, run on the board its row describes: the image
// boots as the machine starts it, nothing is written or fetched that the program did not mean,
// the screen shows the picture on a machine whose video chip shows pictures (its sub-palettes
// in the colour memory), else the colour memory holds palprep --pack's bytes, and every sound
// plays in order at one interval, wait states counted, which is T and gives the rate asked within
// 0.1%: with the code where the row puts it, 1 KB into the cartridge, and with twelve sounds. With
// the chip's three channels in turn (DAC=psg3 or ay3), sample k on channel k mod 3 and all three
// silenced after the last. The levels the writes make are sampleunpack's preview.
struct MachineCase {
    const char* name;
    const char* machine;
    long code_offset;           // CODE_LOC from the cartridge's start; 0: the row's
    int sounds;                 // 1: hello; else that many short sounds
    uint8_t cartridge_slot = 1; // ay-9bit: the board's slot for the cartridge, as ENASLT takes it
    const char* dac = nullptr;  // another player than the row's
    bool picture = true; // false: PICTURES= (a machine that shows pictures writes the palette)
};

void PrintTo(const MachineCase& c, std::ostream* os) {
    *os << c.name;
}

class Machines : public testing::TestWithParam<MachineCase> {};

// Short sounds of different lengths and pitches, so that swapping or cutting any shows.
std::vector<std::string> write_short_sounds(const TempDir& t, int count) {
    std::vector<std::string> names;
    for (int n = 0; n < count; ++n) {
        const int rate = 22050;
        names.push_back("s" + std::to_string(n + 1));
        write_sound(t / (names.back() + ".wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, rate,
                    rate / 40 + 97 * n, [&](sf_count_t i, int) {
                        const double pi = std::acos(-1.0);
                        return 0.8 * std::sin(2 * pi * (300 + 70 * n) * double(i) / rate);
                    });
    }
    return names;
}

TEST_P(Machines, TheStarterBootsAndPlaysOnTheBoard) {
    const MachineCase& c = GetParam();
    if (!have_tool("sdcc") || !have_tool("make") || !have_z80ex())
        GTEST_SKIP() << "sdcc, make or libz80ex is missing";
#ifdef ASSETKIT_HAVE_Z80EX
    const machines::Row row = machines::row(c.machine);
    TempDir t;
    copy_starter(t);
    std::vector<std::string> sounds{"hello"};
    if (c.sounds > 1) sounds = write_short_sounds(t, c.sounds);
    std::string sound_list;
    for (const std::string& sound : sounds) sound_list += (sound_list.empty() ? "" : " ") + sound;
    std::vector<std::string> settings{std::string("MACHINE=") + c.machine, "SOUNDS=" + sound_list};
    if (c.dac) settings.push_back(std::string("DAC=") + c.dac);
    if (!c.picture) settings.push_back("PICTURES=");
    if (c.code_offset) {
        char code_loc[40];
        snprintf(code_loc, sizeof code_loc, "CODE_LOC=0x%04lX",
                 row.number("FIXED_START") + c.code_offset);
        settings.push_back(code_loc);
    }
    Tool built = make(t, settings);
    ASSERT_EQ(built.status, 0) << built.output;

    // T from player-timing for the row's player (or the one given), waits and clock; the true
    // rate at 8000 Hz.
    const std::string dac = c.dac ? c.dac : row.text("DAC");
    const long clock = row.number("CLOCK");
    Tool timing = c.dac ? tool({"sh", source_path("player/player-timing"), "-b", "-w",
                                row.text("M1_WAITS"), dac, "8000", row.text("CLOCK")},
                               t.path())
                        : tool({"sh", source_path("player/player-timing"), "-b", c.machine, "8000"},
                               t.path());
    ASSERT_EQ(timing.status, 0) << timing.output;
    const long T = std::stol(timing.output);
    EXPECT_LT(std::fabs(double(clock) / T - 8000) / 8000, 0.001) << timing.output;
    const std::string true_rate = timing.output.substr(
        timing.output.find(' ') + 1, timing.output.find('\n') - timing.output.find(' ') - 1);

    // The image: whole banks, a power of two of them.
    const std::string image = read_file(t / "build/starter.rom");
    EXPECT_GE(image.size(), 0x4000u);
    EXPECT_EQ(image.size() & (image.size() - 1), 0u) << image.size() << " bytes";

    std::vector<std::vector<uint8_t>> expected;
    size_t total = 0;
    for (const std::string& sound : sounds) {
        expected.push_back(wav_codes(read_file(t / ("build/" + sound + ".wav"))));
        total += expected.back().size() + 1;
    }

    z80::Board board = board_of(row);
    board.cartridge_slot = c.cartridge_slot;
    z80::Machine machine;
    machine.use_board(board, image);
    const uint64_t limit = 10000000 + uint64_t(T) * 2 * total;
    ASSERT_EQ(machine.run(limit), z80::Stop::halted)
        << "still running after " << limit << " T-states, at 0x" << std::hex << machine.pc();
    expect_no_faults(machine);

    const std::string mode = row.text("PICTURE_MODE");
    if (!mode.empty() && c.picture) {
        // The screen shows the picture: as tileview draws tilepack's files, and as the picture
        // itself, whose colours the machine shows unmoved (each on the grid of its depth); its
        // sub-palettes fill the colour memory. A bitmap shows from the screen's top, colour 0
        // below it.
        const std::string screen = machine.screen();
        expect_no_faults(machine);
        const std::string packed = read_file(t / "build/picture/palettes.bin");
        EXPECT_EQ(packed.size(), machine.colour_memory().size());
        EXPECT_EQ(std::string(machine.colour_memory().begin(),
                              machine.colour_memory().begin() +
                                  long(std::min(packed.size(), machine.colour_memory().size()))),
                  packed);
        const bool tiles = mode == "tiles";
        const std::string picture = tiles ? "screen.png" : "banner.png";
        std::vector<std::string> argv{program("tileview"), "-m", c.machine,
                                      "build/picture/tiles.bin", "build/picture/palettes.bin"};
        if (tiles) argv.push_back("build/picture/screen.map");
        argv.push_back("view.png");
        Tool view = tool(argv, t.path());
        ASSERT_EQ(view.status, 0) << view.output;
        ASSERT_EQ(screen.size(), 256u * 192 * 3);
        for (const std::string& drawn : {std::string("view.png"), picture}) {
            SCOPED_TRACE(drawn);
            const Image image = decode_png(read_file(t / drawn));
            ASSERT_EQ(image.error, "");
            ASSERT_EQ(image.width, 256u);
            ASSERT_LE(image.height, 192u);
            size_t differ = 0, first = 0;
            for (size_t i = 0; i < 256u * 192; ++i) {
                Rgba p = i < image.pixels.size() ? image.pixels[i] : Rgba{0, 0, 0};
                if (uint8_t(screen[3 * i]) != p.r || uint8_t(screen[3 * i + 1]) != p.g ||
                    uint8_t(screen[3 * i + 2]) != p.b)
                    first = differ++ ? first : i;
            }
            EXPECT_EQ(differ, 0u) << "pixels unlike the screen's, the first at x " << first % 256
                                  << " y " << first / 256;
        }
    } else if (row.number("COLOURS") > 0) {
        // The colour memory holds what palprep --pack makes of the palette for the machine.
        Tool packed = tool({program("palprep"), "--pack", "--depth", row.text("COLOUR_DEPTH"),
                            "--count", row.text("COLOURS"), "pastel16.pal", "direct.bin"},
                           t.path());
        ASSERT_EQ(packed.status, 0) << packed.output;
        const std::string direct = read_file(t / "direct.bin");
        EXPECT_EQ(std::string(machine.colour_memory().begin(), machine.colour_memory().end()),
                  direct);
    }

    const bool in_turn = sound::find_dac(dac)->channels == 3;
    std::vector<int> channels;
    std::vector<z80::PortWrite> writes =
        in_turn ? in_turn_writes(dac, machine.writes(), &channels)
                : sample_writes(dac, machine.writes(), int(row.number("SOUND_PORT")),
                                int(row.number("SOUND_SELECT")));
    ASSERT_EQ(writes.size(), total) << "every sample and the silencing, of every sound";
    if (!mode.empty() && c.picture) {
        // The display goes on (register 1 bit 6) before the first sample, and the video chip is
        // left alone while the sounds play: they play under the picture.
        const std::vector<z80::PortWrite>& all = machine.writes();
        const uint8_t control = uint8_t(row.number("COLOUR_CONTROL"));
        size_t on = all.size();
        for (size_t i = 1; i < all.size(); ++i)
            if (uint8_t(all[i].port) == control && all[i].value == 0x81 &&
                uint8_t(all[i - 1].port) == control && (all[i - 1].value & 0x40))
                on = i;
        ASSERT_LT(on, all.size()) << "the display was never turned on";
        EXPECT_LT(all[on].t, writes.front().t);
        for (size_t i = on + 1; i < all.size(); ++i) {
            const uint8_t port = uint8_t(all[i].port);
            EXPECT_TRUE(port != control && port != row.number("COLOUR_DATA") &&
                        port != row.number("PICTURE_DATA"))
                << "a write to the video chip's port 0x" << std::hex << int(port)
                << " after the display went on";
        }
    }
    if (in_turn) {
        // After the last sound's silencing, the other two channels' silencing alone.
        std::vector<int> after;
        for (const z80::PortWrite& w : machine.writes())
            if (w.t > writes.back().t) after.push_back(w.value);
        const std::vector<int> others =
            dac == "psg3" ? std::vector<int>{0xBF, 0xDF} : std::vector<int>{8, 0, 9, 0, 10, 0};
        EXPECT_EQ(after, others) << "writes after the last silencing";
    }
    sound::Levels levels{};
    ASSERT_TRUE(sound::named_levels(dac, &levels));
    size_t first = 0;
    uint64_t shortest = UINT64_MAX, longest = 0;
    for (size_t n = 0; n < sounds.size(); ++n) {
        SCOPED_TRACE(sounds[n]);
        std::vector<uint8_t> played;
        for (size_t i = first; i < first + expected[n].size(); ++i) {
            played.push_back(writes[i].value);
            if (in_turn) {
                ASSERT_EQ(channels[i], int((i - first) % 3)) << "sample " << i - first;
            }
        }
        EXPECT_EQ(played, expected[n]);
        EXPECT_EQ(writes[first + expected[n].size()].value, silence_of(dac));
        for (size_t i = first + 1; i <= first + expected[n].size(); ++i) {
            uint64_t d = writes[i].t - writes[i - 1].t;
            shortest = std::min(shortest, d);
            longest = std::max(longest, d);
        }
        first += expected[n].size() + 1;

        // What the chip outputs, one channel's level or the sum of three each holding its level
        // until its next write, is the preview of the packed sound at the true rate.
        auto preview =
            run("sampleunpack",
                {"-r", true_rate, "-d", dac, "--dc", "build/" + sounds[n] + ".bin", "preview.wav"},
                t.path());
        ASSERT_EQ(preview.status, 0) << preview.err;
        Sound heard = read_sound(t / "preview.wav");
        ASSERT_EQ(heard.samples.size(), played.size());
        std::vector<double> chip(played.size());
        for (size_t i = 0; i < played.size(); ++i) chip[i] = sound::code_value(levels, played[i]);
        if (in_turn) chip = sound::played_in_turn(played, levels, 3, silence_of(dac));
        for (size_t i = 0; i < played.size(); ++i)
            ASSERT_NEAR(heard.samples[i], chip[i], 2.0 / 32768) << "sample " << i;
    }
    EXPECT_EQ(shortest, uint64_t(T));
    EXPECT_EQ(longest, uint64_t(T));
    printf("%s: %s, T %ld, %.6f Hz for 8000 Hz; intervals %llu to %llu T-states; image %zu "
           "bytes\n",
           c.name, dac.c_str(), T, double(clock) / T, (unsigned long long)shortest,
           (unsigned long long)longest, image.size());
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Table, Machines,
    testing::Values(MachineCase{"Psg6Bit", "psg-6bit", 0, 1},
                    MachineCase{"Psg6BitCodeAt0x0400", "psg-6bit", 0x400, 1},
                    MachineCase{"Psg6BitTwelveSounds", "psg-6bit", 0, 12},
                    MachineCase{"Psg12Bit", "psg-12bit", 0, 1},
                    MachineCase{"Psg12BitCodeAt0x0400", "psg-12bit", 0x400, 1},
                    MachineCase{"Psg12BitTwelveSounds", "psg-12bit", 0, 12},
                    // No picture: the palette takes the colour memory, as on the other machines.
                    MachineCase{"Psg6BitWithoutAPicture", "psg-6bit", 0, 1, 1, nullptr, false},
                    MachineCase{"Psg12BitWithoutAPicture", "psg-12bit", 0, 1, 1, nullptr, false},
                    MachineCase{"Ay9Bit", "ay-9bit", 0, 1},
                    MachineCase{"Ay9BitCode1KBIn", "ay-9bit", 0x400, 1},
                    MachineCase{"Ay9BitTwelveSounds", "ay-9bit", 0, 12},
                    MachineCase{"Ay9BitWithoutAPicture", "ay-9bit", 0, 1, 1, nullptr, false},
                    // The cartridge in slot 2, and in slot 2 expanded, at its secondary slot 1.
                    MachineCase{"Ay9BitInSlot2", "ay-9bit", 0, 1, 0x02},
                    MachineCase{"Ay9BitInAnExpandedSlot", "ay-9bit", 0, 1, 0x86},
                    MachineCase{"Linear", "linear", 0, 1},
                    MachineCase{"LinearCodeAt0x0400", "linear", 0x400, 1},
                    MachineCase{"LinearTwelveSounds", "linear", 0, 12},
                    // The chip's three channels in turn.
                    MachineCase{"Psg6BitPsg3", "psg-6bit", 0, 1, 1, "psg3"},
                    MachineCase{"Psg12BitPsg3TwelveSounds", "psg-12bit", 0, 12, 1, "psg3"},
                    MachineCase{"Ay9BitAy3", "ay-9bit", 0, 1, 1, "ay3"},
                    MachineCase{"Ay9BitAy3TwelveSounds", "ay-9bit", 0, 12, 1, "ay3"}),
    ByName());

// The start-up this starter once had, the stack from 0x0000: on the board with the three-register
// mapper its first pushes land on the mapper's registers, which the board reports.
TEST(MachinesStartUp, TheStackAtTheTopOfMemoryFails) {
    if (!have_tool("sdcc") || !have_tool("make") || !have_z80ex())
        GTEST_SKIP() << "sdcc, make or libz80ex is missing";
#ifdef ASSETKIT_HAVE_Z80EX
    TempDir t;
    copy_starter(t);
    std::string start = read_file(t / "start.s");
    const std::string stack = "ld      sp,#MACHINE_STACK";
    ASSERT_NE(start.find(stack), std::string::npos);
    start.replace(start.find(stack), stack.size(), "ld      sp,#0x0000");
    write_file(t / "start.s", start);
    Tool built = make(t, {"MACHINE=psg-6bit", "CODE_LOC=0x0400"});
    ASSERT_EQ(built.status, 0) << built.output;
    z80::Machine machine;
    machine.use_board(board_of(machines::row("psg-6bit")), read_file(t / "build/starter.rom"));
    machine.run(20000000);
    ASSERT_FALSE(machine.faults().empty());
    EXPECT_NE(machine.faults().front().find("0xFFF"), std::string::npos)
        << machine.faults().front();
    printf("the stack from 0x0000: %zu faults, the first: %s\n", machine.faults().size(),
           machine.faults().front().c_str());
#endif
}

// Every row has every key the starter, player-timing and the tests read, with numbers where
// numbers belong, a DAC with a player, and a mapper the emulated boards know.
TEST(MachinesTable, EveryRowHasEveryKey) {
    const std::vector<std::string> names = machines::names();
    EXPECT_EQ(names, (std::vector<std::string>{"ay-9bit", "linear", "psg-12bit", "psg-6bit"}));
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        machines::Row row = machines::row(name);
        for (const char* key :
             {"CLOCK",           "M1_WAITS",        "ROM_START",       "FIXED_START",
              "FIXED_END",       "CODE_LOC",        "RAM_START",       "RAM_END",
              "RAM_MIRROR",      "STACK",           "MAPPER_REGISTER", "MAPPER_WINDOW",
              "MAPPER_SIZE",     "BANK_FIRST",      "BANK_LAST",       "IMAGE_SLOT",
              "FIRMWARE_RSLREG", "FIRMWARE_ENASLT", "FIRMWARE_EXPTBL", "SOUND_PORT",
              "SOUND_SELECT",    "COLOURS",         "COLOUR_DEPTH",    "COLOUR_CONTROL",
              "COLOUR_DATA",     "COLOUR_SETUP",    "PICTURE_COLOURS", "PICTURE_PALETTES",
              "PICTURE_ROOM",    "PICTURE_TABLE",   "PICTURE_DATA"})
            row.number(key);
        for (const char* key :
             {"NEVER_WRITE", "MAPPER_KIND", "MAPPER_POWER_ON", "IMAGE_HEADER", "IMAGE_FILE", "DAC",
              "PICTURE_MODE", "PICTURE_LAYOUT", "PICTURE_MAP"})
            row.text(key);
        EXPECT_TRUE(std::filesystem::exists(source_path("player/" + row.text("DAC") + ".s")));
        // The stack's pushes stay in RAM, below everything never written.
        const long stack = row.number("STACK");
        EXPECT_GT(stack - 256, row.number("RAM_START"));
        EXPECT_LE(stack, row.number("RAM_END"));
        if (!row.text("NEVER_WRITE").empty()) {
            for (auto [low, high] : row.ranges("NEVER_WRITE"))
                EXPECT_TRUE(stack <= low || stack - 256 > high) << low << "-" << high;
        }
        // Code in the fixed ROM.
        EXPECT_GE(row.number("CODE_LOC"), row.number("FIXED_START"));
        EXPECT_LT(row.number("CODE_LOC"), row.number("FIXED_END"));
    }
}

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

// The palette as the starter packs it for each machine and depth: palprep --pack at the colour
// memory's depth and size, at 6 and 9 bits even without colour memory (palpack packs neither),
// and palpack's 256 colours at 15 bits where the machine has none.
TEST(PlayerMake, PacksThePaletteForTheMachine) {
    if (!have_tool("make") || !have_tool("sh")) GTEST_SKIP() << "make or sh is missing";
    struct Row {
        std::vector<std::string> settings;
        std::vector<std::string> palprep; // the same bytes from palprep --pack; empty: palpack's
        size_t bytes;
    } rows[] = {
        {{"MACHINE=psg-6bit"}, {"--depth", "6", "--count", "32"}, 32},
        {{"MACHINE=psg-12bit"}, {"--depth", "12", "--count", "32"}, 64},
        {{"MACHINE=ay-9bit"}, {"--depth", "9", "--count", "16"}, 32},
        {{"MACHINE=psg-6bit", "DEPTH=12"}, {"--depth", "12", "--count", "32"}, 64},
        {{"MACHINE=linear", "DEPTH=6"}, {"--depth", "6"}, 16},
        {{"MACHINE=linear", "DEPTH=9"}, {"--depth", "9"}, 32},
        {{"MACHINE=linear"}, {}, 512},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings.back());
        TempDir t;
        copy_starter(t);
        std::vector<std::string> settings = row.settings;
        settings.push_back("build/pastel16.bin");
        Tool built = make(t, settings);
        ASSERT_EQ(built.status, 0) << built.output;
        const std::string packed = read_file(t / "build/pastel16.bin");
        EXPECT_EQ(packed.size(), row.bytes);
        if (row.palprep.empty()) continue;
        std::vector<std::string> argv{program("palprep"), "--pack"};
        argv.insert(argv.end(), row.palprep.begin(), row.palprep.end());
        argv.insert(argv.end(), {"pastel16.pal", "direct.bin"});
        Tool direct = tool(argv, t.path());
        ASSERT_EQ(direct.status, 0) << direct.output;
        EXPECT_EQ(packed, read_file(t / "direct.bin"));
    }
}

// The players' delays last exactly what they are asked, from the shortest to several rounds of
// their longest loops and the longest delay a player's T can ask, each measured between two
// writes on the emulator, without wait states and with one on every M1 cycle (where each
// instruction, the write's own included, lasts one T-state more).
TEST(PlayerDelay, LastsExactlyTheTStatesAsked) {
    if (!have_tool("sdasz80") || !have_tool("sdldz80") || !have_z80ex())
        GTEST_SKIP() << "SDCC or libz80ex is missing";
    for (int waits : {0, 1}) {
        SCOPED_TRACE(std::to_string(waits) + " wait states");
        // The shortest: 0, a nop, and every length from the least up.
        std::vector<long> delays{0, 4 + waits};
        if (waits == 0) delays.push_back(5);
        for (long d = 7 + 3 * waits; d <= 300; ++d) delays.push_back(d);
        // Around a loop's turns, one loop's longest and the loop on AF'.
        const long turn = 16 + 2 * waits, outer = 255 * turn + 26 + 5 * waits;
        for (long d = 257 * turn - 40; d <= 257 * turn + 40; ++d) delays.push_back(d);
        for (long d : {outer, outer + 1, 2 * outer + 7, 8160L, 8189L, 12000L, 20000L, 500000L,
                       999989L, 1000000L})
            delays.push_back(d);
        TempDir t;
        // Carry clear, as the players leave it where they wait.
        std::string source = "PLAYER_M1_WAITS = " + std::to_string(waits) +
                             "\n        .include \"" + source_path("player/assetkit-delay.inc") +
                             "\"\n        .area _CODE\n        di\n        or a\n"
                             "        out (0),a\n";
        for (long d : delays)
            source += "        PLAYER_DELAY " + std::to_string(d) + "\n        out (0),a\n";
        source += "        halt\n";
        write_file(t / "delays.s", source);
        Tool assembled = tool({"sdasz80", "-o", "delays.rel", "delays.s"}, t.path());
        ASSERT_EQ(assembled.status, 0) << assembled.output;
        Tool linked = tool(
            {"sdldz80", "-n", "-i", "-b", "_CODE=0x0000", "delays.ihx", "delays.rel"}, t.path());
        ASSERT_EQ(linked.status, 0) << linked.output;
#ifdef ASSETKIT_HAVE_Z80EX
        std::string rom(0x8000, '\xFF');
        for (auto [at, byte] : intel_hex_image(read_file(t / "delays.ihx")))
            rom.at(at) = char(byte);
        z80::Board board;
        board.m1_waits = waits;
        z80::Machine machine;
        machine.use_board(board, rom);
        ASSERT_EQ(machine.run(100000000), z80::Stop::halted);
        expect_no_faults(machine);
        const auto& writes = machine.writes();
        ASSERT_EQ(writes.size(), delays.size() + 1);
        for (size_t i = 0; i < delays.size(); ++i)
            EXPECT_EQ(writes[i + 1].t - writes[i].t, uint64_t(11 + waits + delays[i]))
                << "PLAYER_DELAY " << delays[i];
#endif
    }
}

// A delay no instructions can make stops the assembly: with a wait state on every M1 cycle, the
// lengths below the least but a nop's.
TEST(PlayerDelay, RefusesWhatItCannotMake) {
    if (!have_tool("sdasz80")) GTEST_SKIP() << "sdasz80 is missing";
    TempDir t;
    struct Row {
        int waits;
        long delay;
        bool made;
    };
    for (auto [waits, delay, made] : {Row{0, 3, false},
                                      {0, 6, false},
                                      {0, 7, true},
                                      {1, 4, false},
                                      {1, 5, true},
                                      {1, 9, false},
                                      {1, 10, true},
                                      {0, -4, false},
                                      {0, 1100000, false},
                                      {1, 14, true}}) {
        write_file(t / "delay.s", "PLAYER_M1_WAITS = " + std::to_string(waits) +
                                      "\n        .include \"" +
                                      source_path("player/assetkit-delay.inc") +
                                      "\"\n        .area _CODE\n        PLAYER_DELAY " +
                                      std::to_string(delay) + "\n");
        Tool assembled = tool({"sdasz80", "-o", "delay.rel", "delay.s"}, t.path());
        EXPECT_EQ(assembled.status == 0, made)
            << delay << " with " << waits << " wait states: " << assembled.output;
    }
}

// player-timing: T nearest to CLOCK / RATE, never below the player's smallest (larger by a wait
// state on every M1 cycle), never above the largest its delays make, and the true rate; a machine
// of the table gives the player, the wait states and the clock.
TEST(PlayerTiming, GivesTAndTheTrueRate) {
    if (!have_tool("sh")) GTEST_SKIP() << "sh is missing";
    const std::string usage =
        "usage: player-timing [-b] [-w waits] linear|psg|ay|psg3|ay3|machine rate [clock]\n";
    const std::string not_hz = "player-timing: the rate and the clock are numbers of Hz above 0\n";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string output; // all of it, or its start when prefix
        bool prefix = false;
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
        // A wait state on every M1 cycle: the same T, the smallest larger.
        {{"-w", "1", "ay", "8000"}, 0, "447 8007.930649\n"},
        {{"-w", "1", "psg", "1000000"}, 0, "126 28409.087302\n"},
        {{"-b", "-w", "1", "psg", "44100"}, 0, "195 18356.641026\n"},
        {{"-w", "0", "linear", "44100"}, 0, "100 35795.450000\n"},
        // Three channels in turn: their smallest, with and without a wait state.
        {{"psg3", "44100"}, 0, "128 27965.195312\n"},
        {{"-b", "ay3", "44100"}, 0, "196 18262.984694\n"},
        {{"-w", "1", "psg3", "1000000"}, 0, "153 23395.718954\n"},
        {{"-w", "1", "ay3", "44100"}, 0, "162 22095.956790\n"},
        {{"-b", "-w", "1", "psg3", "44100"}, 0, "222 16124.076577\n"},
        {{"-b", "-w", "1", "ay3", "44100"}, 0, "231 15495.865801\n"},
        {{"ay3", "8000"}, 0, "447 8007.930649\n"},
        // A machine: its player, wait states and clock; a clock given wins.
        {{"psg-6bit", "8000"}, 0, "447 8007.930649\n"},
        {{"ay-9bit", "40000"}, 0, "118 30335.127119\n"},
        {{"-b", "ay-9bit", "40000"}, 0, "187 19141.951872\n"},
        {{"ay-9bit", "8000", "1773400"}, 0, "222 7988.288288\n"},
        {{"-b", "psg-12bit", "16000"}, 0, "224 15980.111607\n"},
        // The slowest rates: T up to the delays' largest, then refused with the slowest rate.
        {{"linear", "3.58"}, 0, "999873 3.580000\n"},
        {{"linear", "3.57"},
         1,
         "player-timing: 3.57 Hz is below the slowest rate at 3579545 Hz, 3.579545 Hz (T "
         "1000000)\n"},
        {{"linear", "0.0001"},
         1,
         "player-timing: 0.0001 Hz is below the slowest rate at 3579545 Hz, 3.579545 Hz (T "
         "1000000)\n"},
        {{"beeper", "8000"}, 2, "player-timing: beeper: no such player or machine (no ", true},
        {{"../linear", "8000"}, 2, usage},
        {{"-w", "2", "ay", "8000"},
         2,
         "player-timing: the wait states on an M1 cycle are 0 or 1\n"},
        {{"-w"}, 2, usage},
        {{"-b"}, 2, usage},
        {{"linear", "-b", "8000"}, 2, not_hz},
        {{"linear", "0"}, 2, not_hz},
        {{"linear", "8000", "3.5MHz"}, 2, not_hz},
    };
    TempDir t;
    for (const Row& row : rows) {
        std::vector<std::string> argv{"sh", source_path("player/player-timing")};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        Tool timing = tool(argv, t.path());
        std::string shown;
        for (const std::string& arg : row.args) shown += arg + " ";
        EXPECT_EQ(timing.status, row.status) << shown;
        EXPECT_EQ(row.prefix ? timing.output.substr(0, row.output.size()) : timing.output,
                  row.output)
            << shown;
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
    struct Player {
        const char* dac;
        int smallest;  // without wait states
        int each_wait; // more for a wait state on every M1 cycle
    };
    for (int waits : {0, 1})
        for (auto [dac, smallest, each_wait] : {Player{"linear", 160, 27},
                                                {"psg", 167, 28},
                                                {"ay", 160, 27},
                                                {"psg3", 188, 34},
                                                {"ay3", 196, 35}}) {
            for (int T : {smallest + waits * each_wait, 447}) {
                write_file(t / "mine.s", "PLAYER_T = " + std::to_string(T) +
                                             "\nPLAYER_BANKED = 1\nPLAYER_M1_WAITS = " +
                                             std::to_string(waits) + "\n");
                Tool assembled =
                    tool({"sdasz80", "-o", "player.rel", source_path("player/settings.s"), "mine.s",
                          source_path(std::string("player/") + dac + ".s")},
                         t.path());
                ASSERT_EQ(assembled.status, 0) << assembled.output;
                for (const Place& place : places) {
                    SCOPED_TRACE(std::string(dac) + " T " + std::to_string(T) + ", " +
                                 std::to_string(waits) + " wait states, at 0xBF00 + " +
                                 std::to_string(place.offset) + ", " +
                                 std::to_string(place.blocks) + " blocks, " +
                                 (place.banked ? "banked" : "within the window"));
                    const long address = 0xBF00 + place.offset;
                    // Interrupts enabled before the call at odd places: enabled again after it.
                    const bool ei = place.offset % 2 != 0;
                    char call[200];
                    snprintf(call, sizeof call,
                             place.banked ? "ld a,#2\n ld de,#0x%lX\n call _play_sample_banked\n"
                                          : "ld hl,#0x%lX\n call _play_sample\n",
                             address);
                    write_file(t / "main.s",
                               std::string("        .globl _play_sample, "
                                           "_play_sample_banked\n        .area _CODE\n"
                                           " ld sp,#0xFF00\n ") +
                                   (ei ? "ei\n " : "") + call + " halt\n");
                    Tool linked =
                        tool({"sh", "-c",
                              "sdasz80 -o main.rel main.s && sdldz80 -n -i -b _CODE=0x0000 "
                              "main.ihx main.rel player.rel"},
                             t.path());
                    ASSERT_EQ(linked.status, 0) << linked.output;

                    // Four banks: the program, then the sound from its place in bank 2 on into
                    // bank 3.
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

                    z80::Board board;
                    board.m1_waits = waits;
                    board.mapper_register = 0xFFFF;
                    z80::Machine machine;
                    machine.use_board(board, rom);
                    ASSERT_EQ(machine.run(10000000), z80::Stop::halted);
                    expect_no_faults(machine);
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
// with play_sample_banked, below its smallest; with a wait state on every M1 cycle, below the
// larger smallest. Every T up to the largest assembles (the slowest rates once overran the
// players' relative jumps), and the one past it stops the assembly, as do wait states beyond 1. The
// assembler's message says so in words.
TEST(PlayerAssembly, RefusesTBelowTheSmallestAndAboveTheLargest) {
    if (!have_tool("sdasz80")) GTEST_SKIP() << "sdasz80 is missing";
    TempDir t;
    struct Row {
        const char* dac;
        int banked; // PLAYER_BANKED
        int waits;  // PLAYER_M1_WAITS
        int smallest;
    };
    for (auto [dac, banked, waits, smallest] :
         {Row{"linear", 0, 0, 100}, {"psg", 0, 0, 107},  {"ay", 0, 0, 100},
          {"linear", 1, 0, 160},    {"psg", 1, 0, 167},  {"ay", 1, 0, 160},
          {"linear", 0, 1, 118},    {"psg", 0, 1, 126},  {"ay", 0, 1, 118},
          {"linear", 1, 1, 187},    {"psg", 1, 1, 195},  {"ay", 1, 1, 187},
          {"psg3", 0, 0, 128},      {"ay3", 0, 0, 136},  {"psg3", 1, 0, 188},
          {"ay3", 1, 0, 196},       {"psg3", 0, 1, 153}, {"ay3", 0, 1, 162},
          {"psg3", 1, 1, 222},      {"ay3", 1, 1, 231}}) {
        for (long T :
             {long(smallest) - 1, long(smallest), 8319L, 12371L, 16369L, 1000000L, 1000001L}) {
            write_file(t / "mine.s", "PLAYER_T = " + std::to_string(T) +
                                         "\nPLAYER_BANKED = " + std::to_string(banked) +
                                         "\nPLAYER_M1_WAITS = " + std::to_string(waits) + "\n");
            Tool assembled = tool({"sdasz80", "-o", "player.rel", source_path("player/settings.s"),
                                   "mine.s", source_path(std::string("player/") + dac + ".s")},
                                  t.path());
            EXPECT_EQ(assembled.status == 0, T >= smallest && T <= 1000000)
                << dac << " at T " << T << ", " << waits << " wait states: " << assembled.output;
            if (T < smallest) {
                std::string why = std::string("PLAYER_T is below PLAYER_T_MIN") +
                                  (banked ? "_BANKED, " : ", ") + "the smallest T of";
                EXPECT_NE(assembled.output.find(why), std::string::npos)
                    << dac << " at T " << T << ": " << assembled.output;
            } else if (T > 1000000) {
                EXPECT_NE(assembled.output.find("PLAYER_T is above PLAYER_T_MAX"),
                          std::string::npos)
                    << dac << " at T " << T << ": " << assembled.output;
            }
        }
    }
    write_file(t / "mine.s", "PLAYER_M1_WAITS = 2\n");
    EXPECT_NE(tool({"sdasz80", "-o", "player.rel", source_path("player/settings.s"), "mine.s",
                    source_path("player/ay.s")},
                   t.path())
                  .status,
              0)
        << "two wait states";
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
