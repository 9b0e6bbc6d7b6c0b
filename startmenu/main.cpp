// The start menu's window Hlavne: program start with the single-copy check,
// the window class and one handler per message. The labels are drawn on the
// background picture and hit-tested against the layout table; only cmdQuit,
// off screen, is a real child window, so that it can hold the keyboard focus.
//
// The window, its class and its message loop use the ANSI functions, which
// every Windows from 95 on has. The texts are drawn in Unicode with the text
// functions that Windows 95, 98 and ME implement natively (ExtTextOutW,
// GetTextExtentPoint32W), in a font of the Central European character set.
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

constexpr char kClassName[] = "Hlavne";
constexpr char kSingleCopyMutex[] = "Velmora.CD.StartMenu";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr int kQuitId = IDCANCEL; // Esc presses it as well as Enter and Space

// Windows 95, 98 and ME keep a control's text in bytes and show them in the
// control's font; Windows NT and its successors keep Unicode.
bool UnicodeWindows()
{
    return (GetVersion() & 0x80000000u) == 0;
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

SingleCopyAnswer AskForSingleCopy(KernelHandle& object)
{
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, kSingleCopyMutex);
    const DWORD error = GetLastError();
    object = mutex;
    if (mutex)
        return error == ERROR_ALREADY_EXISTS ? SingleCopyAnswer::AlreadyExists
                                             : SingleCopyAnswer::Created;
    return error == ERROR_ACCESS_DENIED ? SingleCopyAnswer::AccessDenied : SingleCopyAnswer::Failed;
}

// Arial 9 pt bold at 96 dots per inch, in the Central European character set:
// the labels' font.
HFONT CreateLabelFont()
{
    LOGFONTA font{};
    font.lfHeight = -12;
    font.lfWeight = FW_BOLD;
    font.lfCharSet = EASTEUROPE_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

// The system's tooltip font (the status font) in the Central European
// character set, so that Windows 95, 98 and ME show the Slovak letters of the
// tooltips' code page 1250 bytes whatever code page the machine has; NT draws
// Unicode and takes the same font unchanged. Null if the system names none.
HFONT CreateTooltipFont()
{
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    metrics.lfStatusFont.lfCharSet = EASTEUROPE_CHARSET;
    return CreateFontIndirectA(&metrics.lfStatusFont);
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
    void OnGetMinMaxInfo(MINMAXINFO& info) const;
    void OnMouseMove(int x, int y);
    void OnButtonDown(int x, int y);
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
    RECT frame_{}; // the window's one place and size on the screen
    KernelHandle singleCopy_;
    GdiObject background_;
    GdiObject font_;
    GdiObject tooltipFont_;
    HCURSOR hand_ = nullptr;
    Layout layout_{0, 0, 0};
    HoverState hover_;
    ClickTracker clicks_;
    AppFolder app_;
    std::unique_ptr<WindowsPlatform> platform_;
};

bool MainWindow::Create()
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDR_ICON));
    wc.hIconSm = static_cast<HICON>(
        LoadImageA(instance_, MAKEINTRESOURCEA(IDR_ICON), IMAGE_ICON, 16, 16, LR_SHARED));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);

    RECT frame{0, 0, kClientPixels, kClientPixels};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    frame_ = {x, y, x + width, y + height};
    CreateWindowExA(0, kClassName, kWindowTitle, kStyle, x, y, width, height, nullptr, nullptr,
                    instance_, this);
    return hwnd_ != nullptr;
}

// Refuses a second copy; otherwise fixes the program folder. Changes neither
// the current drive nor the current directory.
bool MainWindow::Form_Load()
{
    if (AnotherCopyRuns(AskForSingleCopy(singleCopy_))) {
        MessageBoxA(nullptr, kAlreadyRunning, kErrorTitle, kErrorStyle);
        return false;
    }
    app_ = FolderOfProgram(ProgramFile());
    return true;
}

void MainWindow::Show()
{
    // The first ShowWindow of a program follows the show command its launcher
    // gave (STARTUPINFO) instead of its own; a maximised one is undone here,
    // and WM_GETMINMAXINFO keeps even a maximised window at its one size.
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    if (IsZoomed(hwnd_))
        ShowWindow(hwnd_, SW_RESTORE);
    UpdateWindow(hwnd_);
    SetFocus(quit_);
}

