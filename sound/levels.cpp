#include "sound/levels.h"

#include "common/io.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace sound {

namespace {

// A table of geometric steps of db decibels, loudest at code loud, with a silent code.
Levels attenuation(double db, int loud, int silent) {
    Levels l{};
    for (int c = 0; c < 16; c++) {
        int steps = c > loud ? c - loud : loud - c;
        l[c] = c == silent ? 0.0 : std::pow(10.0, -db * steps / 20.0);
    }
    return l;
}

Levels linear() {
    Levels l{};
    for (int c = 0; c < 16; c++) l[c] = c;
    return l;
}

Levels psg() {
    return attenuation(2.0, 0, 15);
}

Levels ay() {
    return attenuation(3.0, 15, 0);
}

} // namespace

const std::vector<Dac>& dacs() {
    static const std::vector<Dac> rows = {
        {"linear", "level = code (the default)", 8, linear, 1},
        {"psg", "code 0 loudest, 2 dB a step, 15 silent", 15, psg, 1},
        {"ay", "code 15 loudest, 3 dB a step down, 0 silent", 0, ay, 1},
        {"psg3", "psg's levels on three channels in turn", 15, psg, 3},
        {"ay3", "ay's levels on three channels in turn", 0, ay, 3},
    };
    return rows;
}

const Dac* find_dac(std::string_view name) {
    for (const Dac& d : dacs())
        if (name == d.name) return &d;
    return nullptr;
}

std::string dac_names() {
    std::string names;
    for (const Dac& d : dacs()) names += (names.empty() ? "" : ", ") + std::string(d.name);
    return names;
}

std::string dac_help() {
    std::string text = "the 16 output levels: a file of them, or one of";
    for (const Dac& d : dacs()) {
        std::string name = d.name;
        text +=
            "\n  " + name + std::string(name.size() < 8 ? 8 - name.size() : 1, ' ') + d.description;
    }
    return text;
}

bool named_levels(std::string_view name, Levels* out) {
    const Dac* d = find_dac(name);
    if (d) *out = d->levels();
    return d != nullptr;
}

std::string parse_levels(const std::string& text, Levels* out) {
    Levels l{};
    int count = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '#') {
            while (i < text.size() && text[i] != '\n') i++;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') {
            i++;
        } else {
            size_t end = text.find_first_of(" \t\r\n,#", i);
            if (end == std::string::npos) end = text.size();
            std::string word = text.substr(i, end - i);
            char* stop = nullptr;
            errno = 0;
            double v = std::strtod(word.c_str(), &stop);
            // A number too small to hold in full (ERANGE towards 0) is still a number.
            bool overflow = errno == ERANGE && std::fabs(v) > 1;
            if (stop != word.c_str() + word.size() || overflow || !std::isfinite(v)) {
                // A binary file would otherwise fill the message.
                if (word.size() > 40) word = word.substr(0, 40) + "...";
                for (char& ch : word)
                    if (static_cast<unsigned char>(ch) < 32 || ch == 127) ch = '?';
                return "not a number: " + word;
            }
            if (count == 16) return "more than 16 levels";
            l[count++] = v;
            i = end;
        }
    }
    if (count < 16) return "16 levels needed, found " + std::to_string(count);
    auto [lo, hi] = std::minmax_element(l.begin(), l.end());
    if (*lo == *hi) return "all 16 levels are equal";
    // Every code's place in the range is measured against it.
    if (!std::isfinite(*hi - *lo)) return "the levels span more than a number holds";
    *out = l;
    return "";
}

std::string dac_table(const char* dac, Table* out) {
    if (const Dac* d = find_dac(dac)) {
        *out = Table{d->levels(), d->channels, d};
        return "";
    }
    std::string text;
    // A table is a few lines; a larger file is not one.
    std::string why = common::read_file(dac, 1 << 16, &text);
    if (text.size() > 1 << 16) return why + ": not a table of 16 levels";
    if (!why.empty()) return why + " (the DACs by name: " + dac_names() + ")";
    Table table;
    why = parse_levels(text, &table.levels);
    if (why.empty()) *out = table;
    return why;
}

} // namespace sound
