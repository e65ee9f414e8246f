#include "sound/channels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace sound {

namespace {

constexpr int states = 256; // the codes of the two channels written last: 16 x 16
constexpr float unreachable = 1e30f;

// Each code's level, 0 (the lowest) to 1 (the highest).
using Unit = std::array<float, 16>;

Unit unit_levels(const Levels& levels) {
    auto [lo, hi] = std::minmax_element(levels.begin(), levels.end());
    Unit u{};
    for (int c = 0; c < 16; c++) u[c] = float((levels[c] - *lo) / (*hi - *lo));
    return u;
}

// One sample of the search. cost[q * 16 + p] is the least error of the sound so far that ends
// with code q on the channel written last and p on the one before; writing r to the third
// channel outputs l[p] + l[q] + l[r] against the target t. next[r * 16 + q] receives the least
// cost of each new state and, when keep, back[r * 16 + q] the p it came from. The costs are kept
// from growing: the least is taken off them all, and returned. Written so that the compiler
// runs the 16 choices of r side by side.
// The 16 choices of r side by side, four at a time: a width every 64-bit processor's vector
// registers hold, so that comparisons and choices stay vector operations.
typedef float Four __attribute__((vector_size(16)));
typedef int32_t FourPicks __attribute__((vector_size(16)));

template <bool keep>
inline __attribute__((always_inline)) float step(const float* __restrict cost,
                                                 float* __restrict next, uint8_t* __restrict back,
                                                 const Unit& levels, float t) {
    Four l[4];
    std::memcpy(l, levels.data(), sizeof l);
    Four best[16][4], lowest = Four{} + unreachable * 4;
    FourPicks from[16][4];
    for (int q = 0; q < 16; q++) {
        Four b[4];
        FourPicks f[4];
        for (int i = 0; i < 4; i++) {
            b[i] = Four{} + unreachable * 4;
            f[i] = FourPicks{};
        }
        const float* __restrict from_q = cost + q * 16;
        float held = levels[q] - t;
        for (int p = 0; p < 16; p++) {
            float base = from_q[p], shift = levels[p] + held;
            for (int i = 0; i < 4; i++) {
                Four e = l[i] + shift;
                Four c = base + e * e;
                FourPicks better = c < b[i];
                b[i] = better ? c : b[i];
                if (keep) f[i] = better ? FourPicks{} + p : f[i];
            }
        }
        for (int i = 0; i < 4; i++) {
            best[q][i] = b[i];
            if (keep) from[q][i] = f[i];
            lowest = lowest < b[i] ? lowest : b[i];
        }
    }
    float least = std::min(std::min(lowest[0], lowest[1]), std::min(lowest[2], lowest[3]));
    const float* all = reinterpret_cast<const float*>(best);
    for (int q = 0; q < 16; q++)
        for (int r = 0; r < 16; r++) next[r * 16 + q] = all[q * 16 + r] - least;
    if (keep) {
        const int32_t* picks = reinterpret_cast<const int32_t*>(from);
        for (int q = 0; q < 16; q++)
            for (int r = 0; r < 16; r++) back[r * 16 + q] = uint8_t(picks[q * 16 + r]);
    }
    return least;
}

// The least squared error of playing target[from, to) from any state: for judging a gain and
// an offset on a part of the sound.
double error_of(const std::vector<float>& target, size_t from, size_t to, const Unit& l) {
    std::array<float, states> a{}, b{};
    float *cost = a.data(), *next = b.data();
    double error = 0;
    for (size_t k = from; k < to; k++) {
        error += step<false>(cost, next, nullptr, l, target[k]);
        std::swap(cost, next);
    }
    return error;
}

// The codes of least squared error against the target, every channel silent before the first.
// The search runs forward keeping its costs at every `stretch` samples, then goes back a stretch
// at a time, searching it again with the choices kept, to follow the best path: exact, in memory
// that does not grow with the sound.
std::vector<uint8_t> search(const std::vector<float>& target, const Unit& l, uint8_t silence) {
    constexpr size_t stretch = 2048;
    size_t n = target.size();
    std::vector<std::array<float, states>> kept;
    std::array<float, states> a, b;
    float *cost = a.data(), *next = b.data();
    std::fill(cost, cost + states, unreachable);
    cost[silence * 16 + silence] = 0;
    for (size_t k = 0; k < n; k++) {
        if (k % stretch == 0)
            kept.emplace_back(), std::copy(cost, cost + states, kept.back().begin());
        step<false>(cost, next, nullptr, l, target[k]);
        std::swap(cost, next);
    }
    std::vector<uint8_t> codes(n);
    int state = int(std::min_element(cost, cost + states) - cost);
    std::vector<uint8_t> back(stretch * states);
    for (size_t from = kept.size() * stretch; from > 0;) {
        from -= stretch;
        size_t to = std::min(n, from + stretch);
        std::copy(kept[from / stretch].begin(), kept[from / stretch].end(), cost);
        for (size_t k = from; k < to; k++) {
            step<true>(cost, next, &back[(k - from) * states], l, target[k]);
            std::swap(cost, next);
        }
        for (size_t k = to; k-- > from;) {
            codes[k] = uint8_t(state >> 4);
            state = (state & 15) * 16 + back[(k - from) * states + size_t(state)];
        }
    }
    return codes;
}

} // namespace

