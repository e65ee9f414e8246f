#pragma once
// Lines of a text file whatever its line ends (LF, CR LF or CR), numbered from 1.

#include <string>
#include <vector>

struct Line {
    size_t number;
    std::string text; // without its line end
};

// The lines of bytes; a UTF-8 byte order mark in front is left out.
std::vector<Line> split_lines(const std::string& bytes);

// text without the blanks and tabs around it.
std::string trim(const std::string& text);

// The words of text, split at blanks and tabs.
std::vector<std::string> words(const std::string& text);
