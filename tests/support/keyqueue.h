// Keys in the calling thread's message queue, for the host's key wait: a key
// posted before a call is either still waiting afterwards or was taken by a
// wait. Nothing here waits.
#pragma once

#include <windows.h>

namespace testing_support {

// Makes the thread's queue and empties it of keyboard messages.
inline void ClearKeys()
{
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
    while (PeekMessageA(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
}

// Posts a keyboard message (WM_KEYDOWN, WM_CHAR, WM_KEYUP ...) to this thread.
inline bool PostKey(UINT message, WPARAM key)
{
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
    return PostThreadMessageA(GetCurrentThreadId(), message, key, 0) != 0;
}

// Whether that message is still in the queue (it is taken out).
inline bool KeyStillWaiting(UINT message, WPARAM key)
{
    MSG m;
    bool found = false;
    while (PeekMessageA(&m, nullptr, message, message, PM_REMOVE))
        found = found || m.wParam == key;
    return found;
}

} // namespace testing_support
