// Unit tests of the start menu's decisions and actions: layout table, hover
// table, clicks, the single-copy answer, program folder, commands, message
// texts and their Unicode form, and the order of the platform calls behind
// each click (through a recording fake platform).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "actions.h"
#include "menu.h"

using namespace menu;

namespace {

// ---- Layout -----------------------------------------------------------------

struct LayoutRow {
    Control control;
    Rect pixels;
    Pointer pointer;
    int tabIndex;
    const char* tooltip;
};

TEST(StartMenuLayout, ControlsInOrderWithTheirPixelRectangles)
{
    const LayoutRow rows[] = {
        {Control::cmdQuit, {760, 4, 33, 29}, Pointer::Arrow, 6, ""},
        {Control::lblInstall2,
         {288, 360, 244, 20},
         Pointer::Hand,
         0,
         "Dokumenty k Velmora/Documents for Velmora"},
        {Control::lblInstall1, {40, 200, 198, 20}, Pointer::Hand, 1, "Install Velmora Lite En"},
        {Control::lblInstall0,
         {40, 128, 246, 20},
         Pointer::Hand,
         2,
         "In\x9atal\xe1"
         "cia Velmora Lite Sk"},
        {Control::lblEmail,
         {398, 491, 113, 15},
         Pointer::Hand,
         3,
         "E-mail: velmora@danubiasoft.sk"},
        {Control::lblWeb, {374, 452, 137, 15}, Pointer::Hand, 4, "Web: www.danubiasoft.sk/velmora"},
        {Control::lblStatus, {160, 540, 385, 15}, Pointer::Arrow, 5, ""},
    };
    ASSERT_EQ(Controls().size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const char* at = Controls()[i].name;
        EXPECT_EQ(Controls()[i].control, rows[i].control) << at;
        EXPECT_EQ(TwipsToPixels(Controls()[i].twips), rows[i].pixels) << at;
        EXPECT_EQ(Controls()[i].twips.left, rows[i].pixels.left * 15) << at;
        EXPECT_EQ(Controls()[i].pointer, rows[i].pointer) << at;
        EXPECT_EQ(Controls()[i].tabIndex, rows[i].tabIndex) << at;
        EXPECT_EQ(Tooltip(rows[i].control), rows[i].tooltip) << at;
    }
}

TEST(StartMenuLayout, ClientAreaAndQuitButtonOffScreen)
{
    EXPECT_EQ(kClientPixels, 563);
    EXPECT_GT(TwipsToPixels(Settings(Control::cmdQuit).twips).left, kClientPixels);
}

TEST(StartMenuLayout, RectanglesDoNotOverlap)
{
    const Layout layout(113, 137, 385);
    for (const ControlSettings& a : Controls()) {
        for (const ControlSettings& b : Controls()) {
            if (a.control == b.control)
                continue;
            const Rect& p = layout.Of(a.control);
            const Rect& q = layout.Of(b.control);
            const bool apart = p.right() <= q.left || q.right() <= p.left || p.bottom() <= q.top ||
                               q.bottom() <= p.top;
            EXPECT_TRUE(apart) << a.name << " overlaps " << b.name;
        }
    }
}

TEST(StartMenuLayout, LinkLabelsSizeToTheirTextKeepingTheRightEdge)
{
    const Layout layout(150, 180, 300);
    EXPECT_EQ(layout.Of(Control::lblEmail), (Rect{361, 491, 150, 15}));
    EXPECT_EQ(layout.Of(Control::lblWeb), (Rect{331, 452, 180, 15}));
    EXPECT_EQ(layout.Of(Control::lblStatus), (Rect{160, 540, 300, 15}));
    EXPECT_EQ(layout.Of(Control::lblInstall0), (Rect{40, 128, 246, 20}));
}

TEST(StartMenuLayout, TextsOfTheLabels)
{
    EXPECT_EQ(Text(Control::lblEmail), "velmora@danubiasoft.sk");
    EXPECT_EQ(Text(Control::lblWeb), "www.danubiasoft.sk/velmora");
    EXPECT_EQ(Text(Control::lblStatus), "Mlynsk\xe1 14, 811 05 Bratislava, tel. 02/5441 2280");
    for (Control c :
         {Control::cmdQuit, Control::lblInstall0, Control::lblInstall1, Control::lblInstall2})
        EXPECT_EQ(Text(c), "");
    EXPECT_EQ(InstallIndex(Control::lblInstall0), 0);
    EXPECT_EQ(InstallIndex(Control::lblInstall1), 1);
    EXPECT_EQ(InstallIndex(Control::lblInstall2), 2);
    EXPECT_FALSE(InstallIndex(Control::lblEmail));
}

struct HitRow {
    int x, y;
    MoveOver where;
};

TEST(StartMenuLayout, PointerMovesAreClassifiedByRectangle)
{
    const Layout layout(113, 137, 385);
    const HitRow rows[] = {
        {0, 0, MoveOver::Surface},          {398, 491, MoveOver::Email},
        {510, 505, MoveOver::Email},        {511, 498, MoveOver::Surface},
        {397, 498, MoveOver::Surface},      {374, 452, MoveOver::Web},
        {510, 466, MoveOver::Web},          {450, 467, MoveOver::Surface},
        {40, 128, MoveOver::OtherControl},  {285, 147, MoveOver::OtherControl},
        {286, 140, MoveOver::Surface},      {100, 210, MoveOver::OtherControl},
        {531, 379, MoveOver::OtherControl}, {200, 545, MoveOver::OtherControl},
        {530, 516, MoveOver::Surface},      {-1, 100, MoveOver::Outside},
        {100, 563, MoveOver::Outside},      {770, 10, MoveOver::Outside},
        {563, 100, MoveOver::Outside},      {562, 100, MoveOver::Surface},
        {100, -1, MoveOver::Outside},       {562, 562, MoveOver::Surface},
    };
    for (const HitRow& r : rows)
        EXPECT_EQ(Classify(layout, r.x, r.y), r.where) << r.x << "," << r.y;
}

// ---- Hover feedback ---------------------------------------------------------

struct HoverRow {
    HoverState before;
    MoveOver where;
    HoverState after;
};

TEST(StartMenuHover, EveryRowOfTheHoverTable)
{
    const HoverState none{false, false}, email{true, false}, web{false, true}, both{true, true};
    const HoverRow rows[] = {
        {none, MoveOver::Email, email},         {web, MoveOver::Email, both},
        {email, MoveOver::Email, email},        {none, MoveOver::Web, web},
        {email, MoveOver::Web, both},           {web, MoveOver::Web, web},
        {both, MoveOver::Surface, none},        {email, MoveOver::Surface, none},
        {web, MoveOver::Surface, none},         {none, MoveOver::Surface, none},
        {email, MoveOver::OtherControl, email}, {web, MoveOver::OtherControl, web},
        {both, MoveOver::OtherControl, both},   {web, MoveOver::Outside, web},
        {both, MoveOver::Outside, both},        {none, MoveOver::Outside, none},
    };
    for (const HoverRow& r : rows) {
        const HoverState got = AfterMove(r.before, r.where);
        EXPECT_EQ(got.emailHighlighted, r.after.emailHighlighted) << int(r.where);
        EXPECT_EQ(got.webHighlighted, r.after.webHighlighted) << int(r.where);
    }
}

TEST(StartMenuHover, ColoursOfTheTwoStates)
{
    EXPECT_EQ(EmailColour(HoverState{true, false}), (Rgb{64, 64, 64}));
    EXPECT_EQ(WebColour(HoverState{true, false}), (Rgb{64, 0, 0}));
    EXPECT_EQ(WebColour(HoverState{false, true}), (Rgb{64, 64, 64}));
    EXPECT_EQ(EmailColour(HoverState{}), (Rgb{64, 0, 0}));
}

TEST(StartMenuHover, EmailStaysHighlightedOverAnInstallItemUntilTheSurface)
{
    const Layout layout(113, 137, 385);
    HoverState s;
    s = AfterMove(s, Classify(layout, 450, 498)); // lblEmail
    s = AfterMove(s, Classify(layout, 300, 370)); // lblInstall(2)
    s = AfterMove(s, Classify(layout, 200, 545)); // lblStatus
    EXPECT_TRUE(s.emailHighlighted);
    s = AfterMove(s, Classify(layout, 300, 300)); // the window's own surface
    EXPECT_FALSE(s.emailHighlighted);
}

// ---- Program folder and command lines ----------------------------------------

struct FolderRow {
    const char* programFile;
    const char* appPath;
    char appDrive;
};

TEST(StartMenuFolder, AppPathAndAppDrive)
{
    const FolderRow rows[] = {
        {"D:\\autorun.exe", "D:\\", 'D'},
        {"D:\\CD\\autorun.exe", "D:\\CD\\", 'D'},
        {"e:\\Velmora\\CD 1\\autorun.exe", "e:\\Velmora\\CD 1\\", 'e'},
        {"C:\\Program Files\\Velmora CD\\autorun.exe", "C:\\Program Files\\Velmora CD\\", 'C'},
        {"\\\\server\\cd\\autorun.exe", "\\\\server\\cd\\", '\\'},
    };
    for (const FolderRow& r : rows) {
        const AppFolder app = FolderOfProgram(r.programFile);
        EXPECT_EQ(app.path, r.appPath);
        EXPECT_EQ(app.drive, r.appDrive);
    }
}

struct CommandRow {
    const char* appPath;
    int index;
    const char* commandLine;
};

TEST(StartMenuCommands, CommandLinesOfTheInstallItems)
{
    const CommandRow rows[] = {
        {"D:\\", 0, "D:\\Setup\\setup_velmora_sdk_lite_sk.exe"},
        {"D:\\", 1, "D:\\Setup\\setup_velmora_sdk_lite_en.exe"},
        {"D:\\", 2, "explorer.exe D:\\Documents"},
        {"D:\\CD\\", 1, "D:\\CD\\Setup\\setup_velmora_sdk_lite_en.exe"},
        {"C:\\Program Files\\Velmora CD\\", 0,
         "\"C:\\Program Files\\Velmora CD\\Setup\\setup_velmora_sdk_lite_sk.exe\""},
        {"C:\\Program Files\\Velmora CD\\", 1,
         "\"C:\\Program Files\\Velmora CD\\Setup\\setup_velmora_sdk_lite_en.exe\""},
        {"C:\\Program Files\\Velmora CD\\", 2,
         "explorer.exe \"C:\\Program Files\\Velmora CD\\Documents\""},
    };
    for (const CommandRow& r : rows) {
        const AppFolder app{r.appPath, r.appPath[0]};
        EXPECT_EQ(InstallCommandLine(app, r.index), std::string(r.commandLine));
    }
    EXPECT_FALSE(InstallCommandLine({"D:\\", 'D'}, -1));
    EXPECT_FALSE(InstallCommandLine({"D:\\", 'D'}, 3));
}

TEST(StartMenuMessages, TextsAndTargets)
{
    EXPECT_EQ(RunFailedMessage("D:\\Setup\\setup_velmora_sdk_lite_sk.exe"),
              "Cannot run application: D:\\Setup\\setup_velmora_sdk_lite_sk.exe!");
    EXPECT_EQ(EmailFailedMessage(), "Cannot send e-mail to address: velmora@danubiasoft.sk!");
    EXPECT_EQ(WebFailedMessage(), "Cannot open HTML page: http://www.danubiasoft.sk/velmora!");
    EXPECT_EQ(EmailTarget(), "mailto:velmora@danubiasoft.sk");
    EXPECT_EQ(WebTarget(), "http://www.danubiasoft.sk/velmora");
    EXPECT_STREQ(kAlreadyRunning, "Application is already running!");
    EXPECT_STREQ(kErrorTitle, "Error");
    EXPECT_EQ(kErrorStyle, 16u);
    EXPECT_STREQ(kWindowTitle, "Velmora");
}

struct ItemRow {
    const char* appPath;
    const char* windowsFolder;
    int index;
    InstallCommand command;
};

TEST(StartMenuCommands, ProgramParametersAndCommandLineOfEachItem)
{
    const ItemRow rows[] = {
        {"D:\\",
         "C:\\WINDOWS",
         0,
         {"D:\\Setup\\setup_velmora_sdk_lite_sk.exe", "",
          "D:\\Setup\\setup_velmora_sdk_lite_sk.exe"}},
        {"D:\\CD\\",
         "C:\\WINDOWS",
         1,
         {"D:\\CD\\Setup\\setup_velmora_sdk_lite_en.exe", "",
          "D:\\CD\\Setup\\setup_velmora_sdk_lite_en.exe"}},
        {"C:\\Program Files\\Velmora CD\\",
         "C:\\WINDOWS",
         0,
         {"C:\\Program Files\\Velmora CD\\Setup\\setup_velmora_sdk_lite_sk.exe", "",
          "\"C:\\Program Files\\Velmora CD\\Setup\\setup_velmora_sdk_lite_sk.exe\""}},
        {"D:\\",
         "C:\\WINDOWS",
         2,
         {"C:\\WINDOWS\\explorer.exe", "D:\\Documents", "explorer.exe D:\\Documents"}},
        {"D:\\",
         "C:\\WINNT",
         2,
         {"C:\\WINNT\\explorer.exe", "D:\\Documents", "explorer.exe D:\\Documents"}},
        {"D:\\", "W:\\", 2, {"W:\\explorer.exe", "D:\\Documents", "explorer.exe D:\\Documents"}},
        {"C:\\Program Files\\Velmora CD\\",
         "C:\\WINDOWS",
         2,
         {"C:\\WINDOWS\\explorer.exe", "\"C:\\Program Files\\Velmora CD\\Documents\"",
          "explorer.exe \"C:\\Program Files\\Velmora CD\\Documents\""}},
    };
    for (const ItemRow& r : rows) {
        const std::string at = std::string(r.appPath) + " " + std::to_string(r.index);
        const AppFolder app{r.appPath, r.appPath[0]};
        const std::optional<InstallCommand> got = InstallItemCommand(app, r.windowsFolder, r.index);
        ASSERT_TRUE(got) << at;
        EXPECT_EQ(got->program, r.command.program) << at;
        EXPECT_EQ(got->parameters, r.command.parameters) << at;
        EXPECT_EQ(got->commandLine, r.command.commandLine) << at;
        EXPECT_EQ(got->commandLine, InstallCommandLine(app, r.index)) << at;
    }
    EXPECT_FALSE(InstallItemCommand({"D:\\", 'D'}, "C:\\WINDOWS", 3));
    EXPECT_FALSE(InstallItemCommand({"D:\\", 'D'}, "C:\\WINDOWS", -1));
}

// ---- Clicks and the single copy ----------------------------------------------

TEST(StartMenuClicks, APressAndAReleaseOverTheSameControlClickIt)
{
    ClickTracker clicks;
    clicks.Press(Control::lblInstall0);
    EXPECT_EQ(clicks.Release(Control::lblInstall0), Control::lblInstall0);
    clicks.Press(Control::lblEmail);
    EXPECT_EQ(clicks.Release(Control::lblEmail), Control::lblEmail);
}

TEST(StartMenuClicks, AReleaseOverAnotherControlOrTheSurfaceClicksNothing)
{
    ClickTracker clicks;
    clicks.Press(Control::lblInstall0);
    EXPECT_EQ(clicks.Release(Control::lblInstall1), std::nullopt);
    clicks.Press(Control::lblWeb);
    EXPECT_EQ(clicks.Release(std::nullopt), std::nullopt);
    clicks.Press(std::nullopt);
    EXPECT_EQ(clicks.Release(Control::lblEmail), std::nullopt);
    clicks.Press(std::nullopt);
    EXPECT_EQ(clicks.Release(std::nullopt), std::nullopt) << "the surface is no control";
}

TEST(StartMenuClicks, AReleaseCountsOnlyOnceAndOnlyAfterAPress)
{
    ClickTracker clicks;
    EXPECT_EQ(clicks.Release(Control::lblInstall0), std::nullopt);
    clicks.Press(Control::lblInstall0);
    EXPECT_EQ(clicks.Release(Control::lblInstall0), Control::lblInstall0);
    EXPECT_EQ(clicks.Release(Control::lblInstall0), std::nullopt);
}

TEST(StartMenuClicks, APressWhoseHoldWasLostClicksNothing)
{
    ClickTracker clicks;
    clicks.Press(Control::lblInstall0);
    clicks.HoldLost();
    EXPECT_EQ(clicks.Release(Control::lblInstall0), std::nullopt);
    clicks.Press(Control::lblInstall1);
    EXPECT_EQ(clicks.Release(Control::lblInstall1), Control::lblInstall1)
        << "a new press after the loss counts";
}

TEST(StartMenuSingleCopy, AnExistingObjectAndOneThatCannotBeOpenedMeanAnotherCopy)
{
    EXPECT_FALSE(AnotherCopyRuns(SingleCopyAnswer::Created));
    EXPECT_TRUE(AnotherCopyRuns(SingleCopyAnswer::AlreadyExists));
    EXPECT_TRUE(AnotherCopyRuns(SingleCopyAnswer::AccessDenied));
    EXPECT_FALSE(AnotherCopyRuns(SingleCopyAnswer::Failed));
}

// ---- Texts in Unicode ----------------------------------------------------------

// Known answers from Windows' own table of code page 1250.
TEST(StartMenuText, EveryByteOfCodePage1250AsWindowsConvertsIt)
{
    for (int byte = 0; byte < 256; ++byte) {
        const char c = char(byte);
        wchar_t expected = 0;
        ASSERT_EQ(MultiByteToWideChar(1250, 0, &c, 1, &expected, 1), 1) << byte;
        EXPECT_EQ(WideFromCp1250(std::string(1, c)), std::wstring(1, expected)) << "byte " << byte;
    }
}

TEST(StartMenuText, TheSlovakTextsInUnicode)
{
    EXPECT_EQ(WideFromCp1250(Tooltip(Control::lblInstall0)),
              L"In\u0161tal\u00e1cia Velmora Lite Sk");
    EXPECT_EQ(WideFromCp1250(Text(Control::lblStatus)),
              L"Mlynsk\u00e1 14, 811 05 Bratislava, tel. 02/5441 2280");
    EXPECT_EQ(WideFromCp1250(""), L"");
}

// ---- Actions through a recording platform ----------------------------------------

class RecordingPlatform : public Platform {
  public:
    std::vector<std::string> calls;
    bool driveWorks = true, directoryWorks = true, shellWorks = true, shellStartWorks = true;
    StartResult start = StartResult::Started;

