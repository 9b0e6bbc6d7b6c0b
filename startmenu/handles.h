// Owners of the Windows handles the start menu holds: each closes its handle
// once, when it goes out of scope. None can be copied.
#pragma once

#include <windows.h>

namespace menu {

template <typename T, BOOL(WINAPI* Close)(T)> class Owned {
  public:
    Owned() = default;
    explicit Owned(T handle) : handle_(handle) {}
    ~Owned()
    {
        if (handle_)
            Close(handle_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned& operator=(T handle)
    {
        if (handle_)
            Close(handle_);
        handle_ = handle;
        return *this;
    }
    T get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    T handle_ = nullptr;
};

inline BOOL WINAPI DeleteGdiObject(HGDIOBJ object)
{
    return DeleteObject(object);
}

using KernelHandle = Owned<HANDLE, CloseHandle>;
using LibraryModule = Owned<HMODULE, FreeLibrary>;
using GdiObject = Owned<HGDIOBJ, DeleteGdiObject>;
using MemoryDc = Owned<HDC, DeleteDC>;

// An object selected into a device context until scope end.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The device context of a window's client area, released at scope end.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() { ReleaseDC(window_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// BeginPaint ... EndPaint.
class PaintDc {
  public:
    explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }
    ~PaintDc() { EndPaint(window_, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

} // namespace menu
