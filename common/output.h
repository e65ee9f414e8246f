#pragma once
// Output of the companion programs: it appears at its path only when it is complete. A file is
// written to a temporary file in its own folder and renamed into place; anything not committed
// is removed, so a failed run never leaves a partial file. Symbolic links are followed: the link
// stays and the file it leads to is replaced, keeping its permission bits. "-" and any path that
// names the program's own standard output write to it; a device or a FIFO (/dev/null, /dev/full,
// a pipe to a player) is written where it is.

#include <cstdio>
#include <string>
#include <vector>

namespace common {

// Who named an output: the user, who may name a device or a FIFO to write to, or the program
// itself (a file in a folder the user named), which writes only a new or a regular file there.
enum class Named { by_user, by_program };

class Output {
  public:
    explicit Output(std::string path, Named named = Named::by_user)
        : path_(std::move(path)), named_(named) {}
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Creates the file to write; null, with errno set and why() told, when it cannot be created,
    // when the output would destroy one of inputs (paths, "-" for standard input), or when the
    // program named it and it is no regular file.
    FILE* open(const std::vector<std::string>& inputs = {});
    // Closes the stream and puts the file in place. False, with errno set and why() told, when
    // any write, the flush, the close or the rename failed; the temporary file is then removed.
    bool commit();
    // Why open() or commit() failed, as the message after "program: path: ".
    const std::string& why() const { return why_; }

  private:
    FILE* fail(int err, std::string why);

    std::string path_;
    Named named_;
    std::string target_; // the file path_ leads to
    std::string temp_;   // empty when writing directly
    std::string why_;
    FILE* file_ = nullptr;
    bool done_ = false;
};

// "program (assetkit) VERSION" on standard output, then the copyright line and the licence, as
// GNU programs give them. Returns the status for it, 0.
int print_version(const char* program);

// The line of --help that points to the full manual of the program: its manual page, or on
// Windows, where there is no man, the HTML page that the zip holds beside the programs.
std::string manual_pointer(const char* program);

} // namespace common
