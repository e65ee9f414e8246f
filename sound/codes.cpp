#include "sound/codes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace sound {

namespace {

// A sample on the levels' range; a value that is not a number (a damaged float file) is silence.
double clipped(float s) {
    return std::isnan(s) ? 0.0 : std::clamp<double>(s, -1.0, 1.0);
}

// The distinct levels in rising order, on the -1..1 sample scale, with the code of each and the
// thresholds between neighbours where the nearer level changes.
struct Ladder {
    static constexpr int cells = 4096; // a quick first guess at the nearest level
    int count = 0;
    double value[16];
    uint8_t code[16];
    double upper[16]; // upper[count - 1] is beyond every value
    uint8_t first[cells + 1];

    // The position of the nearest level to x (in -1..1): the number of thresholds at or below it.
    int index(double x) const {
        int i = first[int((x + 1) * (cells / 2))];
        while (x >= upper[i]) i++;
        return i;
    }
    // The distance between the levels around position i: one step of this part of the ladder.
    double step(int i) const {
        return (value[std::min(i + 1, count - 1)] - value[std::max(i - 1, 0)]) /
               (i > 0 && i < count - 1 ? 2 : 1);
    }
};

Ladder ladder(const Levels& levels) {
    uint8_t order[16];
    for (int c = 0; c < 16; c++) order[c] = c;
    std::stable_sort(order, order + 16,
                     [&](uint8_t a, uint8_t b) { return levels[a] < levels[b]; });
    Ladder l;
    for (uint8_t c : order) {
        double v = code_value(levels, c);
        if (l.count > 0 && v == l.value[l.count - 1]) continue; // a level two codes share
        l.value[l.count] = v;
        l.code[l.count++] = c;
    }
    for (int k = 0; k + 1 < l.count; k++) l.upper[k] = (l.value[k] + l.value[k + 1]) / 2;
    l.upper[l.count - 1] = INFINITY;
    // Each cell starts from the level nearest to its lower edge.
    int i = 0;
    for (int c = 0; c <= Ladder::cells; c++) {
        double edge = -1.0 + 2.0 * c / Ladder::cells - 1e-9;
        while (edge >= l.upper[i]) i++;
        l.first[c] = uint8_t(i);
    }
    return l;
}

// Where silence falls halfway between two levels (as on an evenly spaced table), a quiet sound
// would flicker between them: a buzz. Shifting the signal by 0.3 of a step towards the upper
// level keeps a sound within 0.3 of a step of silence on that level, while a value already on
// a level keeps its code (0.2 of a step from the next threshold). A larger shift clips more of
// a loud sound at the top. The step is the table's smallest, so that no level loses its code.
double silence_bias(const Ladder& l) {
    double smallest = INFINITY;
    for (int k = 0; k + 1 < l.count; k++)
        smallest = std::min(smallest, l.value[k + 1] - l.value[k]);
    int i = l.index(0.0);
    if (i == 0 || std::fabs(l.upper[i - 1]) >= 0.1 * smallest) return 0.0;
    return 0.3 * smallest - l.upper[i - 1];
}

// The offset is chosen from a table of the error each value y costs once played: within the
// levels' range, the mean squared error of rounding to the nearest level (a twelfth of the square
// of the gap it falls in); beyond it, the square of the clipped part. Values are looked up in
// steps of 1/resolution from -3 to 3; offsets are tried in steps of 1/32 from -1.5 to 1.5.
constexpr int resolution = 256;
constexpr int table_size = 6 * resolution + 1;
constexpr int offset_step = resolution / 32;
constexpr int offsets = 97;

std::vector<float> cost_table(const Ladder& l) {
    std::vector<float> table(table_size);
    for (int k = 0; k < table_size; k++) {
        double y = double(k) / resolution - 3;
        if (y <= -1 || y >= 1) {
            double over = y < 0 ? y + 1 : y - 1;
            table[k] = float(over * over);
            continue;
        }
        int i = l.index(y);
        int below = l.value[i] <= y ? i : i - 1;
        double gap = below < 0 || below + 1 >= l.count ? 0 : l.value[below + 1] - l.value[below];
        table[k] = float(gap * gap / 12);
    }
    return table;
}

// The cost table again in `offset_step` interleaved rows, so that one value's costs at every
// offset lie side by side.
constexpr int row_size = table_size / offset_step + 1;
std::vector<float> cost_rows(const std::vector<float>& table) {
    std::vector<float> rows(offset_step * row_size, 0.0f);
    for (int k = 0; k < table_size; k++)
        rows[(k % offset_step) * row_size + k / offset_step] = table[k];
    return rows;
}

// Adds the cost at every offset of a value at place k of the table to c.
void add_cost(const std::vector<float>& rows, int k, float* __restrict c) {
    k -= offsets / 2 * offset_step;
    const float* __restrict row = &rows[k % offset_step * row_size + k / offset_step];
    for (int j = 0; j < offsets; j++) c[j] += row[j];
}

int place(double v) {
    return int(std::lround((v + 3) * resolution));
}

// An offset that moves the sound to where the levels lie densely for its present loudness, and
// changes slowly enough to stay below hearing. For each stretch of 10 ms the offset of least
// error over the 70 ms around it is chosen (clipping priced in), where it beats the least
// offset that clips nothing there by a tenth; then three running means of 51 ms smooth it, so
// that it holds nothing from 20 Hz up worth hearing. The result holds one offset for each
// `hop` samples, standing for the middle of its samples.
std::vector<double> slow_offset(const std::vector<float>& samples, double scale,
                                const std::vector<float>& table, size_t hop) {
    size_t n = samples.size();
    size_t length = 10 * hop;
    size_t blocks = (n + length - 1) / length;
    constexpr size_t around = 3, span = 2 * around + 1; // blocks either side; in all
    std::vector<float> rows = cost_rows(table);

    // Every fourth sample stands for its block (a different one of each four, so that no tone is
    // sampled at one phase): its place in the table. And each block's least and greatest value.
    std::vector<int> picked;
    picked.reserve(n / 4 + blocks);
    std::vector<size_t> start(blocks + 1, 0);
    std::vector<double> low(blocks, 1.0), high(blocks, -1.0);
    uint32_t pick = 1;
    for (size_t b = 0; b < blocks; b++) {
        size_t end = std::min(n, (b + 1) * length);
        for (size_t i = b * length; i < end; i++) {
            low[b] = std::min(low[b], scale * clipped(samples[i]));
            high[b] = std::max(high[b], scale * clipped(samples[i]));
        }
        for (size_t i = b * length; i < end; i += 4) {
            pick = pick * 1103515245 + 12345;
            picked.push_back(
                place(scale * clipped(samples[std::min(end - 1, i + (pick >> 16 & 3))])));
        }
        start[b + 1] = picked.size();
    }

    // The cost at every offset of the blocks in the window [first, last), kept for each block
    // in a ring of `span` rows.
    std::vector<float> ring(span * offsets);
    std::vector<double> sum(offsets, 0.0);
    size_t first = 0, last = 0;
    size_t steps = (n + hop - 1) / hop;
    std::vector<double> wanted(steps);
    for (size_t b = 0; b < blocks; b++) {
        for (; first + around < b; first++)
            for (int j = 0; j < offsets; j++) sum[j] -= ring[first % span * offsets + j];
        for (; last < std::min(blocks, b + around + 1); last++) {
            float* __restrict c = &ring[last % span * offsets];
            std::fill(c, c + offsets, 0.0f);
            for (size_t p = start[last]; p < start[last + 1]; p++) add_cost(rows, picked[p], c);
            for (int j = 0; j < offsets; j++) sum[j] += c[j];
        }
        int best = int(std::min_element(sum.begin(), sum.end()) - sum.begin());
        double choice = double(best - offsets / 2) * offset_step / resolution;
        // The least offset that clips nothing, and what it costs on the same samples.
        double lo = *std::min_element(&low[first], &low[0] + last);
        double hi = *std::max_element(&high[first], &high[0] + last);
        // A sound louder than the range clips either way: then the middle.
        double safe = -1 - lo <= 1 - hi ? std::clamp(0.0, -1 - lo, 1 - hi) : -(lo + hi) / 2;
        int shift = int(std::lround(safe * resolution));
        double safe_cost = 0;
        for (size_t p = start[first]; p < start[last]; p++)
            safe_cost += table[std::clamp(picked[p] + shift, 0, table_size - 1)];
        if (!(sum[best] < 0.9 * safe_cost)) choice = safe;
        std::fill(wanted.begin() + b * 10, wanted.begin() + std::min(steps, (b + 1) * 10), choice);
    }
    return box(box(box(wanted, 25), 25), 25);
}

// Whether the sound, turned upside down, fits the dense levels better: a voice whose deep
// troughs would otherwise hold the rest of its waveform up where the levels are sparse. No one
// hears a sound's polarity. Judged on every eighth stretch of 40 ms, each at its best offset,
// and only for a clear gain.
bool upside_down(const std::vector<float>& samples, const std::vector<float>& table) {
    std::vector<float> rows = cost_rows(table);
    size_t length = 320;
    double cost[2] = {0, 0};
    std::vector<float> c(offsets);
    for (size_t b = 0; b < samples.size(); b += 8 * length) {
        size_t end = std::min(samples.size(), b + length);
        for (int flip = 0; flip < 2; flip++) {
            std::fill(c.begin(), c.end(), 0.0f);
            for (size_t i = b; i < end; i += 4) {
                size_t at = i + i / 4 % 4 < end ? i + i / 4 % 4 : i; // each of four in turn
                add_cost(rows, place((flip ? -1 : 1) * clipped(samples[at])), c.data());
            }
            cost[flip] += *std::min_element(c.begin(), c.end());
        }
    }
    return cost[1] < 0.9 * cost[0];
}

// True when every sample already sits on a level: then any offset could only add error.
bool on_levels(const std::vector<float>& samples, const Ladder& l) {
    for (float s : samples) {
        double v = clipped(s);
        if (std::fabs(l.value[l.index(v)] - v) > 1.0 / 4096) return false;
    }
    return true;
}

// A small, fast generator for the dither; the same seed gives the same codes.
struct Random {
    uint32_t state;
    explicit Random(uint32_t seed) : state(seed ? seed : 1) {}
    double next() { // uniform in [0, 1)
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state * (1.0 / 4294967296.0);
    }
};

// The code for each sample times scale (its sign the polarity), moved by the offset (one value
// for each millisecond, or none).
std::vector<uint8_t> codes_of(const std::vector<float>& samples, const Ladder& l, double scale,
                              const std::vector<double>& offset, const CodeOptions& options) {
    size_t hop = std::max<size_t>(1, size_t(options.rate / 1000 + 0.5)); // 1 ms
    double bias = silence_bias(l);
    Random random(options.seed);
    std::vector<uint8_t> codes(samples.size());
    for (size_t i = 0; i < samples.size(); i++) {
        double v = scale * clipped(samples[i]) + bias;
        if (!offset.empty()) { // a straight line between the middles of the steps
            double at = std::max(0.0, (i + 0.5) / hop - 0.5);
            size_t s = std::min(size_t(at), offset.size() - 1);
            size_t next = std::min(s + 1, offset.size() - 1);
            v += offset[s] + (at - s) * (offset[next] - offset[s]);
        }
        if (options.dither)
            v += l.step(l.index(std::clamp(v, -1.0, 1.0))) * (random.next() - random.next());
        codes[i] = l.code[l.index(std::clamp(v, -1.0, 1.0))];
    }
    return codes;
}

} // namespace

