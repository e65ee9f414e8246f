#include "tests/checks.h"

#include <cstdlib>
#include <sstream>
#include <unistd.h>

bool on_path(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0;
    const char* path = getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return true;
    return false;
}

Need need_tool(const std::string& name) {
    return need(on_path(name));
}

Need need(bool found) {
    if (found) return Need::found;
    const char* ci = getenv("CI");
    return ci && std::string(ci) == "true" ? Need::fail : Need::skip;
}

static int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string read_intel_hex(const std::string& text, std::map<uint32_t, uint8_t>& image) {
    std::stringstream lines(text);
    uint32_t base = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] != ':' || line.size() < 11 || line.size() % 2 == 0)
            return "not an Intel HEX line: " + line;
        std::string b;
        for (size_t i = 1; i < line.size(); i += 2) {
            int high = hex_digit(line[i]), low = hex_digit(line[i + 1]);
            if (high < 0 || low < 0) return "not an Intel HEX line: " + line;
            b += char(high << 4 | low);
        }
        uint8_t sum = 0;
        for (char c : b) sum = uint8_t(sum + uint8_t(c));
        size_t count = uint8_t(b[0]);
        if (sum != 0 || b.size() != count + 5) return "bad length or checksum: " + line;
        uint32_t address = uint32_t(uint8_t(b[1])) << 8 | uint8_t(b[2]);
        switch (uint8_t(b[3])) {
        case 0:
            for (size_t i = 0; i < count; ++i)
                if (!image.emplace(base + address + i, uint8_t(b[4 + i])).second)
                    return "byte given twice at " + std::to_string(base + address + i);
            break;
        case 1:
            return "";
        case 2:
            base = (uint32_t(uint8_t(b[4])) << 8 | uint8_t(b[5])) << 4;
            break;
        case 4:
            base = (uint32_t(uint8_t(b[4])) << 8 | uint8_t(b[5])) << 16;
            break;
        }
    }
    return "no end record";
}
