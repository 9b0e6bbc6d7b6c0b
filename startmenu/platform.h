// The actions' platform seam on Windows: the Windows folder, drive and
// directory changes, program start (through the shell when the program needs
// elevation), the shell bound by name at first use with COM for the window's
// thread, and the error message box.
#pragma once

#include <functional>
#include <windows.h>

#include "actions.h"
#include "handles.h"

namespace menu {

using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
using CoUninitializeFn = void(WINAPI*)();

// COM for the calling thread, from ole32.dll bound by name: CoInitialize (a
// single-threaded apartment, which the shell needs; CoInitializeEx is missing
// on Windows 95 without DCOM), undone at the end when it counted.
class ComApartment {
  public:
    ComApartment() = default;
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment();
    // Initialises COM on the first call; later calls do nothing.
    void Enter();

  private:
    bool entered_ = false;
    LibraryModule ole32_;
    CoUninitializeFn uninitialize_ = nullptr;
};

// ShellExecuteA, bound by name when first needed, with COM initialised for the
// thread before. Once bound it stays bound for the rest of the run, while a
// failed binding is tried again next time.
class ShellBinding {
  public:
    ShellExecuteFn Get();

  private:
    ComApartment com_; // outlives the shell library
    LibraryModule shell32_;
    ShellExecuteFn entry_ = nullptr;
};

class WindowsPlatform : public Platform {
  public:
    WindowsPlatform(HWND owner, std::function<void()> showLinksNormal)
        : owner_(owner), showLinksNormal_(std::move(showLinksNormal))
    {
    }
    std::string WindowsFolder() override;
    bool ChangeDrive(char drive) override;
    bool ChangeDirectory(const std::string& folder) override;
    StartResult StartProgram(const std::string& program, const std::string& commandLine) override;
    bool StartWithShell(const std::string& program, const std::string& parameters,
                        const std::string& folder) override;
    bool OpenWithShell(const std::string& target) override;
    void ShowLinksNormal() override { showLinksNormal_(); }
    void ShowError(const std::string& text) override;

  private:
    HWND owner_;
    std::function<void()> showLinksNormal_;
    ShellBinding shell_;
};

} // namespace menu
