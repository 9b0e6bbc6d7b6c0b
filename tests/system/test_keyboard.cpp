// Keyboard state and layouts through the real library: the key tests read the
// calling thread's key state, which each test sets with SetKeyboardState;
// the waits are checked step by step with GetTickCount, Sleep and
// GetMessageA answered by the test, and end to end with real input from a
// helper thread.
//
// Under Wine, SendInput reaches no thread when there is no display and no
// focus window, and a posted message only wakes GetMessageA. What does work:
// a helper thread attaches its input to the calling thread
// (AttachThreadInput), sets the shared key state with SetKeyboardState and
// posts a message so that the waiting GetMessageA returns.
#include <climits>
#include <cstring>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "system/keystate.h"
#include "system_host.h"

namespace {

using namespace system_tests;

// The calling thread's key state, put back at scope end.
class KeyStateScope {
  public:
    KeyStateScope() { GetKeyboardState(saved_); }
    ~KeyStateScope() { SetKeyboardState(saved_); }
    KeyStateScope(const KeyStateScope&) = delete;
    KeyStateScope& operator=(const KeyStateScope&) = delete;

  private:
    BYTE saved_[256];
};

void SetKeys(std::initializer_list<int> down, BYTE value = 0x80)
{
    BYTE state[256] = {};
    for (int key : down)
        state[key] = value;
    SetKeyboardState(state);
}

void SetAllKeysBut(int up)
{
    BYTE state[256];
    for (BYTE& b : state)
        b = 0x80;
    state[up] = 0;
    SetKeyboardState(state);
}

class Keyboard : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << lib.error(); }
    KeyStateScope keys;
    LoadedLibrary lib;
};

struct FixedKey {
    const char* function;
    int code;
};

// Codes as Windows publishes them (winuser.h), written out here.
const FixedKey kFixedKeys[] = {
    {"M_CTRL", 17},  {"M_ALT", 18}, {"M_LSHIFT", 160}, {"M_RSHIFT", 161},
    {"M_SCRL", 145}, {"M_ESC", 27}, {"M_BSPACE", 8},
};

TEST_F(Keyboard, FixedKeysReadBit7OfTheirOwnCodeOnly)
{
    for (const FixedKey& k : kFixedKeys) {
        SetKeys({k.code});
        EXPECT_TRUE(Logical(lib.call(k.function), true)) << k.function;
        SetKeys({k.code}, 0xFF);
        EXPECT_TRUE(Logical(lib.call(k.function), true)) << k.function;
        SetKeys({k.code}, 0x7F);
        EXPECT_TRUE(Logical(lib.call(k.function), false)) << k.function;
        SetKeys({k.code}, 0x01); // toggled on, not held
        EXPECT_TRUE(Logical(lib.call(k.function), false)) << k.function;
        SetAllKeysBut(k.code);
        EXPECT_TRUE(Logical(lib.call(k.function), false)) << k.function;
    }
}

TEST_F(Keyboard, LeftShiftIsNotTheRightOne)
{
    SetKeys({161, 16}); // right Shift and the common Shift entry
    EXPECT_TRUE(Logical(lib.call("M_LSHIFT"), false));
    EXPECT_TRUE(Logical(lib.call("M_RSHIFT"), true));
}

// Windows 95, 98 and ME answer 0 for the left and right Shift and the real
// state for the common one: the Win32 SDK's pages of GetAsyncKeyState and
// GetKeyState say Windows 95 does not support the left- and
// right-distinguishing constants and returns 0 for them.
using GetKeyboardStateFn = BOOL(WINAPI*)(PBYTE);
GetKeyboardStateFn gRealGetKeyboardState = nullptr;

BOOL WINAPI KeyStateAs9x(PBYTE state)
{
    if (!gRealGetKeyboardState(state))
        return FALSE;
    state[VK_LSHIFT] = 0;
    state[VK_RSHIFT] = 0;
    return TRUE;
}

