// Text windows of the stand-in host (WindowDefine, WindowSetState,
// WindowSetup, WindowPutText) and TimedWait, the host's timed key wait. The
// host keeps the windows; the command-line front end draws them on the
// console as boxes. Safe to use from several threads.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fllhost {

struct TextWindow {
    int id = 0;
    int left = 0, top = 0, right = 0, bottom = 0; // columns and rows, inclusive
    std::string border;       // 8 OEM bytes: top, bottom, left, right, four corners
    uint32_t defineFlags = 0; // the constant arguments of WindowDefine, kept as given
    int state = 0;            // last WindowSetState (3 shown, 1 released)
    bool setUp = false;
    std::string text; // every WindowPutText, in order
};

class TextWindows {
  public:
    // The identifier the host window (HostWindow) answers; text windows
    // count from kFirstTextWindow.
    static constexpr int kHostWindow = 1;
    static constexpr int kFirstTextWindow = 2;

    int define(int left, int top, int right, int bottom, std::string border, uint32_t flags);
    bool setState(int id, int state);
    bool setup(int id);
    bool putText(int id, const std::string& text);
    std::optional<TextWindow> find(int id) const;
    std::vector<TextWindow> all() const; // in order of definition
    void clear();

    // TimedWait: by default waits for a key as _InKey does (keywait.h) and
    // answers the key, 0 when none came; tests may put another waiter in its
    // place. Every time-out asked for is recorded.
    int32_t wait(int32_t timeout);
    void setWaiter(std::function<int32_t(int32_t)> waiter);
    std::vector<int32_t> waits() const;

    // Called after every change of a window (outside the lock).
    void setObserver(std::function<void(const TextWindow&)> observer);

    // The window drawn as UTF-8 lines: a box of the window's size with the
    // border translated from the OEM code page (437 and 852 agree on the
    // box characters) and the text inside, cut to fit.
    static std::vector<std::string> render(const TextWindow& window);
    // One OEM byte of code page 437 / 852's box drawing range as UTF-8; other
    // bytes below 128 as themselves, the rest as '?'.
    static std::string oemToUtf8(unsigned char c);

  private:
    void notify(int id);

    mutable std::mutex mutex_;
    std::map<int, TextWindow> windows_;
    int next_ = kFirstTextWindow;
    std::vector<int32_t> waits_;
    std::function<int32_t(int32_t)> waiter_;
    std::function<void(const TextWindow&)> observer_;
};

} // namespace fllhost
