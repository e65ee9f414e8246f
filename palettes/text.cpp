// The line-based palette formats: JASC-PAL, GIMP, hex lists and Paint.NET.
#include "palettes/lines.h"
#include "palettes/palette.h"

#include <cctype>

std::vector<Line> split_lines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    size_t number = 1;
    while (start < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back({number++, bytes.substr(start, end - start)});
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() &&
            bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

static bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string trim(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && blank(text[a])) ++a;
    while (b > a && blank(text[b - 1])) --b;
    return text.substr(a, b - a);
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size();) {
        while (i < text.size() && blank(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !blank(text[i])) ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
    }
    return out;
}

namespace {

// A component of 0 to 255 in decimal.
bool component(const std::string& word, int* value) {
    if (word.empty() || word.size() > 3) return false;
    int v = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return v <= 255;
}

// The first count words of a line as components; false when one is not a number 0-255.
bool components(const std::vector<std::string>& w, size_t count, int* v) {
    if (w.size() < count) return false;
    for (size_t i = 0; i < count; ++i)
        if (!component(w[i], &v[i])) return false;
    return true;
}

std::string at(const Line& line, const std::string& reason) {
    return "line " + std::to_string(line.number) + ": " + reason;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = char(tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// digits / 2 bytes from hexadecimal digits; false for anything else.
bool hex_bytes(const std::string& text, size_t digits, int* out) {
    if (text.size() != digits) return false;
    for (size_t i = 0; i < digits; i += 2) {
        int hi = hex_value(text[i]), lo = hex_value(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i / 2] = hi * 16 + lo;
    }
    return true;
}

std::vector<Line> non_blank(const std::string& bytes) {
    std::vector<Line> lines;
    for (Line& line : split_lines(bytes)) {
        line.text = trim(line.text);
        if (!line.text.empty()) lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace

// "JASC-PAL", "0100", the count, then one colour a line: red, green, blue and perhaps alpha.
std::string read_jasc(const std::string& bytes, Palette* palette) {
    std::vector<Line> lines = non_blank(bytes);
    if (lines.empty() || lines[0].text != "JASC-PAL") return "line 1: expected JASC-PAL";
    if (lines.size() < 2 || lines[1].text != "0100")
        return lines.size() < 2 ? "end of file: expected 0100" : at(lines[1], "expected 0100");
    std::string count_text = lines.size() < 3 ? "" : lines[2].text;
    size_t count = 0;
    bool digits = !count_text.empty() && count_text.size() <= 9;
    for (char c : count_text) {
        digits = digits && c >= '0' && c <= '9';
        if (digits) count = count * 10 + size_t(c - '0');
    }
    if (lines.size() < 3) return "end of file: expected the count of colours";
    if (!digits) return at(lines[2], "expected the count of colours");
    for (size_t i = 3; i < lines.size(); ++i) {
        if (i - 3 == count) return at(lines[i], "more colours than the count of " + count_text);
        std::vector<std::string> w = words(lines[i].text);
        int v[4] = {0, 0, 0, 255};
        if (!(w.size() == 3 || w.size() == 4) || !components(w, w.size(), v))
            return at(lines[i], "expected three numbers 0-255");
        palette->colours.push_back({uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])});
        palette->transparency = palette->transparency || v[3] != 255;
    }
    if (palette->colours.size() < count)
        return "end of file: " + colours_text(palette->colours.size()) + ", the count says " +
               count_text;
    return "";
}

// "GIMP Palette", then "Name:", "Columns:" and "Channels:" lines, comments (#) and one colour a
// line: three numbers (four with "Channels: RGBA") and perhaps a name.
std::string read_gpl(const std::string& bytes, Palette* palette) {
    std::vector<Line> lines = non_blank(bytes);
    if (lines.empty() || lines[0].text != "GIMP Palette") return "line 1: expected GIMP Palette";
    size_t channels = 3;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& text = lines[i].text;
        if (text[0] == '#' || text.rfind("Name:", 0) == 0 || text.rfind("Columns:", 0) == 0)
            continue;
        if (text.rfind("Channels:", 0) == 0) {
            std::string value = trim(text.substr(9));
            if (value != "RGB" && value != "RGBA")
                return at(lines[i], "expected Channels: RGB or RGBA");
            channels = value.size();
            continue;
        }
        int v[4] = {0, 0, 0, 255};
        if (!components(words(text), channels, v))
            return at(lines[i], channels == 3 ? "expected three numbers 0-255"
                                              : "expected four numbers 0-255");
        palette->colours.push_back({uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])});
        palette->transparency = palette->transparency || v[3] != 255;
    }
    return "";
}

// One RRGGBB a line.
std::string read_hex(const std::string& bytes, Palette* palette) {
    for (const Line& line : non_blank(bytes)) {
        int v[3];
        if (!hex_bytes(line.text, 6, v)) return at(line, "expected RRGGBB");
        palette->colours.push_back({uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])});
    }
    return "";
}

// One AARRGGBB a line; comments begin with ";".
std::string read_paintnet(const std::string& bytes, Palette* palette) {
    for (const Line& line : non_blank(bytes)) {
        if (line.text[0] == ';') continue;
        int v[4];
        if (!hex_bytes(line.text, 8, v)) return at(line, "expected AARRGGBB");
        palette->colours.push_back({uint8_t(v[1]), uint8_t(v[2]), uint8_t(v[3])});
        palette->transparency = palette->transparency || v[0] != 255;
    }
    return "";
}
