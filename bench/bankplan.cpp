// The bank planner on generated instances (not a test): banks used against the lower bound and
// against first-fit decreasing, whether the plan is proven optimal, and the time per plan.
// Perfect fits are banks cut into random pieces and shuffled, so the optimum is their bank count;
// random instances draw sizes from a range. Build and run with bench/bankplan-run.
//   bankplan-bench [seed]
#include "bankplan/plan.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using bankplan::Plan;
using bankplan::plan_bins;

constexpr long bank = 16384;

// n pieces from banks of 16384 bytes: cut points drawn without repeats in each bank.
std::vector<long> perfect_fit(size_t n, std::mt19937& rng, int* banks) {
    *banks = std::max<int>(1, int((n + 3) / 4)); // about four assets a bank
    std::vector<size_t> pieces(size_t(*banks), 1);
    for (size_t i = size_t(*banks); i < n; ++i) ++pieces[rng() % pieces.size()];
    std::vector<long> sizes;
    for (size_t k : pieces) {
        std::set<long> cuts;
        while (cuts.size() + 1 < k) cuts.insert(1 + long(rng() % (bank - 1)));
        long at = 0;
        for (long c : cuts) {
            sizes.push_back(c - at);
            at = c;
        }
        sizes.push_back(bank - at);
    }
    std::shuffle(sizes.begin(), sizes.end(), rng);
    return sizes;
}

std::vector<long> random_sizes(size_t n, long low, long high, std::mt19937& rng) {
    std::vector<long> sizes;
    for (size_t i = 0; i < n; ++i) sizes.push_back(low + long(rng() % uint32_t(high - low + 1)));
    return sizes;
}

struct Row {
    std::string kind;
    size_t assets;
    int instances = 0, optimum_known = 0, optimum_found = 0, proven = 0;
    long banks = 0, ffd = 0, bound = 0;
    double total_ms = 0, worst_ms = 0;
};

void measure(Row* row, const std::vector<long>& sizes, int optimum) {
    auto start = std::chrono::steady_clock::now();
    Plan plan = plan_bins(sizes, bank);
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ++row->instances;
    row->banks += plan.bins;
    row->ffd += plan.ffd;
    row->bound += plan.lower_bound;
    row->proven += plan.optimal;
    if (optimum > 0) {
        ++row->optimum_known;
        row->optimum_found += plan.bins == optimum;
    }
    row->total_ms += ms;
    row->worst_ms = std::max(row->worst_ms, ms);
}

} // namespace

int main(int argc, char** argv) {
    std::mt19937 rng(argc > 1 ? unsigned(atoi(argv[1])) : 1u);
    const int per_row = 20;
    std::vector<Row> rows;
    for (size_t n : {10, 20, 30, 40, 50, 60}) {
        Row row{"perfect fit", n};
        for (int i = 0; i < per_row; ++i) {
            int banks = 0;
            std::vector<long> sizes = perfect_fit(n, rng, &banks);
            measure(&row, sizes, banks);
        }
        rows.push_back(row);
    }
    struct Range {
        const char* name;
        long low, high;
    };
    for (Range r : {Range{"random 1-16384", 1, 16384}, Range{"random 2000-8000", 2000, 8000},
                    Range{"random 100-4000", 100, 4000}}) {
        for (size_t n : {20, 40, 60}) {
            Row row{r.name, n};
            for (int i = 0; i < per_row; ++i) measure(&row, random_sizes(n, r.low, r.high, rng), 0);
            rows.push_back(row);
        }
    }
    // No four of them fit a bank: the optimum is a third of their count, which only a bound that
    // counts how many can share a bank proves.
    Row thirds{"random 4097-6000", 97};
    for (int i = 0; i < per_row; ++i) measure(&thirds, random_sizes(97, 4097, 6000, rng), 33);
    rows.push_back(thirds);
    printf("| Instances | Assets | Banks (bankplan) | Banks (FFD) | Lower bound | Proven optimal |"
           " Optimum found | Time per plan (mean / worst) |\n");
    printf("|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        std::string found = r.optimum_known ? std::to_string(r.optimum_found) + "/" +
                                                  std::to_string(r.optimum_known)
                                            : "-";
        printf("| %s x%d | %zu | %.2f | %.2f | %.2f | %d/%d | %s | %.1f ms / %.1f ms |\n",
               r.kind.c_str(), r.instances, r.assets, double(r.banks) / r.instances,
               double(r.ffd) / r.instances, double(r.bound) / r.instances, r.proven, r.instances,
               found.c_str(), r.total_ms / r.instances, r.worst_ms);
    }
    return 0;
}
