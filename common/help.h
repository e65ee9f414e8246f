#pragma once
// --help and --version, for the converters: each is taken only as the one and only argument, so
// every other command line keeps its meaning, and a file of that name stays reachable as ./--help.

#include "common/output.h"

#include <cstdio>
#include <cstring>

// Prints the help (the usage line, a format whose one %s is the invocation name, the lines of
// help, then where the manual is) or the version (print_version) on standard output and returns
// true; false for any other command line, which is left to the program.
inline bool help_or_version(int argc, char** argv, const char* program, const char* usage,
                            const char* help) {
    if (argc != 2) return false;
    if (strcmp(argv[1], "--help") == 0) {
        printf(usage, argv[0] ? argv[0] : "");
        fputs(help, stdout);
        fputs(manual_pointer(program).c_str(), stdout);
        return true;
    }
    if (strcmp(argv[1], "--version") == 0) {
        print_version(program);
        return true;
    }
    return false;
}
