// Fuzz target for bankplan's planner. The input: two bytes of capacity (1 to 16384, little-endian,
// modulo), a byte that picks how many of the first items must each have a bin of their own, a
// byte of search budget (1 + 1000 a step), then two bytes for each item's size (0 to the
// capacity, modulo), at most 64 items. Every plan must place every item once, overflow no bin,
// use every bin it counts, keep the separate items apart in bins 0, 1..., never go below its
// bounds nor above first-fit decreasing, and say "optimal" only when it is: for a few items, an
// exhaustive search gives the true least count; otherwise the search must have run out of budget.
#include "bankplan/plan.h"
#include "fuzz/memory.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using bankplan::Plan;
using bankplan::plan_bins;

// The least count of bins for the items, the first `separate` each in a bin of its own, by
// trying every assignment (an item goes into a bin already open or opens the next).
struct Exhaustive {
    const std::vector<long>& sizes;
    long capacity;
    size_t separate;
    std::vector<long> load;
    int best = 1 << 30;

    void place(size_t i) {
        if (int(load.size()) >= best) return;
        if (i == sizes.size()) {
            best = int(load.size());
            return;
        }
        if (i >= separate)
            for (size_t b = 0; b < load.size(); ++b) {
                if (load[b] + sizes[i] > capacity) continue;
                load[b] += sizes[i];
                place(i + 1);
                load[b] -= sizes[i];
            }
        load.push_back(sizes[i]);
        place(i + 1);
        load.pop_back();
    }
};

unsigned word(const uint8_t* p) {
    return unsigned(p[0]) | unsigned(p[1]) << 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    long capacity = 1 + long(word(data) % 16384);
    std::vector<long> sizes;
    for (size_t at = 4; at + 1 < size && sizes.size() < 64; at += 2)
        sizes.push_back(long(word(data + at) % unsigned(capacity + 1)));
    size_t separate = data[2] % (sizes.size() + 1);
    long budget = 1 + long(data[3]) * 1000;

    Plan plan = plan_bins(sizes, capacity, separate, budget);
    REQUIRE(plan.bin_of.size() == sizes.size());
    std::vector<long> load(size_t(std::max(plan.bins, 0)), 0);
    for (size_t i = 0; i < sizes.size(); ++i) {
        REQUIRE(plan.bin_of[i] >= 0 && plan.bin_of[i] < plan.bins);
        load[size_t(plan.bin_of[i])] += sizes[i];
    }
    for (long l : load) REQUIRE(l <= capacity);
    // Every bin counted holds an item, but for the one bin a plan of empty items alone has.
    long total = 0;
    for (long s : sizes) total += s;
    if (total > 0)
        for (int b = 0; b < plan.bins; ++b)
            REQUIRE(std::count(plan.bin_of.begin(), plan.bin_of.end(), b) > 0);
    for (size_t i = 0; i < separate; ++i) REQUIRE(plan.bin_of[i] == int(i));

    REQUIRE(plan.lower_bound == std::max(bankplan::simple_bound(sizes, capacity), int(separate)));
    REQUIRE(plan.strong_bound >= plan.lower_bound);
    REQUIRE(plan.bins >= plan.strong_bound);
    REQUIRE(plan.bins <= std::max(plan.ffd, 1));
    REQUIRE(plan.optimal || plan.nodes > budget);

    // Few enough items to try every assignment: the count is never below the least, and a plan
    // called optimal has exactly the least.
    std::vector<long> placed;
    size_t placed_separate = 0;
    for (size_t i = 0; i < sizes.size(); ++i)
        if (i < separate || sizes[i] > 0) {
            placed.push_back(sizes[i]);
            placed_separate += i < separate;
        }
    if (placed.size() <= 9) {
        Exhaustive e{placed, capacity, placed_separate, {}};
        e.place(0);
        int least = std::max(e.best, sizes.empty() ? 0 : 1);
        REQUIRE(plan.bins >= least);
        if (plan.optimal) REQUIRE(plan.bins == least);
    }
    return 0;
}
