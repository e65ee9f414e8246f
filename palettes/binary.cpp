// The binary palette formats: the Adobe colour table, Microsoft's RIFF palette and Photoshop's
// swatches.
#include "palettes/readers.h"

#include <cstdio>

namespace palettes {

namespace {

unsigned byte(const std::string& bytes, size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

unsigned be16(const std::string& bytes, size_t i) {
    return byte(bytes, i) << 8 | byte(bytes, i + 1);
}

unsigned le16(const std::string& bytes, size_t i) {
    return byte(bytes, i) | byte(bytes, i + 1) << 8;
}

unsigned long le32(const std::string& bytes, size_t i) {
    return le16(bytes, i) | (unsigned long)le16(bytes, i + 2) << 16;
}

unsigned long be32(const std::string& bytes, size_t i) {
    return (unsigned long)be16(bytes, i) << 16 | be16(bytes, i + 2);
}

std::string at(size_t offset, const std::string& reason) {
    return "byte " + std::to_string(offset) + ": " + reason;
}

std::string hex4(unsigned value) {
    char text[8];
    snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
    return text;
}

// One swatch of a Photoshop swatch file: where it begins, its colour space and four words.
struct Swatch {
    size_t at;
    unsigned space;
    unsigned words[4];
};

// The swatches of a Photoshop swatch file: a section of version 1 (a count, then swatches of a
// colour space and four 16-bit words), perhaps followed by one of version 2 (the same swatches,
// each with a name), or a section of version 2 alone. All big-endian. Only the first section's
// swatches are kept; "" when the file is made of such sections and nothing else, else the reason.
std::string swatches(const std::string& bytes, std::vector<Swatch>* out) {
    size_t i = 0;
    for (int section = 0; i < bytes.size(); ++section) {
        if (section == 2) return at(i, "more than the two sections of a swatch file");
        if (bytes.size() - i < 4) return at(bytes.size(), "ends early in a section's header");
        unsigned version = be16(bytes, i), count = be16(bytes, i + 2);
        if (section == 0 && version != 1 && version != 2)
            return at(i, "version " + std::to_string(version) + " (1 or 2)");
        if (section == 1 && version != 2)
            return at(i, "version " + std::to_string(version) + " after version 1 (2)");
        i += 4;
        for (unsigned n = 0; n < count; ++n) {
            if (bytes.size() - i < 10) return at(bytes.size(), "ends early in a swatch");
            Swatch s{i, be16(bytes, i), {}};
            for (int w = 0; w < 4; ++w) s.words[w] = be16(bytes, i + 2 + 2 * size_t(w));
            if (section == 0) out->push_back(s);
            i += 10;
            if (version == 1) continue;
            // The name: a count of UTF-16 characters, its final 0 included, then the characters.
            if (bytes.size() - i < 4) return at(bytes.size(), "ends early in a swatch's name");
            unsigned long length = be32(bytes, i);
            i += 4;
            if ((bytes.size() - i) / 2 < length)
                return at(bytes.size(), "ends early in a swatch's name");
            i += 2 * size_t(length);
        }
        if (version == 2) {
            if (i < bytes.size()) return at(i, "more than the swatches of version 2");
            break;
        }
    }
    return "";
}

const char* space_name(unsigned space) {
    switch (space) {
    case 1:
        return "HSB";
    case 2:
        return "CMYK";
    case 7:
        return "Lab";
    case 8:
        return "greyscale";
    case 9:
        return "wide CMYK";
    default:
        return "an unknown colour space";
    }
}

} // namespace

bool is_act(const std::string& bytes) {
    return bytes.size() == 768 || bytes.size() == 772;
}

// 256 colours of red, green and blue; a 772-byte table adds a big-endian count of colours in
// use and the index of the transparent colour (0xFFFF: none).
std::string read_act(const std::string& bytes, Palette* palette) {
    if (bytes.size() < 768 || (bytes.size() > 768 && bytes.size() < 772))
        return at(bytes.size(), "ends early (a table has 768 or 772 bytes)");
    if (bytes.size() > 772) return at(772, "more than the 772 bytes of a table");
    size_t count = 256;
    if (bytes.size() == 772) {
        count = be16(bytes, 768);
        unsigned transparent = be16(bytes, 770);
        if (count == 0 || count > 256)
            return at(768, "a count of " + std::to_string(count) + " colours (1 to 256)");
        palette->transparency = transparent < count;
    }
    for (size_t i = 0; i < count; ++i)
        palette->colours.push_back({uint8_t(byte(bytes, 3 * i)), uint8_t(byte(bytes, 3 * i + 1)),
                                    uint8_t(byte(bytes, 3 * i + 2))});
    return "";
}

bool is_riff(const std::string& bytes) {
    return bytes.size() >= 12 && bytes.compare(0, 4, "RIFF") == 0 &&
           bytes.compare(8, 4, "PAL ") == 0;
}

// "RIFF", a size, "PAL ", then chunks of a four-letter name and a little-endian size; the "data"
// chunk holds the version 0x0300, a count and that many colours of red, green, blue and flags
// (which say how Windows uses the entry, not how it looks).
std::string read_riff(const std::string& bytes, Palette* palette) {
    if (!is_riff(bytes)) return at(0, "expected RIFF and PAL ");
    size_t i = 12;
    for (;;) {
        if (bytes.size() - i < 8) return at(i, "no data chunk");
        unsigned long size = le32(bytes, i + 4);
        if (bytes.compare(i, 4, "data") != 0) {
            // Chunks are padded to an even size.
            if (bytes.size() - i - 8 < size + (size & 1)) return at(i, "no data chunk");
            i += 8 + size + (size & 1);
            continue;
        }
        i += 8;
        if (size < 4 || bytes.size() - i < 4) return at(i, "ends early in the data chunk");
        unsigned version = le16(bytes, i), count = le16(bytes, i + 2);
        if (version != 0x0300) return at(i, "version " + hex4(version) + " (0x0300)");
        if ((size - 4) / 4 < count || (bytes.size() - i - 4) / 4 < count)
            return at(i + 2, "a count of " + std::to_string(count) +
                                 " colours, more than the data chunk holds");
        for (size_t n = 0; n < count; ++n) {
            size_t e = i + 4 + 4 * n;
            palette->colours.push_back({uint8_t(byte(bytes, e)), uint8_t(byte(bytes, e + 1)),
                                        uint8_t(byte(bytes, e + 2))});
        }
        return "";
    }
}

bool is_aco(const std::string& bytes) {
    std::vector<Swatch> found;
    return bytes.size() >= 4 && swatches(bytes, &found).empty();
}

// RGB swatches give their colour, each 16-bit word back to 8 bits (as Photoshop wrote v * 257).
std::string read_aco(const std::string& bytes, Palette* palette) {
    std::vector<Swatch> found;
    std::string error = swatches(bytes, &found);
    if (!error.empty()) return error;
    for (size_t n = 0; n < found.size(); ++n) {
        const Swatch& s = found[n];
        if (s.space != 0)
            return at(s.at, "colour " + std::to_string(n) + " is in " + space_name(s.space) +
                                " (colour space " + std::to_string(s.space) +
                                "); only RGB colours are read");
        auto eight = [](unsigned w) { return uint8_t((w + 128) / 257); };
        palette->colours.push_back({eight(s.words[0]), eight(s.words[1]), eight(s.words[2])});
    }
    return "";
}

} // namespace palettes
