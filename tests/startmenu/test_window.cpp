// End-to-end tests of autorun.exe on a virtual display: each test lays out a
// CD folder of its own (the program, a Setup folder with recording stand-ins
// for the two setup programs, a Documents folder), starts the start menu from
// it and works it like a user: pointer moves, presses, clicks, keys.
// Screenshots are compared with the background picture read straight from its
// file. These tests change nothing in their Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver.h"
#include "otherwindows.h"

using namespace startmenu_test;
using testing_support::FileExists;
using testing_support::FindVisibleWindow;
using testing_support::TempDir;
using testing_support::WaitFor;

namespace {

class StartMenuWindow : public StartMenuTest {};

// The stand-ins rename a finished record into place; for a moment after the
// new name shows, the rename still holds the file open with delete access.
TEST(StartMenuRecord, IsReadWholeWhileItsRenameStillHoldsIt)
{
    TempDir temp;
    const std::string record = temp.file("setup.txt");
    testing_support::WriteFile(record, "command\nfolder\n1\n0a280105\n");
    const HANDLE held = CreateFileA(record.c_str(), DELETE | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    menu::KernelHandle rename(held);
    EXPECT_TRUE(FileExists(record));
    EXPECT_EQ(testing_support::ReadFile(record), "")
        << "a read without shared delete access now fails";
    const std::optional<Record> read = WaitForRecord(temp.file("setup.exe"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->commandLine, "command");
    EXPECT_EQ(read->directory, "folder");
    EXPECT_EQ(read->show, "1");
    EXPECT_EQ(read->version, 0x0a280105ul);
}

TEST_F(StartMenuWindow, ShowsItsTitleFrameSizeAndPicture)
{
    Launch();
    EXPECT_EQ(WindowText(window_), "Velmora");
    RECT client{};
    GetClientRect(window_, &client);
    EXPECT_EQ(client.right - client.left, kClient);
    EXPECT_EQ(client.bottom - client.top, kClient);

    const LONG style = GetWindowLongA(window_, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    // Centred: the client area is as far from the left as from the right
    // (within the frame's width), and likewise from top and bottom.
    RECT frame{};
    GetWindowRect(window_, &frame);
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_LE(std::abs(frame.left + frame.right - screenW), 2);
    EXPECT_LE(std::abs(frame.top + frame.bottom - screenH), 2);

    const Picture art = Background();
    ASSERT_EQ(art.width, kClient);
    ASSERT_EQ(art.height, kClient);
    int differing = 0, compared = 0;
    Picture shot;
    WaitFor([&] {
        shot = Screenshot(window_);
        differing = compared = 0;
        for (int y = 0; y < kClient; ++y)
            for (int x = 0; x < kClient; ++x)
                if (!InBand(x, y)) {
                    ++compared;
                    differing += shot.At(x, y) != art.At(x, y);
                }
        return differing == 0;
    });
    EXPECT_EQ(differing, 0) << "of " << compared << " pixels compared";
    // The three labels are drawn in the link colour over the picture.
    for (const RECT& band : {kWebBand, kEmailBand, kStatusBand}) {
        EXPECT_GT(CountColour(shot, band, kLinkColour), 10);
        EXPECT_EQ(CountColour(shot, band, kHighlightColour), 0);
    }
}

// The labels show their texts, the contact line with its Slovak letter, as
// the test itself draws the Unicode texts in the labels' font.
TEST_F(StartMenuWindow, LabelsShowTheirTexts)
{
    Launch();
    EXPECT_EQ(LabelDiffering(L"velmora@danubiasoft.sk", 511, 491, true, kEmailBand), 0);
    EXPECT_EQ(LabelDiffering(L"www.danubiasoft.sk/velmora", 511, 452, true, kWebBand), 0);
    EXPECT_EQ(ContactLineDiffering(), 0);
    // The reference tells the letter apart from what another code page makes
    // of its byte 0xE1 (Cyrillic be in 1251).
    const Picture art = Background();
    EXPECT_GT(Differing(DrawnLabel(art, L"Mlynsk\u00e1", 160, 540, false),
                        DrawnLabel(art, L"Mlynsk\u0431", 160, 540, false), kStatusBand),
              0);
}

TEST_F(StartMenuWindow, EmailLinkIsHighlightedUnderThePointerUntilTheSurface)
{
    Launch();
    ASSERT_TRUE(WaitFor([&] { return BandShows(kEmailBand, kLinkColour, kHighlightColour); }));
    MoveTo(kOverEmail);
    EXPECT_TRUE(WaitFor([&] { return BandShows(kEmailBand, kHighlightColour, kLinkColour); }));
    EXPECT_TRUE(BandShows(kWebBand, kLinkColour, kHighlightColour));
    MoveTo(kOverDocuments); // no move handler, nothing changes
    // Its tooltip shows once the window has seen the pointer there.
    EXPECT_TRUE(
        WaitFor([&] { return TooltipText() == L"Dokumenty k Velmora/Documents for Velmora"; }));
    EXPECT_TRUE(BandShows(kEmailBand, kHighlightColour, kLinkColour));
    MoveTo(kOverSurface);
    EXPECT_TRUE(WaitFor([&] { return BandShows(kEmailBand, kLinkColour, kHighlightColour); }));
}

// The five clickable labels show one pointer (the hand, whose image the
// resource tests check) and the surface and lblStatus another (the window
// class's arrow). Every step moves between the two, so each one waits for a
// change.
TEST_F(StartMenuWindow, ClickableLabelsShowTheHandPointerAndTheRestTheArrow)
{
    Launch();
    MoveTo(kOverEmail);
    ASSERT_TRUE(WaitFor([&] { return BandShows(kEmailBand, kHighlightColour, kLinkColour); }));
    const HCURSOR hand = PointerShown();
    MoveTo(kOverSurface);
    ASSERT_TRUE(WaitFor([&] { return BandShows(kEmailBand, kLinkColour, kHighlightColour); }));
    const HCURSOR arrow = PointerShown();
    ASSERT_NE(hand, arrow);

    const struct {
        const char* where;
        POINT point;
        HCURSOR expected;
    } steps[] = {
        {"lblInstall(0)", kOverSk, hand},
        {"lblStatus", kOverStatus, arrow},
        {"lblInstall(1)", kOverEn, hand},
        {"the surface", kOverSurface, arrow},
        {"lblInstall(2)", kOverDocuments, hand},
        {"lblStatus", kOverStatus, arrow},
        {"lblWeb", kOverWeb, hand},
        {"the surface", kOverSurface, arrow},
        {"lblEmail", kOverEmail, hand},
    };
    for (const auto& step : steps)
        EXPECT_TRUE(PointerBecomes(step.point, step.expected))
            << step.where << " shows " << (step.expected == hand ? "no hand" : "no arrow");
}

TEST_F(StartMenuWindow, InstallItemsStartTheirSetupFromTheCdFolder)
{
    Launch();
    ClickAt(kOverSk);
    const std::optional<Record> sk = SetupRecord(kSkSetup);
    ASSERT_TRUE(sk) << "the Slovak setup did not run";
    EXPECT_EQ(sk->commandLine, AppPath() + "Setup\\" + kSkSetup);
    EXPECT_EQ(Lower(WithoutTrailingSlash(sk->directory)), Lower(cd_));
    EXPECT_EQ(sk->show, "1") << "shown normally with focus";
    EXPECT_FALSE(FileExists(AppPath() + "Setup\\setup_velmora_sdk_lite_en.txt"));

    ClickAt(kOverEn);
    const std::optional<Record> en = SetupRecord(kEnSetup);
    ASSERT_TRUE(en) << "the English setup did not run";
    EXPECT_EQ(en->commandLine, AppPath() + "Setup\\" + kEnSetup);
    EXPECT_EQ(en->show, "1");
    EXPECT_TRUE(IsWindow(window_)) << "the start menu stays open";
}

TEST_F(StartMenuWindow, CdFolderWithABlankStartsTheQuotedSetup)
{
    // A program named like the first word of the folder would be started by
    // an unquoted command line.
    ASSERT_TRUE(CopyFileA(RECORDER_EXE, temp_.file("Velmora.exe").c_str(), FALSE));
    Launch("Velmora CD");
    ClickAt(kOverSk);
    const std::optional<Record> sk = SetupRecord(kSkSetup);
    ASSERT_TRUE(sk) << "the Slovak setup did not run";
    EXPECT_EQ(sk->commandLine, "\"" + AppPath() + "Setup\\" + kSkSetup + "\"");
    EXPECT_EQ(Lower(WithoutTrailingSlash(sk->directory)), Lower(cd_));
    EXPECT_FALSE(FileExists(temp_.file("Velmora.txt"))) << "the wrong program ran";
}

TEST_F(StartMenuWindow, MissingSetupFolderShowsTheCommandLineAndResetsTheLinks)
{
    Launch();
    RemoveSetupFolder();
    MoveTo(kOverWeb);
    ASSERT_TRUE(WaitFor([&] { return BandShows(kWebBand, kHighlightColour, kLinkColour); }));
    ClickAt(kOverSk); // straight to the Slovak item: lblWeb stays highlighted until the failure
    const HWND box = WaitForMessageBox(*menu_);
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ(WindowText(box), "Error");
    EXPECT_EQ(MessageBoxText(box),
              "Cannot run application: " + AppPath() + "Setup\\setup_velmora_sdk_lite_sk.exe!");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
    EXPECT_TRUE(WaitFor([&] { return BandShows(kWebBand, kLinkColour, kHighlightColour); }));
    EXPECT_TRUE(IsWindowVisible(window_)) << "the start menu stays open";
}

// Known answer: the system's own stop icon, drawn by the test on the box's
// background, and set apart from the other three message box icons.
TEST_F(StartMenuWindow, ErrorMessageHasTheStopIconAndOneOkButton)
{
    Launch();
    RemoveSetupFolder();
    ClickAt(kOverSk);
    const HWND box = WaitForMessageBox(*menu_);
    ASSERT_TRUE(box) << "no message box";

    std::vector<ChildWindow> buttons, icons;
    for (const ChildWindow& child : Children(box)) {
        if (Lower(child.className) == "button")
            buttons.push_back(child);
        if (Lower(child.className) == "static" && (child.style & SS_TYPEMASK) == SS_ICON)
            icons.push_back(child);
    }
    ASSERT_EQ(buttons.size(), 1u) << "one button only";
    EXPECT_EQ(buttons[0].id, IDOK);
    EXPECT_EQ(buttons[0].text, "OK");
    ASSERT_EQ(icons.size(), 1u) << "one icon";

    RECT place{};
    GetWindowRect(icons[0].hwnd, &place);
    const int size = GetSystemMetrics(SM_CXICON);
    place.right = place.left + size;
    place.bottom = place.top + size;
    const RECT whole{0, 0, size, size};
    auto drawn = [&](LPCSTR id, uint32_t background) {
        return DrawnIcon(LoadIconA(nullptr, id), size, background);
    };
    for (LPCSTR other : {IDI_EXCLAMATION, IDI_ASTERISK, IDI_QUESTION})
        ASSERT_GT(Differing(drawn(IDI_HAND, 0x808080), drawn(other, 0x808080), whole), 0)
            << "the icons cannot be told apart";
    // The box's background next to the icon is read together with the icon,
    // so that both come from the same state of the box's painting.
    const RECT beside{place.left - 1, place.top, place.left, place.top + 1};
    int differing = 0;
    WaitFor([&] {
        const Picture stop = drawn(IDI_HAND, ScreenArea(beside).At(0, 0));
        return (differing = Differing(ScreenArea(place), stop, whole)) == 0;
    });
    EXPECT_EQ(differing, 0) << "of " << size * size << " pixels of the stop icon";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

TEST_F(StartMenuWindow, EnterEndsTheProgramAfterAnErrorMessageWasDismissed)
{
    Launch();
    RemoveSetupFolder();
    ClickAt(kOverSk);
    const HWND box = WaitForMessageBox(*menu_);
    ASSERT_TRUE(box) << "no message box";
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == box; }));
    SendKey(VK_RETURN); // the box's OK button
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window_; }));
    ASSERT_TRUE(WaitFor([&] {
        const HWND focus = FocusOf(window_);
        return focus && GetParent(focus) == window_;
    })) << "cmdQuit did not get the focus back";
    SendKey(VK_RETURN);
    EXPECT_TRUE(menu_->Ended()) << "Enter did not end the start menu";
}

