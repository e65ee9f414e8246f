// Console and file-system code for Windows.
#include "common/console.h"
#include "common/files.h"
#include "common/key_events.h"
#include "common/output.h"
#include "common/paths.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <windows.h>

namespace common {

FILE* open_input(const char* path) {
    FILE* f = fopen(path, "rb");
    // Windows refuses to open a folder as a file with EACCES: say what it is, as POSIX does.
    if (!f && errno == EACCES) {
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            errno = EISDIR;
    }
    return f;
}

int plan_output(const std::string& path, OutputWay* way, std::string* target) {
    *way = OutputWay::standard_output;
    *target = path;
    if (path == "-") return 0;
    struct _stat64 st;
    if (_stat64(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return errno;
        *way = OutputWay::replace;
        return 0;
    }
    if (st.st_mode & _S_IFDIR) return EISDIR;
    // A device (NUL, CON) is written where it is.
    if (!(st.st_mode & _S_IFREG)) {
        *way = OutputWay::in_place;
        return 0;
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return EACCES;
    *way = OutputWay::replace;
    return 0;
}

static FILE* open_standard(int fd, const char* mode) {
    int copy = _dup(fd);
    if (copy < 0) return nullptr;
    _setmode(copy, _O_BINARY);
    FILE* f = _fdopen(copy, mode);
    if (!f) _close(copy);
    return f;
}

FILE* open_standard_output() {
    return open_standard(1, "wb");
}

FILE* open_standard_input() {
    return open_standard(0, "rb");
}

FILE* create_temporary(const std::string& target, std::string* temp) {
    std::string folder = folder_of(target);
    // Numbered on through the run, so that a run may hold any number at once; a name taken
    // (left by an earlier process of the same number) is passed over.
    static unsigned long long next = 0;
    for (;;) {
        std::string candidate = folder + ".ak" + std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(next++) + ".tmp";
        int fd = _open(candidate.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                       _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        FILE* f = _fdopen(fd, "wb");
        if (!f) {
            _close(fd);
            remove(candidate.c_str());
            return nullptr;
        }
        *temp = candidate;
        return f;
    }
}

void remove_temporary(const std::string& temp) {
    remove(temp.c_str());
}

bool replace_file(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    errno = EACCES;
    return false;
}

FILE* open_measured_input(const char* path) {
    return open_input(path);
}

void remove_output(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return;
    // A device such as NUL has no attributes to tell it by: ask the handle.
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    bool disk = GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    if (disk) DeleteFileA(path);
}

namespace {

bool identify(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return ok;
}

// Keys that the console's keyboard tables give an extended code for, though they give no
// character: function keys, cursor and editing keys.
bool extended(WORD vk) {
    return (vk >= VK_F1 && vk <= VK_F12) || (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT ||
           vk == VK_DELETE || vk == VK_CLEAR;
}

} // namespace

bool same_file(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return identify(a, &ia) && identify(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool same_regular_file(const std::string& input, const std::string& output) {
    auto id = [](const std::string& path, int fd, BY_HANDLE_FILE_INFORMATION* info) {
        if (path != "-")
            return identify(path.c_str(), info) &&
                   !(info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
        return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_DISK &&
               GetFileInformationByHandle(h, info) != 0;
    };
    BY_HANDLE_FILE_INFORMATION a, b;
    return id(input, 0, &a) && id(output, 1, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool key_waiting() {
    static HANDLE in =
        CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    static long typed_ahead = -1;
    if (in == INVALID_HANDLE_VALUE) return false;
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(in, &count)) return false;
    // Peek at every pending event: nothing ever takes them from the queue, so a key behind a
    // fixed number of mouse or focus events would never be seen. An empty queue is looked at
    // too: at the first test it says that no key was typed ahead.
    std::vector<INPUT_RECORD> events(count);
    DWORD got = 0;
    if (count > 0 && !PeekConsoleInputA(in, events.data(), count, &got)) return false;
    return key_pressed(events.data(), got, &typed_ahead);
}

namespace {

bool is_key_press(const INPUT_RECORD& event) {
    const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
    return event.EventType == KEY_EVENT && key.bKeyDown &&
           (key.uChar.AsciiChar != 0 || extended(key.wVirtualKeyCode));
}

} // namespace

bool key_pressed(const INPUT_RECORD* events, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (is_key_press(events[i])) return true;
    return false;
}

bool key_pressed(const INPUT_RECORD* events, size_t count, long* typed_ahead) {
    // The queue keeps its order, so the presses typed ahead are its first ones.
    long presses = 0;
    for (size_t i = 0; i < count; ++i)
        if (is_key_press(events[i])) ++presses;
    if (*typed_ahead < 0 || presses < *typed_ahead) *typed_ahead = presses;
    return presses > *typed_ahead;
}

FILE* open_scratch() {
    // A file in the user's temporary folder ("D": removed when the stream is closed), not
    // tmpfile()'s, which lands in the drive's root, often unwritable.
    char folder[MAX_PATH + 1], name[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "ak", 0, name) == 0) {
        errno = ENOENT;
        return nullptr;
    }
    FILE* f = fopen(name, "w+bD");
    if (!f) DeleteFileA(name);
    return f;
}

std::string platform_lines(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

FILE* open_bytes(const char* data, size_t size) {
    // Windows has no stream over memory: a scratch file holds the bytes.
    FILE* f = open_scratch();
    if (!f) return nullptr;
    if (fwrite(data, 1, size, f) != size || fflush(f) != 0 || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return nullptr;
    }
    return f;
}

std::string manual_pointer(const char* program) {
    return std::string("See the manual manual\\") + program + ".html in the folder of " + program +
           ".exe.\n";
}

} // namespace common