// The keys are held as NT reports them, the common Shift entry with each
// side; the 9x rows get the same state through 9x's answer.
TEST_F(Keyboard, ShiftSidesWhereTheSystemKeepsThemElseEitherShift)
{
    struct Case {
        const char* name;
        bool as9x;
        std::set<int> down;
        bool left, right;
    };
    const Case cases[] = {
        {"NT, no key", false, {}, false, false},
        {"NT, Ctrl", false, {17}, false, false},
        {"NT, left Shift", false, {16, 160}, true, false},
        {"NT, right Shift", false, {16, 161}, false, true},
        {"NT, both Shift keys", false, {16, 160, 161}, true, true},
        {"9x, no key", true, {}, false, false},
        {"9x, Ctrl", true, {17}, false, false},
        {"9x, left Shift", true, {16, 160}, true, true},
        {"9x, right Shift", true, {16, 161}, true, true},
        {"9x, both Shift keys", true, {16, 160, 161}, true, true},
    };
    for (const Case& c : cases) {
        std::optional<pe::ImportPatch> as9x;
        if (c.as9x) {
            as9x.emplace(lib.module, "user32.dll", "GetKeyboardState",
                         reinterpret_cast<const void*>(&KeyStateAs9x));
            ASSERT_TRUE(as9x->installed()) << c.name;
            gRealGetKeyboardState = as9x->original<GetKeyboardStateFn>();
        }
        BYTE state[256] = {};
        for (int key : c.down)
            state[key] = 0x80;
        SetKeyboardState(state);
        EXPECT_TRUE(Logical(lib.call("M_LSHIFT"), c.left)) << c.name;
        EXPECT_TRUE(Logical(lib.call("M_RSHIFT"), c.right)) << c.name;
    }
}

TEST_F(Keyboard, ScrollLockSwitchedOnButReleasedIsNotHeld)
{
    SetKeys({145}, 0x01);
    EXPECT_TRUE(Logical(lib.call("M_SCRL"), false));
    EXPECT_TRUE(Logical(lib.call("M_KEY", {Value::Int(145)}), false));
}

TEST_F(Keyboard, KeyTestsEveryCodeOfTheTable)
{
    for (int code = 0; code < 256; ++code) {
        SetKeys({code});
        ASSERT_TRUE(Logical(lib.call("M_KEY", {Value::Int(code)}), true)) << code;
        ASSERT_TRUE(Logical(lib.call("M_KEY", {Value::Int((code + 1) % 256)}), false)) << code;
    }
}

TEST_F(Keyboard, CodesOutsideTheTableAreNeverHeld)
{
    BYTE all[256];
    for (BYTE& b : all)
        b = 0xFF;
    SetKeyboardState(all);
    for (int32_t code : {-1, 256, 0x1001B, INT_MIN, INT_MAX}) {
        EXPECT_TRUE(Logical(lib.call("M_KEY", {Value::Int(code)}), false)) << code;
        EXPECT_TRUE(Logical(lib.call("M_KEY2", {Value::Int(27), Value::Int(code)}), false));
        EXPECT_TRUE(
            Logical(lib.call("M_KEY3", {Value::Int(code), Value::Int(27), Value::Int(17)}), false));
    }
}

struct CodeRow {
    int32_t code;
    bool held;
};

// Where the library decides which codes name a key: a state whose every
// byte, the ones after the table's end included, says "held".
TEST(KeyCodes, OnlyCodesOfTheTableAreLookedUp)
{
    uint8_t bytes[2 * keyboard::kStateSize];
    std::memset(bytes, 0xFF, sizeof bytes);
    const auto& state = *reinterpret_cast<const uint8_t(*)[keyboard::kStateSize]>(bytes);
    const CodeRow rows[] = {
        {INT_MIN, false}, {-1, false},  {0, true},        {1, true},        {255, true},
        {256, false},     {257, false}, {0x1001B, false}, {INT_MAX, false},
    };
    for (const CodeRow& r : rows)
        EXPECT_EQ(keyboard::HeldIn(state, r.code), r.held) << r.code;
}

