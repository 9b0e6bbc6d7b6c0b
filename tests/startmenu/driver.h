// Driving autorun.exe from outside, for the start menu's window suites: a CD
// folder of the test's own with recording stand-ins for the setup programs,
// the real program started from it and worked like a user (pointer moves,
// presses, clicks, keys), screenshots of its client area, the records the
// stand-ins wrote, and the windows of its process (message boxes, tooltips).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "handles.h"
#include "testdir.h"

namespace startmenu_test {

constexpr int kClient = 563;
constexpr uint32_t kLinkColour = 0x400000;      // RGB(64, 0, 0) as 0xRRGGBB
constexpr uint32_t kHighlightColour = 0x404040; // RGB(64, 64, 64)

constexpr char kSkSetup[] = "setup_velmora_sdk_lite_sk.exe";
constexpr char kEnSetup[] = "setup_velmora_sdk_lite_en.exe";

// Points of the client area over each control and over the window's own
// surface, from the layout table's pixel rectangles.
constexpr POINT kOverSk{120, 137};        // lblInstall(0)
constexpr POINT kOverEn{100, 209};        // lblInstall(1)
constexpr POINT kOverDocuments{400, 370}; // lblInstall(2)
constexpr POINT kOverEmail{505, 498};     // lblEmail, right-aligned at x 511
constexpr POINT kOverWeb{505, 459};       // lblWeb
constexpr POINT kOverStatus{200, 545};    // lblStatus
constexpr POINT kOverSurface{200, 420};

// Label rows on the picture: the text lies in these bands, the rest of the
// window shows the picture unchanged.
constexpr RECT kWebBand{300, 452, 512, 467};
constexpr RECT kEmailBand{300, 491, 512, 506};
constexpr RECT kStatusBand{160, 540, 563, 556};
bool InBand(int x, int y);

// The contact line as the status label shows it, the letter a-acute included.
constexpr wchar_t kContactLine[] = L"Mlynsk\u00e1 14, 811 05 Bratislava, tel. 02/5441 2280";

std::string Lower(std::string s);
std::string WithoutTrailingSlash(std::string s);
std::string Environment(const char* name);

// ---- Pictures -----------------------------------------------------------------------

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, top row first
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// An uncompressed 8-bit bottom-up bitmap file, read byte by byte.
Picture ReadBitmap8(const std::string& path);
// The background picture of the start menu, from its artwork file.
Picture Background();
// A rectangle of the screen as it is now.
Picture ScreenArea(const RECT& screen);
// The client area of a window as it is on the screen.
Picture Screenshot(HWND hwnd);
int CountColour(const Picture& p, RECT r, uint32_t colour);
// Pixels inside the rectangle where two pictures differ.
int Differing(const Picture& a, const Picture& b, RECT r);

// The start menu's label text as the test itself draws it: Unicode text in
// Arial 9 pt bold on the background picture, in the link colour, from the
// label's left edge or up to its right edge, top-aligned.
Picture DrawnLabel(const Picture& background, const std::wstring& text, int x, int top,
                   bool alignRight);

// An icon as DrawIconEx draws it at the size over a plain background.
Picture DrawnIcon(HICON icon, int size, uint32_t background);

// ---- Files and records ------------------------------------------------------------

// A whole file read with every kind of sharing allowed, so that another
// process's open handle, whatever access it holds, does not stand in the way.
bool ReadShared(const std::string& path, std::string& bytes);

// A stand-in's record: its command line, current directory, show command and
// GetVersion's answer.
struct Record {
    std::string commandLine, directory, show;
    unsigned long version;
};

// The record of the recording stand-in at exePath (.txt beside it), once it
// was read whole, or nothing when none came within the limit. The stand-in
// renames its finished record into place, and the rename keeps the file open
// with delete access for a moment after its new name shows; a read that does
// not share delete access fails then, so the record is read sharing all.
std::optional<Record> WaitForRecord(const std::string& exePath);

// Waits until no process runs the program file any more. A stand-in ends
// right after it wrote its record, but until it has, its file and its current
// folder cannot be removed: a test's folder would be left behind, and in a
// prefix whose wineserver lives on, a later test given the same process
// number could not make its own.
bool WaitForProgramToEnd(const std::string& exePath);

// ---- Windows of other processes -------------------------------------------------------

std::string WindowText(HWND hwnd);
// The message box's text is its static control 0xFFFF.
std::string MessageBoxText(HWND box);
struct ChildWindow {
    HWND hwnd;
    std::string className, text;
    LONG id, style;
};
std::vector<ChildWindow> Children(HWND parent);
// The window that holds the mouse, and the one with the keyboard focus, of the
// thread that owns the window.
HWND CaptureOf(HWND window);
HWND FocusOf(HWND window);
// The mouse pointer shown now, whoever set it.
HCURSOR PointerShown();

// Left button events at a point of the screen that each event carries itself,
// so that they land there wherever the pointer is when they are read (a
// pointer move that Wine reports late cannot take them elsewhere).
void SendButtonAt(POINT screen, DWORD buttonFlags);
void SendClickAt(POINT screen);
void SendKey(WORD key);

// ---- A running start menu -------------------------------------------------------------

class Process {
  public:
    // Started from the directory; with a show command, it goes to the new
    // process as its launcher's request (STARTUPINFO).
    Process(const std::string& program, const std::string& directory,
            std::optional<WORD> show = std::nullopt);
    // A program still running when its test ends is stopped.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return bool(process_); }
    DWORD pid() const { return pid_; }
    bool Ended(DWORD limitMs = 15000) const;
    // Its first thread has done what it does on starting and waits for input.
    bool Idle(DWORD limitMs = 15000) const;

