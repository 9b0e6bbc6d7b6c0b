// End-to-end tests of autorun.exe on a virtual display: each test lays out a
// CD folder of its own (the program, a Setup folder with recording stand-ins
// for the two setup programs, a Documents folder), starts the start menu from
// it and works it like a user: pointer moves, clicks, keys. Screenshots are
// compared with the background picture read straight from its file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "handles.h"
#include "otherwindows.h"
#include "testdir.h"

using testing_support::Deliverable;
using testing_support::FileExists;
using testing_support::FindVisibleWindow;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WaitFor;

namespace {

constexpr int kClient = 563;
constexpr uint32_t kLinkColour = 0x400000;      // RGB(64, 0, 0) as 0xRRGGBB
constexpr uint32_t kHighlightColour = 0x404040; // RGB(64, 64, 64)

const char kSkSetup[] = "setup_velmora_sdk_lite_sk.exe";
const char kEnSetup[] = "setup_velmora_sdk_lite_en.exe";

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

std::string WithoutTrailingSlash(std::string s)
{
    if (s.size() > 3 && s.back() == '\\')
        s.pop_back();
    return s;
}

// ---- The background picture, read from the artwork file -------------------------

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, top row first
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

template <typename T> T Read(const std::string& bytes, size_t offset)
{
    T value{};
    memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

Picture ReadBitmap8(const std::string& path)
{
    const std::string file = ReadFile(path);
    Picture p;
    if (file.size() < 54 || file.compare(0, 2, "BM") != 0)
        return p;
    const uint32_t bits = Read<uint32_t>(file, 10);
    const uint32_t headerSize = Read<uint32_t>(file, 14);
    p.width = Read<int32_t>(file, 18);
    p.height = Read<int32_t>(file, 22);
    const uint32_t colours = Read<uint32_t>(file, 46);
    const size_t palette = 14 + headerSize;
    const size_t stride = (size_t(p.width) + 3) & ~size_t(3);
    p.pixels.resize(size_t(p.width) * p.height);
    for (int y = 0; y < p.height; ++y) {
        const size_t row = bits + stride * (p.height - 1 - y); // bottom-up
        for (int x = 0; x < p.width; ++x) {
            const uint8_t index = uint8_t(file[row + x]);
            const size_t quad = palette + 4 * size_t(index < colours ? index : 0);
            p.pixels[size_t(y) * p.width + x] = uint32_t(uint8_t(file[quad + 2])) << 16 |
                                                uint32_t(uint8_t(file[quad + 1])) << 8 |
                                                uint8_t(file[quad]);
        }
    }
    return p;
}

// A whole file read with every kind of sharing allowed, so that another
// process's open handle, whatever access it holds, does not stand in the way.
bool ReadShared(const std::string& path, std::string& bytes)
{
    const HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    menu::KernelHandle file(opened);
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return true;
}

// ---- Windows of other processes --------------------------------------------------

std::string WindowText(HWND hwnd)
{
    char text[1024] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// The message box's text is its static control 0xFFFF.
std::string MessageBoxText(HWND box)
{
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

// The client area as it is on the screen.
Picture Screenshot(HWND hwnd)
{
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kClient;
    info.bmiHeader.biHeight = -kClient;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    menu::WindowDc screen(nullptr);
    menu::MemoryDc memory(CreateCompatibleDC(screen.get()));
    menu::GdiObject bitmap(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    menu::Selection selected(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, kClient, kClient, screen.get(), origin.x, origin.y, SRCCOPY);
    GdiFlush();
    Picture p;
    p.width = p.height = kClient;
    const auto* words = static_cast<const uint32_t*>(bits);
    p.pixels.assign(words, words + kClient * kClient);
    for (uint32_t& px : p.pixels)
        px &= 0xFFFFFF;
    return p;
}

int CountColour(const Picture& p, RECT r, uint32_t colour)
{
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            count += p.At(x, y) == colour;
    return count;
}

void SendMouse(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

void SendKey(WORD key)
{
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof input[0]);
}

// Label rows on the picture: the text lies in these bands, the rest of the
// window shows the picture unchanged.
const RECT kWebBand{300, 452, 512, 467};
const RECT kEmailBand{300, 491, 512, 506};
const RECT kStatusBand{160, 540, 563, 556};

bool InBand(int x, int y)
{
    for (const RECT& r : {kWebBand, kEmailBand, kStatusBand})
        if (x >= r.left && x < r.right && y >= r.top - 1 && y < r.bottom + 1)
            return true;
    return false;
}

// ---- A running start menu --------------------------------------------------------

class Process {
  public:
    Process(const std::string& program, const std::string& directory)
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + program + "\"";
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            directory.c_str(), &startup, &info))
            return;
        process_ = info.hProcess;
        thread_ = info.hThread;
        pid_ = info.dwProcessId;
    }
    // A start menu still running when its test ends is stopped.
    ~Process()
    {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), 5000);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return bool(process_); }
    DWORD pid() const { return pid_; }
    bool Ended(DWORD limitMs = 15000) const
    {
        return process_ && WaitForSingleObject(process_.get(), limitMs) == WAIT_OBJECT_0;
    }

