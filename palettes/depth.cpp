#include "palettes/depth.h"

#include <cstdlib>
#include <map>
#include <tuple>

namespace palettes {

using namespace colours;

std::string depth_names(bool palpack_only) {
    std::vector<int> depths;
    for (const ColourLayout& l : colour_layouts())
        if (l.palpack || !palpack_only) depths.push_back(l.depth);
    std::string text;
    for (size_t i = 0; i < depths.size(); ++i) {
        if (i > 0) text += i + 1 == depths.size() ? " or " : ", ";
        text += std::to_string(depths[i]);
    }
    return text;
}

std::string depth_values() {
    std::string text;
    for (const ColourLayout& l : colour_layouts())
        text += (text.empty() ? "" : "|") + std::to_string(l.depth);
    return text;
}

std::string read_depth(const char* text, int* depth) {
    for (const ColourLayout& l : colour_layouts())
        if (std::to_string(l.depth) == text) {
            *depth = l.depth;
            return "";
        }
    return "expected " + depth_names();
}

uint8_t expand(unsigned level, int bits) {
    unsigned value = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits)
        value |= shift >= 0 ? level << shift : level >> -shift;
    return uint8_t(value);
}

unsigned level(uint8_t value, int bits, Snap snap) {
    unsigned low = value >> (8 - bits);
    if (snap == Snap::trunc) return low;
    // The expansion repeats the level's bits downwards, so the truncated level may show a colour
    // above the value: the nearest is one of its neighbours or itself. A tie keeps the lower.
    auto distance = [&](unsigned l) { return abs(expand(l, bits) - value); };
    unsigned best = low ? low - 1 : 0;
    for (unsigned l = best + 1; l <= low + 1 && l < 1u << bits; ++l)
        if (distance(l) < distance(best)) best = l;
    return best;
}

Colour snap(Colour c, int bits, Snap mode) {
    return {expand(level(c.r, bits, mode), bits), expand(level(c.g, bits, mode), bits),
            expand(level(c.b, bits, mode), bits)};
}

std::vector<std::vector<size_t>> merged(const std::vector<Colour>& before,
                                        const std::vector<Colour>& after) {
    auto key = [](Colour c) { return std::make_tuple(c.r, c.g, c.b); };
    std::map<std::tuple<uint8_t, uint8_t, uint8_t>, std::vector<size_t>> by_colour;
    for (size_t i = 0; i < after.size(); ++i) by_colour[key(after[i])].push_back(i);
    std::map<size_t, std::vector<size_t>> groups;
    for (auto& [colour, indices] : by_colour) {
        // Colours that were already equal lose no distinction.
        bool lost = false;
        for (size_t i : indices) lost = lost || before[i] != before[indices[0]];
        if (lost) groups[indices[0]] = indices;
    }
    std::vector<std::vector<size_t>> out;
    for (auto& [first, indices] : groups) out.push_back(indices);
    return out;
}

} // namespace palettes
