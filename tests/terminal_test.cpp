// samplepack on a pseudo-terminal that the program has as its controlling terminal: the early
// stop on a key press, and the terminal's mode, which every way out of a run must leave as it was.
#include "tests/harness.h"
#include "tests/wav.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// An exit status, or 128 + the signal that ended the process.
int code(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The state letter of a process: R running, S sleeping, T stopped...
char state(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(f)), {});
    size_t end = stat.rfind(')');
    return end != std::string::npos && end + 2 < stat.size() ? stat[end + 2] : '?';
}

// Waits up to ten seconds for a condition that another process brings about.
template <class Condition> bool eventually(Condition condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        usleep(10000);
    }
    return condition();
}

class Terminal : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        ASSERT_EQ(tcgetattr(slave, &before), 0);
        // A run that ends early must fail the test, not end it by a write to its FIFO.
        old_pipe = signal(SIGPIPE, SIG_IGN);
    }
    void TearDown() override {
        signal(SIGPIPE, old_pipe);
        close(master);
        close(slave);
    }

    // Types a key on the terminal, without a line end. The write returns before the key reaches
    // the terminal's input queue: wait until it is there, or a program started next may miss it.
    void type_key() {
        ASSERT_EQ(write(master, "k", 1), 1);
        ASSERT_TRUE(eventually([&] { return keys_waiting() == 1; }));
    }

    // Types a key while a run has the terminal out of canonical mode, and waits until it is
    // there. (keys_waiting() would put the terminal back into canonical mode under the run.)
    void type_key_into_run() {
        ASSERT_FALSE(canonical());
        ASSERT_EQ(write(master, "k", 1), 1);
        ASSERT_TRUE(eventually([&] {
            int n = 0;
            return ioctl(slave, FIONREAD, &n) == 0 && n == 1;
        }));
    }

    // Waits until the run that holds the terminal has tested for a key at least once and sleeps
    // in a read of its input: it has left canonical mode at its first test, and sleeps only
    // in a read.
    void wait_for_first_test() {
        ASSERT_TRUE(eventually([&] { return !canonical(); }));
        pid_t job = tcgetpgrp(master);
        ASSERT_GT(job, 0);
        ASSERT_TRUE(eventually([&] { return state(job) == 'S'; }));
    }

    // Types the stop key (Ctrl-Z), which stops the terminal's foreground process group.
    void type_stop() { ASSERT_EQ(write(master, &before.c_cc[VSUSP], 1), 1); }

    // Where a run stands on its terminal.
    enum Place {
        Foreground, // the session's leader itself
        Background, // a process group of its own that is not the terminal's foreground group
        Job,        // a process group of its own made the foreground group, as a shell's job
    };

    // Starts samplepack in a session of its own with the terminal as its controlling terminal.
    pid_t start(const std::string& input, Place place = Foreground) {
        pid_t leader = session();
        if (leader != 0) return leader;
        if (place == Foreground) run_samplepack(input);
        pid_t child = fork();
        if (child == 0) {
            setpgid(0, 0);
            if (place == Job) {
                signal(SIGTTOU, SIG_IGN);
                tcsetpgrp(slave, getpid());
                signal(SIGTTOU, SIG_DFL);
            }
            run_samplepack(input);
        }
        // The leader waits like a shell, so the program's group is never orphaned: a stop key
        // stops it. A background run that stops has touched the terminal and is ended.
        int status = 0;
        while (waitpid(child, &status, WUNTRACED) == child && WIFSTOPPED(status))
            if (place == Background) kill(child, SIGKILL);
        _exit(code(status));
    }

    // Starts samplepack on each input in turn, each as a job of its own in the foreground, as a
    // shell or a build runs one command after another. The session's status is the last failing
    // run's, or 0.
    pid_t start_in_turn(const std::vector<std::string>& inputs) {
        pid_t leader = session();
        if (leader != 0) return leader;
        int worst = 0;
        for (const std::string& input : inputs) {
            pid_t child = fork();
            if (child == 0) {
                setpgid(0, 0);
                signal(SIGTTOU, SIG_IGN);
                tcsetpgrp(slave, getpid());
                signal(SIGTTOU, SIG_DFL);
                run_samplepack(input);
            }
            int status = 0;
            waitpid(child, &status, 0);
            if (code(status) != 0) worst = code(status);
        }
        _exit(worst);
    }

    // Starts one samplepack per input at once, all in the terminal's foreground process group.
    // The session's status is the last failing run's, or 0.
    pid_t start_together(const std::vector<std::string>& inputs) {
        pid_t leader = session();
        if (leader != 0) return leader;
        for (const std::string& input : inputs)
            if (fork() == 0) run_samplepack(input);
        int status = 0, worst = 0;
        while (wait(&status) > 0)
            if (code(status) != 0) worst = code(status);
        _exit(worst);
    }

    // Waits for the session's end; its status, or 128 + the signal that ended it.
    int finish(pid_t pid) {
        char buf[256];
        ssize_t n;
        while ((n = read(output_fd, buf, sizeof buf)) > 0) printed.append(buf, size_t(n));
        close(output_fd);
        int status = 0;
        waitpid(pid, &status, 0);
        return code(status);
    }

    // Waits for the end of a session of one program, reading what it prints meanwhile, as long
    // as eventually() waits; a program still running then is killed, and the test fails on
    // the spot instead of waiting on a program that ignores what should end it.
    int finish_soon(pid_t pid) {
        fcntl(output_fd, F_SETFL, fcntl(output_fd, F_GETFL) | O_NONBLOCK);
        auto drain = [&] {
            char buf[256];
            ssize_t n;
            while ((n = read(output_fd, buf, sizeof buf)) > 0) printed.append(buf, size_t(n));
        };
        int status = 0;
        bool ended = eventually([&] {
            drain();
            return waitpid(pid, &status, WNOHANG) == pid;
        });
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "the program went on running, and was killed";
        }
        drain();
        close(output_fd);
        return code(status);
    }

    bool canonical() {
        termios now;
        return tcgetattr(slave, &now) == 0 && (now.c_lflag & ICANON);
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

  private:
    void (*old_pipe)(int) = SIG_DFL;

    // Forks the leader of a new session on the terminal, with standard input from /dev/null,
    // standard output into a pipe, and the test's folder as its working folder. Returns the
    // leader's process id, and 0 in the leader.
    pid_t session() {
        int out[2];
        if (pipe(out) != 0) return -1;
        pid_t pid = fork();
        if (pid != 0) {
            close(out[1]);
            output_fd = out[0];
            return pid;
        }
        signal(SIGPIPE, SIG_DFL);
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(out[0]);
        // Signals that dump core end the runs here; the core files are of no use. A sanitizer
        // that takes the fault signals over would hide how the program handles them.
        rlimit none = {0, 0};
        setrlimit(RLIMIT_CORE, &none);
        const char* asan = getenv("ASAN_OPTIONS");
        std::string options = std::string(asan ? asan : "") +
                              ":handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0";
        setenv("ASAN_OPTIONS", options.c_str(), 1);
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        return 0;
    }

    [[noreturn]] void run_samplepack(const std::string& input) {
        std::string exe = program("samplepack");
        execl(exe.c_str(), exe.c_str(), input.c_str(), (char*)nullptr);
        _exit(127);
    }
};

