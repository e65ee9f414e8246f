#pragma once
// Sub-palettes: the tiles' colour sets into as few palettes of a given capacity as possible,
// every set wholly inside one palette. Sets may share colours, so a palette holds the union of
// its sets, not their sum. An exact search (bounded by a step budget) proves the count optimal
// where it can; otherwise the best of the heuristics and of the search is kept, with a lower
// bound.

#include <cstddef>
#include <vector>

namespace tiles {

// A tile's colours (the background aside), as numbers of the distinct colours, in any order and
// without repeats.
using ColourSet = std::vector<int>;

struct Cover {
    std::vector<int> palette_of; // each set's palette, numbered from 0 in order of first use
    int palettes = 0;
    bool optimal = false; // proven: no cover with fewer palettes exists
    int lower_bound = 0;  // no cover has fewer palettes (equal to palettes when optimal)
    int first_fit = 0;    // palettes by first-fit decreasing, for comparison
    int overload = 0;     // palettes by overload-and-remove, for comparison
    long steps = 0;       // search steps spent
    bool gave_up = false; // the search ran out of budget before it proved the count
};

// Enough search for a fraction of a second on a slow machine; a count of steps (a set tried
// against a palette), not a clock, so that the same inputs always give the same cover.
constexpr long default_budget = 40'000'000;

// The number of palettes of an assignment (the highest number plus one).
int palette_count(const std::vector<int>& palette_of);

// First fit: each set into the first palette it fits, in the sets' order, or decreasing by size
// (ties by index) when decreasing.
std::vector<int> first_fit(const std::vector<ColourSet>& sets, size_t capacity, bool decreasing);

// Overload-and-remove, after its published description (for the pagination problem, bin packing
// with overlapping items): each set goes to the palette where its relative size (a colour shared
// with k sets of the palette counts 1 / (k + 1)) is smallest, even when the palette overflows;
// an overflowing palette then gives back the sets of largest relative size until it fits, and
// they queue again; a set given back three times opens a palette of its own.
std::vector<int> overload_and_remove(const std::vector<ColourSet>& sets, size_t capacity);

// The fewest palettes of capacity colours (at least 1) that hold every set; each set has at most
// capacity colours.
Cover cover(const std::vector<ColourSet>& sets, size_t capacity, long budget = default_budget);

// The fewest of the sets, in their order, that alone need more than palettes palettes (found by
// the shortest first part, sets by decreasing size, that the search proves needs more). Empty when
// no such part is proven within the budget.
std::vector<size_t> forcing_sets(const std::vector<ColourSet>& sets, size_t capacity, int palettes,
                                 long budget = default_budget);

} // namespace tiles
