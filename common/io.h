#pragma once
// A program's inputs and outputs, as every companion program reads and writes them: "-" for
// standard input and output, a folder refused in the same words, an output all or nothing
// (common/output.h), and "program: file: reason" for what fails.

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace common {

// Opens an input to read as a stream ("-" is standard input), for a program that reads it in
// pieces. Null when it cannot be opened, with the reason in *why ("Is a directory" for a folder).
FILE* open_input(const std::string& path, std::string* why);

// Reads a whole input ("-" is standard input) of at most limit bytes. "" when read, else the
// reason. Folders, and files or devices larger than limit, are refused: the reason is then
// "larger than 64 KiB" (see size_text), for the caller to add what the input should have been,
// and bytes holds the first limit + 1 bytes.
std::string read_file(const std::string& path, size_t limit, std::string* bytes);

// A size as messages give it: "64 MiB", "64 KiB", "1048562 bytes".
std::string size_text(size_t bytes);

// Writes bytes as the program's output at path, all or nothing, through the same code as the
// Output class (common/output.h): "-" and paths that name the program's own standard output are
// written to it directly, as are devices and FIFOs; a file is replaced only once the new one is
// complete, through a temporary file in its own folder that is removed on any failure or caught
// signal. A symbolic link stays, and the file it leads to is replaced, keeping its permission
// bits; a file the user may not write, or without any write bit (even for root), is refused, as
// is a folder. An output that is one of the run's inputs ("-" for standard input) is refused
// before anything is written: "program: OUTPUT: is the same file as the input INPUT". Returns 0,
// or 1 after complaining "program: OUTPUT: reason".
int write_output(const char* program, const std::string& path, const std::string& bytes,
                 const std::vector<std::string>& inputs);

// Writes several outputs (path, bytes) that the program names in a folder the user gave, all or
// nothing: every one is opened and written to its temporary file before any is put in place, so a
// refusal or a failed write (an output that is an input, a missing folder, a full disk, a path
// that is no regular file: a FIFO, a device, a link to one) leaves every path as it was. A signal
// that ends the program removes every temporary file; one that comes while they are renamed into
// place leaves the outputs renamed so far replaced and the others as they were. Returns 0, or 1
// after complaining about the first output that failed.
int write_outputs(const char* program,
                  const std::vector<std::pair<std::string, std::string>>& outputs,
                  const std::vector<std::string>& inputs);

} // namespace common
