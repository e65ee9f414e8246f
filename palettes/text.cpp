// The line-based palette formats: JASC-PAL, GIMP, hex lists and Paint.NET.
#include "palettes/lines.h"
#include "palettes/readers.h"

#include <algorithm>
#include <cctype>

namespace palettes {

Lines::Lines(std::string_view bytes) : bytes_(bytes) {
    if (bytes_.substr(0, 3) == "\xEF\xBB\xBF") start_ = 3;
}

bool Lines::next(Line* line) {
    if (start_ >= bytes_.size()) return false;
    size_t end = bytes_.find_first_of("\r\n", start_);
    if (end == std::string_view::npos) end = bytes_.size();
    *line = {number_++, bytes_.substr(start_, end - start_)};
    if (end + 1 < bytes_.size() && bytes_[end] == '\r' && bytes_[end + 1] == '\n') ++end;
    start_ = end + 1;
    return true;
}

bool TextLines::next(Line* line) {
    while (lines_.next(line)) {
        line->text = trim(line->text);
        if (!line->text.empty()) return true;
    }
    return false;
}

static bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    size_t a = 0, b = text.size();
    while (a < b && blank(text[a])) ++a;
    while (b > a && blank(text[b - 1])) --b;
    return text.substr(a, b - a);
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    for (size_t i = 0; i < text.size();) {
        while (i < text.size() && blank(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !blank(text[i])) ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
    }
    return out;
}

std::string_view first_text_line(std::string_view bytes) {
    // Found without walking the lines before it: detection asks for it once for each format.
    size_t start = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    size_t first = bytes.find_first_not_of(" \t\r\n", start);
    if (first == std::string_view::npos) return {};
    return trim(bytes.substr(first, bytes.find_first_of("\r\n", first) - first));
}

namespace {

// A component of 0 to 255 in decimal.
bool component(std::string_view word, int* value) {
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
bool components(const std::vector<std::string_view>& w, size_t count, int* v) {
    if (w.size() < count) return false;
    for (size_t i = 0; i < count; ++i)
        if (!component(w[i], &v[i])) return false;
    return true;
}

std::string at(size_t line, const std::string& reason) {
    return "line " + std::to_string(line) + ": " + reason;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = char(tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// digits / 2 bytes from hexadecimal digits; false for anything else.
bool hex_bytes(std::string_view text, size_t digits, int* out) {
    if (text.size() != digits) return false;
    for (size_t i = 0; i < digits; i += 2) {
        int hi = hex_value(text[i]), lo = hex_value(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i / 2] = hi * 16 + lo;
    }
    return true;
}

bool hex_digits(std::string_view s, size_t count) {
    int v[4];
    return hex_bytes(s, count, v);
}

// The "#RRGGBB" of web colours, as palette sites list them, is a hex line too.
std::string_view without_hash(std::string_view text) {
    return !text.empty() && text[0] == '#' ? text.substr(1) : text;
}

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

// The signatures of the text formats, on the first line. A line that only begins with ";" or
// holds a few hexadecimal digits (is_hex, is_paintnet) is no signature unless the whole file is
// text: binary data must not pass for it.
bool is_jasc(const std::string& bytes) {
    return first_text_line(bytes) == "JASC-PAL";
}

bool is_gpl(const std::string& bytes) {
    return first_text_line(bytes) == "GIMP Palette";
}

bool is_hex(const std::string& bytes) {
    std::string_view first = first_text_line(bytes);
    return hex_digits(without_hash(first), 6) && text(bytes);
}

bool is_paintnet(const std::string& bytes) {
    std::string_view first = first_text_line(bytes);
    return (first.substr(0, 1) == ";" || hex_digits(first, 8)) && text(bytes);
}

// "JASC-PAL", "0100", the count, then one colour a line: red, green, blue and perhaps alpha. The
// palette packer reads the file in text mode, where a Ctrl-Z ends it, and reads 256 colours and
// nothing after them: every file it takes is read here alike.
std::string read_jasc(const std::string& bytes, Palette* palette) {
    std::string_view file(bytes.data(), std::min(bytes.find('\x1A'), bytes.size()));
    TextLines lines(file);
    Line line;
    if (!lines.next(&line) || line.text != "JASC-PAL") return "line 1: expected JASC-PAL";
    if (!lines.next(&line)) return "end of file: expected 0100";
    if (line.text != "0100") return at(line.number, "expected 0100");
    if (!lines.next(&line)) return "end of file: expected the count of colours";
    std::string count_text(line.text);
    size_t count = 0;
    bool digits = !count_text.empty() && count_text.size() <= 9;
    for (char c : count_text) {
        digits = digits && c >= '0' && c <= '9';
        if (digits) count = count * 10 + size_t(c - '0');
    }
    if (!digits) return at(line.number, "expected the count of colours");
    while (lines.next(&line)) {
        if (palette->colours.size() == max_colours) {
            palette->ignored = "line " + std::to_string(line.number) +
                               " and after ignored: a palette has at most " +
                               std::to_string(max_colours) + " colours";
            return "";
        }
        if (palette->colours.size() == count)
            return at(line.number, "more colours than the count of " + count_text);
        std::vector<std::string_view> w = words(line.text);
        int v[4] = {0, 0, 0, 255};
        if (!(w.size() == 3 || w.size() == 4) || !components(w, w.size(), v))
            return at(line.number, "expected three numbers 0-255");
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
    TextLines lines(bytes);
    Line line;
    if (!lines.next(&line) || line.text != "GIMP Palette") return "line 1: expected GIMP Palette";
    size_t channels = 3;
    auto starts = [&](const char* key) { return line.text.rfind(key, 0) == 0; };
    while (lines.next(&line)) {
        if (line.text[0] == '#' || starts("Name:") || starts("Columns:")) continue;
        if (starts("Channels:")) {
            std::string_view value = trim(line.text.substr(9));
            if (value != "RGB" && value != "RGBA")
                return at(line.number, "expected Channels: RGB or RGBA");
            channels = value.size();
            continue;
        }
        int v[4] = {0, 0, 0, 255};
        if (!components(words(line.text), channels, v))
            return at(line.number, channels == 3 ? "expected three numbers 0-255"
                                                 : "expected four numbers 0-255");
        palette->colours.push_back({uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])});
        palette->transparency = palette->transparency || v[3] != 255;
    }
    return "";
}

// One RRGGBB or #RRGGBB a line.
std::string read_hex(const std::string& bytes, Palette* palette) {
    TextLines lines(bytes);
    for (Line line; lines.next(&line);) {
        int v[3];
        if (!hex_bytes(without_hash(line.text), 6, v)) return at(line.number, "expected RRGGBB");
        palette->colours.push_back({uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])});
    }
    return "";
}

// One AARRGGBB a line; comments begin with ";".
std::string read_paintnet(const std::string& bytes, Palette* palette) {
    TextLines lines(bytes);
    for (Line line; lines.next(&line);) {
        if (line.text[0] == ';') continue;
        int v[4];
        if (!hex_bytes(line.text, 8, v)) return at(line.number, "expected AARRGGBB");
        palette->colours.push_back({uint8_t(v[1]), uint8_t(v[2]), uint8_t(v[3])});
        palette->transparency = palette->transparency || v[0] != 255;
    }
    return "";
}

} // namespace palettes
