#include "palprep/prepare.h"

Prepared prepare_palette(const std::vector<Colour>& colours, int depth, Snap mode, Colour pad) {
    Prepared p;
    p.colours = colours;
    if (depth == 12 || depth == 15) {
        int bits = component_bits(depth);
        for (Colour& c : p.colours) c = snap(c, bits, mode);
        p.merged = merged(colours, p.colours);
        pad = snap(pad, bits, mode);
    }
    p.colours.resize(max_colours, pad);
    return p;
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
