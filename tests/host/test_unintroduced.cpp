// Calls on a thread that never sent message 0: the library has no callback
// there to answer through and no HandleTable to find texts in. Every kind of
// parameter (C, I, L, R, optional parameters passed and left out) goes to a
// function of each family on such a thread; none may read or change memory
// that is not its own, nor act: the call ends with nothing done, as if the
// host had refused it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host.h"
#include "testdir.h"

using fllhost::Host;
using fllhost::Value;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

using Dispatch = uint32_t(HOST_CALL*)(abi::HostMessage*);

// One parameter as the host would pass it. Texts live in handles of the
// host's table on the test's own thread.
struct Arg {
    char kind;
    std::string text;
    int32_t integer = 0;
    bool logical = false;
    int16_t where = 0;
};

Arg C(std::string text)
{
    return Arg{'C', std::move(text)};
}
Arg I(int32_t n)
{
    Arg a{'I', ""};
    a.integer = n;
    return a;
}
Arg L(bool b)
{
    Arg a{'L', ""};
    a.logical = b;
    return a;
}
Arg R(int16_t where) // 0: a variable; > 0: a memo field of that work area
{
    Arg a{'R', ""};
    a.where = where;
    return a;
}

struct Case {
    const char* function;
    std::vector<Arg> args;
};

class Unintroduced : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll")));
        HMODULE module = GetModuleHandleA("marvo32.fll");
        ASSERT_NE(module, nullptr);
        dispatch = reinterpret_cast<Dispatch>(
            reinterpret_cast<void*>(GetProcAddress(module, "@DispatchAPI@4")));
        ASSERT_NE(dispatch, nullptr);
        ASSERT_TRUE(host.workAreas().create(1, 3));
        host.variables().set("secret", Value::Text("plain text"));
    }

    // A handle of the host's table on this thread holding the text.
    uint32_t textHandle(const std::string& text)
    {
        abi::HostMessage m{};
        m.code = abi::kMsgAllocHandle;
        m.value1 = static_cast<uint32_t>(text.size());
        m.value2 = 16;
        host.send(m);
        EXPECT_NE(m.value1, 0u);
        abi::HostMessage p{};
        p.code = abi::kMsgHandleToPointer;
        p.value1 = m.value1;
        host.send(p);
        if (!text.empty())
            std::memcpy(reinterpret_cast<char*>(p.value1), text.data(), text.size());
        return m.value1;
    }

    std::string handleText(uint32_t handle, size_t length)
    {
        abi::HostMessage p{};
        p.code = abi::kMsgHandleToPointer;
        p.value1 = handle;
        host.send(p);
        return std::string(reinterpret_cast<const char*>(p.value1), length);
    }

    // Sends message 1 for the case on a new thread that never sent message 0.
    // The texts in the host's handles must come out as they went in.
    void callOnNewThread(const Case& c)
    {
        const Host::Function* row = host.find(c.function);
        ASSERT_NE(row, nullptr) << c.function;
        abi::HostMessage m{};
        m.code = abi::kMsgCall;
        m.function = reinterpret_cast<uint32_t>(row->entry);
        m.params.count = static_cast<uint16_t>(c.args.size());
        std::vector<uint32_t> handles;
        for (size_t i = 0; i < c.args.size(); ++i) {
            const Arg& a = c.args[i];
            abi::HostValue& v = m.params.param[i];
            v.kind = a.kind;
            if (a.kind == 'C') {
                v.length = static_cast<uint32_t>(a.text.size());
                v.handle = textHandle(a.text);
                handles.push_back(v.handle);
            } else if (a.kind == 'I') {
                v.integer = a.integer;
            } else if (a.kind == 'L') {
                v.length = a.logical ? 1 : 0;
            } else {
                v.setWhere(a.where);
            }
        }
        const int inUse = host.handlesInUse();
        uint32_t answer = 0xFFFFFFFF;
        std::thread([&] { answer = dispatch(&m); }).join();
        EXPECT_EQ(answer, 0u) << c.function;
        EXPECT_EQ(host.handlesInUse(), inUse) << c.function;
        size_t h = 0;
        for (size_t i = 0; i < c.args.size(); ++i) {
            if (c.args[i].kind != 'C')
                continue;
            EXPECT_EQ(handleText(handles[h], c.args[i].text.size()), c.args[i].text)
                << c.function << ": parameter " << i + 1 << " changed";
            abi::HostMessage f{};
            f.code = abi::kMsgFreeHandle;
            f.value1 = handles[h++];
            host.send(f);
        }
    }

    Host host;
    TempDir dir;
    Dispatch dispatch = nullptr;
};

