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

// True when name is an executable file in a folder of PATH.
bool on_path(const std::string& name) {
    const char* path = getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return true;
    return false;
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

// The bytes of an Intel HEX image by address; fails the test on a malformed line or a byte
// given twice.
std::map<uint32_t, uint8_t> read_hex(const std::string& text) {
    std::map<uint32_t, uint8_t> image;
    std::stringstream lines(text);
    uint32_t base = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] != ':' || line.size() < 11 || line.size() % 2 == 0) {
            ADD_FAILURE() << "not an Intel HEX line: " << line;
            continue;
        }
        std::string b = bytes(line.substr(1));
        uint8_t sum = 0;
        for (char c : b) sum = uint8_t(sum + uint8_t(c));
        size_t count = uint8_t(b[0]);
        if (sum != 0 || b.size() != count + 5) {
            ADD_FAILURE() << "bad length or checksum: " << line;
            continue;
        }
        uint32_t address = uint32_t(uint8_t(b[1])) << 8 | uint8_t(b[2]);
        switch (uint8_t(b[3])) {
        case 0:
            for (size_t i = 0; i < count; ++i)
                if (!image.emplace(base + address + i, uint8_t(b[4 + i])).second)
                    ADD_FAILURE() << "byte given twice at " << base + address + i;
            break;
        case 1:
            return image;
        case 2:
            base = (uint32_t(uint8_t(b[4])) << 8 | uint8_t(b[5])) << 4;
            break;
        case 4:
            base = (uint32_t(uint8_t(b[4])) << 8 | uint8_t(b[5])) << 16;
            break;
        }
    }
    ADD_FAILURE() << "no end record";
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
