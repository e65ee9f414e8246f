#include "bankplan/plan.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <numeric>
#include <string>
#include <unordered_set>

namespace bankplan {

namespace {

// Item indices by decreasing size, ties by index, so that equal inputs give equal plans.
std::vector<size_t> by_size(const std::vector<long>& sizes, size_t from) {
    std::vector<size_t> order(sizes.size() - from);
    std::iota(order.begin(), order.end(), from);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return sizes[a] > sizes[b]; });
    return order;
}

long total_of(const std::vector<long>& sizes) {
    return std::accumulate(sizes.begin(), sizes.end(), 0L);
}

// Bin completion: the bins are filled one after the other; each free bin begins with the largest
// item left (some bin must hold it), and only maximal completions are tried, those that leave no
// item that would still fit. The room left in a completed bin is waste, and the waste of all
// bins together may not exceed k * capacity - total. Remaining sets that failed are remembered.
class Search {
  public:
    Search(const std::vector<long>& sizes, long capacity, size_t separate, long budget)
        : sizes_(sizes), capacity_(capacity), separate_(separate), budget_(budget) {
        for (size_t i : by_size(sizes, separate)) {
            if (group_size_.empty() || group_size_.back() != sizes[i]) {
                group_size_.push_back(sizes[i]);
                count_.push_back(0);
                members_.emplace_back();
            }
            ++count_.back();
            members_.back().push_back(i);
            ++left_;
        }
    }

    // True when the items fit in k bins (the plan is then in bin_of); false when they do not, or
    // when the budget ran out (aborted()).
    bool fits(int k, std::vector<int>* bin_of) {
        k_ = k;
        failed_.clear();
        take_.assign(size_t(k), std::vector<int>(count_.size(), 0));
        long waste = long(k) * capacity_ - total_of(sizes_);
        if (waste < 0 || size_t(k) < separate_) return false;
        if (!fill(0, waste)) return false;
        bin_of->assign(sizes_.size(), -1);
        std::vector<size_t> next(count_.size(), 0);
        for (size_t i = 0; i < separate_; ++i) (*bin_of)[i] = int(i);
        for (int level = 0; level < k; ++level)
            for (size_t g = 0; g < count_.size(); ++g)
                for (int c = 0; c < take_[size_t(level)][g]; ++c)
                    (*bin_of)[members_[g][next[g]++]] = level;
        return true;
    }

    bool aborted() const { return aborted_; }
    long nodes() const { return nodes_; }

  private:
    bool fill(int level, long waste) {
        if (left_ == 0) return true;
        if (level >= k_) return false;
        std::string key = memo_key(level);
        if (failed_.count(key)) return false;
        std::vector<int>& take = take_[size_t(level)];
        std::fill(take.begin(), take.end(), 0);
        long room = capacity_;
        size_t first = count_.size();
        if (size_t(level) < separate_) {
            room -= sizes_[size_t(level)];
        } else {
            first = 0;
            while (count_[first] == 0) ++first;
            --count_[first];
            --left_;
            ++take[first];
            room -= group_size_[first];
        }
        bool ok = complete(level, 0, room, waste, LONG_MAX);
        if (ok) return true;
        if (first < count_.size()) {
            ++count_[first];
            ++left_;
        }
        // A remembered failure holds whatever the budget: only complete searches are stored.
        if (!aborted_ && failed_.size() < 500'000) failed_.insert(key);
        return false;
    }

    // Chooses how many items of group g onward join the bin of this level; smallest_left is the
    // smallest item passed over so far, which must not fit in the room that remains at the end.
    bool complete(int level, size_t g, long room, long waste, long smallest_left) {
        if (++nodes_ > budget_) {
            aborted_ = true;
            return false;
        }
        while (g < count_.size() && (count_[g] == 0 || group_size_[g] > room)) ++g;
        if (g == count_.size()) {
            if (smallest_left <= room || room > waste) return false;
            return fill(level + 1, waste - room);
        }
        // Even taking every item that fits leaves at least this much room.
        long could = 0;
        for (size_t h = g; h < count_.size() && could < room; ++h)
            could += std::min(long(count_[h]), room / group_size_[h]) * group_size_[h];
        long least = std::max(0L, room - could);
        if (least > waste || least >= smallest_left) return false;

        std::vector<int>& take = take_[size_t(level)];
        int most = int(std::min(long(count_[g]), room / group_size_[g]));
        for (int c = most; c >= 0; --c) {
            count_[g] -= c;
            left_ -= c;
            take[g] += c;
            long smallest = count_[g] > 0 ? std::min(smallest_left, group_size_[g]) : smallest_left;
            if (complete(level, g + 1, room - c * group_size_[g], waste, smallest)) return true;
            count_[g] += c;
            left_ += c;
            take[g] -= c;
            if (aborted_) return false;
        }
        return false;
    }

    std::string memo_key(int level) const {
        std::string key(reinterpret_cast<const char*>(&level), sizeof level);
        key.append(reinterpret_cast<const char*>(count_.data()), count_.size() * sizeof(int));
        return key;
    }

    const std::vector<long>& sizes_;
    long capacity_;
    size_t separate_;
    long budget_;
    int k_ = 0;
    long nodes_ = 0;
    bool aborted_ = false;
    long left_ = 0;                            // free items not yet in a bin
    std::vector<long> group_size_;             // the distinct sizes of the free items, decreasing
    std::vector<int> count_;                   // how many of each are left
    std::vector<std::vector<size_t>> members_; // the items of each size
    std::vector<std::vector<int>> take_;       // per bin: how many of each size it holds
    std::unordered_set<std::string> failed_;
};

// The local search: tries to empty bins one at a time, least full first. The items of the bin
// are set free and go back where they fit; where none does, a free item swaps with smaller
// items of a bin (one for one, one for two, two for one) whenever that bin ends fuller, so the
// free items shrink until they fit, or no swap is left.
class Improve {
  public:
    Improve(const std::vector<long>& sizes, long capacity, size_t separate,
            const std::vector<int>& bin_of)
        : sizes_(sizes), capacity_(capacity), separate_(separate) {
        int bins = 0;
        for (int b : bin_of) bins = std::max(bins, b + 1);
        bins_.resize(size_t(bins));
        load_.assign(size_t(bins), 0);
        for (size_t i = 0; i < bin_of.size(); ++i) {
            bins_[size_t(bin_of[i])].push_back(i);
            load_[size_t(bin_of[i])] += sizes[i];
        }
    }

