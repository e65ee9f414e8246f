#include "common/output.h"

#include "common/files.h"
#include "common/paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace common {

Output::~Output() {
    if (file_) fclose(file_);
    if (!done_ && !temp_.empty()) remove_temporary(temp_);
}

FILE* Output::fail(int err, std::string why) {
    why_ = std::move(why);
    errno = err;
    return nullptr;
}

// The folder a file is created in, as a message names it: "." for the current one.
static std::string folder_named(const std::string& path) {
    std::string folder = folder_of(path);
    if (folder.empty()) return ".";
    return folder.size() == 1 ? folder : folder.substr(0, folder.size() - 1);
}

FILE* Output::open(const std::vector<std::string>& inputs) {
    OutputWay way;
    if (int err = plan_output(path_, &way, &target_)) return fail(err, strerror(err));
    if (named_ == Named::by_program && way != OutputWay::replace)
        return fail(EINVAL, "is not a regular file");
    // Checked here, where the output is known as a file, for every program alike.
    std::string written = way == OutputWay::standard_output ? "-" : target_;
    for (const std::string& input : inputs)
        if (same_regular_file(input, written))
            return fail(EEXIST, "is the same file as the input " + input);
    switch (way) {
    case OutputWay::standard_output:
        file_ = open_standard_output();
        break;
    case OutputWay::in_place:
        file_ = fopen(target_.c_str(), "wb");
        break;
    case OutputWay::replace:
        file_ = create_temporary(target_, &temp_);
        // The file may be writable and its folder not: the folder is what refuses.
        if (!file_ && (errno == EACCES || errno == EPERM || errno == EROFS)) {
            int err = errno;
            return fail(err, "cannot create a file in the folder " + folder_named(target_) + ": " +
                                 strerror(err));
        }
        break;
    }
    if (!file_) return fail(errno, strerror(errno));
    return file_;
}

bool Output::commit() {
    FILE* f = file_;
    file_ = nullptr;
    bool ok = f && close_output(f);
    int err = errno;
    if (ok && !temp_.empty()) {
        ok = replace_file(temp_.c_str(), target_.c_str());
        err = errno;
    }
    if (ok) {
        done_ = true;
    } else if (!temp_.empty()) {
        remove_temporary(temp_);
        temp_.clear();
    }
    if (!ok && !err) err = EIO;
    errno = ok ? 0 : err;
    if (!ok) why_ = strerror(err);
    return ok;
}

int print_version(const char* program) {
    printf("%s (assetkit) %s\n%s\n"
           "License MIT: <https://opensource.org/license/mit>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n",
           program, ASSETKIT_VERSION, ASSETKIT_COPYRIGHT);
    return 0;
}

} // namespace common
