#pragma once
// Object modules as binobj writes them: built from their lines, and read back into their parts.

#include "tests/harness.h"

#include <cstdint>
#include <string>
#include <vector>

// The text of a module with these lines, each ending as the program's text files end lines.
inline std::string module_text(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + line_end();
    return out;
}

struct Record {
    uint16_t address = 0;
    std::string bytes;
};

struct Module {
    std::string name;   // after "M "
    std::string area;   // the whole area line
    std::string symbol; // the whole symbol line
    std::vector<Record> records;
};

// Reads a module back, failing the test where it strays from the fixed layout: the five header
// lines, then pairs of a data record and an empty relocation record.
inline Module parse_module(const std::string& text) {
    Module m;
    std::vector<std::string> lines;
    const std::string end = line_end();
    size_t at = 0;
    while (at < text.size()) {
        size_t next = text.find(end, at);
        if (next == std::string::npos) {
            ADD_FAILURE() << "the module's last line has no line end";
            next = text.size();
        }
        lines.push_back(text.substr(at, next - at));
        at = next + end.size();
    }
    if (lines.size() < 5) {
        ADD_FAILURE() << "the module has " << lines.size() << " lines";
        return m;
    }
    EXPECT_EQ(lines[0], "XL");
    EXPECT_EQ(lines[1], "H 1 areas 1 global symbols");
    EXPECT_EQ(lines[2].substr(0, 2), "M ");
    m.name = lines[2].substr(2);
    m.area = lines[3];
    m.symbol = lines[4];
    if ((lines.size() - 5) % 2 != 0) ADD_FAILURE() << "a data record without its relocation";
    for (size_t i = 5; i + 1 < lines.size(); i += 2) {
        const std::string& t = lines[i];
        EXPECT_EQ(lines[i + 1], "R 00 00 00 00") << "line " << i + 2;
        // "T lo hi" and " XX" for each byte, upper-case hexadecimal.
        bool ok = t.size() >= 10 && t.size() % 3 == 1 && t[0] == 'T';
        for (size_t j = 1; ok && j < t.size(); j += 3)
            ok = t[j] == ' ' && std::isxdigit(static_cast<unsigned char>(t[j + 1])) &&
                 std::isxdigit(static_cast<unsigned char>(t[j + 2])) && !std::islower(t[j + 1]) &&
                 !std::islower(t[j + 2]);
        if (!ok) {
            ADD_FAILURE() << "not a data record: " << t;
            continue;
        }
        std::string data = bytes(t.substr(2));
        Record r;
        r.address = uint16_t(uint8_t(data[0]) | uint8_t(data[1]) << 8);
        r.bytes = data.substr(2);
        m.records.push_back(r);
    }
    return m;
}