    void run(long target) {
        bool emptied = true;
        while (emptied && bins_.size() > separate_) {
            emptied = false;
            std::vector<size_t> order;
            for (size_t b = separate_; b < bins_.size(); ++b) order.push_back(b);
            std::stable_sort(order.begin(), order.end(),
                             [&](size_t a, size_t b) { return load_[a] < load_[b]; });
            for (size_t b : order) {
                if (long(bins_.size()) <= target) return;
                if (try_empty(b)) {
                    emptied = true;
                    break;
                }
            }
        }
    }

    std::vector<int> bin_of() const {
        std::vector<int> out(sizes_.size());
        for (size_t b = 0; b < bins_.size(); ++b)
            for (size_t i : bins_[b]) out[i] = int(b);
        return out;
    }

    size_t bins() const { return bins_.size(); }

  private:
    bool try_empty(size_t victim) {
        auto saved_bins = bins_;
        auto saved_load = load_;
        std::vector<size_t> free = bins_[victim];
        bins_.erase(bins_.begin() + long(victim));
        load_.erase(load_.begin() + long(victim));
        for (int round = 0; round < 1000; ++round) {
            place_what_fits(&free);
            if (free.empty()) return true;
            if (!swap(&free)) break;
        }
        bins_ = saved_bins;
        load_ = saved_load;
        return false;
    }

    bool movable(size_t item) const { return item >= separate_; }

    // Each free item, largest first, into the fullest bin it fits.
    void place_what_fits(std::vector<size_t>* free) {
        std::stable_sort(free->begin(), free->end(),
                         [&](size_t a, size_t b) { return sizes_[a] > sizes_[b]; });
        std::vector<size_t> still;
        for (size_t f : *free) {
            size_t best = bins_.size();
            for (size_t b = 0; b < bins_.size(); ++b)
                if (load_[b] + sizes_[f] <= capacity_ &&
                    (best == bins_.size() || load_[b] > load_[best]))
                    best = b;
            if (best == bins_.size()) {
                still.push_back(f);
            } else {
                bins_[best].push_back(f);
                load_[best] += sizes_[f];
            }
        }
        *free = still;
    }

    // One swap that leaves a bin fuller and fits; false when there is none.
    bool swap(std::vector<size_t>* free) {
        for (size_t b = 0; b < bins_.size(); ++b) {
            std::vector<size_t>& in = bins_[b];
            long room = capacity_ - load_[b];
            for (size_t x = 0; x < in.size(); ++x) {
                if (!movable(in[x])) continue;
                for (size_t f = 0; f < free->size(); ++f) {
                    long gain = sizes_[(*free)[f]] - sizes_[in[x]];
                    if (gain > 0 && gain <= room) {
                        load_[b] += gain;
                        std::swap(in[x], (*free)[f]);
                        return true;
                    }
                    for (size_t g = f + 1; g < free->size(); ++g) {
                        long gain2 = gain + sizes_[(*free)[g]];
                        if (gain2 > 0 && gain2 <= room) {
                            load_[b] += gain2;
                            std::swap(in[x], (*free)[f]);
                            in.push_back((*free)[g]);
                            free->erase(free->begin() + long(g));
                            return true;
                        }
                    }
                }
                for (size_t y = x + 1; y < in.size(); ++y) {
                    if (!movable(in[y])) continue;
                    for (size_t f = 0; f < free->size(); ++f) {
                        long gain = sizes_[(*free)[f]] - sizes_[in[x]] - sizes_[in[y]];
                        if (gain > 0 && gain <= room) {
                            load_[b] += gain;
                            size_t a = in[x], c = in[y];
                            in[x] = (*free)[f];
                            in.erase(in.begin() + long(y));
                            (*free)[f] = a;
                            free->push_back(c);
                            return true;
                        }
                    }
                }
            }
        }
        return false;
    }

