// tilepack and tileview run on PNG pictures made here; what tileview draws is compared, pixel for
// pixel, with the picture tilepack read, its colours snapped as the machine shows them.
#include "colours/layouts.h"
#include "palettes/depth.h"
#include "tests/harness.h"
#include "tests/png.h"
#include "tiles/layouts.h"

#include <algorithm>
#include <random>

namespace {

using namespace palettes;
using colours::ColourLayout;

using Pattern = std::vector<uint8_t>; // 64 indices

Pattern flip(const Pattern& p, bool h, bool v) {
    Pattern out(64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            out[size_t(y * 8 + x)] = p[size_t((v ? 7 - y : y) * 8 + (h ? 7 - x : x))];
    return out;
}

// A picture of tiles across x down tiles, each tile a pattern of indices into its palette
// (index 0: the background colour, black).
struct Drawing {
    uint32_t across = 0, down = 0;
    std::vector<Pattern> tiles;              // row by row
    std::vector<size_t> palette;             // each tile's palette
    std::vector<std::vector<Rgba>> palettes; // colours 1... of each palette
    std::vector<Rgba> pixels() const {
        std::vector<Rgba> out(size_t(across) * down * 64);
        for (size_t t = 0; t < tiles.size(); ++t)
            for (int i = 0; i < 64; ++i) {
                uint8_t index = tiles[t][size_t(i)];
                size_t x = t % across * 8 + size_t(i % 8), y = t / across * 8 + size_t(i / 8);
                out[y * across * 8 + x] =
                    index ? palettes[palette[t]][index - 1u] : Rgba{0, 0, 0, 255};
            }
        return out;
    }
    std::string png() const { return truecolour_png(across * 8, down * 8, pixels(), false); }
};

Pattern random_pattern(std::mt19937& random, int colours) {
    Pattern p(64);
    for (uint8_t& i : p) i = uint8_t(random() % unsigned(colours));
    return p;
}

// Distinct colours of the levels 0, 85, 170 and 255, never black: they stay distinct at every
// depth, and none becomes the background.
std::vector<Rgba> random_colours(std::mt19937& random, int count) {
    std::vector<Rgba> grid;
    for (int i = 1; i < 64; ++i)
        grid.push_back(
            {uint8_t((i & 3) * 85), uint8_t((i >> 2 & 3) * 85), uint8_t((i >> 4) * 85), 255});
    std::shuffle(grid.begin(), grid.end(), random);
    grid.resize(size_t(count));
    return grid;
}

Rgba shown(Rgba c, int depth) {
    if (!snaps(depth)) return c;
    Colour s = snap({c.r, c.g, c.b}, component_bits(depth), Snap::nearest);
    return {s.r, s.g, s.b, 255};
}

class TilepackRun : public testing::Test {
  protected:
    TempDir t;
    Result tilepack(const std::vector<std::string>& args) {
        return run("tilepack", args, t.path());
    }
    Result tileview(const std::vector<std::string>& args) {
        return run("tileview", args, t.path());
    }
};

struct RoadCase {
    std::string name;
    const tiles::TileLayout* layout;
    const tiles::MapLayout* map;
    int depth;
};

// Every tile layout with every map layout, the depths in turn.
std::vector<RoadCase> road_cases() {
    std::vector<RoadCase> cases;
    std::vector<int> depths;
    for (const ColourLayout& c : colours::colour_layouts()) depths.push_back(c.depth);
    size_t n = 0;
    for (const tiles::TileLayout& l : tiles::tile_layouts())
        for (const tiles::MapLayout& m : tiles::map_layouts()) {
            int depth = depths[n++ % depths.size()];
            cases.push_back({std::string(l.name) + "_map" + m.name + "_" + std::to_string(depth),
                             &l, &m, depth});
        }
    return cases;
}

class TilepackRoad : public TilepackRun, public testing::WithParamInterface<RoadCase> {};

// A picture with flipped copies of its tiles, recoloured copies in the second sub-palette where
// the map selects two, and tiles of the background alone: tileview draws it back exactly as the
// machine shows its colours, and every copy shares its stored tile.
TEST_P(TilepackRoad, TileviewDrawsThePictureBack) {
    const RoadCase& c = GetParam();
    int colours = 1 << c.layout->bits;
    size_t palettes = c.map->palettes;
    std::mt19937 random(unsigned(c.name.size()) * 31 + unsigned(c.depth));
    Drawing d;
    d.across = 6;
    d.down = 4;
    std::vector<Rgba> all = random_colours(random, (colours - 1) * int(palettes));
    for (size_t p = 0; p < palettes; ++p)
        d.palettes.push_back(
            {all.begin() + long(p) * (colours - 1), all.begin() + long(p + 1) * (colours - 1)});
    std::vector<Pattern> shapes;
    for (int i = 0; i < 5; ++i) shapes.push_back(random_pattern(random, colours));
    // The first half in the first sub-palette, the second half in the last.
    uint32_t count = d.across * d.down;
    for (uint32_t i = 0; i < count; ++i) {
        Pattern p = i % 7 == 6 ? Pattern(64, 0) : shapes[i % shapes.size()];
        if (c.map->flips) p = flip(p, i / 5 & 1, i / 10 & 1);
        d.tiles.push_back(p);
        d.palette.push_back(i < count / 2 ? 0 : palettes - 1);
    }
    write_file(t / "road.png", d.png());
    std::vector<std::string> options = {"--layout",  c.layout->name, "--map",
                                        c.map->name, "--depth",      std::to_string(c.depth)};
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-o", "out", "road.png"});
    Result r = tilepack(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");

    std::vector<std::string> view = options;
    view.insert(view.end(), {"-w", std::to_string(d.across), "out/tiles.bin", "out/palettes.bin"});
    if (c.map->size) view.push_back("out/road.map");
    view.push_back("back.png");
    r = tileview(view);
    ASSERT_EQ(r.status, 0) << r.err;
    Image back = decode_png(read_file(t / "back.png"));
    ASSERT_EQ(back.error, "");
    ASSERT_EQ(back.width, d.across * 8);
    ASSERT_EQ(back.height, d.down * 8);
    std::vector<Rgba> want = d.pixels();
    int wrong = 0;
    for (size_t i = 0; i < want.size(); ++i)
        if (!(back.pixels[i] == shown(want[i], c.depth)) && wrong++ < 5)
            ADD_FAILURE() << "pixel " << i % back.width << "," << i / back.width;
    EXPECT_EQ(wrong, 0);

    // Duplicates are stored once, flipped and recoloured ones too where the map flips and selects;
    // without a map the picture is stored whole.
    size_t stored = read_file(t / "out/tiles.bin").size() / c.layout->tile_size();
    EXPECT_EQ(stored, c.map->size ? shapes.size() + 1 : d.tiles.size());
    size_t palette_bytes =
        colours::colour_layout(c.depth)->size * size_t(colours) * size_t(palettes);
    EXPECT_EQ(read_file(t / "out/palettes.bin").size(), palette_bytes);
}

INSTANTIATE_TEST_SUITE_P(Tilepack, TilepackRoad, testing::ValuesIn(road_cases()), ByName());

// One tile and its three flips: one stored tile, the map's flip bits set; without flips four
// tiles, and without duplicates removed every tile of the picture.
TEST_F(TilepackRun, FlipsInTheMap) {
    std::mt19937 random(3);
    Drawing d;
    d.across = 5;
    d.down = 1;
    d.palettes = {random_colours(random, 15)};
    Pattern p = random_pattern(random, 16);
    d.tiles = {p, flip(p, true, false), flip(p, false, true), flip(p, true, true), p};
    d.palette.assign(5, 0);
    write_file(t / "f.png", d.png());
    ASSERT_EQ(tilepack({"-o", "out", "f.png"}).status, 0);
    EXPECT_EQ(read_file(t / "out/tiles.bin").size(), 32u);
    EXPECT_EQ(hex(read_file(t / "out/f.map")), "00 00 00 02 00 04 00 06 00 00");
    ASSERT_EQ(tilepack({"-o", "out", "--no-flip", "f.png"}).status, 0);
    EXPECT_EQ(read_file(t / "out/tiles.bin").size(), 4 * 32u);
    EXPECT_EQ(hex(read_file(t / "out/f.map")), "00 00 01 00 02 00 03 00 00 00");
    ASSERT_EQ(tilepack({"-o", "out", "--no-dedup", "--priority", "f.png"}).status, 0);
    EXPECT_EQ(read_file(t / "out/tiles.bin").size(), 5 * 32u);
    EXPECT_EQ(hex(read_file(t / "out/f.map")), "00 10 01 10 02 10 03 10 04 10");
    ASSERT_EQ(tilepack({"-o", "out", "--map", "8", "f.png"}).status, 0);
    EXPECT_EQ(hex(read_file(t / "out/f.map")), "00 01 02 03 00");
}

// The same drawing in two colour sets that cannot share a sub-palette: one stored tile, two
// sub-palettes, colour 0 the background in both, each sub-palette padded to 16 colours.
TEST_F(TilepackRun, RecolouredTilesShareOneStoredTile) {
    std::mt19937 random(4);
    Drawing d;
    d.across = 2;
    d.down = 1;
    std::vector<Rgba> colours = random_colours(random, 30);
    d.palettes = {{colours.begin(), colours.begin() + 15}, {colours.begin() + 15, colours.end()}};
    Pattern p = random_pattern(random, 16);
    d.tiles = {p, flip(p, true, false)};
    d.palette = {0, 1};
    write_file(t / "r.png", d.png());
    Result r = tilepack({"-o", "out", "-v", "r.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(t / "out/tiles.bin").size(), 32u);
    EXPECT_EQ(hex(read_file(t / "out/r.map")), "00 00 00 0A");
    std::string pal = read_file(t / "out/palettes.bin");
    ASSERT_EQ(pal.size(), 2 * 16 * 3u);
    EXPECT_EQ(hex(pal.substr(0, 3)), "00 00 00");
    EXPECT_EQ(hex(pal.substr(48, 3)), "00 00 00");
    EXPECT_NE(r.err.find("2 sub-palettes (optimal"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2 tiles: 2 without duplicates, 1 with flips too; 1 stored"),
              std::string::npos)
        << r.err;
}

// Two drawings with overlapping colours, each met first in a different sub-palette, and a tile
// of all 15 colours of each that makes the sub-palettes the two colour sets: every drawing is
// stored once, however the tiles come.
TEST_F(TilepackRun, RecolouredDrawingsShareTheirTiles) {
    std::mt19937 random(6);
    std::vector<Rgba> colours = random_colours(random, 30);
    Drawing d;
    d.across = 6;
    d.down = 1;
    d.palettes = {{colours.begin(), colours.begin() + 15}, {colours.begin() + 15, colours.end()}};
    Pattern a(64), b(64), whole(64);
    for (size_t i = 0; i < 64; ++i) {
        a[i] = uint8_t(i % 7);                 // colours 1-6
        b[i] = uint8_t(i % 3 ? 3 + i % 7 : 0); // colours 4-9
        whole[i] = uint8_t(1 + (i * 7) % 15);  // all 15
    }
    d.tiles = {a, b, b, a, whole, whole};
    d.palette = {0, 1, 0, 1, 0, 1};
    write_file(t / "d.png", d.png());
    Result r = tilepack({"-o", "out", "d.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(t / "out/tiles.bin").size(), 3 * 32u);
    EXPECT_EQ(hex(read_file(t / "out/d.map")), "00 00 01 08 01 00 00 08 02 00 02 08");
}

// Two pictures share one tile set, each with its own map.
TEST_F(TilepackRun, PicturesShareTheTileSet) {
    std::mt19937 random(5);
    Drawing a, b;
    a.across = b.across = 2;
    a.down = b.down = 1;
    a.palettes = b.palettes = {random_colours(random, 15)};
    Pattern p = random_pattern(random, 16), q = random_pattern(random, 16);
    a.tiles = {p, q};
    b.tiles = {q, flip(p, true, false)};
    a.palette = b.palette = {0, 0};
    write_file(t / "a.png", a.png());
    write_file(t / "b.png", b.png());
    ASSERT_EQ(tilepack({"-o", "out", "a.png", "b.png"}).status, 0);
    EXPECT_EQ(listing(t / "out"),
              (std::vector<std::string>{"a.map", "b.map", "palettes.bin", "tiles.bin"}));
    EXPECT_EQ(read_file(t / "out/tiles.bin").size(), 64u);
    EXPECT_EQ(hex(read_file(t / "out/a.map")), "00 00 01 00");
    EXPECT_EQ(hex(read_file(t / "out/b.map")), "01 00 00 02");
}

// Transparent pixels and pixels of the background colour are colour 0; an indexed picture reads
// as its colours.
TEST_F(TilepackRun, TransparentAndBackgroundAreColourZero) {
    std::vector<Rgba> plte = {{10, 20, 30, 255}, {200, 100, 50, 255}, {1, 2, 3, 255}};
    std::vector<uint8_t> pixels(64, 1);
    pixels[0] = 0; // transparent
    pixels[1] = 2; // the background given
    write_file(t / "i.png", indexed_png(8, 8, 8, plte, {0, 255, 255}, pixels));
    Result r = tilepack({"-o", "out", "--background", "1,2,3", "i.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string pal = read_file(t / "out/palettes.bin");
    EXPECT_EQ(hex(pal.substr(0, 6)), "01 02 03 C8 64 32");
    std::string tiles = read_file(t / "out/tiles.bin");
    EXPECT_EQ(hex(tiles.substr(0, 4)), "3F 00 00 00"); // the first row: two pixels of colour 0
}

// A picture not a multiple of 8 is refused, or padded with --pad.
TEST_F(TilepackRun, PadsWhenAsked) {
    std::vector<Rgba> pixels(10 * 3, {250, 250, 250, 255});
    write_file(t / "odd.png", truecolour_png(10, 3, pixels, false));
    Result r = tilepack({"-o", "out", "odd.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tilepack: odd.png: 10 x 3 pixels, not a multiple of 8 in both sizes (--pad "
                     "R,G,B fills the rest)\n");
    EXPECT_FALSE(exists(t / "out"));
    r = tilepack({"-o", "out", "--pad", "0,0,0", "odd.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(t / "out/odd.map").size(), 4u);
}

// The AY machine's 16-colour bitmap: a screen of 256 x 212 pixels (not a whole number of tile
// rows) is written as its own 212 rows of 128 bytes, its room exactly, and drawn back.
TEST_F(TilepackRun, BitmapKeepsThePicturesRows) {
    std::vector<Rgba> pixels(256 * 212);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = {uint8_t(i % 5 * 36), uint8_t(i / 256 % 3 * 73), 146, 255};
    write_file(t / "screen.png", truecolour_png(256, 212, pixels, false));
    Result r = tilepack({"-m", "ay-9bit", "-o", "out", "screen.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(listing(t / "out"), (std::vector<std::string>{"palettes.bin", "tiles.bin"}));
    EXPECT_EQ(read_file(t / "out/tiles.bin").size(), 212 * 128u);
    EXPECT_EQ(read_file(t / "out/palettes.bin").size(), 16 * 2u);
    r = tileview({"-m", "ay-9bit", "out/tiles.bin", "out/palettes.bin", "back.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image back = decode_png(read_file(t / "back.png"));
    ASSERT_EQ(back.height, 212u);
    std::vector<Rgba> want;
    for (const Rgba& p : pixels) want.push_back(shown(p, 9));
    EXPECT_TRUE(back.pixels == want);
    // One more row is more than the machine's room.
    pixels.resize(256 * 213, {0, 0, 0, 255});
    write_file(t / "screen.png", truecolour_png(256, 213, pixels, false));
    r = tilepack({"-m", "ay-9bit", "-o", "out2", "screen.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tilepack: out2: 852 tiles, more than the machine's room for 848 (--limit "
                     "makes this a warning)\n");
}

struct Refusal {
    std::string name;
    std::vector<std::string> args;
    std::string err; // what standard error begins with
};

// A picture of one tile of 17 colours.
std::string seventeen_colours() {
    std::vector<Rgba> px(64);
    for (size_t i = 0; i < 64; ++i) px[i] = {10, uint8_t(i % 17 * 10 + 10), 13, 255};
    return truecolour_png(8, 8, px, false);
}

// Three tiles of 7 colours each, no colour in two.
std::string three_tiles() {
    std::vector<Rgba> px(24 * 8);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = {uint8_t(i % 24 / 8 * 60 + 70), uint8_t(i % 7 * 20 + 20), 50, 255};
    return truecolour_png(24, 8, px, false);
}

class TilepackRefuses : public TilepackRun, public testing::WithParamInterface<Refusal> {};

// Each refusal names what forces it, and nothing is written.
TEST_P(TilepackRefuses, WithTheReason) {
    write_file(t / "p.png", seventeen_colours());
    write_file(t / "three.png", three_tiles());
    std::vector<std::string> args = GetParam().args;
    args.insert(args.end(), {"-o", "out"});
    Result r = tilepack(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(0, GetParam().err.size()), GetParam().err) << r.err;
    EXPECT_FALSE(exists(t / "out"));
}

INSTANTIATE_TEST_SUITE_P(
    Tilepack, TilepackRefuses,
    testing::Values(
        Refusal{"TooManyColours",
                {"p.png"},
                "tilepack: p.png: the tile at (0,0) has 17 colours besides the background, more "
                "than 15: 10 10 13, 10 20 13, "},
        Refusal{"TooManySubPalettes",
                {"--colours", "8", "three.png"},
                "tilepack: out: needs 3 sub-palettes, more than 2: the tiles at (0,0), (8,0) and "
                "(16,0) alone need 3 or more\n"},
        Refusal{"OverTheMachinesRoom",
                {"-m", "psg-12bit", "--room", "1", "three.png"},
                "tilepack: out: 2 tiles, more than the machine's room for 1 (--limit makes this "
                "a warning)\n"},
        Refusal{"NotAPicture", {"three.png", "p.txt"}, "tilepack: p.txt: "}),
    ByName());

// --limit: over the room is a warning, and the output is written.
TEST_F(TilepackRun, LimitWarns) {
    std::mt19937 random(9);
    Drawing d;
    d.across = 3;
    d.down = 1;
    d.palettes = {random_colours(random, 15)};
    for (int i = 0; i < 3; ++i) d.tiles.push_back(random_pattern(random, 16));
    d.palette.assign(3, 0);
    write_file(t / "w.png", d.png());
    Result r = tilepack({"-o", "out", "--room", "2", "--limit", "w.png"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "tilepack: out: warning: 3 tiles, more than the machine's room for 2\n");
    EXPECT_EQ(read_file(t / "out/tiles.bin").size(), 96u);
}

// The machine's room: 448 tiles for the PSG machines, counted after duplicates are removed.
TEST_F(TilepackRun, PsgMachinesHold448Tiles) {
    std::mt19937 random(10);
    Drawing d;
    d.across = 32;
    d.down = 14;
    d.palettes = {random_colours(random, 15)};
    for (uint32_t i = 0; i < d.across * d.down; ++i) d.tiles.push_back(random_pattern(random, 16));
    d.palette.assign(d.tiles.size(), 0);
    write_file(t / "full.png", d.png());
    ASSERT_EQ(tilepack({"-m", "psg-6bit", "-o", "out", "full.png"}).status, 0);
    EXPECT_EQ(read_file(t / "out/tiles.bin").size(), 448 * 32u);
    d.down = 15;
    for (int i = 0; i < 32; ++i) d.tiles.push_back(random_pattern(random, 16));
    d.palette.assign(d.tiles.size(), 0);
    write_file(t / "full.png", d.png());
    Result r = tilepack({"-m", "psg-6bit", "-o", "out2", "full.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tilepack: out2: 480 tiles, more than the machine's room for 448 (--limit "
                     "makes this a warning)\n");
}

struct Misuse {
    std::string name;
    std::vector<std::string> args;
    std::string reason;
};

class TilepackMisuse : public TilepackRun, public testing::WithParamInterface<Misuse> {};

TEST_P(TilepackMisuse, IsAUsageError) {
    std::vector<std::string> args = GetParam().args;
    args.push_back("x.png");
    Result r = tilepack(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "tilepack: " + GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Tilepack, TilepackMisuse,
    testing::Values(Misuse{"NoOutput", {}, "missing option: -o DIR"},
                    Misuse{"OutputToStandardOutput",
                           {"-o", "-"},
                           "-o -: the outputs are files in a folder, not standard output"},
                    Misuse{"LayoutAndBits",
                           {"-o", "o", "--layout", "packed4", "--bits", "2"},
                           "--layout packed4 has 4 bits a pixel, not 2"},
                    Misuse{"PalettesOverTheMap",
                           {"-o", "o", "--map", "8", "--palettes", "2"},
                           "--map 8 selects 1 sub-palette, not 2"},
                    Misuse{"ColoursOverTheBits",
                           {"-o", "o", "--bits", "2", "--colours", "5"},
                           "--colours 5: 2 bits a pixel hold 2 to 4 colours"},
                    Misuse{"UnknownMachine",
                           {"-o", "o", "-m", "psg-9bit"},
                           "-m psg-9bit: expected ay-9bit, psg-12bit or psg-6bit"},
                    Misuse{"UnknownLayout",
                           {"-o", "o", "--layout", "chunky"},
                           "--layout chunky: expected planar4, planar2 or packed4"}),
    ByName());

// tileview refuses what does not fit together, naming it.
TEST_F(TilepackRun, TileviewRefusesWhatDoesNotFit) {
    write_file(t / "tiles.bin", std::string(64, '\0'));
    write_file(t / "pal.bin", std::string(48, '\x10'));
    write_file(t / "map.bin", bytes("02 00"));
    Result r = tileview({"-w", "1", "tiles.bin", "pal.bin", "map.bin", "o.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tileview: tiles.bin: map entry 0 shows tile 2, beyond the 2 tiles\n");
    write_file(t / "map.bin", bytes("00 08"));
    r = tileview({"-w", "1", "tiles.bin", "pal.bin", "map.bin", "o.png"});
    EXPECT_EQ(r.err,
              "tileview: tiles.bin: map entry 0 selects sub-palette 1, beyond the 1 given\n");
    write_file(t / "map.bin", bytes("00 00 00"));
    r = tileview({"-w", "1", "tiles.bin", "pal.bin", "map.bin", "o.png"});
    EXPECT_EQ(r.err, "tileview: tiles.bin: a map of 3 bytes, no whole number of rows of 1 entries "
                     "of 2 bytes\n");
    EXPECT_FALSE(exists(t / "o.png"));
    r = tileview({"tiles.bin", "pal.bin", "o.png"});
    EXPECT_EQ(r.status, 2);
}

// Both programs' help fits 80 columns and ends where the manual is; --version as every program's.
TEST_F(TilepackRun, HelpAndVersion) {
    for (const char* name : {"tilepack", "tileview"}) {
        Result r = run(name, {"--help"}, t.path());
        EXPECT_EQ(r.status, 0) << name;
        std::string text = r.out;
        for (size_t at = 0, end; at < text.size(); at = end + 1) {
            end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            EXPECT_LE(end - at, 80u) << name << ": " << text.substr(at, end - at);
        }
        EXPECT_NE(text.find(manual_line(name)), std::string::npos) << name;
        r = run(name, {"--version"}, t.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, version_text(name));
    }
}

} // namespace
