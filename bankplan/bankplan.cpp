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
bool keyword(const std::string& name) {
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
    return false;
}

// Letters, digits and "_", not beginning with a digit.
bool identifier(const std::string& name) {
    bool ok = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
    for (char c : name)
        ok = ok && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_');
    return ok;
}

// Why name cannot be an input's C name, or "" when it can.
std::string name_fault(const std::string& name) {
    if (!identifier(name))
        return "\"" + name +
               "\" is no C name: the file name before its last \".\" must be letters, digits "
               "and \"_\", not beginning with a digit";
    if (keyword(name)) return "\"" + name + "\" is a keyword of C";
    // The compiler's and its library's names, which a program's may not clash with.
    if (name.compare(0, 2, "__") == 0)
        return "\"" + name + "\" begins with two \"_\", which C keeps for the compiler";
    return "";
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

// The names a program that includes banks.h already uses, beside the keywords, and whose they
// are: an input of one of them makes C that does not compile.
const std::vector<std::pair<const char*, const char*>>& taken_names() {
    static const std::vector<std::pair<const char*, const char*>> names = {
        {"BANKPLAN_BANKS_H", "banks.h's include guard"},
        {"bool", "a macro of stdbool.h (a keyword of C23)"},
        {"true", "a macro of stdbool.h (a keyword of C23)"},
        {"false", "a macro of stdbool.h (a keyword of C23)"},
        {"NULL", "a macro of stddef.h"},
        {"alignas", "a keyword of C23"},
        {"alignof", "a keyword of C23"},
        {"constexpr", "a keyword of C23"},
        {"nullptr", "a keyword of C23"},
        {"static_assert", "a keyword of C23"},
        {"thread_local", "a keyword of C23"},
        {"typeof", "a keyword of C23"},
        {"typeof_unqual", "a keyword of C23"},
        // The players' header, which a program that plays sounds from the banks includes.
        {"ASSETKIT_PLAYER_H", "the players' header player.h"},
        {"play_sample", "the players' header player.h"},
        {"play_sample_banked", "the players' header player.h"},
    };
    return names;
}

} // namespace

std::string read_reserved(const std::string& list, std::vector<std::string>* reserved) {
    for (size_t at = 0, end; at <= list.size(); at = end + 1) {
        end = std::min(list.find(',', at), list.size());
        std::string name = list.substr(at, end - at);
        if (!identifier(name)) return "expected C names, split by commas";
        reserved->push_back(name);
    }
    return "";
}

size_t input_limit(const Options& options) {
    long banks_available = last_bank - options.first + 1;
    return size_t(options.split ? banks_available * options.size : options.size);
}

namespace {

// The inputs' names and parts, into layout->inputs: "" when every input can be planned, else the
// reason, with the input in *file.
std::string name_inputs(std::vector<Input> inputs, const Options& options, Layout* layout,
                        std::string* file) {
    size_t limit = input_limit(options);
    for (Input& input : inputs) {
        *file = input.path;
        input.name = derive_identifier(input.path).substr(1);
        long size = long(input.bytes.size());
        if (size > long(limit))
            return options.split ? "more bytes than all the banks up to " +
                                       std::to_string(last_bank) + " hold"
                                 : "more than a bank's " + std::to_string(options.size) +
                                       " bytes (--split cuts it across banks)";
        if (std::string fault = name_fault(input.name); !fault.empty()) return fault;
        input.parts = size > options.size ? int((size + options.size - 1) / options.size) : 0;
        layout->inputs.push_back(std::move(input));
    }
    return "";
}

// Every name banks.h declares, checked against the others and against the names the program
// around it uses: "" when none clashes, else the reason, with the input in *file.
std::string check_clashes(const Layout& layout, const Options& options, std::string* file) {
    // Whose each name in banks.h is: an input's, or the program's around it.
    std::map<std::string, std::string> taken;
    for (auto& [name, whose] : taken_names()) taken.emplace(name, whose);
    for (const std::string& name : options.reserved)
        taken.emplace(name, "a name the program keeps (--reserve)");
    std::map<std::string, size_t> owner;
    for (size_t i = 0; i < layout.inputs.size(); ++i) {
        for (const std::string& name : declared(layout.inputs[i])) {
            *file = layout.inputs[i].path;
            std::string clash = "its name " + name + " in " + header_name + " clashes with ";
            if (auto t = taken.find(name); t != taken.end()) return clash + t->second;
            auto [at, fresh] = owner.emplace(name, i);
            if (!fresh)
                return clash + (at->second == i ? "one of its own parts"
                                                : layout.inputs[at->second].path + "'s");
        }
    }
    return "";
}

// The pieces of every input, into layout->pieces, and the items of the plan, the piece of each
// in *item_piece: first the last part of each split input that does not fill its bank (each in
// a bank of its own, the one after the input's full banks), then every whole input. Returns the
// items' sizes; *separate is the count of the first kind.
std::vector<long> make_items(Layout* layout, long size, std::vector<size_t>* item_piece,
                             size_t* separate) {
    std::vector<Piece>& pieces = layout->pieces;
    for (size_t i = 0; i < layout->inputs.size(); ++i) {
        const Input& input = layout->inputs[i];
        long bytes = long(input.bytes.size());
        if (input.parts == 0) {
            pieces.push_back({i, input.name, 0, bytes, 0});
            continue;
        }
        for (int p = 0; p < input.parts; ++p) {
            long offset = p * size;
            pieces.push_back({i, input.name + "_" + std::to_string(p), offset,
                              std::min(size, bytes - offset), 0});
        }
    }
    std::vector<long> sizes;
    for (size_t p = 0; p < pieces.size(); ++p) {
        const Input& input = layout->inputs[pieces[p].input];
        bool last = input.parts > 0 && pieces[p].offset + size >= long(input.bytes.size());
        if (last && pieces[p].size < size) {
            sizes.push_back(pieces[p].size);
            item_piece->push_back(p);
        }
    }
    *separate = sizes.size();
    for (size_t p = 0; p < pieces.size(); ++p) {
        if (layout->inputs[pieces[p].input].parts == 0) {
            sizes.push_back(pieces[p].size);
            item_piece->push_back(p);
        }
    }
    return sizes;
}

// Bank numbers, from layout->first: each split input's full banks, then the bank of its last
// part; then the planner's other bins in its order. Sets layout->banks.
void number_banks(Layout* layout, const std::vector<size_t>& item_piece) {
    std::vector<Piece>& pieces = layout->pieces;
    const Plan& plan = layout->plan;
    int next = layout->first;
    std::vector<int> bank_of_bin(size_t(plan.bins), -1);
    size_t separate_seen = 0;
    for (Piece& piece : pieces) {
        if (layout->inputs[piece.input].parts == 0) continue;
        if (piece.size == layout->size)
            piece.bank = next++;
        else
            bank_of_bin[size_t(plan.bin_of[separate_seen++])] = next++;
    }
    for (int& bank : bank_of_bin)
        if (bank < 0) bank = next++;
    for (size_t item = 0; item < item_piece.size(); ++item)
        pieces[item_piece[item]].bank = bank_of_bin[size_t(plan.bin_of[item])];
    layout->banks = next - layout->first;
}

} // namespace

