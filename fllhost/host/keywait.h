// The host's timed key wait (TimedWait, the FoxPro host's _InKey): waits for
// a key typed by the user, with a time-out in milliseconds.
//
// As _InKey does: a positive time-out waits at most that long, 0 waits until
// a key comes, a negative one only takes a key that is already waiting. A
// key is a keyboard message (WM_KEYDOWN, WM_SYSKEYDOWN, WM_CHAR, WM_SYSCHAR)
// in the calling thread's queue, or a key press on the console when standard
// input is one.
#pragma once

#include <cstdint>

namespace fllhost {

// The key's character code (its virtual key code when it has no character),
// or 0 when the time ran out.
int32_t WaitForKey(int32_t timeout);

} // namespace fllhost
