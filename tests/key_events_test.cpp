// The Windows key test: which console input events count as a key press, that keys typed ahead
// of a run do not, and that the test leaves every event queued for the next reader; and
// samplepack.exe beside this test on the test's console. Built by the Windows build only (it
// runs under Wine by the test windows.unit_tests of the native build).
#include "common/console.h"
#include "common/key_events.h"
#include "tests/wav.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace common;

namespace {

INPUT_RECORD key(WORD vk, char c, bool down) {
    INPUT_RECORD r = {};
    r.EventType = KEY_EVENT;
    r.Event.KeyEvent.bKeyDown = down;
    r.Event.KeyEvent.wRepeatCount = 1;
    r.Event.KeyEvent.wVirtualKeyCode = vk;
    r.Event.KeyEvent.uChar.AsciiChar = c;
    return r;
}

INPUT_RECORD press(WORD vk, char c = 0) {
    return key(vk, c, true);
}
INPUT_RECORD release(WORD vk, char c = 0) {
    return key(vk, c, false);
}

INPUT_RECORD event(WORD type) {
    INPUT_RECORD r = {};
    r.EventType = type;
    return r;
}

const INPUT_RECORD mouse = event(MOUSE_EVENT), focus = event(FOCUS_EVENT), menu = event(MENU_EVENT),
                   resize = event(WINDOW_BUFFER_SIZE_EVENT);

struct Case {
    std::string name;
    std::vector<INPUT_RECORD> events;
    bool pressed;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class KeyEvents : public testing::TestWithParam<Case> {};

TEST_P(KeyEvents, CountOnlyKeysGoingDown) {
    const Case& c = GetParam();
    EXPECT_EQ(key_pressed(c.events.data(), c.events.size()), c.pressed);
}

const Case cases[] = {
    {"Nothing", {}, false},
    {"Character", {press('K', 'k')}, true},
    {"CharacterReleased", {release('K', 'k')}, false},
    {"Enter", {press(VK_RETURN, '\r')}, true},
    {"Escape", {press(VK_ESCAPE, 0x1B)}, true},
    {"F1", {press(VK_F1)}, true},
    {"F12", {press(VK_F12)}, true},
    {"F12Released", {release(VK_F12)}, false},
    {"PageUp", {press(VK_PRIOR)}, true},
    {"Down", {press(VK_DOWN)}, true},
    {"Insert", {press(VK_INSERT)}, true},
    {"Delete", {press(VK_DELETE)}, true},
    {"Clear", {press(VK_CLEAR)}, true},
    {"F13", {press(VK_F13)}, false},
    {"Shift", {press(VK_SHIFT)}, false},
    {"Control", {press(VK_CONTROL)}, false},
    {"Alt", {press(VK_MENU)}, false},
    {"CapsLock", {press(VK_CAPITAL)}, false},
    {"NumLock", {press(VK_NUMLOCK)}, false},
    {"Windows", {press(VK_LWIN)}, false},
    {"Mouse", {mouse}, false},
    {"Focus", {focus}, false},
    {"Menu", {menu}, false},
    {"WindowSize", {resize}, false},
    {"ReleasesAndOtherEvents", {release('K', 'k'), mouse, press(VK_SHIFT), focus}, false},
    // Events stay queued, so a key press may stand behind any number of others.
    {"PressBehindManyEvents",
     [] {
         std::vector<INPUT_RECORD> v(100, mouse);
         v.push_back(release('K', 'k'));
         v.push_back(press('K', 'k'));
         return v;
     }(),
     true},
};

INSTANTIATE_TEST_SUITE_P(Events, KeyEvents, testing::ValuesIn(cases),
                         [](const auto& info) { return info.param.name; });

// The key test over the queue as it stands at one test after another: the first test finds the
// keys typed ahead, and only key presses beyond those count.
struct Look {
    std::vector<INPUT_RECORD> queued;
    bool pressed;
};

struct Run {
    std::string name;
    std::vector<Look> looks;
};

void PrintTo(const Run& r, std::ostream* os) {
    *os << r.name;
}

class TypedAhead : public testing::TestWithParam<Run> {};

TEST_P(TypedAhead, OnlyKeysBeyondThoseAtTheFirstTestCount) {
    long typed_ahead = -1;
    for (size_t i = 0; i < GetParam().looks.size(); ++i) {
        const Look& l = GetParam().looks[i];
        EXPECT_EQ(key_pressed(l.queued.data(), l.queued.size(), &typed_ahead), l.pressed)
            << "look " << i;
    }
}

const INPUT_RECORD k = press('K', 'k'), j = press('J', 'j'), f1 = press(VK_F1);

const Run runs[] = {
    {"NothingTypedAhead", {{{}, false}, {{mouse}, false}, {{mouse, k}, true}, {{mouse, k}, true}}},
    {"KeyTypedAheadNeverCounts", {{{k}, false}, {{k}, false}, {{k, release('K', 'k')}, false}}},
    {"KeyBeyondTheTypedAhead",
     {{{k, mouse}, false}, {{k, mouse, focus}, false}, {{k, mouse, focus, f1}, true}}},
    {"EveryPressTypedAheadIsCounted", {{{k, j, k}, false}, {{k, j, k, j}, true}}},
    {"OtherEventsAheadDoNotCount",
     {{{mouse, release('K', 'k'), press(VK_SHIFT)}, false},
      {{mouse, release('K', 'k'), press(VK_SHIFT), k}, true}}},
    // Another reader of the console took keys typed ahead: a key typed later still counts.
    {"TypedAheadTakenByAnotherReader", {{{k, j}, false}, {{j}, false}, {{j, k}, true}}},
    {"FirstTestNeverCounts", {{{k, j, f1}, false}}},
};

INSTANTIATE_TEST_SUITE_P(Queues, TypedAhead, testing::ValuesIn(runs),
                         [](const auto& info) { return info.param.name; });

// The key test on the test's console (under Wine there is one when the test runs on a terminal):
// it answers from the queued events and leaves them all there.
TEST(KeyTest, PeeksWithoutConsuming) {
    HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE) << "no console: run the test on a terminal";
    ASSERT_TRUE(FlushConsoleInputBuffer(in));
    auto queued = [&] {
        DWORD n = 0;
        GetNumberOfConsoleInputEvents(in, &n);
        return n;
    };
    auto write = [&](INPUT_RECORD r) {
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputA(in, &r, 1, &written));
        ASSERT_EQ(written, 1u);
    };