// Without a Setup folder a click on an install item shows a message box,
// which would take the Esc that follows; without a click, Esc ends the program.
TEST_F(StartMenuWindow, APressReleasedOverAnotherItemClicksNothing)
{
    Launch();
    RemoveSetupFolder();
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window_; }));
    PressAt(kOverSk);
    MoveTo(kOverEn);
    ReleaseAt(kOverEn);
    SendKey(VK_ESCAPE);
    EXPECT_TRUE(menu_->Ended()) << "the release clicked an item";
}

// WM_CANCELMODE is what Windows sends to the window that holds the mouse when
// something else takes it (a dialog box, the task switcher): the window lets
// the mouse go, and the release that follows over the same item is no click.
TEST_F(StartMenuWindow, APressWhoseMouseHoldWasLostClicksNothing)
{
    Launch();
    RemoveSetupFolder();
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window_; }));
    PressAt(kOverSk);
    SendMessageA(window_, WM_CANCELMODE, 0, 0);
    ASSERT_EQ(CaptureOf(window_), nullptr) << "the window kept the mouse";
    ReleaseAt(kOverSk);
    SendKey(VK_ESCAPE);
    EXPECT_TRUE(menu_->Ended()) << "the release after the lost hold clicked the item";
}

TEST_F(StartMenuWindow, SecondCopyIsRefusedAndTheFirstStays)
{
    Launch();
    Process second(Program(), temp_.path());
    ASSERT_TRUE(second.started());
    const HWND box = WaitForMessageBox(second);
    ASSERT_TRUE(box) << "no message box from the second copy";
    EXPECT_EQ(WindowText(box), "Error");
    EXPECT_EQ(MessageBoxText(box), "Application is already running!");
    EXPECT_FALSE(FindVisibleWindow(second.pid(), "Hlavne"));
    EXPECT_NE(GetForegroundWindow(), window_) << "the first window was brought to the front";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(second.Ended());
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_TRUE(IsWindowVisible(window_));
}