    std::string WindowsFolder() override { return "C:\\WINDOWS"; }
    bool ChangeDrive(char drive) override
    {
        calls.push_back(std::string("drive ") + drive);
        return driveWorks;
    }
    bool ChangeDirectory(const std::string& folder) override
    {
        calls.push_back("directory " + folder);
        return directoryWorks;
    }
    StartResult StartProgram(const std::string& program, const std::string& commandLine) override
    {
        calls.push_back("start " + program + " as " + commandLine);
        return start;
    }
    bool StartWithShell(const std::string& program, const std::string& parameters,
                        const std::string& folder) override
    {
        calls.push_back("shell start " + program + " [" + parameters + "] in " + folder);
        return shellStartWorks;
    }
    bool OpenWithShell(const std::string& target) override
    {
        calls.push_back("shell " + target);
        return shellWorks;
    }
    void ShowLinksNormal() override { calls.push_back("links normal"); }
    void ShowError(const std::string& text) override { calls.push_back("error " + text); }
};

using Calls = std::vector<std::string>;

TEST(StartMenuActions, InstallItemChangesDriveAndDirectoryThenStarts)
{
    RecordingPlatform p;
    RunInstallItem(p, {"D:\\CD\\", 'D'}, 1);
    EXPECT_EQ(p.calls, (Calls{"drive D", "directory D:\\CD\\",
                              "start D:\\CD\\Setup\\setup_velmora_sdk_lite_en.exe as "
                              "D:\\CD\\Setup\\setup_velmora_sdk_lite_en.exe"}));
}

TEST(StartMenuActions, DocumentsItemStartsTheExplorerOfTheWindowsFolder)
{
    RecordingPlatform p;
    RunInstallItem(p, {"E:\\Velmora CD\\", 'E'}, 2);
    EXPECT_EQ(p.calls, (Calls{"drive E", "directory E:\\Velmora CD\\",
                              "start C:\\WINDOWS\\explorer.exe as "
                              "explorer.exe \"E:\\Velmora CD\\Documents\""}));
}

TEST(StartMenuActions, InstallFailuresResetTheLinksThenShowTheCommandLine)
{
    const std::string setup = "D:\\Setup\\setup_velmora_sdk_lite_sk.exe";
    const std::string start = "start " + setup + " as " + setup;
    const std::string error = "error Cannot run application: " + setup + "!";
    struct Row {
        bool drive, directory;
        StartResult start;
        Calls calls;
    } rows[] = {
        {false, true, StartResult::Started, {"drive D", "links normal", error}},
        {true, false, StartResult::Started, {"drive D", "directory D:\\", "links normal", error}},
        {true,
         true,
         StartResult::Failed,
         {"drive D", "directory D:\\", start, "links normal", error}},
    };
    for (const Row& r : rows) {
        RecordingPlatform p;
        p.driveWorks = r.drive;
        p.directoryWorks = r.directory;
        p.start = r.start;
        RunInstallItem(p, {"D:\\", 'D'}, 0);
        EXPECT_EQ(p.calls, r.calls);
    }
}

TEST(StartMenuActions, AProgramThatNeedsElevationIsStartedThroughTheShellInTheSameFolder)
{
    const std::string setup = "C:\\Program Files\\Velmora CD\\Setup\\setup_velmora_sdk_lite_en.exe";
    const Calls before{"drive C", "directory C:\\Program Files\\Velmora CD\\",
                       "start " + setup + " as \"" + setup + "\"",
                       "shell start " + setup + " [] in C:\\Program Files\\Velmora CD\\"};
    RecordingPlatform p;
    p.start = StartResult::NeedsElevation;
    RunInstallItem(p, {"C:\\Program Files\\Velmora CD\\", 'C'}, 1);
    EXPECT_EQ(p.calls, before);

    RecordingPlatform refused;
    refused.start = StartResult::NeedsElevation;
    refused.shellStartWorks = false;
    RunInstallItem(refused, {"C:\\Program Files\\Velmora CD\\", 'C'}, 1);
    Calls failed = before;
    failed.push_back("links normal");
    failed.push_back("error Cannot run application: \"" + setup + "\"!");
    EXPECT_EQ(refused.calls, failed);
}

TEST(StartMenuActions, AFailedStartIsNotTriedThroughTheShell)
{
    RecordingPlatform p;
    p.start = StartResult::Failed;
    RunInstallItem(p, {"D:\\", 'D'}, 2);
    EXPECT_EQ(p.calls,
              (Calls{"drive D", "directory D:\\",
                     "start C:\\WINDOWS\\explorer.exe as explorer.exe D:\\Documents",
                     "links normal", "error Cannot run application: explorer.exe D:\\Documents!"}));
}

TEST(StartMenuActions, IndexOutsideTheItemsDoesNothing)
{
    RecordingPlatform p;
    RunInstallItem(p, {"D:\\", 'D'}, 7);
    EXPECT_TRUE(p.calls.empty());
}

TEST(StartMenuActions, ShellTargetsAndTheirErrorsLeaveTheLinksAlone)
{
    RecordingPlatform p;
    OpenEmail(p);
    OpenWebPage(p);
    EXPECT_EQ(p.calls, (Calls{"shell mailto:velmora@danubiasoft.sk",
                              "shell http://www.danubiasoft.sk/velmora"}));
    RecordingPlatform failing;
    failing.shellWorks = false;
    OpenEmail(failing);
    OpenWebPage(failing);
    EXPECT_EQ(failing.calls,
              (Calls{"shell mailto:velmora@danubiasoft.sk",
                     "error Cannot send e-mail to address: velmora@danubiasoft.sk!",
                     "shell http://www.danubiasoft.sk/velmora",
                     "error Cannot open HTML page: http://www.danubiasoft.sk/velmora!"}));
}

} // namespace
