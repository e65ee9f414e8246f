#pragma once
// The table of machines (machines/NAME.machine: KEY=value lines, # comments) as the tests read
// it, and the emulated board each row describes.

#include <map>
#include <string>
#include <vector>

namespace machines {

struct Row {
    std::string name;
    std::map<std::string, std::string> keys;

    // A key's text; fails the test and gives "" for a key the row lacks.
    std::string text(const std::string& key) const;
    // A key's number, decimal or 0x hexadecimal; fails the test for anything else.
    long number(const std::string& key) const;
    // NEVER_WRITE's first-last ranges.
    std::vector<std::pair<long, long>> ranges(const std::string& key) const;
};

// The row of machines/NAME.machine in the source tree; fails the test when it cannot be read.
Row row(const std::string& name);
// Every row's name, in order.
std::vector<std::string> names();

} // namespace machines
