// Windows side of the start menu's actions.
#include "platform.h"

namespace menu {

namespace {

using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

// ShellExecuteA, bound by name when first needed; once bound it stays bound
// for the rest of the run, while a failed binding is tried again next time.
class ShellBinding {
  public:
    ShellExecuteFn Get()
    {
        if (!entry_) {
            if (!shell32_)
                shell32_ = LoadLibraryA("shell32.dll");
            if (shell32_)
                entry_ = reinterpret_cast<ShellExecuteFn>(
                    reinterpret_cast<void*>(GetProcAddress(shell32_.get(), "ShellExecuteA")));
        }
        return entry_;
    }

  private:
    LibraryModule shell32_;
    ShellExecuteFn entry_ = nullptr;
};

ShellBinding& Shell()
{
    static ShellBinding binding;
    return binding;
}

} // namespace

bool WindowsPlatform::ChangeDrive(char drive)
{
    // A program folder on a network path has no drive letter; the directory
    // change that follows makes the share's folder current by itself.
    if (drive == '\\')
        return true;
    const char root[] = {drive, ':', '\0'};
    return SetCurrentDirectoryA(root) != FALSE;
}

bool WindowsPlatform::ChangeDirectory(const std::string& folder)
{
    return SetCurrentDirectoryA(folder.c_str()) != FALSE;
}

bool WindowsPlatform::StartProgram(const std::string& commandLine)
{
    std::string writable = commandLine; // CreateProcessA may write into it
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        return false;
    KernelHandle process(started.hProcess);
    KernelHandle thread(started.hThread);
    return true;
}

bool WindowsPlatform::OpenWithShell(const std::string& target)
{
    const ShellExecuteFn shellExecute = Shell().Get();
    if (!shellExecute)
        return false;
    // The shell answers a failure with a value of 32 or less (no program for
    // the target, for one); the user is told rather than left waiting.
    const HINSTANCE result = shellExecute(owner_, "open", target.c_str(), "", "", SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

void WindowsPlatform::ShowError(const std::string& text)
{
    MessageBoxA(owner_, text.c_str(), kErrorTitle, kErrorStyle);
}

} // namespace menu
