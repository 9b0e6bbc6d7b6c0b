// The start menu's window Hlavne: program start with the single-copy check,
// the window class and one handler per message. The labels are drawn on the
// background picture and hit-tested against the layout table; only cmdQuit,
// off screen, is a real child window, so that it can hold the keyboard focus.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>

#include "actions.h"
#include "handles.h"
#include "menu.h"
#include "platform.h"
#include "resource.h"

namespace menu {
namespace {

constexpr wchar_t kClassName[] = L"Hlavne";
constexpr char kSingleCopyMutex[] = "Velmora.CD.StartMenu";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr int kQuitId = IDCANCEL; // Esc presses it as well as Enter and Space

std::wstring Wide(const std::string& cp1250)
{
    if (cp1250.empty())
        return {};
    const int size = MultiByteToWideChar(1250, 0, cp1250.data(), int(cp1250.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(1250, 0, cp1250.data(), int(cp1250.size()), &wide[0], size);
    return wide;
}

// The program file's full path, however long.
std::string ProgramFile()
{
    std::string file(MAX_PATH, '\0');
    for (;;) {
        const DWORD size = GetModuleFileNameA(nullptr, &file[0], DWORD(file.size()));
        if (size < file.size()) {
            file.resize(size);
            return file;
        }
        file.resize(file.size() * 2);
    }
}

COLORREF ColourRef(Rgb c)
{
    return RGB(c.r, c.g, c.b);
}

RECT ToRect(const Rect& r)
{
    return {r.left, r.top, r.right(), r.bottom()};
}

class MainWindow {
  public:
    explicit MainWindow(HINSTANCE instance) : instance_(instance) {}
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow()
    {
        if (hwnd_)
            DestroyWindow(hwnd_);
    }

    bool Create();
    bool Form_Load();
    void Show();
    HWND hwnd() const { return hwnd_; }

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnPaint();
    bool OnSetCursor();
    void OnMouseMove(int x, int y);
    void OnButtonUp(int x, int y);

    void Form_MouseMove() { SetHover(AfterMove(hover_, MoveOver::Surface)); }
    void lblEmail_MouseMove() { SetHover(AfterMove(hover_, MoveOver::Email)); }
    void lblWeb_MouseMove() { SetHover(AfterMove(hover_, MoveOver::Web)); }
    void lblInstall_Click(int16_t index);
    void lblEmail_Click();
    void lblWeb_Click();
    void cmdQuit_Click() { DestroyWindow(hwnd_); }

    void SetHover(HoverState hover);
    void InvalidateControl(Control control);
    void CreateTooltips();
    int TextWidth(HDC dc, Control control) const;

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND quit_ = nullptr;
    KernelHandle singleCopy_;
    GdiObject background_;
    GdiObject font_;
    HCURSOR hand_ = nullptr;
    Layout layout_{0, 0, 0};
    HoverState hover_;
    AppFolder app_;
    std::optional<Control> pressed_;
    std::unique_ptr<WindowsPlatform> platform_;
};

bool MainWindow::Create()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDR_ICON));
    wc.hIconSm = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDR_ICON), IMAGE_ICON, 16, 16, LR_SHARED));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);

    RECT frame{0, 0, kClientPixels, kClientPixels};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    CreateWindowExW(0, kClassName, Wide(kWindowTitle).c_str(), kStyle, x, y, width, height, nullptr,
                    nullptr, instance_, this);
    return hwnd_ != nullptr;
}

// Refuses a second copy; otherwise fixes the program folder. Changes neither
// the current drive nor the current directory.
bool MainWindow::Form_Load()
{
    singleCopy_ = CreateMutexA(nullptr, FALSE, kSingleCopyMutex);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        MessageBoxA(nullptr, kAlreadyRunning, kErrorTitle, kErrorStyle);
        return false;
    }
    app_ = FolderOfProgram(ProgramFile());
    return true;
}

void MainWindow::Show()
{
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetFocus(quit_);
}

LRESULT CALLBACK MainWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the picture covers the whole client area
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && OnSetCursor())
            return TRUE;
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(short(LOWORD(lParam)), short(HIWORD(lParam)));
        return 0;
    case WM_LBUTTONDOWN:
        pressed_ = layout_.HitTest(short(LOWORD(lParam)), short(HIWORD(lParam)));
        SetCapture(hwnd_);
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp(short(LOWORD(lParam)), short(HIWORD(lParam)));
        return 0;
    case WM_SETFOCUS:
        SetFocus(quit_); // cmdQuit is the only control that takes the focus
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kQuitId || LOWORD(wParam) == IDOK)
            cmdQuit_Click();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::OnCreate()
{
    background_ = LoadImageW(instance_, MAKEINTRESOURCEW(IDR_BACKGROUND), IMAGE_BITMAP, 0, 0,
                             LR_CREATEDIBSECTION);
    font_ = CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, EASTEUROPE_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, L"Arial");
    hand_ = static_cast<HCURSOR>(LoadImageW(instance_, MAKEINTRESOURCEW(IDR_HAND_POINTER),
                                            IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    {
        WindowDc dc(hwnd_);
        Selection font(dc.get(), font_.get());
        layout_ =
            Layout(TextWidth(dc.get(), Control::lblEmail), TextWidth(dc.get(), Control::lblWeb),
                   TextWidth(dc.get(), Control::lblStatus));
    }
    const Rect q = layout_.Of(Control::cmdQuit);
    quit_ = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                            q.left, q.top, q.width, q.height, hwnd_,
                            reinterpret_cast<HMENU>(INT_PTR(kQuitId)), instance_, nullptr);
    CreateTooltips();
    platform_ = std::make_unique<WindowsPlatform>(hwnd_, [this] { SetHover(HoverState{}); });
}

