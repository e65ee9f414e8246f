#include "bankplan/bankplan.h"

#include "binobj/module.h"
#include "common/files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace bankplan {

namespace {

// C's keywords, which no array can be called.
bool reserved(const std::string& name) {
    static const char* const words[] = {
        "auto",           "break",        "case",     "char",     "const",      "continue",
        "default",        "do",           "double",   "else",     "enum",       "extern",
        "float",          "for",          "goto",     "if",       "inline",     "int",
        "long",           "register",     "restrict", "return",   "short",      "signed",
        "sizeof",         "static",       "struct",   "switch",   "typedef",    "union",
        "unsigned",       "void",         "volatile", "while",    "_Alignas",   "_Alignof",
        "_Atomic",        "_Bool",        "_Complex", "_Generic", "_Imaginary", "_Noreturn",
        "_Static_assert", "_Thread_local"};
    for (const char* word : words)
        if (name == word) return true;
    return name.compare(0, 2, "__") == 0; // the compiler's and its library's names
}

bool c_name(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9') || reserved(name)) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    return true;
}

std::string hex(long value) {
    char text[32];
    snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

// Every name banks.h declares for an input, the symbols and the macros.
std::vector<std::string> declared(const Input& input) {
    std::vector<std::string> names{input.name, input.name + "_size", input.name + "_bank"};
    if (input.parts > 0) {
        names.push_back(input.name + "_parts");
        for (int p = 0; p < input.parts; ++p) {
            std::string part = input.name + "_" + std::to_string(p);
            names.insert(names.end(), {part, part + "_size", part + "_bank"});
        }
    }
    return names;
}

} // namespace

size_t input_limit(const Options& options) {
    long banks_available = last_bank - options.first + 1;
    return size_t(options.split ? banks_available * options.size : options.size);
}

std::string plan_layout(std::vector<Input> inputs, const Options& options, Layout* layout,
                        std::string* file) {
    *layout = Layout();
    layout->first = options.first;
    layout->size = options.size;
    file->clear();
    size_t limit = input_limit(options);
    for (Input& input : inputs) {
        *file = input.path;
        input.name = binobj::derive_identifier(input.path).substr(1);
        long size = long(input.bytes.size());
        if (size > long(limit))
            return options.split ? "more bytes than all the banks up to " +
                                       std::to_string(last_bank) + " hold"
                                 : "more than a bank's " + std::to_string(options.size) +
                                       " bytes (--split cuts it across banks)";
        if (!c_name(input.name))
            return "\"" + input.name +
                   "\" is no C name: the file name before its last \".\" must be letters, "
                   "digits and \"_\", not beginning with a digit, and no keyword";
        input.parts = size > options.size ? int((size + options.size - 1) / options.size) : 0;
        layout->inputs.push_back(std::move(input));
    }
    file->clear();

    std::map<std::string, size_t> owner;
    for (size_t i = 0; i < layout->inputs.size(); ++i) {
        for (const std::string& name : declared(layout->inputs[i])) {
            auto [at, fresh] = owner.emplace(name, i);
            if (!fresh) {
                const Input& other = layout->inputs[at->second];
                *file = layout->inputs[i].path;
                return "its name " + name + " in " + header_name + " clashes with " +
                       (at->second == i ? "one of its own parts" : other.path + "'s");
            }
        }
    }

    // The items of the plan: first the last part of each split input that does not fill its bank
    // (each in a bank of its own, the one after the input's full banks), then every whole input.
    std::vector<long> sizes;
    std::vector<size_t> item_piece;
    std::vector<Piece>& pieces = layout->pieces;
    for (size_t i = 0; i < layout->inputs.size(); ++i) {
        const Input& input = layout->inputs[i];
        long size = long(input.bytes.size());
        if (input.parts == 0) {
            pieces.push_back({i, input.name, 0, size, 0});
            continue;
        }
        for (int p = 0; p < input.parts; ++p) {
            long offset = p * options.size;
            pieces.push_back({i, input.name + "_" + std::to_string(p), offset,
                              std::min(options.size, size - offset), 0});
        }
    }
    for (size_t p = 0; p < pieces.size(); ++p) {
        const Input& input = layout->inputs[pieces[p].input];
        bool last = input.parts > 0 && pieces[p].offset + options.size >= long(input.bytes.size());
        if (last && pieces[p].size < options.size) {
            sizes.push_back(pieces[p].size);
            item_piece.push_back(p);
        }
    }
    size_t separate = sizes.size();
    for (size_t p = 0; p < pieces.size(); ++p) {
        if (layout->inputs[pieces[p].input].parts == 0) {
            sizes.push_back(pieces[p].size);
            item_piece.push_back(p);
        }
    }
    layout->plan = plan_bins(sizes, options.size, separate, options.budget);

    // Bank numbers: each split input's full banks, then the bank of its last part; then the
    // planner's other bins in its order.
    int next = options.first;
    std::vector<int> bank_of_bin(size_t(layout->plan.bins), -1);
    size_t separate_seen = 0;
    for (size_t p = 0; p < pieces.size(); ++p) {
        const Input& input = layout->inputs[pieces[p].input];
        if (input.parts == 0) continue;
        if (pieces[p].size == options.size) {
            pieces[p].bank = next++;
        } else {
            bank_of_bin[size_t(layout->plan.bin_of[separate_seen++])] = next++;
        }
    }
    for (int& bank : bank_of_bin)
        if (bank < 0) bank = next++;
    for (size_t item = 0; item < sizes.size(); ++item)
        pieces[item_piece[item]].bank = bank_of_bin[size_t(layout->plan.bin_of[item])];
    layout->banks = next - options.first;
    if (next - 1 > last_bank)
        return "the inputs need " + std::to_string(next - options.first) + " banks from bank " +
               std::to_string(options.first) + ", beyond the last, " + std::to_string(last_bank);
    return "";
}

std::string header_text(const Layout& layout) {
    std::string text = "/* Written by bankplan: the assets and their banks. Select an asset's bank"
                       " (write NAME_bank\n   to the mapper), then read NAME in the window at "
                       "0x8000. */\n#ifndef BANKPLAN_BANKS_H\n#define BANKPLAN_BANKS_H\n";
    auto declare = [&](const std::string& name, long size, int bank) {
        text += "\nextern const unsigned char " + name + "[];\n";
        text += "#define " + name + "_size " + std::to_string(size) + "u\n";
        text += "#define " + name + "_bank " + std::to_string(bank) + "\n";
    };
    for (size_t i = 0; i < layout.inputs.size(); ++i) {
        const Input& input = layout.inputs[i];
        std::vector<const Piece*> parts;
        for (const Piece& piece : layout.pieces)
            if (piece.input == i) parts.push_back(&piece);
        if (input.parts == 0) {
            declare(input.name, parts[0]->size, parts[0]->bank);
            continue;
        }
        text += "\n/* " + input.name + ": in " + std::to_string(input.parts) +
                " parts, one a bank, in consecutive banks from " + input.name + "_bank */\n";
        text += "#define " + input.name + "_size " + std::to_string(input.bytes.size()) + "u\n";
        text += "#define " + input.name + "_bank " + std::to_string(parts[0]->bank) + "\n";
        text += "#define " + input.name + "_parts " + std::to_string(input.parts) + "\n";
        // The input's name reaches its start, as a whole input's does:
        // play_sample_banked(NAME_bank, NAME) plays a sound either way.
        text += "#define " + input.name + " " + parts[0]->name + "\n";
        for (const Piece* piece : parts) declare(piece->name, piece->size, piece->bank);
    }
    text += "\n#endif\n";
    return text;
}

std::string linker_options(const Layout& layout) {
    std::string text;
    for (int bank = layout.first; bank < layout.first + layout.banks; ++bank)
        text += "-Wl-b_CODE_" + std::to_string(bank) + "=" + hex(long(bank) << 16 | 0x8000) + "\n";
    return text;
}

std::string report(const Layout& layout) {
    std::string text;
    long total = 0;
    for (int bank = layout.first; bank < layout.first + layout.banks; ++bank) {
        std::string names;
        long used = 0;
        for (const Piece& piece : layout.pieces) {
            if (piece.bank != bank) continue;
            used += piece.size;
            names += " " + piece.name + " (" + std::to_string(piece.size) + ")";
        }
        total += used;
        text += "bank " + std::to_string(bank) + ": " + std::to_string(layout.size - used) +
                " bytes free:" + names + "\n";
    }
    const Plan& plan = layout.plan;
    text += std::to_string(layout.banks) + " bank" + (layout.banks == 1 ? "" : "s") + " for " +
            std::to_string(total) + " bytes, lower bound " +
            std::to_string((total + layout.size - 1) / layout.size) + ": ";
    text += plan.optimal ? "optimal\n"
                         : "not proven optimal (first-fit decreasing: " +
                               std::to_string(plan.ffd + layout.banks - plan.bins) + ")\n";
    return text;
}

// A file's path in options.dir: the name alone for ".", as messages and banks.lst show it.
static std::string in_dir(const Options& options, const std::string& name) {
    return (options.dir == "." ? "" : options.dir + "/") + name;
}

std::string module_path(const Options& options, const Piece& piece) {
    return in_dir(options, piece.name + ".rel");
}

std::string module_list(const Layout& layout, const Options& options) {
    // By bank, and in each bank the part of a split input first: the linker lays the modules of
    // an area out in the order it is given them, so every part begins its bank at 0x8000 and a
    // split input reads on from the end of one bank's window to the start of the next.
    std::vector<const Piece*> order;
    for (const Piece& piece : layout.pieces) order.push_back(&piece);
    std::stable_sort(order.begin(), order.end(), [&](const Piece* a, const Piece* b) {
        bool a_part = layout.inputs[a->input].parts > 0, b_part = layout.inputs[b->input].parts > 0;
        return a->bank != b->bank ? a->bank < b->bank : a_part && !b_part;
    });
    std::string text;
    for (const Piece* piece : order) text += module_path(options, *piece) + "\n";
    return text;
}

// binobj's module for a piece, written by binobj's own writer from memory, through a scratch file
// (a stream into memory is POSIX's alone), with the line ends binobj's module file would have.
static std::string make_module(const Layout& layout, const Piece& piece, std::string* module) {
    const std::string& bytes = layout.inputs[piece.input].bytes;
    binobj::Settings settings;
    settings.identifier = "_" + piece.name;
    settings.bank = std::to_string(piece.bank);
    // The writer reads a stream to its end: the piece's bytes alone.
    FILE* in = piece.size > 0 ? common::open_bytes(bytes.data() + piece.offset, size_t(piece.size))
                              : common::open_scratch();
    FILE* out = common::open_scratch();
    const char* error =
        in && out ? binobj::write_module(in, out, settings, piece.size) : "cannot write a module";
    if (in) fclose(in);
    if (!error && (fflush(out) != 0 || fseek(out, 0, SEEK_SET) != 0))
        error = "cannot write a module";
    if (!error) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, out)) > 0;) module->append(buffer, n);
        if (ferror(out)) error = "cannot write a module";
    }
    if (out) fclose(out);
    if (!error) {
        *module = common::platform_lines(*module);
        return "";
    }
    std::string reason = error;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '!')) reason.pop_back();
    return reason;
}

std::string make_outputs(const Layout& layout, const Options& options,
                         std::vector<OutputFile>* files, std::string* file) {
    files->clear();
    for (const Piece& piece : layout.pieces) {
        files->push_back({module_path(options, piece), ""});
        *file = files->back().path;
        std::string why = make_module(layout, piece, &files->back().bytes);
        if (!why.empty()) return why;
    }
    files->push_back({in_dir(options, header_name), header_text(layout)});
    files->push_back({in_dir(options, options_name), linker_options(layout)});
    files->push_back({in_dir(options, list_name), module_list(layout, options)});
    file->clear();
    return "";
}

} // namespace bankplan