TEST_F(Unintroduced, NoFunctionRunsOnAThreadThatNeverSentMessage0)
{
    const std::string input = dir.file("input.txt");
    const std::string victim = dir.file("victim.txt");
    const std::string emptyDir = dir.file("empty");
    WriteFile(input, "file contents");
    WriteFile(victim, "keep me");
    ASSERT_TRUE(CreateDirectoryA(emptyDir.c_str(), nullptr));
    const int32_t kSilentShell = 0x614; // FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI

    const Case cases[] = {
        // Checksums
        {"M_STRCRC32", {C("abc")}},
        {"M_STRCRC16", {C(std::string(5000, 'x'))}},
        {"M_FCRC32", {C(input)}},
        // Index position
        {"M_IDXNO", {I(1)}},
        {"M_ISKIPF", {I(1), I(-2)}},
        // Banner
        {"M_INFO", {I(0)}},
        // Session key: the optional parameter left out and passed
        {"M_CRPTINIT", {C("password")}},
        {"M_CRPTINIT", {C("password"), L(false)}},
        {"M_CRPTQUIT", {}},
        // Texts and memos
        {"M_ENCRPTW", {C("a text to seal"), C("password")}},
        {"M_DECRPTWX", {C("a sealed text")}},
        {"M_MENCRPTW", {R(0), C("password")}},
        {"M_MDCRPTWX", {R(1)}},
        // Files
        {"M_FENCRPTW", {C(input), C(dir.file("sealed.bin")), C("password")}},
        {"M_FECRPTWX", {C(input), C(dir.file("sealed2.bin"))}},
        // Drives and the diskette: no drive of these letters exists
        {"M_DRIVES", {}},
        {"M_DSERIAL", {C("Q")}},
        {"M_FDTESTW", {C("Q:")}},
        {"M_FDTESTW", {C("Q:"), L(true)}},
        {"M_FDCLEARW", {C("Q:"), L(true)}},
        // Keyboard
        {"M_KEY3", {I(17), I(18), I(27)}},
        {"M_MKEYBID", {I(5), I(1)}},
        {"M_ACTKEYB", {C("00000405")}},
        {"M_ACTKEYB", {}},
        // Pause and directories
        {"M_SLEEP", {I(0)}},
        {"M_MKDIR", {C(dir.file("made"))}},
        {"M_RMDIR", {C(emptyDir)}},
        // Shell
        {"M_SHFDEL", {C(victim), L(false), C(""), I(kSilentShell)}},
        // Adapters
        {"M_MACADAPW", {}},
    };
    for (const Case& c : cases)
        callOnNewThread(c);

    EXPECT_EQ(ReadFile(input), "file contents");
    EXPECT_EQ(ReadFile(victim), "keep me") << "M_SHFDEL acted";
    EXPECT_FALSE(FileExists(dir.file("sealed.bin"))) << "M_FENCRPTW acted";
    EXPECT_FALSE(FileExists(dir.file("sealed2.bin"))) << "M_FECRPTWX acted";
    EXPECT_EQ(GetFileAttributesA(dir.file("made").c_str()), INVALID_FILE_ATTRIBUTES)
        << "M_MKDIR acted";
    EXPECT_NE(GetFileAttributesA(emptyDir.c_str()), INVALID_FILE_ATTRIBUTES) << "M_RMDIR acted";
    // No session was set up there: the session functions still have none.
    EXPECT_EQ(host.call("M_ENCRPTWX", {Value::Text("abc")}).value, Value::Text(""));
    EXPECT_EQ(host.variables().get("secret").value_or(Value::None()), Value::Text("plain text"));
    // The thread that did send message 0 is served as before.
    EXPECT_EQ(host.call("M_STRCRC16", {Value::Text("abc")}).value, Value::Int(38712));
    RemoveDirectoryA(emptyDir.c_str());
}

} // namespace
