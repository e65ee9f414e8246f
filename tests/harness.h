#pragma once
// Helpers for tests that run the built programs on real files.
//
// Which tests also run against the Windows build of the programs under Wine (the test preset
// "wine") is told by one thing, the first part of a test's full name: the suite
// of a TEST or TEST_F, the instantiation of a TEST_P.
// - When it begins with a program's name ("Samplepack", "Binobj", "Palpack", "Sampleprep",
//   "Sampleunpack", "Palprep", "Palview", "Tilepack", "Bankplan", "Bankrom": the name filter of the
//   preset "wine" in CMakePresets.json), the test runs the built programs and holds on Windows too:
//   it runs under Wine as well (TEST(BinobjFails, ...), INSTANTIATE_TEST_SUITE_P(Palpack, ...)).
// - Any other test runs natively only: tests of code in-process (PackCore, Scan, OutputName...),
//   and end-to-end tests that need what only POSIX has, whose names begin with "Posix"
//   (pseudo-terminals, signals, FIFOs, devices, file size limits, bytes of 128 and more in names
//   and arguments).
// Everything else an end-to-end test needs works under Wine: relative names in the temporary
// folder, absolute /tmp paths, symbolic and hard links, /dev/full as an output. Compare the texts
// the program prints with usage_name() and line_end().
//
// Every parameterized test names its cases (ByName, or a generator of its own), so that a test's
// name is readable and the same in every build, for --gtest_filter and ctest -R.

#include <gtest/gtest.h>

#include <map>
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
// The names in a folder, sorted.
std::vector<std::string> listing(const std::string& dir);
bool exists(const std::string& path);

// Everything below a folder, by path: its kind and, for a file, its size and contents (a large
// one by its hash, to keep a failure readable). Links are not followed, and FIFOs are not opened.
std::map<std::string, std::string> snapshot(const std::string& root);

struct Result {
    int status = -1; // the exit status, or 128 + the signal that ended the program
    std::string out; // standard output
    std::string err; // standard error
};

// The path of a built program ("samplepack", "binobj", "palpack"). ASSETKIT_BIN_DIR and
// ASSETKIT_EXE_SUFFIX in the environment point the tests at another build of the programs, and
// ASSETKIT_RUNNER names a program that starts them (an emulator, for one).
std::string program(const std::string& name);

// Runs a built program in the folder cwd, with the program's path as its first argument, no
// standard input and no controlling terminal. A Windows build's console streams are text mode,
// a line feed written as CR LF: out and err come back with plain line feeds (a bare line feed
// from such a build fails the test), so expected messages read the same for every build.
// Under Wine a run that Wine itself ends before the program starts (status 1, nothing printed,
// the folder unchanged) is tried again, at most twice; each retry prints a line that begins with
// wine_retry_mark and adds a line to the file ASSETKIT_WINE_RETRIES names, which
// scripts/test-all counts.
Result run(const std::string& name, const std::vector<std::string>& args, const std::string& cwd);

constexpr const char* wine_retry_mark = "[WINE RETRY]";

// As run(), once, for a run that might never end: the program is ended by SIGALRM after seconds
// and the test fails, instead of the run stalling until CTest gives up on the whole test.
Result run_watched(const std::string& name, const std::vector<std::string>& args,
                   const std::string& cwd, unsigned seconds);

// The invocation name a program started by run() sees as its first argument and prints in its
// usage line: program(name) natively; under Wine, the DOS path on drive Z: that Wine makes of
// the program's absolute Unix path ("Z:\work\main\build\windows\bin\binobj.exe").
std::string usage_name(const std::string& name);

// The path of a file of the project's source tree, such as "examples/bell.wav": under the folder
// ASSETKIT_SOURCE_DIR names in the environment, else the one the tests were built from.
std::string source_path(const std::string& relative);

// True when the tests run against the Windows build of the programs.
bool windows_build();

// What every program's --version prints: "program (assetkit) VERSION", the copyright line of the
// project's LICENSE, and the licence.
std::string version_text(const std::string& program);

// The last line of every program's --help, which says where its manual is: the manual page, or
// for the Windows build, which has no man, the HTML page in the zip.
std::string manual_line(const std::string& program);

// The text a program writes for a line feed in a text-mode file: CR LF for Windows builds.
std::string line_end();

// Names the cases of a parameterized test by their field name.
struct ByName {
    template <class T> std::string operator()(const testing::TestParamInfo<T>& info) const {
        return info.param.name;
    }
};

// Hexadecimal byte strings, to write and compare binary files readably: "01 8F" <-> "\x01\x8F".
std::string bytes(const std::string& hex);
std::string hex(const std::string& bytes);
