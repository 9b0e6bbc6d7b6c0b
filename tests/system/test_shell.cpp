// Shell file operations through the real library: real copies, moves and
// deletes in the test's own temporary folder, with flags that suppress every
// dialog (never FOF_ALLOWUNDO, which would reach the user's recycle bin);
// and the request as the library fills it, seen by a recorder that stands in
// for SHFileOperationA.
#include "system_host.h"

#include <shellapi.h>

#include <cstring>

namespace {

using namespace system_tests;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI
constexpr int32_t kQuiet = 0x4 | 0x10 | 0x200 | 0x400;

// Names of a list ended by two NULs.
std::vector<std::string> ListNames(const char* list)
{
    std::vector<std::string> names;
    for (const char* p = list; *p; p += std::strlen(p) + 1)
        names.push_back(p);
    return names;
}

struct ShellRecord {
    int calls = 0;
    HWND owner = nullptr;
    UINT operation = 0;
    bool fromNull = true, toNull = true, titleNull = true;
    std::vector<std::string> from, to;
    std::string title;
    FILEOP_FLAGS flags = 0;
    bool mappingsNull = true;
    int answer = 0;
};
ShellRecord gShell;

int WINAPI RecordShell(LPSHFILEOPSTRUCTA request)
{
    ++gShell.calls;
    gShell.owner = request->hwnd;
    gShell.operation = request->wFunc;
    gShell.fromNull = request->pFrom == nullptr;
    if (request->pFrom)
        gShell.from = ListNames(request->pFrom);
    gShell.toNull = request->pTo == nullptr;
    if (request->pTo)
        gShell.to = ListNames(request->pTo);
    gShell.titleNull = request->lpszProgressTitle == nullptr;
    if (request->lpszProgressTitle)
        gShell.title = request->lpszProgressTitle;
    gShell.flags = request->fFlags;
    gShell.mappingsNull = request->hNameMappings == nullptr;
    return gShell.answer;
}

class Shell : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << lib.error(); }

    CallResult copy(const std::string& from, const std::string& to, int32_t flags = kQuiet)
    {
        return lib.call("M_SHFCOPY", {Value::Text(from), Value::Text(to), Value::Text("Copy"),
                                      Value::Int(flags)});
    }
    CallResult move(const std::string& from, const std::string& to, int32_t flags = kQuiet)
    {
        return lib.call("M_SHFMOVE", {Value::Text(from), Value::Text(to), Value::Text("Move"),
                                      Value::Int(flags)});
    }
    CallResult remove(const std::string& from, int32_t flags = kQuiet)
    {
        return lib.call("M_SHFDEL", {Value::Text(from), Value::Int(0), Value::Text("Delete"),
                                     Value::Int(flags)});
    }
    std::string in(const std::string& name) const { return temp.file(name); }
    void makeDir(const std::string& name) { CreateDirectoryA(in(name).c_str(), nullptr); }

    TempDir temp;
    LoadedLibrary lib;
};

class ShellRequest : public Shell {
  protected:
    void SetUp() override
    {
        Shell::SetUp();
        ASSERT_TRUE(shell_.installed());
        gShell = ShellRecord{};
    }
    pe::ImportPatch shell_{lib.module, "shell32.dll", "SHFileOperationA",
                           reinterpret_cast<const void*>(&RecordShell)};
};

// --- Real operations.

TEST_F(Shell, CopyOneFile)
{
    WriteFile(in("a.txt"), "alpha");
    makeDir("out");
    EXPECT_EQ(Integer(copy(in("a.txt"), in("out"))), 0);
    EXPECT_EQ(ReadFile(in("out\\a.txt")), "alpha");
    EXPECT_EQ(ReadFile(in("a.txt")), "alpha");
}

TEST_F(Shell, MoveOneFile)
{
    WriteFile(in("a.txt"), "alpha");
    makeDir("out");
    EXPECT_EQ(Integer(move(in("a.txt"), in("out"))), 0);
    EXPECT_EQ(ReadFile(in("out\\a.txt")), "alpha");
    EXPECT_FALSE(FileExists(in("a.txt")));
}

