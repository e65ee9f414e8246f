// Console and file-system code for Linux and macOS.
#include "console.h"
#include "files.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

FILE* open_input(const char* path) {
    FILE* f = fopen(path, "rb");
    struct stat st;
    if (f && (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode))) {
        fclose(f);
        return nullptr;
    }
    return f;
}

FILE* open_measured_input(const char* path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // Only the open must not wait: reads block as usual.
    struct stat st;
    FILE* f = nullptr;
    if (fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode) &&
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        f = fdopen(fd, "rb");
    if (!f) close(fd);
    return f;
}

void remove_output(const char* path) {
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISREG(st.st_mode)) unlink(path);
}

bool same_file(const char* a, const char* b) {
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The key test reads the controlling terminal, not standard input, so that redirected input
// does not hide the keyboard. A key typed on a terminal in canonical mode is only readable once
// its line is complete; the terminal is switched out of canonical mode for the run (which also
// makes a key typed before the start count) and put back on every way out.
namespace {

int tty = -2; // -2: not opened yet; -1: no terminal
termios saved;
volatile sig_atomic_t changed = 0;

// Changing the terminal from the background would stop the process with SIGTTOU.
void set_mode(const termios& mode) {
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGTTOU);
    sigprocmask(SIG_BLOCK, &block, &old);
    tcsetattr(tty, TCSANOW, &mode);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

void restore() {
    if (changed) {
        set_mode(saved);
        changed = 0;
    }
}

void on_exit_signal(int sig) {
    restore();
    signal(sig, SIG_DFL);
    raise(sig);
}

// Ctrl-Z: hand the terminal back as it was; the mode is set again by the next test, if the
// process is then still in the foreground.
void on_stop(int sig) {
    int err = errno;
    restore();
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    signal(sig, on_stop);
    errno = err;
}

void catch_signal(int sig, void (*handler)(int)) {
    struct sigaction old;
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
    struct sigaction sa = {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
}

bool set_up() {
    if (tcgetattr(tty, &saved) != 0) return false;
    static bool hooked = false;
    if (!hooked) {
        hooked = true;
        atexit(restore);
        static const int exits[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
        for (int sig : exits) catch_signal(sig, on_exit_signal);
        catch_signal(SIGTSTP, on_stop);
    }
    termios raw = saved;
    raw.c_lflag &= ~ICANON;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    changed = 1;
    set_mode(raw);
    return true;
}

} // namespace

bool key_waiting() {
    if (tty == -2) tty = open("/dev/tty", O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (tty < 0) return false;
    if (tcgetpgrp(tty) != getpgrp()) return false;
    if (!changed && !set_up()) return false;
    int pending = 0;
    return ioctl(tty, FIONREAD, &pending) == 0 && pending > 0;
}