// A copy started elevated makes the single-copy object with a security
// descriptor that a copy with fewer rights may not open: a descriptor that
// lets nobody open it stands in for that here (the process that made it may
// still open it, another process gets ERROR_ACCESS_DENIED).
TEST_F(StartMenuWindow, ASingleCopyObjectThatCannotBeOpenedMeansAlreadyRunning)
{
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ACL nobody{};
    ASSERT_TRUE(InitializeAcl(&nobody, sizeof nobody, ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &nobody, FALSE));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    menu::KernelHandle heldByAnElevatedCopy(
        CreateMutexA(&attributes, FALSE, "Velmora.CD.StartMenu"));
    ASSERT_TRUE(heldByAnElevatedCopy);

    LayOut("cd");
    appPath_ = cd_ + "\\";
    Process copy(Program(), temp_.path());
    ASSERT_TRUE(copy.started());
    const HWND box = WaitForMessageBox(copy);
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ(MessageBoxText(box), "Application is already running!");
    EXPECT_FALSE(FindVisibleWindow(copy.pid(), "Hlavne"));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(copy.Ended());
}

TEST_F(StartMenuWindow, EnterPressesTheHiddenQuitButton)
{
    Launch();
    SetForegroundWindow(window_);
    SendKey(VK_RETURN);
    EXPECT_TRUE(menu_->Ended()) << "Enter did not end the start menu";
}

