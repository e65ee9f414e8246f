// The command-line skeleton in-process: read_flags() on a table of command lines, the number
// readers on the texts users type, and write_output() on the files and folders it meets.
#include "common/cli.h"
#include "common/io.h"
#include "common/output.h"
#include "tests/harness.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace common;

namespace {

// What a run of read_flags() on the demo program took.
struct Taken {
    double rate = 8000;
    long long count = 1;
    bool verbose = false, dc = false;
    std::string dac = "linear";
};

cli::Program demo(Taken* t) {
    cli::Program p;
    p.name = "demo";
    p.operands = "INPUT OUTPUT";
    p.summary = "Shows what the skeleton does.";
    p.options = {
        {"rate", 'r', "HZ", "the rate",
         [t](const char* v) { return cli::read_number(v, 1, 1e6, &t->rate); }},
        {"verbose", 'v', nullptr, "say more", [t](const char*) { return t->verbose = true, ""; }},
        {"dac", 'd', "NAME|FILE", "the levels:\nlinear, psg or ay",
         [t](const char* v) { return t->dac = v, ""; }},
        {"dc", 0, nullptr, "keep the raw levels", [t](const char*) { return t->dc = true, ""; }},
        {"count", 0, "N", "how many",
         [t](const char* v) { return cli::read_integer(v, 1, 65535, &t->count); }},
    };
    return p;
}

const char* const demo_usage = "usage: demo [-r HZ] [-v] [-d NAME|FILE] [--dc] [--count N] INPUT "
                               "OUTPUT\n";

struct Parsed {
    int status;
    std::vector<std::string> operands;
    std::string out, err;
    Taken taken;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "demo");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    Parsed r;
    cli::Program p = demo(&r.taken);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    r.status = cli::read_flags(p, int(args.size()), argv.data(), &r.operands);
    r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

struct FlagCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string message; // the line before the usage line on standard error; "" for none
    std::vector<std::string> operands = {};
};

void PrintTo(const FlagCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadFlags : public testing::TestWithParam<FlagCase> {};

TEST_P(ReadFlags, SaysTheSameWordsForTheSameMistakes) {
    const FlagCase& c = GetParam();
    Parsed r = parse(c.args);
    EXPECT_EQ(r.status, c.status);
    if (c.status == 2) {
        EXPECT_EQ(r.err, "demo: " + c.message + "\n" + demo_usage);
        EXPECT_EQ(r.out, "");
    } else {
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.operands, c.operands);
    }
}

const std::vector<std::string> in_out = {"in", "out"};

INSTANTIATE_TEST_SUITE_P(
    Cli, ReadFlags,
    testing::Values(
        FlagCase{"Operands", {"in", "out"}, cli::go_on, "", in_out},
        FlagCase{
            "OptionsAmongOperands", {"in", "-v", "out", "--rate", "8000"}, cli::go_on, "", in_out},
        FlagCase{"DashIsAnOperand", {"-", "-"}, cli::go_on, "", {"-", "-"}},
        FlagCase{"DoubleDashEndsOptions", {"--", "-x", "-v"}, cli::go_on, "", {"-x", "-v"}},
        FlagCase{"UnknownLetter", {"-x", "in", "out"}, 2, "unknown option: -x"},
        FlagCase{"UnknownLetterInAGroup", {"-vx", "in", "out"}, 2, "unknown option: -x"},
        FlagCase{"UnknownLong", {"in", "out", "--frob"}, 2, "unknown option: --frob"},
        FlagCase{"UnknownLongWithValue", {"--frob=1", "in", "out"}, 2, "unknown option: --frob"},
        FlagCase{
            "Ambiguous", {"--d", "x", "in", "out"}, 2, "ambiguous option: --d (--dac or --dc)"},
        FlagCase{
            "FlagWithValue", {"--verbose=1", "in", "out"}, 2, "option takes no value: --verbose"},
        FlagCase{"MissingValueLong", {"in", "out", "--rate"}, 2, "option needs a value: --rate"},
        FlagCase{"MissingValueLetter", {"in", "out", "-r"}, 2, "option needs a value: -r"},
        FlagCase{
            "MissingValueLongOnly", {"in", "out", "--count"}, 2, "option needs a value: --count"},
        FlagCase{"BadNumberLong",
                 {"--rate", "abc", "in", "out"},
                 2,
                 "--rate abc: expected a number from 1 to 1000000"},
        FlagCase{"BadNumberLetter",
                 {"-r0", "in", "out"},
                 2,
                 "-r 0: expected a number from 1 to 1000000"},
        FlagCase{"BadNumberEmpty",
                 {"--rate=", "in", "out"},
                 2,
                 "--rate '': expected a number from 1 to 1000000"},
        FlagCase{"BadNumberAbbreviated",
                 {"--ra=1 2", "in", "out"},
                 2,
                 "--rate '1 2': expected a number from 1 to 1000000"},
        FlagCase{"BadWholeNumber",
                 {"--count", "1.5", "in", "out"},
                 2,
                 "--count 1.5: expected a whole number from 1 to 65535"},
        // An empty path names nothing: refused where a file or folder is expected.
        FlagCase{"EmptyPathValue",
                 {"--dac=", "in", "out"},
                 2,
                 "--dac '': expected a name or a file name"},
        FlagCase{"EmptyPathValueLetter",
                 {"-d", "", "in", "out"},
                 2,
                 "-d '': expected a name or a file name"},
        FlagCase{"EmptyInput", {"", "out"}, 2, "empty operand: INPUT"},
        FlagCase{"EmptyOutput", {"in", ""}, 2, "empty operand: OUTPUT"},
        FlagCase{"NoOperands", {}, 2, "missing operands: INPUT OUTPUT"},
        FlagCase{"OneOperand", {"-v", "in"}, 2, "missing operand: OUTPUT"},
        FlagCase{"ThreeOperands", {"in", "out", "more"}, 2, "extra operand: more"},
        FlagCase{"ControlBytesShown", {"in", "out", "a\tb\x1b"}, 2, "extra operand: 'a?b?'"}),
    ByName());

