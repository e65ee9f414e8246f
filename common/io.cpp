#include "common/io.h"

#include "common/cli.h"
#include "common/files.h"
#include "common/output.h"

#include <cerrno>
#include <cstring>
#include <memory>

namespace common {

FILE* open_input(const std::string& path, std::string* why) {
    FILE* f = path == "-" ? open_standard_input() : open_input(path.c_str());
    if (!f) *why = strerror(errno);
    return f;
}

std::string read_file(const std::string& path, size_t limit, std::string* bytes) {
    bytes->clear();
    if (!read_input(path.c_str(), limit, bytes)) return strerror(errno);
    if (bytes->size() > limit) return "larger than " + size_text(limit);
    return "";
}

namespace {

// Every output opened and written first, then put in place: one refused removes the temporary
// files of the others as their Output ends, uncommitted.
int write_all(const char* program, const std::vector<std::pair<std::string, std::string>>& outputs,
              const std::vector<std::string>& inputs, Named named) {
    std::vector<std::unique_ptr<Output>> files;
    for (const auto& [path, bytes] : outputs) {
        files.push_back(std::make_unique<Output>(path, named));
        FILE* f = files.back()->open(inputs);
        if (!f) {
            cli::complain(program, path, files.back()->why());
            return 1;
        }
        // Flushed here, so that a full disk shows before any output is put in place.
        if (fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fflush(f) != 0) {
            cli::complain(program, path, strerror(errno ? errno : EIO));
            return 1;
        }
    }
    for (size_t i = 0; i < files.size(); ++i)
        if (!files[i]->commit()) {
            cli::complain(program, outputs[i].first, files[i]->why());
            return 1;
        }
    return 0;
}

} // namespace

int write_output(const char* program, const std::string& path, const std::string& bytes,
                 const std::vector<std::string>& inputs) {
    return write_all(program, {{path, bytes}}, inputs, Named::by_user);
}

int write_outputs(const char* program,
                  const std::vector<std::pair<std::string, std::string>>& outputs,
                  const std::vector<std::string>& inputs) {
    return write_all(program, outputs, inputs, Named::by_program);
}

std::string size_text(size_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

} // namespace common