TEST_F(StartMenuWindow, SpacePressesTheHiddenQuitButton)
{
    Launch();
    SetForegroundWindow(window_);
    SendKey(VK_SPACE);
    EXPECT_TRUE(menu_->Ended()) << "Space did not end the start menu";
}

TEST_F(StartMenuWindow, EscapePressesTheHiddenQuitButton)
{
    Launch();
    SetForegroundWindow(window_);
    SendKey(VK_ESCAPE);
    EXPECT_TRUE(menu_->Ended()) << "Esc did not end the start menu";
}

TEST_F(StartMenuWindow, DocumentsItemOpensTheFolderInExplorer)
{
    Launch("Velmora CD"); // the folder argument holds a blank, and is quoted
    ClickAt(kOverDocuments);
    HWND explorer = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (explorer = FindWindowA("ExplorerWClass", "Documents")); }))
        << "no explorer window on the Documents folder";
    if (explorer) {
        PostMessageA(explorer, WM_CLOSE, 0, 0); // it holds the folder open
        WaitFor([&] { return !IsWindow(explorer); });
    }
    EXPECT_TRUE(IsWindowVisible(window_)) << "the start menu stays open";
}

// Windows looks for a bare program name in the starting program's own folder
// first; a CD copied to a writable folder could hold any explorer.exe there.
TEST_F(StartMenuWindow, DocumentsItemRunsTheExplorerOfTheWindowsFolder)
{
    LayOut("cd");
    ASSERT_TRUE(CopyFileA(RECORDER_EXE, (cd_ + "\\explorer.exe").c_str(), FALSE));
    Start(cd_);
    ClickAt(kOverDocuments);
    HWND explorer = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (explorer = FindWindowA("ExplorerWClass", "Documents")); }))
        << "no explorer window on the Documents folder";
    EXPECT_FALSE(FileExists(cd_ + "\\explorer.txt")) << "the CD folder's explorer.exe ran";
    PostMessageA(explorer, WM_CLOSE, 0, 0);
    WaitFor([&] { return !IsWindow(explorer); });
}

