// Console and file-system code for Linux and macOS.
#include "common/console.h"
#include "common/files.h"
#include "common/output.h"
#include "common/paths.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace common {

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

namespace {

// True when the folder holding path is in /proc, whose entries are the open files of processes
// (/proc/self/fd/1 is a link to whatever standard output is): nothing is ever created there, and
// a link there is not followed as a name.
bool in_proc(const std::string& path) {
#ifdef __linux__
    std::string folder = folder_of(path);
    struct statfs fs;
    return statfs(folder.empty() ? "." : folder.c_str(), &fs) == 0 && fs.f_type == 0x9fa0;
#else
    return path.rfind("/dev/fd/", 0) == 0 || path == "/dev/stdout" || path == "/dev/stderr";
#endif
}

bool same_inode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

int plan_output(const std::string& path, OutputWay* way, std::string* target) {
    *way = OutputWay::standard_output;
    *target = path;
    if (path == "-") return 0;
    if (path.empty()) return ENOENT;
    std::string p = path;
    for (int links = 0;; ++links) {
        if (links > 40) return ELOOP;
        struct stat st;
        if (in_proc(p)) {
            // An open file of a process: the program's own standard output is written as the
            // stream it is (a file opened again would start at its beginning), anything else
            // where it is.
            struct stat out;
            *target = p;
            *way = stat(p.c_str(), &st) == 0 && fstat(1, &out) == 0 && same_inode(st, out)
                       ? OutputWay::standard_output
                       : OutputWay::in_place;
            return 0;
        }
        if (lstat(p.c_str(), &st) != 0) {
            if (errno != ENOENT) return errno;
            // Nothing there yet: a new file, unless the path names a folder ("new/").
            if (p.back() == '/') return ENOENT;
            *way = OutputWay::replace;
            *target = p;
            return 0;
        }
        if (S_ISLNK(st.st_mode)) {
            std::vector<char> text(PATH_MAX + 1);
            ssize_t n = readlink(p.c_str(), text.data(), text.size());
            if (n < 0) return errno;
            if (n == 0) return ENOENT;
            if (size_t(n) >= text.size()) return ENAMETOOLONG;
            std::string next(text.data(), size_t(n));
            p = next[0] == '/' ? next : folder_of(p) + next;
            continue;
        }
        *target = p;
        if (S_ISDIR(st.st_mode)) return EISDIR;
        if (!S_ISREG(st.st_mode)) {
            struct stat out;
            *way = fstat(1, &out) == 0 && same_inode(st, out) ? OutputWay::standard_output
                                                              : OutputWay::in_place;
            return 0;
        }
        // The rename needs only the folder's permission: the file's own is asked for here, as
        // opening it would. Root may write anything, but not a file that nobody may write.
        if (access(p.c_str(), W_OK) != 0) return errno;
        if ((st.st_mode & 0222) == 0) return EACCES;
        *way = OutputWay::replace;
        return 0;
    }
}

FILE* open_standard_output() {
    int fd = dup(1);
    FILE* f = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (!f && fd >= 0) close(fd);
    return f;
}

FILE* open_standard_input() {
    int fd = dup(0);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return nullptr;
    }
    FILE* f = fd < 0 ? nullptr : fdopen(fd, "rb");
    if (!f && fd >= 0) close(fd);
    return f;
}

bool same_regular_file(const std::string& input, const std::string& output) {
    struct stat a, b;
    bool ok = (input == "-" ? fstat(0, &a) : stat(input.c_str(), &a)) == 0 &&
              (output == "-" ? fstat(1, &b) : stat(output.c_str(), &b)) == 0;
    return ok && S_ISREG(a.st_mode) && S_ISREG(b.st_mode) && same_inode(a, b);
}

// The temporary files not yet renamed or removed, however many a run holds, where the signal
// handler can reach them without allocating: a list changed only while every signal is blocked.
namespace {

struct Temporary {
    Temporary* volatile next;
    std::string path;
};

Temporary* volatile temporaries = nullptr;

// Blocks every signal while the list is changed, so that a handler never sees half a change, nor
// a file that exists without its name recorded.
class Blocked {
  public:
    Blocked() {
        sigset_t all;
        sigfillset(&all);
        sigprocmask(SIG_BLOCK, &all, &old_);
    }
    ~Blocked() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

  private:
    sigset_t old_;
};

// Forgets a temporary file, with every signal blocked.
void forget(const std::string& path) {
    for (Temporary* volatile* at = &temporaries; *at; at = &(*at)->next)
        if ((*at)->path == path) {
            Temporary* gone = *at;
            *at = gone->next;
            delete gone;
            return;
        }
}

// Async-signal-safe: reads the list and unlinks, nothing else. The list is left as it is: the
// program is ending.
void remove_temporaries_now() {
    for (Temporary* t = temporaries; t; t = t->next) unlink(t->path.c_str());
}

void catch_exit_signals();

} // namespace