    EXPECT_FALSE(key_waiting());
    write(release('K', 'k'));
    write(mouse);
    EXPECT_FALSE(key_waiting());
    EXPECT_EQ(queued(), 2u);
    write(press('K', 'k'));
    EXPECT_TRUE(key_waiting());
    EXPECT_TRUE(key_waiting());
    EXPECT_EQ(queued(), 3u) << "the key test took events from the queue";
    CloseHandle(in);
}

// ---- samplepack.exe on the test's console, which it shares

const std::string samples(20000, '\x50');

class SamplepackOnTheConsole : public testing::Test {
  protected:
    void SetUp() override {
        in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(in, INVALID_HANDLE_VALUE) << "no console: run the test on a terminal";
        ASSERT_TRUE(FlushConsoleInputBuffer(in));
    }
    void TearDown() override {
        if (in == INVALID_HANDLE_VALUE) return;
        FlushConsoleInputBuffer(in);
        CloseHandle(in);
        if (folder.empty()) return;
        for (const std::string& name : files) DeleteFileA((folder + "\\" + name).c_str());
        RemoveDirectoryA(folder.c_str());
    }

    void type_key() {
        INPUT_RECORD r = press('K', 'k');
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputA(in, &r, 1, &written));
        ASSERT_EQ(written, 1u);
    }

    DWORD queued() {
        DWORD n = 0;
        GetNumberOfConsoleInputEvents(in, &n);
        return n;
    }

    // Writes a file into the test's folder, made at the first write (a death test's child,
    // which runs the test again up to its statement, makes none).
    void write(const std::string& name, const std::string& bytes) {
        if (folder.empty()) {
            char temp[MAX_PATH];
            ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
            static int serial = 0;
            folder = std::string(temp) + "assetkit-key-" + std::to_string(GetCurrentProcessId()) +
                     "-" + std::to_string(++serial);
            ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        }
        files.push_back(name);
        std::ofstream(folder + "\\" + name, std::ios::binary) << bytes;
    }

    std::string read(const std::string& name) {
        std::ifstream f(folder + "\\" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }

    // Starts samplepack.exe, which stands beside this test, on input, in the test's folder.
    HANDLE start(const std::string& input, const std::string& output) {
        files.push_back(output);
        char self[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string exe(self, n);
        exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "samplepack.exe";
        std::string command = "samplepack \"" + input + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                            folder.c_str(), &startup, &process))
            return nullptr;
        CloseHandle(process.hThread);
        return process.hProcess;
    }

    // Waits for the run's end; its exit code.
    DWORD finish(HANDLE process) {
        DWORD code = 255;
        if (WaitForSingleObject(process, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process, &code);
        else
            TerminateProcess(process, 255);
        CloseHandle(process);
        return code;
    }

    HANDLE in = INVALID_HANDLE_VALUE;
    std::string folder;
    std::vector<std::string> files;
};

// A key typed before the start was typed for whatever comes next: neither this run nor the next
// one stops for it, and it stays queued.
TEST_F(SamplepackOnTheConsole, KeyTypedAheadStopsNoRun) {
    write("a.wav", wav(samples));
    write("b.wav", wav(samples));
    type_key();
    for (const char* name : {"a", "b"}) {
        HANDLE run = start(std::string(name) + ".wav", std::string(name) + ".bin");
        ASSERT_NE(run, nullptr);
        EXPECT_EQ(finish(run), 0u) << name;
        EXPECT_EQ(read(std::string(name) + ".bin").size(), 2u + 10000) << name;
    }
    EXPECT_EQ(queued(), 1u) << "the key is left for the next reader";
}

// The key test of a run, in a process of its own (a death test's child, on the same console):
// a key typed ahead does not count, a key typed after the first test does, and both stay queued.
// The run that comes next, samplepack.exe, takes both keys as typed ahead and packs its sound
// whole.
TEST_F(SamplepackOnTheConsole, KeyTypedDuringARunStopsItAndNoLaterRun) {
    EXPECT_EXIT(
        {
            type_key();
            if (key_waiting()) exit(1); // the first test: the key was typed ahead
            if (key_waiting()) exit(2);
            type_key();
            if (!key_waiting()) exit(3); // a key typed during the run
            if (!key_waiting()) exit(4); // and it stays there
            exit(queued() == 2 ? 0 : 5);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(queued(), 2u);

    write("next.wav", wav(samples));
    HANDLE next = start("next.wav", "next.bin");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(finish(next), 0u);
    EXPECT_EQ(read("next.bin").size(), 2u + 10000) << "the next run packs whole";
    EXPECT_EQ(queued(), 2u) << "the keys are left for the next reader";
}

} // namespace
