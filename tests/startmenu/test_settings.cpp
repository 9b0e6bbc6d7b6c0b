// Window tests of autorun.exe that change the registry of their Wine prefix,
// each run in a prefix of its own (window-display.sh --own-registry): the
// shell's handlers of mailto: and http: targets are recording stand-ins, Wine
// runs the start menu as Windows 98, and Wine manages the windows itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "driver.h"
#include "otherwindows.h"

using namespace startmenu_test;
using testing_support::FileExists;
using testing_support::WaitFor;

namespace {

BOOL WINAPI CloseKey(HKEY key)
{
    return RegCloseKey(key) == ERROR_SUCCESS;
}
using RegistryKey = menu::Owned<HKEY, CloseKey>;

bool SetText(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    HKEY created = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegistryKey key(created);
    return RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD(value.size() + 1)) == ERROR_SUCCESS;
}

class StartMenuLinks : public StartMenuTest {
  protected:
    // Makes a stand-in of the given name in the test's folder the program
    // that the shell's "open" of the scheme's targets runs.
    std::string Handler(const char* scheme, const char* name)
    {
        const std::string handler = temp_.file(name);
        EXPECT_TRUE(CopyFileA(RECORDER_EXE, handler.c_str(), FALSE));
        EXPECT_TRUE(SetText(HKEY_CLASSES_ROOT, std::string(scheme) + "\\shell\\open\\command",
                            nullptr, "\"" + handler + "\" \"%1\""));
        return handler;
    }
};

TEST_F(StartMenuLinks, EmailLinkOpensANewMailToTheSupportAddress)
{
    const std::string mail = Handler("mailto", "mail.exe");
    Launch();
    ClickAt(kOverEmail);
    const std::optional<Record> record = WaitForRecord(mail);
    ASSERT_TRUE(record) << "the shell ran no mail program";
    EXPECT_EQ(record->commandLine, "\"" + mail + "\" \"mailto:velmora@danubiasoft.sk\"");
    EXPECT_EQ(record->show, "5") << "shown in its current size and place (SW_SHOW)";
    EXPECT_TRUE(IsWindowVisible(window_)) << "the start menu stays open";
}

TEST_F(StartMenuLinks, WebLinkOpensTheProductPage)
{
    const std::string web = Handler("http", "web.exe");
    Launch();
    ClickAt(kOverWeb);
    const std::optional<Record> record = WaitForRecord(web);
    ASSERT_TRUE(record) << "the shell ran no web browser";
    EXPECT_EQ(record->commandLine, "\"" + web + "\" \"http://www.danubiasoft.sk/velmora\"");
    EXPECT_EQ(record->show, "5") << "shown in its current size and place (SW_SHOW)";
    EXPECT_TRUE(IsWindowVisible(window_)) << "the start menu stays open";
}

// Wine takes the Windows version a program sees from the registry, program by
// program; the setup stand-in gets the same setting, and its record shows
// that the setting holds.
class StartMenuAsWindows98 : public StartMenuTest {
  protected:
    void SetUp() override
    {
        for (const char* program : {"autorun.exe", kSkSetup})
            ASSERT_TRUE(SetText(HKEY_CURRENT_USER,
                                std::string("Software\\Wine\\AppDefaults\\") + program, "Version",
                                "win98"));
    }
};

TEST_F(StartMenuAsWindows98, ShowsItsTextsAndStartsTheSetup)
{
    Launch();
    EXPECT_EQ(ContactLineDiffering(), 0) << "the contact line";

    MoveTo(kOverSk);
    EXPECT_TRUE(WaitFor([&] { return TooltipText() == L"In\u0161tal\u00e1cia Velmora Lite Sk"; }))
        << "no tooltip, or another text";

    ClickAt(kOverSk);
    const std::optional<Record> sk = SetupRecord(kSkSetup);
    ASSERT_TRUE(sk) << "the Slovak setup did not run";
    EXPECT_EQ(sk->commandLine, AppPath() + "Setup\\" + kSkSetup);
    EXPECT_TRUE(sk->version & 0x80000000ul)
        << "the stand-in ran as Windows NT: " << std::hex << sk->version;
}

// Wine hands a maximised window's state to the X window manager and takes it
// back from it: on a display without one, the next report of the window's
// place from the X server says "not maximised", and Wine restores the window
// at once. Windows keeps a maximised window maximised, and so does Wine when
// it manages the windows itself, as it does here.
class StartMenuMaximised : public StartMenuTest {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", "Managed", "N"));
    }
};

// A launcher may ask for a maximised window (a shortcut's "Run: Maximized"):
// the window keeps its one size and place, also when maximised afterwards.
// Windows gives the launcher's show command to the program's first
// ShowWindow, which the start menu then undoes; Wine gives it only to
// SW_SHOWDEFAULT, so here the start shows the outcome alone.
TEST_F(StartMenuMaximised, AMaximisedStartKeepsTheFixedWindow)
{
    Launch("cd", SW_SHOWMAXIMIZED);
    RECT client{}, frame{};
    GetClientRect(window_, &client);
    EXPECT_EQ(client.right, kClient);
    EXPECT_EQ(client.bottom, kClient);
    EXPECT_FALSE(IsZoomed(window_));
    GetWindowRect(window_, &frame);
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_LE(std::abs(frame.left + frame.right - screenW), 2);
    EXPECT_LE(std::abs(frame.top + frame.bottom - screenH), 2);

    ShowWindow(window_, SW_SHOWMAXIMIZED);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(window_) != FALSE; }))
        << "the window was not maximised";
    RECT maximised{};
    GetWindowRect(window_, &maximised);
    EXPECT_TRUE(EqualRect(&maximised, &frame))
        << maximised.left << "," << maximised.top << " " << maximised.right - maximised.left
        << " x " << maximised.bottom - maximised.top;
}

} // namespace