FILE* create_temporary(const std::string& target, std::string* temp) {
    catch_exit_signals();
    // A file larger than the limit (ulimit -f) ends the program with SIGXFSZ, unless it is
    // ignored: then the write fails with EFBIG and the failure is reported and cleaned up.
    struct sigaction sa;
    if (sigaction(SIGXFSZ, nullptr, &sa) == 0 && sa.sa_handler != SIG_IGN &&
        !(sa.sa_flags & SA_SIGINFO))
        signal(SIGXFSZ, SIG_IGN);
    struct stat old;
    bool replacing = stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    std::string folder = folder_of(target);
    // A short name, so that any name the folder takes leaves room for it, numbered on through
    // the run, so that a run may hold any number at once. A name taken (left by an earlier
    // process of the same number) is passed over.
    static unsigned long long next = 0;
    for (;;) {
        std::string candidate =
            folder + ".ak" + std::to_string(getpid()) + "-" + std::to_string(next++) + ".tmp";
        int fd;
        {
            Blocked b;
            // The mode follows the umask like any new file's.
            fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) temporaries = new Temporary{temporaries, candidate};
        }
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        if (replacing) {
            // The replaced file's owner, where that may be given, and its permission bits; a
            // set-user or set-group bit only with the owner it was given for.
            mode_t mode = old.st_mode & 07777;
            if (fchown(fd, old.st_uid, old.st_gid) != 0) mode &= ~mode_t(S_ISUID | S_ISGID);
            if (fchmod(fd, mode) != 0) {
                int err = errno;
                close(fd);
                remove_temporary(candidate);
                errno = err;
                return nullptr;
            }
        }
        FILE* f = fdopen(fd, "wb");
        if (!f) {
            int err = errno;
            close(fd);
            remove_temporary(candidate);
            errno = err;
            return nullptr;
        }
        *temp = candidate;
        return f;
    }
}

void remove_temporary(const std::string& temp) {
    Blocked b;
    unlink(temp.c_str());
    forget(temp);
}

bool replace_file(const char* from, const char* to) {
    Blocked b;
    if (rename(from, to) != 0) return false;
    forget(from);
    return true;
}

// The key test reads the controlling terminal, not standard input, so that redirected input
// does not hide the keyboard. A key typed on a terminal in canonical mode is only readable once
// its line is complete; the terminal is switched out of canonical mode for the run and put back
// on every way out.
//
// Keys typed ahead, before the run, were meant for whatever comes next (the next command, or the
// next run of a build): they are never read, so the bytes waiting at the first test, once the
// terminal is out of canonical mode, where such a key becomes visible, are the baseline, and only
// more than those count.
//
// Several runs may share the terminal (a parallel build), so a run touches only the one bit, read
// fresh each time: it turns canonical input off only when it finds it on, and turns it back on
// at its end. A saved copy of the whole mode, written back at the end, would bring back another
// run's change.
namespace {

int tty = -2;                      // -2: not opened yet; -1: no terminal
int typed_ahead = -1;              // the bytes waiting at the first test; -1: not tested yet
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

// A program ending on a signal puts the terminal back and removes its temporary file, then ends
// as the signal would have ended it.
void on_exit_signal(int sig) {
    restore();
    remove_temporaries_now();
    signal(sig, SIG_DFL);
    raise(sig);
}

void at_exit() {
    restore();
    remove_temporaries_now();
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

// Every signal whose default action ends the process puts the terminal back and removes the
// temporary file first, and so does exit(). Once for both, whichever needs it first.
void catch_exit_signals() {
    static bool caught = false;
    if (caught) return;
    caught = true;
    atexit(at_exit);
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
}

} // namespace

bool key_waiting() {
    if (tty == -2) tty = open("/dev/tty", O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (tty < 0) return false;
    if (tcgetpgrp(tty) != getpgrp()) return false;
    static bool hooked = false;
    if (!hooked) {
        hooked = true;
        catch_exit_signals();
        catch_signal(SIGTSTP, on_stop);
    }
    // Another run may have turned canonical input back on at its end since the last test.
    if (!changed) set_canonical(false);
    int pending = 0;
    if (ioctl(tty, FIONREAD, &pending) != 0) return false;
    // Another reader of the terminal may have taken some of the keys typed ahead: fewer than
    // the baseline lowers it, so that a key typed later still counts.
    if (typed_ahead < 0 || pending < typed_ahead) typed_ahead = pending;
    return pending > typed_ahead;
}

FILE* open_scratch() {
    return tmpfile();
}

std::string platform_lines(const std::string& text) {
    return text;
}

FILE* open_bytes(const char* data, size_t size) {
    // fmemopen refuses an empty buffer on older C libraries.
    if (size == 0) return tmpfile();
    return fmemopen(const_cast<char*>(data), size, "rb");
}

std::string manual_pointer(const char* program) {
    return std::string("See the manual page ") + program + "(1).\n";
}

} // namespace common
