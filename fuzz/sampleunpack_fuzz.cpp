// Fuzz target for sampleunpack's conversion: the first byte picks the options, the rest is the
// packed sample file. Its low two bits pick the levels (linear, psg, ay, or 16 signed bytes taken
// from the start of the rest as a table of their own), bit 2 asks for --dc, and the upper five
// bits pick the rate from a list. A file whose size disagrees with its block count must be
// refused; any other must give a 16-bit mono WAV file at the rate, rounded, whose samples are the
// codes' levels, or those levels through the output's coupling (a 20 Hz high-pass, halved),
// computed here anew.
#include "fuzz/support.h"
#include "sampleunpack/unpack.h"
#include "sound/codes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sndfile.h>
#include <vector>

namespace {

const double rates[] = {8000, 1, 1e6, 11025, 7999.5, 22050.25, 44100, 3.5};

// libsndfile reads the WAV file back from the string.
struct Reader {
    const std::string* bytes;
    sf_count_t at = 0;
};

sf_count_t length(void* r) {
    return sf_count_t(static_cast<Reader*>(r)->bytes->size());
}

sf_count_t seek(sf_count_t offset, int whence, void* p) {
    Reader* r = static_cast<Reader*>(p);
    sf_count_t base = whence == SEEK_CUR ? r->at : whence == SEEK_END ? length(p) : 0;
    return r->at = std::max<sf_count_t>(0, base + offset);
}

sf_count_t read(void* to, sf_count_t n, void* p) {
    Reader* r = static_cast<Reader*>(p);
    n = std::max<sf_count_t>(0, std::min(n, length(p) - r->at));
    memcpy(to, r->bytes->data() + r->at, size_t(n));
    r->at += n;
    return n;
}

sf_count_t no_write(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t tell(void* p) {
    return static_cast<Reader*>(p)->at;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    sampleunpack::UnpackOptions o;
    uint8_t pick = data[0];
    ++data;
    --size;
    switch (pick & 3) {
    case 0:
        sound::dac_table("linear", &o.dac);
        break;
    case 1:
        sound::dac_table("psg", &o.dac);
        break;
    case 2:
        sound::dac_table("ay", &o.dac);
        break;
    default:
        if (size < 16) return 0;
        for (size_t i = 0; i < 16; ++i) o.dac.levels[i] = int8_t(data[i]);
        if (std::all_of(o.dac.levels.begin(), o.dac.levels.end(),
                        [&](double v) { return v == o.dac.levels[0]; }))
            return 0; // the reader refuses such a table
        data += 16;
        size -= 16;
    }
    o.dc = pick & 4;
    o.rate = rates[(pick >> 3) % (sizeof rates / sizeof rates[0])];
    std::string packed(reinterpret_cast<const char*>(data), size);

    // Each byte of the block count carries a +1 of its own.
    long blocks = size < 2 ? -1 : long(uint8_t(data[0] - 1)) + 256 * long(uint8_t(data[1] - 1));
    bool valid = size >= 2 && size == size_t(2 + 16 * blocks);
    REQUIRE(valid == sampleunpack::check_size(packed, size).empty());

    std::string wav;
    bool ok = sampleunpack::unpack(packed, o, &wav).empty();
    REQUIRE(ok == valid);
    if (!ok) return 0;

    Reader reader{&wav};
    SF_VIRTUAL_IO io = {length, seek, read, no_write, tell};
    SF_INFO info = {};
    SNDFILE* in = sf_open_virtual(&io, SFM_READ, &info, &reader);
    REQUIRE(in != nullptr);
    REQUIRE(info.channels == 1 && info.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    REQUIRE(info.samplerate == long(std::lround(o.rate)));
    REQUIRE(info.frames == sf_count_t(32 * blocks));
    std::vector<short> got(size_t(info.frames));
    REQUIRE(sf_readf_short(in, got.data(), info.frames) == info.frames);
    sf_close(in);

    // The earlier sample of each pair is in the high nibble.
    std::vector<double> expected;
    for (size_t i = 2; i < size; ++i)
        for (int nibble : {data[i] >> 4, data[i] & 15})
            expected.push_back(sound::code_value(o.dac.levels, uint8_t(nibble)));
    if (!o.dc) {
        double a = 1 / (1 + 2 * M_PI * 20 / o.rate), y = 0;
        double before = expected.empty() ? 0 : expected[0];
        for (double& x : expected) {
            y = a * (y + x - before);
            before = x;
            x = y / 2;
            REQUIRE(std::fabs(x) <= 1); // the halving keeps it within the full range
        }
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        double want = std::clamp(expected[i], -1.0, 32767 / 32768.0);
        REQUIRE(std::fabs(got[i] / 32768.0 - want) <= 1.5 / 32768);
    }
    return 0;
}
