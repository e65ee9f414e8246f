#pragma once
// Support for the fuzz targets: in-memory streams for the converters, which work on FILE*, and a
// check that stops the run so that libFuzzer keeps the input that broke it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A read-only stream over the size bytes at data, which must outlive it. It can be sought, so
// that the size of the "file" can be measured as on a disk.
FILE* open_memory(const uint8_t* data, size_t size);

// Where a sink's bytes land. A sink with a limit stands for a full disk: a write that would take
// it past limit bytes fails, and failed is set.
struct Written {
    std::string bytes;
    size_t limit = SIZE_MAX;
    bool failed = false;
};

// A write-only stream into *output, which must outlive it. A write after a seek overwrites, as on
// a disk.
FILE* open_sink(Written* output);

// Takes the name that begins an input, up to its first NUL byte, off the input: the choices the
// targets read by name from the toolkit's tables ("jasc", "binary-12"), so that a new row of a
// table never makes an old seed mean another. False when there is no NUL byte.
bool take_name(std::string* input, std::string* name);

#define REQUIRE(condition)                                                                         \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);          \
            abort();                                                                               \
        }                                                                                          \
    } while (0)
