// Fuzz target for the palette readers of palprep and palview. The input begins with the reader's
// name and a NUL byte (take_name()): "" finds the format from the content, a format's name in
// palette_formats() ("jasc", "act") forces that format, "binary-" and a depth of colour_layouts()
// ("binary-12") reads a binary palette at that depth; a name no table holds is skipped. The rest
// is the file. A palette read
// must hold 1 to 256 colours, and a failure none and a reason naming the format. What is read must
// come back alike through the JASC-PAL text palprep writes and through the PNG image palview draws,
// and the snapping must report exactly the groups of colours that became one.
#include "colours/layouts.h"
#include "fuzz/support.h"
#include "palettes/depth.h"
#include "palettes/palette.h"
#include "palprep/prepare.h"
#include "palview/picture.h"

#include <algorithm>
#include <map>
#include <string>
#include <tuple>

using namespace palettes;
using namespace colours;

namespace {

void check_snapping(const std::vector<Colour>& colours) {
    for (int depth : {6, 9, 12, 15})
        for (Snap mode : {Snap::nearest, Snap::trunc}) {
            palprep::Preparation how;
            how.depth = depth;
            how.snap = mode;
            how.pad = Colour{1, 128, 254};
            palprep::Prepared p = palprep::prepare_palette(colours, how);
            REQUIRE(p.colours.size() == max_colours);
            int bits = component_bits(depth);
            // Every colour written is one the machine shows, and palpack's truncation keeps it.
            for (Colour c : p.colours)
                for (uint8_t v : {c.r, c.g, c.b})
                    REQUIRE(expand(unsigned(v) >> (8 - bits), bits) == v);
            // The groups are exactly the colours made one that were not one before, each group
            // in index order and the groups by their first index.
            std::map<std::tuple<uint8_t, uint8_t, uint8_t>, std::vector<size_t>> by_colour;
            for (size_t i = 0; i < colours.size(); ++i)
                by_colour[{p.colours[i].r, p.colours[i].g, p.colours[i].b}].push_back(i);
            std::vector<std::vector<size_t>> expected;
            for (const auto& entry : by_colour) {
                const std::vector<size_t>& indices = entry.second;
                for (size_t i : indices)
                    if (colours[i] != colours[indices[0]]) {
                        expected.push_back(indices);
                        break;
                    }
            }
            std::sort(expected.begin(), expected.end());
            REQUIRE(p.merged == expected);
        }
}

void check_round_trips(const std::vector<Colour>& colours) {
    palprep::Prepared p = palprep::prepare_palette(colours, palprep::Preparation());
    Palette back;
    REQUIRE(read_palette(palprep::jasc_text(p.colours), nullptr, &back).empty());
    REQUIRE(back.colours == p.colours && !back.transparency);

    std::string png;
    REQUIRE(palview::draw(colours, 1, &png).empty());
    REQUIRE(read_palette(png, nullptr, &back).empty());
    // One more, transparent, entry stands for the empty cells of a last row.
    bool gaps = colours.size() % palview::columns(colours.size()) != 0;
    REQUIRE(back.colours.size() == colours.size() + gaps);
    REQUIRE(std::equal(colours.begin(), colours.end(), back.colours.begin()));
    REQUIRE(back.transparency == gaps);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size), name;
    if (!take_name(&bytes, &name)) return 0;
    const PaletteFormat* format = name.empty() ? nullptr : format_named(name);
    const ColourLayout* layout = nullptr;
    if (name.rfind("binary-", 0) == 0 && name.size() > 7 && name.size() < 10 &&
        name.find_first_not_of("0123456789", 7) == std::string::npos)
        layout = colour_layout(std::stoi(name.substr(7)));
    if (!name.empty() && !format && !layout) return 0; // no row of a table

    std::vector<Colour> colours;
    std::string error;
    if (layout) {
        int depth = layout->depth;
        error = palview::read_binary(bytes, depth, &colours);
        if (error.empty()) REQUIRE(colours.size() * colour_size(depth) == bytes.size());
    } else {
        Palette palette;
        error = read_palette(bytes, format, &palette);
        colours = palette.colours;
        const PaletteFormat* used = format ? format : detect(bytes);
        if (!error.empty() && used) REQUIRE(error.rfind(std::string(used->title) + ", ", 0) == 0);
        if (!used) REQUIRE(error == unknown_format());
        if (!error.empty()) REQUIRE(!palette.transparency && palette.ignored.empty());
        if (error.empty()) REQUIRE(palette.format == used);
        if (used == format_named("act") && error.empty())
            REQUIRE(bytes.size() == 768 || bytes.size() == 772);
    }
    if (!error.empty()) {
        REQUIRE(colours.empty());
        return 0;
    }
    REQUIRE(!colours.empty() && colours.size() <= max_colours);
    check_snapping(colours);
    check_round_trips(colours);
    return 0;
}
