// Polling and top-level window search for tests that drive another process.
#include "otherwindows.h"

namespace testing_support {
namespace {

struct Found {
    DWORD pid;
    const char* className;
    HWND except;
    HWND hwnd;
};

BOOL CALLBACK matchWindow(HWND hwnd, LPARAM param)
{
    auto* f = reinterpret_cast<Found*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    if (owner == f->pid && hwnd != f->except && lstrcmpiA(name, f->className) == 0 &&
        IsWindowVisible(hwnd)) {
        f->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool WaitFor(const std::function<bool()>& condition, DWORD limitMs)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > limitMs)
            return false;
        Sleep(50);
    }
    return true;
}

HWND FindVisibleWindow(DWORD pid, const char* className, HWND except)
{
    Found found{pid, className, except, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&found));
    return found.hwnd;
}

} // namespace testing_support
