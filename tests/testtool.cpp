// What the check scripts of tests/e2e take from the tests' own code, so that a rule or a reader
// is written once:
//   testtool need TOOL...   exits 0 when every tool is there; else, by need_tool(), 77 (CTest's
//                           skip) or, under CI=true, 1
//   testtool hex FILE       the data bytes of an Intel HEX image, one "ADDRESS BYTE" line each
//                           (hexadecimal, 4 digits of address or more), by address
//   testtool programs FILE  the names of a list of programs (programs.txt, converters.txt), one
//                           a line; exits 1 when the file is missing or names none, which a
//                           script's `for p in $(cat FILE)` would pass over as a list of nothing
#include "tests/checks.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "need") {
        int status = 0;
        for (int i = 2; i < argc; ++i) {
            Need need = need_tool(argv[i]);
            if (need == Need::found) continue;
            fprintf(stderr, "%s is missing%s\n", argv[i],
                    need == Need::fail ? ", and CI=true needs every tool" : ": skipped");
            if (need == Need::fail)
                status = 1;
            else if (status == 0)
                status = 77;
        }
        return status;
    }
    if (command == "hex" && argc == 3) {
        std::ifstream f(argv[2], std::ios::binary);
        if (!f) {
            fprintf(stderr, "testtool: cannot read %s\n", argv[2]);
            return 1;
        }
        std::map<uint32_t, uint8_t> image;
        std::string error =
            read_intel_hex(std::string(std::istreambuf_iterator<char>(f), {}), image);
        if (!error.empty()) {
            fprintf(stderr, "testtool: %s: %s\n", argv[2], error.c_str());
            return 1;
        }
        for (auto [address, byte] : image) printf("%04X %02X\n", unsigned(address), byte);
        return 0;
    }
    if (command == "programs" && argc == 3) {
        std::ifstream f(argv[2]);
        if (!f) {
            fprintf(stderr, "testtool: cannot read the list of programs %s\n", argv[2]);
            return 1;
        }
        std::string names, line;
        while (std::getline(f, line)) {
            std::istringstream words(line);
            for (std::string name; words >> name;) names += name + "\n";
        }
        if (names.empty()) {
            fprintf(stderr, "testtool: the list of programs %s names none\n", argv[2]);
            return 1;
        }
        fputs(names.c_str(), stdout);
        return 0;
    }
    fprintf(stderr, "usage: testtool need TOOL... | testtool hex FILE | testtool programs FILE\n");
    return 2;
}
