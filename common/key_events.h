#pragma once
// The console input events that the Windows key test counts as a key press.

#include <cstddef>
#include <windows.h>

// True when one of the events is a key going down that gives a character, or a special key for
// which the console's keyboard tables hold an extended code (function, cursor and editing keys).
// Key releases, modifier or lock keys alone, and mouse, window, menu and focus events never count.
bool key_pressed(const INPUT_RECORD* events, size_t count);
