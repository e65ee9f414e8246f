// The companion programs' output path end to end, through sampleunpack: every companion program
// writes its output through the same code (common/output.cpp), so one program shows it for all.
// Standard output by any of its names, links and permission bits of a replaced file, folders,
// long names, a file size limit. POSIX only: redirections, /dev and /proc, limits.
#include "tests/harness.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Redirect {
    std::string in;        // standard input from this file, else /dev/null
    std::string out;       // standard output to this file (created), else a pipe
    rlim_t file_limit = 0; // bytes a file may grow to (ulimit -f), 0 for no limit
};

// Runs a built program as run() does, with standard input and output redirected to files and a
// file size limit: what a shell's <, > and ulimit -f do.
Result run_with(const std::string& name, const std::vector<std::string>& args,
                const std::string& cwd, const Redirect& redirect) {
    std::vector<std::string> argv = {program(name)};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    int out[2], err[2];
    Result r;
    if (pipe(out) != 0 || pipe(err) != 0) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        return r;
    }
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(126);
        int in = open(redirect.in.empty() ? "/dev/null" : redirect.in.c_str(), O_RDONLY);
        int to = redirect.out.empty()
                     ? out[1]
                     : open(redirect.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || to < 0) _exit(125);
        dup2(in, 0);
        dup2(to, 1);
        dup2(err[1], 2);
        if (redirect.file_limit) {
            struct rlimit limit = {redirect.file_limit, redirect.file_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    for (auto [fd, sink] : {std::pair{out[0], &r.out}, std::pair{err[0], &r.err}}) {
        char buf[4096];
        for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) sink->append(buf, size_t(n));
        close(fd);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

std::string mode_of(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return "missing";
    if (S_ISLNK(st.st_mode)) return "link";
    char text[16];
    snprintf(text, sizeof text, "%04o", unsigned(st.st_mode & 07777));
    return text;
}

// A folder holding bell.bin, the packed example, and ref.wav, sampleunpack's output for it.
class PosixOutput : public testing::Test {
  protected:
    void SetUp() override {
        write_file(t / "bell.wav", read_file(source_path("examples/bell.wav")));
        ASSERT_EQ(run("samplepack", {"bell.wav"}, t.path()).status, 0);
        ASSERT_EQ(unlink((t / "bell.wav").c_str()), 0);
        Result r = run("sampleunpack", {"bell.bin", "ref.wav"}, t.path());
        ASSERT_EQ(r.status, 0) << r.err;
        wav = read_file(t / "ref.wav");
        ASSERT_EQ(wav.size(), 16044u);
    }
    TempDir t;
    std::string wav;
};

// The system's /dev/stdout, which a faulty output path replaces when it runs as root: told, and
// put back.
void expect_dev_stdout_intact() {
    struct stat st;
    if (lstat("/dev/stdout", &st) == 0 && S_ISLNK(st.st_mode)) return;
    ADD_FAILURE() << "/dev/stdout is no longer a link";
    if (getuid() == 0 && unlink("/dev/stdout") == 0) symlink("/proc/self/fd/1", "/dev/stdout");
}

struct StdoutCase {
    const char* name;
    const char* path;
};

void PrintTo(const StdoutCase& c, std::ostream* os) {
    *os << c.path;
}

class PosixStandardOutput : public PosixOutput, public testing::WithParamInterface<StdoutCase> {};

TEST_P(PosixStandardOutput, IsWrittenAsTheStreamItIs) {
    const char* path = GetParam().path;
    // Standard output a file, as `sampleunpack bell.bin /dev/stdout > x.wav` makes it.
    Result r = run_with("sampleunpack", {"bell.bin", path}, t.path(), {"", t / "x.wav"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(read_file(t / "x.wav") == wav)
        << "x.wav holds " << read_file(t / "x.wav").size() << " bytes";
    EXPECT_EQ(listing(t.path()), (std::vector<std::string>{"bell.bin", "ref.wav", "x.wav"}));
    expect_dev_stdout_intact();
    // Standard output a pipe.
    r = run_with("sampleunpack", {"bell.bin", path}, t.path(), {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out == wav) << "the pipe took " << r.out.size() << " bytes";
    EXPECT_EQ(listing(t.path()), (std::vector<std::string>{"bell.bin", "ref.wav", "x.wav"}));
    expect_dev_stdout_intact();
}

INSTANTIATE_TEST_SUITE_P(Posix, PosixStandardOutput,
                         testing::Values(StdoutCase{"Dash", "-"},
                                         StdoutCase{"DevStdout", "/dev/stdout"},
                                         StdoutCase{"DevFd1", "/dev/fd/1"},
                                         StdoutCase{"ProcSelfFd1", "/proc/self/fd/1"}),
                         [](const testing::TestParamInfo<StdoutCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(PosixOutput, DashIsStandardInput) {
    Result r = run_with("sampleunpack", {"-", "out.wav"}, t.path(), {t / "bell.bin", ""});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read_file(t / "out.wav") == wav);
}

// Replacing a file as sox or gcc -o do, all or nothing: a link stays a link and what it leads to
// is replaced, the replaced file keeps its permission bits, a file without write permission is
// not replaced.
TEST_F(PosixOutput, ReplacesAsUsersExpect) {
    ASSERT_EQ(mkdir((t / "real").c_str(), 0755), 0);
    write_file(t / "real/target.wav", "old");
    ASSERT_EQ(symlink("real/target.wav", (t / "link.wav").c_str()), 0);
    ASSERT_EQ(symlink("real/later.wav", (t / "dangling.wav").c_str()), 0);
    write_file(t / "private.wav", "old");
    ASSERT_EQ(chmod((t / "private.wav").c_str(), 0600), 0);
    write_file(t / "readonly.wav", "old");
    ASSERT_EQ(chmod((t / "readonly.wav").c_str(), 0444), 0);

    for (const char* out : {"link.wav", "dangling.wav", "private.wav"}) {
        Result r = run("sampleunpack", {"bell.bin", out}, t.path());
        EXPECT_EQ(r.status, 0) << out << ": " << r.err;
    }
    EXPECT_EQ(mode_of(t / "link.wav"), "link");
    EXPECT_TRUE(read_file(t / "real/target.wav") == wav);
    EXPECT_EQ(mode_of(t / "dangling.wav"), "link");
    EXPECT_TRUE(read_file(t / "real/later.wav") == wav);
    EXPECT_EQ(mode_of(t / "private.wav"), "0600");
    EXPECT_TRUE(read_file(t / "private.wav") == wav);

    Result r = run("sampleunpack", {"bell.bin", "readonly.wav"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sampleunpack: readonly.wav: Permission denied\n");
    EXPECT_TRUE(read_file(t / "readonly.wav") == "old") << "readonly.wav was replaced";
    EXPECT_EQ(mode_of(t / "readonly.wav"), "0444");
    EXPECT_EQ(listing(t / "real"), (std::vector<std::string>{"later.wav", "target.wav"}));
}

TEST_F(PosixOutput, AFolderIsSaidToBeOne) {
    ASSERT_EQ(mkdir((t / "d").c_str(), 0755), 0);
    for (const char* out : {".", "d", "d/", "d/."}) {
        Result r = run("sampleunpack", {"bell.bin", out}, t.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("sampleunpack: ") + out + ": Is a directory\n");
    }
    EXPECT_EQ(listing(t.path()), (std::vector<std::string>{"bell.bin", "d", "ref.wav"}));
    EXPECT_EQ(listing(t / "d"), std::vector<std::string>{});
}

TEST_F(PosixOutput, TakesEveryNameTheFolderTakes) {
    for (size_t length : {244, 255}) {
        std::string name = std::string(length - 4, 'n') + ".wav";
        Result r = run("sampleunpack", {"bell.bin", name}, t.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(exists(t / name));
        ASSERT_EQ(unlink((t / name).c_str()), 0);
    }
    EXPECT_EQ(listing(t.path()), (std::vector<std::string>{"bell.bin", "ref.wav"}));
}

// `ulimit -f 4`: the write fails, the run says so and leaves nothing behind, instead of being
// ended by SIGXFSZ with its temporary file left.
TEST_F(PosixOutput, AFileSizeLimitLeavesNothing) {
    write_file(t / "old.wav", "old");
    for (const char* out : {"new.wav", "old.wav"}) {
        Result r = run_with("sampleunpack", {"bell.bin", out}, t.path(), {"", "", 4096});
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_EQ(r.err, std::string("sampleunpack: ") + out + ": File too large\n");
    }
    EXPECT_EQ(read_file(t / "old.wav"), "old");
    EXPECT_EQ(listing(t.path()), (std::vector<std::string>{"bell.bin", "old.wav", "ref.wav"}));
}

} // namespace
