// Finding a palette's format from its content, and the Adobe colour table.
#include "common/files.h"
#include "palettes/lines.h"
#include "palettes/palette.h"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

const char signature[] = "\x89PNG\r\n\x1a\n";

bool hex_digits(const std::string& s, size_t count) {
    if (s.size() != count) return false;
    for (char c : s)
        if (!isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

struct Name {
    Format format;
    const char* option;
    const char* title;
};

const Name names[] = {
    {Format::jasc, "jasc", "JASC-PAL palette"},          {Format::gpl, "gpl", "GIMP palette"},
    {Format::act, "act", "Adobe colour table"},          {Format::hex, "hex", "hex palette"},
    {Format::paintnet, "paintnet", "Paint.NET palette"}, {Format::png, "png", "PNG image"},
};

// No control characters but tab and line ends: binary palettes at 12 and 15 bits hold them in
// their upper bytes.
bool text(const std::string& bytes) {
    for (char c : bytes) {
        unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7F) return false;
    }
    return true;
}

} // namespace

bool is_png(const std::string& bytes) {
    return bytes.compare(0, 8, signature, 8) == 0;
}

Format detect(const std::string& bytes) {
    if (is_png(bytes)) return Format::png;
    // Text formats by their first line that is not blank. A line that only begins with ";" or
    // holds a few hexadecimal digits is no signature: binary data must not pass for it.
    for (const Line& line : split_lines(bytes)) {
        std::string first = trim(line.text);
        if (first.empty()) continue;
        if (first == "JASC-PAL") return Format::jasc;
        if (first == "GIMP Palette") return Format::gpl;
        if (!text(bytes)) break;
        if (first[0] == ';' || hex_digits(first, 8)) return Format::paintnet;
        if (hex_digits(first, 6)) return Format::hex;
        break;
    }
    if (bytes.size() == 768 || bytes.size() == 772) return Format::act;
    return Format::unknown;
}

Format format_named(const std::string& option) {
    for (const Name& n : names)
        if (option == n.option) return n.format;
    return Format::unknown;
}

const char* format_title(Format format) {
    for (const Name& n : names)
        if (format == n.format) return n.title;
    return "unknown format";
}

std::string load_file(const char* path, std::string* bytes) {
    if (!read_input(path, largest_file, bytes)) return strerror(errno);
    if (bytes->size() > largest_file) return "larger than 64 MiB: too large for a palette";
    return "";
}

std::string read_palette(const std::string& bytes, Format format, Palette* palette) {
    *palette = Palette();
    if (format == Format::unknown) format = detect(bytes);
    std::string error;
    switch (format) {
    case Format::unknown:
        return "unknown format (not JASC-PAL, GIMP, Adobe .act, .hex, Paint.NET or PNG)";
    case Format::jasc:
        error = read_jasc(bytes, palette);
        break;
    case Format::gpl:
        error = read_gpl(bytes, palette);
        break;
    case Format::act:
        error = read_act(bytes, palette);
        break;
    case Format::hex:
        error = read_hex(bytes, palette);
        break;
    case Format::paintnet:
        error = read_paintnet(bytes, palette);
        break;
    case Format::png:
        error = read_png(bytes, palette);
        break;
    }
    if (error.empty() && palette->colours.empty()) error = "no colours";
    if (error.empty() && palette->colours.size() > max_colours)
        error = std::to_string(palette->colours.size()) + " colours, more than " +
                std::to_string(max_colours);
    if (error.empty()) return error;
    *palette = Palette();
    return std::string(format_title(format)) + ", " + error;
}

// 256 colours of red, green and blue; a 772-byte table adds a big-endian count of colours in
// use and the index of the transparent colour (0xFFFF: none).
std::string read_act(const std::string& bytes, Palette* palette) {
    if (bytes.size() < 768 || (bytes.size() > 768 && bytes.size() < 772))
        return "byte " + std::to_string(bytes.size()) +
               ": ends early (a table has 768 or 772 bytes)";
    if (bytes.size() > 772) return "byte 772: more than the 772 bytes of a table";
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    size_t count = 256;
    if (bytes.size() == 772) {
        count = size_t(byte(768) << 8 | byte(769));
        unsigned transparent = unsigned(byte(770) << 8 | byte(771));
        if (count == 0 || count > 256)
            return "byte 768: a count of " + std::to_string(count) + " colours (1 to 256)";
        palette->transparency = transparent < count;
    }
    for (size_t i = 0; i < count; ++i)
        palette->colours.push_back({byte(3 * i), byte(3 * i + 1), byte(3 * i + 2)});
    return "";
}
