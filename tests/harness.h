#pragma once
// Helpers for tests that run the built programs on real files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path); // fails the test when the file cannot be read
bool exists(const std::string& path);

struct Result {
    int status = -1; // the exit status, or 128 + the signal that ended the program
    std::string out; // standard output
    std::string err; // standard error
};

// The path of a built program ("samplepack", "binobj", "palpack"). TOOLKIT_BIN_DIR and
// TOOLKIT_EXE_SUFFIX in the environment point the tests at another build of the programs, and
// TOOLKIT_RUNNER names a program that starts them (an emulator, for one).
std::string program(const std::string& name);

// Runs a built program in the folder cwd, with the program's path as its first argument, no
// standard input and no controlling terminal.
Result run(const std::string& name, const std::vector<std::string>& args, const std::string& cwd);

// The text a program writes for a line feed in a text-mode file: CR LF for Windows builds.
std::string line_end();

// Hexadecimal byte strings, to write and compare binary files readably: "01 8F" <-> "\x01\x8F".
std::string bytes(const std::string& hex);
std::string hex(const std::string& bytes);
