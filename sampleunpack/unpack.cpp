#include "sampleunpack/unpack.h"

#include "samplepack/format.h"
#include "sound/channels.h"
#include "sound/codes.h"
#include "sound/memory.h"

#include <cmath>
#include <vector>

namespace sampleunpack {

std::string check_size(const std::string& start, uint64_t size) {
    // A WAV file's "RI" reads as a count of 18513 blocks: the mistake is the file, not its size.
    if (start.size() >= 12 && start.compare(0, 4, "RIFF") == 0 &&
        start.compare(8, 4, "WAVE") == 0 &&
        size != packed::size(packed::read_count(start[0], start[1])))
        return "is a WAV file; sampleunpack plays the packed file samplepack makes of it";
    if (size < packed::count_bytes || start.size() < packed::count_bytes)
        return std::to_string(size) + " bytes, too short for a block count";
    uint64_t blocks = packed::read_count(start[0], start[1]);
    if (size != packed::size(blocks))
        return std::to_string(size) + " bytes, but its block count of " + std::to_string(blocks) +
               " needs " + std::to_string(packed::size(blocks));
    return "";
}

std::string unpack(const std::string& file, const UnpackOptions& o, std::string* wav) {
    if (std::string why = check_size(file, file.size()); !why.empty()) return why;
    size_t bytes = file.size() - packed::count_bytes;

    // The earlier sample of each pair is in the high nibble.
    std::vector<uint8_t> codes(2 * bytes);
    for (size_t i = 0; i < bytes; ++i) {
        uint8_t b = uint8_t(file[packed::count_bytes + i]);
        codes[2 * i] = b >> 4;
        codes[2 * i + 1] = b & 15;
    }
    std::vector<float> sound(codes.size());
    if (o.dac.channels == 1) {
        for (size_t i = 0; i < codes.size(); ++i)
            sound[i] = float(sound::code_value(o.dac.levels, codes[i]));
    } else {
        // Each channel holds its level until its next write; every channel starts silent.
        std::vector<double> played = sound::played_in_turn(codes, o.dac.levels, o.dac.channels,
                                                           o.dac.row ? o.dac.row->silence : 0);
        for (size_t i = 0; i < codes.size(); ++i) sound[i] = float(played[i]);
    }
    if (!o.dc) {
        // The coupled output swings up to the levels' whole span either way: halved, it does not
        // clip.
        std::vector<double> levels(sound.begin(), sound.end());
        levels = sound::coupled(levels, o.rate);
        for (size_t i = 0; i < sound.size(); ++i) sound[i] = float(levels[i] / 2);
    }

    SF_INFO info = {};
    info.samplerate = int(std::lround(o.rate));
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    sound::MemoryFile memory(wav);
    SNDFILE* out = memory.open(&info);
    if (!out) return sf_strerror(nullptr);
    sf_command(out, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::string why;
    if (sf_writef_float(out, sound.data(), sf_count_t(sound.size())) != sf_count_t(sound.size()))
        why = sf_strerror(out);
    sf_close(out);
    return why;
}

} // namespace sampleunpack
