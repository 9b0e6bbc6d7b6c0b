// From the CD to the setup programs, on a virtual display: the CD folder as
// tools/dist lays it out is copied into the test's temporary folder, the start
// menu is started from it, each install item is clicked, and the setup window
// of its language must appear (its caption and its welcome text read back),
// ask before it is cancelled, and leave the start menu open. And a setup
// started with a /D= folder that cannot be one says so in its own language
// before its wizard, and its folder page keeps the user until another folder
// is chosen.
//
// The suite runs in the Slovak locale (code page 1250, a Slovak Windows): the
// Slovak setup's texts are compared as Unicode text, so every byte counts.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <memory>
#include <string>
#include <vector>

#include "otherwindows.h"
#include "testdir.h"

using testing_support::FileExists;
using testing_support::FindVisibleWindow;
using testing_support::TempDir;
using testing_support::WaitFor;

namespace {

const std::wstring kVersion = L"" SETUP_VERSION;
const std::wstring kProduct = L"Velmora SDK Lite " + kVersion;

struct Language {
    const char* program;
    std::wstring caption;
    std::wstring welcome;
    std::wstring cannotWrite; // the first line of the refusal
    std::wstring quit;        // the question Cancel asks
    POINT item;               // the start menu's install item (client pixels)
};

const Language kSlovak{
    "setup_velmora_sdk_lite_sk.exe",
    L"In\u0161tal\u00e1cia programu " + kProduct,
    L"Vitajte v sprievodcovi in\u0161tal\u00e1ciou programu " + kProduct,
    L"In\u0161tal\u00e1tor nem\u00f4\u017ee zapisova\u0165 do prie\u010dinka",
    L"Naozaj chcete ukon\u010di\u0165 in\u0161tal\u00e1ciu programu " + kProduct + L"?",
    {120, 137}, // lblInstall(0)
};
const Language kEnglish{
    "setup_velmora_sdk_lite_en.exe",
    kProduct + L" Setup",
    L"Welcome to " + kProduct + L" Setup",
    L"Setup cannot write to the folder",
    L"Are you sure you want to quit " + kProduct + L" Setup?",
    {100, 209}, // lblInstall(1)
};

std::wstring Text(HWND hwnd)
{
    wchar_t text[1024] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, nullptr);
    return text;
}

std::string Narrow(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s)
        out += c < 128 ? char(c) : '?';
    return out;
}

struct ByCaption {
    const std::wstring* caption;
    HWND hwnd;
};

BOOL CALLBACK MatchCaption(HWND hwnd, LPARAM param)
{
    auto* f = reinterpret_cast<ByCaption*>(param);
    if (IsWindowVisible(hwnd) && Text(hwnd) == *f->caption) {
        f->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of any process with this caption.
HWND FindByCaption(const std::wstring& caption)
{
    ByCaption found{&caption, nullptr};
    EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&found));
    return found.hwnd;
}

struct ByText {
    const std::wstring* text;
    bool found;
};

BOOL CALLBACK MatchText(HWND hwnd, LPARAM param)
{
    auto* f = reinterpret_cast<ByText*>(param);
    if (IsWindowVisible(hwnd) && Text(hwnd) == *f->text) {
        f->found = true;
        return FALSE;
    }
    return TRUE;
}

// Whether a visible control anywhere in the window shows this text.
bool ShowsText(HWND window, const std::wstring& text)
{
    ByText found{&text, false};
    EnumChildWindows(window, MatchText, reinterpret_cast<LPARAM>(&found));
    return found.found;
}

void CopyTree(const std::string& from, const std::string& to)
{
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((from + "\\*").c_str(), &fd);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << "no CD folder " << from << ": run make dist's fixture";
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + "\\" + name, to + "\\" + name);
        else
            ASSERT_TRUE(CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE))
                << name;
    } while (FindNextFileA(find, &fd));
    FindClose(find);
}

