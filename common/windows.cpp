// Console and file-system code for Windows.
#include "console.h"
#include "files.h"

#include <vector>
#include <windows.h>

FILE* open_input(const char* path) {
    return fopen(path, "rb");
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
    if (!PeekConsoleInputA(in, events.data(), count, &got)) return false;
    for (DWORD i = 0; i < got; ++i) {
        const KEY_EVENT_RECORD& key = events[i].Event.KeyEvent;
        if (events[i].EventType == KEY_EVENT && key.bKeyDown &&
            (key.uChar.AsciiChar != 0 || extended(key.wVirtualKeyCode)))
            return true;
    }
    return false;
}