    const std::vector<long>& sizes_;
    long capacity_;
    size_t separate_;
    std::vector<std::vector<size_t>> bins_;
    std::vector<long> load_;
};

int count_bins(const std::vector<int>& bin_of) {
    int bins = 0;
    for (int b : bin_of) bins = std::max(bins, b + 1);
    return bins;
}

} // namespace

int simple_bound(const std::vector<long>& sizes, long capacity) {
    return int((total_of(sizes) + capacity - 1) / capacity);
}

int strong_bound(const std::vector<long>& sizes, long capacity) {
    int best = std::max(simple_bound(sizes, capacity), cardinality_bound(sizes, capacity));
    std::vector<long> thresholds{0};
    for (long s : sizes)
        if (s <= capacity / 2) thresholds.push_back(s);
    std::sort(thresholds.begin(), thresholds.end());
    thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());
    for (long k : thresholds) {
        long big = 0, middle = 0, middle_sum = 0, small_sum = 0;
        for (long s : sizes) {
            if (s > capacity - k) {
                ++big;
            } else if (s > capacity / 2) {
                ++middle;
                middle_sum += s;
            } else if (s >= k) {
                small_sum += s;
            }
        }
        long over = small_sum - (middle * capacity - middle_sum);
        long bound = big + middle + (over > 0 ? (over + capacity - 1) / capacity : 0);
        best = std::max(best, int(bound));
    }
    return best;
}

int cardinality_bound(const std::vector<long>& sizes, long capacity) {
    // At most k items larger than capacity / (k + 1) share a bin: bins >= ceil(count / k).
    std::vector<long> sorted(sizes);
    std::sort(sorted.begin(), sorted.end(), std::greater<long>());
    int best = 0;
    size_t count = 0;
    for (long k = 1; k <= long(sorted.size()); ++k) {
        while (count < sorted.size() && sorted[count] * (k + 1) > capacity) ++count;
        best = std::max(best, int((long(count) + k - 1) / k));
    }
    return best;
}

std::vector<int> first_fit_decreasing(const std::vector<long>& sizes, long capacity,
                                      size_t separate) {
    std::vector<int> bin_of(sizes.size(), -1);
    std::vector<long> load;
    for (size_t i = 0; i < separate && i < sizes.size(); ++i) {
        bin_of[i] = int(i);
        load.push_back(sizes[i]);
    }
    for (size_t i : by_size(sizes, std::min(separate, sizes.size()))) {
        size_t b = 0;
        while (b < load.size() && load[b] + sizes[i] > capacity) ++b;
        if (b == load.size()) load.push_back(0);
        load[b] += sizes[i];
        bin_of[i] = int(b);
    }
    return bin_of;
}

namespace {

Plan plan_sized(const std::vector<long>& sizes, long capacity, size_t separate, long budget) {
    Plan plan;
    plan.lower_bound = std::max(simple_bound(sizes, capacity), int(separate));
    plan.strong_bound = std::max(strong_bound(sizes, capacity), int(separate));
    plan.bin_of = first_fit_decreasing(sizes, capacity, separate);
    plan.ffd = plan.bins = count_bins(plan.bin_of);
    if (plan.bins > plan.strong_bound) {
        long target = plan.strong_bound;
        Improve improve(sizes, capacity, separate, plan.bin_of);
        improve.run(target);
        plan.bin_of = improve.bin_of();
        plan.bins = int(improve.bins());
    }
    plan.optimal = plan.bins <= plan.strong_bound;
    if (plan.optimal) return plan;

    // Fewer bins, from the bound up: the first count that fits is the optimum; running out of
    // budget leaves the local search's plan, not proven.
    Search search(sizes, capacity, separate, budget);
    for (int k = plan.strong_bound; k < plan.bins; ++k) {
        std::vector<int> bin_of;
        if (search.fits(k, &bin_of)) {
            plan.bin_of = bin_of;
            plan.bins = count_bins(bin_of);
            plan.optimal = true;
            break;
        }
        if (search.aborted()) break;
        if (k + 1 == plan.bins) plan.optimal = true; // every smaller count was refuted
    }
    plan.nodes = search.nodes();
    return plan;
}

} // namespace

// Empty items take no room: they are left out of the plan and join its first bin.
Plan plan_bins(const std::vector<long>& sizes, long capacity, size_t separate, long budget) {
    std::vector<long> sized;
    std::vector<size_t> index;
    for (size_t i = 0; i < sizes.size(); ++i)
        if (i < separate || sizes[i] > 0) {
            sized.push_back(sizes[i]);
            index.push_back(i);
        }
    if (sized.size() == sizes.size()) return plan_sized(sizes, capacity, separate, budget);
    Plan part = plan_sized(sized, capacity, separate, budget);
    Plan plan = part;
    plan.bin_of.assign(sizes.size(), 0);
    for (size_t k = 0; k < index.size(); ++k) plan.bin_of[index[k]] = part.bin_of[k];
    if (plan.bins == 0) plan.bins = plan.ffd = 1; // somewhere to be, and no fewer bins can do
    return plan;
}

} // namespace bankplan