TEST(ReadFlags, TakesValues) {
    Parsed r = parse({"--ra=7988.4", "-vd", "psg", "--dc", "--count", "12", "in", "out"});
    ASSERT_EQ(r.status, cli::go_on) << r.err;
    EXPECT_EQ(r.taken.rate, 7988.4);
    EXPECT_TRUE(r.taken.verbose);
    EXPECT_EQ(r.taken.dac, "psg");
    EXPECT_TRUE(r.taken.dc);
    EXPECT_EQ(r.taken.count, 12);
    // A value that looks like an option is still the value.
    r = parse({"-d", "-v", "in", "out"});
    ASSERT_EQ(r.status, cli::go_on) << r.err;
    EXPECT_EQ(r.taken.dac, "-v");
    EXPECT_FALSE(r.taken.verbose);
}

TEST(ReadFlags, HelpAndVersion) {
    const std::string help = std::string(demo_usage) +
                             "\n"
                             "Shows what the skeleton does.\n"
                             "\n"
                             "  -r, --rate HZ        the rate\n"
                             "  -v, --verbose        say more\n"
                             "  -d, --dac NAME|FILE  the levels:\n"
                             "                       linear, psg or ay\n"
                             "      --dc             keep the raw levels\n"
                             "      --count N        how many\n"
                             "  -h, --help           print this help\n"
                             "      --version        print the version\n"
                             // In-process, the help ends where this platform keeps the manual.
                             "See the manual page demo(1).\n";
    for (std::vector<std::string> args :
         {std::vector<std::string>{"-h"}, {"--help"}, {"--he"}, {"in", "out", "--help"}}) {
        SCOPED_TRACE(args[0]);
        Parsed r = parse(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, help);
        EXPECT_EQ(r.err, "");
    }
    Parsed r = parse({"--version", "in"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, version_text("demo"));
    EXPECT_EQ(r.err, "");
}

TEST(ReadFlags, WrapsALongUsageLine) {
    cli::Program p;
    p.name = "long";
    p.operands = "INPUT OUTPUT";
    p.summary = "";
    for (const char* name : {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf"})
        p.options.push_back({name, 0, "VALUE", "", nullptr});
    std::vector<std::string> operands;
    char arg0[] = "long", arg1[] = "--nope";
    char* argv[] = {arg0, arg1, nullptr};
    testing::internal::CaptureStderr();
    EXPECT_EQ(cli::read_flags(p, 2, argv, &operands), 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "long: unknown option: --nope\n"
              "usage: long [--alpha VALUE] [--bravo VALUE] [--charlie VALUE] [--delta VALUE]\n"
              "            [--echo VALUE] [--foxtrot VALUE] [--golf VALUE] INPUT OUTPUT\n");
}

// Texts of help are wrapped by the skeleton at blanks, within 80 columns, each option's under its
// first line; a "\n" still breaks a line where it stands.
TEST(ReadFlags, WrapsTheHelp) {
    cli::Program p;
    p.name = "wide";
    p.operands = "FILE";
    p.summary = "A summary long enough to need two lines of help, so that the skeleton breaks it "
                "at the last blank that fits.";
    p.min_operands = 1;
    p.max_operands = 1;
    p.options = {
        {"folder", 'o', "DIR",
         "a help that runs on past the end of the line it begins, and on, and on, and "
         "then breaks\nhere",
         nullptr},
        {"word", 0, nullptr,
         "Averyveryveryveryveryveryveryveryveryveryverylongwordindeed"
         "thatfitsnowhere at all",
         nullptr},
        {"kind", 'k', "NAME", "one of\n  a       the first\n  bcd     the  second", nullptr}};
    std::vector<std::string> operands;
    char arg0[] = "wide", arg1[] = "--help";
    char* argv[] = {arg0, arg1, nullptr};
    testing::internal::CaptureStdout();
    EXPECT_EQ(cli::read_flags(p, 2, argv, &operands), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "usage: wide [-o DIR] [--word] [-k NAME] FILE\n"
              "\n"
              "A summary long enough to need two lines of help, so that the skeleton breaks it\n"
              "at the last blank that fits.\n"
              "\n"
              "  -o, --folder DIR  a help that runs on past the end of the line it begins, and\n"
              "                    on, and on, and then breaks\n"
              "                    here\n"
              "      --word        "
              "Averyveryveryveryveryveryveryveryveryveryverylongwordindeedthatfitsnowhere\n"
              "                    at all\n"
              "  -k, --kind NAME   one of\n"
              "                      a       the first\n"
              "                      bcd     the  second\n"
              "  -h, --help        print this help\n"
              "      --version     print the version\n"
              "See the manual page wide(1).\n");
}

TEST(ReadFlags, NamesTheMissingOperandsAndSaysLaterMistakesAlike) {
    struct Case {
        const char* operands;
        int min, max;
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {"INPUT OUTPUT.png", 2, 2, {"in.pal"}, "missing operand: OUTPUT.png"},
        {"INPUT [OUTPUT]", 1, 2, {}, "missing operand"},
        {"FILE...", 1, 100, {}, "missing operand"},
        {"FILE...", 1, 100, {"a", ""}, "empty operand"},
        {"INPUT [OUTPUT]", 1, 2, {"a", "b", "c"}, "extra operand: c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operands);
        cli::Program p;
        p.name = "demo";
        p.operands = c.operands;
        p.summary = "";
        p.min_operands = c.min;
        p.max_operands = c.max;
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "demo");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> operands;
        testing::internal::CaptureStderr();
        EXPECT_EQ(cli::read_flags(p, int(args.size()), argv.data(), &operands), 2);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("demo: ") + c.message + "\nusage: demo " + c.operands + "\n");
    }
    Taken t;
    testing::internal::CaptureStderr();
    EXPECT_EQ(cli::usage_error(demo(&t), "--dc needs --dac"), 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("demo: --dc needs --dac\n") + demo_usage);
}

struct IntegerCase {
    const char* text;
    bool taken;
    long long value;
};

TEST(ReadInteger, TakesDecimalWholeNumbersInRange) {
    const IntegerCase cases[] = {
        {"5", true, 5},
        {"+5", true, 5},
        {"-3", true, -3},
        {"007", true, 7},
        {"-10", true, -10},
        {"10", true, 10},
        {"11", false, 0},
        {"-11", false, 0},
        {"0x10", false, 0},
        {"010", true, 10},
        {" 5", false, 0},
        {"5 ", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"+", false, 0},
        {"1e1", false, 0},
        {"1.0", false, 0},
        {"5x", false, 0},
        {"\xef\xbc\x95", false, 0},
        {"99999999999999999999", false, 0},
        {"-99999999999999999999", false, 0},
    };
    for (const IntegerCase& c : cases) {
        SCOPED_TRACE(c.text);
        long long v = 42;
        std::string why = cli::read_integer(c.text, -10, 10, &v);
        if (c.taken) {
            EXPECT_EQ(why, "");
            EXPECT_EQ(v, c.value);
        } else {
            EXPECT_EQ(why, "expected a whole number from -10 to 10");
            EXPECT_EQ(v, 42) << "a refused text leaves the value as it was";
        }
    }
    long long v = 0;
    EXPECT_EQ(cli::read_integer("9223372036854775807", LLONG_MIN, LLONG_MAX, &v), "");
    EXPECT_EQ(v, LLONG_MAX);
    EXPECT_NE(cli::read_integer("9223372036854775808", LLONG_MIN, LLONG_MAX, &v), "");
}

struct NumberCase {
    const char* text;
    bool taken;
    double value;
};

TEST(ReadNumber, TakesFiniteDecimalNumbersInRange) {
    const NumberCase cases[] = {
        {"8000", true, 8000},
        {"7988.4", true, 7988.4},
        {"1e3", true, 1000},
        {"1E3", true, 1000},
        {".5", true, 0.5},
        {"5.", true, 5},
        {"-0", true, 0},
        {"+2.5e+1", true, 25},
        {"-1e6", true, -1e6},
        {"1e6", true, 1e6},
        {"1000000.0001", false, 0},
        {"1e400", false, 0},
        {"-1e400", false, 0},
        {"nan", false, 0},
        {"NAN", false, 0},
        {"inf", false, 0},
        {"-inf", false, 0},
        {"infinity", false, 0},
        {"0x10", false, 0},
        {"0x1p3", false, 0},
        {" 5", false, 0},
        {"5 ", false, 0},
        {"", false, 0},
        {".", false, 0},
        {"e5", false, 0},
        {"1e", false, 0},
        {"1,5", false, 0},
        {"--5", false, 0},
        {"5-", false, 0},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        double v = 42;
        std::string why = cli::read_number(c.text, -1e6, 1e6, &v);
        if (c.taken) {
            EXPECT_EQ(why, "");
            EXPECT_EQ(v, c.value);
        } else {
            EXPECT_EQ(why, "expected a number from -1000000 to 1000000");
            EXPECT_EQ(v, 42);
        }
    }
    // Numbers too small for a normal double are still finite numbers: a denormal, or zero.
    double v = 42;
    EXPECT_EQ(cli::read_number("1e-320", 0, 1, &v), "");
    EXPECT_GT(v, 0);
    EXPECT_LT(v, 1e-300);
    EXPECT_EQ(cli::read_number("-1e-400", -1, 1, &v), "");
    EXPECT_EQ(v, 0);
    EXPECT_EQ(cli::read_number("0", 0.5, 2.25, &v), "expected a number from 0.5 to 2.25");
}

// --- write_output ---

std::string mode_of(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return "missing";
    char text[16];
    snprintf(text, sizeof text, "%04o", unsigned(st.st_mode & 07777));
    return S_ISLNK(st.st_mode) ? "link" : text;
}

struct Written {
    int status;
    std::string err;
};

Written put(const std::string& path, const std::string& bytes,
            const std::vector<std::string>& inputs = {}) {
    testing::internal::CaptureStderr();
    int status = common::write_output("demo", path, bytes, inputs);
    return {status, testing::internal::GetCapturedStderr()};
}

// Runs f in a child process, as the user nobody when the tests run as root, so that permissions
// refuse what they refuse a user; returns what f returned, or why the child failed.
std::string as_user(const std::function<std::string()>& f) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return "pipe failed";
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fds[0]);
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        std::string s = f();
        if (write(pipe_fds[1], s.data(), s.size()) < 0) _exit(4);
        _exit(0);
    }
    close(pipe_fds[1]);
    std::string got;
    char buf[512];
    for (ssize_t n; (n = read(pipe_fds[0], buf, sizeof buf)) > 0;) got.append(buf, size_t(n));
    close(pipe_fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child failed with status " + std::to_string(status);
    return got;
}

