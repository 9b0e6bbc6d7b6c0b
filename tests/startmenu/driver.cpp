// Driving autorun.exe from outside: CD layout, process, input, screenshots,
// records and the windows of another process.
#include "driver.h"

#include <tlhelp32.h>

#include <cstring>

#include "otherwindows.h"

using testing_support::Deliverable;
using testing_support::FileExists;
using testing_support::FindVisibleWindow;
using testing_support::WaitFor;

namespace startmenu_test {

namespace {

template <typename T> T Read(const std::string& bytes, size_t offset)
{
    T value{};
    memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// A 32-bit top-down DIB section of the given size, selected into a memory DC.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), height_(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        menu::WindowDc screen(nullptr);
        dc_ = CreateCompatibleDC(screen.get());
        bitmap_ = CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        selected_ = std::make_unique<menu::Selection>(dc_.get(), bitmap_.get());
    }
    HDC dc() const { return dc_.get(); }
    Picture Contents() const
    {
        GdiFlush();
        Picture p;
        p.width = width_;
        p.height = height_;
        const auto* words = static_cast<const uint32_t*>(bits_);
        p.pixels.assign(words, words + size_t(width_) * height_);
        for (uint32_t& px : p.pixels)
            px &= 0xFFFFFF;
        return p;
    }
    void Fill(const Picture& picture)
    {
        auto* words = static_cast<uint32_t*>(bits_);
        std::copy(picture.pixels.begin(), picture.pixels.end(), words);
    }

  private:
    int width_, height_;
    void* bits_ = nullptr;
    menu::MemoryDc dc_;
    menu::GdiObject bitmap_;
    std::unique_ptr<menu::Selection> selected_;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param)
{
    char className[64] = {};
    GetClassNameA(hwnd, className, sizeof className);
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    reinterpret_cast<std::vector<ChildWindow>*>(param)->push_back(
        {hwnd, className, text, GetWindowLongA(hwnd, GWL_ID), GetWindowLongA(hwnd, GWL_STYLE)});
    return TRUE;
}

GUITHREADINFO ThreadInfoOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info;
}

} // namespace

bool InBand(int x, int y)
{
    for (const RECT& r : {kWebBand, kEmailBand, kStatusBand})
        if (x >= r.left && x < r.right && y >= r.top - 1 && y < r.bottom + 1)
            return true;
    return false;
}

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

std::string Environment(const char* name)
{
    char value[MAX_PATH + 1] = {};
    const DWORD size = GetEnvironmentVariableA(name, value, sizeof value);
    return size && size < sizeof value ? value : "";
}

// ---- Pictures -----------------------------------------------------------------------

Picture ReadBitmap8(const std::string& path)
{
    const std::string file = testing_support::ReadFile(path);
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

Picture Background()
{
    return ReadBitmap8(std::string(SOURCE_DIR) + "\\startmenu\\res\\background.bmp");
}

Picture ScreenArea(const RECT& screen)
{
    const int width = screen.right - screen.left, height = screen.bottom - screen.top;
    Canvas canvas(width, height);
    menu::WindowDc desktop(nullptr);
    BitBlt(canvas.dc(), 0, 0, width, height, desktop.get(), screen.left, screen.top, SRCCOPY);
    return canvas.Contents();
}

Picture Screenshot(HWND hwnd)
{
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    return ScreenArea({origin.x, origin.y, origin.x + kClient, origin.y + kClient});
}

int CountColour(const Picture& p, RECT r, uint32_t colour)
{
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            count += p.At(x, y) == colour;
    return count;
}

int Differing(const Picture& a, const Picture& b, RECT r)
{
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            count += a.At(x, y) != b.At(x, y);
    return count;
}

Picture DrawnLabel(const Picture& background, const std::wstring& text, int x, int top,
                   bool alignRight)
{
    Canvas canvas(background.width, background.height);
    canvas.Fill(background);
    LOGFONTW font{};
    font.lfHeight = -12;
    font.lfWeight = FW_BOLD;
    font.lfCharSet = EASTEUROPE_CHARSET;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    lstrcpyW(font.lfFaceName, L"Arial");
    menu::GdiObject arial(CreateFontIndirectW(&font));
    menu::Selection selected(canvas.dc(), arial.get());
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), RGB(64, 0, 0));
    SetTextAlign(canvas.dc(), TA_TOP | (alignRight ? TA_RIGHT : TA_LEFT));
    TextOutW(canvas.dc(), x, top, text.c_str(), int(text.size()));
    return canvas.Contents();
}

