#include "palprep/prepare.h"

#include "common/cli.h"

namespace palprep {

using namespace palettes;
using namespace colours;

std::string read_snap(const char* text, Snap* snap) {
    std::string value = text;
    if (value != "nearest" && value != "trunc") return "expected nearest or trunc";
    *snap = value == "trunc" ? Snap::trunc : Snap::nearest;
    return "";
}

Prepared prepare_palette(const std::vector<Colour>& colours, const Preparation& how) {
    Prepared p;
    p.colours = colours;
    Colour pad = how.pad;
    if (snaps(how.depth)) {
        int bits = component_bits(how.depth);
        for (Colour& c : p.colours) c = snap(c, bits, how.snap);
        p.merged = merged(colours, p.colours);
        pad = snap(pad, bits, how.snap);
    }
    p.colours.resize(how.count, pad);
    return p;
}

std::string binary_palette(const std::vector<Colour>& colours, int depth) {
    const ColourLayout* layout = colour_layout(depth);
    std::string bytes;
    for (Colour c : colours) {
        unsigned char entry[4];
        layout->encode(c.r, c.g, c.b, entry);
        bytes.append(reinterpret_cast<const char*>(entry), layout->size);
    }
    return bytes;
}

static std::string rgb(Colour c) {
    return std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b);
}

std::string jasc_text(const std::vector<Colour>& colours) {
    std::string text = "JASC-PAL\r\n0100\r\n" + std::to_string(colours.size()) + "\r\n";
    for (Colour c : colours) text += rgb(c) + "\r\n";
    return text;
}

std::string merge_message(const std::vector<size_t>& group, Colour colour, int depth) {
    std::string text = "colours ";
    for (size_t i = 0; i < group.size(); ++i) {
        if (i > 0) text += i + 1 == group.size() ? " and " : ", ";
        text += std::to_string(group[i]);
    }
    return text + " become one at " + std::to_string(depth) + " bits (" + rgb(colour) + ")";
}

std::string written_note(size_t read, const Prepared& p, const Preparation& how, size_t bytes) {
    std::string note = std::to_string(p.colours.size()) + " colours";
    if (how.depth) note += " at " + std::to_string(how.depth) + " bits";
    if (snaps(how.depth)) note += how.snap == Snap::trunc ? " (trunc)" : " (nearest)";
    if (read < p.colours.size())
        note += ", " + std::to_string(p.colours.size() - read) + " of them padding " +
                rgb(p.colours.back());
    if (bytes) note += ", " + std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    return note;
}

} // namespace palprep
