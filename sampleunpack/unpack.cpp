#include "unpack.h"

#include "codes.h"

#include <cmath>
#include <cstring>
#include <sndfile.h>
#include <vector>

namespace {

// libsndfile writes into a string through these, so that the caller decides where the file goes
// and a failed run leaves nothing behind.
struct Memory {
    std::string* bytes;
    sf_count_t at = 0;
};

sf_count_t length(void* m) {
    return sf_count_t(static_cast<Memory*>(m)->bytes->size());
}

sf_count_t seek(sf_count_t offset, int whence, void* p) {
    Memory* m = static_cast<Memory*>(p);
    sf_count_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? length(p) : 0;
    return m->at = base + offset;
}

sf_count_t read(void* to, sf_count_t n, void* p) {
    Memory* m = static_cast<Memory*>(p);
    sf_count_t have = std::max<sf_count_t>(0, length(p) - m->at);
    n = std::min(n, have);
    memcpy(to, m->bytes->data() + m->at, size_t(n));
    m->at += n;
    return n;
}

sf_count_t write(const void* from, sf_count_t n, void* p) {
    Memory* m = static_cast<Memory*>(p);
    if (m->at + n > length(p)) m->bytes->resize(size_t(m->at + n));
    memcpy(m->bytes->data() + m->at, from, size_t(n));
    m->at += n;
    return n;
}

sf_count_t tell(void* p) {
    return static_cast<Memory*>(p)->at;
}

} // namespace

long block_count(const std::string& start, uint64_t size, std::string* reason) {
    if (size < 2 || start.size() < 2) {
        *reason = std::to_string(size) + " bytes, too short for a block count";
        return -1;
    }
    // Each byte of the block count carries a +1 of its own.
    long blocks = uint8_t(start[0] - 1) + 256 * long(uint8_t(start[1] - 1));
    if (size != uint64_t(2 + 16 * blocks)) {
        *reason = std::to_string(size) + " bytes, but its block count of " +
                  std::to_string(blocks) + " needs " + std::to_string(2 + 16 * blocks);
        return -1;
    }
    return blocks;
}

bool unpack(const std::string& packed, const UnpackOptions& o, std::string* wav,
            std::string* reason) {
    long count = block_count(packed, packed.size(), reason);
    if (count < 0) return false;
    size_t blocks = size_t(count);

    // The earlier sample of each pair is in the high nibble.
    std::vector<float> sound(32 * blocks);
    for (size_t i = 0; i < 16 * blocks; ++i) {
        uint8_t b = uint8_t(packed[2 + i]);
        sound[2 * i] = float(code_value(o.levels, b >> 4));
        sound[2 * i + 1] = float(code_value(o.levels, b & 15));
    }
    if (!o.dc) {
        // The output's coupling capacitor: a first-order high-pass at 20 Hz. It swings up to the
        // levels' whole span either way, so the result is halved to keep it from clipping.
        // M_PI is POSIX's, not standard C++'s: MinGW-w64 lacks it in strict mode.
        const double pi = 3.14159265358979323846;
        double a = 1 / (1 + 2 * pi * 20 / o.rate);
        double x0 = sound.empty() ? 0 : sound[0], y = 0;
        for (float& x : sound) {
            y = a * (y + x - x0);
            x0 = x;
            x = float(y / 2);
        }
    }

    SF_INFO info = {};
    info.samplerate = int(std::lround(o.rate));
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    wav->clear();
    Memory memory{wav};
    SF_VIRTUAL_IO io = {length, seek, read, write, tell};
    SNDFILE* out = sf_open_virtual(&io, SFM_WRITE, &info, &memory);
    if (!out) {
        *reason = sf_strerror(nullptr);
        return false;
    }
    sf_command(out, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    bool ok =
        sf_writef_float(out, sound.data(), sf_count_t(sound.size())) == sf_count_t(sound.size());
    if (!ok) *reason = sf_strerror(out);
    sf_close(out);
    return ok;
}
