// The start menu's actions behind its clicks (install items, e-mail, web page),
// written against a thin platform seam so that tests can watch every call.
#pragma once

#include <string>

#include "menu.h"

namespace menu {

// How a program start went.
enum class StartResult {
    Started,
    Failed,
    // The program needs elevation (a setup program on Windows Vista and
    // later); only the shell can start it, after asking the user.
    NeedsElevation,
};

// What the actions need from the system. Each call reports whether it worked.
class Platform {
  public:
    virtual ~Platform() = default;
    // The Windows folder as the system gives it.
    virtual std::string WindowsFolder() = 0;
    virtual bool ChangeDrive(char drive) = 0;
    virtual bool ChangeDirectory(const std::string& folder) = 0;
    // Starts the program file with the command line as a new process, shown
    // normally with focus, without waiting for it.
    virtual StartResult StartProgram(const std::string& program,
                                     const std::string& commandLine) = 0;
    // Starts the program file with its parameters in the folder through the
    // shell's "open", shown normally, with the window as owner.
    virtual bool StartWithShell(const std::string& program, const std::string& parameters,
                                const std::string& folder) = 0;
    // Hands a target to the shell's "open" with the window as owner.
    virtual bool OpenWithShell(const std::string& target) = 0;
    // Sets the text colour of lblWeb, then of lblEmail, to the link colour.
    virtual void ShowLinksNormal() = 0;
    virtual void ShowError(const std::string& text) = 0;
};

// Starts the item's command from the program folder; a program that needs
// elevation is started again through the shell in the same folder. A failure
// is shown after the two link labels lose any highlight. A drive or directory
// change made before a failure stays in force.
void RunInstallItem(Platform& platform, const AppFolder& app, int16_t index);

void OpenEmail(Platform& platform);
void OpenWebPage(Platform& platform);

} // namespace menu