TEST(WriteOutput, CreatesAndReplacesFiles) {
    TempDir t;
    mode_t mask = umask(022);
    EXPECT_EQ(put(t / "new.bin", "new").status, 0);
    EXPECT_EQ(read_file(t / "new.bin"), "new");
    EXPECT_EQ(mode_of(t / "new.bin"), "0644");
    // The replaced file keeps its permission bits.
    write_file(t / "private.bin", "old");
    ASSERT_EQ(chmod((t / "private.bin").c_str(), 0600), 0);
    EXPECT_EQ(put(t / "private.bin", "newer").status, 0);
    EXPECT_EQ(read_file(t / "private.bin"), "newer");
    EXPECT_EQ(mode_of(t / "private.bin"), "0600");
    umask(mask);
    EXPECT_EQ(listing(t.path()), (std::vector<std::string>{"new.bin", "private.bin"}));
}

TEST(WriteOutput, ReplacesWhatALinkLeadsTo) {
    TempDir t;
    ASSERT_EQ(mkdir((t / "real").c_str(), 0755), 0);
    write_file(t / "real/out.bin", "old");
    ASSERT_EQ(symlink("real/out.bin", (t / "link.bin").c_str()), 0);
    ASSERT_EQ(symlink("link.bin", (t / "link2.bin").c_str()), 0);
    EXPECT_EQ(put(t / "link2.bin", "new").status, 0);
    EXPECT_EQ(mode_of(t / "link.bin"), "link");
    EXPECT_EQ(mode_of(t / "link2.bin"), "link");
    EXPECT_EQ(read_file(t / "real/out.bin"), "new");
    EXPECT_EQ(listing(t / "real"), std::vector<std::string>{"out.bin"});
    // A dangling link: the file it names is created.
    ASSERT_EQ(symlink("real/later.bin", (t / "dangling.bin").c_str()), 0);
    EXPECT_EQ(put(t / "dangling.bin", "made").status, 0);
    EXPECT_EQ(mode_of(t / "dangling.bin"), "link");
    EXPECT_EQ(read_file(t / "real/later.bin"), "made");
    // A loop of links is no file.
    ASSERT_EQ(symlink("loop.bin", (t / "loop.bin").c_str()), 0);
    Written w = put(t / "loop.bin", "x");
    EXPECT_EQ(w.status, 1);
    EXPECT_EQ(w.err, "demo: " + (t / "loop.bin") + ": " + strerror(ELOOP) + "\n");
}

