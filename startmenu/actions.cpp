// The start menu's actions: install items, e-mail and web page.
#include "actions.h"

namespace menu {

void RunInstallItem(Platform& platform, const AppFolder& app, int16_t index)
{
    const std::optional<std::string> commandLine = InstallCommandLine(app, index);
    if (!commandLine)
        return;
    if (platform.ChangeDrive(app.drive) && platform.ChangeDirectory(app.path) &&
        platform.StartProgram(*commandLine))
        return;
    platform.ShowLinksNormal();
    platform.ShowError(RunFailedMessage(*commandLine));
}

void OpenEmail(Platform& platform)
{
    if (!platform.OpenWithShell(EmailTarget()))
        platform.ShowError(EmailFailedMessage());
}

void OpenWebPage(Platform& platform)
{
    if (!platform.OpenWithShell(WebTarget()))
        platform.ShowError(WebFailedMessage());
}

} // namespace menu