TEST_F(Keyboard, TwoAndThreeKeysMustAllBeHeld)
{
    struct Case {
        std::set<int> down;
        bool both;  // 17 and 27
        bool three; // 17, 27 and 65
    };
    const Case cases[] = {
        {{}, false, false},       {{17}, false, false},       {{27}, false, false},
        {{17, 27}, true, false},  {{17, 27, 65}, true, true}, {{27, 65}, false, false},
        {{17, 65}, false, false}, {{65}, false, false},
    };
    for (const Case& c : cases) {
        BYTE state[256] = {};
        for (int key : c.down)
            state[key] = 0x80;
        SetKeyboardState(state);
        EXPECT_TRUE(Logical(lib.call("M_KEY2", {Value::Int(17), Value::Int(27)}), c.both));
        EXPECT_TRUE(Logical(lib.call("M_KEY2", {Value::Int(27), Value::Int(17)}), c.both));
        EXPECT_TRUE(
            Logical(lib.call("M_KEY3", {Value::Int(17), Value::Int(27), Value::Int(65)}), c.three));
    }
}

TEST_F(Keyboard, SameKeyTwiceIsTheKeyOnce)
{
    for (bool down : {false, true}) {
        SetKeys({17}, down ? 0x80 : 0);
        EXPECT_TRUE(Logical(lib.call("M_KEY2", {Value::Int(17), Value::Int(17)}), down));
        EXPECT_TRUE(Logical(lib.call("M_KEY", {Value::Int(17)}), down));
    }
}

// --- The wait, step by step: GetTickCount, Sleep and GetMessageA are
// answered here. The tick count moves only when the library sleeps.

struct WaitScript {
    DWORD now = 0;
    int messages = 0;
    std::vector<DWORD> sleeps;
    bool badMessageArguments = false;
    std::function<void(int)> onMessage; // message number, from 1
};
WaitScript* gScript = nullptr;

DWORD WINAPI ScriptTicks()
{
    return gScript->now;
}

void WINAPI ScriptSleep(DWORD ms)
{
    gScript->sleeps.push_back(ms);
    gScript->now += ms; // wraps after 49.7 days, as the real count does
}

BOOL WINAPI ScriptGetMessage(LPMSG message, HWND window, UINT first, UINT last)
{
    if (window || first || last)
        gScript->badMessageArguments = true;
    *message = MSG{};
    ++gScript->messages;
    if (gScript->onMessage)
        gScript->onMessage(gScript->messages);
    return TRUE;
}

class KeyWait : public Keyboard {
  protected:
    void SetUp() override
    {
        Keyboard::SetUp();
        ASSERT_TRUE(ticks_.installed()) << "the wait reads GetTickCount";
        ASSERT_TRUE(sleep_.installed());
        ASSERT_TRUE(message_.installed());
        gScript = &script;
    }
    void TearDown() override { gScript = nullptr; }

    WaitScript script;
    pe::ImportPatch ticks_{lib.module, "kernel32.dll", "GetTickCount",
                           reinterpret_cast<const void*>(&ScriptTicks)};
    pe::ImportPatch sleep_{lib.module, "kernel32.dll", "Sleep",
                           reinterpret_cast<const void*>(&ScriptSleep)};
    pe::ImportPatch message_{lib.module, "user32.dll", "GetMessageA",
                             reinterpret_cast<const void*>(&ScriptGetMessage)};
};

struct WaitCase {
    const char* name;
    std::vector<int> keys;
    int32_t timeout;
    DWORD start;
    std::map<int, std::set<int>> downAfter; // message number -> keys down from then on
    std::set<int> downAtStart;
    bool result;
    int rounds; // sleeps of 100 ms, each followed by one message
};

const char* WaitFunction(size_t keys)
{
    return keys == 1 ? "M_WKEY" : keys == 2 ? "M_WKEY2" : "M_WKEY3";
}

