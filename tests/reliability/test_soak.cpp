// A soak of the start menu on a virtual display: hover moves over the two
// link labels, the window's surface and a hot spot, and clicks on an install
// item whose setup program is missing, each answered by a message box that
// the test closes. Afterwards the start menu's kernel handles, GDI objects
// and memory must be where they were after a short warm-up.
//
// Each measure is first shown to move (in this process, through the same
// calls the soak uses on the start menu): one that Wine answers with a
// constant would let any leak pass, and is reported and left out.
//
// RELIABILITY_SOAK_MOVES and RELIABILITY_SOAK_CLICKS set the soak's length
// (500 and 5 unless set; `make soak` runs 10000 and 100).
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "handles.h"
#include "otherwindows.h"
#include "testdir.h"

using testing_support::Deliverable;
using testing_support::FindVisibleWindow;
using testing_support::TempDir;
using testing_support::WaitFor;

namespace {

int EnvironmentCount(const char* name, int fallback)
{
    char value[32] = {};
    if (GetEnvironmentVariableA(name, value, sizeof value))
        return std::atoi(value);
    return fallback;
}

// ---- The measures --------------------------------------------------------------------

struct Usage {
    long handles = 0;        // GetProcessHandleCount
    long gdiObjects = 0;     // GetGuiResources
    long userObjects = 0;    // GetGuiResources
    long systemHandles = 0;  // the system's handle list, entries of the process
    long gdiTableInUse = 0;  // the process's GDI handle table, entries in use
    size_t privateBytes = 0; // GetProcessMemoryInfo
};

template <typename F> F Ntdll(const char* name)
{
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// NtQuerySystemInformation(SystemHandleInformation): one 16-byte entry per
// handle of every process, the owner's id first.
long SystemHandlesOf(DWORD pid)
{
    using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    static const Query query = Ntdll<Query>("NtQuerySystemInformation");
    if (!query)
        return 0;
    std::vector<uint32_t> buffer(1 << 16);
    ULONG needed = 0;
    while (query(16, buffer.data(), static_cast<ULONG>(buffer.size() * 4), &needed) ==
           static_cast<LONG>(0xC0000004)) // STATUS_INFO_LENGTH_MISMATCH
        buffer.resize(buffer.size() * 2);
    long count = 0;
    const uint32_t entries = buffer[0];
    for (uint32_t i = 0; i < entries && 1 + 4 * (i + 1) <= buffer.size(); ++i)
        count += buffer[1 + 4 * i] == pid;
    return count;
}

// The GDI handle table the process's PEB points to (offset 0x94 of a 32-bit
// PEB): 65536 entries of 24 bytes, an entry in use has a type (byte 14).
long GdiTableInUse(HANDLE process)
{
    struct BasicInformation {
        LONG exitStatus;
        void* peb;
        ULONG_PTR affinity, priority, pid, parent;
    } info{};
    using Query = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
    static const Query query = Ntdll<Query>("NtQueryInformationProcess");
    if (!query || query(process, 0, &info, sizeof info, nullptr) != 0 || !info.peb)
        return 0;
    uint32_t table = 0;
    if (!ReadProcessMemory(process, static_cast<char*>(info.peb) + 0x94, &table, sizeof table,
                           nullptr) ||
        !table)
        return 0;
    std::vector<uint8_t> entries(65536 * 24);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size(),
                           nullptr))
        return 0;
    long count = 0;
    for (size_t i = 0; i < 65536; ++i)
        count += entries[i * 24 + 14] != 0;
    return count;
}

Usage Measure(HANDLE process)
{
    Usage u;
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    u.handles = static_cast<long>(handles);
    u.gdiObjects = static_cast<long>(GetGuiResources(process, GR_GDIOBJECTS));
    u.userObjects = static_cast<long>(GetGuiResources(process, GR_USEROBJECTS));
    u.systemHandles = SystemHandlesOf(GetProcessId(process));
    u.gdiTableInUse = GdiTableInUse(process);
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    GetProcessMemoryInfo(process, &c, sizeof c);
    u.privateBytes = c.PagefileUsage;
    return u;
}

// Which measures move when this process takes 200 kernel handles, 200 GDI
// objects, 200 windows and 8 MiB, seen through a handle opened on itself.
struct Moving {
    bool handles = false;
    bool gdiObjects = false;
    bool userObjects = false;
    bool systemHandles = false;
    bool gdiTableInUse = false;
    bool privateBytes = false;
};

