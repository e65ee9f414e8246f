#pragma once
// bankplan's core: inputs read whole, cut where they are larger than a bank, placed into banks by
// the planner, then made into one object module for each piece, the C header banks.h, the linker
// options banks.opt and the module list banks.lst. It touches no file: main reads the inputs and
// writes what it makes, so that tests and fuzzers call it on bytes alone.

#include "bankplan/plan.h"
#include "machines/mapper.h"

#include <string>
#include <vector>

namespace bankplan {

constexpr long largest_bank_size = machines::mapper_size; // the mapper's window holds a bank
constexpr int last_bank = machines::last_bank; // the bank number: bits 16 to 23 of the address
constexpr const char* header_name = "banks.h";
constexpr const char* options_name = "banks.opt";
constexpr const char* list_name = "banks.lst";

struct Options {
    long size = largest_bank_size;    // bytes a bank
    int first = machines::first_bank; // the number of the first bank
    std::string dir = ".";
    bool split = false;
    bool verbose = false;
    long budget = default_budget;
    std::vector<std::string> reserved; // names the program around banks.h keeps
};

// Adds the names of a list split by commas ("mapper,main") to *reserved (--reserve): "" when
// taken, else the reason, for a list that is not all C names.
std::string read_reserved(const std::string& list, std::vector<std::string>* reserved);

// One piece of an input in one bank: the whole input, or a part of a split one.
struct Piece {
    size_t input = 0;
    std::string name; // the C name, which the symbol carries with "_" in front
    long offset = 0;  // where in the input the piece begins
    long size = 0;
    int bank = 0;
};

struct Input {
    std::string path;
    std::string name; // the C name, from the file name as binobj derives it
    std::string bytes;
    int parts = 0; // 0 when whole; the number of pieces when split
};

struct Layout {
    std::vector<Input> inputs;
    std::vector<Piece> pieces; // in the order of the inputs, parts in order
    Plan plan;
    int first = 2;
    int banks = 0; // the banks used, from first on: the split inputs' full ones and the plan's
    long size = largest_bank_size;
};

// The most bytes an input can hold: a bank's, or with options.split all the banks' from the first.
// main reads one more, so that a larger input shows as such.
size_t input_limit(const Options& options);

// Settles the layout of the inputs (their path and bytes; name and parts are found here). "" when
// settled, else the reason, with the input it concerns in *file: an input too
// large without options.split, a name C cannot take, one that clashes with another input's, a
// name the program around banks.h already uses (the players' header's, a macro of C's library,
// options.reserved), more banks than there are (the first input in a bank beyond the last).
std::string plan_layout(std::vector<Input> inputs, const Options& options, Layout* layout,
                        std::string* file);

// The contents of banks.h, of banks.opt, of banks.lst and of the report.
std::string header_text(const Layout& layout);
std::string linker_options(const Layout& layout);
std::string module_list(const Layout& layout, const Options& options);
std::string report(const Layout& layout);

// A file to write: its path in options.dir and its bytes.
struct OutputFile {
    std::string path;
    std::string bytes;
};

// Every module, banks.h, banks.opt and banks.lst, in memory, for main to write all or none of.
// "" when made, else the reason, with the file it concerns in *file.
std::string make_outputs(const Layout& layout, const Options& options,
                         std::vector<OutputFile>* files, std::string* file);

// The module's path for a piece: NAME.rel in options.dir (the name alone for ".").
std::string module_path(const Options& options, const Piece& piece);

} // namespace bankplan