class Process {
  public:
    Process(const std::string& program, std::string commandLine, const std::string& directory)
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            directory.c_str(), &startup, &info))
            return;
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
    }
    // A process another program started.
    explicit Process(DWORD pid)
        : process_(
              OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid)),
          pid_(pid)
    {
    }
    ~Process()
    {
        if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
        if (process_)
            CloseHandle(process_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return process_ != nullptr; }
    // Whether the process came to wait for input (its first window is up).
    bool Idle(DWORD limitMs) const { return process_ && WaitForInputIdle(process_, limitMs) == 0; }
    DWORD pid() const { return pid_; }
    // The exit status once the process has ended, or -1 if it runs on.
    long ExitStatus(DWORD limitMs = 15000) const
    {
        DWORD status = 0;
        if (!process_ || WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process_, &status))
            return -1;
        return long(status);
    }

  private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

void Click(HWND window, POINT client)
{
    ClientToScreen(window, &client);
    SetCursorPos(client.x, client.y);
    Sleep(100);
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof input[0]);
}

// A message box of the wizard's process (a dialog that is not the wizard).
HWND FindMessageBox(HWND wizard)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(wizard, &pid);
    return FindVisibleWindow(pid, "#32770", wizard);
}

struct ById {
    int id;
    HWND hwnd;
};

BOOL CALLBACK MatchId(HWND hwnd, LPARAM param)
{
    auto* f = reinterpret_cast<ById*>(param);
    if (GetDlgCtrlID(hwnd) == f->id && IsWindowVisible(hwnd)) {
        f->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible control of the wizard or of its current page.
HWND Control(HWND wizard, int id)
{
    ById found{id, nullptr};
    EnumChildWindows(wizard, MatchId, reinterpret_cast<LPARAM>(&found));
    return found.hwnd;
}

constexpr int kNext = 1;             // the wizard's Next button
constexpr DWORD kSlowStart = 120000; // the bound of a setup's start
constexpr int kFolderField = 1019;   // the folder page's field

void Press(HWND wizard, int id)
{
    HWND button = GetDlgItem(wizard, id);
    ASSERT_TRUE(button) << "no button " << id;
    PostMessageA(button, BM_CLICK, 0, 0);
}

// Answers the message box the wizard shows: its text must begin with the
// one given; true when it came, matched and was answered.
bool Answer(HWND wizard, const std::wstring& text, int answer)
{
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindMessageBox(wizard)) != nullptr; })) {
        ADD_FAILURE() << "no message box over the wizard";
        return false;
    }
    const std::wstring shown = Text(GetDlgItem(box, 0xFFFF));
    EXPECT_EQ(shown.substr(0, text.size()), text) << Narrow(shown);
    PostMessageA(box, WM_COMMAND, answer, 0);
    return WaitFor([&] { return !IsWindow(box); }) && shown.substr(0, text.size()) == text;
}

// The id of a running process of this program, or 0.
DWORD ProcessOf(const char* program)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD pid = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !pid;
         more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, program) == 0)
            pid = entry.th32ProcessID;
    CloseHandle(snapshot);
    return pid;
}

// The wizard's Cancel asks first: No keeps the wizard, Yes ends the setup.
void Cancel(HWND wizard, const Language& l)
{
    Press(wizard, IDCANCEL);
    ASSERT_TRUE(Answer(wizard, l.quit, IDNO));
    EXPECT_TRUE(IsWindowVisible(wizard)) << "the wizard is gone after No";
    Press(wizard, IDCANCEL);
    ASSERT_TRUE(Answer(wizard, l.quit, IDYES));
}

class SetupFromCd : public ::testing::Test {
  protected:
    void SetUp() override
    {
        cd_ = temp_.file("Velmora CD");
        CopyTree(SETUP_CD_DIR, cd_);
        for (const Language* l : {&kSlovak, &kEnglish})
            ASSERT_TRUE(FileExists(cd_ + "\\Setup\\" + l->program)) << l->program;
    }

    void StartMenu()
    {
        const std::string program = cd_ + "\\autorun.exe";
        menu_ = std::make_unique<Process>(program, "\"" + program + "\"", temp_.path());
        ASSERT_TRUE(menu_->started());
        ASSERT_TRUE(WaitFor([&] { return (window_ = FindVisibleWindow(menu_->pid(), "Hlavne")); }))
            << "the start menu's window did not appear";
        WaitFor([&] { return GetForegroundWindow() == window_; }, 3000);
        SetCursorPos(2, 2);
    }

    void TearDown() override
    {
        if (window_ && IsWindow(window_))
            PostMessageA(window_, WM_CLOSE, 0, 0);
        if (menu_)
            menu_->ExitStatus(5000);
        menu_.reset();
    }

