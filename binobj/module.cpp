#include "binobj/module.h"
#include "binobj/messages.h"
#include "common/paths.h"

#include <cstring>

namespace binobj {

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

int hex_digit(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_address(const char* arg) {
    return arg[0] == '0' && (arg[1] == 'x' || arg[1] == 'X');
}

// Letters, digits and "_" only: the linker ends an area name at any other character.
bool valid_bank(const std::string& bank) {
    for (char c : bank)
        if (!is_digit(c) && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && c != '_')
            return false;
    return true;
}

const char digits[] = "0123456789ABCDEF";

char* put_byte(char* p, unsigned b) {
    *p++ = ' ';
    *p++ = digits[(b >> 4) & 15];
    *p++ = digits[b & 15];
    return p;
}

} // namespace

uint16_t read_address(const char* arg) {
    const char* p = is_address(arg) ? arg + 2 : arg;
    uint32_t value = 0;
    for (int d; (d = hex_digit(*p)) >= 0; ++p)
        value = value > (0xFFFFFFFFu - uint32_t(d)) / 16 ? 0xFFFFFFFFu : value * 16 + uint32_t(d);
    return uint16_t(value);
}

bool bank_counts(const char* arg) {
    uint32_t value = 0;
    for (const char* p = arg; is_digit(*p); ++p) value = value * 10 + uint32_t(*p - '0');
    return int32_t(value) > 0;
}

std::string derive_identifier(std::string_view path) {
    std::string_view name = common::file_name(path);
    return "_" + std::string(name.substr(0, name.rfind('.')));
}

Settings read_settings(int argc, const char* const* argv) {
    Settings s;
    bool named = false;
    for (int i = 2; i < argc; ++i) {
        const char* arg = argv[i];
        if (is_address(arg)) {
            s.address = read_address(arg); // the last one counts
        } else if (is_digit(arg[0])) {
            if (s.bank.empty())
                s.bank = arg; // the first one counts, whether it names a bank or not
        } else if (!named) {
            s.identifier = std::string("_") + arg; // as typed, an empty argument included
            named = true;
        }
    }
    if (!named) s.identifier = derive_identifier(argc > 1 ? argv[1] : "");
    return s;
}

const std::string* area_bank(const Settings& settings) {
    if (settings.address != no_address || settings.bank.empty()) return nullptr;
    return bank_counts(settings.bank.c_str()) ? &settings.bank : nullptr;
}

const char* measure(FILE* in, long* size) {
    // A pipe or a FIFO cannot be sought, so its size cannot be known before the data is read.
    if (fseek(in, 0, SEEK_END) != 0) return read_error;
    long end = ftell(in);
    if (end < 0) return too_large; // seekable, but past what a long can hold
    if (fseek(in, 0, SEEK_SET) != 0) return read_error;
    *size = end;
    return nullptr;
}

const char* check(const Settings& settings, long size) {
    if (size > largest_input) return too_large;
    // Data at an address must end by the top of memory: past it the linker would lay the rest
    // over address 0 without a word.
    if (settings.address != no_address && settings.address + size > 0x10000) return too_large;
    const std::string* bank = area_bank(settings);
    if (bank && !valid_bank(*bank)) return invalid_bank;
    return nullptr;
}

const char* write_module(FILE* in, FILE* out, const Settings& settings, long size) {
    bool absolute = settings.address != no_address;
    const std::string* bank = area_bank(settings);
    char number[32];

    std::string head = "XL\nH 1 areas 1 global symbols\nM " + settings.identifier + "\n";
    snprintf(number, sizeof number, " size %lX flags %X\n", static_cast<unsigned long>(size),
             absolute ? 12u : 0u);
    head += absolute ? "A _ABS" : bank ? "A _CODE_" + *bank : "A _CODE";
    head += number;
    // The linker reads the symbol's value relative to the area's base, which is 0 for the
    // absolute area: there the symbol carries the address itself.
    snprintf(number, sizeof number, " Def%04X\n", absolute ? unsigned(settings.address) : 0u);
    head += "S " + settings.identifier + number;
    if (fwrite(head.data(), 1, head.size(), out) != head.size()) return write_error;

    // One data record of up to 14 bytes and its empty relocation record, formatted in one go.
    unsigned char piece[14];
    char line[7 + 3 * sizeof piece + 15];
    uint16_t at = absolute ? settings.address : 0;
    // Exactly the measured bytes, as the area line promises: fewer (a file that shrank) or more
    // (a file that grew, a file under /proc that measures 0, a device that never ends) would
    // give the linker an area that disagrees with its records.
    unsigned long left = size > 0 ? static_cast<unsigned long>(size) : 0;
    while (left > 0) {
        size_t want = left < sizeof piece ? size_t(left) : sizeof piece;
        size_t n = fread(piece, 1, want, in);
        if (n < want) return read_error;
        char* p = line;
        *p++ = 'T';
        p = put_byte(p, at & 0xFF);
        p = put_byte(p, at >> 8);
        for (size_t i = 0; i < n; ++i) p = put_byte(p, piece[i]);
        memcpy(p, "\nR 00 00 00 00\n", 15);
        p += 15;
        size_t length = size_t(p - line);
        if (fwrite(line, 1, length, out) != length) return write_error;
        at = uint16_t(at + n); // the end of the data was checked to fit below 0x10000
        left -= n;
    }
    if (fgetc(in) != EOF || ferror(in)) return read_error;
    return nullptr;
}

} // namespace binobj