  private:
    menu::KernelHandle process_;
    menu::KernelHandle thread_;
    DWORD pid_ = 0;
};

class StartMenuWindow : public ::testing::Test {
  protected:
    // Lays out the CD in a folder of the given name and starts the start menu
    // from it, with the test's temporary folder as the current directory.
    void Launch(const std::string& cdName = "cd")
    {
        LayOut(cdName);
        Start(cd_);
    }

    void LayOut(const std::string& cdName) { LayOutIn(temp_.file(cdName)); }

    void LayOutIn(const std::string& folder)
    {
        cd_ = folder;
        if (!FileExists(cd_)) {
            ASSERT_TRUE(CreateDirectoryA(cd_.c_str(), nullptr));
        }
        ASSERT_TRUE(CreateDirectoryA((cd_ + "\\Setup").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((cd_ + "\\Documents").c_str(), nullptr));
        ASSERT_TRUE(
            CopyFileA(Deliverable("autorun.exe").c_str(), (cd_ + "\\autorun.exe").c_str(), FALSE));
        for (const char* setup : {kSkSetup, kEnSetup})
            ASSERT_TRUE(CopyFileA(RECORDER_EXE, (cd_ + "\\Setup\\" + setup).c_str(), FALSE));
    }

    // Starts the start menu from the folder (the CD's, or a drive root that
    // shows it) and waits for its window.
    void Start(const std::string& folder)
    {
        appPath_ = folder.back() == '\\' ? folder : folder + "\\";
        menu_ = std::make_unique<Process>(Program(), temp_.path());
        ASSERT_TRUE(menu_->started());
        ASSERT_TRUE(WaitFor([&] { return (window_ = FindVisibleWindow(menu_->pid(), "Hlavne")); }))
            << "the start menu's window did not appear";
        WaitFor([&] { return GetForegroundWindow() == window_; }, 3000);
        ParkPointer();
    }

    void TearDown() override
    {
        if (menu_ && window_ && IsWindow(window_))
            PostMessageA(window_, WM_CLOSE, 0, 0);
        if (menu_)
            menu_->Ended(5000);
        menu_.reset();
    }

    std::string Program() const { return appPath_ + "autorun.exe"; }
    std::string AppPath() const { return appPath_; }

    POINT OnScreen(int x, int y) const
    {
        POINT p{x, y};
        ClientToScreen(window_, &p);
        return p;
    }
    void MoveTo(int x, int y) const
    {
        const POINT p = OnScreen(x, y);
        SetCursorPos(p.x, p.y);
    }
    void ClickAt(int x, int y) const
    {
        MoveTo(x, y);
        Sleep(100);
        SendMouse(MOUSEEVENTF_LEFTDOWN);
        SendMouse(MOUSEEVENTF_LEFTUP);
    }
    // Off the window, where no move reaches it and no tooltip shows.
    void ParkPointer() const { SetCursorPos(2, 2); }

    bool BandShows(const RECT& band, uint32_t colour, uint32_t otherColour) const
    {
        const Picture shot = Screenshot(window_);
        return CountColour(shot, band, colour) > 10 && CountColour(shot, band, otherColour) == 0;
    }

    // The record a setup stand-in wrote: command line, then current directory.
    // The stand-in renames its finished record into place, and the rename
    // keeps the file open with delete access for a moment after its new name
    // shows; a read that does not share delete access fails then. So the
    // record is read sharing everything, and waited for until it was read.
    std::vector<std::string> Record(const std::string& exePath) const
    {
        const std::string log = exePath.substr(0, exePath.size() - 4) + ".txt";
        std::string text;
        if (!WaitFor([&] { return ReadShared(log, text); }))
            return {};
        std::vector<std::string> lines;
        std::string line;
        for (char c : text) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line += c;
            }
        }
        return lines;
    }

    // The text of the start menu's tooltip while it shows; GetWindowText reads
    // only the caption of another process's window, the tooltip answers
    // WM_GETTEXT with the text it shows.
    std::wstring TooltipText() const
    {
        HWND tip = FindVisibleWindow(menu_->pid(), "tooltips_class32");
        wchar_t text[128] = {};
        if (tip)
            SendMessageW(tip, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text));
        return text;
    }

    HWND WaitForMessageBox(const Process& process) const
    {
        HWND box = nullptr;
        WaitFor([&] { return (box = FindVisibleWindow(process.pid(), "#32770")); });
        return box;
    }

    TempDir temp_;
    std::string cd_;
    std::string appPath_;
    std::unique_ptr<Process> menu_;
    HWND window_ = nullptr;
};

