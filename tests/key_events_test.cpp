// The Windows key test: which console input events count as a key press, and that the test
// leaves every event queued for the next reader. Built by the Windows build only (it runs under
// Wine by the test windows.unit_tests of the native build).
#include "common/console.h"
#include "common/key_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

} // namespace
