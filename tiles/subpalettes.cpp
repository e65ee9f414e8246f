// Sub-palettes by exact search with bounds, over the heuristics' best (first-fit decreasing,
// overload-and-remove, and first-fit decreasing over groups of sets linked by shared colours).
//
// The search works on the sets that matter: a set inside another set goes wherever that one goes,
// so only the maximal sets are searched. Lower bounds: the distinct colours over the capacity,
// and a clique of sets no two of which fit one palette together (each needs its own). For each
// count k from the bound up, a depth-first search decides whether k palettes suffice: the clique
// is placed first (one palette each, which also removes the palettes' symmetry), then always the
// set with the fewest palettes left that can take it, a set that adds no colour to some palette
// placed there without branching, and a branch cut when the colours no palette holds yet exceed
// the room left.
#include "tiles/subpalettes.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <numeric>

namespace tiles {

namespace {

using Word = uint64_t;

int popcount(Word w) {
    return __builtin_popcountll(w);
}

// The sets as bitsets of words words each, over the colours renumbered from 0.
struct Bitsets {
    size_t words = 1;
    std::vector<Word> bits;
    std::vector<int> size;
    int colours = 0;
    const Word* at(size_t i) const { return &bits[i * words]; }
};

Bitsets bitsets_of(const std::vector<ColourSet>& sets) {
    std::map<int, int> number;
    for (const ColourSet& s : sets)
        for (int c : s) number.emplace(c, 0);
    int n = 0;
    for (auto& [colour, id] : number) id = n++;
    Bitsets b;
    b.colours = n;
    b.words = std::max<size_t>(1, (size_t(n) + 63) / 64);
    b.bits.assign(sets.size() * b.words, 0);
    b.size.assign(sets.size(), 0);
    for (size_t i = 0; i < sets.size(); ++i) {
        for (int c : sets[i]) {
            int id = number[c];
            Word& w = b.bits[i * b.words + size_t(id) / 64];
            Word bit = Word(1) << (id % 64);
            if (!(w & bit)) ++b.size[i];
            w |= bit;
        }
    }
    return b;
}

int union_size(const Word* a, const Word* b, size_t words) {
    int n = 0;
    for (size_t i = 0; i < words; ++i) n += popcount(a[i] | b[i]);
    return n;
}

bool inside(const Word* a, const Word* b, size_t words) {
    for (size_t i = 0; i < words; ++i)
        if (a[i] & ~b[i]) return false;
    return true;
}

// Set indices by decreasing size, ties by index.
std::vector<size_t> by_size(const std::vector<int>& size) {
    std::vector<size_t> order(size.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return size[a] > size[b]; });
    return order;
}

// Palettes numbered in order of first use by the sets, empty sets in palette 0.
std::vector<int> renumbered(const std::vector<int>& palette_of) {
    std::map<int, int> number;
    std::vector<int> out(palette_of.size(), 0);
    for (size_t i = 0; i < palette_of.size(); ++i) {
        if (palette_of[i] < 0) continue;
        auto it = number.emplace(palette_of[i], int(number.size())).first;
        out[i] = it->second;
    }
    return out;
}

// The largest clique found greedily from several starting sets: sets no two of which fit one
// palette together.
std::vector<size_t> clique_of(const Bitsets& b, const std::vector<size_t>& sets, size_t capacity) {
    std::vector<size_t> best;
    size_t seeds = std::min<size_t>(sets.size(), 64);
    for (size_t seed = 0; seed < seeds; ++seed) {
        std::vector<size_t> clique = {sets[seed]};
        for (size_t j : sets) {
            if (j == sets[seed]) continue;
            bool apart = true;
            for (size_t m : clique)
                if (size_t(union_size(b.at(j), b.at(m), b.words)) <= capacity) {
                    apart = false;
                    break;
                }
            if (apart) clique.push_back(j);
        }
        if (clique.size() > best.size()) best = clique;
    }
    return best;
}

// The depth-first search for a cover of the maximal sets by k palettes.
class Search {
  public:
    Search(const Bitsets& b, const std::vector<size_t>& sets, const std::vector<size_t>& clique,
           size_t capacity, long* steps, long budget)
        : b_(b), sets_(sets), clique_(clique), capacity_(int(capacity)), steps_(steps),
          budget_(budget) {}