// The stand-ins rename a finished record into place; for a moment after the
// new name shows, the rename still holds the file open with delete access.
TEST(StartMenuRecord, IsReadWholeWhileItsRenameStillHoldsIt)
{
    TempDir temp;
    const std::string record = temp.file("setup.txt");
    testing_support::WriteFile(record, "command\nfolder\n");
    const HANDLE held = CreateFileA(record.c_str(), DELETE | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    menu::KernelHandle rename(held);
    EXPECT_TRUE(FileExists(record));
    EXPECT_EQ(ReadFile(record), "") << "a read without shared delete access now fails";
    std::string bytes;
    ASSERT_TRUE(ReadShared(record, bytes));
    EXPECT_EQ(bytes, "command\nfolder\n");
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

    const Picture art = ReadBitmap8(std::string(SOURCE_DIR) + "\\startmenu\\res\\background.bmp");
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

TEST_F(StartMenuWindow, EmailLinkIsHighlightedUnderThePointerUntilTheSurface)
{
    Launch();
    ASSERT_TRUE(WaitFor([&] { return BandShows(kEmailBand, kLinkColour, kHighlightColour); }));
    MoveTo(505, 498); // lblEmail, right-aligned at x 511
    EXPECT_TRUE(WaitFor([&] { return BandShows(kEmailBand, kHighlightColour, kLinkColour); }));
    EXPECT_TRUE(BandShows(kWebBand, kLinkColour, kHighlightColour));
    MoveTo(400, 370); // the documents hot spot: no move handler, nothing changes
    // Its tooltip shows once the window has seen the pointer there.
    EXPECT_TRUE(
        WaitFor([&] { return TooltipText() == L"Dokumenty k Velmora/Documents for Velmora"; }));
    EXPECT_TRUE(BandShows(kEmailBand, kHighlightColour, kLinkColour));
    MoveTo(200, 420); // the window's own surface
    EXPECT_TRUE(WaitFor([&] { return BandShows(kEmailBand, kLinkColour, kHighlightColour); }));
}

TEST_F(StartMenuWindow, InstallItemsStartTheirSetupFromTheCdFolder)
{
    Launch();
    ClickAt(120, 137); // lblInstall(0), the Slovak item
    const std::vector<std::string> sk = Record(AppPath() + "Setup\\" + kSkSetup);
    ASSERT_EQ(sk.size(), 2u) << "the Slovak setup did not run";
    EXPECT_EQ(sk[0], AppPath() + "Setup\\" + kSkSetup);
    EXPECT_EQ(Lower(WithoutTrailingSlash(sk[1])), Lower(cd_));
    EXPECT_FALSE(FileExists(AppPath() + "Setup\\setup_velmora_sdk_lite_en.txt"));

    ClickAt(100, 209); // lblInstall(1), the English item
    const std::vector<std::string> en = Record(AppPath() + "Setup\\" + kEnSetup);
    ASSERT_EQ(en.size(), 2u) << "the English setup did not run";
    EXPECT_EQ(en[0], AppPath() + "Setup\\" + kEnSetup);
    EXPECT_TRUE(IsWindow(window_)) << "the start menu stays open";
}

TEST_F(StartMenuWindow, CdFolderWithABlankStartsTheQuotedSetup)
{
    // A program named like the first word of the folder would be started by
    // an unquoted command line.
    ASSERT_TRUE(CopyFileA(RECORDER_EXE, temp_.file("Velmora.exe").c_str(), FALSE));
    Launch("Velmora CD");
    ClickAt(120, 137);
    const std::vector<std::string> sk = Record(AppPath() + "Setup\\" + kSkSetup);
    ASSERT_EQ(sk.size(), 2u) << "the Slovak setup did not run";
    EXPECT_EQ(sk[0], "\"" + AppPath() + "Setup\\" + kSkSetup + "\"");
    EXPECT_EQ(Lower(WithoutTrailingSlash(sk[1])), Lower(cd_));
    EXPECT_FALSE(FileExists(temp_.file("Velmora.txt"))) << "the wrong program ran";
}

TEST_F(StartMenuWindow, MissingSetupFolderShowsTheCommandLineAndResetsTheLinks)
{
    Launch();
    const std::string setup = AppPath() + "Setup\\";
    for (const char* name : {kSkSetup, kEnSetup})
        ASSERT_TRUE(DeleteFileA((setup + name).c_str()));
    ASSERT_TRUE(RemoveDirectoryA(setup.c_str()));

    MoveTo(505, 459); // lblWeb
    ASSERT_TRUE(WaitFor([&] { return BandShows(kWebBand, kHighlightColour, kLinkColour); }));
    ClickAt(120, 137); // straight to the Slovak item: lblWeb stays highlighted until the failure
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
    ClickAt(400, 370);    // lblInstall(2)
    HWND explorer = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (explorer = FindWindowA("ExplorerWClass", "Documents")); }))
        << "no explorer window on the Documents folder";
    if (explorer) {
        PostMessageA(explorer, WM_CLOSE, 0, 0); // it holds the folder open
        WaitFor([&] { return !IsWindow(explorer); });
    }
    EXPECT_TRUE(IsWindowVisible(window_)) << "the start menu stays open";
}

TEST_F(StartMenuWindow, CloseBoxEndsTheProgram)
{
    Launch();
    PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(menu_->Ended()) << "the close box did not end the start menu";
}

std::string Environment(const char* name)
{
    char value[MAX_PATH + 1] = {};
    const DWORD size = GetEnvironmentVariableA(name, value, sizeof value);
    return size && size < sizeof value ? value : "";
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
    ClickAt(120, 137);
    const std::vector<std::string> sk = Record(root + "Setup\\" + kSkSetup);
    ASSERT_EQ(sk.size(), 2u) << "the Slovak setup did not run";
    EXPECT_EQ(sk[0], root + "Setup\\" + kSkSetup);
    EXPECT_EQ(Lower(sk[1]), Lower(root));
    PostMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(menu_->Ended());
}

TEST_F(StartMenuWindow, SlovakItemShowsItsTooltip)
{
    Launch();
    MoveTo(120, 137);
    EXPECT_TRUE(WaitFor([&] { return TooltipText() == L"In\u0161tal\u00e1cia Velmora Lite Sk"; }))
        << "no tooltip, or another text";
}

} // namespace
