#include "files.h"

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

bool read_all(FILE* in, std::string* bytes) {
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) bytes->append(buffer, n);
    return !ferror(in);
}
