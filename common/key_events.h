#pragma once
// The console input events that the Windows key test counts as a key press.

#include <cstddef>
#include <windows.h>

namespace common {

// True when one of the events is a key going down that gives a character, or a special key for
// which the console's keyboard tables hold an extended code (function, cursor and editing keys).
// Key releases, modifier or lock keys alone, and mouse, window, menu and focus events never count.
bool key_pressed(const INPUT_RECORD* events, size_t count);

// The key test over the events queued now, where nothing is ever taken from the queue: true when
// they hold more key presses than *typed_ahead, the number queued at the first test. The first
// test (*typed_ahead negative) sets it and answers no: those keys were typed for whatever runs
// next. Fewer key presses than that (another reader took some) lower it.
bool key_pressed(const INPUT_RECORD* events, size_t count, long* typed_ahead);

} // namespace common
