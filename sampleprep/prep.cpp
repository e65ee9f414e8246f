#include "sampleprep/prep.h"

#include "samplepack/format.h"
#include "sound/channels.h"
#include "sound/memory.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <soxr.h>

namespace sampleprep {

namespace {

constexpr uint32_t max_samples = packed::max_samples;

uint64_t output_length(sf_count_t frames, double in_rate, double out_rate) {
    return uint64_t(std::llround(double(frames) * out_rate / in_rate));
}

// at_least: the input was not read to its end, so there are more samples than said.
std::string too_long(uint64_t samples, double rate, bool at_least) {
    char text[200];
    snprintf(text, sizeof text,
             "%s%llu samples at %g Hz are too many: a packed sample file holds at most %u, "
             "%.2f s at that rate",
             at_least ? "more than " : "", (unsigned long long)samples, rate, max_samples,
             max_samples / rate);
    return text;
}

// Takes the samples at the output rate as they come. It keeps what may be in the output and
// only counts the rest, so memory stays bounded by the output whatever the input's length.
class Keeper {
  public:
    // threshold 0 keeps every sample; above 0, the output runs from the first sample at least
    // that loud to the last.
    // expected: the samples likely to be kept, to reserve room for them at once.
    Keeper(double threshold, uint64_t expected) : threshold_(threshold) {
        kept_.reserve(size_t(std::min<uint64_t>(expected, max_samples + 1)));
    }

    void take(const float* x, size_t n) {
        for (size_t i = 0; i < n; ++i, ++count_) {
            bool loud = threshold_ == 0 || std::fabs(x[i]) >= threshold_;
            if (!loud && !started_) continue;
            if (!started_) first_ = count_;
            started_ = true;
            if (loud) last_ = count_;
            if (kept_.size() <= max_samples) kept_.push_back(x[i]);
        }
    }
    uint64_t count() const { return count_; }
    // The length of the output: from the first loud sample to the last.
    uint64_t length() const { return started_ ? last_ - first_ + 1 : 0; }
    // The output itself, once length() fits.
    std::vector<float> samples() {
        kept_.resize(size_t(length()));
        return std::move(kept_);
    }

  private:
    double threshold_;
    bool started_ = false;
    uint64_t count_ = 0, first_ = 0, last_ = 0;
    std::vector<float> kept_;
};

using Sink = std::function<void(const float*, size_t)>;

// One channel at the output rate, band-limited by libsoxr at high quality.
class Resampler {
  public:
    Resampler(double in_rate, double out_rate) : ratio_(out_rate / in_rate) {
        if (in_rate == out_rate) return;
        soxr_error_t error = nullptr;
        soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr_.reset(soxr_create(in_rate, out_rate, 1, &error, &io, &quality, &runtime));
        if (error) error_ = error;
    }
    const char* error() const { return error_; }

    void feed(const float* in, size_t n, const Sink& sink) {
        if (!soxr_) return give(in, n, sink);
        // Bounded, whatever the ratio: what does not fit comes out in the next round.
        out_.resize(size_t(std::min(double(n) * ratio_ + 64, 65536.0)));
        for (;;) {
            size_t used = 0, made = 0;
            soxr_process(soxr_.get(), in, n, &used, out_.data(), out_.size(), &made);
            give(out_.data(), made, sink);
            in += used;
            n -= used;
            if (n == 0 && made < out_.size()) break;
        }
    }

    // Drains the filter and makes the output exactly total samples long, the input's duration
    // at the output rate.
    void finish(uint64_t total, const Sink& sink) {
        if (soxr_) {
            out_.resize(4096);
            for (size_t made = 1; made > 0 && given_ < total;) {
                soxr_process(soxr_.get(), nullptr, 0, nullptr, out_.data(), out_.size(), &made);
                give(out_.data(), size_t(std::min<uint64_t>(made, total - given_)), sink);
            }
        }
        const float silence[256] = {};
        while (given_ < total) give(silence, size_t(std::min<uint64_t>(256, total - given_)), sink);
    }

