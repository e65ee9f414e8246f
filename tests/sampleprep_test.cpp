// sampleprep end to end: recordings in the formats and layouts users have, made by sox and
// libsndfile or byte by byte, through the built program and on into samplepack.
#include "samplepack/format.h"
#include "sampleprep/prep.h"
#include "sound/channels.h"
#include "sound/codes.h"
#include "sound/levels.h"
#include "tests/harness.h"
#include "tests/sound_files.h"
#include "tests/tools.h"

#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using sound::Levels;

namespace {

std::string le16(uint16_t v) {
    return {char(v), char(v >> 8)};
}

std::string le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// A RIFF chunk, with the pad byte that follows an odd length.
std::string chunk(const std::string& id, const std::string& body) {
    return id + le32(uint32_t(body.size())) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}

// 16-bit mono PCM at 22050 Hz.
std::string fmt_body() {
    return le16(1) + le16(1) + le32(22050) + le32(44100) + le16(2) + le16(16);
}

// Half a second of a 440 Hz sine at 22050 Hz, 16-bit little-endian.
std::string sine_data() {
    std::string d;
    for (int i = 0; i < 11025; ++i)
        d += le16(uint16_t(int16_t(std::lround(16000 * std::sin(2 * M_PI * 440 * i / 22050.0)))));
    return d;
}

std::string riff(const std::string& chunks) {
    return "RIFF" + le32(uint32_t(4 + chunks.size())) + "WAVE" + chunks;
}

// The data length of a WAV file that sampleprep wrote.
uint32_t data_length(const std::string& wav) {
    if (wav.size() < wav8::header_size) return 0;
    const char* l = &wav[wav8::length_at];
    return uint8_t(l[0]) | uint8_t(l[1]) << 8 | uint8_t(l[2]) << 16 | uint32_t(uint8_t(l[3])) << 24;
}

// A data length of n samples holds a recording of about samples samples (give or take the one
// that rounding adds or drops), padded with silence to a whole number of blocks of 32.
void expect_padded(uint32_t n, double samples) {
    EXPECT_EQ(n % 32, 0u) << n;
    EXPECT_GE(n + 1.0, samples) << n;
    EXPECT_LT(n, samples + 32 + 1.0) << n;
}

double sine(sf_count_t i, int) {
    return 0.5 * std::sin(2 * M_PI * 440 * double(i) / 44100);
}

struct Input {
    const char* name;
    // Makes the input in the folder and returns its name; an empty name skips the case.
    std::function<std::string(const TempDir&)> make;
};

void PrintTo(const Input& c, std::ostream* os) {
    *os << c.name;
}

// An input that sox writes from half a second of a sine.
Input by_sox(const char* name, const std::string& file, std::vector<std::string> options) {
    return {name, [file, options](const TempDir& t) -> std::string {
                if (!have_tool("sox")) return "";
                std::vector<std::string> argv = {"sox", "-n", "-r", "44100"};
                argv.insert(argv.end(), options.begin(), options.end());
                for (const char* a : {"synth", "0.5", "sine", "440", "gain", "-3"})
                    argv.push_back(a);
                argv.insert(argv.end() - 6, file);
                Tool r = tool(argv, t.path());
                EXPECT_EQ(r.status, 0) << r.output;
                return file;
            }};
}

// An input that libsndfile writes, with whatever prepare adds to it.
Input by_libsndfile(const char* name, const std::string& file, int format, int channels,
                    std::function<void(SNDFILE*)> prepare = nullptr) {
    return {name, [=](const TempDir& t) {
                write_sound(t / file, format, channels, 44100, 22050, sine, prepare);
                return file;
            }};
}

Input by_bytes(const char* name, const std::string& bytes) {
    return {name, [bytes](const TempDir& t) {
                write_file(t / "in.wav", bytes);
                return std::string("in.wav");
            }};
}

class SampleprepReads : public testing::TestWithParam<Input> {};

// Each recording becomes a WAV file that samplepack takes, as long as the recording, with codes
// that follow the sine rather than noise.
TEST_P(SampleprepReads, WritesWhatSamplepackPacks) {
    TempDir t;
    std::string in = GetParam().make(t);
    if (in.empty()) GTEST_SKIP() << "no tool to make this input";
    // The frames as decoded: for MP3, libsndfile's count in advance is an estimate.
    SF_INFO info{};
    SNDFILE* f = sf_open((t / in).c_str(), SFM_READ, &info);
    if (!f) GTEST_SKIP() << "this libsndfile does not read " << in;
    std::vector<float> buffer(size_t(info.channels) * 4096);
    sf_count_t frames = 0;
    for (sf_count_t n; (n = sf_readf_float(f, buffer.data(), 4096)) > 0;) frames += n;
    sf_close(f);

    auto r = run("sampleprep", {in, "out.wav"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    std::string out = read_file(t / "out.wav");
    ASSERT_GE(out.size(), wav8::header_size);
    uint32_t n = data_length(out);
    EXPECT_EQ(out.substr(0, 4) + out.substr(8, 8) + out.substr(44, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(out.size(), wav8::header_size + n + n % 2);
    expect_padded(n, double(frames) * 8000 / info.samplerate);

    std::set<int> codes;
    double change = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t b = uint8_t(out[wav8::header_size + i]);
        EXPECT_EQ(b & 15, 8) << "byte " << i;
        codes.insert(b >> 4);
        if (i > 0) change += std::abs((b >> 4) - (uint8_t(out[wav8::header_size + i - 1]) >> 4));
    }
    EXPECT_EQ(*codes.begin(), 0);
    EXPECT_EQ(*codes.rbegin(), 15);
    // A 440 Hz sine moves at most 2.6 codes a sample at 8000 Hz; noise moves 5 on average.
    EXPECT_LT(change / n, 2.0);

    auto p = run("samplepack", {"out.wav"}, t.path());
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(read_file(t / "out.bin").size(), packed::size(packed::blocks_for(n)));
}

void set_strings(SNDFILE* f) {
    sf_set_string(f, SF_STR_TITLE, "A sine");
    sf_set_string(f, SF_STR_ARTIST, "The tests");
}

void set_bext(SNDFILE* f) {
    SF_BROADCAST_INFO b{};
    snprintf(b.description, sizeof b.description, "A sine");
    sf_command(f, SFC_SET_BROADCAST_INFO, &b, sizeof b);
}

void set_cue(SNDFILE* f) {
    SF_CUES cues{};
    cues.cue_count = 1;
    cues.cue_points[0].indx = 1;
    cues.cue_points[0].position = 100;
    cues.cue_points[0].sample_offset = 100;
    memcpy(&cues.cue_points[0].chunk_start, "data", 4);
    sf_command(f, SFC_SET_CUE, &cues, sizeof cues);
}

std::string example_word(const TempDir& t) {
    std::filesystem::copy_file(source_path("examples/hello.wav"), t / "hello.wav");
    return "hello.wav";
}

// MP3 apart, and natively only: the Windows build's libsndfile reads no MP3 (Debian's mpg123
// sources cannot be fetched for it; see scripts/build-windows-libs).
INSTANTIATE_TEST_SUITE_P(Mp3Recordings, SampleprepReads,
                         testing::Values(by_sox("Mp3", "in.mp3", {"-c", "2"})), ByName());

INSTANTIATE_TEST_SUITE_P(
    SampleprepRecordings, SampleprepReads,
    testing::Values(
        by_sox("Unsigned8", "in.wav", {"-b", "8", "-e", "unsigned-integer"}),
        by_sox("Signed16", "in.wav", {"-b", "16"}), by_sox("Signed24", "in.wav", {"-b", "24"}),
        by_sox("Signed32", "in.wav", {"-b", "32"}),
        by_sox("Float32", "in.wav", {"-b", "32", "-e", "floating-point"}),
        by_sox("Float64", "in.wav", {"-b", "64", "-e", "floating-point"}),
        by_sox("Stereo", "in.wav", {"-b", "16", "-c", "2"}),
        by_sox("SixChannels", "in.wav", {"-b", "16", "-c", "6"}),
        by_sox("Aiff", "in.aiff", {"-b", "16", "-c", "2"}), by_sox("Flac", "in.flac", {"-b", "24"}),
        by_sox("Ogg", "in.ogg", {"-c", "2"}),
        by_libsndfile("Extensible", "in.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 2),
        by_libsndfile("ListChunk", "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, set_strings),
        by_libsndfile("BextChunk", "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, set_bext),
        by_libsndfile("CueChunk", "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, set_cue),
        by_libsndfile("Rf64", "in.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 1),
        by_libsndfile("Wave64", "in.w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT, 1),
        by_libsndfile("Caf", "in.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 1),
        by_bytes("ChunksBeforeFmt", riff(chunk("JUNK", std::string(28, '\0')) +
                                         chunk("fmt ", fmt_body()) + chunk("data", sine_data()))),
        by_bytes("OddSizedChunk", riff(chunk("fmt ", fmt_body()) + chunk("note", "odd") +
                                       chunk("data", sine_data()))),
        by_bytes("Fmt18", riff(chunk("fmt ", fmt_body() + le16(0)) + chunk("data", sine_data()))),
        by_bytes("Fmt20",
                 riff(chunk("fmt ", fmt_body() + le16(2) + le16(0)) + chunk("data", sine_data()))),
        // As a recorder writes while it streams: neither length known.
        by_bytes("LengthFFFFFFFF", "RIFF" + le32(0xFFFFFFFF) + "WAVE" + chunk("fmt ", fmt_body()) +
                                       "data" + le32(0xFFFFFFFF) + sine_data()),
        Input{"ExampleWord", example_word}),
    [](const auto& info) { return std::string(info.param.name); });

// The bytes of a signal whose values sit on the levels: the codes of those levels.
struct Exact {
    std::string name;  // a built-in table's, or the case's
    std::string table; // a file of levels, or empty for the built-in table
    uint8_t silence;   // the code that pads the last block
};

void PrintTo(const Exact& c, std::ostream* os) {
    *os << c.name;
}

class SampleprepExact : public testing::TestWithParam<Exact> {
  protected:
    // Writes in.wav at 8000 Hz, float, with the values of codes, and returns the -d argument.
    std::string prepare(const std::vector<uint8_t>& codes, Levels* levels) {
        const Exact& d = GetParam();
        std::string arg = d.name;
        if (!d.table.empty()) {
            write_file(t / "levels.txt", d.table);
            arg = "levels.txt";
            EXPECT_EQ(sound::parse_levels(d.table, levels), "");
        } else {
            EXPECT_TRUE(sound::named_levels(d.name, levels));
        }
        write_sound(
            t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 8000, sf_count_t(codes.size()),
            [&](sf_count_t i, int) { return sound::code_value(*levels, codes[size_t(i)]); });
        return arg;
    }
    TempDir t;
};

// Every code, up and down, and then a jumble of them: 1001 samples, an odd count.
std::vector<uint8_t> all_codes() {
    std::vector<uint8_t> codes;
    for (int c = 0; c < 16; ++c) codes.push_back(uint8_t(c));
    for (int c = 15; c >= 0; --c) codes.push_back(uint8_t(c));
    for (uint32_t x = 12345; codes.size() < 1001;) {
        x = x * 1103515245 + 12345;
        codes.push_back(uint8_t(x >> 16 & 15));
    }
    return codes;
}

TEST_P(SampleprepExact, GivesTheCodesOfTheLevels) {
    std::vector<uint8_t> codes = all_codes();
    Levels levels{};
    std::string dac = prepare(codes, &levels);
    auto r = run("sampleprep", {"-d", dac, "--offset", "none", "in.wav", "out.wav"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    // 1001 samples, then 23 of the DAC's silence to fill 32 blocks of 32.
    std::string expected = bytes("52 49 46 46 2C 04 00 00 57 41 56 45 66 6D 74 20 10 00 00 00 "
                                 "01 00 01 00 40 1F 00 00 40 1F 00 00 01 00 08 00 "
                                 "4A 55 4E 4B 00 00 00 00 64 61 74 61 00 04 00 00");
    for (uint8_t c : codes) expected += char(c * 16 + 8);
    expected += std::string(23, char(GetParam().silence * 16 + 8));
    EXPECT_EQ(hex(read_file(t / "out.wav")), hex(expected));
}

// sampleprep, samplepack and sampleunpack in a row give back the levels, then the DAC's silence
// to the end of the last block, never samplepack's fill.
TEST_P(SampleprepExact, RoundTripGivesBackTheLevels) {
    std::vector<uint8_t> codes = all_codes();
    Levels levels{};
    std::string dac = prepare(codes, &levels);
    ASSERT_EQ(
        run("sampleprep", {"-d", dac, "--offset", "none", "in.wav", "out.wav"}, t.path()).status,
        0);
    ASSERT_EQ(run("samplepack", {"out.wav"}, t.path()).status, 0);
    auto r = run("sampleunpack", {"-d", dac, "--dc", "out.bin", "back.wav"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    Sound back = read_sound(t / "back.wav");
    EXPECT_EQ(back.info.samplerate, 8000);
    EXPECT_EQ(back.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(back.samples.size(), 32u * 32);
    for (size_t i = 0; i < back.samples.size(); ++i) {
        uint8_t c = i < codes.size() ? codes[i] : GetParam().silence;
        EXPECT_NEAR(back.samples[i], sound::code_value(levels, c), 1.0 / 32768) << "sample " << i;
    }
}

// Every built-in table of one channel, each with the silence of its row, and tables from files.
std::vector<Exact> exact_cases() {
    std::vector<Exact> cases;
    for (const sound::Dac& d : sound::dacs())
        if (d.channels == 1) cases.push_back({d.name, "", d.silence});
    cases.push_back({"File",
                     "# a resistor ladder, measured\n"
                     "0 3 5 6 9 10 11 20\n"
                     "21 22 30 31 40 50 60 70\n",
                     0});
    // Evenly spaced, upside down: silence on the upper level of the middle two, code 7.
    cases.push_back({"Reversed", "15 14 13 12 11 10 9 8 7 6 5 4 3 2 1 0\n", 7});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(SampleprepDacs, SampleprepExact, testing::ValuesIn(exact_cases()),
                         [](const auto& info) { return info.param.name; });

// A built-in row's silence is the code the rule for a file's table finds in the same levels, so
// that a table saved to a file pads alike.
TEST(SampleprepSilence, EveryRowAgreesWithTheRuleForFiles) {
    for (const sound::Dac& d : sound::dacs()) {
        sound::Table file;
        file.levels = d.levels();
        sound::Table row;
        ASSERT_EQ(sound::dac_table(d.name, &row), "");
        EXPECT_EQ(sampleprep::silence_code(row), d.silence) << d.name;
        EXPECT_EQ(sampleprep::silence_code(file), d.silence) << d.name;
    }
}

// A WAV file of frames frames at 8000 Hz whose middle second holds a sine, silence around it.
void silence_around_sine(const std::string& path, sf_count_t frames) {
    write_sound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 8000, frames, [&](sf_count_t i, int) {
        sf_count_t from = frames / 2 - 4000;
        return i >= from && i < from + 8000 ? 0.5 * std::sin(2 * M_PI * 440 * double(i) / 8000)
                                            : 0.0;
    });
}

TEST(SampleprepLimit, TakesTheMostABlockCountHolds) {
    TempDir t;
    silence_around_sine(t / "in.wav", 2097120);
    auto r = run("sampleprep", {"in.wav", "out.wav"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(t / "out.wav").size(), wav8::header_size + packed::max_samples);
    ASSERT_EQ(run("samplepack", {"out.wav"}, t.path()).status, 0);
    std::string file = read_file(t / "out.bin");
    EXPECT_EQ(file.size(), packed::max_size);
    EXPECT_EQ(file.substr(0, 2), packed::count(packed::max_blocks));
}

TEST(SampleprepLimit, RefusesOneSampleMore) {
    TempDir t;
    silence_around_sine(t / "in.wav", 2097121);
    auto before = contents(t.path());
    auto r = run("sampleprep", {"in.wav", "out.wav"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sampleprep: in.wav: 2097121 samples at 8000 Hz are too many: a packed "
                     "sample file holds at most 2097120, 262.14 s at that rate\n");
    EXPECT_EQ(contents(t.path()), before);
}

TEST(SampleprepLimit, CountsAtTheOutputRate) {
    TempDir t;
    silence_around_sine(t / "in.wav", 2097121);
    // At 4000 Hz the same recording has half as many samples and fits.
    auto r = run("sampleprep", {"-r", "4000", "in.wav", "out.wav"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    expect_padded(data_length(read_file(t / "out.wav")), 1048560.5);
    auto slow = run("sampleprep", {"-r", "7988.4", "in.wav", "out.wav"}, t.path());
    EXPECT_EQ(slow.status, 0) << slow.err;
    // At 16000 Hz it is twice as long; the longest that fits is named at that rate.
    auto fast = run("sampleprep", {"-r", "16000", "in.wav", "fast.wav"}, t.path());
    EXPECT_EQ(fast.status, 1);
    EXPECT_EQ(fast.err, "sampleprep: in.wav: 4194242 samples at 16000 Hz are too many: a packed "
                        "sample file holds at most 2097120, 131.07 s at that rate\n");
    EXPECT_FALSE(exists(t / "fast.wav"));
}

// Trimming counts what is left: a long recording with a short sound in it fits.
TEST(SampleprepLimit, CountsWhatTrimmingLeaves) {
    TempDir t;
    silence_around_sine(t / "in.wav", 2200000);
    auto r = run("sampleprep", {"-v", "--trim", "40", "in.wav", "out.wav"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    uint32_t n = data_length(read_file(t / "out.wav"));
    EXPECT_NE(r.err.find("\nrate: 8000 Hz, unchanged: 2200000 samples\n"), std::string::npos)
        << r.err;
    // The kept samples, then silence to the end of the block.
    const std::string trim = "\ntrim: 40 dB below the peak: ";
    size_t at = r.err.find(trim);
    ASSERT_NE(at, std::string::npos) << r.err;
    uint32_t kept = uint32_t(std::stoul(r.err.substr(at + trim.size())));
    EXPECT_GE(kept, 7990u);
    EXPECT_LE(kept, 8000u);
    expect_padded(n, kept);
    EXPECT_NE(r.err.find(" samples kept\noutput: " + std::to_string(kept) + " samples at 8000 Hz"),
              std::string::npos)
        << r.err;
    if (n > kept) {
        EXPECT_NE(
            r.err.find(", " + std::to_string(n - kept) + " of silence to fill the last block"),
            std::string::npos)
            << r.err;
    }
}

TEST(SampleprepOptions, FractionalRateIsRoundedInTheHeader) {
    TempDir t;
    write_sound(t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, 44100, sine);
    auto r = run("sampleprep", {"-r", "7988.4", "in.wav", "out.wav"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string out = read_file(t / "out.wav");
    EXPECT_EQ(hex(out.substr(24, 8)), "34 1F 00 00 34 1F 00 00"); // 7988
    expect_padded(data_length(out), 7988.4);
}

// The codes of a channel picked alone, of the mix, at a fixed gain.
TEST(SampleprepOptions, ChannelGainAndReport) {
    TempDir t;
    // Left a sine at -6 dBFS, right silent.
    write_sound(t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 8000, 8000,
                [](sf_count_t i, int c) { return c ? 0.0 : sine(i, 0); });
    auto codes = [&](const std::vector<std::string>& options) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {"in.wav", "out.wav"});
        auto r = run("sampleprep", args, t.path());
        EXPECT_EQ(r.status, 0) << r.err;
        std::set<int> used;
        std::string out = read_file(t / "out.wav");
        for (size_t i = wav8::header_size; i < out.size(); ++i) used.insert(uint8_t(out[i]) >> 4);
        return std::make_pair(used, r.err);
    };
    EXPECT_EQ(codes({"--channel", "1"}).first.size(), 16u);
    EXPECT_EQ(codes({}).first.size(), 16u); // the mix is normalised like the channel
    EXPECT_EQ(codes({"--channel", "2"}).first.size(), 1u);
    // -20 dB on a sine at -6 dBFS: about a tenth of the range.
    EXPECT_LE(codes({"-g", "-20"}).first.size(), 4u);

    auto [used, report] = codes({"-v", "-g", "12", "--channel", "1"});
    EXPECT_NE(report.find("input: in.wav: WAV (Microsoft), Signed 16 bit PCM, channel 1 of 2, 8000 "
                          "Hz, 8000 frames (1.000 s)\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("gain +12.0 dB (fixed)"), std::string::npos) << report;
    EXPECT_EQ(report.find(" 0 samples clipped"), std::string::npos) << report;
    EXPECT_NE(report.find("output: 8000 samples at 8000 Hz (1.000 s), 4002 packed bytes"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\nsnr: "), std::string::npos) << report;
}

// The figure of "snr:" in a -v report, or NaN.
double reported_snr(const std::string& report) {
    size_t at = report.find("\nsnr: ");
    return at == std::string::npos ? NAN : std::strtod(report.c_str() + at + 6, nullptr);
}

// The coupling of the output as a listener hears it: a first-order high-pass at 20 Hz, from rest.
std::vector<double> high_pass(const std::vector<double>& x, double rate) {
    double a = 1 / (1 + 2 * M_PI * 20 / rate), y = 0;
    std::vector<double> out;
    for (size_t i = 0; i < x.size(); ++i) {
        y = a * (y + x[i] - x[i > 0 ? i - 1 : 0]);
        out.push_back(y);
    }
    return out;
}

// -v's snr is what a listener hears: sampleunpack's coupled preview of the packed file, at its
// nearest gain, against the input through the same coupling; the padding is left out.
TEST(SampleprepReport, SnrIsThePreviewAgainstTheCoupledInput) {
    TempDir t;
    // A vowel-like sound at the output rate whose peak is full scale, so that sampleprep takes
    // the samples as they are.
    const sf_count_t n = 6000;
    std::vector<double> x(n);
    double peak = 0;
    for (sf_count_t i = 0; i < n; ++i) {
        double s = 0;
        for (int k = 1; k <= 6; ++k) s += std::sin(2 * M_PI * 130 * k * i / 8000 + k) / k;
        x[size_t(i)] = s * (0.2 + 0.8 * std::sin(M_PI * i / n));
        peak = std::max(peak, std::fabs(x[size_t(i)]));
    }
    for (double& v : x) v /= peak;
    write_sound(t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 8000, n,
                [&](sf_count_t i, int) { return x[size_t(i)]; });
    for (const char* dac : {"psg", "ay", "linear", "psg3", "ay3"}) {
        auto r = run("sampleprep", {"-v", "-d", dac, "in.wav", "out.wav"}, t.path());
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(run("samplepack", {"out.wav"}, t.path()).status, 0);
        ASSERT_EQ(run("sampleunpack", {"-d", dac, "out.bin", "back.wav"}, t.path()).status, 0);
        std::vector<double> back = read_sound(t / "back.wav").samples;
        ASSERT_GE(back.size(), x.size());
        std::vector<double> source = high_pass(x, 8000);
        back.resize(x.size()); // without the padding
        // At the gain that brings the preview nearest: its loudness and polarity are no error.
        double power = 0, cross = 0, own = 0, noise = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            power += source[i] * source[i];
            cross += source[i] * back[i];
            own += back[i] * back[i];
        }
        for (size_t i = 0; i < x.size(); ++i) {
            double e = source[i] - cross / own * back[i];
            noise += e * e;
        }
        double heard = 10 * std::log10(power / noise);
        EXPECT_NEAR(reported_snr(r.err), heard, 0.06) << dac << "\n" << r.err;
    }
}

// Three channels in turn: the codes of the WAV file, packed and previewed with --dc, are what the
// chip outputs (each channel holding its level), the sound ends on the silence of every channel,
// and a sine comes out closer to the input than through one channel (by some 9 dB within it; the
// offset's step from silence at either end takes a part of that here).
TEST(SampleprepInTurn, ThreeChannelsPlayWhatTheChipOutputs) {
    TempDir t;
    write_sound(
        t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 4001,
        [](sf_count_t i, int) { return 0.9 * std::sin(2 * M_PI * 440 * double(i) / 8000); });
    for (const char* dac : {"psg3", "ay3"}) {
        const sound::Dac* row = sound::find_dac(dac);
        ASSERT_NE(row, nullptr) << dac;
        ASSERT_EQ(row->channels, 3);
        std::string one(dac, std::strlen(dac) - 1); // the same levels on one channel
        auto r = run("sampleprep", {"-v", "-d", dac, "in.wav", "out.wav"}, t.path());
        ASSERT_EQ(r.status, 0) << r.err;
        auto single = run("sampleprep", {"-v", "-d", one, "in.wav", "one.wav"}, t.path());
        ASSERT_EQ(single.status, 0) << single.err;
        EXPECT_GT(reported_snr(r.err), reported_snr(single.err) + 4) << r.err << single.err;

        std::string wav = read_file(t / "out.wav");
        ASSERT_EQ(data_length(wav), 4032u);
        std::vector<uint8_t> codes;
        for (size_t i = wav8::header_size; i < wav8::header_size + 4032; ++i)
            codes.push_back(uint8_t(wav[i]) >> 4);
        // 31 samples of padding: silence on every channel from the third on.
        for (size_t i = 4001; i < codes.size(); ++i) ASSERT_EQ(codes[i], row->silence) << i;
        ASSERT_EQ(run("samplepack", {"out.wav"}, t.path()).status, 0);
        auto u = run("sampleunpack", {"-d", dac, "--dc", "out.bin", "back.wav"}, t.path());
        ASSERT_EQ(u.status, 0) << u.err;
        std::vector<double> back = read_sound(t / "back.wav").samples;
        std::vector<double> chip = sound::played_in_turn(codes, row->levels(), 3, row->silence);
        ASSERT_EQ(back.size(), chip.size());
        for (size_t i = 0; i < chip.size(); ++i)
            ASSERT_NEAR(back[i], chip[i], 1.0 / 32768) << dac << " sample " << i;
        EXPECT_EQ(chip.back(), -1.0); // every channel silent: the bottom of the range
    }
}

// The figure ranks the choices as a listener would: on the example word, the offset a PSG's or
// an AY's uneven levels take by default beats none.
TEST(SampleprepReport, SnrRanksTheOffsetAsHeard) {
    TempDir t;
    example_word(t);
    for (const char* dac : {"psg", "ay"}) {
        double snr[2];
        for (int none = 0; none < 2; ++none) {
            auto r =
                run("sampleprep",
                    {"-v", "-d", dac, "--offset", none ? "none" : "auto", "hello.wav", "o.wav"},
                    t.path());
            ASSERT_EQ(r.status, 0) << r.err;
            snr[none] = reported_snr(r.err);
        }
        EXPECT_GT(snr[0], snr[1] + 1) << dac;
    }
}

// One of a thing is said so; silence has no figure; codes that play the input as it is, none
// either.
TEST(SampleprepReport, SaysOneSilenceAndExactness) {
    TempDir t;
    write_sound(t / "one.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 1,
                [](sf_count_t, int) { return 0.5; });
    write_sound(t / "silent.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 100,
                [](sf_count_t, int) { return 0.0; });
    write_sound(t / "quiet.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 8000, 100,
                [](sf_count_t i, int) { return i % 2 ? 1e-6 : -1e-6; });
    write_sound(t / "levels.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 8000, 160,
                [](sf_count_t i, int) { return (i % 16) * 2.0 / 15 - 1; });
    const struct {
        const char* input;
        std::vector<const char*> words; // each in the report
    } cases[] = {
        {"one.wav",
         {", 1 frame (0.000 s)\n", "unchanged: 1 sample\n", "output: 1 sample at 8000 Hz",
          "31 of silence", ", 18 packed bytes;"}},
        {"silent.wav", {"level: silent, gain +0.0 dB", "\nsnr: none, the input is silent\n"}},
        {"quiet.wav", {"gain +0.0 dB", "\nsnr: none, the input is silent\n"}},
        {"levels.wav", {"gain +0.0 dB", "\nsnr: exact, the codes play the input as it is\n"}},
    };
    for (const auto& c : cases) {
        auto r = run("sampleprep", {"-v", "--offset", "none", c.input, "out.wav"}, t.path());
        ASSERT_EQ(r.status, 0) << c.input << ": " << r.err;
        for (const char* w : c.words)
            EXPECT_NE(r.err.find(w), std::string::npos) << w << "\n" << r.err;
        EXPECT_EQ(r.err.find("inf"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(" 1 samples"), std::string::npos) << r.err;
    }
}

struct Bad {
    const char* name;
    std::function<void(const TempDir&)> setup;
    std::vector<std::string> args;
    int status;
    std::string message; // the message, or its start when it does not end in a line feed
};

void PrintTo(const Bad& c, std::ostream* os) {
    *os << c.name;
}

void stereo(const TempDir& t) {
    write_sound(t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 8000, 800, sine);
}

class SampleprepRefuses : public testing::TestWithParam<Bad> {};

TEST_P(SampleprepRefuses, SaysWhyAndLeavesTheFolderAlone) {
    const Bad& c = GetParam();
    TempDir t;
    c.setup(t);
    auto before = contents(t.path());
    auto r = run("sampleprep", c.args, t.path());
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    if (c.message.back() == '\n') {
        EXPECT_EQ(r.err, c.message);
    } else {
        EXPECT_EQ(r.err.substr(0, c.message.size()), c.message) << r.err;
        EXPECT_GT(r.err.size(), c.message.size() + 1) << "no reason given";
    }
    EXPECT_EQ(contents(t.path()), before);
}

std::string good_wav() {
    return riff(chunk("fmt ", fmt_body()) + chunk("data", sine_data()));
}

auto file(const std::string& name, const std::string& bytes) {
    return [=](const TempDir& t) { write_file(t / name, bytes); };
}

INSTANTIATE_TEST_SUITE_P(
    SampleprepInputs, SampleprepRefuses,
    testing::Values(
        Bad{"NotAudio",
            file("in.wav", "These are words, not sound.\n"),
            {"in.wav", "out.wav"},
            1,
            "sampleprep: in.wav: "},
        Bad{"Empty", file("in.wav", ""), {"in.wav", "out.wav"}, 1, "sampleprep: in.wav: "},
        Bad{"Truncated",
            file("in.wav", good_wav().substr(0, 30)),
            {"in.wav", "out.wav"},
            1,
            "sampleprep: in.wav: "},
        Bad{"ZeroFrames",
            file("in.wav", riff(chunk("fmt ", fmt_body()) + chunk("data", ""))),
            {"in.wav", "out.wav"},
            1,
            "sampleprep: in.wav: holds no audio\n"},
        Bad{"Directory",
            [](const TempDir& t) { std::filesystem::create_directory(t / "in.wav"); },
            {"in.wav", "out.wav"},
            1,
            "sampleprep: in.wav: Is a directory\n"},
        Bad{"Missing",
            [](const TempDir&) {},
            {"in.wav", "out.wav"},
            1,
            "sampleprep: in.wav: No such file or directory\n"},
        Bad{"SameFile",
            file("in.wav", good_wav()),
            {"in.wav", "./in.wav"},
            1,
            "sampleprep: ./in.wav: is the same file as the input in.wav\n"},
        Bad{"ResamplesToNothing",
            [](const TempDir& t) {
                write_sound(t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, 1, sine);
            },
            {"in.wav", "out.wav"},
            1,
            "sampleprep: in.wav: holds no audio at 8000 Hz: 1 frame at 44100 Hz\n"},
        // Trimming's first pass, which finds the peak, sees no sample either: no audio, not
        // a silent input.
        Bad{"TrimmedResamplesToNothing",
            [](const TempDir& t) {
                write_sound(t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, 1, sine);
            },
            {"--trim", "40", "in.wav", "out.wav"},
            1,
            "sampleprep: in.wav: holds no audio at 8000 Hz: 1 frame at 44100 Hz\n"},
        Bad{"NoChannel",
            stereo,
            {"--channel", "3", "in.wav", "out.wav"},
            1,
            "sampleprep: in.wav: has 2 channels, no channel 3\n"},
        Bad{"OutputIsTheDacTable",
            [](const TempDir& t) {
                stereo(t);
                write_file(t / "levels.txt", "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n");
            },
            {"-d", "levels.txt", "in.wav", "./levels.txt"},
            1,
            "sampleprep: ./levels.txt: is the same file as the input levels.txt\n"},
        Bad{"DacMissing",
            stereo,
            {"-d", "levels.txt", "in.wav", "out.wav"},
            1,
            "sampleprep: levels.txt: No such file or directory (the DACs by name: linear, psg, "
            "ay, psg3, ay3)\n"},
        Bad{"DacFolder",
            [](const TempDir& t) {
                stereo(t);
                std::filesystem::create_directory(t / "levels");
            },
            {"-d", "levels", "in.wav", "out.wav"},
            1,
            "sampleprep: levels: Is a directory (the DACs by name: " + sound::dac_names() + ")\n"},
        Bad{"DitherOnThreeChannels",
            stereo,
            {"-d", "psg3", "--dither", "tpdf", "in.wav", "out.wav"},
            2,
            "sampleprep: --dither tpdf is for one channel; psg3 writes three in turn\nusage: "},
        Bad{"DacTooFewLevels",
            [](const TempDir& t) {
                stereo(t);
                write_file(t / "levels.txt", "1 2 3\n");
            },
            {"--dac", "levels.txt", "in.wav", "out.wav"},
            1,
            "sampleprep: levels.txt: "},
        Bad{"DacDeviceThatNeverEnds",
            stereo,
            {"-d", "/dev/zero", "in.wav", "out.wav"},
            1,
            "sampleprep: /dev/zero: larger than 64 KiB: not a table of 16 levels\n"},
        Bad{"DacBinary",
            [](const TempDir& t) {
                stereo(t);
                write_file(t / "levels.bin", std::string(100, '\x01'));
            },
            {"-d", "levels.bin", "in.wav", "out.wav"},
            1,
            "sampleprep: levels.bin: not a number: " + std::string(40, '?') + "...\n"},
        Bad{"DacEndlessRange",
            [](const TempDir& t) {
                stereo(t);
                write_file(t / "levels.txt", "-1.7e308 1.7e308 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
            },
            {"-d", "levels.txt", "in.wav", "out.wav"},
            1,
            "sampleprep: levels.txt: the levels span more than a number holds\n"},
        Bad{"RateZero",
            stereo,
            {"-r", "0", "in.wav", "out.wav"},
            2,
            "sampleprep: -r 0: expected a number from 1 to 1000000\nusage: sampleprep "},
        Bad{"RateText",
            stereo,
            {"--rate", "fast", "in.wav", "out.wav"},
            2,
            "sampleprep: --rate fast: expected a number from 1 to 1000000\nusage: sampleprep "},
        Bad{"GainText",
            stereo,
            {"-g", "loud", "in.wav", "out.wav"},
            2,
            "sampleprep: -g loud: expected a number from -200 to 200\nusage: sampleprep "},
        Bad{"TrimZero",
            stereo,
            {"--trim", "0", "in.wav", "out.wav"},
            2,
            "sampleprep: --trim 0: expected a number of dB other than 0\nusage: sampleprep "},
        Bad{"OffsetUnknown",
            stereo,
            {"--offset", "some", "in.wav", "out.wav"},
            2,
            "sampleprep: --offset some: expected auto or none\nusage: sampleprep "},
        Bad{"DitherUnknown",
            stereo,
            {"--dither", "rpdf", "in.wav", "out.wav"},
            2,
            "sampleprep: --dither rpdf: expected none or tpdf\nusage: sampleprep "},
        Bad{"UnknownOption",
            stereo,
            {"--loud", "in.wav", "out.wav"},
            2,
            "sampleprep: unknown option: --loud\nusage: sampleprep "},
        Bad{"NoOutput",
            stereo,
            {"in.wav"},
            2,
            "sampleprep: missing operand: OUTPUT\nusage: sampleprep "}),
    [](const auto& info) { return std::string(info.param.name); });

// A recording streamed through a pipe, its lengths left at their largest as a recorder that
// streams leaves them: the header's length cannot be believed, the samples are counted.
TEST(PosixSampleprep, CountsTheSamplesOfAPipe) {
    signal(SIGPIPE, SIG_IGN); // sampleprep stops reading a stream that is too long
    for (uint32_t n : {100000u, 2097121u}) {
        TempDir t;
        std::string data;
        for (uint32_t i = 0; i < n; ++i) data += le16(uint16_t(int16_t(i % 64 * 256 - 8192)));
        std::string fmt = le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(16);
        std::string stream = "RIFF" + le32(0xFFFFFFFF) + "WAVE" + chunk("fmt ", fmt) + "data" +
                             le32(0xFFFFFFFF) + data;
        ASSERT_EQ(mkfifo((t / "in.wav").c_str(), 0600), 0);
        std::thread writer([&] {
            int fd = open((t / "in.wav").c_str(), O_WRONLY);
            for (size_t at = 0; fd >= 0 && at < stream.size();) {
                ssize_t w = write(fd, stream.data() + at, stream.size() - at);
                if (w <= 0) break;
                at += size_t(w);
            }
            if (fd >= 0) close(fd);
        });
        auto r = run("sampleprep", {"in.wav", "out.wav"}, t.path());
        writer.join();
        if (n <= 2097120) {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(data_length(read_file(t / "out.wav")), n);
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, "sampleprep: in.wav: more than 2097120 samples at 8000 Hz are too "
                             "many: a packed sample file holds at most 2097120, 262.14 s at that "
                             "rate\n");
            EXPECT_FALSE(exists(t / "out.wav"));
        }
    }
}

TEST(PosixSampleprep, ReportsAFullDisk) {
    TempDir t;
    stereo(t);
    auto r = run("sampleprep", {"in.wav", "/dev/full"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sampleprep: /dev/full: No space left on device\n");
}

TEST(SampleprepConventions, HelpAndVersion) {
    TempDir t;
    auto v = run("sampleprep", {"--version"}, t.path());
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, version_text("sampleprep"));
    auto h = run("sampleprep", {"--help"}, t.path());
    EXPECT_EQ(h.status, 0);
    EXPECT_EQ(h.out.rfind("usage: sampleprep ", 0), 0u) << h.out;
    // The built-in tables in the words users read; the other tests take them from the table.
    EXPECT_NE(h.out.find("  -d, --dac NAME|FILE  the 16 output levels: a file of them, or one of\n"
                         "                         linear  level = code (the default)\n"
                         "                         psg     code 0 loudest, 2 dB a step, 15 silent\n"
                         "                         ay      code 15 loudest, 3 dB a step down, 0 "
                         "silent\n"
                         "                         psg3    psg's levels on three channels in turn\n"
                         "                         ay3     ay's levels on three channels in turn\n"
                         "      --offset MODE"),
              std::string::npos)
        << h.out;
    // The help ends where the manual is.
    EXPECT_EQ(h.out.substr(h.out.rfind('\n', h.out.size() - 2) + 1), manual_line("sampleprep"))
        << h.out;
    EXPECT_EQ(h.err, "");
}

// The road of the README: the example word, prepared, packed, wrapped into bank 2, linked, and
// played back.
TEST(SampleprepRoad, FromTheExampleWordToTheLinkerAndBack) {
    NEED_TOOL("sdldz80");
    TempDir t;
    example_word(t);
    auto prep = run("sampleprep", {"-v", "--trim", "40", "hello.wav", "word.wav"}, t.path());
    ASSERT_EQ(prep.status, 0) << prep.err;
    EXPECT_NE(prep.err.find("output: 3203 samples at 8000 Hz (0.400 s), 29 of silence to fill the "
                            "last block, 1618 packed bytes"),
              std::string::npos)
        << prep.err;
    EXPECT_EQ(data_length(read_file(t / "word.wav")), 3232u);
    ASSERT_EQ(run("samplepack", {"word.wav"}, t.path()).status, 0);
    std::string packed = read_file(t / "word.bin");
    EXPECT_EQ(packed.size(), 1618u);
    EXPECT_EQ(hex(packed.substr(0, 2)), "66 01");
    ASSERT_EQ(run("binobj", {"word.bin", "2"}, t.path()).status, 0);
    Tool link =
        tool({"sdldz80", "-n", "-m", "-i", "-b", "_CODE_2=0x8000", "word.ihx", "word.o"}, t.path());
    ASSERT_EQ(link.status, 0) << link.output;
    auto image = intel_hex_image(read_file(t / "word.ihx"));
    for (size_t i = 0; i < packed.size(); ++i)
        ASSERT_EQ(image[uint32_t(0x8000 + i)], uint8_t(packed[i])) << "byte " << i;
    EXPECT_EQ(symbol_value(read_file(t / "word.map"), "_word"), 0x8000u);
    ASSERT_EQ(run("sampleunpack", {"word.bin", "preview.wav"}, t.path()).status, 0);
    EXPECT_EQ(read_sound(t / "preview.wav").info.frames, 101 * 32);
}

// The codes of a WAV file that sampleprep wrote.
std::vector<int> codes_of(const std::string& wav) {
    std::vector<int> codes;
    for (size_t i = wav8::header_size; i < wav8::header_size + data_length(wav) && i < wav.size();
         ++i)
        codes.push_back(uint8_t(wav[i]) >> 4);
    return codes;
}

// Rates far apart, either way: the run ends, with the output or with the reason it cannot be
// made (libsoxr, asked for too great a ratio, never returns).
TEST(SampleprepRates, ExtremeRatiosEndEitherWay) {
    const struct {
        int in_rate;
        sf_count_t frames;
        const char* rate;
        std::string message; // empty when the output is written
    } cases[] = {
        {1, 2, "600000",
         "sampleprep: in.wav: cannot be resampled from 1 Hz to 600000 Hz: the "
         "rates may be at most 65536 times apart\n"},
        {1, 2, "1000000",
         "sampleprep: in.wav: cannot be resampled from 1 Hz to 1000000 Hz: the "
         "rates may be at most 65536 times apart\n"},
        {1, 2, "65536", ""},
        {1000000, 2000, "1",
         "sampleprep: in.wav: cannot be resampled from 1000000 Hz to 1 Hz: "
         "the rates may be at most 65536 times apart\n"},
        {65536, 131072, "1", ""},
    };
    for (const auto& c : cases) {
        TempDir t;
        // A quarter of a cycle a second, which passes at 1 Hz.
        double rate = c.in_rate;
        write_sound(t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, c.in_rate, c.frames,
                    [rate](sf_count_t i, int) { return std::sin(M_PI / 2 * double(i) / rate); });
        auto r = run_watched("sampleprep", {"-r", c.rate, "in.wav", "out.wav"}, t.path(), 60);
        SCOPED_TRACE(std::to_string(c.in_rate) + " Hz to " + c.rate + " Hz");
        EXPECT_EQ(r.status, c.message.empty() ? 0 : 1) << r.err;
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(exists(t / "out.wav"), c.message.empty());
    }
}

// Samples that are not numbers, or infinite, are silence: the rest of the sound stays as loud
// as it is, and standard error says how many there were.
TEST(SampleprepDamaged, NotNumbersAreSilence) {
    const struct {
        const char* name;
        int rate;
        int channels;
        std::function<double(sf_count_t, int)> signal;
        const char* warning;
    } cases[] = {
        {"NanEveryHundredth", 22050, 1,
         [](sf_count_t i, int) { return i % 100 == 50 ? NAN : sine(i, 0); },
         "sampleprep: in.wav: warning: 110 samples are not a number or infinite, taken as "
         "silence\n"},
        {"OneInfinity", 8000, 1,
         [](sf_count_t i, int) { return i == 2000 ? INFINITY : sine(i, 0); },
         "sampleprep: in.wav: warning: 1 sample is not a number or infinite, taken as silence\n"},
        {"MinusInfinityInAMix", 8000, 2,
         [](sf_count_t i, int c) { return i == 10 && c == 1 ? -INFINITY : sine(i, c); },
         "sampleprep: in.wav: warning: 1 sample is not a number or infinite, taken as silence\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir t;
        write_sound(t / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, c.channels, c.rate, c.rate / 2,
                    c.signal);
        auto r = run("sampleprep", {"in.wav", "out.wav"}, t.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, c.warning);
        std::vector<int> codes = codes_of(read_file(t / "out.wav"));
        ASSERT_FALSE(codes.empty());
        EXPECT_LE(*std::min_element(codes.begin(), codes.end()), 1);
        EXPECT_EQ(*std::max_element(codes.begin(), codes.end()), 15);
    }
}

// The gain follows the input's loudness only so far: a silent input (below -90 dBFS, however
// small its numbers) is not amplified, a quiet one by at most 40 dB; each is said on standard
// error, as is every clipped sample, without -v.
TEST(SampleprepLevel, QuietInputsAndClippingAreSaid) {
    const struct {
        const char* name;
        int format;
        std::function<double(sf_count_t, int)> signal;
        std::vector<std::string> options;
        std::string warning;
        int lowest, highest; // of the codes written
    } cases[] = {
        {"Tiniest",
         SF_FORMAT_FLOAT,
         [](sf_count_t i, int) { return 2e-39 * std::sin(double(i)); },
         {},
         "sampleprep: in.wav: warning: silent (peak below -90 dBFS): not amplified\n",
         8,
         8},
        {"Zero",
         SF_FORMAT_PCM_16,
         [](sf_count_t, int) { return 0.0; },
         {},
         "sampleprep: in.wav: warning: silent (peak below -90 dBFS): not amplified\n",
         8,
         8},
        // The dither a recorder adds to silence: one step of 16 bits either way.
        {"DitheredSilence",
         SF_FORMAT_PCM_16,
         [](sf_count_t i, int) { return (int(i * 7919 % 3) - 1) / 32768.0; },
         {},
         "sampleprep: in.wav: warning: silent (peak below -90 dBFS): not amplified\n",
         8,
         8},
        {"SilentAtAFixedGain",
         SF_FORMAT_FLOAT,
         [](sf_count_t i, int) { return 1e-6 * std::sin(double(i)); },
         {"-g", "100"},
         "sampleprep: in.wav: warning: silent (peak below -90 dBFS): not amplified\n",
         8,
         8},
        {"Quiet",
         SF_FORMAT_FLOAT,
         [](sf_count_t i, int) { return 0.001 * sine(i, 0) / 0.5; },
         {},
         "sampleprep: in.wav: warning: peak -60.0 dBFS: the normalising gain is limited to "
         "+40.0 dB\n",
         7,
         9},
        {"Clipped",
         SF_FORMAT_PCM_16,
         sine,
         {"-g", "20"},
         "sampleprep: in.wav: warning: 6973 samples clipped\n",
         0,
         15},
        {"Loud", SF_FORMAT_PCM_16, sine, {}, "", 0, 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir t;
        write_sound(t / "in.wav", SF_FORMAT_WAV | c.format, 1, 8000, 8000, c.signal);
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"in.wav", "out.wav"});
        auto r = run("sampleprep", args, t.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, c.warning);
        std::vector<int> codes = codes_of(read_file(t / "out.wav"));
        ASSERT_EQ(codes.size(), 8000u);
        EXPECT_EQ(*std::min_element(codes.begin(), codes.end()), c.lowest);
        EXPECT_EQ(*std::max_element(codes.begin(), codes.end()), c.highest);
    }
}

// The core reads a whole file from memory as the program reads it from disk, to the byte.
TEST(SampleprepCore, ReadsFromMemory) {
    TempDir t;
    std::string in = riff(chunk("fmt ", fmt_body()) + chunk("data", sine_data()));
    write_file(t / "in.wav", in);
    ASSERT_EQ(run("sampleprep", {"-d", "psg", "in.wav", "out.wav"}, t.path()).status, 0);
    sampleprep::PrepOptions o;
    ASSERT_EQ(sound::dac_table("psg", &o.dac), "");
    o.codes.offset = sound::offset_by_default(o.dac.levels);
    std::string wav;
    sampleprep::PrepReport report;
    SF_INFO info;
    EXPECT_EQ(sampleprep::prepare_bytes(in, o, &wav, &report, &info), "");
    EXPECT_EQ(info.samplerate, 22050);
    EXPECT_EQ(hex(wav), hex(read_file(t / "out.wav")));
    EXPECT_NE(sampleprep::prepare_bytes(in.substr(0, 30), o, &wav, &report, &info), "");
}

} // namespace