const std::string samples(20000, '\x50');
const std::string chunk(4096, '\x50'); // one full read

// A key typed before the start was typed for whatever comes next: neither this run nor the next
// one stops for it, and it is left for the next reader.
TEST_F(Terminal, KeyTypedAheadStopsNoRun) {
    write_file(dir / "a.wav", wav(samples));
    write_file(dir / "b.wav", wav(samples));
    type_key();
    EXPECT_EQ(finish(start_in_turn({"a.wav", "b.wav"})), 0);
    EXPECT_EQ(printed, "");
    for (const char* name : {"a.bin", "b.bin"}) {
        std::string out = read_file(dir / name);
        EXPECT_EQ(out.size(), 2u + 10000) << name;
        EXPECT_EQ(hex(out.substr(0, 2)), "72 03") << name; // 625 blocks
    }
    EXPECT_TRUE(settings_kept());
    EXPECT_EQ(keys_waiting(), 1) << "the key is left for the next reader";
}

// A key typed while a run packs stops it at its next read, with success; a run that comes next
// takes the key as typed ahead and packs its sound whole. The first run reads a FIFO that the
// test feeds, one full read at a time.
TEST_F(Terminal, KeyTypedDuringARunStopsItAndNoLaterRun) {
    ASSERT_EQ(mkfifo((dir / "slow.wav").c_str(), 0600), 0);
    write_file(dir / "next.wav", wav(samples));
    pid_t pid = start_in_turn({"slow.wav", "next.wav"});
    int fifo = open((dir / "slow.wav").c_str(), O_WRONLY);
    ASSERT_GE(fifo, 0);
    std::string first = wav_header(5 * 4096) + chunk;
    ASSERT_EQ(write(fifo, first.data(), first.size()), ssize_t(first.size()));
    wait_for_first_test();
    type_key_into_run();
    // The rest of the sound; the run stops after the first of these reads (the writes after
    // its end may fail).
    ASSERT_EQ(write(fifo, chunk.data(), chunk.size()), ssize_t(chunk.size()));
    for (int i = 0; i < 3; ++i) (void)!write(fifo, chunk.data(), chunk.size());
    close(fifo);

    EXPECT_EQ(finish(pid), 0);
    EXPECT_EQ(printed, "");
    std::string out = read_file(dir / "slow.bin");
    EXPECT_EQ(out.size(), 2u + 2 * 2048) << "stopped after the read that follows the key";
    EXPECT_EQ(hex(out.substr(0, 2)), "01 02"); // 256 blocks
    EXPECT_EQ(read_file(dir / "next.bin").size(), 2u + 10000) << "the next run packs whole";
    EXPECT_TRUE(settings_kept());
    EXPECT_EQ(keys_waiting(), 1) << "the key is left for the next reader";
}