  private:
    void give(const float* x, size_t n, const Sink& sink) {
        given_ += n;
        sink(x, n);
    }
    struct Free {
        void operator()(soxr_t s) const { soxr_delete(s); }
    };
    std::unique_ptr<std::remove_pointer_t<soxr_t>, Free> soxr_;
    const char* error_ = nullptr;
    double ratio_;
    uint64_t given_ = 0;
    std::vector<float> out_;
};

// Reads the whole input once, mixed or picked down to one channel, and hands it to sink at the
// output rate. stop() is asked after each piece: a true ends the reading early.
// Samples that are not numbers, or infinite (a damaged float file), are taken as silence and
// counted in *not_finite: one of them would otherwise spread through the resampler and the gain.
std::string stream(SNDFILE* in, const SF_INFO& info, const PrepOptions& o, const Sink& sink,
                   const std::function<bool()>& stop, sf_count_t* frames, uint64_t* not_finite) {
    Resampler resampler(info.samplerate, o.rate);
    if (resampler.error()) return std::string("cannot resample: ") + resampler.error();
    const sf_count_t chunk = 4096;
    const int channels = info.channels;
    std::vector<float> buffer(size_t(chunk * channels)), mono(chunk);
    *frames = 0;
    *not_finite = 0;
    while (!stop()) {
        sf_count_t n = sf_readf_float(in, buffer.data(), chunk);
        if (n <= 0) break;
        *frames += n;
        for (sf_count_t i = 0; i < n * channels; ++i) {
            if (!std::isfinite(buffer[size_t(i)])) {
                buffer[size_t(i)] = 0;
                ++*not_finite;
            }
        }
        if (channels == 1) {
            std::copy(buffer.begin(), buffer.begin() + n, mono.begin());
        } else if (o.channel > 0) {
            for (sf_count_t i = 0; i < n; ++i) mono[i] = buffer[i * channels + o.channel - 1];
        } else {
            // The mean keeps the mix in range; the level is set afterwards anyway.
            const float scale = 1.0f / float(channels);
            for (sf_count_t i = 0; i < n; ++i) {
                const float* f = &buffer[i * channels];
                float sum = 0;
                for (int c = 0; c < channels; ++c) sum += f[c];
                mono[i] = sum * scale;
            }
        }
        resampler.feed(mono.data(), size_t(n), sink);
    }
    if (sf_error(in) != SF_ERR_NO_ERROR) return sf_strerror(in);
    resampler.finish(output_length(*frames, info.samplerate, o.rate), sink);
    return "";
}

// Too short for one sample at the output rate: as empty as an input of no frames.
std::string no_audio_at(double rate, sf_count_t frames, int in_rate) {
    char text[200];
    snprintf(text, sizeof text, "holds no audio at %.10g Hz: %lld frame%s at %d Hz", rate,
             (long long)frames, frames == 1 ? "" : "s", in_rate);
    return text;
}

// libsndfile gives SF_COUNT_MAX where it cannot know the length, and from a pipe the header's
// claim, which a streaming recorder leaves at its largest value.
bool known_length(const SF_INFO& info) {
    return info.seekable && info.frames > 0 && info.frames < SF_COUNT_MAX;
}

const double silent = std::pow(10.0, silent_db / 20);

std::string decibels(double db) {
    char text[40];
    snprintf(text, sizeof text, "%+.1f dB", db);
    return text;
}

// The refusals the input's description alone shows, before anything is read.
std::string check(const SF_INFO& info, const PrepOptions& o) {
    if (o.channel > info.channels)
        return "has " + std::to_string(info.channels) + " channel" +
               (info.channels == 1 ? "" : "s") + ", no channel " + std::to_string(o.channel);
    if (info.frames == 0) return "holds no audio";
    double ratio = std::max(o.rate / info.samplerate, info.samplerate / o.rate);
    if (!(ratio <= max_rate_ratio)) {
        char text[200];
        snprintf(text, sizeof text,
                 "cannot be resampled from %d Hz to %.10g Hz: the rates may be at most %g times "
                 "apart",
                 info.samplerate, o.rate, max_rate_ratio);
        return text;
    }
    if (known_length(info) && o.trim_db == 0) {
        uint64_t n = output_length(info.frames, info.samplerate, o.rate);
        if (n > max_samples) return too_long(n, o.rate, false);
    }
    return "";
}

// Trimming is measured against the peak, which only the whole signal tells: a first pass finds
// it and gives in *threshold the level below which the ends are cut.
std::string trim_threshold(SNDFILE* in, const SF_INFO& info, const PrepOptions& o,
                           PrepReport* report, uint64_t* not_finite, double* threshold) {
    if (!info.seekable) return "cannot be read twice, which trimming needs";
    double peak = 0;
    uint64_t count = 0;
    auto measure = [&](const float* x, size_t n) {
        count += n;
        for (size_t i = 0; i < n; ++i) peak = std::max(peak, double(std::fabs(x[i])));
    };
    auto to_the_end = [] { return false; };
    std::string why = stream(in, info, o, measure, to_the_end, &report->frames, not_finite);
    if (!why.empty()) return why;
    // Nothing at the output rate is no audio, not silence.
    if (report->frames == 0) return "holds no audio";
    if (count == 0) return no_audio_at(o.rate, report->frames, info.samplerate);
    if (sf_seek(in, 0, SEEK_SET) != 0) return sf_strerror(in);
    if (peak < silent) return "is silent: trimming leaves nothing";
    *threshold = peak * std::pow(10.0, -std::fabs(o.trim_db) / 20);
    return "";
}

// Reads the input at the output rate into *samples: all of it, or with a threshold what lies
// between the first and the last sample at least that loud.
std::string read_samples(SNDFILE* in, const SF_INFO& info, const PrepOptions& o, double threshold,
                         PrepReport* report, uint64_t* not_finite, std::vector<float>* samples) {
    Keeper keeper(threshold,
                  known_length(info) ? output_length(info.frames, info.samplerate, o.rate) : 0);
    auto keep = [&](const float* x, size_t n) { keeper.take(x, n); };
    // Without trimming, every sample counts: an input of unknown length that has already given
    // too many is not read further.
    auto enough = [&] { return o.trim_db == 0 && keeper.count() > max_samples; };
    std::string why = stream(in, info, o, keep, enough, &report->frames, not_finite);
    if (!why.empty()) return why;
    if (report->frames == 0) return "holds no audio";
    report->resampled = keeper.count();
    if (keeper.count() == 0) return no_audio_at(o.rate, report->frames, info.samplerate);
    if (keeper.length() > max_samples)
        return enough() ? too_long(max_samples, o.rate, true)
                        : too_long(keeper.length(), o.rate, false);
    *samples = keeper.samples();
    if (*not_finite > 0)
        report->warnings.push_back(std::to_string(*not_finite) + " sample" +
                                   (*not_finite == 1 ? " is" : "s are") +
                                   " not a number or infinite, taken as silence");
    return "";
}

// Brings the samples to their level: the peak to full scale, or the fixed gain; clips what lies
// beyond.
void set_level(std::vector<float>& samples, const PrepOptions& o, PrepReport* report) {
    // In double: the gain of a very quiet input does not fit a float.
    double peak = 0;
    for (float x : samples) peak = std::max(peak, double(std::fabs(x)));
    report->peak = peak;
    double gain_db = o.normalise ? -20 * std::log10(peak) : o.gain_db;
    // Normalised, the peak goes exactly to full scale.
    bool to_full_scale = o.normalise && peak >= silent;
    if (peak < silent) {
        gain_db = 0;
        char text[120];
        snprintf(text, sizeof text, "silent (peak below %g dBFS): not amplified", silent_db);
        report->warnings.push_back(text);
    } else if (o.normalise && gain_db > max_normalising_db) {
        char text[160];
        snprintf(text, sizeof text, "peak %.1f dBFS: the normalising gain is limited to %s",
                 -gain_db, decibels(max_normalising_db).c_str());
        report->warnings.push_back(text);
        gain_db = max_normalising_db;
        to_full_scale = false;
    }
    double gain = to_full_scale ? 1 / peak : std::pow(10.0, gain_db / 20);
    report->gain_db = gain_db;
    for (float& x : samples) {
        double y = x * gain;
        // A hair beyond full scale is rounding in the normalisation, not clipping.
        if (std::fabs(y) > 1.0 + 1e-6) ++report->clipped;
        x = float(std::clamp(y, -1.0, 1.0));
    }
    if (report->clipped > 0)
        report->warnings.push_back(std::to_string(report->clipped) + " sample" +
                                   (report->clipped == 1 ? "" : "s") + " clipped");
}

// The code of each sample, for one channel or for three written in turn.
std::vector<uint8_t> choose(const std::vector<float>& samples, const PrepOptions& o) {
    if (o.dac.channels == 1) return sound::choose_codes(samples, o.dac.levels, o.codes);
    return sound::choose_codes_in_turn(samples, o.dac.levels, silence_code(o.dac), o.codes);
}

// The WAV file samplepack packs: the codes, then the DAC's silence to the end of the last block
// (samplepack fills it with code 8, which is silence on the linear table alone).
std::string wav_of(std::vector<uint8_t> codes, const PrepOptions& o, PrepReport* report) {
    const size_t block = packed::block_samples;
    report->padding = uint32_t((block - codes.size() % block) % block);
    codes.resize(codes.size() + report->padding, silence_code(o.dac));
    std::string wav = wav8::header(uint32_t(std::lround(o.rate)), uint32_t(codes.size()));
    wav.reserve(wav.size() + codes.size() + 1);
    for (uint8_t c : codes) wav += char(c * 16 + 8);
    if (codes.size() % 2) wav += '\0'; // RIFF chunks have an even length
    return wav;
}

} // namespace

uint8_t silence_code(const sound::Table& dac) {
    if (dac.row) return dac.row->silence;
    const sound::Levels& levels = dac.levels;
    if (!sound::offset_by_default(levels))
        return sound::choose_codes({0.0f}, levels, sound::CodeOptions())[0];
    uint8_t quietest = 0;
    for (uint8_t c = 1; c < 16; ++c)
        if (std::fabs(levels[c]) < std::fabs(levels[quietest])) quietest = c;
    return quietest;
}

std::string prepare(SNDFILE* in, const SF_INFO& info, const PrepOptions& o, std::string* wav,
                    PrepReport* report) {
    *report = PrepReport();
    if (std::string why = check(info, o); !why.empty()) return why;
    uint64_t not_finite = 0;
    double threshold = 0;
    if (o.trim_db != 0)
        if (std::string why = trim_threshold(in, info, o, report, &not_finite, &threshold);
            !why.empty())
            return why;
    std::vector<float> samples;
    if (std::string why = read_samples(in, info, o, threshold, report, &not_finite, &samples);
        !why.empty())
        return why;
    set_level(samples, o, report);
    std::vector<uint8_t> codes = choose(samples, o);
    report->samples = uint32_t(codes.size());
    // A silent input has nothing to measure against.
    if (o.snr && report->peak >= silent)
        report->snr_db =
            o.dac.channels == 1
                ? sound::snr_db(samples, codes, o.dac.levels, o.rate)
                : sound::snr_db(samples,
                                sound::played_in_turn(codes, o.dac.levels, o.dac.channels,
                                                      silence_code(o.dac)),
                                o.rate);
    *wav = wav_of(std::move(codes), o, report);
    return "";
}

std::string prepare_bytes(const std::string& bytes, const PrepOptions& o, std::string* wav,
                          PrepReport* report, SF_INFO* info) {
    *info = SF_INFO();
    sound::MemoryFile memory(bytes);
    SNDFILE* in = memory.open(info);
    if (!in) return sf_strerror(nullptr);
    std::string why = prepare(in, *info, o, wav, report);
    sf_close(in);
    return why;
}

} // namespace sampleprep
