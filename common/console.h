#pragma once

// True when a key press is waiting at the console. The key is left unread. Without a console,
// or while the program runs in the background, the answer is always no.
bool key_waiting();