TEST_F(Shell, DeleteOneFile)
{
    WriteFile(in("a.txt"), "alpha");
    WriteFile(in("b.txt"), "beta");
    EXPECT_EQ(Integer(remove(in("a.txt"))), 0);
    EXPECT_FALSE(FileExists(in("a.txt")));
    EXPECT_TRUE(FileExists(in("b.txt")));
}

TEST_F(Shell, WildcardsSelectTheMatchingFiles)
{
    makeDir("src");
    makeDir("out");
    WriteFile(in("src\\one.txt"), "1");
    WriteFile(in("src\\two.txt"), "2");
    WriteFile(in("src\\three.dat"), "3");
    EXPECT_EQ(Integer(copy(in("src\\*.txt"), in("out"))), 0);
    EXPECT_TRUE(FileExists(in("out\\one.txt")));
    EXPECT_TRUE(FileExists(in("out\\two.txt")));
    EXPECT_FALSE(FileExists(in("out\\three.dat")));

    EXPECT_EQ(Integer(remove(in("src\\*.txt"))), 0);
    EXPECT_FALSE(FileExists(in("src\\one.txt")));
    EXPECT_FALSE(FileExists(in("src\\two.txt")));
    EXPECT_TRUE(FileExists(in("src\\three.dat")));
}

// Several names are copied and deleted here; Wine's FO_MOVE of several names
// at once answers 1223 and moves only some of them, so moves take one name.
TEST_F(Shell, SeveralNamesInOneList)
{
    makeDir("out");
    WriteFile(in("a.txt"), "a");
    WriteFile(in("b.txt"), "b");
    WriteFile(in("c.txt"), "c");
    const std::string nul(1, '\0');
    EXPECT_EQ(Integer(copy(in("a.txt") + nul + in("b.txt"), in("out"))), 0);
    EXPECT_TRUE(FileExists(in("out\\a.txt")));
    EXPECT_TRUE(FileExists(in("out\\b.txt")));
    EXPECT_FALSE(FileExists(in("out\\c.txt")));

    // A list that ends with a NUL of its own is as good.
    EXPECT_EQ(Integer(remove(in("a.txt") + nul + in("b.txt") + nul)), 0);
    EXPECT_FALSE(FileExists(in("a.txt")));
    EXPECT_FALSE(FileExists(in("b.txt")));
    EXPECT_TRUE(FileExists(in("c.txt")));
}

TEST_F(Shell, CopyOfAWholeFolder)
{
    makeDir("tree");
    makeDir("tree\\sub");
    WriteFile(in("tree\\sub\\deep.txt"), "deep");
    EXPECT_EQ(Integer(copy(in("tree"), in("copy"))), 0);
    EXPECT_EQ(ReadFile(in("copy\\sub\\deep.txt")), "deep");
    EXPECT_EQ(Integer(remove(in("copy"))), 0);
    EXPECT_FALSE(FileExists(in("copy\\sub\\deep.txt")));
}

TEST_F(Shell, FlagsAboveSixteenBitsAreCut)
{
    WriteFile(in("a.txt"), "alpha");
    makeDir("out");
    EXPECT_EQ(Integer(copy(in("a.txt"), in("out"), 0x7FFF0000 | kQuiet)), 0);
    EXPECT_TRUE(FileExists(in("out\\a.txt")));
    EXPECT_EQ(Integer(remove(in("out\\a.txt"), -65536 + kQuiet)), 0);
    EXPECT_FALSE(FileExists(in("out\\a.txt")));
}

TEST_F(Shell, AMissingSourceIsTheShellsError)
{
    makeDir("out");
    EXPECT_NE(Integer(copy(in("none.txt"), in("out"))), 0);
    EXPECT_NE(Integer(remove(in("none.txt"))), 0);
}

// --- The request as filled.

