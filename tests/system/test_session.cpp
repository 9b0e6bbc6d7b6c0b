// Session end, pause and directories through the real library.
//
// The session-end functions never reach Windows here: the library's import
// of ExitWindowsEx is pointed at a recorder before any of them is called (a
// test that cannot install it stops before calling). The recorder also looks
// at this process's token, to see the shutdown privilege enabled during the
// request and put back afterwards.
#include <climits>

#include "system_host.h"

namespace {

using namespace system_tests;
using testing_support::TempDir;

// --- Session end.

struct ExitRecord {
    int calls = 0;
    UINT flags = 0;
    DWORD reserved = 0;
    int privilegeDuring = -1; // attributes of SeShutdownPrivilege at the call
    BOOL answer = TRUE;
};
ExitRecord gExit;

// Attributes of the shutdown privilege in this process's token; -1 when the
// token does not hold it.
int ShutdownPrivilegeState()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return -1;
    LUID luid{};
    LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &luid);
    BYTE buffer[4096];
    DWORD size = 0;
    int state = -1;
    if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
        auto* list = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer);
        for (DWORD i = 0; i < list->PrivilegeCount; ++i) {
            const LUID& l = list->Privileges[i].Luid;
            if (l.LowPart == luid.LowPart && l.HighPart == luid.HighPart)
                state = static_cast<int>(list->Privileges[i].Attributes);
        }
    }
    CloseHandle(token);
    return state;
}

void SetShutdownPrivilege(bool enabled)
{
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES p{};
    p.PrivilegeCount = 1;
    p.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &p.Privileges[0].Luid);
    AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr);
    CloseHandle(token);
}

BOOL WINAPI RecordExit(UINT flags, DWORD reserved)
{
    ++gExit.calls;
    gExit.flags = flags;
    gExit.reserved = reserved;
    gExit.privilegeDuring = ShutdownPrivilegeState();
    if (!gExit.answer)
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return gExit.answer;
}

class SessionEnd : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.loaded()) << lib.error();
        ASSERT_TRUE(exit_.installed()) << "no recorder, so no session-end call is made";
        SetShutdownPrivilege(false);
    }
    void TearDown() override { SetShutdownPrivilege(false); }

    LoadedLibrary lib;
    pe::ImportPatch exit_{lib.module, "user32.dll", "ExitWindowsEx",
                          reinterpret_cast<const void*>(&RecordExit)};
};

struct SessionCase {
    const char* function;
    UINT flags; // EWX_ values as Windows documents them
    bool needsPrivilege;
};

const SessionCase kSessionCases[] = {
    {"M_LOGOFF", 0, false}, {"M_LOGOFFX", 4, false}, {"M_DOWN", 1, true},   {"M_DOWNX", 5, true},
    {"M_REBOOT", 2, true},  {"M_REBOOTX", 6, true},  {"M_PWROFF", 9, true}, {"M_PWROFFX", 13, true},
};

constexpr int kEnabled = SE_PRIVILEGE_ENABLED;

TEST_F(SessionEnd, EachFunctionAsksOnceWithItsFlagsAndAnswersWhatWindowsSaid)
{
    for (const SessionCase& c : kSessionCases) {
        for (BOOL answer : {TRUE, FALSE}) {
            const std::string at = std::string(c.function) + (answer ? " accepted" : " refused");
            gExit = ExitRecord{};
            gExit.answer = answer;
            EXPECT_TRUE(Logical(lib.call(c.function), answer != FALSE)) << at;
            EXPECT_EQ(gExit.calls, 1) << at;
            EXPECT_EQ(gExit.flags, c.flags) << at;
            EXPECT_EQ(gExit.reserved, 0u) << at;
        }
    }
}

TEST_F(SessionEnd, ShutdownPrivilegeIsEnabledForTheRequestOnlyAndLogoffNeedsNone)
{
    const int before = ShutdownPrivilegeState();
    ASSERT_NE(before, -1) << "this token lacks the shutdown privilege";
    ASSERT_EQ(before & kEnabled, 0);
    for (const SessionCase& c : kSessionCases) {
        gExit = ExitRecord{};
        EXPECT_TRUE(Logical(lib.call(c.function), true)) << c.function;
        EXPECT_EQ((gExit.privilegeDuring & kEnabled) != 0, c.needsPrivilege) << c.function;
        EXPECT_EQ(ShutdownPrivilegeState(), before)
            << c.function << ": the token's state was not put back";
    }
}

TEST_F(SessionEnd, AnAlreadyEnabledPrivilegeStaysEnabled)
{
    SetShutdownPrivilege(true);
    const int before = ShutdownPrivilegeState();
    ASSERT_NE(before & kEnabled, 0);
    for (const char* function : {"M_REBOOT", "M_LOGOFF"}) {
        gExit = ExitRecord{};
        EXPECT_TRUE(Logical(lib.call(function), true));
        EXPECT_NE(gExit.privilegeDuring & kEnabled, 0);
        EXPECT_EQ(ShutdownPrivilegeState(), before) << function;
    }
}