std::string plan_layout(std::vector<Input> inputs, const Options& options, Layout* layout,
                        std::string* file) {
    *layout = Layout();
    layout->first = options.first;
    layout->size = options.size;
    std::string why = name_inputs(std::move(inputs), options, layout, file);
    if (why.empty()) why = check_clashes(*layout, options, file);
    if (!why.empty()) return why;
    file->clear();

    std::vector<size_t> item_piece;
    size_t separate = 0;
    std::vector<long> sizes = make_items(layout, options.size, &item_piece, &separate);
    layout->plan = plan_bins(sizes, options.size, separate, options.budget);
    number_banks(layout, item_piece);

    // Beyond the last bank: named by the first input that lands there.
    for (const Piece& piece : layout->pieces)
        if (piece.bank > last_bank) {
            *file = layout->inputs[piece.input].path;
            return "lands in bank " + std::to_string(piece.bank) + ", beyond the last, " +
                   std::to_string(last_bank) + ": the inputs need " +
                   std::to_string(layout->banks) + " banks from bank " +
                   std::to_string(options.first);
        }
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
        text += "-Wl-b_CODE_" + std::to_string(bank) + "=" +
                hex(long(bank) << 16 | machines::mapper_window) + "\n";
    return text;
}

namespace {

// The pieces in the order they are linked: by bank, and in each bank the part of a split input
// first. The linker lays the modules of an area out in the order it is given them, so every part
// begins its bank at 0x8000 and a split input reads on from the end of one bank's window to the
// start of the next.
std::vector<const Piece*> link_order(const Layout& layout) {
    std::vector<const Piece*> order;
    for (const Piece& piece : layout.pieces) order.push_back(&piece);
    std::stable_sort(order.begin(), order.end(), [&](const Piece* a, const Piece* b) {
        bool a_part = layout.inputs[a->input].parts > 0, b_part = layout.inputs[b->input].parts > 0;
        return a->bank != b->bank ? a->bank < b->bank : a_part && !b_part;
    });
    return order;
}

} // namespace

std::string report(const Layout& layout) {
    std::string text;
    long total = 0;
    std::vector<const Piece*> order = link_order(layout);
    for (int bank = layout.first; bank < layout.first + layout.banks; ++bank) {
        std::string names;
        long used = 0;
        for (const Piece* piece : order) {
            if (piece->bank != bank) continue;
            used += piece->size;
            names += " " + piece->name + " (" + std::to_string(piece->size) + ")";
        }
        total += used;
        text += "bank " + std::to_string(bank) + ": " + std::to_string(layout.size - used) +
                " bytes free:" + names + "\n";
    }
    // The split inputs' full banks, which need no plan, and the plan's bound on the rest.
    const Plan& plan = layout.plan;
    long bound = std::max((total + layout.size - 1) / layout.size,
                          long(layout.banks - plan.bins + plan.strong_bound));
    text += std::to_string(layout.banks) + " bank" + (layout.banks == 1 ? "" : "s") + " for " +
            std::to_string(total) + " bytes, lower bound " + std::to_string(bound) + ": ";
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
    std::vector<const Piece*> order = link_order(layout);
    std::string text;
    for (const Piece* piece : order) text += module_path(options, *piece) + "\n";
    return text;
}

// binobj's module for a piece, written by binobj's own writer from memory, through a scratch file
// (a stream into memory is POSIX's alone), with the line ends binobj's module file would have.
static std::string make_module(const Layout& layout, const Piece& piece, std::string* module) {
    const std::string& bytes = layout.inputs[piece.input].bytes;
    Settings settings;
    settings.identifier = "_" + piece.name;
    settings.bank = std::to_string(piece.bank);
    // The writer reads a stream to its end: the piece's bytes alone.
    FILE* in = piece.size > 0 ? open_bytes(bytes.data() + piece.offset, size_t(piece.size))
                              : open_scratch();
    FILE* out = open_scratch();
    const char* error =
        in && out ? write_module(in, out, settings, piece.size) : "cannot write a module";
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
        *module = platform_lines(*module);
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