TEST(WriteOutput, RefusesWhatTheUserMayNotWrite) {
    TempDir t;
    ASSERT_EQ(chmod(t.path().c_str(), 0777), 0);
    // No write bit at all: refused even for root, who could write it.
    write_file(t / "readonly.bin", "old");
    ASSERT_EQ(chmod((t / "readonly.bin").c_str(), 0444), 0);
    Written w = put(t / "readonly.bin", "new");
    EXPECT_EQ(w.status, 1);
    EXPECT_EQ(w.err, "demo: " + (t / "readonly.bin") + ": Permission denied\n");
    EXPECT_EQ(read_file(t / "readonly.bin"), "old");
    // Another's file, writable by its owner alone, in a folder the user may write.
    write_file(t / "others.bin", "old");
    ASSERT_EQ(chmod((t / "others.bin").c_str(), 0644), 0);
    if (getuid() == 0) {
        EXPECT_EQ(as_user([&] { return put(t / "others.bin", "new").err; }),
                  "demo: " + (t / "others.bin") + ": Permission denied\n");
        EXPECT_EQ(read_file(t / "others.bin"), "old");
    }
    // A file the user may write, in a folder the user may not.
    ASSERT_EQ(mkdir((t / "locked").c_str(), 0755), 0);
    write_file(t / "locked/out.bin", "old");
    ASSERT_EQ(chmod((t / "locked/out.bin").c_str(), 0666), 0);
    ASSERT_EQ(chmod((t / "locked").c_str(), 0555), 0);
    EXPECT_EQ(as_user([&] { return put(t / "locked/out.bin", "new").err; }),
              "demo: " + (t / "locked/out.bin") + ": cannot create a file in the folder " +
                  (t / "locked") + ": Permission denied\n");
    EXPECT_EQ(read_file(t / "locked/out.bin"), "old");
    ASSERT_EQ(chmod((t / "locked").c_str(), 0755), 0);
    EXPECT_EQ(listing(t / "locked"), std::vector<std::string>{"out.bin"});
}

