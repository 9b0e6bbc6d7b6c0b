// What the start menu decides, apart from any Windows call: the window's layout
// table, the hover state of the two link labels, what makes a click, the
// single-copy answer, the program folder (AppPath, AppDrive), the commands of
// the install items and the message texts. Texts are single-byte Windows code
// page 1250; WideFromCp1250 gives them in Unicode for the text functions that
// draw the same letters on a machine of any code page.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace menu {

// ---- Product texts --------------------------------------------------------

constexpr char kWindowTitle[] = "Velmora";
constexpr char kSupportEmail[] = "velmora@danubiasoft.sk";
constexpr char kWebHost[] = "www.danubiasoft.sk";
constexpr char kWebPath[] = "/velmora";
// The supplier (Danubia Soft, whose logo is on the picture): Mlynská 14, 811 05 Bratislava, tel.
// 02/5441 2280
constexpr char kContactLine[] = "Mlynsk\xe1 14, 811 05 Bratislava, tel. 02/5441 2280";

constexpr char kErrorTitle[] = "Error";
constexpr unsigned kErrorStyle = 16; // OK button and the stop icon
constexpr char kAlreadyRunning[] = "Application is already running!";

// The Unicode text of code page 1250 bytes. The table is the program's own,
// so the conversion works also where Windows has no tables for code page 1250
// (a Windows 95 or 98 installed without Central European support).
std::wstring WideFromCp1250(const std::string& cp1250);

std::string EmailLabelText(); // the support address
std::string WebLabelText();   // host and path, without the scheme
std::string EmailTarget();    // "mailto:" + address
std::string WebTarget();      // "http://" + host + path
std::string EmailFailedMessage();
std::string WebFailedMessage();
std::string RunFailedMessage(const std::string& commandLine);

// ---- Layout ---------------------------------------------------------------

constexpr int kTwipsPerPixel = 15; // at 96 dots per inch
constexpr int kClientTwips = 8445;
constexpr int kClientPixels = kClientTwips / kTwipsPerPixel;

struct Rect {
    int left, top, width, height;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool Contains(int x, int y) const
    {
        return x >= left && x < right() && y >= top && y < bottom();
    }
    bool operator==(const Rect& o) const
    {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};

Rect TwipsToPixels(const Rect& twips);

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
constexpr Rgb kLinkColour{64, 0, 0};
constexpr Rgb kHighlightColour{64, 64, 64};

// The controls in the window's control order.
enum class Control { cmdQuit, lblInstall2, lblInstall1, lblInstall0, lblEmail, lblWeb, lblStatus };
constexpr int kControlCount = 7;

enum class Pointer { Arrow, Hand };
enum class Align { None, Left, Right };

struct ControlSettings {
    Control control;
    const char* name;
    Rect twips;
    Align autoSize; // sized to its text, keeping the left or the right edge
    Pointer pointer;
    int tabIndex;
};

const std::array<ControlSettings, kControlCount>& Controls();
const ControlSettings& Settings(Control control);

// Text and tooltip of a control; empty when it has none.
std::string Text(Control control);
std::string Tooltip(Control control);

// Index of an lblInstall hot spot (0 Slovak, 1 English, 2 documents).
std::optional<int> InstallIndex(Control control);

// Pixel rectangles of the controls as the window lays them out; an
// auto-sized label takes the width of its text in its font.
class Layout {
  public:
    Layout(int emailTextWidth, int webTextWidth, int statusTextWidth);
    const Rect& Of(Control control) const { return rects_[static_cast<int>(control)]; }
    // The control under a client point; none over the window's own surface.
    std::optional<Control> HitTest(int x, int y) const;

  private:
    std::array<Rect, kControlCount> rects_;
};

// ---- Hover feedback -------------------------------------------------------

struct HoverState {
    bool emailHighlighted = false;
    bool webHighlighted = false;
    bool operator==(const HoverState& o) const
    {
        return emailHighlighted == o.emailHighlighted && webHighlighted == o.webHighlighted;
    }
};

// Where a reported pointer move happened.
enum class MoveOver { Surface, Email, Web, OtherControl, Outside };

MoveOver Classify(const Layout& layout, int x, int y);
HoverState AfterMove(HoverState state, MoveOver where);
inline Rgb EmailColour(const HoverState& s)
{
    return s.emailHighlighted ? kHighlightColour : kLinkColour;
}
inline Rgb WebColour(const HoverState& s)
{
    return s.webHighlighted ? kHighlightColour : kLinkColour;
}

// ---- Clicks ---------------------------------------------------------------

// A click is a press and a release of the left button over the same control
// while the window held the mouse in between. When another window takes the
// mouse (a message box, a task switch), the press is dropped, so that a later
// release over the same control clicks nothing.
class ClickTracker {
  public:
    void Press(std::optional<Control> over) { pressed_ = over; }
    void HoldLost() { pressed_.reset(); }
    // The control that a release over the given control clicks, if any.
    std::optional<Control> Release(std::optional<Control> over);

  private:
    std::optional<Control> pressed_;
};

// ---- Single copy ------------------------------------------------------------

// What the system answered when the program asked for its single-copy object.
enum class SingleCopyAnswer { Created, AlreadyExists, AccessDenied, Failed };

// Whether another copy runs. An object that exists but cannot be opened
// belongs to a copy with more rights (one started elevated) and counts as a
// running copy too. Any other failure lets the program start: a start menu
// that refuses for no reason is worse than a second window.
bool AnotherCopyRuns(SingleCopyAnswer answer);

// ---- Program folder and command lines -------------------------------------

struct AppFolder {
    std::string path; // AppPath: always ends in a backslash
    char drive;       // AppDrive: the first character of AppPath
};

// From the full path of the program file, as the system gives it.
AppFolder FolderOfProgram(const std::string& programFile);

// The command line of an install item, or nothing for an index outside 0..2.
// A program path or folder argument holding a blank is put in quotation marks.
std::optional<std::string> InstallCommandLine(const AppFolder& app, int index);

// What starting an install item runs.
struct InstallCommand {
    std::string program;     // the program file, a full path
    std::string parameters;  // what follows the program on the command line
    std::string commandLine; // as the program receives it and the message names it
};

// The command of an install item, or nothing for an index outside 0..2. The
// documents item runs the explorer.exe of the Windows folder (windowsFolder,
// as the system gives it): a program of that name in the CD's own folder,
// where Windows would look first, is never started. Its command line stays
// "explorer.exe" and the folder.
std::optional<InstallCommand> InstallItemCommand(const AppFolder& app,
                                                 const std::string& windowsFolder, int index);

} // namespace menu
