#include "tests/tools.h"

#include "tests/harness.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

bool have_tool(const std::string& name) {
    Need n = need_tool(name);
    if (n == Need::fail) ADD_FAILURE() << name << " is missing, and CI=true needs every tool";
    return n == Need::found;
}

bool have_library(const std::string& name, bool found) {
    Need n = need(found);
    if (n == Need::fail) ADD_FAILURE() << name << " is missing, and CI=true needs every tool";
    return n == Need::found;
}

// Runs a tool found on PATH in the folder cwd, with its arguments as they are (no shell).
Tool tool(const std::vector<std::string>& argv, const std::string& cwd) {
    std::string log = cwd + "/tool.log";
    std::vector<char*> cargv;
    std::vector<std::string> copy = argv;
    for (auto& a : copy) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    Tool r;
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDONLY);
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (null < 0 || out < 0 || chdir(cwd.c_str()) != 0) _exit(126);
        dup2(null, 0);
        dup2(out, 1);
        dup2(out, 2);
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << strerror(errno);
        return r;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.output = read_file(log);
    std::filesystem::remove(log);
    return r;
}

std::map<uint32_t, uint8_t> intel_hex_image(const std::string& text) {
    std::map<uint32_t, uint8_t> image;
    std::string error = read_intel_hex(text, image);
    if (!error.empty()) ADD_FAILURE() << "Intel HEX image: " << error;
    return image;
}

// A global symbol's value from a linker map: the hexadecimal number in front of its name.
std::optional<uint32_t> symbol_value(const std::string& map, const std::string& name) {
    std::stringstream words(map);
    std::string before;
    for (std::string word; words >> word; before = word) {
        if (word != name || before.empty()) continue;
        if (before.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) continue;
        return uint32_t(std::stoul(before, nullptr, 16));
    }
    return std::nullopt;
}