TEST_F(ShellRequest, CopyAndMoveNameBothListsTheOwnerTitleAndFlags)
{
    struct Case {
        const char* function;
        UINT operation;
    };
    for (const Case& c : {Case{"M_SHFCOPY", 2}, Case{"M_SHFMOVE", 1}}) {
        gShell = ShellRecord{};
        gShell.answer = 1234;
        std::vector<uint32_t> asked; // window services: code, argument
        lib.host.serviceHook = [&asked](abi::HostRequest& r) {
            if (r.code != abi::kSvcHostWindow && r.code != abi::kSvcNativeWindowHandle)
                return false;
            asked.insert(asked.end(), {r.code, r.arg1});
            r.arg1 = r.code == abi::kSvcHostWindow ? 77 : 0x1234;
            return true;
        };
        CallResult r = lib.call(c.function, {Value::Text("from.txt"), Value::Text("to"),
                                             Value::Text("Title"), Value::Int(0x10614)});
        EXPECT_EQ(Integer(r), 1234) << c.function;
        EXPECT_EQ(gShell.calls, 1);
        EXPECT_EQ(gShell.operation, c.operation);
        lib.host.serviceHook = nullptr;
        // HostWindow (1), then NativeWindowHandle of its answer, is the owner.
        EXPECT_EQ(asked,
                  (std::vector<uint32_t>{abi::kSvcHostWindow, 1, abi::kSvcNativeWindowHandle, 77}));
        EXPECT_EQ(gShell.owner, reinterpret_cast<HWND>(0x1234));
        EXPECT_EQ(gShell.from, std::vector<std::string>{"from.txt"});
        EXPECT_EQ(gShell.to, std::vector<std::string>{"to"});
        EXPECT_EQ(gShell.title, "Title");
        EXPECT_EQ(gShell.flags, 0x0614);
        EXPECT_TRUE(gShell.mappingsNull);
    }
}

TEST_F(ShellRequest, DeleteHasNoDestination)
{
    EXPECT_EQ(Integer(lib.call("M_SHFDEL", {Value::Text("gone.txt"), Value::Text("ignored"),
                                            Value::Text("Title"), Value::Int(0x40)})),
              0);
    EXPECT_EQ(gShell.operation, 3u);
    EXPECT_EQ(gShell.from, std::vector<std::string>{"gone.txt"});
    EXPECT_TRUE(gShell.toNull);
    EXPECT_EQ(gShell.title, "Title");
    EXPECT_EQ(gShell.flags, 0x40);
}