// Windows 9x has no access tokens; its security functions are missing or
// only stubs. The library looks them up when a request needs them: without
// them the request still goes to Windows, once, with the same flags.
TEST_F(SessionEnd, WithoutTheTokenFunctionsTheRequestGoesAheadWithoutThePrivilege)
{
    for (const char* missing :
         {"OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges"}) {
        pe::LookupPatch lookups(lib.module, {{missing, nullptr}});
        ASSERT_TRUE(lookups.installed());
        for (const SessionCase& c : kSessionCases) {
            const std::string at = std::string(c.function) + " without " + missing;
            gExit = ExitRecord{};
            EXPECT_TRUE(Logical(lib.call(c.function), true)) << at;
            EXPECT_EQ(gExit.calls, 1) << at;
            EXPECT_EQ(gExit.flags, c.flags) << at;
            EXPECT_EQ(gExit.privilegeDuring & kEnabled, 0) << at;
        }
    }
}

// --- Pause.

struct SleepRecord {
    int calls = 0;
    DWORD milliseconds = 0;
};
SleepRecord gSleep;

void WINAPI RecordSleep(DWORD milliseconds)
{
    ++gSleep.calls;
    gSleep.milliseconds = milliseconds;
}

TEST(Pause, SleepsTheGivenTimeAndANegativeTimeNotAtAll)
{
    LoadedLibrary lib;
    ASSERT_TRUE(lib.loaded()) << lib.error();
    pe::ImportPatch sleep(lib.module, "kernel32.dll", "Sleep",
                          reinterpret_cast<const void*>(&RecordSleep));
    ASSERT_TRUE(sleep.installed());
    struct Case {
        int32_t given;
        DWORD slept;
    };
    const Case cases[] = {{0, 0},  {1, 1},     {250, 250},  {INT_MAX, INT_MAX},
                          {-1, 0}, {-1000, 0}, {INT_MIN, 0}};
    for (const Case& c : cases) {
        gSleep = SleepRecord{};
        CallResult r = lib.call("M_SLEEP", {Value::Int(c.given)});
        EXPECT_FALSE(r.failed()) << c.given;
        EXPECT_EQ(r.results, 0) << "M_SLEEP builds no result";
        EXPECT_EQ(gSleep.calls, 1) << c.given;
        EXPECT_EQ(gSleep.milliseconds, c.slept) << c.given;
    }
}

TEST(Pause, MinusOneReturns)
{
    LoadedLibrary lib;
    ASSERT_TRUE(lib.loaded()) << lib.error();
    for (int32_t ms : {0, -1, 10}) {
        CallResult r = lib.call("M_SLEEP", {Value::Int(ms)});
        EXPECT_FALSE(r.failed());
        EXPECT_EQ(r.results, 0);
    }
}

// --- Directories.

std::vector<std::string> gCreated;

using CreateDirectoryFn = BOOL(WINAPI*)(LPCSTR, LPSECURITY_ATTRIBUTES);
CreateDirectoryFn gRealCreate = nullptr;

BOOL WINAPI RecordCreate(LPCSTR name, LPSECURITY_ATTRIBUTES security)
{
    gCreated.push_back(name);
    return gRealCreate(name, security);
}

bool IsDirectory(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

class Directories : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << lib.error(); }
    CallResult mkdir(const std::string& path) { return lib.call("M_MKDIR", {Value::Text(path)}); }
    CallResult rmdir(const std::string& path) { return lib.call("M_RMDIR", {Value::Text(path)}); }

    TempDir temp;
    LoadedLibrary lib;
};

TEST_F(Directories, WithAndWithoutTrailingBackslashTheSameDirectory)
{
    const std::string dir = temp.file("NEW");
    EXPECT_TRUE(Logical(mkdir(dir + "\\"), true));
    EXPECT_TRUE(IsDirectory(dir));
    EXPECT_TRUE(Logical(mkdir(dir), false));
    EXPECT_TRUE(Logical(mkdir(dir + "\\"), false));
    EXPECT_TRUE(Logical(rmdir(dir + "\\"), true));
    EXPECT_FALSE(IsDirectory(dir));
    EXPECT_TRUE(Logical(rmdir(dir), false));
    EXPECT_TRUE(Logical(mkdir(dir), true));
    EXPECT_TRUE(Logical(rmdir(dir), true));
    EXPECT_FALSE(IsDirectory(dir));
}

TEST_F(Directories, OnlyTheLastComponentIsCreated)
{
    EXPECT_TRUE(Logical(mkdir(temp.file("A\\B")), false));
    EXPECT_FALSE(IsDirectory(temp.file("A")));
}

