#pragma once

#include <cstdio>
#include <string>

namespace common {

// Opens a file for binary reading. A folder is refused with EISDIR, on Windows too.
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

// Flushes and closes standard output, as a program's last act: 0 when every write to it went
// through, else the errno value of the failure (EIO when only the stream's error flag tells it),
// so that a message or a help lost on a full disk or /dev/full is not taken for success.
int close_standard_output();

// How an output is written.
enum class OutputWay {
    standard_output, // to the program's own standard output, whatever it is
    in_place,        // opened where it stands and written: a device, a FIFO, an open file of /proc
    replace,         // into a temporary file in the target's folder, then renamed over the target
};

// Decides how the output at path is written, before anything is: "-", and any path that leads to
// the program's own standard output (/dev/stdout, /dev/fd/1, /proc/self/fd/1), go to it; symbolic
// links are followed, so that a link stays and the file it leads to, which target names, is
// replaced (or created, for a dangling link). 0, or the errno value that refuses the output:
// EISDIR for a folder, EACCES for a file the user may not write, or one without any write
// permission bit even for root.
int plan_output(const std::string& path, OutputWay* way, std::string* target);

// The program's standard input as a stream of its own for binary reading; a folder is refused.
FILE* open_standard_input();

// The program's standard output as a stream of its own for binary writing, so that closing it
// reports a failed write. Null, with errno set, when there is none.
FILE* open_standard_output();

// Creates the temporary file that will replace target, in target's folder under a short name of
// its own, with the permission bits (and, where allowed, the owner) of the file it replaces. Until
// it is renamed or removed, any ending of the program that can be caught removes it: a signal
// that ends the program, or exit(). Null, with errno set, on failure.
FILE* create_temporary(const std::string& target, std::string* temp);

// size bytes at data as a stream to read, for code that reads a FILE: in memory where the system
// can (POSIX's fmemopen), else in a temporary file that goes when the stream is closed. The bytes
// must outlive the stream. Null, with errno set, on failure.
FILE* open_bytes(const char* data, size_t size);

// A stream to write and read back in binary, gone when it is closed: tmpfile() on POSIX, a file in
// the user's temporary folder on Windows. Null, with errno set, on failure.
FILE* open_scratch();

// Text with the line ends of the platform's text files, as a stream written in text mode would
// hold it: LF as it is on POSIX, CR LF on Windows.
std::string platform_lines(const std::string& text);

// Renames a temporary file that create_temporary made over to. False, with errno set, on failure.
bool replace_file(const char* from, const char* to);

// Removes a temporary file that create_temporary made.
void remove_temporary(const std::string& temp);

// True when input ("-": standard input) and output (a path as plan_output's target, or "-" for
// standard output) are one regular file: writing the output would destroy the input.
bool same_regular_file(const std::string& input, const std::string& output);

// Removes a program's output after a failure, when its path names a regular file: a link, a
// device or a FIFO there is not the program's to remove.
void remove_output(const char* path);

// Prints a converter's message on standard output, where the converters' messages go (the
// companion programs print theirs on standard error), and returns the status to end with:
// return fail(message, failure).
int fail(const char* message, int status);

// The name a program was started with, for its usage line.
inline const char* invocation(int argc, char** argv) {
    return argc > 0 && argv[0] ? argv[0] : "";
}

// Reads the file at path ("-": standard input) into bytes, never more than limit + 1 bytes, so that
// a file too large to hold (or a device such as /dev/zero, which never ends) shows as one of more
// than limit bytes. False, with errno set (EISDIR for a folder), when it cannot be opened or read.
bool read_input(const char* path, size_t limit, std::string* bytes);

} // namespace common
