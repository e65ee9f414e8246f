// samplepack's early stop on a key press, on a pseudo-terminal that the program has as its
// controlling terminal.
#include "harness.h"
#include "wav.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

class Terminal : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        ASSERT_EQ(tcgetattr(slave, &before), 0);
    }
    void TearDown() override {
        close(master);
        close(slave);
    }

    // Types a key on the terminal, without a line end.
    void type_key() { ASSERT_EQ(write(master, "k", 1), 1); }

    // Starts samplepack in its own session with the terminal as its controlling terminal,
    // standard input from /dev/null and standard output into a pipe. In the background, the
    // program runs in a process group of its own, not the terminal's foreground group.
    pid_t start(const std::string& input, bool background) {
        int out[2];
        if (pipe(out) != 0) return -1;
        pid_t pid = fork();
        if (pid == 0) {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            int null = open("/dev/null", O_RDONLY);
            dup2(null, 0);
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(out[0]);
            if (background) {
                pid_t child = fork();
                if (child != 0) {
                    int status = 0;
                    waitpid(child, &status, WUNTRACED);
                    if (WIFSTOPPED(status)) kill(child, SIGKILL);
                    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 100);
                }
                setpgid(0, 0);
            }
            if (chdir(dir.path().c_str()) != 0) _exit(126);
            std::string exe = program("samplepack");
            execl(exe.c_str(), exe.c_str(), input.c_str(), (char*)nullptr);
            _exit(127);
        }
        close(out[1]);
        output_fd = out[0];
        return pid;
    }

    // Waits for the program's end; its status, or 128 + the signal that ended it.
    int finish(pid_t pid) {
        char buf[256];
        ssize_t n;
        while ((n = read(output_fd, buf, sizeof buf)) > 0) printed.append(buf, size_t(n));
        close(output_fd);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    bool settings_kept() {
        termios after;
        return tcgetattr(slave, &after) == 0 && same_settings(before, after);
    }

    // The number of keys waiting, seen out of canonical mode, where an unfinished line counts.
    int keys_waiting() {
        termios raw = before;
        raw.c_lflag &= ~ICANON;
        tcsetattr(slave, TCSANOW, &raw);
        int n = 0;
        ioctl(slave, FIONREAD, &n);
        tcsetattr(slave, TCSANOW, &before);
        return n;
    }

    TempDir dir;
    int master = -1, slave = -1, output_fd = -1;
    termios before;
    std::string printed;
};

const std::string samples(20000, '\x50');

TEST_F(Terminal, KeyTypedBeforeTheStartStopsAfterTheFirstRead) {
    write_file(dir / "long.wav", wav(samples));
    type_key();
    int status = finish(start("long.wav", false));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(printed, "");
    std::string out = read_file(dir / "long.bin");
    EXPECT_EQ(out.size(), 2u + 128 * 16);
    EXPECT_EQ(hex(out.substr(0, 2)), "81 01");
    EXPECT_TRUE(settings_kept());
    EXPECT_EQ(keys_waiting(), 1) << "the key is left for the next reader";
}

TEST_F(Terminal, WithoutAKeyConvertsWhole) {
    write_file(dir / "long.wav", wav(samples));
    EXPECT_EQ(finish(start("long.wav", false)), 0);
    EXPECT_EQ(read_file(dir / "long.bin").size(), 2u + 10000);
    EXPECT_TRUE(settings_kept());
}

// From the background the terminal is neither read nor changed, so the program is never stopped
// for touching it.
TEST_F(Terminal, InTheBackgroundConvertsWhole) {
    write_file(dir / "long.wav", wav(samples));
    type_key();
    EXPECT_EQ(finish(start("long.wav", true)), 0);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(read_file(dir / "long.bin").size(), 2u + 10000);
    EXPECT_TRUE(settings_kept());
}

TEST(SamplepackNoTerminal, ConvertsWhole) {
    TempDir t;
    write_file(t / "long.wav", wav(samples));
    auto r = run("samplepack", {"long.wav"}, t.path());
    EXPECT_EQ(r.status, 0);
    std::string out = read_file(t / "long.bin");
    EXPECT_EQ(out.size(), 2u + 10000);
    EXPECT_EQ(hex(out.substr(0, 2)), "72 03"); // 625 blocks
}

// A program ended by a signal while the terminal is out of canonical mode puts it back. The
// input is a FIFO that delivers one full read and then holds the program waiting.
class TerminalSignal : public Terminal, public testing::WithParamInterface<int> {};

TEST_P(TerminalSignal, RestoresTheTerminal) {
    ASSERT_EQ(mkfifo((dir / "slow.wav").c_str(), 0600), 0);
    pid_t pid = start("slow.wav", false);
    int fifo = open((dir / "slow.wav").c_str(), O_WRONLY);
    ASSERT_GE(fifo, 0);
    std::string first = wav_header(100000) + std::string(4096, '\x50');
    ASSERT_EQ(write(fifo, first.data(), first.size()), ssize_t(first.size()));

    // The program changes the mode after its first read; give it up to ten seconds.
    termios now;
    for (int i = 0; i < 1000 && tcgetattr(slave, &now) == 0 && (now.c_lflag & ICANON); ++i)
        usleep(10000);
    EXPECT_FALSE(now.c_lflag & ICANON) << "the terminal is out of canonical mode while running";

    kill(pid, GetParam());
    int status = finish(pid);
    close(fifo);
    EXPECT_EQ(status, 128 + GetParam());
    EXPECT_TRUE(settings_kept());
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminalSignal, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

} // namespace
