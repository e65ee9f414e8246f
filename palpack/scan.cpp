#include "palpack/scan.h"

namespace palpack {

int TextInput::raw() {
    if (ahead_ == none) return getc(in_);
    int c = ahead_;
    ahead_ = none;
    return c;
}

int TextInput::get() {
    if (back_ != none) {
        int c = back_;
        back_ = none;
        return c;
    }
    if (ended_) return EOF;
    int c = raw();
    if (c == '\r') {
        int next = raw();
        if (next == '\n') return '\n';
        ahead_ = next;
    } else if (c == EOF || c == 0x1A) {
        // A read error ends the input too: the palette is then short.
        ended_ = true;
        return EOF;
    }
    return c;
}

void TextInput::unget(int c) {
    if (c != EOF) back_ = c;
}

static bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

int scan(TextInput& in, const char* pattern, int32_t* values) {
    int count = 0;
    for (const char* p = pattern; *p;) {
        int c;
        if (is_space(static_cast<unsigned char>(*p))) {
            while (is_space(c = in.get())) {
            }
            in.unget(c);
            ++p;
        } else if (p[0] == '%' && p[1] == 'd') {
            while (is_space(c = in.get())) {
            }
            bool negative = c == '-';
            if (c == '+' || c == '-') c = in.get();
            // A sign without digits is used up; what follows it stays unread.
            if (!is_digit(c)) {
                in.unget(c);
                return count;
            }
            uint32_t v = 0;
            for (; is_digit(c); c = in.get()) v = v * 10u + uint32_t(c - '0');
            in.unget(c);
            values[count++] = to_int32(negative ? 0u - v : v);
            p += 2;
        } else {
            c = in.get();
            if (c != static_cast<unsigned char>(*p)) {
                in.unget(c);
                return count;
            }
            ++p;
        }
    }
    return count;
}

} // namespace palpack
