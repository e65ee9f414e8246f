// Pictures into tiles, maps and sub-palettes.
//
// Colour 0 of every sub-palette is the background: transparent pixels and pixels of the
// background colour take it, so it never counts against a tile's colours. Tiles are stored once
// by their indices, whatever their sub-palettes: the map entry chooses the sub-palette, so the
// same drawing recoloured (the same shape in other colours) shares one stored tile when its
// colours have the same indices in both sub-palettes; the indices are handed out by the colours'
// roles in the drawings so that this happens (see pack()).
#include "tilepack/pack.h"

#include "colours/layouts.h"
#include "palettes/depth.h"

#include <algorithm>
#include <map>
#include <set>

namespace tilepack {

using namespace palettes;
using colours::ColourLayout;

namespace {

using tiles::tile_pixels;
using tiles::tile_side;

constexpr int background_key = -1;

int key_of(Colour c) {
    return c.r << 16 | c.g << 8 | c.b;
}
Colour colour_of(int key) {
    return {uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)};
}

std::string colour_text(int key) {
    Colour c = colour_of(key);
    return std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b);
}

struct Tile {
    size_t input;
    uint32_t x, y;            // its top left pixel
    int keys[tile_pixels];    // snapped colours, background_key for colour 0
    tiles::ColourSet colours; // its distinct colours besides the background, as they appear
};

using Pattern = std::string; // 64 indices

Pattern flipped(const Pattern& p, bool h, bool v) {
    Pattern out(p.size(), 0);
    for (int y = 0; y < tile_side; ++y)
        for (int x = 0; x < tile_side; ++x)
            out[size_t(y * tile_side + x)] =
                p[size_t((v ? tile_side - 1 - y : y) * tile_side + (h ? tile_side - 1 - x : x))];
    return out;
}

std::vector<int> flipped_keys(const int* keys, bool h, bool v) {
    std::vector<int> out(tile_pixels);
    for (int y = 0; y < tile_side; ++y)
        for (int x = 0; x < tile_side; ++x)
            out[size_t(y * tile_side + x)] =
                keys[(v ? tile_side - 1 - y : y) * tile_side + (h ? tile_side - 1 - x : x)];
    return out;
}

// The drawing of a tile whatever its colours: each colour numbered as it first appears, the
// background 0.
Pattern shape_of(const std::vector<int>& keys) {
    Pattern out(tile_pixels, 0);
    std::map<int, char> number;
    for (size_t j = 0; j < keys.size(); ++j)
        if (keys[j] != background_key)
            out[j] = number.emplace(keys[j], char(number.size() + 1)).first->second;
    return out;
}

std::string position(const Tile& t) {
    return "(" + std::to_string(t.x) + "," + std::to_string(t.y) + ")";
}

// "the tiles at 0,0, 8,0 and 16,0" (with the picture's name when there are several).
std::string tiles_text(const std::vector<const Tile*>& list, const std::vector<Input>& inputs) {
    constexpr size_t shown = 12;
    std::vector<std::string> names;
    for (size_t i = 0; i < list.size() && i < shown; ++i)
        names.push_back((inputs.size() > 1 ? inputs[list[i]->input].name + " " : "") +
                        position(*list[i]));
    if (list.size() > shown) names.push_back(std::to_string(list.size() - shown) + " more");
    return (list.size() == 1 ? "the tile at " : "the tiles at ") + tiles::choice_text(names, "and");
}

std::string palettes_text(int n) {
    return std::to_string(n) + (n == 1 ? " sub-palette" : " sub-palettes");
}

// The pictures' pixels as snapped colour keys, padded to whole tiles (with the pad colour, else
// the background); "" or the reason.
std::string read_pixels(const Input& in, const Settings& s, Colour background,
                        std::vector<int>* keys, uint32_t* width, uint32_t* height,
                        size_t* transparent) {
    const tiles::Picture& p = in.picture;
    if (!p.width || !p.height) return "an empty picture";
    // A bitmap keeps the picture's own rows: its height may be any.
    bool bitmap = !s.map->size;
    bool whole = p.width % tile_side == 0 && (bitmap || p.height % tile_side == 0);
    if (!whole && !s.pad)
        return std::to_string(p.width) + " x " + std::to_string(p.height) + " pixels, not a " +
               (bitmap ? "multiple of 8 wide" : "multiple of 8 in both sizes") +
               " (--pad R,G,B fills the rest)";
    *width = (p.width + tile_side - 1) / tile_side * tile_side;
    *height = (p.height + tile_side - 1) / tile_side * tile_side;
    bool snapping = snaps(s.depth);
    int bits = component_bits(s.depth);
    auto shown = [&](Colour c) { return snapping ? snap(c, bits, Snap::nearest) : c; };
    int back = key_of(background);
    int pad = key_of(shown(s.pad_colour));
    keys->assign(size_t(*width) * *height, pad == back ? background_key : pad);
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x) {
            const tiles::Pixel& px = p.at(x, y);
            int key = background_key;
            if (px.a < 128)
                ++*transparent;
            else
                key = key_of(shown({px.r, px.g, px.b}));
            (*keys)[size_t(y) * *width + x] = key == back ? background_key : key;
        }
    return "";
}

} // namespace

