// The start menu's decisions: layout table, hover state, clicks, the
// single-copy answer, program folder, commands and message texts, and the
// code page 1250 table. No Windows header here.
#include "menu.h"

namespace menu {

namespace {

constexpr char kInstallSk[] = "In\x9atal\xe1"
                              "cia Velmora Lite Sk";
constexpr char kInstallEn[] = "Install Velmora Lite En";
constexpr char kDocuments[] = "Dokumenty k Velmora/Documents for Velmora";

constexpr char kSetupSk[] = "Setup\\setup_velmora_sdk_lite_sk.exe";
constexpr char kSetupEn[] = "Setup\\setup_velmora_sdk_lite_en.exe";
constexpr char kDocumentsFolder[] = "Documents";

const std::array<ControlSettings, kControlCount> kControls{{
    {Control::cmdQuit, "cmdQuit", {11400, 60, 495, 435}, Align::None, Pointer::Arrow, 6},
    {Control::lblInstall2, "lblInstall(2)", {4320, 5400, 3660, 300}, Align::None, Pointer::Hand, 0},
    {Control::lblInstall1, "lblInstall(1)", {600, 3000, 2970, 300}, Align::None, Pointer::Hand, 1},
    {Control::lblInstall0, "lblInstall(0)", {600, 1920, 3690, 300}, Align::None, Pointer::Hand, 2},
    {Control::lblEmail, "lblEmail", {5970, 7365, 1695, 225}, Align::Right, Pointer::Hand, 3},
    {Control::lblWeb, "lblWeb", {5610, 6780, 2055, 225}, Align::Right, Pointer::Hand, 4},
    {Control::lblStatus, "lblStatus", {2400, 8100, 5775, 225}, Align::Left, Pointer::Arrow, 5},
}};

std::string Quoted(const std::string& path)
{
    return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

// Code page 1250 from 0x80 to 0xFF; below 0x80 it is ASCII. The five bytes
// that the code page leaves unassigned (0x81, 0x83, 0x88, 0x90, 0x98) stand
// for the control characters of the same value, as Windows' own table has it.
constexpr char16_t kCp1250High[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, // 0x98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // 0xA0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, // 0xA8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, // 0xB8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // 0xC0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, // 0xC8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // 0xD0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, // 0xD8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // 0xE0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, // 0xE8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // 0xF0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, // 0xF8
};

} // namespace

std::wstring WideFromCp1250(const std::string& cp1250)
{
    std::wstring wide;
    wide.reserve(cp1250.size());
    for (const char c : cp1250) {
        const auto byte = static_cast<unsigned char>(c);
        wide += static_cast<wchar_t>(byte < 0x80 ? byte : kCp1250High[byte - 0x80]);
    }
    return wide;
}

std::string EmailLabelText()
{
    return kSupportEmail;
}
std::string WebLabelText()
{
    return std::string(kWebHost) + kWebPath;
}
std::string EmailTarget()
{
    return "mailto:" + EmailLabelText();
}
std::string WebTarget()
{
    return "http://" + WebLabelText();
}

std::string EmailFailedMessage()
{
    return "Cannot send e-mail to address: " + EmailLabelText() + "!";
}

std::string WebFailedMessage()
{
    return "Cannot open HTML page: " + WebTarget() + "!";
}

std::string RunFailedMessage(const std::string& commandLine)
{
    return "Cannot run application: " + commandLine + "!";
}

Rect TwipsToPixels(const Rect& t)
{
    return {t.left / kTwipsPerPixel, t.top / kTwipsPerPixel, t.width / kTwipsPerPixel,
            t.height / kTwipsPerPixel};
}

const std::array<ControlSettings, kControlCount>& Controls()
{
    return kControls;
}

const ControlSettings& Settings(Control control)
{
    return kControls[static_cast<int>(control)];
}

std::string Text(Control control)
{
    switch (control) {
    case Control::lblEmail:
        return EmailLabelText();
    case Control::lblWeb:
        return WebLabelText();
    case Control::lblStatus:
        return kContactLine;
    default:
        return {};
    }
}

std::string Tooltip(Control control)
{
    switch (control) {
    case Control::lblInstall0:
        return kInstallSk;
    case Control::lblInstall1:
        return kInstallEn;
    case Control::lblInstall2:
        return kDocuments;
    case Control::lblEmail:
        return "E-mail: " + EmailLabelText();
    case Control::lblWeb:
        return "Web: " + WebLabelText();
    default:
        return {};
    }
}

std::optional<int> InstallIndex(Control control)
{
    switch (control) {
    case Control::lblInstall0:
        return 0;
    case Control::lblInstall1:
        return 1;
    case Control::lblInstall2:
        return 2;
    default:
        return std::nullopt;
    }
}

Layout::Layout(int emailTextWidth, int webTextWidth, int statusTextWidth)
{
    for (const ControlSettings& settings : kControls) {
        Rect r = TwipsToPixels(settings.twips);
        const int textWidth = settings.control == Control::lblEmail ? emailTextWidth
                              : settings.control == Control::lblWeb ? webTextWidth
                                                                    : statusTextWidth;
        if (settings.autoSize == Align::Right) {
            r.left = r.right() - textWidth;
            r.width = textWidth;
        } else if (settings.autoSize == Align::Left) {
            r.width = textWidth;
        }
        rects_[static_cast<int>(settings.control)] = r;
    }
}

std::optional<Control> Layout::HitTest(int x, int y) const
{
    // No two rectangles overlap, so the first hit is the only one.
    for (const ControlSettings& settings : kControls) {
        if (Of(settings.control).Contains(x, y))
            return settings.control;
    }
    return std::nullopt;
}

MoveOver Classify(const Layout& layout, int x, int y)
{
    if (x < 0 || y < 0 || x >= kClientPixels || y >= kClientPixels)
        return MoveOver::Outside;
    const std::optional<Control> hit = layout.HitTest(x, y);
    if (!hit)
        return MoveOver::Surface;
    if (*hit == Control::lblEmail)
        return MoveOver::Email;
    if (*hit == Control::lblWeb)
        return MoveOver::Web;
    return MoveOver::OtherControl;
}

HoverState AfterMove(HoverState state, MoveOver where)
{
    switch (where) {
    case MoveOver::Surface:
        return HoverState{};
    case MoveOver::Email:
        state.emailHighlighted = true;
        return state;
    case MoveOver::Web:
        state.webHighlighted = true;
        return state;
    default:
        return state;
    }
}

std::optional<Control> ClickTracker::Release(std::optional<Control> over)
{
    const std::optional<Control> pressed = pressed_;
    pressed_.reset();
    if (pressed && pressed == over)
        return pressed;
    return std::nullopt;
}

bool AnotherCopyRuns(SingleCopyAnswer answer)
{
    return answer == SingleCopyAnswer::AlreadyExists || answer == SingleCopyAnswer::AccessDenied;
}

AppFolder FolderOfProgram(const std::string& programFile)
{
    const size_t slash = programFile.find_last_of('\\');
    std::string folder = slash == std::string::npos ? std::string() : programFile.substr(0, slash);
    // The folder of a program in a drive root is the root itself, "D:\".
    if (folder.size() == 2 && folder[1] == ':')
        folder += '\\';
    if (folder.size() > 3)
        folder += '\\';
    return {folder, folder.empty() ? '\0' : folder[0]};
}

std::optional<std::string> InstallCommandLine(const AppFolder& app, int index)
{
    switch (index) {
    case 0:
        return Quoted(app.path + kSetupSk);
    case 1:
        return Quoted(app.path + kSetupEn);
    case 2:
        return "explorer.exe " + Quoted(app.path + kDocumentsFolder);
    default:
        return std::nullopt;
    }
}

std::optional<InstallCommand> InstallItemCommand(const AppFolder& app,
                                                 const std::string& windowsFolder, int index)
{
    const std::optional<std::string> commandLine = InstallCommandLine(app, index);
    if (!commandLine)
        return std::nullopt;
    if (index == 2) {
        const bool endsInSlash = !windowsFolder.empty() && windowsFolder.back() == '\\';
        return InstallCommand{windowsFolder + (endsInSlash ? "" : "\\") + "explorer.exe",
                              Quoted(app.path + kDocumentsFolder), *commandLine};
    }
    return InstallCommand{app.path + (index == 0 ? kSetupSk : kSetupEn), "", *commandLine};
}

} // namespace menu
