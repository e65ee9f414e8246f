#include "files.h"

bool close_output(FILE* out) {
    bool ok = !ferror(out);
    if (fflush(out) != 0) ok = false;
    if (fclose(out) != 0) ok = false;
    return ok;
}