    // True when k palettes hold the sets, with each set's palette in *palette_of (by set index
    // of the whole list); false when refuted or when the budget ran out (out()).
    bool feasible(int k, std::vector<int>* palette_of) {
        k_ = k;
        out_ = false;
        if (int(clique_.size()) > k) return false;
        unions_.assign(size_t(k) * b_.words, 0);
        members_.assign(size_t(k), 0);
        where_.assign(sets_.size(), -1);
        for (size_t i = 0; i < clique_.size(); ++i) {
            size_t at = size_t(std::find(sets_.begin(), sets_.end(), clique_[i]) - sets_.begin());
            place(at, int(i));
        }
        if (!dfs()) return false;
        for (size_t i = 0; i < sets_.size(); ++i) (*palette_of)[sets_[i]] = where_[i];
        return true;
    }

    bool out() const { return out_; }

  private:
    Word* palette(int p) { return &unions_[size_t(p) * b_.words]; }

    void place(size_t i, int p) {
        Word* u = palette(p);
        const Word* s = b_.at(sets_[i]);
        for (size_t w = 0; w < b_.words; ++w) u[w] |= s[w];
        ++members_[size_t(p)];
        where_[i] = p;
    }

    bool dfs() {
        if (out_) return false;
        // The set with the fewest palettes that can take it.
        size_t chosen = sets_.size();
        int fewest = k_ + 1;
        int forced = -1;
        size_t left = 0;
        for (size_t i = 0; i < sets_.size() && forced < 0; ++i) {
            if (where_[i] >= 0) continue;
            ++left;
            const Word* s = b_.at(sets_[i]);
            int options = 0;
            bool empty_seen = false;
            for (int p = 0; p < k_; ++p) {
                if (++*steps_ > budget_) {
                    out_ = true;
                    return false;
                }
                if (!members_[size_t(p)]) {
                    if (!empty_seen) ++options;
                    empty_seen = true;
                    continue;
                }
                if (inside(s, palette(p), b_.words)) {
                    chosen = i;
                    forced = p;
                    break;
                }
                if (union_size(s, palette(p), b_.words) <= capacity_) ++options;
            }
            if (forced >= 0) break;
            if (options == 0) return false;
            if (options < fewest) {
                fewest = options;
                chosen = i;
            }
        }
        if (chosen == sets_.size()) return true; // every set placed
        if (forced >= 0) {
            where_[chosen] = forced;
            ++members_[size_t(forced)];
            if (dfs()) return true;
            --members_[size_t(forced)];
            where_[chosen] = -1;
            return false;
        }
        if (!room_left()) return false;

        // The palettes that can take it, those adding the fewest colours first, one empty last.
        const Word* s = b_.at(sets_[chosen]);
        std::vector<std::pair<int, int>> options; // (colours added, palette)
        bool empty_seen = false;
        for (int p = 0; p < k_; ++p) {
            if (!members_[size_t(p)]) {
                if (!empty_seen) options.push_back({capacity_ + 1, p});
                empty_seen = true;
                continue;
            }
            int grown = union_size(s, palette(p), b_.words);
            if (grown <= capacity_) {
                int had = 0;
                for (size_t w = 0; w < b_.words; ++w) had += popcount(palette(p)[w]);
                options.push_back({grown - had, p});
            }
        }
        std::stable_sort(options.begin(), options.end());
        std::vector<Word> saved(b_.words);
        for (auto [added, p] : options) {
            std::copy(palette(p), palette(p) + b_.words, saved.begin());
            place(chosen, p);
            if (dfs()) return true;
            std::copy(saved.begin(), saved.end(), palette(p));
            --members_[size_t(p)];
            where_[chosen] = -1;
            if (out_) return false;
        }
        return false;
    }

