#include "tests/harness.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TempDir::TempDir() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/toolkit-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) ADD_FAILURE() << "mkdtemp: " << strerror(errno);
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f.good()) ADD_FAILURE() << "cannot write " << path;
}

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::vector<std::string> listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> snapshot(const std::string& root) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> seen;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        std::string name = fs::relative(it->path(), root).string();
        fs::file_status st = it->symlink_status();
        if (fs::is_symlink(st)) {
            seen[name] = "link to " + fs::read_symlink(it->path()).string();
        } else if (fs::is_regular_file(st)) {
            std::string data = read_file(it->path().string());
            seen[name] =
                "file of " + std::to_string(data.size()) + " bytes: " +
                (data.size() <= 64 ? hex(data)
                                   : "hash " + std::to_string(std::hash<std::string>()(data)));
        } else {
            seen[name] = fs::is_directory(st) ? "folder" : "special file";
        }
    }
    return seen;
}

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

static std::string env(const char* name, const std::string& fallback) {
    const char* v = getenv(name);
    return v ? v : fallback;
}

std::string program(const std::string& name) {
    return env("ASSETKIT_BIN_DIR", ASSETKIT_BIN_DIR) + "/" + name + env("ASSETKIT_EXE_SUFFIX", "");
}

std::string source_path(const std::string& relative) {
    return env("ASSETKIT_SOURCE_DIR", ASSETKIT_SOURCE_DIR) + "/" + relative;
}

bool windows_build() {
    return env("ASSETKIT_EXE_SUFFIX", "") == ".exe";
}

std::string version_text(const std::string& program) {
    std::ifstream in(source_path("LICENSE"));
    std::string line;
    while (std::getline(in, line) && line.rfind("Copyright ", 0) != 0) {
    }
    EXPECT_EQ(line.rfind("Copyright ", 0), 0u) << "LICENSE has no copyright line";
    return program + " (assetkit) " ASSETKIT_VERSION "\n" + line +
           "\nLicense MIT: <https://opensource.org/license/mit>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

std::string manual_line(const std::string& program) {
    if (windows_build())
        return "See the manual manual\\" + program + ".html in the folder of " + program +
               ".exe.\n";
    return "See the manual page " + program + "(1).\n";
}

std::string line_end() {
    return windows_build() ? "\r\n" : "\n";
}

std::string usage_name(const std::string& name) {
    std::string path = program(name);
    if (!windows_build()) return path;
    // Wine's drive Z: is the Unix root; the program sees its path with backslashes.
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// Undoes the text mode of a Windows program's console stream: each CR LF back to a line feed.
static std::string from_text_mode(const std::string& name, const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            if (i > 0 && text[i - 1] == '\r')
                plain.pop_back();
            else
                ADD_FAILURE() << name
                              << " wrote a line feed without CR: " << testing::PrintToString(text);
        }
        plain += text[i];
    }
    return plain;
}

// Reads both pipes at once, so that neither can fill up and stall the program.
static void drain(int out_fd, int err_fd, Result& r) {
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

static Result run_once(const std::string& name, const std::vector<std::string>& args,
                       const std::string& cwd, unsigned watchdog = 0) {
    std::vector<std::string> argv;
    std::string runner = env("ASSETKIT_RUNNER", "");
    if (!runner.empty()) argv.push_back(runner);
    argv.push_back(program(name));
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    int out[2], err[2];
    Result r;
    if (pipe(out) != 0 || pipe(err) != 0) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        return r;
    }
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        if (chdir(cwd.c_str()) != 0) _exit(126);
        if (watchdog) alarm(watchdog); // kept across execv: SIGALRM ends the program
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    drain(out[0], err[0], r);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (windows_build()) {
        r.out = from_text_mode(name, r.out);
        // Wine's own complaints (a program it could not start, say) explain a failed run.
        if (r.err.rfind("wine", 0) == 0 || r.err.find("\nwine") != std::string::npos)
            ADD_FAILURE() << "Wine, running " << name << ": " << r.err;
        else
            r.err = from_text_mode(name, r.err);
    }
    return r;
}

Result run(const std::string& name, const std::vector<std::string>& args, const std::string& cwd) {
    // Now and then (a run in several hundred) Wine ends a program with status 1 before it has
    // done anything. A run is taken for such a one, and tried again, only when it printed nothing
    // and left its folder exactly as it was: a program that wrote its output and then failed in
    // silence is a fault, not Wine's. Every retry is told, for the summary to count.
    std::map<std::string, std::string> before;
    if (windows_build()) before = snapshot(cwd);
    Result r = run_once(name, args, cwd);
    for (int retry = 0; retry < 2 && windows_build() && r.status == 1 && r.out.empty() &&
                        r.err.empty() && snapshot(cwd) == before;
         ++retry) {
        printf("%s %s ended with status 1 before doing anything; running it again\n",
               wine_retry_mark, name.c_str());
        fflush(stdout);
        // One line a retry in the file ASSETKIT_WINE_RETRIES names, for the summary to count.
        std::string log = env("ASSETKIT_WINE_RETRIES", "");
        if (!log.empty()) std::ofstream(log, std::ios::app) << name << '\n';
        r = run_once(name, args, cwd);
    }
    return r;
}

Result run_watched(const std::string& name, const std::vector<std::string>& args,
                   const std::string& cwd, unsigned seconds) {
    Result r = run_once(name, args, cwd, seconds);
    if (r.status == 128 + SIGALRM)
        ADD_FAILURE() << name << " was still running after " << seconds << " s: ended";
    return r;
}

std::string bytes(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}
