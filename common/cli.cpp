#include "common/cli.h"

#include "common/files.h"
#include "common/output.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <new>

namespace cli {

namespace {

// Text from the command line as a message shows it: control bytes as ?, and quoted when it is
// empty or holds blanks, so that the reader sees where it starts and ends.
std::string shown(const char* text) {
    std::string s;
    bool blank = !*text;
    for (const char* p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == ' ' || c == '\t') blank = true;
        s += c < 0x20 || c == 0x7f ? '?' : char(c);
    }
    return blank ? "'" + s + "'" : s;
}

// "-r HZ" or "--trim DB", as the usage line and the help show an option.
std::string synopsis(const Option& o, bool both) {
    std::string s;
    if (o.letter) s = std::string("-") + o.letter;
    if (o.name && (both || !o.letter)) s += std::string(s.empty() ? "" : ", ") + "--" + o.name;
    if (o.value) s += std::string(" ") + o.value;
    return s;
}

std::vector<std::string> words(const char* text) {
    std::vector<std::string> out;
    std::string w;
    for (const char* p = text ? text : "";; ++p) {
        if (*p == ' ' || *p == '\0') {
            if (!w.empty()) out.push_back(w);
            w.clear();
            if (!*p) break;
        } else {
            w += *p;
        }
    }
    return out;
}

// The widest a line of help is: 79 columns, so that the cursor after it stays on an 80-column
// terminal's line.
constexpr size_t columns = 79;

// Text laid out in lines of at most columns, each after the first indented by indent, as the
// first is taken to start at that column: words go on while they fit, and a "\n" in the text
// breaks the line where it stands. Blanks at a line's start and runs of two or more keep their
// width, so that a list under an option stays aligned; a single blank may become a break. A word
// wider than a line stands alone on its own.
std::string wrapped(const char* text, size_t indent) {
    std::string out, pad(indent, ' ');
    size_t column = indent;
    bool first = true; // no word yet on this line
    bool fresh = true; // at the start of a line of the text
    for (const char* p = text ? text : "";;) {
        size_t blanks = strspn(p, " ");
        p += blanks;
        size_t length = strcspn(p, " \n");
        if (length) {
            size_t gap = first ? (fresh ? blanks : 0) : (blanks > 1 ? blanks : 1);
            if (!first && column + gap + length > columns) {
                out += "\n" + pad;
                column = indent;
                gap = 0;
            }
            out.append(gap, ' ');
            out.append(p, length);
            column += gap + length;
            first = false;
            fresh = false;
        }
        p += length;
        if (!*p) break;
        if (*p == '\n') {
            out += "\n" + pad;
            column = indent;
            first = true;
            fresh = true;
            ++p;
        }
    }
    return out;
}

// The usage line, wrapped under the program's name so that it fits 80 columns.
std::string usage_text(const Program& p) {
    std::string lead = std::string("usage: ") + p.name;
    std::string out = lead, line = lead;
    std::vector<std::string> parts;
    for (const Option& o : p.options) parts.push_back("[" + synopsis(o, false) + "]");
    for (const std::string& w : words(p.operands)) parts.push_back(w);
    for (const std::string& part : parts) {
        if (line.size() + 1 + part.size() > 79 && line.size() > lead.size()) {
            out += "\n" + std::string(lead.size(), ' ');
            line = std::string(lead.size(), ' ');
        }
        out += " " + part;
        line += " " + part;
    }
    return out + "\n";
}

void print_help(const Program& p) {
    std::string text = usage_text(p) + "\n";
    if (p.summary && *p.summary) text += wrapped(p.summary, 0) + "\n\n";
    struct Row {
        std::string left;
        const char* help;
    };
    std::vector<Row> rows;
    for (const Option& o : p.options)
        rows.push_back({(o.letter ? "" : "    ") + synopsis(o, true), o.help});
    rows.push_back({"-h, --help", "print this help"});
    rows.push_back({"    --version", "print the version"});
    size_t width = 0;
    for (const Row& r : rows) width = std::max(width, r.left.size());
    // A help of several lines continues under the first.
    for (const Row& r : rows)
        text += "  " + r.left + std::string(width - r.left.size() + 2, ' ') +
                wrapped(r.help, 2 + width + 2) + "\n";
    fputs((text + common::manual_pointer(p.name)).c_str(), stdout);
}

// The option a getopt value stands for: its letter, or 256 + its place.
const Option* find(const Program& p, int value) {
    for (size_t i = 0; i < p.options.size(); ++i) {
        const Option& o = p.options[i];
        if ((o.letter && o.letter == value) || int(256 + i) == value) return &o;
    }
    return nullptr;
}

void reset_getopt() {
#if defined(__APPLE__) || defined(__FreeBSD__) || defined(__NetBSD__) || defined(__OpenBSD__)
    optreset = 1;
    optind = 1;
#else
    optind = 0; // glibc, musl and MinGW start afresh, permutation state and all
#endif
}

// The reason a getopt_long '?' stands for, from the argument it stopped at.
std::string refusal(const Program& p, const char* arg) {
    if (optopt && optopt < 256 && !find(p, optopt) && optopt != 'h')
        return std::string("unknown option: -") + char(optopt);
    std::string given = arg ? arg : "";
    std::string name = given.substr(0, given.find('='));
    if (optopt) return "option takes no value: " + shown(name.c_str());
    // An unknown long option, or the beginning of more than one.
    std::string stem = name.size() > 2 ? name.substr(2) : "";
    std::vector<std::string> matches;
    std::vector<const char*> longs;
    for (const Option& o : p.options)
        if (o.name) longs.push_back(o.name);
    longs.push_back("help");
    longs.push_back("version");
    for (const char* l : longs)
        if (!stem.empty() && strncmp(l, stem.c_str(), stem.size()) == 0)
            matches.push_back(std::string("--") + l);
    if (matches.size() > 1) {
        std::string list;
        for (size_t i = 0; i < matches.size(); ++i)
            list += (i == 0 ? "" : i + 1 == matches.size() ? " or " : ", ") + matches[i];
        return "ambiguous option: " + shown(name.c_str()) + " (" + list + ")";
    }
    return "unknown option: " + shown(name.c_str());
}

// What an empty value for an option should have been, from the value's name: "a file name" for
// FILE, "a folder name" for DIR, "a name or a file name" for NAME|FILE; "" for other values.
std::string path_expected(const char* value) {
    std::string text = value ? value : "", expected;
    bool path = false;
    for (size_t start = 0; start <= text.size();) {
        size_t bar = text.find('|', start);
        std::string part = text.substr(start, bar == std::string::npos ? bar : bar - start);
        std::string what = part == "FILE"  ? "a file name"
                           : part == "DIR" ? "a folder name"
                                           : "a name";
        path = path || part == "FILE" || part == "DIR";
        expected += (expected.empty() ? "" : " or ") + what;
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return path ? expected : "";
}

std::string bound(double v) {
    char text[64];
    snprintf(text, sizeof text, "%.15g", v);
    return text;
}

} // namespace

int usage_error(const Program& program, const std::string& reason) {
    fprintf(stderr, "%s: %s\n%s", program.name, reason.c_str(), usage_text(program).c_str());
    return 2;
}

int read_flags(const Program& program, int argc, char** argv, std::vector<std::string>* operands) {
    std::string letters = ":h";
    std::vector<option> longs;
    for (size_t i = 0; i < program.options.size(); ++i) {
        const Option& o = program.options[i];
        int value = o.letter ? o.letter : int(256 + i);
        if (o.letter) letters += std::string(1, o.letter) + (o.value ? ":" : "");
        if (o.name)
            longs.push_back({o.name, o.value ? required_argument : no_argument, nullptr, value});
    }
    const int version = int(256 + program.options.size());
    longs.push_back({"help", no_argument, nullptr, 'h'});
    longs.push_back({"version", no_argument, nullptr, version});
    longs.push_back({nullptr, 0, nullptr, 0});

    reset_getopt();
    opterr = 0; // the messages are the toolkit's own
    for (;;) {
        int index = -1;
        int c = getopt_long(argc, argv, letters.c_str(), longs.data(), &index);
        if (c == -1) break;
        if (c == 'h') {
            print_help(program);
            return 0;
        }
        if (c == version) return common::print_version(program.name);
        // The option as it was given: by its long name or its letter.
        std::string given = index >= 0 ? std::string("--") + longs[size_t(index)].name
                                       : std::string("-") + char(c == ':' || c == '?' ? optopt : c);
        if (c == ':') {
            const Option* o = find(program, optopt);
            bool as_long = optind > 0 && optind <= argc && strncmp(argv[optind - 1], "--", 2) == 0;
            if (o && o->name && (as_long || !o->letter)) given = std::string("--") + o->name;
            return usage_error(program, "option needs a value: " + given);
        }
        if (c == '?')
            return usage_error(program, refusal(program, optind > 0 ? argv[optind - 1] : nullptr));
        const Option* o = find(program, c);
        if (!o) return usage_error(program, "unknown option: " + given);
        // An empty path would name nothing, or fall back to a default the user did not mean.
        std::string expected = path_expected(o->value);
        std::string why = o->value && !*optarg && !expected.empty() ? "expected " + expected
                          : o->take                                 ? o->take(optarg)
                                                                    : "";
        if (!why.empty())
            return usage_error(program, given + (o->value ? " " + shown(optarg) : "") + ": " + why);
    }
    std::vector<std::string> rest(argv + (optind < argc ? optind : argc), argv + argc);
    int count = int(rest.size());
    std::vector<std::string> names = words(program.operands);
    // Plain names ("INPUT OUTPUT") are named one by one; a pattern ("FILE...") is not.
    bool plain = true;
    for (const std::string& n : names)
        if (n.find_first_of("[]|") != std::string::npos || n.find("...") != std::string::npos)
            plain = false;
    for (size_t i = 0; i < rest.size() && int(i) <= program.max_operands; ++i)
        if (rest[i].empty())
            return usage_error(program, std::string("empty operand") +
                                            (plain && i < names.size() ? ": " + names[i] : ""));
    if (count > program.max_operands)
        return usage_error(program,
                           "extra operand: " + shown(rest[size_t(program.max_operands)].c_str()));
    if (count < program.min_operands) {
        plain = plain && int(names.size()) >= program.min_operands;
        std::string missing;
        for (int i = count; plain && i < program.min_operands; ++i)
            missing += " " + names[size_t(i)];
        if (!plain) return usage_error(program, "missing operand");
        return usage_error(program,
                           std::string(program.min_operands - count > 1 ? "missing operands:"
                                                                        : "missing operand:") +
                               missing);
    }
    *operands = rest;
    return go_on;
}

int run(const char* program, const std::function<int()>& work) {
    int status;
    try {
        status = work();
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "%s: out of memory\n", program);
        status = 1;
    }
    if (int err = common::close_standard_output()) {
        complain(program, "standard output", strerror(err));
        if (status == 0) status = 1;
    }
    return status;
}