TEST_F(Terminal, WithoutAKeyConvertsWhole) {
    write_file(dir / "long.wav", wav(samples));
    EXPECT_EQ(finish(start("long.wav")), 0);
    EXPECT_EQ(read_file(dir / "long.bin").size(), 2u + 10000);
    EXPECT_TRUE(settings_kept());
}

// From the background the terminal is neither read nor changed, so the program is never stopped
// for touching it.
TEST_F(Terminal, InTheBackgroundConvertsWhole) {
    write_file(dir / "long.wav", wav(samples));
    type_key();
    EXPECT_EQ(finish(start("long.wav", Background)), 0);
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

// Runs on one terminal that start and end at different times, as a parallel build starts them:
// however their changes of the mode interleave, the terminal ends as it began. Each run reads a
// FIFO that the test feeds, so the order is the test's: the first run is out of canonical mode
// before the second starts, and every run starts while the ones before it still run and ends
// after them.
TEST_F(Terminal, OverlappingRunsKeepTheTerminal) {
    const int runs = 4, reads = runs + 1;
    std::vector<std::string> inputs;
    for (int i = 0; i < runs; ++i) {
        inputs.push_back("run" + std::to_string(i) + ".wav");
        ASSERT_EQ(mkfifo((dir / inputs.back()).c_str(), 0600), 0);
    }
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        pid_t pid = start_together(inputs);
        std::vector<int> fifos;
        for (const std::string& input : inputs) {
            fifos.push_back(open((dir / input).c_str(), O_WRONLY));
            ASSERT_GE(fifos.back(), 0);
        }
        // Run i gets one full read at each of the steps i to i + runs (the first behind the
        // header), then the end of its input.
        for (int step = 0; step < runs + reads; ++step) {
            for (int i = 0; i < runs; ++i) {
                if (step < i || step >= i + reads) continue;
                std::string data = step == i ? wav_header(reads * 4096) + chunk : chunk;
                ASSERT_EQ(write(fifos[i], data.data(), data.size()), ssize_t(data.size()));
                if (step == i + reads - 1) close(fifos[i]);
            }
            if (step == 0) {
                ASSERT_TRUE(eventually([&] { return !canonical(); }));
            }
            usleep(2000); // lets the runs read before the next step
        }
        EXPECT_EQ(finish(pid), 0);
        EXPECT_EQ(printed, "");
        for (const std::string& input : inputs)
            EXPECT_EQ(read_file(dir / (input.substr(0, 4) + ".bin")).size(), 2u + reads * 2048);
        ASSERT_TRUE(settings_kept());
    }
}