TEST_F(KeyWait, TestsFirstThenSleepsTakesOneMessageAndComparesTheTimeWaited)
{
    const WaitCase cases[] = {
        {"down at the call, time-out 0", {27}, 0, 1000, {}, {27}, true, 0},
        {"up, time-out 0", {27}, 0, 1000, {}, {}, false, 1},
        {"down after 5 messages, no limit", {27}, -1, 1000, {{5, {27}}}, {}, true, 5},
        {"other negative time-out is no limit too", {27}, -7, 0, {{12, {27}}}, {}, true, 12},
        {"time-out 250", {27}, 250, 1000, {}, {}, false, 3},
        {"time-out 200: 200 is not less than 200", {27}, 200, 1000, {}, {}, false, 2},
        {"time-out 201", {27}, 201, 1000, {}, {}, false, 3},
        {"down in time", {27}, 250, 0, {{2, {27}}}, {}, true, 2},
        {"two keys one after the other, then together",
         {17, 27},
         -1,
         0,
         {{1, {17}}, {2, {27}}, {3, {}}, {4, {17, 27}}},
         {},
         true,
         4},
        {"three keys never together",
         {17, 18, 27},
         1000,
         0,
         {{1, {17, 18}}, {2, {18, 27}}},
         {},
         false,
         10},
        {"the longest time-out from the middle of the count",
         {27},
         INT_MAX,
         0x7FFF0000,
         {{3, {27}}},
         {},
         true,
         3},
        {"the longest time-out just before the count wraps",
         {27},
         INT_MAX,
         0xFFFFFFF0,
         {{3, {27}}},
         {},
         true,
         3},
        {"the count wraps during the wait", {27}, 250, 0xFFFFFF00, {}, {}, false, 3},
        {"the count wraps with the first sleep", {27}, 100, 0xFFFFFFFF, {}, {}, false, 1},
        {"the deadline lands exactly on the wrap", {27}, 300, 0xFFFFFED4, {}, {}, false, 3},
        {"key down after the wrap", {17, 27}, 1000, 0xFFFFFF9C, {{4, {17, 27}}}, {}, true, 4},
    };
    for (const WaitCase& c : cases) {
        script = WaitScript{};
        script.now = c.start;
        std::map<int, std::set<int>> downAfter = c.downAfter;
        script.onMessage = [&downAfter](int n) {
            auto it = downAfter.find(n);
            if (it == downAfter.end())
                return;
            BYTE state[256] = {};
            for (int key : it->second)
                state[key] = 0x80;
            SetKeyboardState(state);
        };
        BYTE state[256] = {};
        for (int key : c.downAtStart)
            state[key] = 0x80;
        SetKeyboardState(state);

        std::vector<Value> args;
        for (int key : c.keys)
            args.push_back(Value::Int(key));
        args.push_back(Value::Int(c.timeout));
        EXPECT_TRUE(Logical(lib.call(WaitFunction(c.keys.size()), args), c.result)) << c.name;
        EXPECT_EQ(script.sleeps, std::vector<DWORD>(c.rounds, 100)) << c.name;
        EXPECT_EQ(script.messages, c.rounds) << c.name;
        EXPECT_FALSE(script.badMessageArguments) << c.name;
    }
}

