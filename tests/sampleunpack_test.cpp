// sampleunpack end to end: packed sample files played back into WAV files.
#include "samplepack/format.h"
#include "sound/codes.h"
#include "sound/levels.h"
#include "tests/harness.h"
#include "tests/sound_files.h"

#include <filesystem>
#include <functional>

namespace {

// A packed sample file of the given nibbles (a whole number of blocks).
std::string packed_file(const std::vector<uint8_t>& codes) {
    std::string p = packed::count(uint32_t(codes.size() / packed::block_samples));
    for (size_t i = 0; i + 1 < codes.size(); i += 2) p += char(codes[i] << 4 | codes[i + 1]);
    return p;
}

std::vector<uint8_t> ramp(size_t n) {
    std::vector<uint8_t> codes;
    for (size_t i = 0; i < n; ++i) codes.push_back(uint8_t(i % 16));
    return codes;
}

// Each DAC: --dc plays the levels themselves, at the rate asked for.
TEST(SampleunpackPlays, TheLevelsOfEachDac) {
    TempDir t;
    std::vector<uint8_t> codes = ramp(64);
    write_file(t / "in.bin", packed_file(codes));
    for (const sound::Dac& d : sound::dacs()) {
        if (d.channels != 1) continue; // the channels in turn have their own test
        const char* dac = d.name;
        auto r =
            run("sampleunpack", {"--dc", "-d", dac, "-r", "11025", "in.bin", "out.wav"}, t.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
        Sound s = read_sound(t / "out.wav");
        EXPECT_EQ(s.info.samplerate, 11025);
        EXPECT_EQ(s.info.channels, 1);
        EXPECT_EQ(s.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        sound::Levels levels = d.levels();
        ASSERT_EQ(s.samples.size(), codes.size());
        for (size_t i = 0; i < codes.size(); ++i)
            EXPECT_NEAR(s.samples[i], sound::code_value(levels, codes[i]), 1.0 / 32768)
                << dac << " sample " << i;
    }
}

// Without --dc the output is coupled as a speaker hears it: a constant level dies away from
// where it starts, and a square wave swings evenly about zero.
TEST(SampleunpackPlays, ThroughTheOutputsCoupling) {
    TempDir t;
    write_file(t / "still.bin", packed_file(std::vector<uint8_t>(8000, 15)));
    ASSERT_EQ(run("sampleunpack", {"still.bin", "still.wav"}, t.path()).status, 0);
    Sound still = read_sound(t / "still.wav");
    ASSERT_EQ(still.samples.size(), 8000u);
    for (double x : still.samples) EXPECT_NEAR(x, 0, 1.0 / 32768);

    std::vector<uint8_t> square;
    for (int i = 0; i < 8000; ++i) square.push_back(i / 20 % 2 ? 15 : 0); // 200 Hz
    write_file(t / "square.bin", packed_file(square));
    ASSERT_EQ(run("sampleunpack", {"square.bin", "square.wav"}, t.path()).status, 0);
    Sound s = read_sound(t / "square.wav");
    double sum = 0, low = 0, high = 0;
    for (size_t i = 4000; i < 8000; ++i) {
        sum += s.samples[i];
        low = std::min(low, s.samples[i]);
        high = std::max(high, s.samples[i]);
    }
    EXPECT_NEAR(sum / 4000, 0, 0.01);
    // Halved, so that the coupling's swing never clips: each edge overshoots a half swing by
    // what the level sags in a half period.
    EXPECT_GT(high, 0.5);
    EXPECT_LT(high, 0.6);
    EXPECT_LT(low, -0.5);
    EXPECT_GT(low, -0.6);
}

TEST(SampleunpackPlays, AnEmptyFile) {
    TempDir t;
    write_file(t / "in.bin", bytes("01 01"));
    ASSERT_EQ(run("sampleunpack", {"in.bin", "out.wav"}, t.path()).status, 0);
    EXPECT_EQ(read_sound(t / "out.wav").info.frames, 0);
}

struct Bad {
    const char* name;
    std::function<void(const TempDir&)> setup;
    std::vector<std::string> args;
    int status;
    std::string message; // the whole message, or its start when it ends in ": "
};

void PrintTo(const Bad& c, std::ostream* os) {
    *os << c.name;
}

auto file(const std::string& name, const std::string& bytes) {
    return [=](const TempDir& t) { write_file(t / name, bytes); };
}

class SampleunpackRefuses : public testing::TestWithParam<Bad> {};

TEST_P(SampleunpackRefuses, SaysWhyAndLeavesTheFolderAlone) {
    const Bad& c = GetParam();
    TempDir t;
    c.setup(t);
    auto before = contents(t.path());
    auto r = run("sampleunpack", c.args, t.path());
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    if (c.message.size() > 2 && c.message.substr(c.message.size() - 2) == ": ")
        EXPECT_EQ(r.err.substr(0, c.message.size()), c.message) << r.err;
    else
        EXPECT_EQ(r.err, c.message);
    EXPECT_EQ(contents(t.path()), before);
}

const std::string usage = "usage: sampleunpack [-r HZ] [-d NAME|FILE] [--dc] INPUT OUTPUT\n";
const std::string one_block = bytes("02 01") + std::string(16, '\x88');

// A WAV file: the bytes sampleunpack is most likely to be given by mistake.
std::string wav_file(uint32_t samples) {
    return wav8::header(8000, samples) + std::string(samples + samples % 2, '\x80');
}

INSTANTIATE_TEST_SUITE_P(
    SampleunpackInputs, SampleunpackRefuses,
    testing::Values(
        Bad{"Empty",
            file("in.bin", ""),
            {"in.bin", "out.wav"},
            1,
            "sampleunpack: in.bin: 0 bytes, too short for a block count\n"},
        Bad{"OneByte",
            file("in.bin", "\x01"),
            {"in.bin", "out.wav"},
            1,
            "sampleunpack: in.bin: 1 bytes, too short for a block count\n"},
        Bad{"ShortBlock",
            file("in.bin", one_block.substr(0, 17)),
            {"in.bin", "out.wav"},
            1,
            "sampleunpack: in.bin: 17 bytes, but its block count of 1 needs 18\n"},
        Bad{"ByteAfterTheBlocks",
            file("in.bin", one_block + "x"),
            {"in.bin", "out.wav"},
            1,
            "sampleunpack: in.bin: 19 bytes, but its block count of 1 needs 18\n"},
        // 0x00 0x00 is the largest count, 65535 blocks.
        Bad{"LargestCount",
            file("in.bin", bytes("00 00") + std::string(32, '\0')),
            {"in.bin", "out.wav"},
            1,
            "sampleunpack: in.bin: 34 bytes, but its block count of 65535 needs 1048562\n"},
        Bad{"TooBigToRead",
            file("in.bin", bytes("02 01") + std::string(2 << 20, '\0')),
            {"in.bin", "out.wav"},
            1,
            "sampleunpack: in.bin: 2097154 bytes, but its block count of 1 needs 18\n"},
        Bad{"WavFile",
            file("in.wav", wav_file(4000)),
            {"in.wav", "out.wav"},
            1,
            "sampleunpack: in.wav: is a WAV file; sampleunpack plays the packed file samplepack "
            "makes of it\n"},
        Bad{"WavFileTooBigToRead",
            file("in.wav", wav_file(3 << 20)),
            {"in.wav", "out.wav"},
            1,
            "sampleunpack: in.wav: is a WAV file; sampleunpack plays the packed file samplepack "
            "makes of it\n"},
        Bad{"DacEndlessRange",
            [](const TempDir& t) {
                write_file(t / "in.bin", one_block);
                write_file(t / "dac.txt", "-1.7e308 1.7e308 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
            },
            {"-d", "dac.txt", "in.bin", "out.wav"},
            1,
            "sampleunpack: dac.txt: the levels span more than a number holds\n"},
        Bad{"Directory",
            [](const TempDir& t) { std::filesystem::create_directory(t / "in.bin"); },
            {"in.bin", "out.wav"},
            1,
            "sampleunpack: in.bin: Is a directory\n"},
        Bad{"Missing",
            [](const TempDir&) {},
            {"in.bin", "out.wav"},
            1,
            "sampleunpack: in.bin: No such file or directory\n"},
        Bad{"SameFile",
            file("in.bin", one_block),
            {"in.bin", "./in.bin"},
            1,
            "sampleunpack: ./in.bin: is the same file as the input in.bin\n"},
        Bad{"OutputIsTheDacTable",
            [](const TempDir& t) {
                write_file(t / "in.bin", one_block);
                write_file(t / "dac.txt", "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n");
            },
            {"-d", "dac.txt", "in.bin", "./dac.txt"},
            1,
            "sampleunpack: ./dac.txt: is the same file as the input dac.txt\n"},
        Bad{"DacMissing",
            file("in.bin", one_block),
            {"-d", "dac.txt", "in.bin", "out.wav"},
            1,
            "sampleunpack: dac.txt: No such file or directory (the DACs by name: linear, psg, "
            "ay, psg3, ay3)\n"},
        Bad{"DacNotNumbers",
            [](const TempDir& t) {
                write_file(t / "in.bin", one_block);
                write_file(t / "dac.txt", "loud quiet\n");
            },
            {"-d", "dac.txt", "in.bin", "out.wav"},
            1,
            "sampleunpack: dac.txt: "},
        Bad{"RateZero",
            file("in.bin", one_block),
            {"-r", "0", "in.bin", "out.wav"},
            2,
            "sampleunpack: -r 0: expected a number from 1 to 1000000\n" + usage},
        Bad{"RateText",
            file("in.bin", one_block),
            {"--rate", "8k", "in.bin", "out.wav"},
            2,
            "sampleunpack: --rate 8k: expected a number from 1 to 1000000\n" + usage},
        Bad{"NoOutput",
            file("in.bin", one_block),
            {"in.bin"},
            2,
            "sampleunpack: missing operand: OUTPUT\n" + usage}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PosixSampleunpack, ReportsAFullDisk) {
    TempDir t;
    write_file(t / "in.bin", one_block);
    auto r = run("sampleunpack", {"in.bin", "/dev/full"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sampleunpack: /dev/full: No space left on device\n");
}

TEST(SampleunpackConventions, HelpAndVersion) {
    TempDir t;
    auto v = run("sampleunpack", {"--version"}, t.path());
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, version_text("sampleunpack"));
    auto h = run("sampleunpack", {"--help"}, t.path());
    EXPECT_EQ(h.status, 0);
    EXPECT_EQ(h.out.rfind("usage: sampleunpack ", 0), 0u) << h.out;
    // The help ends where the manual is.
    EXPECT_EQ(h.out.substr(h.out.rfind('\n', h.out.size() - 2) + 1), manual_line("sampleunpack"))
        << h.out;
}

} // namespace

// A device that never ends is read no further than the largest packed sample file.
TEST(PosixSampleunpack, RefusesADeviceThatNeverEnds) {
    TempDir t;
    Result r = run("sampleunpack", {"/dev/zero", "out.wav"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sampleunpack: /dev/zero: larger than 1048562 bytes, the most a packed "
                     "sample file holds\n");
    EXPECT_FALSE(exists(t / "out.wav"));
}