Picture DrawnIcon(HICON icon, int size, uint32_t background)
{
    Canvas canvas(size, size);
    Picture plain;
    plain.width = plain.height = size;
    plain.pixels.assign(size_t(size) * size, background);
    canvas.Fill(plain);
    DrawIconEx(canvas.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    return canvas.Contents();
}

// ---- Files and records ------------------------------------------------------------

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

std::optional<Record> WaitForRecord(const std::string& exePath)
{
    const std::string log = exePath.substr(0, exePath.size() - 4) + ".txt";
    std::string text;
    if (!WaitFor([&] { return ReadShared(log, text); }))
        return std::nullopt;
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
    if (lines.size() != 4)
        return std::nullopt;
    return Record{lines[0], lines[1], lines[2], std::stoul(lines[3], nullptr, 16)};
}

bool WaitForProgramToEnd(const std::string& exePath)
{
    const std::string name = Lower(exePath.substr(exePath.find_last_of('\\') + 1));
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    menu::KernelHandle processes(snapshot);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (Lower(entry.szExeFile) != name)
            continue;
        menu::KernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                               FALSE, entry.th32ProcessID));
        if (!process)
            continue; // ended meanwhile
        char image[MAX_PATH] = {};
        DWORD size = sizeof image;
        if (QueryFullProcessImageNameA(process.get(), 0, image, &size) &&
            Lower(image) == Lower(exePath) &&
            WaitForSingleObject(process.get(), 15000) != WAIT_OBJECT_0)
            return false;
    }
    return true;
}

// ---- Windows of other processes -------------------------------------------------------

std::string WindowText(HWND hwnd)
{
    char text[1024] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string MessageBoxText(HWND box)
{
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

std::vector<ChildWindow> Children(HWND parent)
{
    std::vector<ChildWindow> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND CaptureOf(HWND window)
{
    return ThreadInfoOf(window).hwndCapture;
}

HWND FocusOf(HWND window)
{
    return ThreadInfoOf(window).hwndFocus;
}

HCURSOR PointerShown()
{
    CURSORINFO info{};
    info.cbSize = sizeof info;
    GetCursorInfo(&info);
    return info.hCursor;
}

namespace {

INPUT ButtonAt(POINT screen, DWORD buttonFlags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | buttonFlags;
    return input;
}

} // namespace

void SendButtonAt(POINT screen, DWORD buttonFlags)
{
    INPUT input = ButtonAt(screen, buttonFlags);
    SendInput(1, &input, sizeof input);
}

void SendClickAt(POINT screen)
{
    INPUT input[2] = {ButtonAt(screen, MOUSEEVENTF_LEFTDOWN), ButtonAt(screen, MOUSEEVENTF_LEFTUP)};
    SendInput(2, input, sizeof input[0]);
}

void SendKey(WORD key)
{
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof input[0]);
}

// ---- A running start menu -------------------------------------------------------------

Process::Process(const std::string& program, const std::string& directory, std::optional<WORD> show)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (show) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = *show;
    }
    std::string commandLine = "\"" + program + "\"";
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        directory.c_str(), &startup, &info))
        return;
    process_ = info.hProcess;
    thread_ = info.hThread;
    pid_ = info.dwProcessId;
}

Process::~Process()
{
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }
}

bool Process::Ended(DWORD limitMs) const
{
    return process_ && WaitForSingleObject(process_.get(), limitMs) == WAIT_OBJECT_0;
}

bool Process::Idle(DWORD limitMs) const
{
    return process_ && WaitForInputIdle(process_.get(), limitMs) == 0;
}

