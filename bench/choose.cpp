// Drives the code chooser alone, for tuning it without the programs around it: reads 32-bit
// float samples on standard input, writes one code per byte on standard output, and with
// --time prints the chooser's processor time per sample on standard error.
//   choose DAC [offset|nooffset] [dither] [--time]
// --values prints the value each code stands for instead.
#include "sound/codes.h"

#include <cstdio>
#include <cstring>
#include <ctime>

using namespace sound;

int main(int argc, char** argv) {
    Levels levels;
    if (argc < 2 || !named_levels(argv[1], &levels)) {
        std::fprintf(stderr, "usage: choose DAC [offset|nooffset] [dither] [--time] (DAC: %s)\n",
                     dac_names().c_str());
        return 2;
    }
    CodeOptions options;
    options.offset = offset_by_default(levels);
    bool timed = false;
    for (int i = 2; i < argc; i++) {
        if (!std::strcmp(argv[i], "offset")) options.offset = true;
        if (!std::strcmp(argv[i], "nooffset")) options.offset = false;
        if (!std::strcmp(argv[i], "dither")) options.dither = true;
        if (!std::strcmp(argv[i], "--time")) timed = true;
        if (!std::strcmp(argv[i], "--values")) {
            for (int c = 0; c < 16; c++) std::printf("%.17g\n", code_value(levels, c));
            return 0;
        }
    }
    std::vector<float> samples;
    float buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, sizeof(float), 4096, stdin)) > 0)
        samples.insert(samples.end(), buffer, buffer + n);
    std::clock_t start = std::clock();
    std::vector<uint8_t> codes = choose_codes(samples, levels, options);
    std::clock_t end = std::clock();
    if (timed && !samples.empty())
        std::fprintf(stderr, "%.1f ns per sample, SNR %.1f dB\n",
                     double(end - start) / CLOCKS_PER_SEC * 1e9 / samples.size(),
                     snr_db(samples, codes, levels));
    std::fwrite(codes.data(), 1, codes.size(), stdout);
    return 0;
}
