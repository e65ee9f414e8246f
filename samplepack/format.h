#pragma once
// The two files samplepack stands between, declared once for every program and test that writes
// or reads them: the 8-bit WAV file it reads, and the packed sample file it writes.

#include <cstdint>
#include <string>

// The packed sample file: a block count of two bytes, then blocks of 32 samples of 4 bits, the
// earlier sample of each pair in the high nibble.
namespace packed {

constexpr uint32_t count_bytes = 2;
constexpr uint32_t block_bytes = 16;
constexpr uint32_t block_samples = 2 * block_bytes;
// The most blocks the two count bytes can tell apart.
constexpr uint32_t max_blocks = 0xFFFF;
constexpr uint32_t max_samples = max_blocks * block_samples;
// The byte that fills the last block: two samples of code 8.
constexpr unsigned char fill = 0x88;

// The size of a file of that many blocks.
constexpr uint64_t size(uint64_t blocks) {
    return count_bytes + block_bytes * blocks;
}
constexpr uint64_t max_size = size(max_blocks);

// The blocks that samples samples fill; samplepack drops an odd last sample.
constexpr uint64_t blocks_for(uint64_t samples) {
    return (samples / 2 + block_bytes - 1) / block_bytes;
}

// The count bytes of a file of that many blocks (at most max_blocks): each byte carries a +1 of
// its own, so an empty file reads 01 01 and the largest 00 00.
inline std::string count(uint32_t blocks) {
    return {char((blocks & 0xFF) + 1), char((blocks >> 8 & 0xFF) + 1)};
}

// The block count that the first two bytes of a file give.
constexpr uint32_t read_count(unsigned char low, unsigned char high) {
    return uint32_t(uint8_t(low - 1)) + 256 * uint32_t(uint8_t(high - 1));
}

} // namespace packed

// The 8-bit WAV file samplepack reads: a header of 52 bytes whose tags stand where samplepack
// looks for them, then the samples, unsigned 8-bit mono (the high nibble is what is packed).
namespace wav8 {

constexpr size_t header_size = 52;
constexpr size_t riff_at = 0, fmt_at = 12, data_at = 44;
// Where the data chunk's length, little-endian, stands.
constexpr size_t length_at = data_at + 4;

// The header for samples samples at rate Hz. An empty JUNK chunk after the 16-byte format chunk
// puts the data tag at byte 44.
inline std::string header(uint32_t rate, uint32_t samples) {
    auto le = [](uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i) & 255);
        return s;
    };
    // RIFF chunks have an even length: an odd count of samples is followed by a pad byte.
    return "RIFF" + le(uint32_t(header_size - 8 + samples + samples % 2), 4) + "WAVE" + "fmt " +
           le(16, 4) + le(1, 2) /* PCM */ + le(1, 2) /* mono */ + le(rate, 4) +
           le(rate, 4) /* bytes a second */ + le(1, 2) /* bytes a frame */ +
           le(8, 2) /* bits a sample */ + "JUNK" + le(0, 4) + "data" + le(samples, 4);
}

} // namespace wav8
