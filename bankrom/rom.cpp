#include "bankrom/rom.h"

#include "machines/mapper.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>

namespace bankrom {

namespace {

constexpr uint32_t window = machines::mapper_window, bank_size = machines::mapper_size;

std::string hex(uint32_t v) {
    char text[16];
    snprintf(text, sizeof text, "0x%X", v);
    return text;
}

bool hex_number(const std::string& text, uint32_t* value) {
    if (text.empty() || text.size() > 8) return false;
    uint32_t v = 0;
    for (char c : text) {
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (d < 0) return false;
        v = v * 16 + uint32_t(d);
    }
    *value = v;
    return true;
}

// The bytes of an Intel HEX image's data records, by the 16-bit address the linker writes: those
// below the window once each, the last given standing; those in the window, where the banks lie
// on top of each other, every one given, to be matched with the modules'.
struct HexImage {
    std::map<uint32_t, uint8_t> bytes;
    std::map<uint32_t, std::vector<uint8_t>> in_window;
};

bool read_hex(const std::string& text, HexImage* image, std::string* reason) {
    std::istringstream lines(text);
    std::string line;
    bool ended = false;
    for (int number = 1; !ended && std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<uint8_t> record;
        bool ok = line[0] == ':' && line.size() % 2 == 1 && line.size() >= 11;
        for (size_t i = 1; ok && i < line.size(); i += 2) {
            uint32_t b = 0;
            ok = hex_number(line.substr(i, 2), &b);
            record.push_back(uint8_t(b));
        }
        uint8_t sum = 0;
        for (uint8_t b : record) sum = uint8_t(sum + b);
        if (!ok || sum != 0 || record.size() != size_t(record[0]) + 5) {
            *reason = "line " + std::to_string(number) + " is no Intel HEX record";
            return false;
        }
        ended = record[3] == 1;
        if (ended) break;
        if (record[3] != 0) {
            *reason = "line " + std::to_string(number) + ": record type " +
                      std::to_string(record[3]) + " is not one the linker writes";
            return false;
        }
        uint32_t at = uint32_t(record[1]) << 8 | record[2];
        for (size_t i = 0; i < record[0]; ++i) {
            uint32_t address = at + uint32_t(i);
            image->bytes[address] = record[4 + i];
            if (address >= window && address < window + bank_size)
                image->in_window[address].push_back(record[4 + i]);
        }
    }
    // The linker ends every image with it: without it the image was cut short.
    if (!ended) *reason = "no end record: the image is cut short";
    return ended;
}

// A global symbol's value in the linker's map: the hexadecimal number in front of its name.
bool map_value(const std::string& map, const std::string& name, uint32_t* value) {
    std::istringstream lines(map);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string number, symbol;
        if (words >> number >> symbol && symbol == name && hex_number(number, value)) return true;
    }
    return false;
}

// An area of the linker's map: its name, where it begins and its size.
struct Area {
    std::string name;
    uint32_t start = 0, size = 0;
    bool bank() const { // a bank's, _CODE_n
        return name.size() > 6 && name.compare(0, 6, "_CODE_") == 0 &&
               name.find_first_not_of("0123456789", 6) == std::string::npos;
    }
};

std::vector<Area> map_areas(const std::string& map) {
    std::vector<Area> areas;
    std::istringstream lines(map);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string start, size, equals;
        Area area;
        if (words >> area.name >> start >> size >> equals && equals == "=" && area.name[0] == '_' &&
            hex_number(start, &area.start) && hex_number(size, &area.size))
            areas.push_back(area);
    }
    return areas;
}

std::string bytes_text(uint32_t size) {
    return std::to_string(size) + (size == 1 ? " byte" : " bytes");
}

// An area of the program's own (not a bank's) that reaches into the window, where the HEX
// image's bytes are the banks': its name and place, or false when there is none.
bool area_in_window(const std::vector<Area>& areas, std::string* what) {
    for (const Area& area : areas)
        if (!area.bank() && area.size > 0 && area.start < window + bank_size &&
            uint64_t(area.start) + area.size > window) {
            *what = "the map puts the area " + area.name + " at " + hex(area.start) + " (" +
                    bytes_text(area.size) + "), into the bank window";
            return true;
        }
    return false;
}

// A global the link left undefined, as the linker says it at the end of its map: the image
// holds calls to nowhere.
bool undefined_global(const std::string& map, std::string* what) {
    const std::string warning = "?ASlink-Warning-Undefined Global ";
    std::istringstream lines(map);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, warning.size(), warning) != 0) continue;
        *what = "the linker left a global undefined: " + line.substr(warning.size()) +
                " (the link failed)";
        return true;
    }
    return false;
}

struct Parsed {
    std::string symbol;
    uint32_t symbol_offset = 0;
    uint32_t size = 0;
    std::map<uint32_t, uint8_t> bytes; // by offset in the area
};

