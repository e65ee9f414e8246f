#pragma once
// samplepack's messages, printed as they stand, and the status of every failure.

namespace samplepack {
constexpr const char* usage = "%s [input.wav]\n";
constexpr int failure = 1;
constexpr const char* input_error = "Input error!\n";
constexpr const char* riff_error = "RIFF error!\n";
constexpr const char* fmt_error = "FMT error!\n";
constexpr const char* data_error = "DATA error!\n";
constexpr const char* output_error = "Output error!\n";
constexpr const char* too_many_samples = "Too many samples!\n";
} // namespace samplepack
