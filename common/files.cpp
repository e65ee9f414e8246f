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
