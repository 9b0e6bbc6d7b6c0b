// The actions' platform seam on Windows: drive and directory changes, program
// start, the shell bound by name at first use, and the error message box.
#pragma once

#include <functional>
#include <windows.h>

#include "actions.h"
#include "handles.h"

namespace menu {

class WindowsPlatform : public Platform {
  public:
    WindowsPlatform(HWND owner, std::function<void()> showLinksNormal)
        : owner_(owner), showLinksNormal_(std::move(showLinksNormal))
    {
    }
    bool ChangeDrive(char drive) override;
    bool ChangeDirectory(const std::string& folder) override;
    bool StartProgram(const std::string& commandLine) override;
    bool OpenWithShell(const std::string& target) override;
    void ShowLinksNormal() override { showLinksNormal_(); }
    void ShowError(const std::string& text) override;

  private:
    HWND owner_;
    std::function<void()> showLinksNormal_;
};

} // namespace menu
