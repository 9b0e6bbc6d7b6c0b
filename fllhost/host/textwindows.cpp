// Text windows kept by the host, TimedWait, and the drawing of a window as
// lines of UTF-8 text for the console.
#include "textwindows.h"

#include <windows.h>

#include "keywait.h"

namespace fllhost {

int TextWindows::define(int left, int top, int right, int bottom, std::string border,
                        uint32_t flags)
{
    int id;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        id = next_++;
        TextWindow& w = windows_[id];
        w.id = id;
        w.left = left;
        w.top = top;
        w.right = right;
        w.bottom = bottom;
        w.border = std::move(border);
        w.defineFlags = flags;
    }
    notify(id);
    return id;
}

bool TextWindows::setState(int id, int state)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = windows_.find(id);
        if (it == windows_.end())
            return false;
        it->second.state = state;
    }
    notify(id);
    return true;
}

bool TextWindows::setup(int id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = windows_.find(id);
    if (it == windows_.end())
        return false;
    it->second.setUp = true;
    return true;
}

bool TextWindows::putText(int id, const std::string& text)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = windows_.find(id);
        if (it == windows_.end())
            return false;
        it->second.text += text;
    }
    notify(id);
    return true;
}

std::optional<TextWindow> TextWindows::find(int id) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = windows_.find(id);
    if (it == windows_.end())
        return std::nullopt;
    return it->second;
}

std::vector<TextWindow> TextWindows::all() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TextWindow> out;
    for (const auto& entry : windows_)
        out.push_back(entry.second);
    return out;
}

void TextWindows::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.clear();
    waits_.clear();
}

int32_t TextWindows::wait(int32_t timeout)
{
    std::function<int32_t(int32_t)> waiter;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waits_.push_back(timeout);
        waiter = waiter_;
    }
    return waiter ? waiter(timeout) : WaitForKey(timeout);
}

void TextWindows::setWaiter(std::function<int32_t(int32_t)> waiter)
{
    std::lock_guard<std::mutex> lock(mutex_);
    waiter_ = std::move(waiter);
}

std::vector<int32_t> TextWindows::waits() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return waits_;
}

void TextWindows::setObserver(std::function<void(const TextWindow&)> observer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

void TextWindows::notify(int id)
{
    std::function<void(const TextWindow&)> observer;
    std::optional<TextWindow> w;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        observer = observer_;
        auto it = windows_.find(id);
        if (it != windows_.end())
            w = it->second;
    }
    if (observer && w)
        observer(*w);
}

namespace {

std::string utf8(unsigned code)
{
    std::string s;
    if (code < 0x80) {
        s += static_cast<char>(code);
    } else if (code < 0x800) {
        s += static_cast<char>(0xC0 | (code >> 6));
        s += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (code >> 12));
        s += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (code & 0x3F));
    }
    return s;
}

// The box drawing and shade characters that code pages 437 and 852 share.
struct OemBox {
    unsigned char oem;
    unsigned code;
};
constexpr OemBox kBox[] = {
    {0xB0, 0x2591}, {0xB1, 0x2592}, {0xB2, 0x2593}, {0xB3, 0x2502}, {0xB4, 0x2524}, {0xB9, 0x2563},
    {0xBA, 0x2551}, {0xBB, 0x2557}, {0xBC, 0x255D}, {0xBF, 0x2510}, {0xC0, 0x2514}, {0xC1, 0x2534},
    {0xC2, 0x252C}, {0xC3, 0x251C}, {0xC4, 0x2500}, {0xC5, 0x253C}, {0xC8, 0x255A}, {0xC9, 0x2554},
    {0xCA, 0x2569}, {0xCB, 0x2566}, {0xCC, 0x2560}, {0xCD, 0x2550}, {0xCE, 0x256C}, {0xD9, 0x2518},
    {0xDA, 0x250C}, {0xDB, 0x2588}, {0xDC, 0x2584}, {0xDF, 0x2580},
};

// Window text is the library's ANSI text (code page 1250).
std::string ansiToUtf8(const std::string& text)
{
    if (text.empty())
        return text;
    int n = MultiByteToWideChar(1250, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(1250, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    std::string out;
    for (wchar_t c : wide)
        out += utf8(static_cast<unsigned>(c));
    return out;
}

} // namespace

std::string TextWindows::oemToUtf8(unsigned char c)
{
    if (c < 0x80)
        return std::string(1, static_cast<char>(c));
    for (const OemBox& b : kBox)
        if (b.oem == c)
            return utf8(b.code);
    return "?";
}

std::vector<std::string> TextWindows::render(const TextWindow& w)
{
    const int width = w.right - w.left + 1;
    const int height = w.bottom - w.top + 1;
    if (width < 2 || height < 2)
        return {};
    std::string b = w.border;
    b.resize(8, ' ');
    auto ch = [&b](int i) { return oemToUtf8(static_cast<unsigned char>(b[i])); };
    auto rule = [&](int edge, int leftCorner, int rightCorner) {
        std::string line = ch(leftCorner);
        for (int i = 0; i < width - 2; ++i)
            line += ch(edge);
        return line + ch(rightCorner);
    };
    std::vector<std::string> rows;
    size_t start = 0;
    while (start <= w.text.size()) {
        size_t end = w.text.find('\n', start);
        if (end == std::string::npos)
            end = w.text.size();
        rows.push_back(w.text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::string> lines{rule(0, 4, 5)};
    for (int r = 0; r < height - 2; ++r) {
        std::string text = r < static_cast<int>(rows.size()) ? rows[r] : std::string();
        text.resize(width - 2, ' ');
        lines.push_back(ch(2) + ansiToUtf8(text) + ch(3));
    }
    lines.push_back(rule(1, 6, 7));
    return lines;
}

} // namespace fllhost
