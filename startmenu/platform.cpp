// Windows side of the start menu's actions.
#include "platform.h"

namespace menu {

namespace {

using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);

// ERROR_ELEVATION_REQUIRED: CreateProcess's answer on Windows Vista and later
// for a program that needs elevation. The headers of Windows 4.0 lack it.
constexpr DWORD kElevationRequired = 740;

template <typename Fn> Fn Entry(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The shell answers a failure with a value of 32 or less (no program for a
// target, for one); the user is told rather than left waiting.
bool ShellStarted(HINSTANCE result)
{
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace

ComApartment::~ComApartment()
{
    if (uninitialize_)
        uninitialize_();
}

void ComApartment::Enter()
{
    if (entered_)
        return;
    entered_ = true;
    ole32_ = LoadLibraryA("ole32.dll");
    if (!ole32_)
        return;
    const auto initialize = Entry<CoInitializeFn>(ole32_.get(), "CoInitialize");
    const auto uninitialize = Entry<CoUninitializeFn>(ole32_.get(), "CoUninitialize");
    // S_FALSE (COM was up already) counts too and is undone as well.
    if (initialize && uninitialize && SUCCEEDED(initialize(nullptr)))
        uninitialize_ = uninitialize;
}

ShellExecuteFn ShellBinding::Get()
{
    if (!entry_) {
        com_.Enter();
        if (!shell32_)
            shell32_ = LoadLibraryA("shell32.dll");
        if (shell32_)
            entry_ = Entry<ShellExecuteFn>(shell32_.get(), "ShellExecuteA");
    }
    return entry_;
}

std::string WindowsPlatform::WindowsFolder()
{
    char folder[MAX_PATH + 1] = {};
    const UINT size = GetWindowsDirectoryA(folder, sizeof folder);
    return size && size < sizeof folder ? std::string(folder, size) : std::string();
}

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

StartResult WindowsPlatform::StartProgram(const std::string& program,
                                          const std::string& commandLine)
{
    std::string writable = commandLine; // CreateProcessA may write into it
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    // The program file is named, so Windows runs exactly that file and looks
    // for no program of the command line's first word anywhere.
    if (!CreateProcessA(program.c_str(), &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        return GetLastError() == kElevationRequired ? StartResult::NeedsElevation
                                                    : StartResult::Failed;
    KernelHandle process(started.hProcess);
    KernelHandle thread(started.hThread);
    return StartResult::Started;
}

bool WindowsPlatform::StartWithShell(const std::string& program, const std::string& parameters,
                                     const std::string& folder)
{
    const ShellExecuteFn shellExecute = shell_.Get();
    return shellExecute &&
           ShellStarted(shellExecute(owner_, "open", program.c_str(), parameters.c_str(),
                                     folder.c_str(), SW_SHOWNORMAL));
}

bool WindowsPlatform::OpenWithShell(const std::string& target)
{
    const ShellExecuteFn shellExecute = shell_.Get();
    return shellExecute &&
           ShellStarted(shellExecute(owner_, "open", target.c_str(), "", "", SW_SHOW));
}

void WindowsPlatform::ShowError(const std::string& text)
{
    MessageBoxA(owner_, text.c_str(), kErrorTitle, kErrorStyle);
}

} // namespace menu