// A read of the key state that fails leaves in the buffer whatever it
// likes; here every key looks down. It must count as no key held.
BOOL WINAPI FailedKeyState(PBYTE state)
{
    std::memset(state, 0xFF, 256);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

TEST_F(KeyWait, AKeyStateThatCannotBeReadHoldsNoKey)
{
    pe::ImportPatch failed(lib.module, "user32.dll", "GetKeyboardState",
                           reinterpret_cast<const void*>(&FailedKeyState));
    ASSERT_TRUE(failed.installed());
    SetAllKeysBut(0); // the real state has every key down
    for (const FixedKey& k : kFixedKeys)
        EXPECT_TRUE(Logical(lib.call(k.function), false)) << k.function;
    EXPECT_TRUE(Logical(lib.call("M_KEY", {Value::Int(27)}), false));
    EXPECT_TRUE(Logical(lib.call("M_KEY2", {Value::Int(17), Value::Int(27)}), false));
    EXPECT_TRUE(
        Logical(lib.call("M_KEY3", {Value::Int(17), Value::Int(18), Value::Int(27)}), false));
    script = WaitScript{};
    EXPECT_TRUE(Logical(lib.call("M_WKEY", {Value::Int(27), Value::Int(250)}), false));
    EXPECT_EQ(script.messages, 3) << "the wait went on until its time-out";
}

// --- The wait end to end, with real input.

HANDLE gInWait = nullptr;
using GetMessageFn = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT);
GetMessageFn gRealGetMessage = nullptr;

// Passes the call on after telling the helper that the library waits.
BOOL WINAPI AnnouncingGetMessage(LPMSG message, HWND window, UINT first, UINT last)
{
    SetEvent(gInWait);
    return gRealGetMessage(message, window, first, last);
}

// Presses the keys on the waiting thread once the library is in GetMessageA.
class KeyPresser {
  public:
    KeyPresser(DWORD target, std::vector<int> keys)
        : thread_([target, keys] {
              WaitForSingleObject(gInWait, INFINITE);
              AttachThreadInput(GetCurrentThreadId(), target, TRUE);
              BYTE state[256];
              GetKeyboardState(state);
              for (int key : keys)
                  state[key] = 0x80;
              SetKeyboardState(state);
              AttachThreadInput(GetCurrentThreadId(), target, FALSE);
              PostThreadMessageA(target, WM_NULL, 0, 0);
          })
    {
    }
    ~KeyPresser() { thread_.join(); }
    KeyPresser(const KeyPresser&) = delete;
    KeyPresser& operator=(const KeyPresser&) = delete;

  private:
    std::thread thread_;
};

TEST_F(Keyboard, WaitWithoutLimitEndsWhenTheKeyIsPressedOnTheWaitingThread)
{
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue exists
    SetKeys({});
    gInWait = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    pe::ImportPatch announce(lib.module, "user32.dll", "GetMessageA",
                             reinterpret_cast<const void*>(&AnnouncingGetMessage));
    ASSERT_TRUE(announce.installed());
    gRealGetMessage = announce.original<GetMessageFn>();
    {
        KeyPresser press(GetCurrentThreadId(), {27});
        EXPECT_TRUE(Logical(lib.call("M_WKEY", {Value::Int(27), Value::Int(-1)}), true));
    }
    CloseHandle(gInWait);
}

TEST_F(Keyboard, WaitWithLimitZeroAnswersAtOnceWhenTheKeyIsHeld)
{
    SetKeys({27});
    EXPECT_TRUE(Logical(lib.call("M_WKEY", {Value::Int(27), Value::Int(0)}), true));
}

TEST_F(Keyboard, WaitWithLimitZeroTakesOneMessageAndAnswersFalse)
{
    SetKeys({});
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
    EXPECT_TRUE(Logical(lib.call("M_WKEY", {Value::Int(27), Value::Int(0)}), false));
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << "the message was not taken";
}

// --- Layouts.

bool IsLayoutName(const std::string& s)
{
    if (s.size() != 8)
        return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c)) || std::islower(c))
            return false;
    return true;
}

TEST_F(Keyboard, LayoutNameIsTheThreadsActiveLayout)
{
    char expected[KL_NAMELENGTH] = "";
    GetKeyboardLayoutNameA(expected);
    std::string name = Text(lib.call("M_GETKEYB"));
    EXPECT_EQ(name, expected);
    EXPECT_TRUE(IsLayoutName(name)) << name;
}

