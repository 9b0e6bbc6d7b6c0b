// The real window behind the host's HostWindow: hidden, made on first use on
// a thread of its own that pumps its messages, destroyed with its owner.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <windows.h>

namespace fllhost {

class HiddenWindow {
  public:
    HiddenWindow() = default;
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    // The window, made on first call; null when Windows refused it.
    HWND handle();

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable ready_;
    std::thread thread_;
    bool started_ = false;
    bool done_ = false;
    HWND hwnd_ = nullptr;
};

} // namespace fllhost