void StartMenuTest::Launch(const std::string& cdName, std::optional<WORD> show)
{
    LayOut(cdName);
    Start(cd_, show);
}

void StartMenuTest::LayOutIn(const std::string& folder)
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

void StartMenuTest::Start(const std::string& folder, std::optional<WORD> show)
{
    appPath_ = folder.back() == '\\' ? folder : folder + "\\";
    // The pointer goes off the window's place before the window exists. Had
    // the window appeared under it, its mapping would report that position,
    // and that report, read late by the start menu's thread, can stand in for
    // the test's first move in Wine's input queue: the move is lost, and with
    // it the tooltip or highlight it should bring.
    ParkPointer();
    menu_ = std::make_unique<Process>(Program(), temp_.path(), show);
    ASSERT_TRUE(menu_->started());
    ASSERT_TRUE(WaitFor([&] { return (window_ = FindVisibleWindow(menu_->pid(), "Hlavne")); }))
        << "the start menu's window did not appear";
    // The window shows halfway through the start: the program still sets its
    // show state and focus before it reads its first message.
    ASSERT_TRUE(menu_->Idle()) << "the start menu did not come to wait for input";
    WaitFor([&] { return GetForegroundWindow() == window_; }, 3000);
}

void StartMenuTest::RemoveSetupFolder()
{
    const std::string setup = AppPath() + "Setup\\";
    for (const char* name : {kSkSetup, kEnSetup})
        ASSERT_TRUE(DeleteFileA((setup + name).c_str()));
    ASSERT_TRUE(RemoveDirectoryA(setup.c_str()));
}

void StartMenuTest::TearDown()
{
    if (menu_ && window_ && IsWindow(window_))
        PostMessageA(window_, WM_CLOSE, 0, 0);
    if (menu_)
        menu_->Ended(5000);
    menu_.reset();
}

POINT StartMenuTest::OnScreen(POINT client) const
{
    ClientToScreen(window_, &client);
    return client;
}

void StartMenuTest::MoveTo(POINT client) const
{
    const POINT p = OnScreen(client);
    SetCursorPos(p.x, p.y);
}

void StartMenuTest::ClickAt(POINT client) const
{
    MoveTo(client);
    SendClickAt(OnScreen(client));
}

void StartMenuTest::PressAt(POINT client) const
{
    MoveTo(client);
    SendButtonAt(OnScreen(client), MOUSEEVENTF_LEFTDOWN);
    EXPECT_TRUE(WaitFor([&] { return CaptureOf(window_) == window_; }))
        << "the window did not take the mouse for the press";
}

void StartMenuTest::ReleaseAt(POINT client) const
{
    SendButtonAt(OnScreen(client), MOUSEEVENTF_LEFTUP);
}

bool StartMenuTest::PointerBecomes(POINT client, HCURSOR expected) const
{
    MoveTo(client);
    return WaitFor([&] { return PointerShown() == expected; });
}

bool StartMenuTest::BandShows(const RECT& band, uint32_t colour, uint32_t otherColour) const
{
    const Picture shot = Screenshot(window_);
    return CountColour(shot, band, colour) > 10 && CountColour(shot, band, otherColour) == 0;
}

int StartMenuTest::LabelDiffering(const std::wstring& text, int x, int top, bool alignRight,
                                  const RECT& band) const
{
    const Picture expected = DrawnLabel(Background(), text, x, top, alignRight);
    int differing = 0;
    WaitFor([&] { return (differing = Differing(Screenshot(window_), expected, band)) == 0; });
    return differing;
}

// GetWindowText reads only the caption of another process's window; the
// tooltip answers WM_GETTEXT with the text it shows.
std::wstring StartMenuTest::TooltipText() const
{
    HWND tip = FindVisibleWindow(menu_->pid(), "tooltips_class32");
    wchar_t text[128] = {};
    if (tip)
        SendMessageW(tip, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND StartMenuTest::WaitForMessageBox(const Process& process) const
{
    HWND box = nullptr;
    WaitFor([&] { return (box = FindVisibleWindow(process.pid(), "#32770")); });
    return box;
}

} // namespace startmenu_test
