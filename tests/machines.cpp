#include "tests/machines.h"

#include "tests/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace machines {

std::string Row::text(const std::string& key) const {
    auto found = keys.find(key);
    if (found == keys.end()) {
        ADD_FAILURE() << name << ": no " << key;
        return "";
    }
    return found->second;
}

long Row::number(const std::string& key) const {
    const std::string value = text(key);
    char* end = nullptr;
    long n = std::strtol(value.c_str(), &end, 0);
    if (value.empty() || *end != '\0') ADD_FAILURE() << name << ": " << key << "=" << value;
    return n;
}

std::vector<std::pair<long, long>> Row::ranges(const std::string& key) const {
    std::vector<std::pair<long, long>> out;
    std::istringstream in(text(key));
    std::string range;
    while (std::getline(in, range, ',')) {
        char* end = nullptr;
        long first = std::strtol(range.c_str(), &end, 0);
        if (*end != '-') {
            ADD_FAILURE() << name << ": " << key << " range " << range;
            break;
        }
        out.push_back({first, std::strtol(end + 1, &end, 0)});
    }
    return out;
}

Row row(const std::string& name) {
    Row r{name, {}};
    const std::string text = read_file(source_path("machines/" + name + ".machine"));
    EXPECT_FALSE(text.empty()) << "no machines/" << name << ".machine";
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            ADD_FAILURE() << name << ": " << line;
            continue;
        }
        r.keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return r;
}

std::vector<std::string> names() {
    std::vector<std::string> out;
    for (const std::string& file : listing(source_path("machines"))) {
        const std::string suffix = ".machine";
        if (file.size() > suffix.size() &&
            file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(file.substr(0, file.size() - suffix.size()));
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace machines