LRESULT CALLBACK MainWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcA(hwnd, message, wParam, lParam);
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
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && OnSetCursor())
            return TRUE;
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(short(LOWORD(lParam)), short(HIWORD(lParam)));
        return 0;
    case WM_LBUTTONDOWN:
        OnButtonDown(short(LOWORD(lParam)), short(HIWORD(lParam)));
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp(short(LOWORD(lParam)), short(HIWORD(lParam)));
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd_)
            clicks_.HoldLost();
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
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void MainWindow::OnCreate()
{
    background_ = LoadImageA(instance_, MAKEINTRESOURCEA(IDR_BACKGROUND), IMAGE_BITMAP, 0, 0,
                             LR_CREATEDIBSECTION);
    font_ = CreateLabelFont();
    tooltipFont_ = CreateTooltipFont();
    hand_ = static_cast<HCURSOR>(LoadImageA(instance_, MAKEINTRESOURCEA(IDR_HAND_POINTER),
                                            IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    {
        WindowDc dc(hwnd_);
        Selection font(dc.get(), font_.get());
        layout_ =
            Layout(TextWidth(dc.get(), Control::lblEmail), TextWidth(dc.get(), Control::lblWeb),
                   TextWidth(dc.get(), Control::lblStatus));
    }
    const Rect q = layout_.Of(Control::cmdQuit);
    quit_ = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                            q.left, q.top, q.width, q.height, hwnd_,
                            reinterpret_cast<HMENU>(INT_PTR(kQuitId)), instance_, nullptr);
    CreateTooltips();
    platform_ = std::make_unique<WindowsPlatform>(hwnd_, [this] { SetHover(HoverState{}); });
}

int MainWindow::TextWidth(HDC dc, Control control) const
{
    const std::wstring text = WideFromCp1250(Text(control));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    return size.cx;
}

// One tool of the tooltip window, in either of its character forms.
template <typename ToolInfo, typename Char>
void AddTool(HWND tips, UINT message, UINT size, HWND owner, UINT_PTR id, RECT rect, Char* text)
{
    ToolInfo tool{};
    tool.cbSize = size;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = id;
    tool.rect = rect;
    tool.lpszText = text;
    SendMessageA(tips, message, 0, reinterpret_cast<LPARAM>(&tool));
}

// Windows NT gets the tooltips' texts in Unicode (TTM_ADDTOOLW), right on a
// machine of any code page. Windows 95, 98 and ME get the code page 1250
// bytes (TTM_ADDTOOLA); the tooltip's font of the Central European character
// set makes them the Slovak letters.
void MainWindow::CreateTooltips()
{
    HWND tips =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    if (tooltipFont_)
        SendMessageA(tips, WM_SETFONT, reinterpret_cast<WPARAM>(tooltipFont_.get()), FALSE);
    const bool unicode = UnicodeWindows();
    for (const ControlSettings& settings : Controls()) {
        std::string text = Tooltip(settings.control);
        if (text.empty())
            continue;
        const UINT_PTR id = UINT_PTR(settings.control) + 1;
        const RECT rect = ToRect(layout_.Of(settings.control));
        if (unicode) {
            std::wstring wide = WideFromCp1250(text);
            AddTool<TTTOOLINFOW>(tips, TTM_ADDTOOLW, TTTOOLINFOW_V1_SIZE, hwnd_, id, rect,
                                 &wide[0]);
        } else {
            AddTool<TTTOOLINFOA>(tips, TTM_ADDTOOLA, TTTOOLINFOA_V1_SIZE, hwnd_, id, rect,
                                 &text[0]);
        }
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
        bool alignRight;
    } labels[] = {{Control::lblEmail, EmailColour(hover_), true},
                  {Control::lblWeb, WebColour(hover_), true},
                  {Control::lblStatus, kLinkColour, false}};
    for (const auto& label : labels) {
        const std::wstring text = WideFromCp1250(Text(label.control));
        const Rect& r = layout_.Of(label.control);
        SetTextColor(canvas.get(), ColourRef(label.colour));
        SetTextAlign(canvas.get(),
                     TA_TOP | TA_NOUPDATECP | (label.alignRight ? TA_RIGHT : TA_LEFT));
        ExtTextOutW(canvas.get(), label.alignRight ? r.right() : r.left, r.top, 0, nullptr,
                    text.c_str(), UINT(text.size()), nullptr);
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

// Whoever maximises the window gets it at its one size and place.
void MainWindow::OnGetMinMaxInfo(MINMAXINFO& info) const
{
    const POINT size{frame_.right - frame_.left, frame_.bottom - frame_.top};
    info.ptMaxSize = size;
    info.ptMaxPosition = {frame_.left, frame_.top};
    info.ptMinTrackSize = size;
    info.ptMaxTrackSize = size;
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

void MainWindow::OnButtonDown(int x, int y)
{
    clicks_.Press(layout_.HitTest(x, y));
    SetCapture(hwnd_);
}

void MainWindow::OnButtonUp(int x, int y)
{
    const std::optional<Control> clicked = clicks_.Release(layout_.HitTest(x, y));
    ReleaseCapture();
    if (!clicked)
        return;
    if (const std::optional<int> index = InstallIndex(*clicked))
        lblInstall_Click(int16_t(*index));
    else if (*clicked == Control::lblEmail)
        lblEmail_Click();
    else if (*clicked == Control::lblWeb)
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
    InitCommonControls();
    MainWindow window(instance);
    if (!window.Create() || !window.Form_Load())
        return 0;
    window.Show();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (window.hwnd() && IsDialogMessageA(window.hwnd(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

} // namespace
} // namespace menu

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return menu::Run(instance);
}
