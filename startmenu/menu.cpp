// The start menu's decisions: layout table, hover state, program folder,
// command lines and message texts. No Windows header here.
#include "menu.h"

namespace menu {

namespace {

constexpr char kInstallSk[] = "In\x9atal\xe1"
                              "cia Velmora Lite Sk";
constexpr char kInstallEn[] = "Install Velmora Lite En";
constexpr char kDocuments[] = "Dokumenty k Velmora/Documents for Velmora";

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

} // namespace

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
        return Quoted(app.path + "Setup\\setup_velmora_sdk_lite_sk.exe");
    case 1:
        return Quoted(app.path + "Setup\\setup_velmora_sdk_lite_en.exe");
    case 2:
        return "explorer.exe " + Quoted(app.path + "Documents");
    default:
        return std::nullopt;
    }
}

} // namespace menu
