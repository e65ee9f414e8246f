#include "codes.h"

#include <algorithm>
#include <cmath>

double code_value(const Levels& levels, uint8_t code) {
    auto [lo, hi] = std::minmax_element(levels.begin(), levels.end());
    return 2.0 * (levels[code & 15] - *lo) / (*hi - *lo) - 1.0;
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
                                  const CodeOptions&) {
    double value[16];
    for (int c = 0; c < 16; c++) value[c] = code_value(levels, c);
    std::vector<uint8_t> codes(samples.size());
    for (size_t i = 0; i < samples.size(); i++) {
        double x = std::clamp<double>(samples[i], -1.0, 1.0);
        int best = 0;
        for (int c = 1; c < 16; c++)
            if (std::fabs(value[c] - x) <= std::fabs(value[best] - x)) best = c;
        codes[i] = best;
    }
    return codes;
}

double snr_db(const std::vector<float>& signal, const std::vector<uint8_t>& codes,
              const Levels& levels) {
    size_t n = std::min(signal.size(), codes.size());
    if (n == 0) return 0.0;
    double mean = 0;
    for (size_t i = 0; i < n; i++) mean += code_value(levels, codes[i]) - signal[i];
    mean /= n;
    double power = 0, noise = 0;
    for (size_t i = 0; i < n; i++) {
        double e = code_value(levels, codes[i]) - signal[i] - mean;
        power += double(signal[i]) * signal[i];
        noise += e * e;
    }
    if (noise == 0) return INFINITY;
    return 10 * std::log10(power / noise);
}
