// binobj's modules in the real SDCC linker: the bytes must land where the command line asked, and
// the symbol must name them, for the linker alone and for C code that refers to the data.
#include "tests/binobj_module.h"
#include "tests/harness.h"
#include "tests/tools.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string sample_data(size_t size) {
    std::string data;
    for (size_t i = 0; i < size; ++i) data += char(i * 37 + 11 + i / 256);
    return data;
}

// Every byte of data at its place from start on, and nothing else in the image.
void expect_image_holds(const std::map<uint32_t, uint8_t>& image, uint32_t start,
                        const std::string& data, size_t others) {
    for (size_t i = 0; i < data.size(); ++i) {
        auto at = image.find(start + i);
        if (at == image.end()) {
            ADD_FAILURE() << "no byte at " << start + i;
            return;
        }
        ASSERT_EQ(at->second, uint8_t(data[i])) << "at " << start + i;
    }
    EXPECT_EQ(image.size(), data.size() + others);
}

struct Placement {
    const char* name;
    std::vector<std::string> args; // for binobj, after the input
    std::vector<std::string> link; // linker options that place the area
    uint32_t address;              // where the data must land
};

void PrintTo(const Placement& c, std::ostream* os) {
    *os << c.name;
}

class Links : public testing::TestWithParam<Placement> {
  protected:
    void SetUp() override { NEED_TOOL("sdldz80"); }

    // Wraps data as logo.bin and returns its module's path, logo.o.
    void wrap(const std::string& data) {
        write_file(t / "logo.bin", data);
        std::vector<std::string> args{"logo.bin"};
        args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
        auto r = run("binobj", args, t.path());
        ASSERT_EQ(r.status, 0) << r.out;
    }

    TempDir t;
};

TEST_P(Links, PutsEveryByteWhereAskedAndTheSymbolOnIt) {
    const Placement& c = GetParam();
    std::string data = sample_data(300);
    ASSERT_NO_FATAL_FAILURE(wrap(data));

    std::vector<std::string> argv{"sdldz80", "-n", "-m", "-i"};
    argv.insert(argv.end(), c.link.begin(), c.link.end());
    argv.insert(argv.end(), {"out.ihx", "logo.o"});
    Tool link = tool(argv, t.path());
    ASSERT_EQ(link.status, 0) << link.output;
    EXPECT_EQ(link.output, "");

    expect_image_holds(intel_hex_image(read_file(t / "out.ihx")), c.address, data, 0);
    EXPECT_EQ(symbol_value(read_file(t / "out.map"), "_logo"), c.address);
}

// C code names the data by the symbol, "_" and the C name. The pointer's initial value, which the
// start-up code copies to RAM, is where the linker put the symbol.
TEST_P(Links, GivesCCodeTheDataByItsSymbol) {
    NEED_TOOL("sdcc");
    const Placement& c = GetParam();
    std::string data = sample_data(40);
    ASSERT_NO_FATAL_FAILURE(wrap(data));
    write_file(t / "ref.c", "extern const unsigned char logo[];\n"
                            "const unsigned char* p = logo;\n"
                            "int main(void) { return p[0]; }\n");
    Tool compile = tool({"sdcc", "-mz80", "-c", "ref.c"}, t.path());
    ASSERT_EQ(compile.status, 0) << compile.output;

    // The compiler's driver takes objects by the ".rel" name only.
    std::filesystem::copy_file(t / "logo.o", t / "logo.rel");
    std::vector<std::string> argv{"sdcc", "-mz80", "--data-loc", "0xE000"};
    for (size_t i = 0; i + 1 < c.link.size(); i += 2)
        argv.push_back("-Wl" + c.link[i] + c.link[i + 1]);
    argv.insert(argv.end(), {"-o", "prog.ihx", "ref.rel", "logo.rel"});
    Tool link = tool(argv, t.path());
    ASSERT_EQ(link.status, 0) << link.output;
    EXPECT_EQ(link.output.find("?ASlink"), std::string::npos) << link.output;

    std::string map = read_file(t / "prog.map");
    auto logo = symbol_value(map, "_logo");
    auto init = symbol_value(map, "s__INITIALIZER");
    ASSERT_TRUE(logo && init);
    if (c.link.empty() && c.args.empty()) {
        // In the code area, after the program's own code.
        auto code = symbol_value(map, "s__CODE");
        ASSERT_TRUE(code);
        EXPECT_GT(*logo, *code);
    } else {
        EXPECT_EQ(*logo, c.address);
    }
    auto image = intel_hex_image(read_file(t / "prog.ihx"));
    for (size_t i = 0; i < data.size(); ++i)
        ASSERT_EQ(image[*logo + uint32_t(i)], uint8_t(data[i])) << "at " << *logo + i;
    EXPECT_EQ(image[*init], *logo & 0xFF);
    EXPECT_EQ(image[*init + 1], *logo >> 8);
}

INSTANTIATE_TEST_SUITE_P(
    Binobj, Links,
    testing::Values(Placement{"Address", {"0xC000"}, {}, 0xC000},
                    Placement{"AddressWithBankAndName", {"3", "0x4321", "logo"}, {}, 0x4321},
                    Placement{"Bank", {"2"}, {"-b", "_CODE_2=0x8000"}, 0x8000},
                    Placement{"CodeArea", {}, {}, 0}),
    ByName());

// Two modules at fixed addresses keep their own bytes and symbols.
TEST(BinobjLinksTogether, TwoAbsoluteModules) {
    NEED_TOOL("sdldz80");
    TempDir t;
    std::string a = sample_data(30), b = sample_data(50).substr(20);
    write_file(t / "a.bin", a);
    write_file(t / "b.bin", b);
    ASSERT_EQ(run("binobj", {"a.bin", "0x1000"}, t.path()).status, 0);
    ASSERT_EQ(run("binobj", {"b.bin", "0x2000"}, t.path()).status, 0);
    Tool link = tool({"sdldz80", "-n", "-m", "-i", "out.ihx", "a.o", "b.o"}, t.path());
    ASSERT_EQ(link.status, 0) << link.output;
    EXPECT_EQ(link.output, "");
    auto image = intel_hex_image(read_file(t / "out.ihx"));
    expect_image_holds(image, 0x1000, a, b.size());
    expect_image_holds(image, 0x2000, b, a.size());
    std::string map = read_file(t / "out.map");
    EXPECT_EQ(symbol_value(map, "_a"), 0x1000u);
    EXPECT_EQ(symbol_value(map, "_b"), 0x2000u);
}

// The road of the README: the example sound, packed, wrapped into bank 2 and linked.
TEST(BinobjLinksTogether, TheSoundRoad) {
    NEED_TOOL("sdldz80");
    TempDir t;
    std::filesystem::copy_file(source_path("examples/bell.wav"), t / "bell.wav");
    ASSERT_EQ(run("samplepack", {"bell.wav"}, t.path()).status, 0);
    ASSERT_EQ(run("binobj", {"bell.bin", "2"}, t.path()).status, 0);
    Tool link =
        tool({"sdldz80", "-n", "-m", "-i", "-b", "_CODE_2=0x8000", "bell.ihx", "bell.o"}, t.path());
    ASSERT_EQ(link.status, 0) << link.output;
    auto image = intel_hex_image(read_file(t / "bell.ihx"));
    expect_image_holds(image, 0x8000, read_file(t / "bell.bin"), 0);
    EXPECT_EQ(symbol_value(read_file(t / "bell.map"), "_bell"), 0x8000u);
}

} // namespace
