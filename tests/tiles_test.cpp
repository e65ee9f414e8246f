// The tiles library in-process: the byte layouts of tiles and maps, and the sub-palette search
// against an exhaustive search on small cases.
#include "tests/machines.h"
#include "tiles/layouts.h"
#include "tiles/subpalettes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace {

struct RowCase {
    const char* layout;
    std::vector<uint8_t> pixels; // 8 indices
    std::vector<uint8_t> bytes;
};

// One row of each layout by hand: planar rows put pixel x's plane p in bit 7 - x of byte p;
// packed rows put the left pixel in the high nibble.
TEST(TileLayouts, RowsAsTheHardwareStoresThem) {
    const RowCase cases[] = {
        {"planar4", {1, 2, 4, 8, 15, 0, 0, 3}, {0x89, 0x49, 0x28, 0x18}},
        {"planar2", {1, 2, 3, 0, 0, 0, 1, 2}, {0xA2, 0x61}},
        {"packed4", {1, 2, 3, 4, 15, 0, 10, 11}, {0x12, 0x34, 0xF0, 0xAB}},
    };
    std::set<std::string> seen;
    for (const RowCase& c : cases) {
        const tiles::TileLayout* l = tiles::tile_layout(c.layout);
        ASSERT_NE(l, nullptr) << c.layout;
        seen.insert(c.layout);
        ASSERT_EQ(l->row_size, c.bytes.size());
        std::vector<uint8_t> bytes(l->row_size), back(8);
        l->encode(c.pixels.data(), bytes.data());
        EXPECT_EQ(bytes, c.bytes) << c.layout;
        l->decode(c.bytes.data(), back.data());
        EXPECT_EQ(back, c.pixels) << c.layout;
    }
    for (const tiles::TileLayout& l : tiles::tile_layouts())
        EXPECT_TRUE(seen.count(l.name)) << "no row by hand for " << l.name;
}

// Every row gives back every index it can hold.
TEST(TileLayouts, EveryRowReadsBackWhatItWrote) {
    std::mt19937 random(7);
    for (const tiles::TileLayout& l : tiles::tile_layouts())
        for (int trial = 0; trial < 200; ++trial) {
            std::vector<uint8_t> pixels(8), back(8), bytes(l.row_size);
            for (uint8_t& p : pixels) p = uint8_t(random() % (1u << l.bits));
            l.encode(pixels.data(), bytes.data());
            l.decode(bytes.data(), back.data());
            ASSERT_EQ(back, pixels) << l.name;
        }
}

TEST(MapLayouts, EntriesAsTheHardwareStoresThem) {
    struct Case {
        const char* map;
        tiles::Entry entry;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"16", {0x1FF, false, false, 0, false}, {0xFF, 0x01}},
        {"16", {5, true, false, 0, false}, {0x05, 0x02}},
        {"16", {5, false, true, 0, false}, {0x05, 0x04}},
        {"16", {5, false, false, 1, false}, {0x05, 0x08}},
        {"16", {5, false, false, 0, true}, {0x05, 0x10}},
        {"16", {0x100, true, true, 1, true}, {0x00, 0x1F}},
        {"8", {200, false, false, 0, false}, {200}},
    };
    for (const Case& c : cases) {
        const tiles::MapLayout* m = tiles::map_layout(c.map);
        ASSERT_NE(m, nullptr);
        std::vector<uint8_t> bytes(m->size);
        m->encode(c.entry, bytes.data());
        EXPECT_EQ(bytes, c.bytes) << c.map << " tile " << c.entry.tile;
        tiles::Entry back;
        m->decode(c.bytes.data(), &back);
        EXPECT_TRUE(back == c.entry) << c.map << " tile " << c.entry.tile;
    }
}

// Each machine's row names rows that exist, and the options override it one by one.
TEST(Machines, RowsSettleIntoFormats) {
    for (const tiles::Machine& m : tiles::machines()) {
        tiles::Given g;
        g.machine = &m;
        tiles::Format f;
        ASSERT_EQ(tiles::settle(g, &f), "") << m.name;
        EXPECT_EQ(f.layout, tiles::tile_layout(m.layout)) << m.name;
        EXPECT_EQ(f.map, tiles::map_layout(m.map)) << m.name;
        EXPECT_EQ(f.depth, m.depth);
        EXPECT_EQ(f.room, m.room);
        g.depth = 15;
        g.bits = 2;
        ASSERT_EQ(tiles::settle(g, &f), "") << m.name;
        EXPECT_EQ(f.depth, 15);
        EXPECT_EQ(f.layout->bits, 2);
        EXPECT_EQ(f.colours, 4) << m.name;
    }
    const tiles::Machine* psg = tiles::machine("psg-6bit");
    ASSERT_NE(psg, nullptr);
    EXPECT_EQ(psg->room, 448u);
    tiles::Given g;
    g.map = tiles::map_layout("8");
    g.palettes = 2;
    tiles::Format f;
    EXPECT_EQ(tiles::settle(g, &f), "--map 8 selects 1 sub-palette, not 2");
    g = {};
    g.layout = tiles::tile_layout("packed4");
    g.bits = 2;
    EXPECT_EQ(tiles::settle(g, &f), "--layout packed4 has 4 bits a pixel, not 2");
}