TEST_F(ShellRequest, ListsEndWithTwoNulsWhateverTheCallerPassed)
{
    const std::string nul(1, '\0');
    struct Case {
        std::string given;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"a", {"a"}},
        {"a" + nul, {"a"}},
        {"a" + nul + "b", {"a", "b"}},
        {"a" + nul + "bb" + nul + "ccc", {"a", "bb", "ccc"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        gShell = ShellRecord{};
        lib.call("M_SHFCOPY",
                 {Value::Text(c.given), Value::Text(c.given), Value::Text(""), Value::Int(kQuiet)});
        EXPECT_EQ(gShell.from, c.names);
        EXPECT_EQ(gShell.to, c.names);
    }
}

TEST_F(ShellRequest, FlagsKeepTheirLowSixteenBits)
{
    struct Case {
        int32_t given;
        FILEOP_FLAGS passed;
    };
    const Case cases[] = {{0, 0},           {0x10, 0x10},      {0x10010, 0x10},
                          {0xFFFF, 0xFFFF}, {0x12345, 0x2345}, {-1, 0xFFFF}};
    for (const Case& c : cases) {
        gShell = ShellRecord{};
        lib.call("M_SHFDEL",
                 {Value::Text("x"), Value::Int(0), Value::Text(""), Value::Int(c.given)});
        EXPECT_EQ(gShell.flags, c.passed) << c.given;
    }
}

TEST_F(ShellRequest, DeleteIgnoresItsSecondParameter)
{
    const Value seconds[] = {Value::Int(0),   Value::Int(-5),    Value::Text("zzz"),
                             Value::Text(""), Value::Bool(true), Value::Num(2.5, 1)};
    for (const Value& second : seconds) {
        gShell = ShellRecord{};
        gShell.answer = 7;
        CallResult r = lib.call("M_SHFDEL",
                                {Value::Text("a.txt"), second, Value::Text("T"), Value::Int(0x14)});
        EXPECT_EQ(Integer(r), 7);
        EXPECT_EQ(gShell.operation, 3u);
        EXPECT_EQ(gShell.from, std::vector<std::string>{"a.txt"});
        EXPECT_TRUE(gShell.toNull);
        EXPECT_EQ(gShell.title, "T");
        EXPECT_EQ(gShell.flags, 0x14);
    }
}

HGLOBAL WINAPI NoMemoryRealloc(HGLOBAL, SIZE_T, UINT)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST_F(ShellRequest, NoMemoryToEndATextRaises182AndDoesNothing)
{
    pe::ImportPatch realloc(lib.module, "kernel32.dll", "GlobalReAlloc",
                            reinterpret_cast<const void*>(&NoMemoryRealloc));
    ASSERT_TRUE(realloc.installed());
    for (const char* function : {"M_SHFCOPY", "M_SHFMOVE", "M_SHFDEL"}) {
        CallResult r = lib.call(
            function, {Value::Text("a"), Value::Text("b"), Value::Text("t"), Value::Int(kQuiet)});
        EXPECT_EQ(r.hostError, 182) << function;
        EXPECT_EQ(r.results, 0);
    }
    EXPECT_EQ(gShell.calls, 0);
}

// M_SHFDEL called directly with fewer parameters than its row names (the
// stand-in host refuses such a call by name): the slots not passed hold
// values that would fail or raise if they were read.
class RawDelete {
  public:
    RawDelete(LoadedLibrary& lib) : lib_(lib) {}
    ~RawDelete()
    {
        abi::HandleTable& table = lib_.host.handles();
        for (uint32_t h : handles_) {
            GlobalFree(reinterpret_cast<HGLOBAL>(table.entry[h]));
            table.entry[h] = 0;
        }
    }
    RawDelete(const RawDelete&) = delete;
    RawDelete& operator=(const RawDelete&) = delete;

    uint32_t text(const std::string& s)
    {
        abi::HandleTable& table = lib_.host.handles();
        uint32_t h = 1;
        while (h < table.capacity && table.entry[h] != 0)
            ++h;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, s.size() + 2);
        char* p = static_cast<char*>(GlobalLock(block));
        std::memcpy(p + 2, s.data(), s.size());
        GlobalUnlock(block);
        table.entry[h] = reinterpret_cast<uint32_t>(block);
        handles_.push_back(h);
        return h;
    }

    // Calls M_SHFDEL with count parameters; returns the integer answered, or
    // -1 - the host error raised.
    int32_t call(uint16_t count)
    {
        abi::HostMessage m{};
        m.code = abi::kMsgCall;
        m.function = reinterpret_cast<uint32_t>(lib_.host.find("M_SHFDEL")->entry);
        m.params.count = count;
        abi::HostValue& source = m.params.param[0];
        source.kind = 'C';
        source.length = 5;
        source.handle = text("a.txt");
        for (int i = 1; i < 4; ++i) { // not passed: an unknown handle, a huge length
            m.params.param[i].kind = 'C';
            m.params.param[i].length = 0xFFFFFFF0u;
            m.params.param[i].handle = 0xFFFF;
            m.params.param[i].integer = 0x12345;
        }
        int32_t answer = INT32_MIN;
        lib_.host.serviceHook = [&answer](abi::HostRequest& r) {
            if (r.code == abi::kSvcReturnValue)
                answer = reinterpret_cast<const abi::HostValue*>(r.arg1)->integer;
            else if (r.code == abi::kSvcRaiseHostError)
                answer = -1 - static_cast<int32_t>(r.arg1);
            return false;
        };
        lib_.host.send(m);
        lib_.host.serviceHook = nullptr;
        return answer;
    }

  private:
    LoadedLibrary& lib_;
    std::vector<uint32_t> handles_;
};

TEST_F(ShellRequest, DeleteWithFewerParametersReadsOnlyThosePassed)
{
    for (uint16_t count : {1, 2}) {
        gShell = ShellRecord{};
        gShell.answer = 5;
        RawDelete raw(lib);
        EXPECT_EQ(raw.call(count), 5) << count;
        EXPECT_EQ(gShell.calls, 1);
        EXPECT_EQ(gShell.from, std::vector<std::string>{"a.txt"});
        EXPECT_TRUE(gShell.toNull);
        EXPECT_TRUE(gShell.titleNull);
        EXPECT_EQ(gShell.flags, 0) << "no flags passed: the shell's own confirmations";
    }
}

} // namespace
