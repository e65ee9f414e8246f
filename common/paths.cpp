#include "common/paths.h"

namespace common {

std::string_view file_name(std::string_view path) {
    size_t sep = path.rfind('/');
    if (sep == std::string_view::npos) sep = path.rfind('\\');
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::string output_name(std::string_view path, std::string_view ext) {
    std::string_view name = file_name(path);
    size_t dot = name.rfind('.');
    size_t keep = path.size() - name.size() + (dot == std::string_view::npos ? name.size() : dot);
    std::string out(path.substr(0, keep));
    out += ext;
    return out;
}

std::string folder_of(std::string_view path) {
#ifdef _WIN32
    size_t sep = path.find_last_of("/\\");
#else
    size_t sep = path.rfind('/');
#endif
    return std::string(sep == std::string_view::npos ? "" : path.substr(0, sep + 1));
}

} // namespace common
