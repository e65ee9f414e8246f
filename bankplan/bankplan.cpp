#include "bankplan/bankplan.h"

#include "binobj/module.h"
#include "common/files.h"
#include "common/output.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace bankplan {

namespace {

// C's keywords, which no array can be called.
bool reserved(const std::string& name) {
    static const char* const words[] = {
        "auto", "break", "case", "char", "const", "continue", "default", "do", "double", "else",
        "enum", "extern", "float", "for", "goto", "if", "inline", "int", "long", "register",
        "restrict", "return", "short", "signed", "sizeof", "static", "struct", "switch",
        "typedef", "union", "unsigned", "void", "volatile", "while", "_Alignas", "_Alignof",
        "_Atomic", "_Bool", "_Complex", "_Generic", "_Imaginary", "_Noreturn", "_Static_assert",
        "_Thread_local"};
    for (const char* word : words)
        if (name == word) return true;
    return name.compare(0, 2, "__") == 0; // the compiler's and its library's names
}

bool c_name(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9') || reserved(name)) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
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

bool plan_layout(const std::vector<std::string>& paths, const Options& options, Layout* layout,
                 Failure* failure) {
    *layout = Layout();
    layout->first = options.first;
    layout->size = options.size;
    long banks_available = last_bank - options.first + 1;
    for (const std::string& path : paths) {
        Input input;
        input.path = path;
        input.name = derive_identifier(path).substr(1);
        // One more byte than the most that could be placed, so that a larger file shows as such.
        size_t limit = size_t(options.split ? banks_available * options.size : options.size);
        if (!read_input(path.c_str(), limit, &input.bytes)) {
            *failure = {path, strerror(errno)};
            return false;
        }
        long size = long(input.bytes.size());
        if (size > long(limit)) {
            *failure = {path, options.split
                                  ? "more bytes than all the banks up to " +
                                        std::to_string(last_bank) + " hold"
                                  : "more than a bank's " + std::to_string(options.size) +
                                        " bytes (--split cuts it across banks)"};
            return false;
        }
        if (!c_name(input.name)) {
            *failure = {path, "\"" + input.name +
                                  "\" is no C name: the file name before its last \".\" must be "
                                  "letters, digits and \"_\", not beginning with a digit, and "
                                  "no keyword"};
            return false;
        }
        if (size > options.size) input.parts = int((size + options.size - 1) / options.size);
        layout->inputs.push_back(std::move(input));
    }

    std::map<std::string, size_t> owner;
    for (size_t i = 0; i < layout->inputs.size(); ++i) {
        for (const std::string& name : declared(layout->inputs[i])) {
            auto [at, fresh] = owner.emplace(name, i);
            if (!fresh) {
                const Input& other = layout->inputs[at->second];
                *failure = {layout->inputs[i].path,
                            "its name " + name + " in " + header_name + " clashes with " +
                                (at->second == i ? "one of its own parts" : other.path + "'s")};
                return false;
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
    if (next - 1 > last_bank) {
        *failure = {"", "the inputs need " + std::to_string(next - options.first) +
                            " banks from bank " + std::to_string(options.first) +
                            ", beyond the last, " + std::to_string(last_bank)};
        return false;
    }
    return true;
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

std::string module_path(const Options& options, const Piece& piece) {
    return (options.dir == "." ? "" : options.dir + "/") + piece.name + ".rel";
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

bool write_outputs(const Layout& layout, const Options& options, Failure* failure) {
    struct Planned {
        std::string path;
        std::string text;  // for the header and the options
        const Piece* piece; // for a module
    };
    std::vector<Planned> outputs;
    for (const Piece& piece : layout.pieces) outputs.push_back({module_path(options, piece), "", &piece});
    outputs.push_back({options.dir + "/" + header_name, header_text(layout), nullptr});
    outputs.push_back({options.dir + "/" + options_name, linker_options(layout), nullptr});
    outputs.push_back({options.dir + "/" + list_name, module_list(layout, options), nullptr});

    // An output that would replace an input is refused before anything is written.
    for (const Planned& out : outputs)
        for (const Input& input : layout.inputs)
            if (same_file(input.path.c_str(), out.path.c_str())) {
                *failure = {out.path, "is the input"};
                return false;
            }

    std::vector<std::unique_ptr<Output>> files;
    for (const Planned& out : outputs) {
        files.push_back(std::make_unique<Output>(out.path));
        FILE* f = files.back()->open();
        if (!f) {
            *failure = {out.path, strerror(errno)};
            return false;
        }
        if (!out.piece) {
            if (fwrite(out.text.data(), 1, out.text.size(), f) != out.text.size()) {
                *failure = {out.path, strerror(errno)};
                return false;
            }
            continue;
        }
        const Piece& piece = *out.piece;
        const std::string& bytes = layout.inputs[piece.input].bytes;
        Settings settings;
        settings.identifier = "_" + piece.name;
        settings.bank = std::to_string(piece.bank);
        // binobj's writer reads a stream to its end: the piece's bytes alone, from memory.
        FILE* in = open_bytes(bytes.data() + piece.offset, size_t(piece.size));
        const char* error = in ? write_module(in, f, settings, piece.size) : "cannot read from memory";
        if (in) fclose(in);
        if (error) {
            std::string reason = error;
            while (!reason.empty() && (reason.back() == '\n' || reason.back() == '!')) reason.pop_back();
            *failure = {out.path, reason};
            return false;
        }
    }
    for (size_t i = 0; i < files.size(); ++i)
        if (!files[i]->commit()) {
            *failure = {outputs[i].path, strerror(errno)};
            return false;
        }
    return true;
}

} // namespace bankplan