// -m takes each row of the table of machines that has a picture format, with that row's keys, and
// no other: a key changed in a row changes what tilepack and tileview do, and the layout and map
// it names are rows of the tiles library.
TEST(Machines, ComeFromTheTableOfMachines) {
    std::vector<std::string> with_pictures;
    for (const std::string& name : machines::names()) {
        SCOPED_TRACE(name);
        const machines::Row row = machines::row(name);
        const tiles::Machine* m = tiles::machine(name);
        if (row.text("PICTURE_MODE").empty()) {
            EXPECT_EQ(m, nullptr);
            continue;
        }
        with_pictures.push_back(name);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->mode, row.text("PICTURE_MODE"));
        EXPECT_EQ(m->layout, row.text("PICTURE_LAYOUT"));
        EXPECT_NE(tiles::tile_layout(m->layout), nullptr);
        EXPECT_EQ(m->map, row.text("PICTURE_MAP"));
        EXPECT_NE(tiles::map_layout(m->map), nullptr);
        EXPECT_EQ(m->colours, row.number("PICTURE_COLOURS"));
        EXPECT_EQ(m->palettes, row.number("PICTURE_PALETTES"));
        EXPECT_EQ(m->depth, row.number("COLOUR_DEPTH"));
        EXPECT_EQ(long(m->room), row.number("PICTURE_ROOM"));
        // Tiles through a map sit below the name table, two bytes an entry of 32 x 24 at most.
        if (std::string(m->mode) == "tiles") {
            EXPECT_LE(long(m->room) * 32, row.number("PICTURE_TABLE"));
            EXPECT_LE(row.number("PICTURE_TABLE") + 32 * 24 * 2, 0x4000);
        }
    }
    EXPECT_EQ(with_pictures, (std::vector<std::string>{"ay-9bit", "psg-12bit", "psg-6bit"}));
    EXPECT_EQ(tiles::machines().size(), with_pictures.size());
}

// Every set inside its palette, and no palette over capacity.
void expect_valid(const std::vector<tiles::ColourSet>& sets, size_t capacity,
                  const std::vector<int>& palette_of, int palettes) {
    ASSERT_EQ(palette_of.size(), sets.size());
    std::vector<std::set<int>> unions(size_t(std::max(palettes, 1)));
    for (size_t i = 0; i < sets.size(); ++i) {
        ASSERT_GE(palette_of[i], 0);
        ASSERT_LT(palette_of[i], std::max(palettes, 1));
        unions[size_t(palette_of[i])].insert(sets[i].begin(), sets[i].end());
    }
    for (const auto& u : unions) EXPECT_LE(u.size(), capacity);
}

// The fewest palettes by trying every partition of the sets (small cases only).
int exhaustive(const std::vector<tiles::ColourSet>& sets, size_t capacity) {
    int best = int(sets.size()) + 1;
    std::vector<std::set<int>> palettes;
    std::function<void(size_t)> go = [&](size_t i) {
        if (int(palettes.size()) >= best) return;
        if (i == sets.size()) {
            best = std::max<int>(1, int(palettes.size()));
            return;
        }
        for (size_t p = 0; p <= palettes.size(); ++p) {
            if (p == palettes.size()) palettes.emplace_back();
            std::set<int> saved = palettes[p];
            palettes[p].insert(sets[i].begin(), sets[i].end());
            if (palettes[p].size() <= capacity) go(i + 1);
            palettes[p] = saved;
            if (palettes[p].empty()) palettes.pop_back();
        }
    };
    go(0);
    return best;
}

std::vector<tiles::ColourSet> random_sets(std::mt19937& random, size_t count, int colours,
                                          size_t capacity) {
    std::vector<tiles::ColourSet> sets;
    for (size_t i = 0; i < count; ++i) {
        size_t size = 1 + random() % std::min(capacity, size_t(colours));
        std::set<int> s;
        while (s.size() < size) s.insert(int(random() % unsigned(colours)));
        sets.push_back({s.begin(), s.end()});
    }
    return sets;
}

