// Diskette clearing and the diskette test through the stand-in host, on the
// diskette drives A: and B: that drive-prefix.sh maps to temporary folders,
// and the diskette test of fllhost.exe run as Windows 98.
#include <windows.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "drivetest.h"
#include "runhost.h"
#include "testdir.h"

namespace {

using drivetest::DriveTest;
using drivetest::Exists;
using drivetest::MakeFile;
using drivetest::MakeFolder;
using drivetest::Names;
using fllhost::Value;

using Names_t = std::vector<std::string>;

fllhost::CallResult Clear(fllhost::Host& host, const std::string& drive)
{
    return host.call("M_FDCLEARW", {Value::Text(drive)});
}

fllhost::CallResult Clear(fllhost::Host& host, const std::string& drive, bool readOnlyToo)
{
    return host.call("M_FDCLEARW", {Value::Text(drive), Value::Bool(readOnlyToo)});
}

// Two files and a folder with one file.
void MakeSmallTree(const std::string& root)
{
    MakeFile(root + "\\one.txt");
    MakeFile(root + "\\two.dat");
    MakeFolder(root + "\\folder");
    MakeFile(root + "\\folder\\three.txt");
}

TEST_F(DriveTest, ClearRemovesFilesAndFoldersInEitherCase)
{
    for (const char* drive : {"A:", "a:", "B:", "b:"}) {
        const std::string root(drive, 2);
        MakeSmallTree(root);
        const fllhost::CallResult r = Clear(host, drive);
        ASSERT_FALSE(r.failed()) << drive;
        EXPECT_EQ(r.value.kind, Value::Kind::Integer);
        EXPECT_EQ(r.value.width, 10);
        EXPECT_EQ(r.value.integer, 4) << drive;
        EXPECT_EQ(Names(root), Names_t{}) << drive;
    }
}

TEST_F(DriveTest, ClearOfAnEmptyDisketteIsZero)
{
    EXPECT_EQ(Clear(host, "A:").value.integer, 0);
    MakeSmallTree("A:");
    EXPECT_EQ(Clear(host, "A:").value.integer, 4);
    EXPECT_EQ(Clear(host, "A:").value.integer, 0) << "each call counts afresh";
}

TEST_F(DriveTest, ClearRefusesAnyOtherArgumentBeforeTouchingAFile)
{
    MakeSmallTree("A:");
    MakeSmallTree("M:");
    for (const char* drive : {"A", "A:\\", "C:", "M:", "AB", "", "a:x", "1:", ":A", "A;"}) {
        const fllhost::CallResult r = Clear(host, drive, true);
        EXPECT_EQ(r.hostError, 907) << "'" << drive << "'";
        EXPECT_EQ(r.results, 0);
    }
    EXPECT_EQ(Names("A:"), (Names_t{"folder", "one.txt", "two.dat"}));
    EXPECT_EQ(Names("M:"), (Names_t{"folder", "one.txt", "two.dat"}));
    EXPECT_EQ(host.handlesInUse(), 0);
}

struct ReadOnlyCase {
    const char* name;
    int flag; // -1: not passed
    int32_t removed;
    bool remains;
};

const ReadOnlyCase kReadOnlyCases[] = {
    {"absent", -1, 1, true},
    {"false", 0, 1, true},
    {"true", 1, 3, false},
};

TEST_F(DriveTest, ReadOnlyFilesGoOnlyWhenAsked)
{
    for (const ReadOnlyCase& c : kReadOnlyCases) {
        MakeFile("A:\\plain.txt");
        MakeFolder("A:\\keep");
        MakeFile("A:\\keep\\locked.txt");
        drivetest::SetAttributes("A:\\keep\\locked.txt", FILE_ATTRIBUTE_READONLY);
        const fllhost::CallResult r =
            c.flag < 0 ? Clear(host, "A:") : Clear(host, "A:", c.flag != 0);
        EXPECT_EQ(r.value.integer, c.removed) << c.name;
        EXPECT_EQ(Exists("A:\\keep\\locked.txt"), c.remains) << c.name;
        EXPECT_EQ(Exists("A:\\keep"), c.remains) << c.name;
        EXPECT_FALSE(Exists("A:\\plain.txt")) << c.name;
        drivetest::EmptyFolder("A:");
    }
}

// A read-only file that is in use stays, read-only as it was.
TEST_F(DriveTest, ReadOnlyFileInUseKeepsItsAttribute)
{
    MakeFile("A:\\busy.txt");
    drivetest::SetAttributes("A:\\busy.txt", FILE_ATTRIBUTE_READONLY);
    HANDLE h = CreateFileA("A:\\busy.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const fllhost::CallResult r = Clear(host, "A:", true);
    CloseHandle(h);
    EXPECT_EQ(r.value.integer, 0);
    ASSERT_TRUE(Exists("A:\\busy.txt"));
    EXPECT_EQ(GetFileAttributesA("A:\\busy.txt") & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

TEST_F(DriveTest, HiddenAndSystemEntriesStayWithTheFoldersHoldingThem)
{
    MakeFile("A:\\hidden.txt");
    MakeFile("A:\\system.txt");
    MakeFolder("A:\\hiddendir");
    MakeFile("A:\\hiddendir\\inside.txt");
    MakeFolder("A:\\systemdir");
    MakeFile("A:\\systemdir\\inside.txt");
    MakeFolder("A:\\holder");
    MakeFile("A:\\holder\\secret.txt");
    MakeFile("A:\\holder\\plain.txt");
    MakeFile("A:\\plain.txt");
    drivetest::SetAttributes("A:\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    drivetest::SetAttributes("A:\\system.txt", FILE_ATTRIBUTE_SYSTEM);
    drivetest::SetAttributes("A:\\hiddendir", FILE_ATTRIBUTE_HIDDEN);
    drivetest::SetAttributes("A:\\systemdir", FILE_ATTRIBUTE_SYSTEM);
    drivetest::SetAttributes("A:\\holder\\secret.txt", FILE_ATTRIBUTE_HIDDEN);

    EXPECT_EQ(Clear(host, "A:", true).value.integer, 2);
    EXPECT_EQ(Names("A:"),
              (Names_t{"hidden.txt", "hiddendir", "holder", "system.txt", "systemdir"}));
    EXPECT_EQ(Names("A:\\hiddendir"), Names_t{"inside.txt"});
    EXPECT_EQ(Names("A:\\systemdir"), Names_t{"inside.txt"});
    EXPECT_EQ(Names("A:\\holder"), Names_t{"secret.txt"});
}

// Paths of 256 to 259 characters are cleared like any other; an entry whose
// path (or whose folder's search pattern) is longer than the run-time
// library's calls take is left alone, and so are the folders above it.
TEST_F(DriveTest, ClearWalksPathsPast255Characters)
{
    const std::string d1 = "A:\\" + std::string(120, 'a');     // 123 characters
    const std::string d2 = d1 + "\\" + std::string(120, 'b');  // 244
    const std::string f256 = d2 + "\\" + std::string(11, 'f'); // 256
    const std::string f259 = d2 + "\\" + std::string(14, 'g'); // 259
    const std::string d3 = d2 + "\\" + std::string(12, 'h');   // 257; pattern 261
    const std::string deep = d3 + "\\deep.txt";                // 266
    const std::string e2 = "A:\\" + std::string(120, 'c') + "\\" + std::string(120, 'd');
    const std::string f260 = e2 + "\\" + std::string(15, 'i'); // 260
    const std::string g2 = "A:\\" + std::string(120, 'e') + "\\" + std::string(120, 'f');
    const std::string f257 = g2 + "\\" + std::string(12, 'j'); // 257

    ASSERT_EQ(f256.size(), 256u);
    ASSERT_EQ(f259.size(), 259u);
    ASSERT_EQ(f260.size(), 260u);
    ASSERT_EQ(f257.size(), 257u);
    for (const std::string& folder : {d1, d2, d3, e2.substr(0, 123), e2, g2.substr(0, 123), g2})
        MakeFolder(folder);
    for (const std::string& file : {f256, f259, deep, f260, f257})
        MakeFile(file);

    // Removed: f256, f259; f257 with both its folders.
    EXPECT_EQ(Clear(host, "A:").value.integer, 5);
    EXPECT_FALSE(Exists(f256));
    EXPECT_FALSE(Exists(f259));
    EXPECT_TRUE(Exists(deep));
    EXPECT_TRUE(Exists(f260));
    EXPECT_FALSE(Exists(g2.substr(0, 123)));
    EXPECT_EQ(Names("A:"), (Names_t{std::string(120, 'a'), std::string(120, 'c')}));
}

// Unix symbolic links, as a user of the machine makes them with ln -s, for
// Wine to show to the library; removed (the links only) at scope end. Wine 8
// makes none itself (its CreateSymbolicLink does nothing), so they are made
// with the Linux system calls, which a 32-bit program reaches through
// interrupt 0x80; wine_get_unix_file_name gives the Unix paths.
class UnixLinks {
  public:
    UnixLinks()
        : unixName_(reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
              GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"))))
    {
    }
    ~UnixLinks()
    {
        for (const std::string& link : links_)
            linuxCall(kUnlink, reinterpret_cast<long>(link.c_str()), 0);
    }
    UnixLinks(const UnixLinks&) = delete;
    UnixLinks& operator=(const UnixLinks&) = delete;

    bool available() const { return unixName_ != nullptr; }

    // The link at `link` (a Windows path) to `target` (a Windows path).
    void make(const std::string& link, const std::string& target)
    {
        const std::string from = unixPath(target);
        const std::string at = unixPath(link);
        ASSERT_FALSE(from.empty() || at.empty()) << link;
        ASSERT_EQ(linuxCall(kSymlink, reinterpret_cast<long>(from.c_str()),
                            reinterpret_cast<long>(at.c_str())),
                  0)
            << link;
        links_.push_back(at);
    }

  private:
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    static constexpr long kUnlink = 10; // i386 system call numbers
    static constexpr long kSymlink = 83;

    static long linuxCall(long number, long a, long b)
    {
        long result;
        __asm__ volatile("int $0x80" : "=a"(result) : "a"(number), "b"(a), "c"(b) : "memory");
        return result;
    }

    std::string unixPath(const std::string& windowsPath) const
    {
        const std::wstring wide(windowsPath.begin(), windowsPath.end());
        char* name = unixName_(wide.c_str());
        if (!name)
            return std::string();
        std::string path = name;
        HeapFree(GetProcessHeap(), 0, name);
        return path;
    }

    UnixNameFn unixName_;
    std::vector<std::string> links_;
};

// Links to a file and to folders outside the diskette (in the test's own
// folder) are left alone and not counted, and so is the folder that holds
// one; their targets keep everything they hold.
TEST_F(DriveTest, ClearLeavesLinksAndTheirTargetsAlone)
{
    testing_support::TempDir outside;
    UnixLinks links;
    if (!links.available())
        GTEST_SKIP() << "Unix links are made through Wine";
    const std::string file = outside.file("precious.txt");
    const std::string emptyFolder = outside.file("empty");
    const std::string fullFolder = outside.file("full");
    MakeFile(file, "precious");
    MakeFolder(emptyFolder);
    MakeFolder(fullFolder);
    MakeFile(fullFolder + "\\inner.txt", "inner");

    MakeFile("A:\\plain.txt");
    MakeFolder("A:\\real");
    MakeFile("A:\\real\\x.txt");
    MakeFolder("A:\\holder");
    links.make("A:\\filelink", file);
    links.make("A:\\emptylink", emptyFolder);
    links.make("A:\\fulllink", fullFolder);
    links.make("A:\\holder\\nested", file);
    links.make("B:\\filelink", file);

    // Removed: plain.txt, real\x.txt, real.
    EXPECT_EQ(Clear(host, "A:", true).value.integer, 3);
    EXPECT_EQ(Clear(host, "B:").value.integer, 0);
    EXPECT_EQ(drivetest::FileText(file), "precious");
    EXPECT_TRUE(Exists(emptyFolder));
    EXPECT_EQ(drivetest::FileText(fullFolder + "\\inner.txt"), "inner");
    EXPECT_EQ(Names("A:"), (Names_t{"emptylink", "filelink", "fulllink", "holder"}));
    EXPECT_EQ(Names("A:\\holder"), Names_t{"nested"});
    EXPECT_EQ(drivetest::FileText("A:\\filelink"), "precious") << "the link still leads there";
}

TEST_F(DriveTest, ClearOnTwoThreadsCountsEachCallApart)
{
    MakeSmallTree("A:");
    for (int i = 0; i < 5; ++i)
        MakeFile("B:\\file" + std::to_string(i));
    int32_t onA = -1, onB = -1;
    std::thread a([&] { onA = Clear(host, "A:").value.integer; });
    std::thread b([&] { onB = Clear(host, "B:").value.integer; });
    a.join();
    b.join();
    EXPECT_EQ(onA, 4);
    EXPECT_EQ(onB, 5);
}

// Under Wine a mapped folder answers the device queries in its own way; what
// holds anywhere: a letter without a device fails at the open, a folder's
// files are never changed, and nothing is left allocated.
TEST_F(DriveTest, TestOfAMissingDeviceFailsAtTheOpen)
{
    HANDLE h = CreateFileA("\\\\.\\Q:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(h, INVALID_HANDLE_VALUE);
    const DWORD openError = GetLastError();
    ASSERT_NE(openError, 0u);
    for (const char* drive : {"Q", "Q:", "q:\\ANYTHING"}) {
        const fllhost::CallResult r =
            host.call("M_FDTESTW", {Value::Text(drive), Value::Bool(true)});
        EXPECT_EQ(r.value.kind, Value::Kind::Integer);
        EXPECT_EQ(r.value.width, 10);
        EXPECT_EQ(r.value.integer, static_cast<int32_t>(openError)) << drive;
    }
}

TEST_F(DriveTest, TestWithoutALetterIsInvalidDrive)
{
    EXPECT_EQ(host.call("M_FDTESTW", {Value::Text("")}).value.integer, ERROR_INVALID_DRIVE);
}

TEST_F(DriveTest, TestLeavesTheDisketteAsItWas)
{
    const std::string content(20000, 'x');
    MakeFile("A:\\data.bin", content);
    const int before = host.handlesInUse();
    for (bool write : {false, true}) {
        const fllhost::CallResult r =
            host.call("M_FDTESTW", {Value::Text("A:"), Value::Bool(write)});
        ASSERT_FALSE(r.failed());
        EXPECT_EQ(r.value.kind, Value::Kind::Integer);
    }
    EXPECT_EQ(host.call("M_FDTESTW", {Value::Text("A")}).value.kind, Value::Kind::Integer);
    EXPECT_EQ(drivetest::FileText("A:\\data.bin"), content);
    EXPECT_EQ(Names("A:"), Names_t{"data.bin"});
    EXPECT_EQ(host.handlesInUse(), before);
}

// Wine gives a program the Windows version its registry names for it
// (AppDefaults), from the program's next start; the setting goes with the
// scope.
class WineVersionFor {
  public:
    WineVersionFor(const std::string& program, const char* version)
        : key_("Software\\Wine\\AppDefaults\\" + program)
    {
        HKEY key = nullptr;
        set_ = RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                               nullptr, &key, nullptr) == ERROR_SUCCESS;
        if (set_) {
            set_ = RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                                  static_cast<DWORD>(strlen(version) + 1)) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    ~WineVersionFor() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }
    WineVersionFor(const WineVersionFor&) = delete;
    WineVersionFor& operator=(const WineVersionFor&) = delete;
    bool set() const { return set_; }

  private:
    std::string key_;
    bool set_ = false;
};

bool UnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// On a system that reports Windows 98 the test goes through VWIN32, which
// Wine provides; its Interrupt 13h reports no drive parameters for a mapped
// folder, so each diskette letter is a drive the BIOS does not have (2, as
// the volume path answers a letter without a device), any other letter is
// no diskette drive, and the diskette's files are never touched. (Wine's
// volume path, which Windows 2000 and later take, answers A: and C: with
// other codes.)
TEST_F(DriveTest, TestAsWindows98GoesThroughVwin32)
{
    if (!UnderWine())
        GTEST_SKIP() << "the Windows version is set through Wine";
    const std::string content(20000, 'y');
    MakeFile("A:\\data.bin", content);
    WineVersionFor windows98("fllhost.exe", "win98");
    ASSERT_TRUE(windows98.set());
    struct Case {
        const char* call;
        int32_t result;
    };
    const Case kCases[] = {
        {"M_FDTESTW('A:', .T.)", 2}, {"M_FDTESTW('a')", 2}, {"M_FDTESTW('B:', .T.)", 2},
        {"M_FDTESTW('C:', .T.)", 2}, {"M_FDTESTW('')", 15},
    };
    std::vector<std::string> args = {"-e", "SET LIBRARY TO " +
                                               testing_support::Deliverable("marvo32w9.fll")};
    for (const Case& c : kCases)
        args.insert(args.end(), {"-e", std::string("? ") + c.call});
    const testing_support::HostRun run = testing_support::RunFllhost(args);
    ASSERT_TRUE(run.started);
    std::istringstream lines(run.output);
    for (const Case& c : kCases) {
        int32_t result = -1;
        lines >> result;
        EXPECT_EQ(result, c.result) << c.call << "\n" << run.output;
    }
    EXPECT_EQ(drivetest::FileText("A:\\data.bin"), content);
    EXPECT_EQ(Names("A:"), Names_t{"data.bin"});
}

// A host whose handle table has room for the argument only: no transfer
// buffer, and the run says so instead of passing.
TEST(DisketteTestMemory, NoBufferIsNotEnoughMemory)
{
    for (uint16_t capacity = 2; capacity < 8; ++capacity) {
        fllhost::Host small(capacity);
        ASSERT_TRUE(small.load(testing_support::Deliverable("marvo32.fll")));
        // Fill every free entry but one, which the argument takes.
        std::vector<uint32_t> taken;
        abi::HostMessage m{};
        for (;;) {
            m = abi::HostMessage{};
            m.code = abi::kMsgAllocHandle;
            m.value1 = 1;
            small.send(m);
            if (m.value1 == 0)
                break;
            taken.push_back(m.value1);
        }
        if (taken.empty())
            continue;
        m = abi::HostMessage{};
        m.code = abi::kMsgFreeHandle;
        m.value1 = taken.back();
        small.send(m);
        const fllhost::CallResult r = small.call("M_FDTESTW", {Value::Text("Q")});
        ASSERT_TRUE(r.refused.empty()) << r.refused;
        EXPECT_EQ(r.value.integer, ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    FAIL() << "no host table fitted";
}

} // namespace
