// Console and file-system code for Linux and macOS.
#include "console.h"
#include "files.h"
#include "output.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

FILE* open_input(const char* path) {
    FILE* f = fopen(path, "rb");
    struct stat st;
    if (f && (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode))) {
        fclose(f);
        errno = EISDIR;
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

bool is_special(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

FILE* create_beside(const std::string& path, std::string* temp) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A hidden name of this process's own; the mode follows the umask like any new file's.
    for (int n = 0; n < 100; ++n) {
        std::string candidate =
            folder + "." + name + "." + std::to_string(getpid()) + "." + std::to_string(n) + ".tmp";
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        FILE* f = fdopen(fd, "wb");
        if (!f) {
            int err = errno;
            close(fd);
            unlink(candidate.c_str());
            errno = err;
            return nullptr;
        }
        *temp = candidate;
        return f;
    }
    errno = EEXIST;
    return nullptr;
}

bool replace_file(const char* from, const char* to) {
    return rename(from, to) == 0;
}

// The key test reads the controlling terminal, not standard input, so that redirected input
// does not hide the keyboard. A key typed on a terminal in canonical mode is only readable once
// its line is complete; the terminal is switched out of canonical mode for the run (which also
// makes a key typed before the start count) and put back on every way out.
//
// Several runs may share the terminal (a parallel build), so a run touches only the one bit, read
// fresh each time: it turns canonical input off only when it finds it on, and turns it back on
// at its end. A saved copy of the whole mode, written back at the end, would bring back another
// run's change.
namespace {

int tty = -2;                      // -2: not opened yet; -1: no terminal
volatile sig_atomic_t changed = 0; // this run turned canonical input off

// Sets canonical input on or off unless it already is; off only from the foreground. Signals wait
// meanwhile, so that a handler never finds the terminal changed while `changed` says otherwise,
// and putting it back from the background does not stop the process with SIGTTOU.
void set_canonical(bool on) {
    sigset_t all, old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    termios mode;
    if ((on || tcgetpgrp(tty) == getpgrp()) && tcgetattr(tty, &mode) == 0 &&
        bool(mode.c_lflag & ICANON) != on) {
        mode.c_lflag = on ? mode.c_lflag | ICANON : mode.c_lflag & ~ICANON;
        if (tcsetattr(tty, TCSANOW, &mode) == 0 && !on) changed = 1;
    }
    if (on) changed = 0;
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

void restore() {
    if (changed) set_canonical(true);
}

// Handles sig, unless it is ignored or already handled (a sanitizer's handler, say).
void catch_signal(int sig, void (*handler)(int)) {
    struct sigaction sa;
    if (sigaction(sig, nullptr, &sa) != 0 || sa.sa_handler != SIG_DFL) return;
    sa = {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    // An interrupted read goes on after the handler instead of failing with EINTR.
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr);
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
    catch_signal(sig, on_stop);
    errno = err;
}

// Every signal whose default action ends the process puts the terminal back first.
void hook() {
    atexit(restore);
    static const int exits[] = {
        SIGHUP,    SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
        SIGFPE,    SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
        SIGXCPU,   SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef __linux__
        SIGSTKFLT, SIGPOLL, SIGPWR,
#endif
    };
    for (int sig : exits) catch_signal(sig, on_exit_signal);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) catch_signal(sig, on_exit_signal);
#endif
    catch_signal(SIGTSTP, on_stop);
}

} // namespace

bool key_waiting() {
    if (tty == -2) tty = open("/dev/tty", O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (tty < 0) return false;
    if (tcgetpgrp(tty) != getpgrp()) return false;
    static bool hooked = false;
    if (!hooked) {
        hooked = true;
        hook();
    }
    // Another run may have turned canonical input back on at its end since the last test.
    if (!changed) set_canonical(false);
    int pending = 0;
    return ioctl(tty, FIONREAD, &pending) == 0 && pending > 0;
}

std::string manual_pointer(const char* program) {
    return std::string("See the manual page ") + program + "(1).\n";
}