Moving ProbeMeasures()
{
    menu::KernelHandle self(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId()));
    const Usage before = Measure(self.get());
    std::vector<HANDLE> events;
    std::vector<HGDIOBJ> brushes;
    std::vector<HWND> windows;
    for (int i = 0; i < 200; ++i) {
        events.push_back(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
        windows.push_back(
            CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    }
    std::vector<char> block(8 << 20, 1);
    const Usage during = Measure(self.get());
    for (HANDLE e : events)
        CloseHandle(e);
    for (HGDIOBJ b : brushes)
        DeleteObject(b);
    for (HWND w : windows)
        DestroyWindow(w);
    Moving m;
    m.handles = during.handles >= before.handles + 200;
    m.gdiObjects = during.gdiObjects >= before.gdiObjects + 200;
    m.userObjects = during.userObjects >= before.userObjects + 200;
    m.systemHandles = during.systemHandles >= before.systemHandles + 200;
    m.gdiTableInUse = during.gdiTableInUse >= before.gdiTableInUse + 200;
    m.privateBytes = during.privateBytes >= before.privateBytes + (7u << 20);
    const auto yes = [](bool b) { return b ? "yes" : "no"; };
    std::printf("soak: measures that move here: GetProcessHandleCount %s, GetGuiResources GDI %s "
                "USER %s, system handle list %s, GDI handle table %s, memory %s\n",
                yes(m.handles), yes(m.gdiObjects), yes(m.userObjects), yes(m.systemHandles),
                yes(m.gdiTableInUse), yes(m.privateBytes));
    return m;
}

// ---- The start menu ------------------------------------------------------------------

class StartMenu {
  public:
    // A CD folder with the program and without its Setup folder, so that an
    // install item's click fails with a message box.
    explicit StartMenu(const std::string& cd)
    {
        CreateDirectoryA(cd.c_str(), nullptr);
        const std::string program = cd + "\\autorun.exe";
        CopyFileA(Deliverable("autorun.exe").c_str(), program.c_str(), FALSE);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + program + "\"";
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            cd.c_str(), &startup, &info))
            return;
        process_ = info.hProcess;
        thread_ = info.hThread;
        pid_ = info.dwProcessId;
        WaitFor([&] { return (window_ = FindVisibleWindow(pid_, "Hlavne")) != nullptr; });
    }
    ~StartMenu()
    {
        if (window_ && IsWindow(window_))
            PostMessageA(window_, WM_CLOSE, 0, 0);
        if (process_ && WaitForSingleObject(process_.get(), 5000) == WAIT_TIMEOUT)
            TerminateProcess(process_.get(), 1);
    }
    StartMenu(const StartMenu&) = delete;
    StartMenu& operator=(const StartMenu&) = delete;

    HWND window() const { return window_; }
    HANDLE process() const { return process_.get(); }

    // The move is handled before the next: the window's thread answers a
    // message sent after it only once the input before it is processed.
    void MoveTo(int x, int y) const
    {
        POINT p{x, y};
        ClientToScreen(window_, &p);
        SetCursorPos(p.x, p.y);
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
    }

    // A click on the Slovak install item; true when its message box came and
    // was closed. With tipOverBox the box stays until the item's tooltip has
    // shown over it (the pointer rests on the item; the tooltip shows for an
    // inactive window too).
    bool FailedInstallClick(bool tipOverBox = false) const
    {
        MoveTo(120, 137);
        // The press and release carry the position too: a pointer move still
        // on its way must not let them land on a link label instead.
        ClickAt(120, 137);
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = FindVisibleWindow(pid_, "#32770")) != nullptr; }))
            return false;
        if (tipOverBox && !WaitFor([&] { return TooltipShown(); }))
            return false;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return WaitFor([&] { return !IsWindow(box); });
    }

    // Rests the pointer on a point until its tooltip shows, then on the
    // surface until it hides; true when both came.
    bool TooltipShownAndHidden(int x, int y) const
    {
        return RestUntil(x, y, [&] { return TooltipShown(); }) &&
               RestUntil(200, 420, [&] { return !TooltipShown(); });
    }

    // Rests the pointer on a point until the condition holds. The tooltip
    // acts on pointer moves: one it did not act on (its show given up while
    // the pointer was still on its way) is tried again on the next move, so
    // the pointer moves by a pixel when a few of its delays have passed.
    bool RestUntil(int x, int y, const std::function<bool()>& condition) const
    {
        for (int move = 0; move < 5; ++move) {
            MoveTo(x + move % 2, y);
            if (WaitFor(condition, 3000))
                return true;
        }
        return false;
    }

    bool TooltipShown() const { return FindVisibleWindow(pid_, TOOLTIPS_CLASSA) != nullptr; }

    void ClickAt(int x, int y) const
    {
        POINT p{x, y};
        ClientToScreen(window_, &p);
        const LONG dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        const LONG dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        for (DWORD button : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
            INPUT input{};
            input.type = INPUT_MOUSE;
            input.mi.dx = dx;
            input.mi.dy = dy;
            input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
            SendInput(1, &input, sizeof input);
        }
    }

    // Settles: the window has painted what the last input asked for.
    void Settle() const
    {
        MoveTo(200, 420);
        Sleep(300);
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
    }

  private:
    menu::KernelHandle process_;
    menu::KernelHandle thread_;
    DWORD pid_ = 0;
    HWND window_ = nullptr;
};

