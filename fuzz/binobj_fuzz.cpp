// Fuzz target for binobj. The bytes hold a command line and a file: the first byte's low three
// bits give the number of optional arguments, then come the input path and those arguments, each
// ended by a NUL byte (as in an argument vector), then the bytes of the input file. The module is
// read back and must hold exactly the file's bytes, at the addresses and in the area asked for.
// The first byte's upper five bits, when not all 0, stand for a disk that is full after 16 times
// their value bytes of the module: the run must then report "Error writing output file!".
#include "binobj/messages.h"
#include "binobj/module.h"
#include "common/files.h"
#include "common/paths.h"
#include "fuzz/support.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace binobj;

using namespace common;

namespace {

bool is_address(const std::string& arg) {
    return arg.size() >= 2 && arg[0] == '0' && (arg[1] == 'x' || arg[1] == 'X');
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The C library's reading of a hexadecimal number, saturated at 32 bits as where a long has 32.
uint16_t library_address(const std::string& arg) {
    unsigned long long v = strtoull(arg.c_str(), nullptr, 16);
    return uint16_t(v > 0xFFFFFFFFu ? 0xFFFFFFFFu : v);
}

// The settings the classification rules give: the last address, the first bank, the first
// identifier.
void check_classification(const std::vector<std::string>& args, const Settings& s) {
    uint16_t address = no_address;
    const std::string* bank = nullptr;
    const std::string* identifier = nullptr;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (is_address(a)) {
            REQUIRE(read_address(a.c_str()) == library_address(a));
            address = read_address(a.c_str());
        } else if (!a.empty() && is_digit(a[0])) {
            // Up to 19 digits the C library's reading is exact; the bank's value is its low 32
            // bits, taken as signed.
            if (std::min(a.find_first_not_of("0123456789"), a.size()) <= 19)
                REQUIRE(bank_counts(a.c_str()) ==
                        (int32_t(uint32_t(strtoull(a.c_str(), nullptr, 10))) > 0));
            if (!bank) bank = &a;
        } else if (!identifier) {
            identifier = &a;
        }
    }
    REQUIRE(s.address == address);
    REQUIRE(s.bank == (bank ? *bank : ""));
    if (identifier) REQUIRE(s.identifier == "_" + *identifier);
}

// A derived identifier is "_" and the path's file name up to its last ".": the file name ends the
// path, follows its last "/" (or, without any "/", its last "\"), and what is cut off holds no
// other ".".
void check_derived(const std::string& path, const std::string& identifier) {
    REQUIRE(identifier.size() >= 1 && identifier[0] == '_');
    std::string stem = identifier.substr(1);
    size_t sep = path.rfind('/');
    if (sep == std::string::npos) sep = path.rfind('\\');
    std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
    REQUIRE(name.compare(0, stem.size(), stem) == 0);
    std::string cut = name.substr(stem.size());
    REQUIRE(cut.empty() || (cut[0] == '.' && cut.find('.', 1) == std::string::npos));
    REQUIRE(!cut.empty() || name.find('.') == std::string::npos);
}

// The output lands beside the input: the same folder, the file name's extension replaced.
void check_output_name(const std::string& path) {
    std::string out = output_name(path, ".o");
    std::string name(file_name(path));
    std::string folder = path.substr(0, path.size() - name.size());
    REQUIRE(out.compare(0, folder.size(), folder) == 0);
    std::string stem = name.substr(0, name.rfind('.'));
    REQUIRE(out.substr(folder.size()) == stem + ".o");
}

// Reads the text at *at when it is there.
bool take(const std::string& text, size_t* at, const std::string& expected) {
    if (text.compare(*at, expected.size(), expected) != 0) return false;
    *at += expected.size();
    return true;
}

int hex_value(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One byte as " XX" in upper-case hexadecimal, or -1.
int take_byte(const std::string& text, size_t* at) {
    if (*at + 3 > text.size() || text[*at] != ' ') return -1;
    int hi = hex_value(text[*at + 1]), lo = hex_value(text[*at + 2]);
    if (hi < 0 || lo < 0) return -1;
    *at += 3;
    return hi * 16 + lo;
}

void check_module(const std::string& module, const Settings& s, const std::string& file) {
    bool absolute = s.address != no_address;
    const std::string* bank = area_bank(s);
    char line[64];
    size_t at = 0;
    REQUIRE(take(module, &at, "XL\nH 1 areas 1 global symbols\nM " + s.identifier + "\n"));
    std::string area = absolute ? "_ABS" : bank ? "_CODE_" + *bank : "_CODE";
    snprintf(line, sizeof line, " size %zX flags %s\n", file.size(), absolute ? "C" : "0");
    REQUIRE(take(module, &at, "A " + area + line));
    snprintf(line, sizeof line, " Def%04X\n", absolute ? unsigned(s.address) : 0u);
    REQUIRE(take(module, &at, "S " + s.identifier + line));

    std::string data;
    // Data at an address never passes the top of memory; without one it starts at 0 and a
    // module holds at most 0xFFFF bytes. Either way no record address wraps.
    uint32_t expected_address = absolute ? s.address : 0;
    bool short_record = false;
    while (at < module.size()) {
        REQUIRE(!short_record); // only the last record holds fewer than 14 bytes
        REQUIRE(take(module, &at, "T"));
        int lo = take_byte(module, &at), hi = take_byte(module, &at);
        REQUIRE(lo >= 0 && hi >= 0 && uint32_t(lo | hi << 8) == expected_address);
        size_t n = 0;
        for (int b; (b = take_byte(module, &at)) >= 0; ++n) data += char(b);
        REQUIRE(n >= 1 && n <= 14);
        REQUIRE(take(module, &at, "\nR 00 00 00 00\n"));
        short_record = n < 14;
        expected_address += n;
        REQUIRE(expected_address <= 0x10000);
    }
    REQUIRE(data == file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<std::string> args = {"binobj"};
    size_t at = 1;
    for (int i = 0; i < (data[0] & 7) + 1 && at < size; ++i) {
        const void* nul = memchr(data + at, 0, size - at);
        size_t end = nul ? size_t(static_cast<const uint8_t*>(nul) - data) : size;
        args.emplace_back(reinterpret_cast<const char*>(data + at), end - at);
        at = nul ? end + 1 : size;
    }
    if (args.size() < 2) return 0; // the usage line
    const uint8_t* file = data + at;
    size_t file_size = size - at;
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    Settings settings = read_settings(int(args.size()), argv.data());
    check_classification(args, settings);
    bool named = false;
    for (size_t i = 2; i < args.size(); ++i)
        named = named || args[i].empty() || !is_digit(args[i][0]);
    if (!named) check_derived(args[1], settings.identifier);
    check_output_name(args[1]);

    FILE* in = open_memory(file, file_size);
    long measured = -1;
    REQUIRE(measure(in, &measured) == nullptr);
    REQUIRE(measured == long(file_size));
    if (const char* error = check(settings, measured)) {
        const std::string* bank = area_bank(settings);
        bool invalid_bank =
            bank && bank->find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_"
                                            "abcdefghijklmnopqrstuvwxyz") != std::string::npos;
        // Too large: more than a module describes, or, at an address, past 0xFFFF from there.
        bool too_large = file_size > 0xFFFF ||
                         (settings.address != no_address && settings.address + file_size > 0x10000);
        REQUIRE(strcmp(error, too_large ? binobj::too_large : binobj::invalid_bank) == 0);
        REQUIRE(too_large || invalid_bank);
        fclose(in);
        return 0;
    }
    Written output;
    if (data[0] >> 3) output.limit = size_t(data[0] >> 3) * 16;
    FILE* out = open_sink(&output);
    const char* error = write_module(in, out, settings, measured);
    fclose(in);
    bool closed = close_output(out);
    if (output.failed) {
        REQUIRE(error ? strcmp(error, binobj::write_error) == 0 : !closed);
        return 0;
    }
    REQUIRE(closed);
    REQUIRE(error == nullptr);
    check_module(output.bytes, settings,
                 std::string(reinterpret_cast<const char*>(file), file_size));
    return 0;
}
