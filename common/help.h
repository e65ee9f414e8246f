#pragma once
// --help and --version, for the converters: each is taken only as the one and only argument, so
// every other command line keeps its meaning, and a file of that name stays reachable as ./--help.

#include "common/output.h"

#include "common/files.h"

#include <cstdio>
#include <cstring>
#include <optional>

namespace common {

// Prints the help (the usage line, a format whose one %s is the invocation name, the lines of
// help, then where the manual is) or the version (print_version) on standard output and returns
// the status to end with: 0, or failure when standard output failed (a full disk, /dev/full),
// said on standard error, since a help that never arrived is no success. Nothing for any other
// command line, which is left to the program.
inline std::optional<int> help_or_version(int argc, char** argv, const char* program,
                                          const char* usage, const char* help, int failure) {
    if (argc != 2) return std::nullopt;
    if (strcmp(argv[1], "--help") == 0) {
        printf(usage, argv[0] ? argv[0] : "");
        fputs(help, stdout);
        fputs(manual_pointer(program).c_str(), stdout);
    } else if (strcmp(argv[1], "--version") == 0) {
        print_version(program);
    } else {
        return std::nullopt;
    }
    if (int err = close_standard_output()) {
        fprintf(stderr, "%s: standard output: %s\n", program, strerror(err));
        return failure;
    }
    return 0;
}

} // namespace common
