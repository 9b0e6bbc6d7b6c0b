// The timed key wait: the thread's keyboard messages and the console's key
// presses, polled between waits on the message queue.
#include "keywait.h"

#include <algorithm>
#include <windows.h>

namespace fllhost {
namespace {

// A wait on the queue also ends now and then: a message posted before the
// wait began does not wake it, and the console may say nothing.
constexpr DWORD kSliceMs = 50;

int32_t keyOf(const MSG& m)
{
    switch (m.message) {
    case WM_CHAR:
    case WM_SYSCHAR:
        return static_cast<int32_t>(m.wParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        const UINT c = MapVirtualKeyA(static_cast<UINT>(m.wParam), MAPVK_VK_TO_CHAR) & 0x7FFFFFFF;
        return static_cast<int32_t>(c ? c : m.wParam);
    }
    default:
        return 0; // key releases are no keys typed
    }
}

int32_t messageKey()
{
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        if (int32_t key = keyOf(m))
            return key;
    return 0;
}

int32_t consoleKey(HANDLE in)
{
    DWORD waiting = 0;
    while (GetNumberOfConsoleInputEvents(in, &waiting) && waiting) {
        INPUT_RECORD r;
        DWORD got = 0;
        if (!ReadConsoleInputA(in, &r, 1, &got) || !got)
            break;
        if (r.EventType != KEY_EVENT || !r.Event.KeyEvent.bKeyDown)
            continue;
        const unsigned char c = static_cast<unsigned char>(r.Event.KeyEvent.uChar.AsciiChar);
        return c ? c : r.Event.KeyEvent.wVirtualKeyCode;
    }
    return 0;
}

} // namespace

int32_t WaitForKey(int32_t timeout)
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = in && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode);
    const DWORD start = GetTickCount();
    for (;;) {
        if (int32_t key = messageKey())
            return key;
        if (console)
            if (int32_t key = consoleKey(in))
                return key;
        if (timeout < 0)
            return 0;
        DWORD slice = kSliceMs;
        if (timeout > 0) {
            const DWORD waited = GetTickCount() - start;
            if (waited >= static_cast<DWORD>(timeout))
                return 0;
            slice = std::min(slice, static_cast<DWORD>(timeout) - waited);
        }
        MsgWaitForMultipleObjects(console ? 1 : 0, &in, FALSE, slice, QS_KEY | QS_POSTMESSAGE);
    }
}

} // namespace fllhost