// A module of one area in a bank, the kind bankplan and binobj write: its first global symbol,
// the area's size and the bytes of its data records, none of them relocated.
bool read_module(const std::string& text, Parsed* m, std::string* reason) {
    std::istringstream lines(text);
    std::string line;
    int areas = 0;
    std::vector<uint8_t> data;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "A") {
            std::string name, word, size;
            words >> name >> word >> size;
            ++areas;
            if (name.rfind("_CODE_", 0) != 0 || !hex_number(size, &m->size)) {
                *reason = "its area " + name + " is no bank's (_CODE_n)";
                return false;
            }
        } else if (kind == "S") {
            std::string name, def;
            words >> name >> def;
            if (m->symbol.empty() && def.rfind("Def", 0) == 0 &&
                hex_number(def.substr(3), &m->symbol_offset))
                m->symbol = name;
        } else if (kind == "T") {
            data.clear();
            for (std::string b; words >> b;) {
                uint32_t v = 0;
                if (!hex_number(b, &v) || v > 0xFF) {
                    *reason = "a data record holds " + b;
                    return false;
                }
                data.push_back(uint8_t(v));
            }
            if (data.size() < 2) {
                *reason = "a data record without its address";
                return false;
            }
            uint32_t at = data[0] | uint32_t(data[1]) << 8;
            for (size_t i = 2; i < data.size(); ++i) m->bytes[at + uint32_t(i - 2)] = data[i];
        } else if (kind == "R") {
            std::string b;
            int count = 0;
            while (words >> b) ++count;
            if (count != 4) {
                *reason = "it holds relocations, which only the linker can apply";
                return false;
            }
        }
    }
    if (areas != 1 || m->symbol.empty()) {
        *reason = "not an object module of one area with a global symbol";
        return false;
    }
    return true;
}

} // namespace

namespace {

// The image being made: its bytes, which of them are filled, and what the modules put there.
struct Image {
    std::string* rom;
    std::vector<bool> filled;
    std::vector<uint32_t> bases;                     // where the map puts each module's area
    std::map<uint32_t, std::vector<uint8_t>> placed; // the modules' bytes by window address
};

// A module's bytes in its bank, where the map puts its symbol: "" when placed, else the reason.
std::string place_module(const std::string& text, const std::string& map, Image* image) {
    std::string reason;
    Parsed m;
    if (!read_module(text, &m, &reason)) return reason;
    uint32_t value = 0;
    if (!map_value(map, m.symbol, &value))
        return m.symbol + " is not in the linker's map: the module was not linked";
    uint32_t base = value - m.symbol_offset, bank = base >> 16, at = base & 0xFFFF;
    // In 64 bits: an area's size from the module may be anything up to 0xFFFFFFFF, and the bank
    // must be one the image can hold (the mapper takes 8 bits).
    if (bank < uint32_t(machines::first_bank) || bank > uint32_t(machines::last_bank) ||
        at < window || uint64_t(at) + m.size > uint64_t(window) + bank_size)
        return "the map puts " + m.symbol + " at " + hex(value) +
               ", not in the window of a bank from " + std::to_string(machines::first_bank) +
               " to " + std::to_string(machines::last_bank);
    image->bases.push_back(base);
    std::string& rom = *image->rom;
    size_t start = bank * bank_size + (at - window);
    if (rom.size() < (bank + 1) * bank_size) {
        rom.resize((bank + 1) * bank_size, char(0xFF));
        image->filled.resize(rom.size(), false);
    }
    for (auto& [offset, b] : m.bytes) {
        if (offset >= m.size) return "a data record lies beyond its area's size";
        if (image->filled[start + offset])
            return "its byte at " + hex(base + offset) + " lands where another already stands";
        rom[start + offset] = char(b);
        image->filled[start + offset] = true;
        image->placed[at + offset].push_back(b);
    }
    return "";
}

// A bank's area of the map in which no module given lies: "" when there is none, else the reason.
std::string bank_left_out(const std::vector<Area>& areas, const Image& image) {
    for (const Area& area : areas) {
        if (!area.bank() || area.size == 0) continue;
        bool holds = false;
        for (uint32_t base : image.bases)
            holds = holds || (base >= area.start && base - area.start < area.size);
        if (!holds)
            return "the map's area " + area.name + " holds " + bytes_text(area.size) +
                   ", and no module given lies in it";
    }
    return "";
}

// A byte of the HEX image in the window that no module given places there (an absolute area's, a
// module's left out): "" when there is none, else the reason.
std::string byte_left_out(const HexImage& hex_image, Image* image) {
    for (auto& [at, values] : hex_image.in_window) {
        std::vector<uint8_t>& given = image->placed[at];
        for (uint8_t b : values) {
            auto same = std::find(given.begin(), given.end(), b);
            if (same == given.end())
                return "its byte at " + hex(at) +
                       ", in the bank window, comes from no module given (an absolute area, "
                       "or a module left out)";
            given.erase(same);
        }
    }
    return "";
}

} // namespace

std::string make_rom(const Text& hex_image, const Text& map_text, const std::vector<Text>& modules,
                     std::string* rom, std::string* file) {
    const std::string& map = map_text.text;
    std::string reason;
    *file = hex_image.path;
    HexImage hex_bytes;
    if (!read_hex(hex_image.text, &hex_bytes, &reason)) return reason;
    // Bank bytes show in the HEX image in the window, on top of each other; above it there is
    // nothing a ROM can hold.
    for (auto& [at, b] : hex_bytes.bytes)
        if (at >= window + bank_size)
            return "a byte at " + hex(at) + ", above the bank window: not in ROM";
    *file = map_text.path;
    std::vector<Area> areas = map_areas(map);
    if (undefined_global(map, &reason) || area_in_window(areas, &reason)) return reason;

    Image image{rom, {}, {}, {}};
    rom->assign(2 * bank_size, char(0xFF)); // erased flash
    image.filled.assign(rom->size(), false);
    for (auto& [at, b] : hex_bytes.bytes)
        if (at < window) {
            (*rom)[at] = char(b);
            image.filled[at] = true;
        }
    for (const Text& module : modules) {
        *file = module.path;
        if (std::string why = place_module(module.text, map, &image); !why.empty()) return why;
    }

    // What the link put in the banks and no module given brings would be lost from the image.
    *file = map_text.path;
    if (std::string why = bank_left_out(areas, image); !why.empty()) return why;
    *file = hex_image.path;
    if (std::string why = byte_left_out(hex_bytes, &image); !why.empty()) return why;
    file->clear();
    return "";
}

} // namespace bankrom
