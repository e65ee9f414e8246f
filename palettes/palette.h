#pragma once
// Palettes as graphics editors write them, read from their bytes into a list of colours. The
// readers are pure functions of the bytes, with no messages of their own; read_palette_file()
// alone reads a file, for the programs.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace palettes {

struct Colour {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Colour& o) const { return !(*this == o); }
};

struct PaletteFormat;

struct Palette {
    std::vector<Colour> colours;
    bool transparency = false; // some colour was not opaque; the colours are kept, opaque
    std::string ignored;       // what of the file was left unread, and why; or empty
    const PaletteFormat* format = nullptr; // the format it was read as
};

// One palette format: everything the programs say of it and do with it comes from its row in
// palette_formats(). A new format is a row there and its reader.
struct PaletteFormat {
    const char* name;        // what --format takes: "gpl"
    const char* title;       // in front of a reading error: "GIMP palette"
    const char* description; // in the help and the unknown format message: "GIMP .gpl"
    // True when the content shows the format (signature, first line, structure, size).
    bool (*detect)(const std::string& bytes);
    // The colours of bytes in the format: "" on success, else the reason with the line or byte
    // where reading stopped ("line 7: expected three numbers 0-255").
    std::string (*read)(const std::string& bytes, Palette* palette);
};

// Every format, in the order detection tries them.
const std::vector<PaletteFormat>& palette_formats();

// "jasc, gpl, ... or act": the names --format takes.
std::string format_names();

// "JASC-PAL, GIMP .gpl, ... or Adobe .act": the formats read, for help texts.
std::string format_descriptions();

// The format a --format option names; null for none.
const PaletteFormat* format_named(const std::string& name);

// The format of a file found from its content, never its name; null when none shows.
const PaletteFormat* detect(const std::string& bytes);

// "1 colour", "16 colours": a count of colours in messages.
inline std::string colours_text(size_t count) {
    return std::to_string(count) + (count == 1 ? " colour" : " colours");
}

// The most colours a palette holds: one byte of index.
constexpr size_t max_colours = 256;

// The largest palette file read, a palette strip image included: a larger input (or a device
// that never ends) is refused before it fills the memory.
constexpr size_t largest_file = 64 << 20;

// Reads a palette file ("-": standard input) whole into bytes. Returns an empty text, or the
// reason it cannot be read; a file larger than largest_file is refused unread beyond that.
std::string read_palette_file(const std::string& path, std::string* bytes);

// Reads a palette in a format (null: the one detect() finds), which palette->format then names.
// Returns an empty text on success, or the reason it failed with the format and the line or byte
// where reading stopped, such as "GIMP palette, line 7: expected three numbers 0-255". More than
// max_colours colours are refused with their count.
std::string read_palette(const std::string& bytes, const PaletteFormat* format, Palette* palette);

// The message for a file no format's detector takes.
std::string unknown_format();

// "R,G,B", each 0 to 255 by the rule of every number the programs take: "" or the reason.
std::string read_colour(const char* text, Colour* colour);

} // namespace palettes
