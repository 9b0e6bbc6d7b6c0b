// The start menu's actions: install items, e-mail and web page.
#include "actions.h"

namespace menu {

namespace {

bool Start(Platform& platform, const InstallCommand& command, const std::string& folder)
{
    switch (platform.StartProgram(command.program, command.commandLine)) {
    case StartResult::Started:
        return true;
    case StartResult::NeedsElevation:
        return platform.StartWithShell(command.program, command.parameters, folder);
    default:
        return false;
    }
}

} // namespace

void RunInstallItem(Platform& platform, const AppFolder& app, int16_t index)
{
    const std::optional<InstallCommand> command =
        InstallItemCommand(app, platform.WindowsFolder(), index);
    if (!command)
        return;
    if (platform.ChangeDrive(app.drive) && platform.ChangeDirectory(app.path) &&
        Start(platform, *command, app.path))
        return;
    platform.ShowLinksNormal();
    platform.ShowError(RunFailedMessage(command->commandLine));
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