TEST_F(Directories, ADirectoryThatHoldsAFileStays)
{
    const std::string dir = temp.file("FULL");
    ASSERT_TRUE(Logical(mkdir(dir), true));
    testing_support::WriteFile(dir + "\\file.txt", "x");
    EXPECT_TRUE(Logical(rmdir(dir), false));
    EXPECT_TRUE(testing_support::FileExists(dir + "\\file.txt"));
}

TEST_F(Directories, EmptyPathFails)
{
    EXPECT_TRUE(Logical(mkdir(""), false));
    EXPECT_TRUE(Logical(rmdir(""), false));
}

// Removal is only recorded: a root must never get this far.
std::vector<std::string> gRemoved;

BOOL WINAPI RecordRemove(LPCSTR name)
{
    gRemoved.push_back(name);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// Without its backslash a root would be "C:", the drive's current directory.
TEST_F(Directories, OneTrailingBackslashIsDroppedBeforeWindowsSeesThePath)
{
    pe::ImportPatch create(lib.module, "kernel32.dll", "CreateDirectoryA",
                           reinterpret_cast<const void*>(&RecordCreate));
    ASSERT_TRUE(create.installed());
    gRealCreate = create.original<CreateDirectoryFn>();
    const std::string dir = temp.file("TWO");
    struct Case {
        std::string given, passed;
    };
    const Case cases[] = {
        {dir + "\\", dir},
        {dir + "\\\\", dir + "\\"},
        {"", ""},
        {"\\", "\\"},
        {"C:\\", "C:\\"},
        {"c:/", "c:/"},
        {"\\\\server\\share\\", "\\\\server\\share\\"},
        {"\\\\?\\C:\\", "\\\\?\\C:\\"},
        {"\\\\server\\share\\folder\\", "\\\\server\\share\\folder"},
        {"C:\\folder\\", "C:\\folder"},
    };
    for (const Case& c : cases) {
        gCreated.clear();
        mkdir(c.given);
        ASSERT_EQ(gCreated.size(), 1u) << c.given;
        EXPECT_EQ(gCreated[0], c.passed);
        RemoveDirectoryA(dir.c_str());
    }
}

TEST_F(Directories, DriveRootIsRefused)
{
    EXPECT_TRUE(Logical(mkdir("C:\\"), false));
}

// Every root, however written, is refused without asking Windows; other
// paths go to Windows as they always did.
TEST_F(Directories, ARootIsNeverHandedOverForRemoval)
{
    pe::ImportPatch remove(lib.module, "kernel32.dll", "RemoveDirectoryA",
                           reinterpret_cast<const void*>(&RecordRemove));
    ASSERT_TRUE(remove.installed());
    const char* const roots[] = {
        "C:\\",        "c:/",           "\\",
        "/",           "C:\\.\\",       "C:\\x\\..",
        "C:\\x\\..\\", "\\\\?\\C:\\",   "\\\\.\\C:\\",
        "\\\\srv\\sh", "\\\\srv\\sh\\", "\\\\?\\UNC\\srv\\sh\\",
    };
    for (const char* root : roots) {
        gRemoved.clear();
        EXPECT_TRUE(Logical(rmdir(root), false)) << root;
        EXPECT_EQ(gRemoved, std::vector<std::string>{}) << root;
    }
    const struct {
        std::string given, passed;
    } others[] = {
        {temp.file("sub\\"), temp.file("sub")},
        {"C:\\x\\", "C:\\x"},
        {"\\\\srv\\sh\\x\\", "\\\\srv\\sh\\x"},
        {"\\\\srv\\", "\\\\srv"},
    };
    for (const auto& o : others) {
        gRemoved.clear();
        EXPECT_TRUE(Logical(rmdir(o.given), false)) << o.given;
        EXPECT_EQ(gRemoved, std::vector<std::string>{o.passed}) << o.given;
    }
}

HGLOBAL WINAPI NoMemory(UINT, SIZE_T)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST_F(Directories, NoMemoryForTheWorkingCopyRaises182)
{
    const std::string dir = temp.file("NOMEM");
    for (const char* function : {"M_MKDIR", "M_RMDIR"}) {
        gCreated.clear();
        CallResult r;
        {
            pe::ImportPatch alloc(lib.module, "kernel32.dll", "GlobalAlloc",
                                  reinterpret_cast<const void*>(&NoMemory));
            ASSERT_TRUE(alloc.installed());
            r = lib.call(function, {Value::Text(dir)});
        }
        EXPECT_EQ(r.hostError, 182) << function;
        EXPECT_EQ(r.results, 0) << function;
    }
    EXPECT_FALSE(IsDirectory(dir));
    EXPECT_EQ(lib.host.handlesInUse(), 0);
}

} // namespace
