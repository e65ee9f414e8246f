#pragma once
// Helpers for the tests of sampleprep and sampleunpack: sound files written and read with
// libsndfile, and a folder's contents to show that a failed run left it alone.

#include "tests/harness.h"
#include "tests/tools.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sndfile.h>
#include <string>
#include <vector>

struct Sound {
    SF_INFO info{};
    std::vector<double> samples; // interleaved, full scale 1
};

// The sound in a file as libsndfile reads it; an empty sound with frames 0 when it cannot.
inline Sound read_sound(const std::string& path) {
    Sound s;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &s.info);
    if (!f) {
        ADD_FAILURE() << path << ": " << sf_strerror(nullptr);
        return Sound{};
    }
    s.samples.resize(size_t(s.info.frames * s.info.channels));
    sf_readf_double(f, s.samples.data(), s.info.frames);
    sf_close(f);
    return s;
}

// Writes frames frames of channels channels at rate in format; signal(frame, channel) gives each
// value, full scale 1. Before writing, prepare may set chunks and strings on the open file.
inline void write_sound(const std::string& path, int format, int channels, int rate,
                        sf_count_t frames, const std::function<double(sf_count_t, int)>& signal,
                        const std::function<void(SNDFILE*)>& prepare = nullptr) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(f) << path << ": " << sf_strerror(nullptr);
    if (prepare) prepare(f);
    std::vector<double> buffer(size_t(channels) * 4096);
    for (sf_count_t at = 0; at < frames; at += 4096) {
        sf_count_t n = std::min<sf_count_t>(4096, frames - at);
        for (sf_count_t i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c) buffer[size_t(i * channels + c)] = signal(at + i, c);
        sf_writef_double(f, buffer.data(), n);
    }
    sf_close(f);
}

// Every file in a folder with its bytes.
inline std::map<std::string, std::string> contents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        files[e.path().filename().string()] =
            e.is_directory() ? std::string("(folder)") : read_file(e.path().string());
    return files;
}
