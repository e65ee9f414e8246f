#pragma once
// Planning of banks: items of given sizes into as few bins of one capacity as possible. An exact
// search (bin completion, bounded by a node budget) proves the plan optimal where it can; beyond
// its budget, first-fit decreasing improved by a local search gives the plan.

#include <cstddef>
#include <vector>

namespace bankplan {

struct Plan {
    std::vector<int> bin_of; // the bin of each item, numbered from 0
    int bins = 0;
    bool optimal = false; // proven: no plan with fewer bins exists
    int lower_bound = 0;  // ceil(total / capacity), at least the number of separate items
    int strong_bound = 0; // the bound the search starts from (strong_bound(), or separate)
    int ffd = 0;          // bins by first-fit decreasing alone, for comparison
    long nodes = 0;       // search nodes spent
};

// Enough search for a second or two on a slow machine; a count, not a clock, so that the same
// inputs always give the same plan.
constexpr long default_budget = 12'000'000;

// ceil(total / capacity).
int simple_bound(const std::vector<long>& sizes, long capacity);

// How many items can share a bin: at most k of those larger than capacity / (k + 1), so at
// least ceil(their count / k) bins, for every k (two a bin above a third, one above a half).
int cardinality_bound(const std::vector<long>& sizes, long capacity);

// The best of Martello and Toth's L2 bound, cardinality_bound and simple_bound.
int strong_bound(const std::vector<long>& sizes, long capacity);

// First-fit decreasing: items by decreasing size (ties by index), each into the first bin it fits.
// The first `separate` items open bins 0, 1... of their own, in order, before the others.
std::vector<int> first_fit_decreasing(const std::vector<long>& sizes, long capacity,
                                      size_t separate = 0);

// The plan for items of sizes[i] bytes (each at most capacity, capacity above 0). The first
// `separate` items go to bins 0, 1... in that order, no two in one bin; the other items fill
// any bin. Bins are numbered in the order of their first item's placement otherwise.
Plan plan_bins(const std::vector<long>& sizes, long capacity, size_t separate = 0,
               long budget = default_budget);

} // namespace bankplan
