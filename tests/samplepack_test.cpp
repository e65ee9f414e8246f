// samplepack end to end: the built program on real files in a temporary folder.
#include "samplepack/messages.h"
#include "samplepack/pack.h"
#include "tests/harness.h"
#include "tests/tools.h"
#include "tests/wav.h"

#include <cstring>
#include <unistd.h>

using namespace samplepack;

namespace {

std::string repeat(const std::string& s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

std::string counting(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += char(i);
    return s;
}

struct Packing {
    const char* name;
    std::string input;    // the whole WAV file
    std::string expected; // the whole packed file
};

void PrintTo(const Packing& c, std::ostream* os) {
    *os << c.name;
}

class Packs : public testing::TestWithParam<Packing> {};

TEST_P(Packs, WritesTheBlocksBehindTheirCount) {
    const Packing& c = GetParam();
    TempDir t;
    write_file(t / "bell.wav", c.input);
    auto r = run("samplepack", {"bell.wav"}, t.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(hex(read_file(t / "bell.bin")), hex(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Samplepack, Packs,
    testing::Values(
        Packing{"NoSamples", wav(""), bytes("01 01")},
        Packing{"FiveSamples", wav(bytes("00 1F 80 FF 7F")),
                bytes("02 01 01 8F") + repeat("\x88", 14)},
        Packing{"OneFullBlock", wav(counting(32)),
                bytes("02 01") + std::string(8, 0) + repeat("\x11", 8)},
        // The 33rd sample has no partner in its read and is dropped: no fill is needed.
        Packing{"OddSampleDropped", wav(repeat("\xFF", 33)), bytes("02 01") + repeat("\xFF", 16)},
        Packing{"ThreeThousand", wav(std::string(3000, 0)),
                bytes("5F 01") + std::string(1500, 0) + repeat("\x88", 4)},
        // Each read of 4096 samples is packed on its own: the odd sample of the second read is
        // lost.
        Packing{"OddSecondRead", wav(repeat("\x10", 4097)), bytes("81 01") + repeat("\x11", 2048)},
        Packing{"EvenSecondRead", wav(repeat("\x10", 4098)),
                bytes("82 01") + repeat("\x11", 2049) + repeat("\x88", 15)},
        // The header's length counts, not the file's: bytes after the data are never read.
        Packing{"TrailingChunk", wav_header(2) + bytes("F0 0F") + "LIST" + le32(4) + "abcd",
                bytes("02 01 F0") + repeat("\x88", 15)},
        // The form type is not looked at, nor anything between the tags.
        Packing{"AnyFormType",
                "RIFF" + repeat("?", 8) + "fmt " + repeat("\xEE", 28) + "data" + le32(2) +
                    bytes("12 34"),
                bytes("02 01 13") + repeat("\x88", 15)},
        Packing{"Blocks255", wav(repeat("\x77", 255 * 32)),
                bytes("00 01") + repeat("\x77", 255 * 16)},
        Packing{"Blocks256", wav(repeat("\x77", 256 * 32)),
                bytes("01 02") + repeat("\x77", 256 * 16)},
        // 2313 blocks (9 * 256 + 9) and samples that pack into bytes 0A: every byte of the file
        // is a line feed, which a text-mode write would turn into CR LF.
        Packing{"LineFeedBytes", wav(repeat("\x05\xA5", 2313 * 16)),
                bytes("0A 0A") + repeat("\x0A", 2313 * 16)}),
    ByName());

// The two count bytes each carry their own +1 and wrap on their own; the largest count the header
// holds is 65535 blocks.
TEST(SamplepackCount, LargestCountsWrapEachByte) {
    struct Case {
        uint32_t blocks;
        const char* header;
    } cases[] = {{65280, "01 00"}, {65535, "00 00"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blocks);
        TempDir t;
        write_file(t / "big.wav", wav(std::string(size_t(c.blocks) * 32, '\x40')));
        auto r = run("samplepack", {"big.wav"}, t.path());
        EXPECT_EQ(r.status, 0);
        std::string out = read_file(t / "big.bin");
        EXPECT_EQ(out.size(), 2 + size_t(c.blocks) * 16);
        EXPECT_EQ(hex(out.substr(0, 2)), c.header);
    }
}

struct Refusal {
    const char* name;
    std::string input; // the file at in.wav, or nothing when empty and missing is set
    const char* message;
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

std::string header_prefix(size_t n) {
    return wav_header(0).substr(0, n);
}

class Refuses : public testing::TestWithParam<Refusal> {};

// A refused input leaves what stands at the output path as it was.
TEST_P(Refuses, WithItsMessageAndNoOutput) {
    const Refusal& c = GetParam();
    TempDir t;
    write_file(t / "in.wav", c.input);
    write_file(t / "in.bin", "keep");
    auto r = run("samplepack", {"in.wav"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.message);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(t / "in.bin"), "keep");
}

std::string with(std::string s, size_t at, const char* text) {
    s.replace(at, strlen(text), text);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Samplepack, Refuses,
    testing::Values(Refusal{"NotRiff", with(wav("ab"), 0, "RIFX"), samplepack::riff_error},
                    Refusal{"NoFormat", with(wav("ab"), 12, "fmt_"), samplepack::fmt_error},
                    Refusal{"NoData", with(wav("ab"), 44, "DATA"), samplepack::data_error},
                    Refusal{"AllWrongRiffFirst", std::string(60, 'x'), samplepack::riff_error},
                    // What common tools write: the data chunk right after a 16-byte format chunk.
                    Refusal{"DataTagAt36",
                            header_prefix(36) + "data" + le32(4) + "abcd" + std::string(8, 'x'),
                            samplepack::data_error},
                    // A short file is refused at the first tag it does not hold in full.
                    Refusal{"Empty", "", samplepack::riff_error},
                    Refusal{"ThreeBytes", "RIF", samplepack::riff_error},
                    Refusal{"RiffOnly", header_prefix(4), samplepack::fmt_error},
                    Refusal{"FormatCut", header_prefix(15), samplepack::fmt_error},
                    Refusal{"NoDataTag", header_prefix(16), samplepack::data_error},
                    Refusal{"DataTagCut", header_prefix(47), samplepack::data_error},
                    Refusal{"LengthMissing", header_prefix(48), samplepack::data_error},
                    Refusal{"LengthCut", header_prefix(51), samplepack::data_error}),
    ByName());

TEST(SamplepackFails, WithoutAnInputShowsItsUsage) {
    TempDir t;
    auto r = run("samplepack", {}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, usage_name("samplepack") + " [input.wav]\n");
}

// A read that fails is not the end of the data. Reading a process's own memory at offset 0, which
// is never mapped, fails with an I/O error.
TEST(PosixSamplepackFails, OnAReadError) {
    TempDir t;
    auto r = run("samplepack", {"/proc/self/mem"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, samplepack::input_error);
}

TEST(SamplepackFails, WhenTheOutputCannotBeCreated) {
    TempDir t;
    write_file(t / "in.wav", wav("ab"));
    ASSERT_EQ(mkdir((t / "in.bin").c_str(), 0755), 0);
    auto r = run("samplepack", {"in.wav"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, samplepack::output_error);
}

// An input whose output name is its own name, or that leads to the output file by a link, is
// neither read into nor truncated.
TEST(SamplepackFails, WhenTheOutputWouldBeTheInput) {
    TempDir t;
    std::string input = wav(counting(40));
    write_file(t / "self.bin", input);
    write_file(t / "real.bin", input);
    ASSERT_EQ(symlink("real.bin", (t / "soft.wav").c_str()), 0);
    ASSERT_EQ(symlink("real.bin", (t / "soft.bin").c_str()), 0);
    ASSERT_EQ(link((t / "real.bin").c_str(), (t / "hard.wav").c_str()), 0);
    ASSERT_EQ(link((t / "real.bin").c_str(), (t / "hard.bin").c_str()), 0);
    for (const char* name : {"self.bin", "./self.bin", "soft.wav", "hard.wav"}) {
        SCOPED_TRACE(name);
        auto r = run("samplepack", {name}, t.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, samplepack::output_error);
        EXPECT_EQ(read_file(t / "self.bin"), input);
        EXPECT_EQ(read_file(t / "real.bin"), input);
    }
}

// The output lands beside its input whatever the folders are called and however long the path.
TEST(SamplepackNames, OutputStandsBesideTheInput) {
    TempDir t;
    std::string deep = "snd.old";
    for (int i = 0; i < 6; ++i) deep += "/" + std::string(120, char('a' + i)) + ".d";
    ASSERT_EQ(system(("mkdir -p '" + (t / deep) + "'").c_str()), 0);
    struct Case {
        std::string input, output;
    } cases[] = {
        {"snd.old/bell", "snd.old/bell.bin"},
        {"snd.old/a.b.wav", "snd.old/a.b.bin"},
        {deep + "/" + std::string(200, 'n') + ".wav", deep + "/" + std::string(200, 'n') + ".bin"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.size());
        write_file(t / c.input, wav(bytes("12 34")));
        auto r = run("samplepack", {c.input, "ignored", "args"}, t.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(hex(read_file(t / c.output)), hex(bytes("02 01 13") + repeat("\x88", 15)));
    }
    EXPECT_FALSE(exists(t / "snd.bin"));
}

// A read error inside the samples is a failure, not the end of the data. A stream that fails
// after its first bytes stands in for a failing disk.
TEST(PackCore, ReportsAReadErrorInTheSamples) {
    struct Failing {
        std::string data;
        size_t at = 0;
    } source{wav(std::string(9000, 'a'))};
    cookie_io_functions_t io = {};
    io.read = [](void* cookie, char* buf, size_t size) -> ssize_t {
        auto* f = static_cast<Failing*>(cookie);
        if (f->at >= 5000) {
            errno = EIO;
            return -1;
        }
        size_t n = std::min(size, std::min(f->data.size(), size_t(5000)) - f->at);
        memcpy(buf, f->data.data() + f->at, n);
        f->at += n;
        return ssize_t(n);
    };
    FILE* in = fopencookie(&source, "r", io);
    FILE* out = tmpfile();
    ASSERT_TRUE(in && out);
    uint32_t length = 0;
    EXPECT_EQ(check_header(in, &length), nullptr);
    EXPECT_EQ(length, 9000u);
    const char* error = pack(in, out, length, [] { return false; });
    EXPECT_STREQ(error, samplepack::input_error);
    fclose(in);
    fclose(out);
}

// Packing stops at the read that takes the packed data past the 65535 blocks a count can hold,
// however much more the header promises and the input holds.
TEST(PackCore, StopsAtTheReadThatPassesTheLargestCount) {
    struct Source {
        uint64_t delivered = 0;
    } source;
    cookie_io_functions_t io = {};
    io.read = [](void* cookie, char* buf, size_t size) -> ssize_t {
        auto* s = static_cast<Source*>(cookie);
        if (s->delivered >= uint64_t(64) << 20) return 0;
        memset(buf, 0x40, size);
        s->delivered += size;
        return ssize_t(size);
    };
    FILE* in = fopencookie(&source, "r", io);
    FILE* out = tmpfile();
    ASSERT_TRUE(in && out);
    setvbuf(in, nullptr, _IONBF, 0); // every byte delivered is a byte read
    EXPECT_STREQ(pack(in, out, 0xFFFFFFFF, [] { return false; }), samplepack::too_many_samples);
    EXPECT_LE(source.delivered, packed::max_samples + 4096);
    EXPECT_LE(uint64_t(ftell(out)), packed::max_size);
    fclose(in);
    fclose(out);
}

// A write that fails on a regular file, here past the limit of a file's size, leaves no packed
// file behind: its count would never have been written.
TEST(PosixSamplepackFails, RemovesItsOutputAfterAWriteError) {
    TempDir t;
    write_file(t / "in.wav", wav(std::string(100000, 'a')));
    // The limit counts blocks of 512 bytes; with SIGXFSZ ignored a write past it fails.
    Tool r =
        tool({"sh", "-c", "trap '' XFSZ; ulimit -f 8 && exec \"$0\" in.wav", program("samplepack")},
             t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, samplepack::output_error);
    EXPECT_FALSE(exists(t / "in.bin"));
}

// The example sound that ships with the project, and the WAV files of ordinary audio tools.
class ExampleSound : public testing::Test {
  protected:
    TempDir t;
};

TEST_F(ExampleSound, IsWhatItsScriptMakes) {
    Tool made = tool({source_path("scripts/make-example-wav"), t / "bell.wav"}, t.path());
    ASSERT_EQ(made.status, 0) << made.output;
    EXPECT_EQ(read_file(t / "bell.wav"), read_file(source_path("examples/bell.wav")));
}

TEST_F(ExampleSound, PacksWhole) {
    write_file(t / "bell.wav", read_file(source_path("examples/bell.wav")));
    auto r = run("samplepack", {"bell.wav"}, t.path());
    EXPECT_EQ(r.status, 0);
    std::string out = read_file(t / "bell.bin");
    EXPECT_EQ(out.size(), 2u + 4000);
    EXPECT_EQ(hex(out.substr(0, 2)), "FB 01"); // 250 blocks
}

TEST_F(ExampleSound, AudioToolsReadIt) {
    NEED_TOOL("sox");
    Tool info = tool({"sox", "--i", source_path("examples/bell.wav")}, t.path());
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("8000 samples"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("8-bit Unsigned"), std::string::npos) << info.output;
}

// Audio tools put the data tag at byte 36, right after a 16-byte format chunk.
TEST_F(ExampleSound, AudioToolsLayoutIsRefused) {
    NEED_TOOL("sox");
    Tool made = tool({"sox", "-n", "-r", "8000", "-b", "8", "-c", "1", "-e", "unsigned-integer",
                      "tone.wav", "synth", "0.1", "sine", "440"},
                     t.path());
    ASSERT_EQ(made.status, 0) << made.output;
    ASSERT_EQ(read_file(t / "tone.wav").substr(36, 4), "data");
    auto r = run("samplepack", {"tone.wav"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, samplepack::data_error);
    EXPECT_FALSE(exists(t / "tone.bin"));
}

} // namespace
