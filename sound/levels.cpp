#include "sound/levels.h"

#include "common/files.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

} // namespace

bool named_levels(std::string_view name, Levels* out) {
    if (name == "linear") {
        for (int c = 0; c < 16; c++) (*out)[c] = c;
    } else if (name == "psg") {
        *out = attenuation(2.0, 0, 15);
    } else if (name == "ay") {
        *out = attenuation(3.0, 15, 0);
    } else {
        return false;
    }
    return true;
}

bool parse_levels(const std::string& text, Levels* out, std::string* reason) {
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
            if (stop != word.c_str() + word.size() || errno == ERANGE || !std::isfinite(v)) {
                // A binary file would otherwise fill the message.
                if (word.size() > 40) word = word.substr(0, 40) + "...";
                for (char& ch : word)
                    if (static_cast<unsigned char>(ch) < 32 || ch == 127) ch = '?';
                *reason = "not a number: " + word;
                return false;
            }
            if (count == 16) {
                *reason = "more than 16 levels";
                return false;
            }
            l[count++] = v;
            i = end;
        }
    }
    if (count < 16) {
        *reason = "16 levels needed, found " + std::to_string(count);
        return false;
    }
    bool all_equal = true;
    for (double v : l) all_equal = all_equal && v == l[0];
    if (all_equal) {
        *reason = "all 16 levels are equal";
        return false;
    }
    // The levels play in proportion to their span, which must itself be a number.
    auto [lo, hi] = std::minmax_element(l.begin(), l.end());
    if (!std::isfinite(*hi - *lo)) {
        *reason = "the levels lie too far apart";
        return false;
    }
    *out = l;
    return true;
}

bool dac_levels(const char* dac, Levels* out, std::string* reason) {
    if (named_levels(dac, out)) return true;
    std::string text;
    // A table is a few lines; a larger file is not one.
    const size_t largest = 1 << 16;
    if (!read_input(dac, largest, &text)) {
        *reason = std::string(strerror(errno)) + " (the DACs by name: linear, psg, ay)";
        return false;
    }
    if (text.size() > largest) {
        *reason = "larger than 64 KiB: not a table of 16 levels";
        return false;
    }
    return parse_levels(text, out, reason);
}