// Ctrl-Z while the program waits for its input stops it with the terminal handed back; resumed,
// it finishes as if never stopped. The input is a FIFO that the test feeds.
TEST_F(Terminal, StoppedAndResumedRunFinishes) {
    ASSERT_EQ(mkfifo((dir / "slow.wav").c_str(), 0600), 0);
    pid_t pid = start("slow.wav", Job);
    int fifo = open((dir / "slow.wav").c_str(), O_WRONLY);
    ASSERT_GE(fifo, 0);
    std::string first = wav_header(2 * 4096) + chunk;
    ASSERT_EQ(write(fifo, first.data(), first.size()), ssize_t(first.size()));

    // After its first read the program has the terminal out of canonical mode; then it sleeps
    // in the read that waits for the rest.
    ASSERT_TRUE(eventually([&] { return !canonical(); }));
    pid_t job = tcgetpgrp(master);
    ASSERT_GT(job, 0);
    ASSERT_TRUE(eventually([&] { return state(job) == 'S'; }));
    type_stop();
    ASSERT_TRUE(eventually([&] { return state(job) == 'T'; }));
    EXPECT_TRUE(settings_kept()) << "a stopped run hands the terminal back";

    kill(job, SIGCONT);
    ASSERT_EQ(write(fifo, chunk.data(), chunk.size()), ssize_t(chunk.size()));
    close(fifo);
    EXPECT_EQ(finish(pid), 0);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(read_file(dir / "slow.bin").size(), 2u + 4096);
    EXPECT_TRUE(settings_kept());
}

// A program ended by a signal while the terminal is out of canonical mode puts it back and ends
// by that same signal. The input is a FIFO that delivers one full read and then holds the
// program waiting. A program that never leaves canonical mode, or goes on after the signal, fails
// the case at its first round.
class TerminalSignal : public Terminal, public testing::WithParamInterface<int> {};

TEST_P(TerminalSignal, RestoresTheTerminal) {
    ASSERT_EQ(mkfifo((dir / "slow.wav").c_str(), 0600), 0);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        printed.clear();
        pid_t pid = start("slow.wav");
        int fifo = open((dir / "slow.wav").c_str(), O_WRONLY);
        ASSERT_GE(fifo, 0);
        std::string first = wav_header(100000) + chunk;
        ASSERT_EQ(write(fifo, first.data(), first.size()), ssize_t(first.size()));
        if (!eventually([&] { return !canonical(); })) {
            kill(pid, SIGKILL);
            finish(pid);
            close(fifo);
            FAIL() << "the terminal stays in canonical mode while running";
        }

        kill(pid, GetParam());
        int status = finish_soon(pid);
        close(fifo);
        EXPECT_EQ(printed, "");
        ASSERT_TRUE(settings_kept());
        ASSERT_EQ(status, 128 + GetParam());
    }
}

std::string signal_name(const testing::TestParamInfo<int>& info) {
    if (info.param == SIGRTMIN) return "RTMIN";
    if (info.param == SIGRTMAX) return "RTMAX";
    return sigabbrev_np(info.param);
}

// Every signal whose default action ends the process; the real-time ones stand for their range.
INSTANTIATE_TEST_SUITE_P(Signals, TerminalSignal,
                         testing::Values(SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGTRAP, SIGABRT, SIGBUS,
                                         SIGFPE, SIGUSR1, SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM,
                                         SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF,
                                         SIGPOLL, SIGPWR, SIGSYS, SIGRTMIN, SIGRTMAX),
                         signal_name);

} // namespace
