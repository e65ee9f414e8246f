#pragma once
// Lines of a text file whatever its line ends (LF, CR LF or CR), numbered from 1, read one at a
// time as views into the bytes: a file of millions of empty lines costs no memory of its own.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace palettes {

struct Line {
    size_t number;
    std::string_view text; // without its line end
};

// The lines of bytes in turn; a UTF-8 byte order mark in front is left out.
class Lines {
  public:
    explicit Lines(std::string_view bytes);
    // The next line, false after the last.
    bool next(Line* line);

  private:
    std::string_view bytes_;
    size_t start_ = 0;
    size_t number_ = 1;
};

// The lines that are not blank, in turn, each without the blanks and tabs around it.
class TextLines {
  public:
    explicit TextLines(std::string_view bytes) : lines_(bytes) {}
    bool next(Line* line);

  private:
    Lines lines_;
};

// text without the blanks and tabs around it.
std::string_view trim(std::string_view text);

// The words of text, split at blanks and tabs.
std::vector<std::string_view> words(std::string_view text);

// The first line of bytes that is not blank, trimmed; empty when there is none.
std::string_view first_text_line(std::string_view bytes);

} // namespace palettes