// On small random cases the search proves the true minimum, which no heuristic beats.
TEST(SubPalettes, ProvenMinimumOnSmallCases) {
    std::mt19937 random(26);
    for (int trial = 0; trial < 300; ++trial) {
        size_t capacity = 3 + random() % 2;
        size_t count = 4 + random() % 6;
        int colours = 6 + int(random() % 7);
        auto sets = random_sets(random, count, colours, capacity);
        tiles::Cover c = tiles::cover(sets, capacity);
        int truth = exhaustive(sets, capacity);
        ASSERT_TRUE(c.optimal) << "trial " << trial;
        ASSERT_EQ(c.palettes, truth) << "trial " << trial;
        EXPECT_EQ(c.lower_bound, truth);
        expect_valid(sets, capacity, c.palette_of, c.palettes);
        EXPECT_LE(c.palettes, c.first_fit);
        EXPECT_LE(c.palettes, c.overload);
    }
}

// Larger cases: a valid cover, never worse than either heuristic, its bound below it, and
// "optimal" only with the bound reached.
TEST(SubPalettes, NeverWorseThanTheHeuristics) {
    std::mt19937 random(25);
    for (int trial = 0; trial < 60; ++trial) {
        size_t capacity = 4 + random() % 12;
        size_t count = 20 + random() % 60;
        int colours = 10 + int(random() % 40);
        auto sets = random_sets(random, count, colours, capacity);
        tiles::Cover c = tiles::cover(sets, capacity, 2'000'000);
        expect_valid(sets, capacity, c.palette_of, c.palettes);
        EXPECT_LE(c.palettes, c.first_fit) << "trial " << trial;
        EXPECT_LE(c.palettes, c.overload) << "trial " << trial;
        EXPECT_LE(c.lower_bound, c.palettes);
        EXPECT_EQ(c.optimal, c.lower_bound == c.palettes);
        auto ff = tiles::first_fit(sets, capacity, false);
        expect_valid(sets, capacity, ff, tiles::palette_count(ff));
        auto oar = tiles::overload_and_remove(sets, capacity);
        expect_valid(sets, capacity, oar, tiles::palette_count(oar));
    }
}

// Pairs that first-fit decreasing puts together (each pair fits) leave the crossing sets no
// palette: three where two suffice.
TEST(SubPalettes, BeatsFirstFitsTrap) {
    enum { a, b, c, d, e, f, g, h };
    std::vector<tiles::ColourSet> sets = {{a, b}, {e, f}, {c, d}, {g, h}, {a, c}, {e, g}};
    tiles::Cover cover = tiles::cover(sets, 4);
    EXPECT_EQ(cover.first_fit, 3);
    EXPECT_EQ(cover.palettes, 2);
    EXPECT_TRUE(cover.optimal);
    expect_valid(sets, 4, cover.palette_of, cover.palettes);
}

// The cases with nothing to search: no sets, sets of the background alone, one set.
TEST(SubPalettes, EdgeCases) {
    EXPECT_EQ(tiles::cover({}, 15).palettes, 0);
    tiles::Cover empty = tiles::cover({{}, {}}, 15);
    EXPECT_EQ(empty.palettes, 1);
    EXPECT_EQ(empty.palette_of, (std::vector<int>{0, 0}));
    EXPECT_TRUE(empty.optimal);
    tiles::Cover one = tiles::cover({{1, 2, 3}}, 3);
    EXPECT_EQ(one.palettes, 1);
    EXPECT_TRUE(one.optimal);
}

// The tiles named when too few palettes are allowed: sets that alone need more.
TEST(SubPalettes, ForcingSets) {
    // Three sets no two of which share a palette of 4: they are the reason.
    std::vector<tiles::ColourSet> sets = {{1}, {1, 2, 3}, {4, 5, 6}, {1}, {7, 8, 9}};
    EXPECT_EQ(tiles::forcing_sets(sets, 4, 2), (std::vector<size_t>{1, 2, 4}));
    // No clique: 9 colours in palettes of 4 need 3; the sets that bring them in are named.
    std::vector<tiles::ColourSet> single = {{1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}, {9}, {1}};
    std::vector<size_t> forcing = tiles::forcing_sets(single, 4, 2);
    EXPECT_EQ(forcing.size(), 9u);
    EXPECT_TRUE(tiles::forcing_sets(single, 4, 3).empty());
}

} // namespace