double code_value(const Levels& levels, uint8_t code) {
    auto [lo, hi] = std::minmax_element(levels.begin(), levels.end());
    // Divided first: twice a level near the largest number would overflow.
    return (levels[code & 15] - *lo) / (*hi - *lo) * 2.0 - 1.0;
}

bool offset_by_default(const Levels& levels) {
    Levels sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    double step = (sorted[15] - sorted[0]) / 15;
    for (int i = 1; i < 16; i++)
        if (std::fabs(sorted[i] - sorted[i - 1] - step) > 0.01 * step) return true;
    return false;
}

std::vector<uint8_t> choose_codes(const std::vector<float>& samples, const Levels& levels,
                                  const CodeOptions& options) {
    size_t n = samples.size();
    auto [lo, hi] = std::minmax_element(levels.begin(), levels.end());
    if (!(*lo < *hi)) return std::vector<uint8_t>(n, 0); // one level: every code plays alike
    Ladder l = ladder(levels);
    if (!options.offset || on_levels(samples, l)) return codes_of(samples, l, 1, {}, options);
    size_t hop = std::max<size_t>(1, size_t(options.rate / 1000 + 0.5)); // 1 ms
    std::vector<float> table = cost_table(l);
    double sign = upside_down(samples, table) ? -1 : 1;
    // The widest step lies between the two loudest levels: a loud sound driven half a decibel
    // past the top, its peaks held on the loudest level, can come out closer than one kept
    // within. Whichever plays closer, as heard, is kept (a larger gain lost on a decaying tone).
    std::vector<uint8_t> best;
    double best_snr = -INFINITY;
    for (double gain : {1.0, 1.06}) {
        std::vector<double> offset = slow_offset(samples, sign * gain, table, hop);
        std::vector<uint8_t> codes = codes_of(samples, l, sign * gain, offset, options);
        double heard = snr_db(samples, codes, levels, options.rate);
        if (best.empty() || heard > best_snr) best_snr = heard, best = std::move(codes);
    }
    return best;
}

