// The palette road as the README shows it: the example palette through palpack and binobj into
// the SDCC linker, whose image must hold the packed palette at the address asked for.
#include "harness.h"

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace {

// The data bytes of an Intel HEX image by address.
std::map<unsigned, unsigned char> image_of(const std::string& text) {
    std::map<unsigned, unsigned char> image;
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 11 || line[0] != ':') continue;
        std::string record = bytes(line.substr(1));
        if (record[3] != 0) continue; // only data records
        unsigned address = unsigned(uint8_t(record[1])) << 8 | uint8_t(record[2]);
        for (size_t i = 0; i < uint8_t(record[0]); ++i)
            image[address + unsigned(i)] = static_cast<unsigned char>(record[4 + i]);
    }
    return image;
}

TEST(PaletteRoad, LinksTheExamplePaletteAtItsAddress) {
    if (std::system("command -v sdldz80 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no sdldz80";
    const char* source = getenv("TOOLKIT_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    TempDir t;
    write_file(t / "rgb332.pal", read_file(std::string(source) + "/examples/rgb332.pal"));

    Result r = run("palpack", {"rgb332.pal", "rgb332.bin", "15"}, t.path());
    ASSERT_EQ(r.status, 0) << r.out;
    std::string palette = read_file(t / "rgb332.bin");
    ASSERT_EQ(palette.size(), 512u);
    // Colour 0x4B of the 3-3-2 palette: red 2/7, green 2/7, blue 3/3.
    EXPECT_EQ(hex(palette.substr(2 * 0x4B, 2)), "29 7D");

    r = run("binobj", {"rgb332.bin", "0xD000", "PALETTE"}, t.path());
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(
        std::system(
            ("cd '" + t.path() + "' && sdldz80 -n -m -i road.ihx rgb332.o >link.log 2>&1").c_str()),
        0)
        << read_file(t / "link.log");

    std::map<unsigned, unsigned char> image = image_of(read_file(t / "road.ihx"));
    ASSERT_EQ(image.size(), palette.size());
    for (size_t i = 0; i < palette.size(); ++i)
        EXPECT_EQ(image[0xD000 + unsigned(i)], static_cast<unsigned char>(palette[i])) << i;
    EXPECT_NE(read_file(t / "road.map").find("0000D000  _PALETTE"), std::string::npos);
}

} // namespace
