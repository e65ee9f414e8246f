#pragma once

namespace common {

// True when a key has been pressed at the console since the first call: keys already waiting at
// the first call were typed ahead, for whatever runs next, and do not count. No key is read.
// Without a console, or while the program runs in the background, the answer is always no.
bool key_waiting();

} // namespace common
