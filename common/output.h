#pragma once
// Output of the companion programs: it appears at its path only when it is complete. It is
// written to a temporary file beside the path and renamed into place; anything not committed
// is removed, so a failed run never leaves a partial file. An output path that names a device or
// a FIFO (/dev/null, /dev/full, a pipe to a player) is written directly.

#include <cstdio>
#include <string>

class Output {
  public:
    explicit Output(std::string path) : path_(std::move(path)) {}
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Creates the file to write; null, with errno set, when it cannot be created.
    FILE* open();
    // Closes the stream and puts the file in place. False, with errno set, when any write, the
    // flush, the close or the rename failed; the temporary file is then removed.
    bool commit();

  private:
    std::string path_;
    std::string temp_; // empty when writing directly
    FILE* file_ = nullptr;
    bool done_ = false;
};

// "program: file: reason" on standard error, the way every companion program reports.
void complain(const char* program, const std::string& file, const std::string& reason);

// A command line a companion program cannot take: "program: reason" and the usage text on
// standard error. Returns the status for it, 2.
int usage_error(const char* program, const std::string& reason, const char* usage);

// "program (assetkit) VERSION" on standard output, then the copyright line and the licence, as
// GNU programs give them. Returns the status for it, 0.
int print_version(const char* program);

// The line of --help that points to the full manual of the program: its manual page, or on
// Windows, where there is no man, the HTML page that the zip holds beside the programs.
std::string manual_pointer(const char* program);
