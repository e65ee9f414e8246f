#pragma once
// The command line of every companion program: one skeleton, so that all of them take the same
// --help, --version and "-", and say the same words for the same mistakes. A program declares
// its name, operands, help and options; read_flags() parses them with getopt_long and hands back
// a status to exit with, or go_on.
//
// Cores report failures one way: a std::string that is empty on success and otherwise holds the
// reason, which main prints as "program: file: reason".

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace cli {

// read_flags() returns this when the program should go on with its work.
constexpr int go_on = -1;

// One option. take() is called with the value (null for a flag) and returns "" when it is taken,
// else the reason for a usage error ("expected 12 or 15"); read_flags() names the option.
struct Option {
    const char* name;  // long name, without "--"
    char letter;       // one-letter name, or 0 (never 'h', which is --help's)
    const char* value; // the value's name in the help ("HZ"), or null for a flag; a value named
                       // FILE or DIR (or NAME|FILE) is a path, refused empty by read_flags()
    const char* help;  // its text in --help, which the skeleton wraps; a "\n" breaks a line
    std::function<std::string(const char* value)> take;
};

struct Program {
    const char* name;     // "sampleprep": the name in every message
    const char* operands; // "INPUT OUTPUT": the operands as the usage line shows them
    const char* summary;  // what the program does, for --help, wrapped by the skeleton
    std::vector<Option> options;
    int min_operands = 2;
    int max_operands = 2;
};

// Parses the command line with getopt_long: options may stand anywhere among the operands, "--"
// ends them, and a long option may be shortened to any beginning no other shares. -h, --help and
// --version print on standard output and give 0: the help is the usage line (each option by its
// letter where it has one, then the operands), the summary, the lines for each option and where
// the manual is (manual_pointer), every line within 80 columns; the version is print_version's.
// Every mistake prints "program: reason" and the usage line on standard error and gives 2, in
// the same words for every program:
//   unknown option: --frobnicate          (or -x)
//   ambiguous option: --d (--dac or --dc)
//   option needs a value: --rate          (or -r, as it was given)
//   option takes no value: --verbose
//   --rate abc: expected a number from 1 to 1000000     (the option, its value, take()'s reason)
//   missing operand: OUTPUT               (missing operands: INPUT OUTPUT)
//   extra operand: third.wav
//   --output '': expected a file name     (an empty path, which no program would find)
//   empty operand: OUTPUT                 (every operand is a file)
// Otherwise go_on, with the operands in *operands ("-" stays "-": standard input or output).
int read_flags(const Program& program, int argc, char** argv, std::vector<std::string>* operands);

// Runs the whole of a companion's main, work, and ends it as every program of the house ends:
// running out of memory is "program: out of memory" and status 1; standard output is flushed and
// closed, and a write to it that failed (a full disk, /dev/full), which would otherwise be lost,
// is "program: standard output: reason" and status 1 where work gave 0. Returns the status.
int run(const char* program, const std::function<int()>& work);

// A mistake in a command line that read_flags() took, found afterwards ("--snap needs --depth"):
// "program: reason" and the usage line on standard error, as read_flags() says its own. Returns
// the status for it, 2.
int usage_error(const Program& program, const std::string& reason);

// Reads a whole decimal number from min to max: digits after an optional sign, nothing else (no
// blanks, no 0x). "" when taken, else the reason, the same for junk and for a number out of
// range: "expected a whole number from 1 to 65535".
std::string read_integer(const char* text, long long min, long long max, long long* value);

// Reads a finite decimal number from min to max (digits, a point, an exponent; no hexadecimal,
// inf or nan; a number too small to hold, such as 1e-400, is the nearest there is). "" when
// taken, else the reason: "expected a number from 1 to 1000000".
std::string read_number(const char* text, double min, double max, double* value);

// "program: file: reason" on standard error.
void complain(const char* program, const std::string& file, const std::string& reason);

// "program: file: note" on standard error: what -v tells of a run, as the run goes.
void note(const char* program, const std::string& file, const std::string& note);

// "program: file: warning: reason" on standard error: the result is made, but may surprise.
void warn(const char* program, const std::string& file, const std::string& reason);

} // namespace cli
