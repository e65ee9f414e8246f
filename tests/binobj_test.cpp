// binobj end to end: the built program on real files in a temporary folder.
#include "binobj/messages.h"
#include "binobj/module.h"
#include "tests/binobj_module.h"
#include "tests/harness.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace binobj;

namespace {

const char* usage_tail = " <input.bin> [banknr] [0x<address>] [identifier]\n";

// Writes a file below dir, creating the folders on its way.
void put(const TempDir& dir, const std::string& path, const std::string& content) {
    std::filesystem::path full = dir / path;
    std::filesystem::create_directories(full.parent_path());
    write_file(full.string(), content);
}

// ---- The worked examples

struct Example {
    const char* name;
    std::string input;              // path of the input, relative to the run's folder
    std::string content;            // its bytes
    std::vector<std::string> args;  // after the input path
    std::string output;             // where the module must land
    std::vector<std::string> lines; // the module
};

void PrintTo(const Example& c, std::ostream* os) {
    *os << c.name;
}

class WorkedExample : public testing::TestWithParam<Example> {};

TEST_P(WorkedExample, WritesTheModuleBesideTheInput) {
    const Example& c = GetParam();
    TempDir t;
    put(t, c.input, c.content);
    std::vector<std::string> args{c.input};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto r = run("binobj", args, t.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(t / c.output), module_text(c.lines));
    EXPECT_EQ(read_file(t / c.input), c.content);
}

INSTANTIATE_TEST_SUITE_P(
    Binobj, WorkedExample,
    testing::Values(
        Example{"CodeArea",
                "logo.bin",
                bytes("01 02 03"),
                {},
                "logo.o",
                {"XL", "H 1 areas 1 global symbols", "M _logo", "A _CODE size 3 flags 0",
                 "S _logo Def0000", "T 00 00 01 02 03", "R 00 00 00 00"}},
        Example{"Bank",
                "logo.bin",
                bytes("01 02 03"),
                {"2"},
                "logo.o",
                {"XL", "H 1 areas 1 global symbols", "M _logo", "A _CODE_2 size 3 flags 0",
                 "S _logo Def0000", "T 00 00 01 02 03", "R 00 00 00 00"}},
        // With an address, the symbol carries it: the linker adds the absolute area's base, 0.
        Example{"AddressAndIdentifier",
                "logo.bin",
                bytes("01 02 03"),
                {"0xC000", "TILES"},
                "logo.o",
                {"XL", "H 1 areas 1 global symbols", "M _TILES", "A _ABS size 3 flags C",
                 "S _TILES DefC000", "T 00 C0 01 02 03", "R 00 00 00 00"}},
        // The "." of a folder's name is not the extension's.
        Example{"DottedFolder",
                "old.dir/data",
                bytes("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"),
                {"0x1234"},
                "old.dir/data.o",
                {"XL", "H 1 areas 1 global symbols", "M _data", "A _ABS size F flags C",
                 "S _data Def1234", "T 34 12 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D",
                 "R 00 00 00 00", "T 42 12 0E", "R 00 00 00 00"}},
        Example{"EmptyInputHasNoRecords",
                "empty.bin",
                "",
                {},
                "empty.o",
                {"XL", "H 1 areas 1 global symbols", "M _empty", "A _CODE size 0 flags 0",
                 "S _empty Def0000"}},
        // Pieces of 14 bytes; the second starts at 0x000E and no empty record follows.
        Example{"TwentyEightBytes",
                "d.bin",
                std::string(14, '\x11') + std::string(14, '\x22'),
                {},
                "d.o",
                {"XL", "H 1 areas 1 global symbols", "M _d", "A _CODE size 1C flags 0",
                 "S _d Def0000", "T 00 00 11 11 11 11 11 11 11 11 11 11 11 11 11 11",
                 "R 00 00 00 00", "T 0E 00 22 22 22 22 22 22 22 22 22 22 22 22 22 22",
                 "R 00 00 00 00"}},
        // Data may fill memory up to its last byte, 0xFFFF.
        Example{"EndsAtTheTopOfMemory",
                "d.bin",
                std::string(14, '\xAB') + std::string(6, '\xCD'),
                {"0xFFEC"},
                "d.o",
                {"XL", "H 1 areas 1 global symbols", "M _d", "A _ABS size 14 flags C",
                 "S _d DefFFEC", "T EC FF AB AB AB AB AB AB AB AB AB AB AB AB AB AB",
                 "R 00 00 00 00", "T FA FF CD CD CD CD CD CD", "R 00 00 00 00"}},
        // Upper-case hexadecimal in the data and the size.
        Example{"UpperCaseHex",
                "d.bin",
                bytes("AF BC DE FF 00 9A"),
                {"0xabcd"},
                "d.o",
                {"XL", "H 1 areas 1 global symbols", "M _d", "A _ABS size 6 flags C",
                 "S _d DefABCD", "T CD AB AF BC DE FF 00 9A", "R 00 00 00 00"}}),
    ByName());

// A sample file as samplepack writes it, wrapped into a bank: every byte comes back from the
// records, 14 to a record, at consecutive addresses.
TEST(BinobjRecords, CarryEveryByteInOrder) {
    struct Case {
        size_t size;
        std::vector<std::string> args;
        const char* area;
        uint16_t start;
        size_t records;
    } cases[] = {
        {1506, {"2"}, "A _CODE_2 size 5E2 flags 0", 0, 108},
        // Ends at 0xFFFF, the top of memory.
        {1000, {"0xFC18"}, "A _ABS size 3E8 flags C", 0xFC18, 72},
        // The largest input a module can describe, at an address where it ends at 0xFFFF.
        {65535, {}, "A _CODE size FFFF flags 0", 0, 4682},
        {65535, {"0x1"}, "A _ABS size FFFF flags C", 1, 4682},
        // 0xFFFF is no address, so the data never passes the top of memory.
        {20000, {"0xFFFF"}, "A _CODE size 4E20 flags 0", 0, 1429},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        TempDir t;
        std::string data;
        for (size_t i = 0; i < c.size; ++i) data += char(i * 7 + i / 256);
        write_file(t / "bell.bin", data);
        std::vector<std::string> args{"bell.bin"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto r = run("binobj", args, t.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        Module m = parse_module(read_file(t / "bell.o"));
        EXPECT_EQ(m.area, c.area);
        EXPECT_EQ(m.records.size(), c.records);
        std::string joined;
        for (size_t i = 0; i < m.records.size(); ++i) {
            const Record& rec = m.records[i];
            EXPECT_EQ(rec.address, uint16_t(c.start + 14 * i)) << "record " << i;
            size_t expected = i + 1 < m.records.size() ? 14 : (c.size - 1) % 14 + 1;
            EXPECT_EQ(rec.bytes.size(), expected) << "record " << i;
            joined += rec.bytes;
        }
        EXPECT_TRUE(joined == data) << "the records do not carry the input";
    }
}

// ---- The optional arguments

struct Classification {
    const char* name;
    std::vector<std::string> args;
    std::string identifier;
    std::string area;  // the area line
    std::string def;   // the symbol's value
    std::string first; // the first record's address, low byte first
};

void PrintTo(const Classification& c, std::ostream* os) {
    *os << c.name;
}

class Arguments : public testing::TestWithParam<Classification> {};

TEST_P(Arguments, AreClassifiedAndRead) {
    const Classification& c = GetParam();
    TempDir t;
    write_file(t / "d.bin", bytes("AB"));
    std::vector<std::string> args{"d.bin"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto r = run("binobj", args, t.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(t / "d.o"),
              module_text({"XL", "H 1 areas 1 global symbols", "M " + c.identifier, c.area,
                           "S " + c.identifier + " Def" + c.def, "T " + c.first + " AB",
                           "R 00 00 00 00"}));
}

const std::string code = "A _CODE size 1 flags 0";
const std::string absolute = "A _ABS size 1 flags C";

std::string bank_area(const std::string& bank) {
    return "A _CODE_" + bank + " size 1 flags 0";
}

INSTANTIATE_TEST_SUITE_P(
    BinobjAddresses, Arguments,
    testing::Values(
        Classification{"None", {}, "_d", code, "0000", "00 00"},
        Classification{"Plain", {"0x4000"}, "_d", absolute, "4000", "00 40"},
        Classification{"UpperCasePrefixMixedDigits", {"0XaBcD"}, "_d", absolute, "ABCD", "CD AB"},
        // 0xFFFF stands for "no address", whichever way it comes about.
        Classification{"FFFFIsNone", {"0xFFFF"}, "_d", code, "0000", "00 00"},
        Classification{"1FFFFIsNone", {"0x1FFFF"}, "_d", code, "0000", "00 00"},
        Classification{"FortyDigitsSaturateToNone",
                       {"0x" + std::string(40, '1')},
                       "_d",
                       code,
                       "0000",
                       "00 00"},
        // Saturation at 32 bits, not a cut: 0x1000000000 would cut to 0.
        Classification{"TenDigitsSaturateToNone", {"0x1000000000"}, "_d", code, "0000", "00 00"},
        Classification{"CutTo16Bits", {"0x12345678"}, "_d", absolute, "5678", "78 56"},
        Classification{"10000IsZero", {"0x10000"}, "_d", absolute, "0000", "00 00"},
        Classification{"PrefixAloneIsZero", {"0x"}, "_d", absolute, "0000", "00 00"},
        Classification{"DigitsEndAtAnotherCharacter", {"0x12G4"}, "_d", absolute, "0012", "12 00"},
        Classification{"LastCounts", {"0x10", "0x20"}, "_d", absolute, "0020", "20 00"},
        Classification{"LastCountsEvenWhenNone", {"0x10", "0xFFFF"}, "_d", code, "0000", "00 00"}),
    ByName());

INSTANTIATE_TEST_SUITE_P(
    BinobjBanks, Arguments,
    testing::Values(
        Classification{"One", {"2"}, "_d", bank_area("2"), "0000", "00 00"},
        Classification{"ZeroIsNone", {"0"}, "_d", code, "0000", "00 00"},
        Classification{"DoubleZeroIsNone", {"00"}, "_d", code, "0000", "00 00"},
        Classification{"LeadingZeroKept", {"02"}, "_d", bank_area("02"), "0000", "00 00"},
        Classification{"TextAfterDigitsKept", {"3k"}, "_d", bank_area("3k"), "0000", "00 00"},
        Classification{"Underscore", {"2_a"}, "_d", bank_area("2_a"), "0000", "00 00"},
        Classification{"ZeroWithTextIsNone", {"0abc"}, "_d", code, "0000", "00 00"},
        Classification{"Largest", {"2147483647"}, "_d", bank_area("2147483647"), "0000", "00 00"},
        // As a signed 32-bit number these are negative.
        Classification{"TwoTo31IsNone", {"2147483648"}, "_d", code, "0000", "00 00"},
        Classification{"TwoTo32Minus1IsNone", {"4294967295"}, "_d", code, "0000", "00 00"},
        Classification{"TwoTo32IsNone", {"4294967296"}, "_d", code, "0000", "00 00"},
        // Wraps round to 2, and the area carries the digits as typed.
        Classification{
            "TwoTo32Plus2", {"4294967298"}, "_d", bank_area("4294967298"), "0000", "00 00"},
        Classification{"FirstCounts", {"2", "3"}, "_d", bank_area("2"), "0000", "00 00"},
        Classification{"FirstZeroHidesTheNext", {"0", "2"}, "_d", code, "0000", "00 00"},
        Classification{"AddressOverrides", {"2", "0xC000"}, "_d", absolute, "C000", "00 C0"},
        // Characters the linker would cut the area name at are harmless where no bank is named.
        Classification{
            "NotCheckedWhenOverridden", {"2-x", "0x8000"}, "_d", absolute, "8000", "00 80"},
        Classification{"NotCheckedWhenNotCounting", {"0-x"}, "_d", code, "0000", "00 00"},
        Classification{
            "NotCheckedWhenNotFirst", {"2", "3-x"}, "_d", bank_area("2"), "0000", "00 00"}),
    ByName());

INSTANTIATE_TEST_SUITE_P(
    BinobjIdentifiers, Arguments,
    testing::Values(
        Classification{"Given", {"TILES"}, "_TILES", code, "0000", "00 00"},
        Classification{"FirstCounts", {"a", "b"}, "_a", code, "0000", "00 00"},
        Classification{"MinusFiveIsNoBank", {"-5"}, "_-5", code, "0000", "00 00"},
        // Used as typed: no cut at a ".", and nothing refused.
        Classification{"AsTyped", {"logo.v2 x"}, "_logo.v2 x", code, "0000", "00 00"},
        Classification{"EmptyHidesTheNext", {"", "b"}, "_", code, "0000", "00 00"},
        Classification{"AllKindsInAnyOrder",
                       {"TILES", "0x4000", "5", "OTHER", "7", "0x8000"},
                       "_TILES",
                       absolute,
                       "8000",
                       "00 80"},
        Classification{
            "BankBesideIdentifier", {"5", "TILES"}, "_TILES", bank_area("5"), "0000", "00 00"}),
    ByName());

// ---- The identifier from the input path

struct Derivation {
    const char* name;
    const char* path;
    const char* identifier;
};

class DerivedIdentifier : public testing::TestWithParam<Derivation> {};

TEST_P(DerivedIdentifier, ComesFromThePath) {
    EXPECT_EQ(derive_identifier(GetParam().path), GetParam().identifier);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DerivedIdentifier,
    testing::Values(Derivation{"Plain", "logo.bin", "_logo"},
                    Derivation{"NoExtension", "logo", "_logo"},
                    Derivation{"CutAtTheLastDot", "a.b.c", "_a.b"},
                    Derivation{"InAFolder", "gfx/logo.bin", "_logo"},
                    Derivation{"DottedFolder", "old.dir/data", "_data"},
                    Derivation{"FolderAbove", "../up/sfx.bin", "_sfx"},
                    Derivation{"DotFirst", ".hidden", "_"}, Derivation{"FolderAlone", "dir/", "_"},
                    Derivation{"Backslash", "dir\\logo.bin", "_logo"},
                    Derivation{"DrivePath", "c:\\x.y\\z.bin", "_z"},
                    // A "/" anywhere hides every "\".
                    Derivation{"BackslashBehindASlash", "sub/dir\\logo.bin", "_dir\\logo"},
                    Derivation{"BackslashesAroundASlash", "a\\b/c\\d.e", "_c\\d"}),
    ByName());

// On POSIX a "\" is an ordinary character of a file name.
TEST(PosixBinobjDerives, BackslashBehindASlashStaysInTheName) {
    TempDir t;
    put(t, "sub/dir\\logo.bin", bytes("01"));
    auto r = run("binobj", {"sub/dir\\logo.bin"}, t.path());
    EXPECT_EQ(r.status, 0);
    Module m = parse_module(read_file(t / "sub/dir\\logo.o"));
    EXPECT_EQ(m.name, "_dir\\logo");
    EXPECT_EQ(m.symbol, "S _dir\\logo Def0000");
}

// Names are never cut, however long.
TEST(BinobjLongNames, AnIdentifierOfThousandsOfCharacters) {
    TempDir t;
    write_file(t / "d.bin", bytes("01 02"));
    std::string identifier(5000, 'L');
    auto r = run("binobj", {"d.bin", identifier, "0x100"}, t.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    Module m = parse_module(read_file(t / "d.o"));
    EXPECT_EQ(m.name, "_" + identifier);
    EXPECT_EQ(m.symbol, "S _" + identifier + " Def0100");
    ASSERT_EQ(m.records.size(), 1u);
    EXPECT_EQ(m.records[0].bytes, bytes("01 02"));
}

// A long file name deep down a path of thousands of characters: the module lands beside it and
// takes its whole name.
// (Paths on Windows are limited to 260 characters.)
TEST(PosixBinobjLongNames, APathOfThousandsOfCharacters) {
    TempDir t;
    std::string folder;
    for (int i = 0; i < 12; ++i) folder += std::string(200, char('a' + i)) + "/";
    std::string name(246, 'x');
    std::string input = folder + name + ".bin";
    put(t, input, bytes("01 02"));
    ASSERT_GT(input.size(), 2600u);

    auto r = run("binobj", {input}, t.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    Module m = parse_module(read_file(t / (folder + name + ".o")));
    EXPECT_EQ(m.name, "_" + name);
    EXPECT_EQ(m.symbol, "S _" + name + " Def0000");
    ASSERT_EQ(m.records.size(), 1u);
    EXPECT_EQ(m.records[0].bytes, bytes("01 02"));
}

// ---- Failures

TEST(BinobjFails, WithoutAnInputShowsItsUsage) {
    TempDir t;
    auto r = run("binobj", {}, t.path());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, usage_name("binobj") + usage_tail);
    EXPECT_EQ(r.err, "");
}

struct Refusal {
    const char* name;
    std::function<void(const TempDir&)> setup;
    std::vector<std::string> args;
    const char* message;
    const char* output; // the derived output path
    const char* kept;   // what must stand there afterwards; null: nothing
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

class Refuses : public testing::TestWithParam<Refusal> {};

TEST_P(Refuses, WithItsMessageAndNoNewOutput) {
    const Refusal& c = GetParam();
    TempDir t;
    c.setup(t);
    auto r = run("binobj", c.args, t.path());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, c.message);
    EXPECT_EQ(r.err, "");
    if (c.kept)
        EXPECT_EQ(read_file(t / c.output), c.kept);
    else
        EXPECT_FALSE(exists(t / c.output));
}

INSTANTIATE_TEST_SUITE_P(
    BinobjInputs, Refuses,
    // A module describes at most 65535 bytes.
    testing::Values(
        Refusal{"TooLarge",
                [](const TempDir& t) { write_file(t / "big.bin", std::string(65536, 'a')); },
                {"big.bin", "2"},
                binobj::too_large,
                "big.o",
                nullptr},
        Refusal{"TooLargeKeepsTheOldOutput",
                [](const TempDir& t) {
                    write_file(t / "big.bin", std::string(100000, 'a'));
                    write_file(t / "big.o", "keep");
                },
                {"big.bin", "0x100"},
                binobj::too_large,
                "big.o",
                "keep"},
        // Data at an address must end by 0xFFFF: past it, it would wrap over address 0.
        Refusal{"PastTheTopOfMemory",
                [](const TempDir& t) { write_file(t / "d.bin", std::string(20, '\xAB')); },
                {"d.bin", "0xFFFA"},
                binobj::too_large,
                "d.o",
                nullptr},
        Refusal{"OneBytePastTheTopOfMemory",
                [](const TempDir& t) { write_file(t / "d.bin", std::string(21, '\xAB')); },
                {"d.bin", "0xFFEC"},
                binobj::too_large,
                "d.o",
                nullptr},
        Refusal{"LargeFileHighAddress",
                [](const TempDir& t) {
                    write_file(t / "r20k.bin", std::string(20000, 'r'));
                    write_file(t / "r20k.o", "keep");
                },
                {"r20k.bin", "0xF000", "3"},
                binobj::too_large,
                "r20k.o",
                "keep"},
        Refusal{"LargestInputOneBytePastTheTop",
                [](const TempDir& t) { write_file(t / "big.bin", std::string(65535, 'a')); },
                {"big.bin", "0x2"},
                binobj::too_large,
                "big.o",
                nullptr}),
    ByName());

// The output would be the input itself: it must be neither truncated nor written.
INSTANTIATE_TEST_SUITE_P(
    BinobjOutputIsInput, Refuses,
    testing::Values(Refusal{"InputEndsInO",
                            [](const TempDir& t) { write_file(t / "data.o", "input"); },
                            {"data.o"},
                            binobj::create_error,
                            "data.o",
                            "input"},
                    Refusal{"InputEndsInOWithAnAddress",
                            [](const TempDir& t) { write_file(t / "data.o", "input"); },
                            {"data.o", "0xC000", "NAME"},
                            binobj::create_error,
                            "data.o",
                            "input"},
                    Refusal{"OutputPathLinksToTheInput",
                            [](const TempDir& t) {
                                write_file(t / "data.bin", "input");
                                ASSERT_EQ(symlink("data.bin", (t / "data.o").c_str()), 0);
                            },
                            {"data.bin"},
                            binobj::create_error,
                            "data.bin",
                            "input"},
                    Refusal{"InputLinksToTheOutputPath",
                            [](const TempDir& t) {
                                write_file(t / "data.o", "input");
                                ASSERT_EQ(symlink("data.o", (t / "link.bin").c_str()), 0);
                                ASSERT_EQ(symlink("data.o", (t / "link.o").c_str()), 0);
                            },
                            {"link.bin"},
                            binobj::create_error,
                            "data.o",
                            "input"},
                    Refusal{"HardLink",
                            [](const TempDir& t) {
                                write_file(t / "data.bin", "input");
                                ASSERT_EQ(link((t / "data.bin").c_str(), (t / "data.o").c_str()),
                                          0);
                            },
                            {"data.bin"},
                            binobj::create_error,
                            "data.bin",
                            "input"}),
    ByName());

// A bank that counts must hold only letters, digits and "_": the linker would end the area name
// at any other character and link an empty area. The module that stood there is kept.
struct BankRefusal {
    const char* name;
    std::vector<std::string> args; // after the input
};

class InvalidBank : public testing::TestWithParam<BankRefusal> {};

TEST_P(InvalidBank, IsRefusedAndTheOldModuleKept) {
    TempDir t;
    write_file(t / "d.bin", "ab");
    write_file(t / "d.o", "keep");
    std::vector<std::string> args{"d.bin"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    auto r = run("binobj", args, t.path());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, binobj::invalid_bank);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(t / "d.o"), "keep");
}

INSTANTIATE_TEST_SUITE_P(Binobj, InvalidBank,
                         testing::Values(BankRefusal{"Dash", {"2-x"}},
                                         BankRefusal{"DashAmongOthers", {"TILES", "2-x", "3"}},
                                         BankRefusal{"Dot", {"2.5"}}, BankRefusal{"Blank", {"2 b"}},
                                         BankRefusal{"Slash", {"1/"}},
                                         // Wraps round to 2, so it names a bank, and is checked.
                                         BankRefusal{"WrappedNumber", {"4294967298+"}}),
                         ByName());

TEST(BinobjFails, WhenTheOutputCannotBeCreated) {
    TempDir t;
    write_file(t / "d.bin", "ab");
    ASSERT_EQ(mkdir((t / "d.o").c_str(), 0755), 0);
    auto r = run("binobj", {"d.bin"}, t.path());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, binobj::create_error);
}

// An input stream whose end, sought, lies at measured while it delivers present bytes: a file
// that shrinks or grows between the measuring and the reading, a file under /proc that measures
// 0, a device that never ends.
struct Liar {
    long measured;
    size_t present;
    size_t at = 0;
};

FILE* open_liar(Liar* liar) {
    cookie_io_functions_t io = {};
    io.read = [](void* cookie, char* buf, size_t size) -> ssize_t {
        auto* l = static_cast<Liar*>(cookie);
        size_t n = std::min(size, l->present - std::min(l->at, l->present));
        memset(buf, 'x', n);
        l->at += n;
        return ssize_t(n);
    };
    io.seek = [](void* cookie, off64_t* offset, int whence) {
        auto* l = static_cast<Liar*>(cookie);
        off64_t base = whence == SEEK_END ? l->measured : whence == SEEK_CUR ? off64_t(l->at) : 0;
        l->at = size_t(base + *offset);
        *offset = off64_t(l->at);
        return 0;
    };
    return fopencookie(liar, "r", io);
}

// The module holds exactly the bytes that were measured, as its area line promises: an input
// that delivers fewer or more is a read error, and the records never disagree with the area line.
TEST(ModuleCore, HoldsExactlyTheMeasuredBytes) {
    struct Case {
        long measured;
        size_t present;
        bool refused;
    } cases[] = {{0, 0, false}, {20, 20, false}, {28, 28, false}, {20, 19, true},  {28, 14, true},
                 {20, 0, true}, {20, 21, true},  {0, 1, true},    {14, 4096, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.measured) + " measured, " + std::to_string(c.present) +
                     " there");
        Liar liar{c.measured, c.present};
        FILE* in = open_liar(&liar);
        FILE* out = tmpfile();
        ASSERT_TRUE(in && out);
        long size = -1;
        ASSERT_EQ(measure(in, &size), nullptr);
        EXPECT_EQ(size, c.measured);
        Settings s;
        s.identifier = "_x";
        const char* error = write_module(in, out, s, size);
        if (c.refused) {
            EXPECT_STREQ(error, binobj::read_error);
        } else {
            EXPECT_EQ(error, nullptr);
        }
        fclose(in);
        fclose(out);
    }
}

// A read error is not the end of the data. (An input stream that cannot be read from.)
TEST(ModuleCore, ReportsAReadError) {
    TempDir t;
    FILE* in = fopen((t / "in.bin").c_str(), "wb");
    FILE* out = fopen((t / "out.o").c_str(), "w");
    ASSERT_TRUE(in && out);
    Settings s;
    s.identifier = "_x";
    EXPECT_STREQ(write_module(in, out, s, 20), binobj::read_error);
    fclose(in);
    fclose(out);
}

} // namespace
