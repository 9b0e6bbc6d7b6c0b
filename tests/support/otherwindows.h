// Waiting for things and finding the windows of another process, for the
// suites that drive the start menu from outside.
#pragma once

#include <windows.h>

#include <functional>

namespace testing_support {

// Polls until the condition holds or the limit passes; false on the limit.
bool WaitFor(const std::function<bool()>& condition, DWORD limitMs = 15000);

// A visible top-level window of the process with the given class, other
// than except, or null.
HWND FindVisibleWindow(DWORD pid, const char* className, HWND except = nullptr);

} // namespace testing_support
