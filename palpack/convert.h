#pragma once
// Conversion of a 256-colour JASC-PAL text palette into a binary palette of 12, 15, 24 or 32 bits
// a colour.

#include "colours/layouts.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace palpack {

// The leading decimal number of a text, read the standard way: white space skipped, one optional
// sign, the digits up to the first other character, modulo 2^32; no digits give 0.
int32_t leading_number(const char* text);

// Reads the header and the 256 colours of a palette from in, a stream opened in binary mode, and
// writes them to out at the depth. Returns null, or the message of the failure; the colours
// written before a failure stay in out.
const char* convert(FILE* in, FILE* out, int32_t depth);

} // namespace palpack
