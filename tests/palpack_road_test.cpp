// The palette road as the README shows it: the example palette through palpack and binobj into
// the SDCC linker, whose image must hold the packed palette at the address asked for.
#include "tests/harness.h"
#include "tests/tools.h"

#include <cstdlib>
#include <map>
#include <string>

namespace {

TEST(PaletteRoad, LinksTheExamplePaletteAtItsAddress) {
    NEED_TOOL("sdldz80");
    TempDir t;
    write_file(t / "rgb332.pal", read_file(source_path("examples/rgb332.pal")));

    Result r = run("palpack", {"rgb332.pal", "rgb332.bin", "15"}, t.path());
    ASSERT_EQ(r.status, 0) << r.out;
    std::string palette = read_file(t / "rgb332.bin");
    ASSERT_EQ(palette.size(), 512u);
    // Colour 0x4B of the 3-3-2 palette: red 2/7, green 2/7, blue 3/3.
    EXPECT_EQ(hex(palette.substr(2 * 0x4B, 2)), "29 7D");

    r = run("binobj", {"rgb332.bin", "0xD000", "PALETTE"}, t.path());
    ASSERT_EQ(r.status, 0) << r.out;
    Tool link = tool({"sdldz80", "-n", "-m", "-i", "road.ihx", "rgb332.o"}, t.path());
    ASSERT_EQ(link.status, 0) << link.output;

    std::map<uint32_t, uint8_t> image = intel_hex_image(read_file(t / "road.ihx"));
    ASSERT_EQ(image.size(), palette.size());
    for (size_t i = 0; i < palette.size(); ++i)
        EXPECT_EQ(image[0xD000 + uint32_t(i)], uint8_t(palette[i])) << i;
    EXPECT_NE(read_file(t / "road.map").find("0000D000  _PALETTE"), std::string::npos);
}

} // namespace
