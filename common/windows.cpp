// Console and file-system code for Windows.
#include "console.h"
#include "files.h"
#include "key_events.h"
#include "output.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <windows.h>

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

bool is_special(const char* path) {
    struct _stat64 st;
    return _stat64(path, &st) == 0 && !(st.st_mode & (_S_IFREG | _S_IFDIR));
}

FILE* create_beside(const std::string& path, std::string* temp) {
    size_t slash = path.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (int n = 0; n < 100; ++n) {
        std::string candidate = folder + "." + name + "." + std::to_string(GetCurrentProcessId()) +
                                "." + std::to_string(n) + ".tmp";
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
    errno = EEXIST;
    return nullptr;
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

bool key_waiting() {
    static HANDLE in =
        CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(in, &count) || count == 0) return false;
    // Peek at every pending event: nothing ever takes them from the queue, so a key behind a
    // fixed number of mouse or focus events would never be seen.
    std::vector<INPUT_RECORD> events(count);
    DWORD got = 0;
    return PeekConsoleInputA(in, events.data(), count, &got) && key_pressed(events.data(), got);
}

bool key_pressed(const INPUT_RECORD* events, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const KEY_EVENT_RECORD& key = events[i].Event.KeyEvent;
        if (events[i].EventType == KEY_EVENT && key.bKeyDown &&
            (key.uChar.AsciiChar != 0 || extended(key.wVirtualKeyCode)))
            return true;
    }
    return false;
}

std::string manual_pointer(const char* program) {
    return std::string("See the manual manual\\") + program + ".html in the folder of " + program +
           ".exe.\n";
}
