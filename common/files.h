#pragma once

#include <cstdio>
#include <string>

// Opens a file for binary reading; a directory is refused like a missing file.
FILE* open_input(const char* path);

// Opens a file for binary reading as open_input does, for a program that measures its input
// before reading it: a FIFO is opened at once, not waited for until a writer comes, so that it
// can be refused for what it is, one more input that cannot be measured.
FILE* open_measured_input(const char* path);

// True when both paths name one existing file, whatever the spelling or link that leads there.
bool same_file(const char* a, const char* b);

// Closes an output stream. False when any write to it failed or its flush or close fails, so that
// a full disk is a failure and not a silently short file.
bool close_output(FILE* out);

// True when path names something other than a regular file or a folder: a device or a FIFO.
bool is_special(const char* path);

// Creates a new file for binary writing in the folder of path, under a name of its own, and
// stores that name in temp. Null, with errno set, on failure.
FILE* create_beside(const std::string& path, std::string* temp);

// Renames from to to, replacing what stands there. False, with errno set, on failure.
bool replace_file(const char* from, const char* to);

// Removes a program's output after a failure, when its path names a regular file: a link, a
// device or a FIFO there is not the program's to remove.
void remove_output(const char* path);

// Prints a message on standard output, where every message of the toolkit goes, and returns the
// status to end with: return fail(message, failure).
int fail(const char* message, int status);

// The name a program was started with, for its usage line.
inline const char* invocation(int argc, char** argv) {
    return argc > 0 && argv[0] ? argv[0] : "";
}

// Reads the file at path into bytes, never more than limit + 1 bytes, so that a file too large to
// hold (or a device such as /dev/zero, which never ends) shows as one of more than limit bytes.
// False, with errno set (EISDIR for a folder), when it cannot be opened or read.
bool read_input(const char* path, size_t limit, std::string* bytes);
