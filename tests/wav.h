#pragma once
// WAV files as samplepack reads them: a 52-byte header whose data tag stands at byte 44 (a
// 16-byte format chunk, then an empty "JUNK" chunk), then the samples.

#include <cstdint>
#include <string>

inline std::string le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// The header alone, declaring a data length of length bytes.
inline std::string wav_header(uint32_t length) {
    return "RIFF" + le32(36 + 8 + length) + "WAVE" + "fmt " + le32(16) +
           std::string("\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00\x08\x00", 16) +
           "JUNK" + le32(0) + "data" + le32(length);
}

inline std::string wav(const std::string& samples) {
    return wav_header(uint32_t(samples.size())) + samples;
}