TEST_F(StartMenuWindow, CloseBoxEndsTheProgram)
{
    Launch();
    PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(menu_->Ended()) << "the close box did not end the start menu";
}

TEST_F(StartMenuWindow, FromADriveRootTheSetupRunsWithTheRootCurrent)
{
    // window-display.sh shows a drive letter onto an empty folder of its own.
    const std::string letter = Environment("STARTMENU_DRIVE");
    const std::string folder = Environment("STARTMENU_DRIVE_FOLDER");
    if (letter.empty() || folder.empty())
        GTEST_SKIP() << "no drive letter mapped for this run";
    LayOutIn(folder);
    const std::string root = letter + ":\\";
    ASSERT_TRUE(FileExists(root + "autorun.exe")) << "the drive does not show the CD folder";
    Start(root);
    ClickAt(kOverSk);
    const std::optional<Record> sk = SetupRecord(kSkSetup);
    ASSERT_TRUE(sk) << "the Slovak setup did not run";
    EXPECT_EQ(sk->commandLine, root + "Setup\\" + kSkSetup);
    EXPECT_EQ(Lower(sk->directory), Lower(root));
    PostMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(menu_->Ended());
}

TEST_F(StartMenuWindow, SlovakItemShowsItsTooltip)
{
    Launch();
    MoveTo(kOverSk);
    EXPECT_TRUE(WaitFor([&] { return TooltipText() == L"In\u0161tal\u00e1cia Velmora Lite Sk"; }))
        << "no tooltip, or another text";
}

} // namespace
