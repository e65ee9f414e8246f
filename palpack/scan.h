#pragma once
// Formatted-scan matching over a palette read in text mode, done here so that every platform reads
// a palette alike, whatever its C library would make of it.

#include <cstdint>
#include <cstdio>

namespace palpack {

// The characters of a stream opened in binary mode as a text-mode read shows them: CR LF becomes
// LF (a CR alone stays a CR), and a byte 0x1A ends the input like the end of the file.
class TextInput {
  public:
    explicit TextInput(FILE* in) : in_(in) {}
    // The next character (0 to 255), or EOF at the end of the input, and from then on.
    int get();
    // Gives back the character that get has just returned, to be read again; EOF is not kept.
    void unget(int c);

  private:
    static constexpr int none = -2;
    int raw();
    FILE* in_;
    int ahead_ = none; // the byte read after a CR that did not start a CR LF
    int back_ = none;
    bool ended_ = false;
};

// White space of the formatted scan: 0x09 to 0x0D and the blank, nothing else.
inline bool is_space(int c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

// A 32-bit pattern as the signed value it stands for in two's complement.
inline int32_t to_int32(uint32_t v) {
    return v <= 0x7FFFFFFFu ? int32_t(v) : -int32_t(~v) - 1;
}

// Matches pattern against the input the way the standard formatted scan does, for the directives
// a palette needs: a white-space character skips any run of white space (also none), "%d" skips
// white space and reads an optional sign and decimal digits (wrapping modulo 2^32), and any other
// character must equal the next input character, which stays unread when it differs. Stores the
// numbers in values and returns how many were read before the matching stopped.
int scan(TextInput& in, const char* pattern, int32_t* values);

} // namespace palpack
