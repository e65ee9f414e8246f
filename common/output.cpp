#include "output.h"

#include "files.h"

#include <cerrno>
#include <cstdio>

Output::~Output() {
    if (file_) fclose(file_);
    if (!done_ && !temp_.empty()) remove(temp_.c_str());
}

FILE* Output::open() {
    if (!is_special(path_.c_str())) return file_ = create_beside(path_, &temp_);
    return file_ = fopen(path_.c_str(), "wb");
}

bool Output::commit() {
    FILE* f = file_;
    file_ = nullptr;
    bool ok = f && close_output(f);
    int err = errno;
    if (ok && !temp_.empty()) {
        ok = replace_file(temp_.c_str(), path_.c_str());
        err = errno;
    }
    if (ok) {
        done_ = true;
    } else if (!temp_.empty()) {
        remove(temp_.c_str());
        temp_.clear();
    }
    errno = ok ? 0 : (err ? err : EIO);
    return ok;
}

void complain(const char* program, const std::string& file, const std::string& reason) {
    fprintf(stderr, "%s: %s: %s\n", program, file.c_str(), reason.c_str());
}

int usage_error(const char* program, const std::string& reason, const char* usage) {
    fprintf(stderr, "%s: %s\n%s", program, reason.c_str(), usage);
    return 2;
}

int print_version(const char* program) {
    printf("%s (assetkit) %s\n%s\n"
           "License MIT: <https://opensource.org/license/mit>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n",
           program, TOOLKIT_VERSION, TOOLKIT_COPYRIGHT);
    return 0;
}