    // Clicks the language's install item and answers its setup's wizard. The
    // setup unpacks itself before its window shows, which takes long on a
    // busy or emulated machine: the test waits for the process, then for it
    // to wait for input (its wizard is up), each with a wide bound.
    void InstallItemOpensItsSetup(const Language& l)
    {
        Click(window_, l.item);
        DWORD pid = 0;
        ASSERT_TRUE(WaitFor([&] { return (pid = ProcessOf(l.program)) != 0; }, kSlowStart))
            << "the start menu did not start " << l.program;
        Process setup(pid);
        ASSERT_TRUE(setup.Idle(kSlowStart)) << l.program << " did not come to wait for input";
        HWND wizard = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (wizard = FindByCaption(l.caption)); }))
            << "no setup window titled " << Narrow(l.caption);
        EXPECT_TRUE(WaitFor([&] { return ShowsText(wizard, l.welcome); }))
            << "the wizard does not show " << Narrow(l.welcome);
        Cancel(wizard, l);
        EXPECT_EQ(setup.ExitStatus(), 1) << "a cancelled setup ends with status 1";
        EXPECT_FALSE(IsWindow(wizard));
        EXPECT_TRUE(IsWindowVisible(window_)) << "the start menu stays open";
    }

    TempDir temp_;
    std::string cd_;
    std::unique_ptr<Process> menu_;
    HWND window_ = nullptr;
};

TEST_F(SetupFromCd, SlovakItemOpensTheSlovakSetup)
{
    StartMenu();
    InstallItemOpensItsSetup(kSlovak);
}

TEST_F(SetupFromCd, EnglishItemOpensTheEnglishSetup)
{
    StartMenu();
    InstallItemOpensItsSetup(kEnglish);
}

TEST_F(SetupFromCd, BothItemsOneAfterTheOther)
{
    StartMenu();
    InstallItemOpensItsSetup(kSlovak);
    InstallItemOpensItsSetup(kEnglish);
}

// A folder under a file cannot be made: the setup says so in its language,
// then offers its wizard (silent, it would end with status 2), whose folder
// page shows that folder and does not go on. A folder the page takes but that
// cannot be made (longer than Windows allows) is told there, and the page
// keeps the user.
TEST_F(SetupFromCd, RefusedFolderIsToldInTheSetupsLanguage)
{
    const std::string blocker = temp_.file("blocker");
    testing_support::WriteFile(blocker, "in the way");
    for (const Language* l : {&kSlovak, &kEnglish}) {
        const std::string program = cd_ + "\\Setup\\" + l->program;
        const std::string folder = blocker + "\\Velmora Lite";
        Process setup(program, "\"" + program + "\" /D=" + folder, temp_.path());
        ASSERT_TRUE(setup.started());
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = FindVisibleWindow(setup.pid(), "#32770")); }))
            << "no message from " << l->program;
        EXPECT_EQ(Text(box), l->caption);
        const std::wstring wfolder(folder.begin(), folder.end());
        const std::wstring text = Text(GetDlgItem(box, 0xFFFF));
        EXPECT_EQ(text.substr(0, l->cannotWrite.size() + 2 + wfolder.size()),
                  l->cannotWrite + L"\r\n" + wfolder)
            << Narrow(text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        HWND wizard = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            wizard = FindByCaption(l->caption);
            return wizard && wizard != box && ShowsText(wizard, l->welcome);
        })) << "no wizard after the message";
        Press(wizard, kNext);
        HWND field = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (field = Control(wizard, kFolderField)) != nullptr; }))
            << "no folder page";
        EXPECT_EQ(Text(field), wfolder);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(wizard, kNext)));
        const std::wstring tooLong =
            L"C:\\" + std::wstring(150, L'a') + L"\\" + std::wstring(150, L'b') + L"\\Velmora Lite";
        SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(tooLong.c_str()));
        ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(wizard, kNext)) != FALSE; }));
        Press(wizard, kNext);
        EXPECT_TRUE(Answer(wizard, l->cannotWrite + L"\r\n" + tooLong, IDOK));
        EXPECT_EQ(Control(wizard, kFolderField), field) << "the wizard left the folder page";
        Cancel(wizard, *l);
        EXPECT_EQ(setup.ExitStatus(), 1);
    }
}

} // namespace
