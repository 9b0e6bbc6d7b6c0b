// The hidden host window and its message thread.
#include "hiddenwindow.h"

namespace fllhost {

namespace {

constexpr char kClassName[] = "FllHostWindow";

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND makeWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc); // fails harmlessly when a second host registered it already
    HWND hwnd = CreateWindowExA(0, kClassName, "fllhost", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 640, 480, nullptr, nullptr, wc.hInstance, nullptr);
    // Without a display (a console session, Wine with no X server) only a
    // message-only window can be made; it still owns dialogs and message boxes.
    if (!hwnd)
        hwnd = CreateWindowExA(0, kClassName, "fllhost", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, nullptr);
    return hwnd;
}

} // namespace

HWND HiddenWindow::handle()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!started_) {
        started_ = true;
        thread_ = std::thread([this] { run(); });
    }
    ready_.wait(lock, [this] { return done_; });
    return hwnd_;
}

void HiddenWindow::run()
{
    HWND hwnd = makeWindow();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hwnd_ = hwnd;
        done_ = true;
    }
    ready_.notify_all();
    if (!hwnd)
        return;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HiddenWindow::~HiddenWindow()
{
    if (!thread_.joinable())
        return;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return done_; });
    }
    if (hwnd_)
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);
    thread_.join();
}

} // namespace fllhost