TEST_F(Keyboard, LayoutNameFromTwoNumbers)
{
    struct Case {
        int32_t primary, sublanguage;
        const char* name;
    };
    // sublanguage * 1024 + primary in eight upper-case hexadecimal digits,
    // from the low 16 bits of each number, the primary not cut to 10 bits.
    const Case cases[] = {
        {5, 1, "00000405"},        {27, 1, "0000041B"},      {9, 2, "00000809"},
        {0, 0, "00000000"},        {0x10005, 1, "00000405"}, {5, 0x10001, "00000405"},
        {0x3FF, 0x3F, "0000FFFF"}, {0xFFFF, 0, "0000FFFF"},  {0xFFFF, 0xFFFF, "03FFFFFF"},
        {-1, -1, "03FFFFFF"},      {0x400, 1, "00000400"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(lib.call("M_MKEYBID", {Value::Int(c.primary), Value::Int(c.sublanguage)})),
                  c.name)
            << c.primary << ", " << c.sublanguage;
}

TEST_F(Keyboard, ActivatingTheActiveLayoutKeepsIt)
{
    std::string name = Text(lib.call("M_GETKEYB"));
    EXPECT_TRUE(Logical(lib.call("M_ACTKEYB", {Value::Text(name)}), true));
    EXPECT_EQ(Text(lib.call("M_GETKEYB")), name);
}

struct LoadRecord {
    int calls = 0;
    std::string name;
    UINT flags = 0;
};
LoadRecord gLoad;

HKL WINAPI RecordLoad(LPCSTR name, UINT flags)
{
    ++gLoad.calls;
    gLoad.name = name;
    gLoad.flags = flags;
    return nullptr;
}

TEST_F(Keyboard, LayoutNamesThatDoNotFitTheBufferAreRefused)
{
    gLoad = LoadRecord{};
    pe::ImportPatch load(lib.module, "user32.dll", "LoadKeyboardLayoutA",
                         reinterpret_cast<const void*>(&RecordLoad));
    ASSERT_TRUE(load.installed());
    for (size_t length : {12u, 13u, 100u, 5000u}) {
        EXPECT_TRUE(Logical(lib.call("M_ACTKEYB", {Value::Text(std::string(length, '4'))}), false))
            << length;
    }
    EXPECT_EQ(gLoad.calls, 0);

    const std::string eleven = "00000405XYZ";
    EXPECT_TRUE(Logical(lib.call("M_ACTKEYB", {Value::Text(eleven)}), false));
    EXPECT_EQ(gLoad.calls, 1);
    EXPECT_EQ(gLoad.name, eleven);
    EXPECT_EQ(gLoad.flags, 3u); // KLF_ACTIVATE | KLF_SUBSTITUTE_OK
}

struct ActivateRecord {
    int calls = 0;
    HKL layout = nullptr;
    UINT flags = 0;
    HKL answer = nullptr;
};
ActivateRecord gActivate;

HKL WINAPI RecordActivate(HKL layout, UINT flags)
{
    ++gActivate.calls;
    gActivate.layout = layout;
    gActivate.flags = flags;
    return gActivate.answer;
}

TEST_F(Keyboard, WithoutANameTheNextLayoutIsActivated)
{
    pe::ImportPatch activate(lib.module, "user32.dll", "ActivateKeyboardLayout",
                             reinterpret_cast<const void*>(&RecordActivate));
    ASSERT_TRUE(activate.installed());
    for (HKL answer : {reinterpret_cast<HKL>(0x04050405), static_cast<HKL>(nullptr)}) {
        gActivate = ActivateRecord{};
        gActivate.answer = answer;
        EXPECT_TRUE(Logical(lib.call("M_ACTKEYB"), answer != nullptr));
        EXPECT_EQ(gActivate.calls, 1);
        EXPECT_EQ(gActivate.layout, reinterpret_cast<HKL>(1)); // HKL_NEXT
        EXPECT_EQ(gActivate.flags, 8u);                        // KLF_REORDER
    }
}

} // namespace