int MainWindow::TextWidth(HDC dc, Control control) const
{
    const std::wstring text = Wide(Text(control));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    return size.cx;
}

void MainWindow::CreateTooltips()
{
    HWND tips =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    for (const ControlSettings& settings : Controls()) {
        std::wstring text = Wide(Tooltip(settings.control));
        if (text.empty())
            continue;
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = UINT_PTR(settings.control) + 1;
        tool.rect = ToRect(layout_.Of(settings.control));
        tool.hinst = instance_;
        tool.lpszText = &text[0];
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void MainWindow::OnPaint()
{
    PaintDc target(hwnd_);
    MemoryDc canvas(CreateCompatibleDC(target.get()));
    GdiObject surface(CreateCompatibleBitmap(target.get(), kClientPixels, kClientPixels));
    Selection onCanvas(canvas.get(), surface.get());
    {
        MemoryDc picture(CreateCompatibleDC(target.get()));
        Selection image(picture.get(), background_.get());
        BitBlt(canvas.get(), 0, 0, kClientPixels, kClientPixels, picture.get(), 0, 0, SRCCOPY);
    }
    Selection font(canvas.get(), font_.get());
    SetBkMode(canvas.get(), TRANSPARENT);
    const struct {
        Control control;
        Rgb colour;
        UINT align;
    } labels[] = {{Control::lblEmail, EmailColour(hover_), DT_RIGHT},
                  {Control::lblWeb, WebColour(hover_), DT_RIGHT},
                  {Control::lblStatus, kLinkColour, DT_LEFT}};
    for (const auto& label : labels) {
        const std::wstring text = Wide(Text(label.control));
        RECT r = ToRect(layout_.Of(label.control));
        SetTextColor(canvas.get(), ColourRef(label.colour));
        DrawTextW(canvas.get(), text.c_str(), int(text.size()), &r,
                  label.align | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
    BitBlt(target.get(), 0, 0, kClientPixels, kClientPixels, canvas.get(), 0, 0, SRCCOPY);
}

bool MainWindow::OnSetCursor()
{
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(hwnd_, &p);
    const std::optional<Control> hit = layout_.HitTest(p.x, p.y);
    if (!hit || Settings(*hit).pointer != Pointer::Hand || !hand_)
        return false;
    SetCursor(hand_);
    return true;
}

void MainWindow::OnMouseMove(int x, int y)
{
    switch (Classify(layout_, x, y)) {
    case MoveOver::Surface:
        Form_MouseMove();
        break;
    case MoveOver::Email:
        lblEmail_MouseMove();
        break;
    case MoveOver::Web:
        lblWeb_MouseMove();
        break;
    default:
        break; // no move handler: no colour changes
    }
}

// A click is a press and a release over the same label.
void MainWindow::OnButtonUp(int x, int y)
{
    ReleaseCapture();
    const std::optional<Control> pressed = pressed_;
    pressed_.reset();
    const std::optional<Control> hit = layout_.HitTest(x, y);
    if (!pressed || pressed != hit)
        return;
    if (const std::optional<int> index = InstallIndex(*hit))
        lblInstall_Click(int16_t(*index));
    else if (*hit == Control::lblEmail)
        lblEmail_Click();
    else if (*hit == Control::lblWeb)
        lblWeb_Click();
}

void MainWindow::lblInstall_Click(int16_t index)
{
    RunInstallItem(*platform_, app_, index);
}
void MainWindow::lblEmail_Click()
{
    OpenEmail(*platform_);
}
void MainWindow::lblWeb_Click()
{
    OpenWebPage(*platform_);
}

void MainWindow::SetHover(HoverState hover)
{
    if (hover.emailHighlighted != hover_.emailHighlighted)
        InvalidateControl(Control::lblEmail);
    if (hover.webHighlighted != hover_.webHighlighted)
        InvalidateControl(Control::lblWeb);
    hover_ = hover;
}

void MainWindow::InvalidateControl(Control control)
{
    const RECT r = ToRect(layout_.Of(control));
    InvalidateRect(hwnd_, &r, FALSE);
}

int Run(HINSTANCE instance)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    MainWindow window(instance);
    if (!window.Create() || !window.Form_Load())
        return 0;
    window.Show();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (window.hwnd() && IsDialogMessageW(window.hwnd(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace
} // namespace menu

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return menu::Run(instance);
}
