// Fuzz target for the --dac table reader of sampleprep and sampleunpack: the bytes are the text of
// a table file. A table read must hold the 16 numbers the text holds, in order, not all equal and
// within a span a number can hold, and give every code a playing value from -1 to 1; a refusal
// must name the first fault in the text.
// The text is split here a second way: comments cut off first, then every separator made a
// blank.
#include "fuzz/support.h"
#include "sound/codes.h"
#include "sound/levels.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> words(const std::string& text) {
    std::string plain;
    bool comment = false;
    for (char c : text) {
        if (c == '\n')
            comment = false;
        else if (c == '#')
            comment = true;
        plain += comment ? ' ' : c == ',' || c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    }
    std::vector<std::string> found;
    size_t at = 0;
    while ((at = plain.find_first_not_of(' ', at)) != std::string::npos) {
        size_t end = std::min(plain.find(' ', at), plain.size());
        found.push_back(plain.substr(at, end - at));
        at = end;
    }
    return found;
}

bool number(const std::string& word, double* value) {
    char* stop = nullptr;
    errno = 0;
    *value = strtod(word.c_str(), &stop);
    // A number too small to hold in full underflows towards 0 and is still one; only an
    // overflow is none.
    bool overflow = errno == ERANGE && std::fabs(*value) > 1;
    return stop == word.c_str() + word.size() && !overflow && std::isfinite(*value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // A table's name gives that row, whatever rows the table holds; any other text is a file's.
    bool row = false;
    for (const sound::Dac& d : sound::dacs()) row = row || text == d.name;
    sound::Levels named{};
    REQUIRE(sound::named_levels(text, &named) == row);

    // What the text should give: its numbers up to the first word that is none, or the 17th.
    std::vector<double> numbers;
    std::string fault;
    for (const std::string& w : words(text)) {
        double v;
        if (!number(w, &v)) {
            fault = "not a number";
            break;
        }
        if (numbers.size() == 16) {
            fault = "more than 16 levels";
            break;
        }
        numbers.push_back(v);
    }
    if (fault.empty() && numbers.size() < 16)
        fault = "16 levels needed, found " + std::to_string(numbers.size());
    if (fault.empty()) {
        bool equal = true;
        for (double v : numbers) equal = equal && v == numbers[0];
        if (equal) fault = "all 16 levels are equal";
    }
    if (fault.empty()) {
        auto [lo, hi] = std::minmax_element(numbers.begin(), numbers.end());
        if (!std::isfinite(*hi - *lo)) fault = "the levels span more than a number holds";
    }

    sound::Levels levels{};
    sound::Levels untouched{};
    std::string reason = sound::parse_levels(text, &levels);
    bool ok = reason.empty();
    if (!ok) {
        REQUIRE(levels == untouched);
        REQUIRE(reason.compare(0, fault.size(), fault) == 0);
        if (fault == "not a number") {
            // The word is shown, cut short and with no control characters.
            REQUIRE(reason.compare(0, 14, "not a number: ") == 0 && reason.size() <= 14 + 43);
            for (char c : reason) REQUIRE(static_cast<unsigned char>(c) >= 32 && c != 127);
        } else {
            REQUIRE(reason == fault);
        }
        return 0;
    }
    REQUIRE(fault.empty());
    for (int i = 0; i < 16; ++i) REQUIRE(levels[size_t(i)] == numbers[size_t(i)]);
    // Each code plays at a value from -1 (the lowest level) to 1 (the highest).
    for (int code = 0; code < 16; ++code) {
        double v = sound::code_value(levels, uint8_t(code));
        REQUIRE(std::isfinite(v) && v >= -1 && v <= 1);
    }
    return 0;
}