  private:
    menu::KernelHandle process_;
    menu::KernelHandle thread_;
    DWORD pid_ = 0;
};

class StartMenuTest : public ::testing::Test {
  protected:
    // Lays out the CD in a folder of the given name and starts the start menu
    // from it, with the test's temporary folder as the current directory.
    void Launch(const std::string& cdName = "cd", std::optional<WORD> show = std::nullopt);
    void LayOut(const std::string& cdName) { LayOutIn(temp_.file(cdName)); }
    void LayOutIn(const std::string& folder);
    // Starts the start menu from the folder (the CD's, or a drive root that
    // shows it) and waits for its window.
    void Start(const std::string& folder, std::optional<WORD> show = std::nullopt);
    // Takes the Setup folder away, so that an install click shows an error.
    void RemoveSetupFolder();
    void TearDown() override;

    std::string Program() const { return appPath_ + "autorun.exe"; }
    std::string AppPath() const { return appPath_; }

    POINT OnScreen(POINT client) const;
    void MoveTo(POINT client) const;
    void ClickAt(POINT client) const;
    // A press over the point, answered once the window holds the mouse.
    void PressAt(POINT client) const;
    void ReleaseAt(POINT client) const;
    // Off the window, where no move reaches it and no tooltip shows.
    void ParkPointer() const { SetCursorPos(2, 2); }
    // Moves the pointer to the point and waits until the pointer shape shown
    // is the expected one; false if it never is within the limit.
    bool PointerBecomes(POINT client, HCURSOR expected) const;

    bool BandShows(const RECT& band, uint32_t colour, uint32_t otherColour) const;
    // Waits until the band of the window shows the label as the test draws it
    // (the label is painted after the window appears); the pixels of the band
    // that still differ when it does, or when the wait ends.
    int LabelDiffering(const std::wstring& text, int x, int top, bool alignRight,
                       const RECT& band) const;
    int ContactLineDiffering() const
    {
        return LabelDiffering(kContactLine, 160, 540, false, kStatusBand);
    }
    // The text of the start menu's tooltip while it shows.
    std::wstring TooltipText() const;
    HWND WaitForMessageBox(const Process& process) const;
    // The record of the setup stand-in of the given name in the CD's Setup folder.
    std::optional<Record> SetupRecord(const char* setup) const
    {
        return WaitForRecord(AppPath() + "Setup\\" + setup);
    }

    testing_support::TempDir temp_;
    std::string cd_;
    std::string appPath_;
    std::unique_ptr<Process> menu_;
    HWND window_ = nullptr;
};

} // namespace startmenu_test