// Over lblEmail, lblWeb, the surface and a hot spot, in turn.
void HoverRound(const StartMenu& menu, int i)
{
    static const POINT points[] = {{505, 498}, {505, 459}, {200, 420}, {400, 370}, {300, 300}};
    const POINT& p = points[i % 5];
    menu.MoveTo(p.x + i % 3, p.y);
}

TEST(Soak, StartMenuKeepsItsHandlesGdiObjectsAndMemory)
{
    const Moving moving = ProbeMeasures();
    ASSERT_TRUE(moving.handles || moving.systemHandles) << "no count of kernel handles moves";
    ASSERT_TRUE(moving.gdiObjects || moving.gdiTableInUse) << "no count of GDI objects moves";
    ASSERT_TRUE(moving.privateBytes) << "the memory in use does not move";

    TempDir temp;
    StartMenu menu(temp.file("cd"));
    ASSERT_TRUE(menu.window()) << "the start menu's window did not appear";
    // The tooltip shows only while the window is active (Wine asks
    // GetActiveWindow), and the warm-up waits for it to show.
    SetForegroundWindow(menu.window());
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == menu.window(); }))
        << "the start menu's window did not become the active one";

    // Warm-up: the first message box and the first highlight load what stays.
    // Wine keeps the display contexts it hands out in a cache that grows to
    // the most windows that have held one at once; the most are held when the
    // tooltip shows over the message box. Whether that happens during a click
    // depends on the tooltip's timer, so the warm-up makes it happen, once
    // with and once without the box; later clicks then find the cache full.
    for (int i = 0; i < 200; ++i)
        HoverRound(menu, i);
    ASSERT_TRUE(menu.TooltipShownAndHidden(120, 137)) << "no tooltip over the Slovak item";
    ASSERT_TRUE(menu.FailedInstallClick(true)) << "no tooltip over the message box";
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(menu.FailedInstallClick());
    menu.Settle();
    const Usage before = Measure(menu.process());

    const int moves = EnvironmentCount("RELIABILITY_SOAK_MOVES", 500);
    const int clicks = EnvironmentCount("RELIABILITY_SOAK_CLICKS", 5);
    int closed = 0;
    for (int i = 0; i < moves; ++i) {
        HoverRound(menu, i);
        if (clicks && i % (moves / clicks + 1) == 0 && closed < clicks)
            closed += menu.FailedInstallClick();
    }
    while (closed < clicks && menu.FailedInstallClick())
        ++closed;
    EXPECT_EQ(closed, clicks) << "a message box did not come or did not close";
    menu.Settle();
    const Usage after = Measure(menu.process());

    std::printf("soak: %d moves, %d failed install clicks; kernel handles %ld -> %ld, GDI objects "
                "%ld -> %ld, memory %zu KiB -> %zu KiB\n",
                moves, clicks, before.systemHandles, after.systemHandles, before.gdiTableInUse,
                after.gdiTableInUse, before.privateBytes / 1024, after.privateBytes / 1024);
    EXPECT_TRUE(IsWindowVisible(menu.window())) << "the start menu is gone";
    // A leak of one object per click or per hundred moves shows; the few
    // objects a process's first use of something keeps are allowed.
    if (moving.handles) {
        EXPECT_LE(after.handles, before.handles + 5);
    }
    if (moving.systemHandles) {
        EXPECT_LE(after.systemHandles, before.systemHandles + 5);
    }
    if (moving.gdiObjects) {
        EXPECT_LE(after.gdiObjects, before.gdiObjects + 5);
    }
    if (moving.gdiTableInUse) {
        EXPECT_LE(after.gdiTableInUse, before.gdiTableInUse + 5);
    }
    if (moving.userObjects) {
        EXPECT_LE(after.userObjects, before.userObjects + 5);
    }
    EXPECT_LE(after.privateBytes, before.privateBytes + (512u << 10));
}

} // namespace
