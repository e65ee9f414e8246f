#pragma once
// bankplan's core: inputs read whole, cut where they are larger than a bank, placed into banks by
// the planner, then written as one object module for each piece, the C header banks.h and the
// linker options banks.opt.

#include "bankplan/plan.h"

#include <string>
#include <vector>

namespace bankplan {

constexpr long window = 0x4000;      // the mapper's window, 0x8000 to 0xBFFF
constexpr int last_bank = 255;       // the bank number lives in bits 16 to 23 of the address
constexpr const char* header_name = "banks.h";
constexpr const char* options_name = "banks.opt";
constexpr const char* list_name = "banks.lst";

struct Options {
    long size = window; // bytes a bank
    int first = 2;      // the number of the first bank
    std::string dir = ".";
    bool split = false;
    bool verbose = false;
    long budget = default_budget;
};

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
    std::string name;  // the C name, from the file name as binobj derives it
    std::string bytes;
    int parts = 0;     // 0 when whole; the number of pieces when split
};

struct Layout {
    std::vector<Input> inputs;
    std::vector<Piece> pieces; // in the order of the inputs, parts in order
    Plan plan;
    int first = 2;
    int banks = 0; // the banks used, from first on: the split inputs' full ones and the plan's
    long size = window;
};

// A failure: the file it concerns (empty for none) and the reason.
struct Failure {
    std::string file;
    std::string reason;
};

// Reads every input and settles the layout; false, with the failure, for an input that cannot be
// read, is too large without options.split, has a name C cannot take or clashes with another's.
bool plan_layout(const std::vector<std::string>& paths, const Options& options, Layout* layout,
                 Failure* failure);

// The contents of banks.h, of banks.opt, of banks.lst and of the report.
std::string header_text(const Layout& layout);
std::string linker_options(const Layout& layout);
std::string module_list(const Layout& layout, const Options& options);
std::string report(const Layout& layout);

// Writes every module, banks.h, banks.opt and banks.lst into options.dir; all or none of them appear.
bool write_outputs(const Layout& layout, const Options& options, Failure* failure);

// The module's path for a piece: NAME.rel in options.dir (the name alone for ".").
std::string module_path(const Options& options, const Piece& piece);

} // namespace bankplan