std::vector<double> coupled(const std::vector<double>& x, double rate) {
    // M_PI is POSIX's, not standard C++'s: MinGW-w64 lacks it in strict mode.
    const double pi = 3.14159265358979323846;
    double a = 1 / (1 + 2 * pi * 20 / rate);
    double x0 = x.empty() ? 0 : x[0], y = 0;
    std::vector<double> out(x.size());
    for (size_t i = 0; i < x.size(); i++) {
        y = a * (y + x[i] - x0);
        x0 = x[i];
        out[i] = y;
    }
    return out;
}

double snr_db(const std::vector<float>& signal, const std::vector<uint8_t>& codes,
              const Levels& levels, double rate) {
    std::vector<double> played(std::min(signal.size(), codes.size()));
    for (size_t i = 0; i < played.size(); i++)
        played[i] = float(code_value(levels, codes[i])); // as precise as the signal
    return snr_db(signal, std::move(played), rate);
}

double snr_db(const std::vector<float>& signal, std::vector<double> played, double rate) {
    size_t n = std::min(signal.size(), played.size());
    played.resize(n);
    std::vector<double> source(signal.begin(), signal.begin() + std::ptrdiff_t(n));
    played = coupled(played, rate);
    source = coupled(source, rate);
    // The output's loudness and polarity are no error: the output is taken at the gain (negative
    // for upside down) that brings it nearest to the source.
    double power = 0, cross = 0, own = 0;
    for (size_t i = 0; i < n; i++) {
        power += source[i] * source[i];
        cross += source[i] * played[i];
        own += played[i] * played[i];
    }
    if (!(power > 0)) return NAN;
    double gain = own > 0 ? cross / own : 0, noise = 0;
    for (size_t i = 0; i < n; i++) {
        double e = source[i] - gain * played[i];
        noise += e * e;
    }
    if (noise == 0) return INFINITY;
    return 10 * std::log10(power / noise);
}

// The mean of x over [i - half, i + half] within the signal, for every i.
std::vector<double> box(const std::vector<double>& x, size_t half) {
    size_t n = x.size();
    std::vector<double> out(n);
    double sum = 0;
    size_t a = 0, b = 0; // the window [a, b)
    for (size_t i = 0; i < n; i++) {
        for (; b < n && b <= i + half; b++) sum += x[b];
        for (; a + half < i; a++) sum -= x[a];
        out[i] = sum / double(b - a);
    }
    return out;
}

} // namespace sound
