#pragma once
// WAV files as samplepack reads them (their layout: samplepack/format.h), at 8000 Hz.

#include "samplepack/format.h"

#include <cstdint>
#include <string>

inline std::string le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// The header alone, declaring a data length of length bytes.
inline std::string wav_header(uint32_t length) {
    return wav8::header(8000, length);
}

inline std::string wav(const std::string& samples) {
    return wav_header(uint32_t(samples.size())) + samples;
}
