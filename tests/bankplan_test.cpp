// bankplan and bankrom: the planner on instances whose optimum is known, the modules, header and
// options the program writes, its refusals, and a C program that reads every asset through the
// mapper, linked by SDCC and run from the ROM image on an emulated Z80.
#include "bankplan/bankplan.h"
#include "bankplan/plan.h"
#include "tests/harness.h"
#include "tests/tools.h"
#ifdef ASSETKIT_HAVE_Z80EX
#include "tests/z80/machine.h"
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <regex>
#include <set>

namespace {

using bankplan::Plan;
using bankplan::plan_bins;

// Every item in a bin, no bin over capacity, bins numbered from 0 without gaps.
void expect_valid(const Plan& plan, const std::vector<long>& sizes, long capacity) {
    ASSERT_EQ(plan.bin_of.size(), sizes.size());
    std::vector<long> load(size_t(plan.bins), 0);
    std::vector<int> items(size_t(plan.bins), 0);
    for (size_t i = 0; i < sizes.size(); ++i) {
        ASSERT_GE(plan.bin_of[i], 0);
        ASSERT_LT(plan.bin_of[i], plan.bins);
        load[size_t(plan.bin_of[i])] += sizes[i];
        ++items[size_t(plan.bin_of[i])];
    }
    for (size_t b = 0; b < load.size(); ++b) {
        EXPECT_LE(load[b], capacity) << "bin " << b;
        EXPECT_GT(items[b], 0) << "bin " << b << " is empty";
    }
}

struct PerfectFit {
    std::string name;
    size_t assets;
    unsigned seed;
};

void PrintTo(const PerfectFit& c, std::ostream* os) {
    *os << c.name;
}

// Banks of 16384 bytes cut at random points into assets, shuffled: the optimum is the number of
// banks, and only an exact search finds it, since first-fit decreasing rarely does.
class PlanBinsPerfectFit : public testing::TestWithParam<PerfectFit> {};

TEST_P(PlanBinsPerfectFit, FindsTheOptimumAndProvesIt) {
    const long bank = 16384;
    std::mt19937 rng(GetParam().seed);
    size_t n = GetParam().assets, banks = (n + 3) / 4;
    std::vector<size_t> pieces(banks, 1);
    for (size_t i = banks; i < n; ++i) ++pieces[rng() % banks];
    std::vector<long> sizes;
    for (size_t k : pieces) {
        std::set<long> cuts;
        while (cuts.size() + 1 < k) cuts.insert(1 + long(rng() % (bank - 1)));
        long at = 0;
        for (long c : cuts) sizes.push_back(c - at), at = c;
        sizes.push_back(bank - at);
    }
    std::shuffle(sizes.begin(), sizes.end(), rng);
    Plan plan = plan_bins(sizes, bank);
    expect_valid(plan, sizes, bank);
    EXPECT_EQ(plan.bins, int(banks));
    EXPECT_TRUE(plan.optimal);
    EXPECT_EQ(plan.lower_bound, int(banks));
}

std::vector<PerfectFit> perfect_fits() {
    std::vector<PerfectFit> cases;
    for (size_t n : {10, 20, 30, 40})
        for (unsigned seed : {1u, 2u, 3u})
            cases.push_back(
                {"Assets" + std::to_string(n) + "Seed" + std::to_string(seed), n, seed});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cut, PlanBinsPerfectFit, testing::ValuesIn(perfect_fits()), ByName());

struct Instance {
    std::string name;
    std::vector<long> sizes;
    long capacity;
    size_t separate;
    int bins;        // the optimum
    int lower_bound; // ceil(total / capacity), or the separate items' count
    int ffd;
};

void PrintTo(const Instance& c, std::ostream* os) {
    *os << c.name;
}

class PlanBinsKnown : public testing::TestWithParam<Instance> {};

TEST_P(PlanBinsKnown, GivesTheOptimum) {
    const Instance& c = GetParam();
    Plan plan = plan_bins(c.sizes, c.capacity, c.separate);
    expect_valid(plan, c.sizes, c.capacity);
    EXPECT_EQ(plan.bins, c.bins);
    EXPECT_TRUE(plan.optimal);
    EXPECT_EQ(plan.lower_bound, c.lower_bound);
    EXPECT_EQ(plan.ffd, c.ffd);
    std::set<int> own;
    for (size_t i = 0; i < c.separate; ++i) {
        EXPECT_EQ(plan.bin_of[i], int(i)) << "separate item " << i;
        own.insert(plan.bin_of[i]);
    }
    EXPECT_EQ(own.size(), c.separate);
}

INSTANTIATE_TEST_SUITE_P(
    Instances, PlanBinsKnown,
    testing::Values(
        // First-fit decreasing puts 5 and 4 together and needs a third bin.
        Instance{"BeatsFirstFitDecreasing", {2, 5, 4, 3, 4, 2}, 10, 0, 2, 2, 3},
        // Three items over half a bin need three bins, which the total does not show.
        Instance{"AboveTheTotalsBound", {60, 60, 60}, 100, 0, 3, 2, 3},
        // Two small items kept apart, each in a bin of its own, take the large ones with them.
        Instance{"SeparateItems", {10, 10, 80, 85}, 100, 2, 2, 2, 2},
        Instance{"SeparateItemsAlone", {10, 10, 30}, 100, 2, 2, 2, 2},
        Instance{"Empty", {}, 100, 0, 0, 0, 0},
        // Empty items take no room, but need a bin to be in.
        Instance{"EmptyItems", {0, 0}, 100, 0, 1, 0, 1},
        Instance{"EmptyAmongOthers", {0, 50, 60, 0}, 100, 0, 2, 2, 2},
        Instance{"OneFullBin", {100}, 100, 0, 1, 1, 1},
        Instance{"EqualSizes", {30, 30, 30, 30, 30, 30, 30, 30, 30, 30}, 90, 0, 4, 4, 4}),
    ByName());

// The fewest bins by trying every partition: each item joins a bin already open or opens one; the
// first `separate` items each open their own.
int fewest_bins(const std::vector<long>& sizes, long capacity, size_t separate) {
    int best = int(sizes.size()) + 1;
    std::vector<long> load;
    std::function<void(size_t)> place = [&](size_t i) {
        if (int(load.size()) >= best) return;
        if (i == sizes.size()) {
            best = int(load.size());
            return;
        }
        if (i >= separate)
            for (size_t b = 0; b < load.size(); ++b) // by index: deeper calls grow load
                if (load[b] + sizes[i] <= capacity) {
                    load[b] += sizes[i];
                    place(i + 1);
                    load[b] -= sizes[i];
                }
        load.push_back(sizes[i]);
        place(i + 1);
        load.pop_back();
    };
    place(0);
    return best;
}

// Small random instances against the exhaustive answer: a plan called optimal must be, so the
// search may neither miss a packing nor refute one that exists. Many of them have an optimum
// above every bound, which only a complete search proves.
TEST(PlanBinsAgainstEveryPartition, SmallInstances) {
    std::mt19937 rng(11);
    int above_bound = 0;
    for (int round = 0; round < 400; ++round) {
        long capacity = 10 + long(rng() % 40);
        size_t n = 1 + rng() % 9;
        std::vector<long> sizes;
        for (size_t i = 0; i < n; ++i) sizes.push_back(1 + long(rng() % uint32_t(capacity)));
        size_t separate = round % 3 == 0 ? rng() % (std::min<size_t>(n, 3) + 1) : 0;
        Plan plan = plan_bins(sizes, capacity, separate);
        expect_valid(plan, sizes, capacity);
        int best = fewest_bins(sizes, capacity, separate);
        ASSERT_TRUE(plan.optimal) << "round " << round;
        ASSERT_EQ(plan.bins, best) << "round " << round;
        for (size_t i = 0; i < separate; ++i)
            ASSERT_EQ(plan.bin_of[i], int(i)) << "round " << round;
        above_bound += best > plan.strong_bound;
    }
    EXPECT_GT(above_bound, 0) << "no instance needed the search to refute a count";
}

// The bound counts how many items can share a bin: items above a third of it two a bin at most,
// above a quarter three; the bytes alone would allow fewer bins.
struct Bound {
    std::string name;
    std::vector<long> sizes;
    long capacity;
    int bound;
};

void PrintTo(const Bound& c, std::ostream* os) {
    *os << c.name;
}

class PlanBinsBound : public testing::TestWithParam<Bound> {};

TEST_P(PlanBinsBound, CountsWhatCanShareABin) {
    const Bound& c = GetParam();
    EXPECT_EQ(bankplan::strong_bound(c.sizes, c.capacity), c.bound);
    Plan plan = plan_bins(c.sizes, c.capacity, 0, 0); // no search: the bound alone proves it
    EXPECT_EQ(plan.bins, c.bound);
    EXPECT_TRUE(plan.optimal);
}

std::vector<long> sizes_between(size_t n, long low, long high) {
    std::mt19937 rng(7);
    std::vector<long> sizes;
    for (size_t i = 0; i < n; ++i) sizes.push_back(low + long(rng() % uint32_t(high - low + 1)));
    return sizes;
}

INSTANTIATE_TEST_SUITE_P(Cases, PlanBinsBound,
                         testing::Values(Bound{"ThreeABin", std::vector<long>(7, 26), 100, 3},
                                         Bound{"TwoABin", std::vector<long>(5, 34), 100, 3},
                                         Bound{"OneABin", {51, 51, 51, 1}, 100, 3},
                                         Bound{"ThreeABankOf97", sizes_between(97, 4097, 6000),
                                               16384, 33}),
                         ByName());

// With no budget for the search, the plan still holds every item and says it is not proven.
TEST(PlanBinsBudget, RunsOutHonestly) {
    std::vector<long> sizes{2, 5, 4, 3, 4, 2, 7, 7, 6};
    Plan plan = plan_bins(sizes, 10, 0, 0);
    expect_valid(plan, sizes, 10);
    EXPECT_EQ(plan.optimal, plan.bins == plan.strong_bound);
}

// ---- The program, end to end.

std::string data(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string d;
    for (size_t i = 0; i < size; ++i) d += char(rng() & 0xFF);
    return d;
}

TEST(BankplanWrites, ModulesHeaderAndOptions) {
    TempDir t;
    write_file(t / "a.bin", data(60, 1));
    write_file(t / "b.pal", data(50, 2));
    write_file(t / "c.txt", data(40, 3));
    std::filesystem::create_directory(t / "out");
    auto r =
        run("bankplan", {"-s", "100", "-f", "7", "-o", "out", "a.bin", "b.pal", "c.txt"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(read_file(t / "out/banks.h"),
              "/* Written by bankplan: the assets and their banks. Select an asset's bank (write "
              "NAME_bank\n   to the mapper), then read NAME in the window at 0x8000. */\n"
              "#ifndef BANKPLAN_BANKS_H\n#define BANKPLAN_BANKS_H\n\n"
              "extern const unsigned char a[];\n#define a_size 60u\n#define a_bank 7\n\n"
              "extern const unsigned char b[];\n#define b_size 50u\n#define b_bank 8\n\n"
              "extern const unsigned char c[];\n#define c_size 40u\n#define c_bank 7\n\n"
              "#endif\n");
    EXPECT_EQ(read_file(t / "out/banks.opt"), "-Wl-b_CODE_7=0x78000\n-Wl-b_CODE_8=0x88000\n");
    EXPECT_EQ(read_file(t / "out/banks.lst"), "out/a.rel\nout/c.rel\nout/b.rel\n"); // by bank

    // Each module is binobj's, byte for byte, for the same file and bank.
    for (auto [input, bank] : {std::pair{"a.bin", "7"}, {"b.pal", "8"}, {"c.txt", "7"}}) {
        ASSERT_EQ(run("binobj", {input, bank}, t.path()).status, 0);
        std::string stem = std::string(input).substr(0, 1);
        EXPECT_EQ(read_file(t / ("out/" + stem + ".rel")), read_file(t / (stem + ".o"))) << input;
    }
    auto files = snapshot(t / "out");
    EXPECT_EQ(files.size(), 6u);
}

TEST(BankplanWrites, ReportOnlyWhenAsked) {
    TempDir t;
    write_file(t / "a.bin", data(60, 1));
    write_file(t / "b.bin", data(50, 2));
    write_file(t / "c.bin", data(40, 3));
    auto r = run("bankplan", {"-v", "-s", "100", "a.bin", "b.bin", "c.bin"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "bank 2: 0 bytes free: a (60) c (40)\n"
                     "bank 3: 50 bytes free: b (50)\n"
                     "2 banks for 150 bytes, lower bound 2: optimal\n");
}

// The T records of a module, concatenated, and its area line.
std::string module_bytes(const std::string& text, std::string* area) {
    std::string bytes_out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("A ", 0) == 0) *area = line;
        if (line.rfind("T ", 0) != 0) continue;
        std::istringstream words(line.substr(2));
        std::string b;
        for (int i = 0; words >> b; ++i)
            if (i >= 2) bytes_out += char(std::stoi(b, nullptr, 16));
    }
    return bytes_out;
}

TEST(BankplanWrites, SplitPartsInConsecutiveBanks) {
    TempDir t;
    std::string big = data(250, 4);
    write_file(t / "big.bin", big);
    write_file(t / "d.bin", data(30, 5));
    auto r = run("bankplan", {"--split", "-s", "100", "big.bin", "d.bin"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string header = read_file(t / "banks.h");
    for (const char* line :
         {"#define big_size 250u\n", "#define big_bank 2\n",
          "#define big_parts 3\n#define big big_0\n",
          "extern const unsigned char big_0[];\n#define big_0_size 100u\n#define big_0_bank 2\n",
          "extern const unsigned char big_1[];\n#define big_1_size 100u\n#define big_1_bank 3\n",
          "extern const unsigned char big_2[];\n#define big_2_size 50u\n#define big_2_bank 4\n",
          "extern const unsigned char d[];\n#define d_size 30u\n#define d_bank 4\n"})
        EXPECT_NE(header.find(line), std::string::npos) << line << " not in\n" << header;
    std::string joined;
    for (int p = 0; p < 3; ++p) {
        std::string area;
        joined += module_bytes(read_file(t / ("big_" + std::to_string(p) + ".rel")), &area);
        EXPECT_EQ(area.substr(0, 10), "A _CODE_" + std::to_string(2 + p) + " ");
    }
    EXPECT_EQ(joined, big);
    EXPECT_FALSE(exists(t / "big.rel"));
    EXPECT_EQ(read_file(t / "banks.lst"), "big_0.rel\nbig_1.rel\nbig_2.rel\nd.rel\n");

    // Listed first, the input's last part begins its bank, whatever the order of the inputs.
    // The report lists each bank's contents in that order too.
    auto again = run("bankplan", {"-v", "--split", "-s", "100", "d.bin", "big.bin"}, t.path());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(read_file(t / "banks.lst"), "big_0.rel\nbig_1.rel\nbig_2.rel\nd.rel\n");
    EXPECT_EQ(again.out, "bank 2: 0 bytes free: big_0 (100)\n"
                         "bank 3: 0 bytes free: big_1 (100)\n"
                         "bank 4: 20 bytes free: big_2 (50) d (30)\n"
                         "3 banks for 280 bytes, lower bound 3: optimal\n");
}

// 97 files of which no four fit a bank: 33 banks, proven, where the bytes alone allow 31.
TEST(BankplanReport, ProvenByHowManyShareABank) {
    TempDir t;
    std::vector<std::string> args{"-v"};
    long total = 0;
    for (long size : sizes_between(97, 4097, 6000)) {
        std::string file = "f" + std::to_string(args.size()) + ".bin";
        write_file(t / file, data(size_t(size), unsigned(size)));
        args.push_back(file);
        total += size;
    }
    ASSERT_LT((total + 16383) / 16384, 33);
    auto r = run("bankplan", args, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1),
              "33 banks for " + std::to_string(total) + " bytes, lower bound 33: optimal\n");
}

// A plan the search could not prove says so, with what first-fit decreasing would have used; the
// split input's full banks count in both.
TEST(BankplanReport, NotProven) {
    bankplan::Layout layout;
    layout.size = 100;
    layout.first = 5;
    layout.banks = 3;
    layout.inputs = {{"a.bin", "a", std::string(250, 'a'), 3}, {"b.bin", "b", "bb", 0}};
    layout.pieces = {
        {0, "a_0", 0, 100, 5}, {0, "a_1", 100, 100, 6}, {0, "a_2", 200, 50, 7}, {1, "b", 0, 2, 7}};
    layout.plan.bins = 1;
    layout.plan.ffd = 2;
    layout.plan.optimal = false;
    EXPECT_EQ(bankplan::report(layout), "bank 5: 0 bytes free: a_0 (100)\n"
                                        "bank 6: 0 bytes free: a_1 (100)\n"
                                        "bank 7: 48 bytes free: a_2 (50) b (2)\n"
                                        "3 banks for 252 bytes, lower bound 3: not proven optimal "
                                        "(first-fit decreasing: 4)\n");
}

// An empty file still gets its module, symbol and bank, as binobj would wrap it.
TEST(BankplanWrites, AnEmptyFile) {
    TempDir t;
    write_file(t / "none.bin", "");
    auto r = run("bankplan", {"-v", "none.bin"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "bank 2: 16384 bytes free: none (0)\n"
                     "1 bank for 0 bytes, lower bound 0: optimal\n");
    ASSERT_EQ(run("binobj", {"none.bin", "2"}, t.path()).status, 0);
    EXPECT_EQ(read_file(t / "none.rel"), read_file(t / "none.o"));
}

// Names beside the refused ones are taken: one "_" first, two within, a keyword within.
TEST(BankplanWrites, NamesBesideTheRefusedOnes) {
    TempDir t;
    std::vector<std::string> args;
    for (const char* name : {"_one", "a__b", "int8", "Bool"}) {
        write_file(t / (std::string(name) + ".bin"), data(10, 1));
        args.push_back(std::string(name) + ".bin");
    }
    auto r = run("bankplan", args, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string header = read_file(t / "banks.h");
    for (const char* name : {"_one", "a__b", "int8", "Bool"})
        EXPECT_NE(header.find("extern const unsigned char " + std::string(name) + "[];"),
                  std::string::npos)
            << name;
}

struct Refusal {
    std::string name;
    std::vector<std::pair<std::string, size_t>> files; // name and size
    std::vector<std::string> args;
    int status;
    std::string message; // standard error, whole for status 1, its first line for status 2
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

class BankplanRefuses : public testing::TestWithParam<Refusal> {};

// Nothing is written, whatever the reason; the message says which file and why.
TEST_P(BankplanRefuses, WritingNothing) {
    const Refusal& c = GetParam();
    TempDir t;
    for (auto& [name, size] : c.files) {
        std::filesystem::create_directories(std::filesystem::path(t / name).parent_path());
        write_file(t / name, data(size, 6));
    }
    auto before = snapshot(t.path());
    auto r = run("bankplan", c.args, t.path());
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    if (c.status == 2)
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.message);
    else
        EXPECT_EQ(r.err, c.message);
    EXPECT_EQ(snapshot(t.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BankplanRefuses,
    testing::Values(
        Refusal{
            "LargerThanABank",
            {{"a.bin", 10}, {"big.bin", 16385}},
            {"a.bin", "big.bin"},
            1,
            "bankplan: big.bin: more than a bank's 16384 bytes (--split cuts it across banks)\n"},
        Refusal{"LargerThanASmallBank",
                {{"a.bin", 101}},
                {"-s", "100", "a.bin"},
                1,
                "bankplan: a.bin: more than a bank's 100 bytes (--split cuts it across banks)\n"},
        Refusal{"SameSymbol",
                {{"tiles.bin", 10}, {"sub/tiles.pal", 10}},
                {"tiles.bin", "sub/tiles.pal"},
                1,
                "bankplan: sub/tiles.pal: its name tiles in banks.h clashes with tiles.bin's\n"},
        Refusal{"SymbolOfAPart",
                {{"song.bin", 300}, {"song_1.bin", 10}},
                {"--split", "-s", "100", "song.bin", "song_1.bin"},
                1,
                "bankplan: song_1.bin: its name song_1 in banks.h clashes with song.bin's\n"},
        Refusal{"MacroOfAnother",
                {{"a.bin", 10}, {"a_size.bin", 10}},
                {"a.bin", "a_size.bin"},
                1,
                "bankplan: a_size.bin: its name a_size in banks.h clashes with a.bin's\n"},
        Refusal{"NoCName",
                {{"my-song.bin", 10}},
                {"my-song.bin"},
                1,
                "bankplan: my-song.bin: \"my-song\" is no C name: the file name before its last "
                "\".\" must be letters, digits and \"_\", not beginning with a digit\n"},
        Refusal{"Keyword",
                {{"a.bin", 10}, {"int.pal", 10}},
                {"a.bin", "int.pal"},
                1,
                "bankplan: int.pal: \"int\" is a keyword of C\n"},
        Refusal{"DigitFirst",
                {{"8bit.bin", 10}},
                {"8bit.bin"},
                1,
                "bankplan: 8bit.bin: \"8bit\" is no C name: the file name before its last \".\" "
                "must be letters, digits and \"_\", not beginning with a digit\n"},
        Refusal{"TwoUnderscoresFirst",
                {{"a.bin", 10}, {"__init.bin", 10}},
                {"a.bin", "__init.bin"},
                1,
                "bankplan: __init.bin: \"__init\" begins with two \"_\", which C keeps for the "
                "compiler\n"},
        Refusal{"IncludeGuard",
                {{"BANKPLAN_BANKS_H.bin", 10}},
                {"BANKPLAN_BANKS_H.bin"},
                1,
                "bankplan: BANKPLAN_BANKS_H.bin: its name BANKPLAN_BANKS_H in banks.h clashes "
                "with banks.h's include guard\n"},
        Refusal{"LibraryMacro",
                {{"NULL.bin", 10}},
                {"NULL.bin"},
                1,
                "bankplan: NULL.bin: its name NULL in banks.h clashes with a macro of stddef.h\n"},
        Refusal{"BoolMacro",
                {{"a.bin", 10}, {"true.bin", 10}},
                {"a.bin", "true.bin"},
                1,
                "bankplan: true.bin: its name true in banks.h clashes with a macro of stdbool.h (a "
                "keyword of C23)\n"},
        Refusal{"PlayersHeader",
                {{"play_sample_banked.bin", 10}},
                {"play_sample_banked.bin"},
                1,
                "bankplan: play_sample_banked.bin: its name play_sample_banked in banks.h clashes "
                "with the players' header player.h\n"},
        Refusal{"Reserved",
                {{"a.bin", 10}, {"mapper.bin", 10}},
                {"--reserve", "main,sounds", "a.bin", "--reserve", "mapper", "mapper.bin"},
                1,
                "bankplan: mapper.bin: its name mapper in banks.h clashes with a name the program "
                "keeps (--reserve)\n"},
        Refusal{"ReservedNameOfAPart",
                {{"song.bin", 300}},
                {"--split", "-s", "100", "--reserve", "song_2_bank", "song.bin"},
                1,
                "bankplan: song.bin: its name song_2_bank in banks.h clashes with a name the "
                "program keeps (--reserve)\n"},
        Refusal{"ReserveNoCName",
                {{"a.bin", 10}},
                {"--reserve", "my-name", "a.bin"},
                2,
                "bankplan: --reserve my-name: expected C names, split by commas\n"},
        Refusal{"ReserveEmptyName",
                {{"a.bin", 10}},
                {"--reserve", "main,", "a.bin"},
                2,
                "bankplan: --reserve main,: expected C names, split by commas\n"},
        Refusal{"GivenTwice",
                {{"a.bin", 10}, {"b.bin", 10}},
                {"a.bin", "b.bin", "a.bin"},
                1,
                "bankplan: a.bin: given twice\n"},
        Refusal{"GivenTwiceByAnotherPath",
                {{"a.bin", 10}},
                {"a.bin", "./a.bin"},
                1,
                "bankplan: ./a.bin: given twice (as a.bin too)\n"},
        Refusal{"StandardInput",
                {{"a.bin", 10}},
                {"a.bin", "-"},
                1,
                "bankplan: -: standard input has no file name to name its asset\n"},
        Refusal{"Missing",
                {{"a.bin", 10}},
                {"a.bin", "b.bin"},
                1,
                "bankplan: b.bin: No such file or directory\n"},
        Refusal{"TooManyBanks",
                {{"a.bin", 100}, {"b.bin", 100}, {"c.bin", 100}},
                {"-s", "100", "-f", "254", "a.bin", "b.bin", "c.bin"},
                1,
                "bankplan: c.bin: lands in bank 256, beyond the last, 255: the inputs need 3 "
                "banks from bank 254\n"},
        Refusal{"OutputFolderMissing",
                {{"a.bin", 10}},
                {"-o", "nowhere", "a.bin"},
                1,
                "bankplan: nowhere: No such file or directory\n"},
        Refusal{"OutputFolderAFile",
                {{"a.bin", 10}},
                {"-o", "a.bin", "a.bin"},
                1,
                "bankplan: a.bin: Not a directory\n"},
        Refusal{"OutputIsAnInput",
                {{"a.bin", 10}, {"banks.h", 10}},
                {"a.bin", "banks.h"},
                1,
                "bankplan: banks.h: is the same file as the input banks.h\n"},
        Refusal{"ModuleIsAnInputInAFolder",
                {{"a.bin", 10}, {"out/b.rel", 10}},
                {"-o", "out", "a.bin", "out/b.rel"},
                1,
                "bankplan: out/b.rel: is the same file as the input out/b.rel\n"},
        Refusal{"InputIsAFolder",
                {{"a.bin", 10}, {"sub/b.bin", 10}},
                {"a.bin", "sub"},
                1,
                "bankplan: sub: Is a directory\n"},
        Refusal{"NoInputs", {}, {"-v"}, 2, "bankplan: missing operand\n"},
        Refusal{"SizeZero",
                {{"a.bin", 10}},
                {"-s", "0", "a.bin"},
                2,
                "bankplan: -s 0: expected a whole number from 1 to 16384\n"},
        Refusal{"SizeAboveTheWindow",
                {{"a.bin", 10}},
                {"--size", "16385", "a.bin"},
                2,
                "bankplan: --size 16385: expected a whole number from 1 to 16384\n"},
        Refusal{"SizeInHexadecimal",
                {{"a.bin", 10}},
                {"--size=0x100", "a.bin"},
                2,
                "bankplan: --size 0x100: expected a whole number from 1 to 16384\n"},
        Refusal{"SizeWithoutValue",
                {{"a.bin", 10}},
                {"a.bin", "--size"},
                2,
                "bankplan: option needs a value: --size\n"},
        Refusal{"FirstBankOfTheProgram",
                {{"a.bin", 10}},
                {"--first", "1", "a.bin"},
                2,
                "bankplan: --first 1: expected a whole number from 2 to 255 (banks 0 and 1 hold "
                "the program)\n"},
        Refusal{"FirstBeyondTheLast",
                {{"a.bin", 10}},
                {"-f", "256", "a.bin"},
                2,
                "bankplan: -f 256: expected a whole number from 2 to 255 (banks 0 and 1 hold "
                "the program)\n"},
        Refusal{"UnknownOption",
                {{"a.bin", 10}},
                {"--spilt", "a.bin"},
                2,
                "bankplan: unknown option: --spilt\n"},
        Refusal{"FlagWithAValue",
                {{"a.bin", 10}},
                {"--split=yes", "a.bin"},
                2,
                "bankplan: option takes no value: --split\n"}),
    ByName());

// Every name the players' header declares or defines is refused as an input's, so that a program
// that plays the banks' sounds compiles whatever the files are called.
TEST(BankplanRefusesNames, EveryNameOfThePlayersHeader) {
    std::string header = read_file(source_path("player/player.h"));
    header = std::regex_replace(header, std::regex(R"(/\*[^*]*\*+([^/*][^*]*\*+)*/)"), "");
    std::set<std::string> names;
    std::regex declared(R"(#\s*(?:define|ifndef)\s+(\w+)|\b([A-Za-z]\w*)\s*\()");
    for (std::sregex_iterator m(header.begin(), header.end(), declared), end; m != end; ++m)
        names.insert((*m)[1].matched ? (*m)[1].str() : (*m)[2].str());
    EXPECT_GE(names.size(), 3u) << header;
    TempDir t;
    for (const std::string& name : names) {
        write_file(t / (name + ".bin"), data(10, 1));
        auto r = run("bankplan", {name + ".bin"}, t.path());
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.err, "bankplan: " + name + ".bin: its name " + name +
                             " in banks.h clashes with the players' header player.h\n");
    }
}

// An earlier module of the same name is replaced only when the whole run succeeds: a refused run
// leaves the previous outputs as they were.
TEST(BankplanRefusesAfterSuccess, KeepsThePreviousOutputs) {
    TempDir t;
    write_file(t / "a.bin", data(10, 1));
    ASSERT_EQ(run("bankplan", {"a.bin"}, t.path()).status, 0);
    write_file(t / "b.bin", data(16385, 2));
    auto before = snapshot(t.path());
    EXPECT_EQ(run("bankplan", {"a.bin", "b.bin"}, t.path()).status, 1);
    EXPECT_EQ(snapshot(t.path()), before);

    // The last output refused (no write bit, which even root is refused on): the modules and
    // banks.h before it are not replaced either, and no temporary file is left.
    write_file(t / "b.bin", data(20, 3));
    std::filesystem::permissions(t / "banks.lst", std::filesystem::perms::owner_read |
                                                      std::filesystem::perms::group_read);
    before = snapshot(t.path());
    auto r = run("bankplan", {"a.bin", "b.bin"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "bankplan: banks.lst: Permission denied\n");
    EXPECT_EQ(snapshot(t.path()), before);
}

TEST(BankplanTells, HelpAndVersion) {
    TempDir t;
    auto help = run("bankplan", {"--help"}, t.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: bankplan ", 0), 0u) << help.out;
    // The help ends where the manual is.
    EXPECT_EQ(help.out.substr(help.out.rfind('\n', help.out.size() - 2) + 1),
              manual_line("bankplan"))
        << help.out;
    std::string bankplan_help = help.out;
    help = run("bankrom", {"--help"}, t.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.substr(help.out.rfind('\n', help.out.size() - 2) + 1),
              manual_line("bankrom"))
        << help.out;
    // Within 80 columns, as a terminal shows them.
    for (const std::string& text : {bankplan_help, help.out}) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    }
    auto version = run("bankrom", {"--version"}, t.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, version_text("bankrom"));
    version = run("bankplan", {"--version"}, t.path());
    EXPECT_EQ(version.out, version_text("bankplan"));
}

// bankrom's command line and its inputs, without a link: an image of no bytes and an empty map
// make the first 32 KB, erased.
struct RomRefusal {
    std::string name;
    std::vector<std::string> args;
    int status;
    std::string message; // standard error, its first line
};

void PrintTo(const RomRefusal& c, std::ostream* os) {
    *os << c.name;
}

class BankromRefuses : public testing::TestWithParam<RomRefusal> {};

TEST_P(BankromRefuses, WritingNothing) {
    const RomRefusal& c = GetParam();
    TempDir t;
    write_file(t / "prog.ihx", ":00000001FF\n");
    write_file(t / "prog.map", "");
    write_file(t / "bad.ihx", ":0100000000FE\n");
    write_file(t / "bad.rel", "XL2\nH 1 areas 1 global symbols\n");
    // A module of one area and symbol, as binobj writes it, and one whose area claims 4 GB.
    const std::string module = "XL2\nH 1 areas 1 global symbols\nA _CODE_2 size %s flags 0 addr 0\n"
                               "S _a Def0000\nT 00 00 AA BB CC\nR 00 00 00 00\n";
    write_file(t / "a.rel",
               module.substr(0, module.find("%s")) + "3" + module.substr(module.find("%s") + 2));
    write_file(t / "huge.rel", module.substr(0, module.find("%s")) + "FFFFFFFF" +
                                   module.substr(module.find("%s") + 2));
    write_file(t / "a.map", "     00028000  _a\n");
    // The module a.rel's bytes in the HEX image, with a byte no module places (at 0x8003), or
    // with another byte on one of its own (at 0x8001), as an absolute area's would stand.
    write_file(t / "over.ihx", ":03800000AABBCC4C\n:01800300DD9F\n:00000001FF\n");
    write_file(t / "under.ihx", ":03800000AABBCC4C\n:01800100116D\n:00000001FF\n");
    write_file(t / "abs.ihx", ":01900000AAC5\n:00000001FF\n");
    write_file(t / "cut.ihx", ":02010000AA55FE\n");
    write_file(t / "banks.map", "_CODE_2    00028000    00000003 =    3. bytes (REL,CON)\n");
    write_file(t / "undefined.map", "     00000000  _play\n\n?ASlink-Warning-Undefined Global "
                                    "'_play' referenced by module 'main'\n");
    write_file(t / "far.map", "     FFFF8000  _a\n");
    std::filesystem::create_directory(t / "sub");
    auto before = snapshot(t.path());
    auto r = run("bankrom", c.args, t.path());
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.message);
    EXPECT_EQ(snapshot(t.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BankromRefuses,
    testing::Values(
        RomRefusal{"NoMap", {"prog.ihx"}, 2, "bankrom: missing operand\n"},
        RomRefusal{
            "UnknownOption", {"-x", "prog.ihx", "prog.map"}, 2, "bankrom: unknown option: -x\n"},
        RomRefusal{"OutputWithoutValue",
                   {"prog.ihx", "prog.map", "--output"},
                   2,
                   "bankrom: option needs a value: --output\n"},
        RomRefusal{"StandardInputWithoutOutput",
                   {"-", "prog.map"},
                   2,
                   "bankrom: -o is needed when HEX is standard input\n"},
        RomRefusal{"MissingInput",
                   {"prog.ihx", "none.map"},
                   1,
                   "bankrom: none.map: No such file or directory\n"},
        RomRefusal{
            "FolderInput", {"prog.ihx", "prog.map", "sub"}, 1, "bankrom: sub: Is a directory\n"},
        RomRefusal{"NoHexRecord",
                   {"bad.ihx", "prog.map"},
                   1,
                   "bankrom: bad.ihx: line 1 is no Intel HEX record\n"},
        RomRefusal{"NoModule",
                   {"prog.ihx", "prog.map", "bad.rel"},
                   1,
                   "bankrom: bad.rel: not an object module of one area with a global symbol\n"},
        RomRefusal{"AreaLargerThanABank",
                   {"prog.ihx", "a.map", "huge.rel"},
                   1,
                   "bankrom: huge.rel: the map puts _a at 0x28000, not in the window of a bank "
                   "from 2 to 255\n"},
        RomRefusal{"BankBeyondTheMapper",
                   {"prog.ihx", "far.map", "a.rel"},
                   1,
                   "bankrom: a.rel: the map puts _a at 0xFFFF8000, not in the window of a bank "
                   "from 2 to 255\n"},
        RomRefusal{"ImageCutShort",
                   {"cut.ihx", "prog.map"},
                   1,
                   "bankrom: cut.ihx: no end record: the image is cut short\n"},
        RomRefusal{"ByteInTheWindowNoModuleGiven",
                   {"abs.ihx", "prog.map"},
                   1,
                   "bankrom: abs.ihx: its byte at 0x9000, in the bank window, comes from no module "
                   "given (an absolute area, or a module left out)\n"},
        RomRefusal{
            "ByteBesideAModule",
            {"over.ihx", "a.map", "a.rel"},
            1,
            "bankrom: over.ihx: its byte at 0x8003, in the bank window, comes from no module "
            "given (an absolute area, or a module left out)\n"},
        RomRefusal{
            "ByteOnAModulesOwn",
            {"under.ihx", "a.map", "a.rel"},
            1,
            "bankrom: under.ihx: its byte at 0x8001, in the bank window, comes from no module "
            "given (an absolute area, or a module left out)\n"},
        RomRefusal{"BankWithoutModules",
                   {"prog.ihx", "banks.map"},
                   1,
                   "bankrom: banks.map: the map's area _CODE_2 holds 3 bytes, and no module given "
                   "lies in it\n"},
        RomRefusal{"UndefinedGlobal",
                   {"prog.ihx", "undefined.map"},
                   1,
                   "bankrom: undefined.map: the linker left a global undefined: '_play' referenced "
                   "by module 'main' (the link failed)\n"},
        RomRefusal{"StandardInputTwice",
                   {"-o", "y.rom", "-", "-"},
                   2,
                   "bankrom: - (standard input) named twice\n"},
        RomRefusal{"OutputIsTheMap",
                   {"-o", "prog.map", "prog.ihx", "prog.map"},
                   1,
                   "bankrom: prog.map: is the same file as the input prog.map\n"},
        RomRefusal{"OutputIsTheImage",
                   {"-o", "./prog.ihx", "prog.ihx", "prog.map"},
                   1,
                   "bankrom: ./prog.ihx: is the same file as the input prog.ihx\n"},
        RomRefusal{"OutputIsAFolder",
                   {"-o", "sub", "prog.ihx", "prog.map"},
                   1,
                   "bankrom: sub: Is a directory\n"}),
    ByName());

// "-" writes the image to standard output; by default it goes beside the HEX image, as .rom.
TEST(BankromWrites, StandardOutputAndTheDefaultName) {
    TempDir t;
    write_file(t / "prog.ihx", ":02010000AA55FE\n:00000001FF\n");
    write_file(t / "prog.map", "");
    std::string expected(32768, char(0xFF));
    expected[0x100] = char(0xAA);
    expected[0x101] = char(0x55);
    auto r = run("bankrom", {"-o", "-", "prog.ihx", "prog.map"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, expected);
    EXPECT_FALSE(exists(t / "prog.rom"));
    r = run("bankrom", {"prog.ihx", "prog.map"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(t / "prog.rom"), expected);

    // A module's bytes in the HEX image's window, and in the map its bank's area, which it fills.
    write_file(t / "bank.ihx", ":03800000AABBCC4C\n:00000001FF\n");
    write_file(t / "bank.map", "_CODE_2    00028000    00000003 =    3. bytes (REL,CON)\n"
                               "     00028000  _a\n");
    write_file(t / "a.rel", "XL2\nH 1 areas 1 global symbols\nA _CODE_2 size 3 flags 0 addr 0\n"
                            "S _a Def0000\nT 00 00 AA BB CC\nR 00 00 00 00\n");
    r = run("bankrom", {"-o", "-", "bank.ihx", "bank.map", "a.rel"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.size(), 3 * 16384u);
    EXPECT_EQ(r.out.substr(2 * 16384, 4), "\xAA\xBB\xCC\xFF");
}

// ---- The link, the ROM image and the machine.
// The window's edges, byte for byte: an area of the program's own may end at 0x8000 and begin at
// 0xC000, no nearer; a module's area may begin at 0x8000 and end at 0xC000, no further.
struct Edge {
    std::string name;
    std::string map;    // the linker's map: an area line, or a module's symbol
    std::string module; // "": none; else the module's area size, in hexadecimal
    int status;
    std::string message; // standard error
};

void PrintTo(const Edge& c, std::ostream* os) {
    *os << c.name;
}

class BankromWindow : public testing::TestWithParam<Edge> {};

TEST_P(BankromWindow, EdgesAreExact) {
    const Edge& c = GetParam();
    TempDir t;
    write_file(t / "prog.ihx", ":00000001FF\n");
    write_file(t / "prog.map", c.map);
    std::vector<std::string> args{"-o", "-", "prog.ihx", "prog.map"};
    if (!c.module.empty()) {
        write_file(t / "a.rel", "XL2\nH 1 areas 1 global symbols\nA _CODE_2 size " + c.module +
                                    " flags 0 addr 0\nS _a Def0000\nT 00 00 AA\nR 00 00 00 00\n");
        args.push_back("a.rel");
    }
    auto r = run("bankrom", args, t.path());
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.message);
    if (c.status == 0) {
        EXPECT_GE(r.out.size(), 32768u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bankrom, BankromWindow,
    testing::Values(
        Edge{"AreaEndsAtTheWindow", "_CODE    00007FF0    00000010 =    16. bytes (REL,CON)\n", "",
             0, ""},
        Edge{"AreaOneByteIntoTheWindow", "_CODE    00007FF0    00000011 =    17. bytes (REL,CON)\n",
             "", 1,
             "bankrom: prog.map: the map puts the area _CODE at 0x7FF0 (17 bytes), into the bank "
             "window\n"},
        Edge{"AreaAtTheWindowsLastByte", "_DATA    0000BFFF    00000001 =    1. bytes (REL,CON)\n",
             "", 1,
             "bankrom: prog.map: the map puts the area _DATA at 0xBFFF (1 byte), into the bank "
             "window\n"},
        Edge{"AreaOverTheWholeAddressSpace",
             "_CODE    00000100    FFFFFFFF =    4294967295. bytes (REL,CON)\n", "", 1,
             "bankrom: prog.map: the map puts the area _CODE at 0x100 (4294967295 bytes), into "
             "the bank window\n"},
        Edge{"AreaAboveTheWindow", "_DATA    0000C000    00000100 =    256. bytes (REL,CON)\n", "",
             0, ""},
        Edge{"ModuleAtTheWindowsStart", "     00028000  _a\n", "4000", 0, ""},
        Edge{"ModuleOneByteBelowTheWindow", "     00027FFF  _a\n", "1", 1,
             "bankrom: a.rel: the map puts _a at 0x27FFF, not in the window of a bank from 2 to "
             "255\n"},
        Edge{"ModuleEndsAtTheWindowsTop", "     0002BFFF  _a\n", "1", 0, ""},
        Edge{"ModuleOneByteOverTheWindowsTop", "     0002BFFF  _a\n", "2", 1,
             "bankrom: a.rel: the map puts _a at 0x2BFFF, not in the window of a bank from 2 to "
             "255\n"}),
    ByName());

struct Asset {
    std::string file;
    size_t size;
};

class BankplanOnTheMachine : public testing::Test {
  protected:
    void SetUp() override {
        for (const char* t : {"sdcc", "sdldz80"}) NEED_TOOL(t);
    }
    TempDir t;
};

// The bank and the address of a symbol, from the linker's map.
uint32_t placed(const std::string& map, const std::string& name) {
    auto v = symbol_value(map, "_" + name);
    EXPECT_TRUE(v) << name << " is not in the map";
    return v ? *v : 0;
}

// A C program reads the first and the last byte of every asset (and every part of a split one)
// through the mapper and writes them to port 0x10; the ROM image bankrom makes runs on the
// emulated machine, and each byte must be the file's.
TEST_F(BankplanOnTheMachine, ReadsEveryAssetThroughItsBank) {
    std::vector<Asset> assets{{"voice.bin", 9000}, {"tiles.chr", 12000}, {"pal.bin", 512},
                              {"text.txt", 7000},  {"map.bin", 16384},   {"song.bin", 40000},
                              {"tiny.bin", 1}};
    std::vector<std::string> args{"--split", "-o", "banks"};
    for (size_t i = 0; i < assets.size(); ++i) {
        write_file(t / assets[i].file, data(assets[i].size, unsigned(10 + i)));
        args.push_back(assets[i].file);
    }
    std::filesystem::create_directory(t / "banks");
    auto plan = run("bankplan", args, t.path());
    ASSERT_EQ(plan.status, 0) << plan.err;

    // Every piece: its C name, file and offset in it.
    struct Piece {
        std::string name, file;
        size_t offset, size;
    };
    std::vector<Piece> pieces;
    for (const Asset& a : assets) {
        std::string stem = a.file.substr(0, a.file.find('.'));
        if (a.size <= 16384) {
            pieces.push_back({stem, a.file, 0, a.size});
            continue;
        }
        for (size_t at = 0, p = 0; at < a.size; at += 16384, ++p)
            pieces.push_back(
                {stem + "_" + std::to_string(p), a.file, at, std::min<size_t>(16384, a.size - at)});
    }
    std::string program =
        "#include \"banks/banks.h\"\n"
        "__sfr __at 0x10 out;\n"
        "volatile __at 0xFFFF unsigned char mapper;\n"
        "static void show(unsigned char bank, const unsigned char* p, unsigned int size) {\n"
        "    mapper = bank;\n    out = p[0];\n    out = p[size - 1];\n}\n"
        "void main(void) {\n";
    for (const Piece& p : pieces)
        program += "    show(" + p.name + "_bank, " + p.name + ", " + p.name + "_size);\n";
    // main never returns: its return address lies at the top of RAM, where the mapper's
    // register is.
    program += "    __asm\n        di\n        halt\n    __endasm;\n}\n";
    write_file(t / "main.c", program);

    Tool compile = tool({"sdcc", "-mz80", "-c", "main.c"}, t.path());
    ASSERT_EQ(compile.status, 0) << compile.output;
    std::vector<std::string> link{"sdcc", "-mz80", "--code-loc", "0x0200", "--data-loc", "0xC000"};
    std::string options = read_file(t / "banks/banks.opt");
    std::istringstream lines(options);
    for (std::string line; std::getline(lines, line);) link.push_back(line);
    link.insert(link.end(), {"-o", "prog.ihx", "main.rel"});
    std::vector<std::string> modules;
    std::istringstream listed(read_file(t / "banks/banks.lst"));
    for (std::string line; std::getline(listed, line);) modules.push_back(line);
    EXPECT_EQ(modules.size(), pieces.size());
    link.insert(link.end(), modules.begin(), modules.end());
    Tool linked = tool(link, t.path());
    ASSERT_EQ(linked.status, 0) << linked.output;
    EXPECT_EQ(linked.output.find("?ASlink"), std::string::npos) << linked.output;

    std::vector<std::string> make{"prog.ihx", "prog.map"};
    make.insert(make.end(), modules.begin(), modules.end());
    auto rom_run = run("bankrom", make, t.path());
    ASSERT_EQ(rom_run.status, 0) << rom_run.err;
    std::string rom = read_file(t / "prog.rom");

    // Every piece at the place the map gives it, in the image, whole.
    std::string map = read_file(t / "prog.map");
    std::string header = read_file(t / "banks/banks.h");
    std::vector<uint8_t> expected; // the bytes written to port 0x10
    for (const Piece& p : pieces) {
        uint32_t at = placed(map, p.name);
        std::smatch m;
        ASSERT_TRUE(
            std::regex_search(header, m, std::regex("#define " + p.name + "_bank ([0-9]+)\n")));
        EXPECT_EQ(at >> 16, uint32_t(std::stoul(m[1])))
            << p.name << ": the map's bank and the header's";
        // Every part of a split input begins its bank, so the input reads on across banks.
        if (p.name.find('_') != std::string::npos) {
            EXPECT_EQ(at & 0xFFFF, 0x8000u) << p.name;
        }
        size_t offset = (at >> 16) * 16384 + (at & 0xFFFF) - 0x8000;
        std::string file = read_file(t / p.file).substr(p.offset, p.size);
        ASSERT_LE(offset + p.size, rom.size()) << p.name;
        EXPECT_EQ(rom.substr(offset, p.size), file) << p.name;
        expected.push_back(uint8_t(file.front()));
        expected.push_back(uint8_t(file.back()));
    }
    // The program's own bytes in the first 32 KB, as in the HEX image's records below the
    // window (the records in the window are the banks, on top of each other).
    std::istringstream hex_lines(read_file(t / "prog.ihx"));
    size_t program_bytes = 0;
    for (std::string line; std::getline(hex_lines, line);) {
        unsigned count = std::stoul(line.substr(1, 2), nullptr, 16);
        unsigned address = std::stoul(line.substr(3, 4), nullptr, 16);
        if (line.substr(7, 2) != "00" || address >= 0x8000) continue;
        for (unsigned i = 0; i < count; ++i, ++program_bytes)
            ASSERT_EQ(uint8_t(rom[address + i]), std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16))
                << "at " << address + i;
    }
    EXPECT_GT(program_bytes, 0u);

#ifdef ASSETKIT_HAVE_Z80EX
    z80::Machine machine;
    machine.use_banks(rom);
    ASSERT_EQ(machine.run(10'000'000), z80::Stop::halted);
    std::vector<z80::PortWrite> got;
    for (const z80::PortWrite& w : machine.writes())
        if ((w.port & 0xFF) == 0x10) got.push_back(w);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(int(got[i].value), int(expected[i]))
            << "write " << i << ", " << pieces[i / 2].name;
#else
    if (!have_library("libz80ex", false))
        GTEST_SKIP() << "libz80ex is missing: the image was not run";
#endif
}

// bankrom refuses what it cannot place, and writes nothing then.
TEST_F(BankplanOnTheMachine, BankromRefusesAModuleNotLinked) {
    write_file(t / "a.bin", data(10, 1));
    write_file(t / "b.bin", data(10, 2));
    ASSERT_EQ(run("bankplan", {"a.bin", "b.bin"}, t.path()).status, 0);
    write_file(t / "main.c", "extern const unsigned char a[];\nunsigned char x;\n"
                             "void main(void) { x = a[0]; }\n");
    ASSERT_EQ(tool({"sdcc", "-mz80", "-c", "main.c"}, t.path()).status, 0);
    Tool linked = tool({"sdcc", "-mz80", "--data-loc", "0xC000", "-Wl-b_CODE_2=0x28000", "-o",
                        "prog.ihx", "main.rel", "a.rel"},
                       t.path());
    ASSERT_EQ(linked.status, 0) << linked.output;
    auto r = run("bankrom", {"prog.ihx", "prog.map", "a.rel", "b.rel"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "bankrom: b.rel: _b is not in the linker's map: the module was not linked\n");
    EXPECT_FALSE(exists(t / "prog.rom"));

    // The same module twice lands on itself.
    r = run("bankrom", {"prog.ihx", "prog.map", "a.rel", "a.rel"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "bankrom: a.rel: its byte at 0x28000 lands where another already stands\n");
    EXPECT_FALSE(exists(t / "prog.rom"));

    // The program's code reaching into the window, where the HEX image holds the banks.
    std::string map = read_file(t / "prog.map");
    size_t code = map.find("\n_CODE  ");
    ASSERT_NE(code, std::string::npos) << map;
    write_file(t / "over.map", map.substr(0, code) +
                                   "\n_CODE                               00007FF0    00000020 =  "
                                   "        32. bytes (REL,CON)" +
                                   map.substr(map.find('\n', code + 1)));
    r = run("bankrom", {"-o", "over.rom", "prog.ihx", "over.map", "a.rel"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "bankrom: over.map: the map puts the area _CODE at 0x7FF0 (32 bytes), into "
                     "the bank window\n");
    EXPECT_FALSE(exists(t / "over.rom"));

    // An absolute area in the window, as binobj writes one for an address: its bytes are in the
    // HEX image, and in no module bankrom is given.
    write_file(t / "pal.bin", data(64, 3));
    ASSERT_EQ(run("binobj", {"pal.bin", "0x9000"}, t.path()).status, 0);
    std::filesystem::rename(t / "pal.o", t / "pal.rel"); // the name sdcc links
    linked = tool({"sdcc", "-mz80", "--data-loc", "0xC000", "-Wl-b_CODE_2=0x28000", "-o", "abs.ihx",
                   "main.rel", "a.rel", "pal.rel"},
                  t.path());
    ASSERT_EQ(linked.status, 0) << linked.output;
    ASSERT_TRUE(exists(t / "abs.ihx")) << linked.output; // sdcc ends 0 on a file it cannot take
    r = run("bankrom", {"abs.ihx", "abs.map", "a.rel"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "bankrom: abs.ihx: its byte at 0x9000, in the bank window, comes from no "
                     "module given (an absolute area, or a module left out)\n");
    EXPECT_FALSE(exists(t / "abs.rom"));

    // A link that failed, a global left undefined, still leaves its image and map behind.
    linked = tool({"sdcc", "-mz80", "--data-loc", "0xC000", "-o", "undefined.ihx", "main.rel"},
                  t.path());
    ASSERT_NE(linked.status, 0) << linked.output;
    r = run("bankrom", {"undefined.ihx", "undefined.map"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "bankrom: undefined.map: the linker left a global undefined: '_a' referenced "
                     "by module 'main' (the link failed)\n");
    EXPECT_FALSE(exists(t / "undefined.rom"));

    write_file(t / "high.ihx", ":01C00000AA95\n:00000001FF\n");
    r = run("bankrom", {"high.ihx", "prog.map", "a.rel"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "bankrom: high.ihx: a byte at 0xC000, above the bank window: not in ROM\n");
    EXPECT_FALSE(exists(t / "high.rom"));
}

} // namespace
