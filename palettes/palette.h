#pragma once
// Palettes as graphics editors write them, read from their bytes into a list of colours. Pure
// functions: no files, no messages of their own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Colour {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Colour& o) const { return !(*this == o); }
};

enum class Format { unknown, jasc, gpl, act, hex, paintnet, png };

struct Palette {
    std::vector<Colour> colours;
    bool transparency = false; // some colour was not opaque; the colours are kept, opaque
};

// "1 colour", "16 colours": a count of colours in messages.
inline std::string colours_text(size_t count) {
    return std::to_string(count) + (count == 1 ? " colour" : " colours");
}

// The most colours a palette holds: one byte of index.
constexpr size_t max_colours = 256;

// The largest palette file read, a palette strip image included: a larger input (or a device
// that never ends) is refused before it fills the memory.
constexpr size_t largest_file = 64 << 20;

// Reads a palette file whole into bytes. Returns an empty text, or the reason it cannot be read;
// a file larger than largest_file is refused unread beyond that.
std::string load_file(const char* path, std::string* bytes);

// The format of a file found from its content (signature, first line, size), never its name.
Format detect(const std::string& bytes);

// The format a --format option names: jasc, gpl, act, hex, paintnet or png; unknown otherwise.
Format format_named(const std::string& name);

// The format's name in messages, such as "GIMP palette".
const char* format_title(Format format);

// Reads a palette in a format (unknown: the one detect() finds). Returns an empty text on
// success, or the reason it failed with the format and the line or byte where reading stopped,
// such as "GIMP palette, line 7: expected three numbers 0-255". More than max_colours colours
// are refused with their count.
std::string read_palette(const std::string& bytes, Format format, Palette* palette);

// Readers of the single formats, for read_palette(); the same return as read_palette().
std::string read_jasc(const std::string& bytes, Palette* palette);
std::string read_gpl(const std::string& bytes, Palette* palette);
std::string read_hex(const std::string& bytes, Palette* palette);
std::string read_paintnet(const std::string& bytes, Palette* palette);
std::string read_act(const std::string& bytes, Palette* palette);
std::string read_png(const std::string& bytes, Palette* palette);

// True when bytes begin with the PNG signature.
bool is_png(const std::string& bytes);
