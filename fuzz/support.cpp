// Memory streams through the C library's custom stream hooks: a round trip through the file
// system on every run would slow the fuzzers down tenfold.
#include "fuzz/support.h"

#include <cerrno>
#include <cstring>

namespace {

struct Source {
    const uint8_t* data;
    size_t size;
    size_t at;
};

struct Sink {
    Written* output;
    size_t at;
};

// Moves *at as fseek would; a position before the start is refused.
int seek_to(size_t* at, size_t size, off64_t* offset, int whence) {
    off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? off64_t(*at) : off64_t(size);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return errno = EINVAL, -1;
    off64_t to = base + *offset;
    if (to < 0) return errno = EINVAL, -1;
    *at = size_t(to);
    *offset = to;
    return 0;
}

ssize_t source_read(void* cookie, char* buf, size_t size) {
    auto* s = static_cast<Source*>(cookie);
    size_t n = s->at < s->size ? std::min(size, s->size - s->at) : 0;
    memcpy(buf, s->data + s->at, n);
    s->at += n;
    return ssize_t(n);
}

int source_seek(void* cookie, off64_t* offset, int whence) {
    auto* s = static_cast<Source*>(cookie);
    return seek_to(&s->at, s->size, offset, whence);
}

int source_close(void* cookie) {
    delete static_cast<Source*>(cookie);
    return 0;
}

ssize_t sink_write(void* cookie, const char* buf, size_t size) {
    auto* s = static_cast<Sink*>(cookie);
    std::string& bytes = s->output->bytes;
    if (s->at + size > s->output->limit) {
        s->output->failed = true;
        errno = ENOSPC;
        return -1;
    }
    if (bytes.size() < s->at + size) bytes.resize(s->at + size);
    memcpy(&bytes[s->at], buf, size);
    s->at += size;
    return ssize_t(size);
}

int sink_seek(void* cookie, off64_t* offset, int whence) {
    auto* s = static_cast<Sink*>(cookie);
    return seek_to(&s->at, s->output->bytes.size(), offset, whence);
}

int sink_close(void* cookie) {
    delete static_cast<Sink*>(cookie);
    return 0;
}

} // namespace

FILE* open_memory(const uint8_t* data, size_t size) {
    cookie_io_functions_t io = {source_read, nullptr, source_seek, source_close};
    return fopencookie(new Source{data, size, 0}, "rb", io);
}

FILE* open_sink(Written* output) {
    cookie_io_functions_t io = {nullptr, sink_write, sink_seek, sink_close};
    return fopencookie(new Sink{output, 0}, "wb", io);
}

bool take_name(std::string* input, std::string* name) {
    size_t end = input->find('\0');
    if (end == std::string::npos) return false;
    *name = input->substr(0, end);
    input->erase(0, end + 1);
    return true;
}
