// The start menu's actions behind its clicks (install items, e-mail, web page),
// written against a thin platform seam so that tests can watch every call.
#pragma once

#include <string>

#include "menu.h"

namespace menu {

// What the actions need from the system. Each call reports whether it worked.
class Platform {
  public:
    virtual ~Platform() = default;
    virtual bool ChangeDrive(char drive) = 0;
    virtual bool ChangeDirectory(const std::string& folder) = 0;
    // Starts a new process, shown normally with focus, without waiting for it.
    virtual bool StartProgram(const std::string& commandLine) = 0;
    // Hands a target to the shell's "open" with the window as owner.
    virtual bool OpenWithShell(const std::string& target) = 0;
    // Sets the text colour of lblWeb, then of lblEmail, to the link colour.
    virtual void ShowLinksNormal() = 0;
    virtual void ShowError(const std::string& text) = 0;
};

// Starts the item's command line from the program folder; a failure is shown
// after the two link labels lose any highlight. A drive or directory change
// made before a failure stays in force.
void RunInstallItem(Platform& platform, const AppFolder& app, int16_t index);

void OpenEmail(Platform& platform);
void OpenWebPage(Platform& platform);

} // namespace menu