std::string check(const Settings& s) {
    if (!s.layout || !s.map) return "no tile or map layout";
    int most = 1 << s.layout->bits;
    if (s.colours < 2 || s.colours > most)
        return "--colours " + std::to_string(s.colours) + ": " + std::to_string(s.layout->bits) +
               " bits a pixel hold 2 to " + std::to_string(most) + " colours";
    if (s.palettes < 1 || unsigned(s.palettes) > s.map->palettes)
        return std::string("--map ") + s.map->name + " selects " +
               palettes_text(int(s.map->palettes)) + ", not " + std::to_string(s.palettes);
    if (!colours::colour_layout(s.depth))
        return "--depth " + std::to_string(s.depth) + ": no such depth";
    return "";
}

std::string pack(const std::vector<Input>& inputs, const Settings& s, Packed* out) {
    *out = Packed();
    if (std::string why = check(s); !why.empty()) return why;
    Report& r = out->report;
    Colour background =
        snaps(s.depth) ? snap(s.background, component_bits(s.depth), Snap::nearest) : s.background;

    // Every tile of every picture, with its colours.
    std::vector<Tile> all;
    std::vector<std::pair<uint32_t, uint32_t>> sizes; // padded to whole tiles
    std::vector<uint32_t> rows;                       // the rows of a bitmap
    std::set<int> distinct;
    size_t capacity = size_t(s.colours - 1);
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::vector<int> keys;
        uint32_t w = 0, h = 0;
        std::string why = read_pixels(inputs[i], s, background, &keys, &w, &h, &r.transparent);
        if (!why.empty()) {
            out->where = inputs[i].name;
            return why;
        }
        sizes.push_back({w, h});
        rows.push_back(s.pad ? h : inputs[i].picture.height);
        for (uint32_t ty = 0; ty < h; ty += tile_side)
            for (uint32_t tx = 0; tx < w; tx += tile_side) {
                Tile t{i, tx, ty, {}, {}};
                for (int y = 0; y < tile_side; ++y)
                    for (int x = 0; x < tile_side; ++x) {
                        int key = keys[size_t(ty + y) * w + tx + x];
                        t.keys[y * tile_side + x] = key;
                        if (key != background_key &&
                            std::find(t.colours.begin(), t.colours.end(), key) == t.colours.end())
                            t.colours.push_back(key);
                    }
                if (t.colours.size() > capacity) {
                    std::vector<std::string> list;
                    for (int key : t.colours) list.push_back(colour_text(key));
                    out->where = inputs[i].name;
                    return "the tile at " + position(t) + " has " +
                           std::to_string(t.colours.size()) +
                           " colours besides the background, more than " +
                           std::to_string(capacity) + ": " + tiles::choice_text(list, "and");
                }
                distinct.insert(t.colours.begin(), t.colours.end());
                all.push_back(std::move(t));
            }
    }
    r.tiles = all.size();
    r.colours = distinct.size();

    // The sub-palettes.
    std::vector<tiles::ColourSet> sets;
    for (const Tile& t : all) sets.push_back(t.colours);
    r.cover = tiles::cover(sets, capacity, s.budget);
    const tiles::Cover& c = r.cover;
    if (c.palettes > s.palettes) {
        if (c.lower_bound > s.palettes) {
            std::string why = "needs " + std::string(c.optimal ? "" : "at least ") +
                              palettes_text(c.lower_bound) + ", more than " +
                              std::to_string(s.palettes);
            std::vector<size_t> forcing = tiles::forcing_sets(sets, capacity, s.palettes, s.budget);
            std::vector<const Tile*> list;
            for (size_t i : forcing) list.push_back(&all[i]);
            if (!list.empty())
                why += ": " + tiles_text(list, inputs) + " alone need " +
                       std::to_string(s.palettes + 1) + " or more";
            else
                why += ": " + std::to_string(distinct.size()) + " colours, " +
                       std::to_string(capacity) + " a sub-palette";
            return why;
        }
        return "found no way to use " + palettes_text(s.palettes) + " (the best found uses " +
               std::to_string(c.palettes) + "; the search gave up before it could tell)";
    }

    // Indices by colour roles. Tiles of one drawing (the same shape, also flipped where the map
    // flips) give their colours roles: the colours at the same pixels of such tiles share a role,
    // unless the role would then hold two colours of one sub-palette. A role takes one index in
    // every sub-palette it has a colour in, so that the drawing's tiles get the same indices and
    // share one stored tile; a role that finds no index free in all of them takes the lowest
    // free index in each alone. Roles take their indices in the order their colours first
    // appear, pictures in order, tiles and pixels row by row.
    bool matching = s.dedup && s.map->size;
    int flips = s.flips && s.map->flips ? 4 : 1;
    std::map<std::pair<size_t, int>, size_t> node; // (sub-palette, colour): its number
    std::vector<std::pair<size_t, int>> nodes;
    auto node_of = [&](size_t p, int key) {
        auto it = node.emplace(std::make_pair(p, key), nodes.size());
        if (it.second) nodes.push_back({p, key});
        return it.first->second;
    };
    for (size_t i = 0; i < all.size(); ++i)
        for (int key : all[i].keys)
            if (key != background_key) node_of(size_t(c.palette_of[i]), key);
    std::vector<size_t> parent(nodes.size());
    std::vector<std::map<size_t, int>> members(nodes.size()); // a role's colour in each palette
    for (size_t n = 0; n < nodes.size(); ++n) {
        parent[n] = n;
        members[n][nodes[n].first] = nodes[n].second;
    }
    auto root = [&](size_t n) {
        while (parent[n] != n) n = parent[n] = parent[parent[n]];
        return n;
    };
    if (matching) {
        std::map<Pattern, size_t> first_of_shape; // a shape's first tile
        std::map<size_t, std::vector<int>>
            oriented; // that tile's colours in the shape's orientation
        for (size_t i = 0; i < all.size(); ++i) {
            Pattern shape;
            std::vector<int> keys;
            for (int f = 0; f < flips; ++f) {
                std::vector<int> k = flipped_keys(all[i].keys, f & 1, f & 2);
                Pattern candidate = shape_of(k);
                if (f == 0 || candidate < shape) {
                    shape = candidate;
                    keys = k;
                }
            }
            auto it = first_of_shape.emplace(shape, i);
            if (it.second) {
                oriented[i] = keys;
                continue;
            }
            const std::vector<int>& first = oriented[it.first->second];
            size_t p = size_t(c.palette_of[it.first->second]), q = size_t(c.palette_of[i]);
            for (int j = 0; j < tile_pixels; ++j) {
                if (keys[size_t(j)] == background_key) continue;
                size_t a = root(node_of(p, first[size_t(j)])),
                       b = root(node_of(q, keys[size_t(j)]));
                if (a == b) continue;
                bool clash = false;
                for (auto [palette, key] : members[b]) {
                    auto m = members[a].find(palette);
                    clash = clash || (m != members[a].end() && m->second != key);
                }
                if (clash) continue;
                parent[b] = a;
                members[a].insert(members[b].begin(), members[b].end());
                members[b].clear();
            }
        }
    }
    const int unused = -2;
    std::vector<std::vector<int>> colour_at(size_t(c.palettes),
                                            std::vector<int>(size_t(s.colours), unused));
    std::vector<std::map<int, uint8_t>> index(size_t(c.palettes));
    for (auto& slots : colour_at) slots[0] = background_key;
    std::vector<bool> done(nodes.size(), false);
    for (size_t n = 0; n < nodes.size(); ++n) {
        size_t r = root(n);
        if (done[r]) continue;
        done[r] = true;
        int common = 1;
        for (; common < s.colours; ++common) {
            bool free = true;
            for (auto [palette, key] : members[r])
                free = free && colour_at[palette][size_t(common)] == unused;
            if (free) break;
        }
        for (auto [palette, key] : members[r]) {
            size_t at = size_t(common);
            if (common >= s.colours)
                for (at = 1; colour_at[palette][at] != unused;) ++at; // the cover leaves room
            colour_at[palette][at] = key;
            index[palette][key] = uint8_t(at);
        }
    }
    std::vector<Pattern> patterns, stored;
    std::vector<std::pair<size_t, int>> shows(all.size()); // stored tile and flips (bit 0 h, 1 v)
    std::map<Pattern, size_t> stored_at;
    for (size_t i = 0; i < all.size(); ++i) {
        size_t p = size_t(c.palette_of[i]);
        Pattern pattern(tile_pixels, 0);
        for (int j = 0; j < tile_pixels; ++j)
            if (all[i].keys[j] != background_key)
                pattern[size_t(j)] = char(index[p][all[i].keys[j]]);
        patterns.push_back(pattern);
        if (!matching) continue;
        bool found = false;
        for (int f = 0; f < flips && !found; ++f) {
            auto it = stored_at.find(flipped(pattern, f & 1, f & 2));
            if (it == stored_at.end()) continue;
            shows[i] = {it->second, f};
            found = true;
        }
        if (found) continue;
        shows[i] = {stored.size(), 0};
        stored_at.emplace(pattern, stored.size());
        stored.push_back(pattern);
    }
    const ColourLayout* layout = colours::colour_layout(s.depth);
    for (const std::vector<int>& slots : colour_at)
        for (int key : slots) {
            Colour colour = key < 0 ? background : colour_of(key);
            unsigned char bytes[4] = {};
            layout->encode(colour.r, colour.g, colour.b, bytes);
            out->palettes.append(reinterpret_cast<char*>(bytes), layout->size);
        }

    {
        std::set<Pattern> plain, canonical;
        for (const Pattern& p : patterns) {
            plain.insert(p);
            Pattern least = p;
            if (s.map->flips)
                for (int f = 1; f < 4; ++f) least = std::min(least, flipped(p, f & 1, f & 2));
            canonical.insert(least);
        }
        r.distinct = plain.size();
        r.flipped = canonical.size();
    }

    const tiles::TileLayout& tl = *s.layout;
    auto put_row = [&](const char* indices) {
        uint8_t pixels[tile_side], bytes[tile_side];
        for (int x = 0; x < tile_side; ++x) pixels[x] = uint8_t(indices[x]);
        tl.encode(pixels, bytes);
        out->tiles.append(reinterpret_cast<char*>(bytes), tl.row_size);
    };

    if (!s.map->size) {
        // No map: each picture whole, pixel row after pixel row.
        size_t first = 0;
        for (size_t i = 0; i < inputs.size(); ++i) {
            auto [w, h] = sizes[i];
            size_t across = w / tile_side;
            for (uint32_t y = 0; y < rows[i]; ++y)
                for (size_t t = 0; t < across; ++t)
                    put_row(&patterns[first + y / tile_side * across + t]
                                     [size_t(y % tile_side) * tile_side]);
            first += across * (h / tile_side);
        }
        r.stored = (out->tiles.size() + tl.tile_size() - 1) / tl.tile_size(); // tiles' worth
    } else {
        std::vector<tiles::Entry> entries;
        for (size_t i = 0; i < all.size(); ++i) {
            tiles::Entry e;
            e.palette = unsigned(c.palette_of[i]);
            e.priority = s.priority;
            e.tile = unsigned(matching ? shows[i].first : i);
            e.hflip = matching && shows[i].second & 1;
            e.vflip = matching && shows[i].second & 2;
            entries.push_back(e);
        }
        for (const Pattern& p : matching ? stored : patterns)
            for (int y = 0; y < tile_side; ++y) put_row(&p[size_t(y * tile_side)]);
        r.stored = matching ? stored.size() : patterns.size();
        if (r.stored > s.map->indices)
            return std::to_string(r.stored) + " tiles, more than the " +
                   std::to_string(s.map->indices) + " a map entry of " +
                   std::to_string(s.map->size * 8) + " bits can index";
        size_t first = 0;
        for (size_t i = 0; i < inputs.size(); ++i) {
            size_t count = size_t(sizes[i].first / tile_side) * (sizes[i].second / tile_side);
            std::string map(count * s.map->size, '\0');
            for (size_t j = 0; j < count; ++j)
                s.map->encode(entries[first + j],
                              reinterpret_cast<uint8_t*>(&map[j * s.map->size]));
            out->maps.push_back(std::move(map));
            first += count;
        }
    }
    size_t room = s.room ? s.room : s.map->indices;
    if (room && r.stored > room) {
        std::string why = std::to_string(r.stored) + " tiles, more than the machine's room for " +
                          std::to_string(room);
        if (!s.limit) return why + " (--limit makes this a warning)";
        out->warnings.push_back(why);
    }
    return "";
}

} // namespace tilepack
