#pragma once
// Packing of 8-bit samples into 4-bit samples, 32 to a 16-byte block, behind a block count.
// The layout of both files, and the writer of the header check_header reads: samplepack/format.h.

#include <cstdint>
#include <cstdio>

namespace samplepack {

// Reads the 52-byte header and checks its three tags. Returns null and the header's data length,
// or the message that refuses the file.
const char* check_header(FILE* in, uint32_t* length);

// Packs up to length samples from in, the rest of the input after the header, into out: the
// block count, the packed samples and the fill of the last block. stop is asked after every read
// and ends the packing early when it says yes. Returns null, or the message of the failure; the
// packing stops at the read that takes it past the 65535 blocks the count can hold.
const char* pack(FILE* in, FILE* out, uint32_t length, bool (*stop)());

} // namespace samplepack