    // False when the colours of the sets left that no palette holds yet outnumber the free
    // places of all palettes: each must go into one at least.
    bool room_left() {
        std::vector<Word> wanted(b_.words, 0), held(b_.words, 0);
        for (size_t i = 0; i < sets_.size(); ++i)
            if (where_[i] < 0)
                for (size_t w = 0; w < b_.words; ++w) wanted[w] |= b_.at(sets_[i])[w];
        int free = 0;
        for (int p = 0; p < k_; ++p) {
            int n = 0;
            for (size_t w = 0; w < b_.words; ++w) {
                held[w] |= palette(p)[w];
                n += popcount(palette(p)[w]);
            }
            free += capacity_ - n;
        }
        int missing = 0;
        for (size_t w = 0; w < b_.words; ++w) missing += popcount(wanted[w] & ~held[w]);
        *steps_ += long(sets_.size());
        return missing <= free;
    }

    const Bitsets& b_;
    const std::vector<size_t>& sets_;
    const std::vector<size_t>& clique_;
    int capacity_;
    long* steps_;
    long budget_;
    int k_ = 0;
    bool out_ = false;
    std::vector<Word> unions_;
    std::vector<int> members_;
    std::vector<int> where_;
};

// First-fit decreasing over groups: sets linked by shared colours form a group, and a group whose
// colours fit one palette is placed whole (the colours of one object of the art stay together);
// a larger group's sets are placed one by one.
std::vector<int> grouped_first_fit(const Bitsets& b, size_t capacity) {
    size_t n = b.size.size();
    std::vector<size_t> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    auto root = [&](size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    std::vector<size_t> owner(size_t(b.colours), n); // the first set of each colour
    for (size_t i = 0; i < n; ++i)
        for (size_t w = 0; w < b.words; ++w)
            for (Word bits = b.at(i)[w]; bits; bits &= bits - 1) {
                size_t colour = w * 64 + size_t(__builtin_ctzll(bits));
                if (owner[colour] == n)
                    owner[colour] = i;
                else
                    parent[root(i)] = root(owner[colour]);
            }
    std::map<size_t, std::vector<Word>> unions;
    for (size_t i = 0; i < n; ++i) {
        if (!b.size[i]) continue;
        auto& u = unions.emplace(root(i), std::vector<Word>(b.words, 0)).first->second;
        for (size_t w = 0; w < b.words; ++w) u[w] |= b.at(i)[w];
    }
    // The items: whole groups that fit, else single sets.
    std::vector<std::vector<Word>> items;
    std::vector<size_t> item_of(n, n);
    std::map<size_t, size_t> group_item;
    for (size_t i = 0; i < n; ++i) {
        if (!b.size[i]) continue;
        const std::vector<Word>& u = unions[root(i)];
        size_t size = 0;
        for (Word w : u) size += size_t(popcount(w));
        if (size <= capacity) {
            auto it = group_item.emplace(root(i), items.size());
            if (it.second) items.push_back(u);
            item_of[i] = it.first->second;
        } else {
            item_of[i] = items.size();
            items.emplace_back(b.at(i), b.at(i) + b.words);
        }
    }
    std::vector<int> sizes;
    for (const auto& item : items) {
        int size = 0;
        for (Word w : item) size += popcount(w);
        sizes.push_back(size);
    }
    std::vector<std::vector<Word>> palettes;
    std::vector<int> palette_of_item(items.size());
    for (size_t i : by_size(sizes)) {
        size_t p = 0;
        while (p < palettes.size() &&
               size_t(union_size(items[i].data(), palettes[p].data(), b.words)) > capacity)
            ++p;
        if (p == palettes.size()) palettes.emplace_back(b.words, 0);
        for (size_t w = 0; w < b.words; ++w) palettes[p][w] |= items[i][w];
        palette_of_item[i] = int(p);
    }
    std::vector<int> palette_of(n, -1);
    for (size_t i = 0; i < n; ++i)
        if (item_of[i] < n) palette_of[i] = palette_of_item[item_of[i]];
    return renumbered(palette_of);
}

} // namespace

int palette_count(const std::vector<int>& palette_of) {
    int n = 0;
    for (int p : palette_of) n = std::max(n, p + 1);
    return n;
}

std::vector<int> first_fit(const std::vector<ColourSet>& sets, size_t capacity, bool decreasing) {
    Bitsets b = bitsets_of(sets);
    std::vector<size_t> order(sets.size());
    std::iota(order.begin(), order.end(), 0);
    if (decreasing) order = by_size(b.size);
    std::vector<Word> unions;
    std::vector<int> palette_of(sets.size(), -1);
    for (size_t i : order) {
        if (!b.size[i]) continue;
        size_t palettes = unions.size() / b.words, p = 0;
        while (p < palettes &&
               size_t(union_size(b.at(i), &unions[p * b.words], b.words)) > capacity)
            ++p;
        if (p == palettes) unions.resize(unions.size() + b.words, 0);
        for (size_t w = 0; w < b.words; ++w) unions[p * b.words + w] |= b.at(i)[w];
        palette_of[i] = int(p);
    }
    return renumbered(palette_of);
}

std::vector<int> overload_and_remove(const std::vector<ColourSet>& sets, size_t capacity) {
    constexpr int most_removals = 3;
    struct Page {
        std::map<int, int> uses; // colour: sets of the page holding it
        std::vector<size_t> members;
    };
    std::vector<Page> pages;
    std::vector<int> removals(sets.size(), 0), palette_of(sets.size(), -1);
    std::vector<int> size(sets.size());
    for (size_t i = 0; i < sets.size(); ++i) size[i] = int(sets[i].size());
    std::deque<size_t> queue;
    for (size_t i : by_size(size))
        if (size[i]) queue.push_back(i);

    auto relative = [&](size_t set, const Page& page, int extra) {
        double r = 0;
        for (int c : sets[set]) {
            auto it = page.uses.find(c);
            r += 1.0 / ((it == page.uses.end() ? 0 : it->second) + extra);
        }
        return r;
    };
    auto grown = [&](size_t set, const Page& page) {
        size_t n = page.uses.size();
        for (int c : sets[set]) n += !page.uses.count(c);
        return n;
    };
    auto add = [&](size_t set, size_t p) {
        for (int c : sets[set]) ++pages[p].uses[c];
        pages[p].members.push_back(set);
        palette_of[set] = int(p);
    };
    auto remove = [&](size_t set, size_t p) {
        for (int c : sets[set])
            if (--pages[p].uses[c] == 0) pages[p].uses.erase(c);
        auto& m = pages[p].members;
        m.erase(std::find(m.begin(), m.end(), set));
        palette_of[set] = -1;
    };

    while (!queue.empty()) {
        size_t s = queue.front();
        queue.pop_front();
        size_t best = pages.size();
        double best_relative = double(sets[s].size());
        if (removals[s] < most_removals)
            for (size_t p = 0; p < pages.size(); ++p) {
                double r = relative(s, pages[p], 1);
                if (r < best_relative - 1e-9) {
                    best = p;
                    best_relative = r;
                }
            }
        if (best == pages.size()) {
            // Shares no colour with any page, or given back too often: the first page it fits
            // without overflowing, else a page of its own.
            best = 0;
            while (best < pages.size() && grown(s, pages[best]) > capacity) ++best;
            if (best == pages.size()) pages.emplace_back();
        }
        add(s, best);
        // A set given back too often stays where it is placed now; the rest may be given back.
        while (pages[best].uses.size() > capacity) {
            size_t worst = sets.size();
            double worst_relative = -1;
            for (size_t m : pages[best].members) {
                if (removals[m] >= most_removals) continue;
                // The least efficient: the most relative size for its colours.
                double r = relative(m, pages[best], 0) / double(sets[m].size());
                if (r > worst_relative + 1e-9) {
                    worst = m;
                    worst_relative = r;
                }
            }
            remove(worst, best);
            ++removals[worst];
            queue.push_back(worst);
        }
    }
    return renumbered(palette_of);
}

Cover cover(const std::vector<ColourSet>& sets, size_t capacity, long budget) {
    Cover c;
    if (sets.empty()) return c;
    Bitsets b = bitsets_of(sets);

    // The maximal sets; every other set follows the first maximal set that holds it.
    std::vector<size_t> order = by_size(b.size), maximal;
    std::vector<size_t> holder(sets.size());
    for (size_t i : order) {
        if (!b.size[i]) continue;
        size_t h = sets.size();
        for (size_t m : maximal)
            if (inside(b.at(i), b.at(m), b.words)) {
                h = m;
                break;
            }
        if (h == sets.size()) maximal.push_back(h = i);
        holder[i] = h;
    }

    std::vector<int> ffd = first_fit(sets, capacity, true);
    std::vector<int> oar = overload_and_remove(sets, capacity);
    c.first_fit = std::max(1, palette_count(ffd));
    c.overload = std::max(1, palette_count(oar));
    std::vector<int> best = c.overload < c.first_fit ? oar : ffd;
    c.palettes = std::min(c.first_fit, c.overload);
    std::vector<int> grouped = grouped_first_fit(b, capacity);
    if (std::max(1, palette_count(grouped)) < c.palettes) {
        best = grouped;
        c.palettes = std::max(1, palette_count(grouped));
    }

    std::vector<size_t> clique = clique_of(b, maximal, capacity);
    int colour_bound = int((size_t(b.colours) + capacity - 1) / capacity);
    c.lower_bound = std::max({1, colour_bound, int(clique.size())});

    auto adopt = [&](const std::vector<int>& found) {
        std::vector<int> all(sets.size(), -1);
        for (size_t i = 0; i < sets.size(); ++i)
            if (b.size[i]) all[i] = found[holder[i]];
        best = renumbered(all);
        c.palettes = std::max(1, palette_count(best));
    };

    // Up from the bound, for the proof; if the budget runs out there, down from the best found
    // with what is left, for a better cover.
    Search search(b, maximal, clique, capacity, &c.steps, budget - budget / 4);
    std::vector<int> found(sets.size(), -1);
    int k = c.lower_bound;
    for (; k < c.palettes; ++k) {
        if (search.feasible(k, &found)) {
            adopt(found);
            break;
        }
        if (search.out()) {
            c.gave_up = true;
            break;
        }
        c.lower_bound = k + 1;
    }
    if (c.gave_up) {
        // A refuted count refutes every smaller one too: a cover by fewer palettes is one by
        // more with some left empty.
        Search down(b, maximal, clique, capacity, &c.steps, budget);
        while (c.palettes - 1 >= c.lower_bound) {
            if (down.feasible(c.palettes - 1, &found)) {
                adopt(found);
                continue;
            }
            if (!down.out()) c.lower_bound = c.palettes;
            break;
        }
    }
    c.optimal = c.palettes <= c.lower_bound;
    if (c.optimal) {
        c.lower_bound = c.palettes;
        c.gave_up = false;
    }
    c.palette_of = best;
    for (int& p : c.palette_of) p = std::max(p, 0);
    return c;
}

std::vector<size_t> forcing_sets(const std::vector<ColourSet>& sets, size_t capacity, int palettes,
                                 long budget) {
    std::vector<int> size(sets.size());
    for (size_t i = 0; i < sets.size(); ++i) size[i] = int(sets[i].size());
    std::vector<size_t> order;
    for (size_t i : by_size(size))
        if (size[i]) order.push_back(i);

    // A clique larger than the palettes is the plainest reason.
    Bitsets b = bitsets_of(sets);
    std::vector<size_t> clique = clique_of(b, order, capacity);
    if (int(clique.size()) > palettes) {
        std::sort(clique.begin(), clique.end());
        return clique;
    }
    auto needs_more = [&](size_t n) {
        std::vector<ColourSet> part;
        for (size_t i = 0; i < n; ++i) part.push_back(sets[order[i]]);
        return cover(part, capacity, budget / 16).lower_bound > palettes;
    };
    if (!needs_more(order.size())) return {};
    size_t low = 1, high = order.size(); // the shortest part that needs more lies in (low, high]
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        if (needs_more(mid))
            high = mid;
        else
            low = mid + 1;
    }
    std::vector<size_t> part(order.begin(), order.begin() + long(high));
    std::sort(part.begin(), part.end());
    return part;
}

} // namespace tiles