std::string read_integer(const char* text, long long min, long long max, long long* value) {
    std::string why =
        "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max);
    // Digits after an optional sign, nothing else: no blanks, no hexadecimal, no exponent.
    const char* p = text;
    if (*p == '+' || *p == '-') ++p;
    if (!*p) return why;
    for (const char* d = p; *d; ++d)
        if (*d < '0' || *d > '9') return why;
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(text, &end, 10);
    if (errno == ERANGE || *end || v < min || v > max) return why;
    *value = v;
    return "";
}

std::string read_number(const char* text, double min, double max, double* value) {
    std::string why = "expected a number from " + bound(min) + " to " + bound(max);
    // Decimal digits, a point and an exponent: strtod's hexadecimal, "inf" and "nan" are not
    // numbers a user means, and blanks are refused as with whole numbers.
    const char* p = text;
    if (*p == '+' || *p == '-') ++p;
    bool digit = false;
    for (const char* d = p; *d; ++d) {
        if (*d >= '0' && *d <= '9')
            digit = true;
        else if (!strchr(".eE+-", *d))
            return why;
    }
    if (!digit) return why;
    errno = 0;
    char* end = nullptr;
    double v = strtod(text, &end);
    if (end == text || *end) return why;
    // Underflow still gives a finite number, the nearest there is (1e-320 is a denormal, 1e-400
    // is 0); only overflow to infinity is out of range.
    if (errno == ERANGE && std::isinf(v)) return why;
    if (!std::isfinite(v) || v < min || v > max) return why;
    *value = v;
    return "";
}

void complain(const char* program, const std::string& file, const std::string& reason) {
    fprintf(stderr, "%s: %s: %s\n", program, file.c_str(), reason.c_str());
}

void note(const char* program, const std::string& file, const std::string& note) {
    fprintf(stderr, "%s: %s: %s\n", program, file.c_str(), note.c_str());
}

void warn(const char* program, const std::string& file, const std::string& reason) {
    complain(program, file, "warning: " + reason);
}

} // namespace cli