TEST(WriteOutput, RefusesFoldersAndPlacesThatAreNot) {
    TempDir t;
    ASSERT_EQ(mkdir((t / "dir").c_str(), 0755), 0);
    ASSERT_EQ(symlink("dir", (t / "dirlink").c_str()), 0);
    write_file(t / "file", "x");
    const struct {
        std::string path, reason;
    } cases[] = {
        {t / "dir", "Is a directory"},
        {t / "dir/", "Is a directory"},
        {t / "dir/.", "Is a directory"},
        {t / "dirlink", "Is a directory"},
        {t / "file/", "Not a directory"},
        {t / "new/", "No such file or directory"},
        {t / "no/such.bin", "No such file or directory"},
        {"", "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Written w = put(c.path, "x");
        EXPECT_EQ(w.status, 1);
        EXPECT_EQ(w.err, "demo: " + c.path + ": " + c.reason + "\n");
    }
    EXPECT_EQ(listing(t.path()), (std::vector<std::string>{"dir", "dirlink", "file"}));
    EXPECT_EQ(listing(t / "dir"), std::vector<std::string>{});
}

TEST(WriteOutput, TakesTheLongestNameTheFolderDoes) {
    TempDir t;
    std::string name(255, 'n');
    EXPECT_EQ(put(t / name, "data").status, 0);
    EXPECT_EQ(read_file(t / name), "data");
    EXPECT_EQ(listing(t.path()), std::vector<std::string>{name});
}

TEST(WriteOutput, RefusesAnOutputThatIsAnInput) {
    TempDir t;
    write_file(t / "in.wav", "input");
    write_file(t / "levels.txt", "levels");
    ASSERT_EQ(symlink("levels.txt", (t / "link.txt").c_str()), 0);
    for (const std::string& output : {t / "in.wav", t.path() + "/./levels.txt", t / "link.txt"}) {
        SCOPED_TRACE(output);
        Written w = put(output, "new", {t / "in.wav", t / "levels.txt"});
        EXPECT_EQ(w.status, 1);
        EXPECT_EQ(w.err.substr(0, 6 + output.size()), "demo: " + output);
        EXPECT_NE(w.err.find(": is the same file as the input "), std::string::npos) << w.err;
    }
    EXPECT_EQ(read_file(t / "in.wav"), "input");
    EXPECT_EQ(read_file(t / "levels.txt"), "levels");
    EXPECT_EQ(put(t / "levels.txt", "x", {t / "in.wav"}).status, 0);
    EXPECT_EQ(put("/dev/null", "x", {"/dev/null"}).status, 0) << "a device is no file to destroy";
}

TEST(WriteOutput, WritesDevicesWhereTheyAre) {
    Written w = put("/dev/full", "data");
    EXPECT_EQ(w.status, 1);
    EXPECT_EQ(w.err, "demo: /dev/full: No space left on device\n");
    EXPECT_EQ(put("/dev/null", "data").status, 0);
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// A FIFO the user names is written where it is, as a pipe to a player would be; only the outputs
// a program names itself in a folder must be regular files (write_outputs()).
TEST(WriteOutput, WritesAFifoTheUserNames) {
    TempDir t;
    ASSERT_EQ(mkfifo((t / "pipe").c_str(), 0600), 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        // Reads the FIFO to its end and hands what came on through the pipe.
        close(fds[0]);
        int fifo = open((t / "pipe").c_str(), O_RDONLY);
        char buffer[64];
        for (ssize_t n; fifo >= 0 && (n = read(fifo, buffer, sizeof buffer)) > 0;)
            if (write(fds[1], buffer, size_t(n)) != n) _exit(1);
        _exit(fifo >= 0 ? 0 : 1);
    }
    close(fds[1]);
    EXPECT_EQ(put(t / "pipe", "through").status, 0);
    std::string came;
    char buffer[64];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) came.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(reader, &status, 0);
    EXPECT_EQ(came, "through");
    EXPECT_EQ(listing(t.path()), std::vector<std::string>{"pipe"});
}

// Runs f in a child process whose standard input, output and error are the files named (""
// leaves one as it is); returns the child's wait status.
int in_child(const std::function<int()>& f, const std::string& in, const std::string& out,
             const std::string& err = "") {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (!in.empty()) dup2(open(in.c_str(), O_RDONLY), 0);
        if (!out.empty()) dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        if (!err.empty()) dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        _exit(f());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST(WriteOutput, WritesStandardOutputByAnyName) {
    TempDir t;
    for (const std::string name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
        SCOPED_TRACE(name);
        int status = in_child([&] { return common::write_output("demo", name, "bytes", {}); }, "",
                              t / "out.bin");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(read_file(t / "out.bin"), "bytes");
        EXPECT_EQ(listing(t.path()), std::vector<std::string>{"out.bin"});
    }
    struct stat st;
    ASSERT_EQ(lstat("/dev/stdout", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "/dev/stdout is still the system's link";
    // Standard output that is the input: writing it would destroy the input.
    TempDir e;
    write_file(t / "in.bin", "input");
    int status =
        in_child([&] { return common::write_output("demo", "-", "bytes", {t / "in.bin"}); }, "",
                 t / "in.bin", e / "err");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(read_file(e / "err"),
              "demo: -: is the same file as the input " + (t / "in.bin") + "\n");
    // (The redirection, as a shell's >, emptied it.) Standard input that is the output.
    write_file(t / "in.bin", "input");
    status = in_child([&] { return common::write_output("demo", t / "in.bin", "bytes", {"-"}); },
                      t / "in.bin", "", e / "err");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(read_file(e / "err"),
              "demo: " + (t / "in.bin") + ": is the same file as the input -\n");
    EXPECT_EQ(read_file(t / "in.bin"), "input");
}

TEST(ReadFile, ReadsStandardInputAndRefusesFolders) {
    TempDir t;
    write_file(t / "in.bin", "input bytes");
    int status = in_child(
        [&] {
            std::string bytes;
            return common::read_file("-", 100, &bytes) == "" && bytes == "input bytes" ? 0 : 1;
        },
        t / "in.bin", "");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    status = in_child(
        [&] {
            std::string why;
            FILE* f = common::open_input("-", &why);
            char buf[16] = {};
            bool ok =
                f && fread(buf, 1, sizeof buf - 1, f) == 11 && std::string(buf) == "input bytes";
            if (f) fclose(f);
            return ok ? 0 : 1;
        },
        t / "in.bin", "");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::string why;
    EXPECT_EQ(common::open_input(t.path(), &why), nullptr);
    EXPECT_EQ(why, "Is a directory");
    EXPECT_EQ(common::open_input(t / "missing", &why), nullptr);
    EXPECT_EQ(why, "No such file or directory");
    std::string bytes;
    EXPECT_EQ(common::read_file(t.path(), 100, &bytes), "Is a directory");
    EXPECT_EQ(common::read_file(t / "in.bin", 5, &bytes), "larger than 5 bytes");
    EXPECT_EQ(common::read_file("/dev/zero", 65536, &bytes), "larger than 64 KiB");
    EXPECT_EQ(common::read_file(t / "in.bin", 11, &bytes), "");
    EXPECT_EQ(bytes, "input bytes");
}

// A run that ends while its output is half written leaves nothing behind: not on a signal, not
// on exit(), not on a file size limit, which fails the write instead of ending the program.
TEST(WriteOutput, LeavesNoTemporaryFileOnAnyEnd) {
    TempDir t;
    write_file(t / "out.bin", "old");
    std::string big(1 << 16, 'x');
    const struct {
        const char* name;
        int signal; // the signal that ends the child, or 0 for an exit status
        int status;
        std::function<int()> run;
    } cases[] = {
        {"SIGTERM", SIGTERM, 0,
         [&] {
             Output out(t / "out.bin");
             FILE* f = out.open();
             fputs("half", f);
             fflush(f);
             raise(SIGTERM);
             return 0;
         }},
        {"SIGINT", SIGINT, 0,
         [&] {
             Output out(t / "out.bin");
             out.open();
             raise(SIGINT);
             return 0;
         }},
        {"exit", 0, 7,
         [&]() -> int {
             Output out(t / "out.bin");
             out.open();
             exit(7);
         }},
        {"FileSizeLimit", 0, 1,
         [&] {
             struct rlimit limit = {4096, 4096};
             setrlimit(RLIMIT_FSIZE, &limit);
             testing::internal::CaptureStderr();
             int status = common::write_output("demo", t / "out.bin", big, {});
             std::string err = testing::internal::GetCapturedStderr();
             return err == "demo: " + (t / "out.bin") + ": File too large\n" ? status : 99;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int status = in_child(c.run, "", "");
        if (c.signal) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << status;
        }
        EXPECT_EQ(listing(t.path()), std::vector<std::string>{"out.bin"});
        EXPECT_EQ(read_file(t / "out.bin"), "old");
    }
}

} // namespace
