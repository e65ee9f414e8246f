#include "common/files.h"

#include <cerrno>

namespace common {

int fail(const char* message, int status) {
    fputs(message, stdout);
    return status;
}

bool close_output(FILE* out) {
    bool ok = !ferror(out);
    if (fflush(out) != 0) ok = false;
    if (fclose(out) != 0) ok = false;
    return ok;
}

int close_standard_output() {
    // Flushed and checked before the close: a write that failed earlier shows only in the
    // stream's error flag, without its reason. A standard output closed from the start (>&-)
    // fails the close alone, with EBADF, when nothing was written to it: that is no loss.
    int err = 0;
    if (fflush(stdout) != 0) err = errno;
    bool failed = ferror(stdout) != 0;
    if (fclose(stdout) != 0 && !err && errno != EBADF) err = errno;
    if (!err && failed) err = EIO;
    return err;
}

bool read_input(const char* path, size_t limit, std::string* bytes) {
    FILE* in = path[0] == '-' && path[1] == '\0' ? open_standard_input() : open_input(path);
    if (!in) return false;
    char buffer[65536];
    size_t n;
    while (bytes->size() <= limit && (n = fread(buffer, 1, sizeof buffer, in)) > 0)
        bytes->append(buffer, n);
    bool ok = !ferror(in);
    int err = errno;
    fclose(in);
    errno = err;
    return ok;
}

} // namespace common
