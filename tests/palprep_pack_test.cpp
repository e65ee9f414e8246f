// palprep --pack: the machine's binary palette at every depth and count, end to end.
#include "palettes/depth.h"
#include "tests/harness.h"
#include "tests/palette_files.h"

#include <filesystem>
#include <set>

using namespace palettes;
using namespace colours;

namespace {

class PalprepPack : public testing::Test {
  protected:
    TempDir t;
    Result palprep(const std::vector<std::string>& args) { return run("palprep", args, t.path()); }
};

// 64 colours with components all over 0 to 255.
std::vector<Colour> spread() {
    std::vector<Colour> c;
    for (int i = 0; i < 64; ++i)
        c.push_back({uint8_t(i * 4 + 1), uint8_t((i * 37 + 11) % 256), uint8_t(255 - i * 3)});
    return c;
}

// At palpack's depths and 256 colours, --pack writes the bytes palpack makes of palprep's
// JASC-PAL, either way of snapping.
TEST_F(PalprepPack, AtPalpacksDepthsTheBytesOfPalpack) {
    write_file(t / "in.pal", jasc(spread()));
    for (const char* depth : {"12", "15", "24", "32"})
        for (const char* snap : {"nearest", "trunc"}) {
            std::vector<std::string> how = {"--depth", depth, "--snap", snap};
            std::vector<std::string> jasc_args = {"in.pal", "mid.pal"},
                                     pack_args = {"in.pal", "out.bin", "--pack", "--count", "256"};
            jasc_args.insert(jasc_args.end(), how.begin(), how.end());
            pack_args.insert(pack_args.end(), how.begin(), how.end());
            ASSERT_EQ(palprep(jasc_args).status, 0);
            ASSERT_EQ(run("palpack", {"mid.pal", "ref.bin", depth}, t.path()).status, 0);
            Result r = palprep(pack_args);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(hex(read_file(t / "out.bin")), hex(read_file(t / "ref.bin")))
                << depth << " " << snap;
        }
}

struct Sized {
    std::vector<std::string> options;
    const char* bytes;
};

// Three colours of the worked values (red, 12 34 56, B6 49 DB), kept by --snap trunc exactly as
// their layouts keep them: the count is the input's unless --count says, padded with --pad, and
// the padding snapped like the colours (100,200,50 at 6 bits: levels 1 2 1; at 9: 3 5 1).
TEST_F(PalprepPack, SizesAndPadding) {
    write_file(t / "in.hex", "ff0000\n123456\nb649db\n");
    for (const Sized& c : std::vector<Sized>{
             {{"--depth", "6"}, "03 10 36"},
             {{"--depth", "6", "--count", "5"}, "03 10 36 00 00"},
             {{"--depth", "6", "--count", "5", "--pad", "255,255,255"}, "03 10 36 3F 3F"},
             {{"--depth", "9", "--count", "4", "--pad", "85,170,36"}, "70 00 02 01 56 02 21 05"},
             {{"--depth", "12"}, "0F 00 31 05 4B 0D"},
             {{"--depth", "15", "--count", "3"}, "1F 00 C2 28 36 6D"},
             {{"--depth", "24", "--count", "4", "--pad", "1,2,3"},
              "FF 00 00 12 34 56 B6 49 DB 01 02 03"},
             {{"--depth", "32"}, "FF 00 00 00 12 34 56 00 B6 49 DB 00"},
         }) {
        std::vector<std::string> args = {"in.hex", "out.bin", "--pack", "--snap", "trunc"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        Result r = palprep(args);
        ASSERT_EQ(r.status, 0) << c.bytes << ": " << r.err;
        EXPECT_EQ(r.out + r.err, "");
        EXPECT_EQ(hex(read_file(t / "out.bin")), c.bytes);
    }
    for (auto [depth, pad] :
         std::vector<std::pair<std::string, std::string>>{{"6", "19"}, {"9", "31 05"}}) {
        ASSERT_EQ(palprep({"in.hex", "out.bin", "--pack", "--depth", depth, "--count", "256",
                           "--pad", "100,200,50"})
                      .status,
                  0);
        std::string out = read_file(t / "out.bin");
        size_t entry = depth == "6" ? 1 : 2;
        ASSERT_EQ(out.size(), 256 * entry);
        EXPECT_EQ(hex(out.substr(255 * entry)), pad) << depth;
        EXPECT_EQ(hex(out.substr(3 * entry, entry)), pad) << depth;
    }
}

// Colours made one at 6 bits are reported as at 12 and 15; at 9 bits the same colours stay
// apart. --strict fails with no output.
TEST_F(PalprepPack, MergesReported) {
    write_file(t / "in.pal",
               jasc({{0, 0, 0}, {20, 0, 0}, {255, 255, 255}, {240, 250, 230}, {100, 100, 100}}));
    Result r = palprep({"in.pal", "out.bin", "--pack", "--depth", "6", "--count", "8", "-v"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "palprep: in.pal: 5 colours, JASC-PAL palette\n"
              "palprep: in.pal: warning: colours 0 and 1 become one at 6 bits (0 0 0)\n"
              "palprep: in.pal: warning: colours 2 and 3 become one at 6 bits (255 255 255)\n"
              "palprep: out.bin: 8 colours at 6 bits (nearest), 3 of them padding 0 0 0, 8 "
              "bytes\n");
    EXPECT_EQ(hex(read_file(t / "out.bin")), "00 00 3F 3F 15 00 00 00");

    r = palprep({"in.pal", "out9.bin", "--pack", "--depth", "9", "--strict"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(hex(read_file(t / "out9.bin")), "00 00 10 00 77 07 76 07 33 03");

    r = palprep({"in.pal", "strict.bin", "--pack", "--depth", "6", "--strict"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palprep: in.pal: colours 0 and 1 become one at 6 bits (0 0 0)\n"
                     "palprep: in.pal: colours 2 and 3 become one at 6 bits (255 255 255)\n");
    EXPECT_FALSE(exists(t / "strict.bin"));
}

// The binary palette goes to standard output as it is.
TEST_F(PalprepPack, ToStandardOutput) {
    write_file(t / "in.hex", "ff0000\n00ff00\n");
    Result r = palprep({"in.hex", "-", "--pack", "--depth", "9"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(hex(r.out), "70 00 00 07");
}

TEST_F(PalprepPack, Refusals) {
    write_file(t / "in.pal", jasc(sixteen()));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string first_line;
    };
    for (const Case& c : std::vector<Case>{
             {{"--pack"}, 2, "palprep: --pack needs --depth"},
             {{"--count", "16"}, 2, "palprep: --count needs --pack"},
             {{"--count", "16", "--depth", "12"}, 2, "palprep: --count needs --pack"},
             {{"--pack", "--depth", "6", "--count", "0"},
              2,
              "palprep: --count 0: expected a whole number from 1 to 256"},
             {{"--pack", "--depth", "6", "--count", "257"},
              2,
              "palprep: --count 257: expected a whole number from 1 to 256"},
             {{"--pack", "--depth", "6", "--count", "16x"},
              2,
              "palprep: --count 16x: expected a whole number from 1 to 256"},
             {{"--depth", "6"},
              2,
              "palprep: --depth 6 needs --pack (palpack writes " + depth_names(true) + ")"},
             {{"--depth", "9"},
              2,
              "palprep: --depth 9 needs --pack (palpack writes " + depth_names(true) + ")"},
             // Dropping the colours past the count would lose them unseen.
             {{"--pack", "--depth", "12", "--count", "15"},
              1,
              "palprep: in.pal: 16 colours, more than --count 15"},
         }) {
        std::vector<std::string> args = {"in.pal", "out.bin"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Result r = palprep(args);
        EXPECT_EQ(r.status, c.status) << c.first_line;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
        EXPECT_EQ(r.err.find("usage: palprep") != std::string::npos, c.status == 2) << r.err;
        EXPECT_FALSE(exists(t / "out.bin"));
    }
}

} // namespace