std::vector<double> played_in_turn(const std::vector<uint8_t>& codes, const Levels& levels,
                                   int channels, uint8_t silence) {
    auto [lo, hi] = std::minmax_element(levels.begin(), levels.end());
    std::vector<double> held(size_t(channels), levels[silence & 15]);
    std::vector<double> out(codes.size());
    double span = double(channels) * (*hi - *lo);
    for (size_t k = 0; k < codes.size(); k++) {
        held[k % size_t(channels)] = levels[codes[k] & 15];
        double sum = 0;
        for (double h : held) sum += h - *lo;
        out[k] = sum / span * 2 - 1;
    }
    return out;
}

std::vector<uint8_t> search_in_turn(const std::vector<float>& target, const Levels& levels,
                                    uint8_t silence) {
    return search(target, unit_levels(levels), silence);
}

std::vector<uint8_t> choose_codes_in_turn(const std::vector<float>& samples, const Levels& levels,
                                          uint8_t silence, const CodeOptions& options) {
    size_t n = samples.size();
    Unit l = unit_levels(levels);
    std::vector<double> x(n);
    double power = 0;
    for (size_t k = 0; k < n; k++) {
        x[k] = std::isnan(samples[k]) ? 0.0 : std::clamp<double>(samples[k], -1, 1);
        power += x[k] * x[k];
    }
    // How far the sound reaches down (or, upside down, up) around each sample, slowly: the
    // deepest point of the 70 ms around each 10 ms, smoothed below hearing. An offset that
    // follows it keeps a quiet stretch down where the sums of the quiet levels lie densely.
    auto reach = [&](double sign) {
        size_t hop = std::max<size_t>(1, size_t(options.rate / 100));
        size_t blocks = (n + hop - 1) / hop;
        std::vector<double> deepest(blocks, 0.0), around(n);
        for (size_t k = 0; k < n; k++) deepest[k / hop] = std::max(deepest[k / hop], -sign * x[k]);
        for (size_t k = 0; k < n; k++) {
            size_t b = k / hop, from = b >= 3 ? b - 3 : 0, to = std::min(blocks, b + 4);
            around[k] = *std::max_element(&deepest[from], &deepest[0] + to);
        }
        size_t half = std::max<size_t>(1, size_t(options.rate * 0.025));
        return box(box(box(around, half), half), half);
    };
    const std::vector<double> depth[2] = {reach(1), reach(-1)};
    // The target on the 0 to 3 scale of the three channels' sum: the sound in either polarity
    // at a gain, above a floor, either on a fixed offset or on one that follows its depth.
    struct Choice {
        int flip;
        bool follow;
        double gain, floor;
    };
    auto target = [&](const Choice& c) {
        std::vector<float> t(n);
        double sign = c.flip ? -1 : 1;
        for (size_t k = 0; k < n; k++)
            t[k] = float(c.floor + c.gain * (sign * x[k] + (c.follow ? depth[c.flip][k] : 1.0)));
        return t;
    };
    // The offset follows the sound only where options.offset allows it.
    std::vector<Choice> choices;
    for (int flip = 0; flip < 2; flip++)
        for (int follow = 0; follow <= int(options.offset); follow++)
            for (double gain : {0.375, 0.5, 0.75, 1.0, 1.25, 1.5})
                for (double floor : {0.0, 0.125, 0.25, 0.5})
                    choices.push_back({flip, follow == 1, gain, floor});
    // Each judged on up to eight parts of 1024 samples spread over the sound, by its error
    // against the sound's own loudness at its gain.
    constexpr size_t part = 1024, parts = 8;
    Choice best = {0, true, 1.0, 0.125};
    if (power > 0) {
        double least = INFINITY;
        size_t count = std::min(parts, std::max<size_t>(1, n / part));
        auto judge = [&](const Choice& c) {
            std::vector<float> t = target(c);
            double error = 0, heard = 0;
            for (size_t i = 0; i < count; i++) {
                size_t from = n <= part ? 0 : (n - part) * i / std::max<size_t>(1, count - 1);
                size_t to = std::min(n, from + part);
                error += error_of(t, from, to, l);
                for (size_t k = from; k < to; k++) heard += x[k] * x[k];
            }
            double relative = error / (c.gain * c.gain * std::max(heard, 1e-30));
            if (relative < least) {
                least = relative;
                best = c;
            }
        };
        for (const Choice& c : choices) judge(c);
        // Then the floor to the nearest sixteenth around the best: where a loud sound's peaks
        // meet the sums of the loud levels (on the AY's levels, +0.5 dB on a loud sine).
        Choice coarse = best;
        for (double shift : {-0.0625, 0.0625})
            if (coarse.floor + shift >= 0)
                judge({coarse.flip, coarse.follow, coarse.gain, coarse.floor + shift});
    }
    return search(target(best), l, silence);
}

} // namespace sound
