// Calls through the stand-in host: its argument checks, the parameter kinds
// as the library turns them into text (character, memo field, variable),
// results handed over in handles, nested dispatch with an error in the
// inner call, and several threads calling at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <windows.h>

#include "host.h"
#include "crcmodel.h"
#include "testdir.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;
using testing_support::TempDir;

namespace {

using testing_support::ModelCrc32;

class Calls : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll"))); }

    double crc32(const Value& v)
    {
        CallResult r = host.call("M_STRCRC32", {v});
        EXPECT_FALSE(r.failed()) << r.refused << r.userError << r.hostError;
        EXPECT_EQ(r.value.kind, Value::Kind::Number);
        return r.value.number;
    }

    TempDir dir;
    Host host;
};

struct Refusal {
    const char* name;
    std::vector<Value> args;
    const char* text;
};

TEST_F(Calls, TheHostRefusesWhatDoesNotFitTheRow)
{
    const Refusal cases[] = {
        {"M_NOSUCH", {}, "function M_NOSUCH is neither built into fllhost nor in the library"},
        {"M_STRCRC32", {}, "M_STRCRC32: too few arguments (0 passed, 1 required)"},
        {"M_STRCRC32",
         {Value::Text("a"), Value::Text("b")},
         "M_STRCRC32: too many arguments (2 passed, at most 1)"},
        {"M_STRCRC32", {Value::Int(1)}, "M_STRCRC32: argument 1 must be C, not I"},
        {"M_STRCRC32", {Value::Bool(true)}, "M_STRCRC32: argument 1 must be C, not L"},
        {"M_STRCRC32", {Value::VarRef("x")}, "M_STRCRC32: argument 1 must be C, not R"},
        {"M_SLEEP", {Value::Num(1.5, 1)}, "M_SLEEP: argument 1 must be I, not N"},
        {"M_SLEEP", {Value::Text("1")}, "M_SLEEP: argument 1 must be I, not C"},
        {"M_MKEYBID", {Value::Int(1)}, "M_MKEYBID: too few arguments (1 passed, 2 required)"},
        {"M_FDTESTW", {Value::Text("A"), Value::Int(1)}, "M_FDTESTW: argument 2 must be L, not I"},
        {"M_MENCRPTW",
         {Value::Text("x"), Value::Text("pass1")},
         "M_MENCRPTW: argument 1 must be R, not C"},
        {"M_SHFDEL",
         {Value::Text("a"), Value::Int(0), Value::Text("")},
         "M_SHFDEL: too few arguments (3 passed, 4 required)"},
        {"M_DRIVES", {Value::Int(0)}, "M_DRIVES: too many arguments (1 passed, at most 0)"},
        {"M_INFO", {Value()}, "M_INFO: argument 1 must be I, not U"},
    };
    for (const Refusal& c : cases) {
        CallResult r = host.call(c.name, c.args);
        EXPECT_EQ(r.refused, c.text);
        EXPECT_TRUE(r.services.empty()) << c.name << ": the function must not run";
        EXPECT_FALSE(r.raised());
    }
    EXPECT_EQ(host.handlesInUse(), 0);
}

TEST_F(Calls, OptionalAnyAndWholeNumbersPass)
{
    // A whole number for an integer parameter becomes an integer.
    CallResult sleep = host.call("M_SLEEP", {Value::Num(0)});
    EXPECT_EQ(sleep.refused, "");
    EXPECT_EQ(sleep.results, 0) << "M_SLEEP returns nothing";
    // The optional logical may be left off; Q: is no diskette drive: 907.
    EXPECT_EQ(host.call("M_FDCLEARW", {Value::Text("Q:")}).hostError, 907);
    EXPECT_EQ(host.call("M_FDCLEARW", {Value::Text("Q:"), Value::Bool(false)}).hostError, 907);
    // '?' takes any kind; an optional parameter at the front may be left off.
    EXPECT_EQ(host.call("M_CRPTINIT", {Value::Text("secret1"), Value::Int(7)}).refused, "");
    EXPECT_EQ(host.call("M_CRPTQUIT", {}).refused, "");
    EXPECT_EQ(host.call("m_strcrc16", {Value::Text("abc")}).value, Value::Int(38712));
}

TEST_F(Calls, CharacterParametersOfEveryLength)
{
    const std::string texts[] = {
        "", "a", "abc", std::string("a\0b\0", 4), std::string(10000, 'x'), "\xff\xfe\x80"};
    for (const std::string& t : texts)
        EXPECT_EQ(crc32(Value::Text(t)), ModelCrc32(t)) << t.size();
    EXPECT_EQ(crc32(Value::Text("abc")), 891568578.0);
    EXPECT_EQ(crc32(Value::Text("a")), 3904355907.0) << "top bit set, still positive";
    EXPECT_EQ(host.handlesInUse(), 0) << "argument handles are freed after the call";
}

TEST_F(Calls, StringResultsAreTakenOverAndFreed)
{
    CallResult r = host.call("M_ENCRPTW", {Value::Text("hello world"), Value::Text("password")});
    ASSERT_FALSE(r.failed()) << r.refused << r.userError;
    EXPECT_EQ(r.results, 1);
    EXPECT_EQ(r.value.kind, Value::Kind::Character);
    EXPECT_EQ(r.value.text.size(), 11u);
    CallResult back = host.call("M_DECRPTW", {r.value, Value::Text("password")});
    EXPECT_EQ(back.value, Value::Text("hello world"));
    EXPECT_EQ(host.call("M_MACNBIOW", {}).value.kind, Value::Kind::Character);
    EXPECT_EQ(host.handlesInUse(), 0);
}

// The memo and variable forms must give what the text form gives, each
// through the services of its kind. A variable's reference says -1 or 0.
TEST_F(Calls, MemoFieldsAndVariablesAsText)
{
    const std::string text = std::string("memo text\0with a zero", 21);
    const Value expected =
        host.call("M_ENCRPTW", {Value::Text(text), Value::Text("password")}).value;
    ASSERT_EQ(expected.kind, Value::Kind::Character);

    auto& areas = host.workAreas();
    ASSERT_TRUE(areas.create(3, 5, {"notes", "other"}));
    ASSERT_TRUE(areas.writeMemo(3, 4, "NOTES", text));
    ASSERT_TRUE(areas.writeMemo(3, 2, "NOTES", "something else"));
    ASSERT_TRUE(areas.go(3, 4));
    host.variables().set("secret", Value::Text(text));

    const std::vector<uint32_t> memo = {abi::kSvcMemoFileChannel, abi::kSvcMemoOffset,
                                        abi::kSvcMemoLength,      abi::kSvcFileSeek,
                                        abi::kSvcFileRead,        abi::kSvcReturnValue};
    const std::vector<uint32_t> variable = {abi::kSvcLoadVariable, abi::kSvcReturnValue};
    struct Row {
        const char* what;
        Value reference;
        const std::vector<uint32_t>& services;
    };
    const Row rows[] = {
        {"memo field", Value::MemoRef(3, "notes"), memo},
        {"variable, where -1", Value::VarRef("SECRET"), variable},
        {"variable, where 0", Value::VarRef("SECRET", 0), variable},
    };
    for (const Row& r : rows) {
        CallResult got = host.call("M_MENCRPTW", {r.reference, Value::Text("password")});
        EXPECT_EQ(got.value, expected) << r.what << ": " << got.userError << got.hostError;
        EXPECT_EQ(got.services, r.services) << r.what;
    }
    EXPECT_EQ(areas.readMemo(3, 4, "notes"), text) << "the field keeps its content";
    EXPECT_EQ(host.variables().get("secret"), Value::Text(text));
    EXPECT_EQ(host.handlesInUse(), 0) << "the loaded variable's handle went back";
}

bool Asked(const CallResult& r, uint32_t service)
{
    return std::find(r.services.begin(), r.services.end(), service) != r.services.end();
}

// The host answers an empty memo as FoxPro's _FindMemo and _MemoSize do,
// with negative numbers; every memo function gives the empty string for it.
TEST_F(Calls, EmptyMemosAndMemosAtTheEnd)
{
    host.variables().set("empty", Value::Text(""));
    EXPECT_EQ(host.call("M_MENCRPTW", {Value::VarRef("empty"), Value::Text("password")}).value,
              Value::Text(""));

    auto& areas = host.workAreas();
    ASSERT_TRUE(areas.create(1, 3, {"m"}));
    ASSERT_TRUE(areas.writeMemo(1, 2, "m", ""));
    ASSERT_TRUE(host.call("M_CRPTINIT", {Value::Text("session")}).value.logical);
    for (int record : {1, 2, 4}) {
        if (record <= 3)
            ASSERT_TRUE(areas.go(1, record));
        else
            areas.skip(1, 5); // at the end of the file every field is empty
        const Value memo = Value::MemoRef(1, "m");
        const CallResult results[] = {
            host.call("M_MENCRPTW", {memo, Value::Text("password")}),
            host.call("M_MDECRPTW", {memo, Value::Text("password")}),
            host.call("M_MECRPTWX", {memo}),
            host.call("M_MDCRPTWX", {memo}),
        };
        for (const CallResult& r : results) {
            EXPECT_FALSE(r.raised()) << "record " << record << ": " << r.hostError << r.userError;
            EXPECT_EQ(r.results, 1) << record;
            EXPECT_EQ(r.value, Value::Text("")) << record;
            EXPECT_TRUE(Asked(r, abi::kSvcMemoOffset)) << record;
        }
    }
    EXPECT_EQ(host.handlesInUse(), 0);
}

// What the memo services answered negative for, the library asks _Load
// about: a field that is no memo gives its text, a reference that leads
// nowhere the host's error number.
TEST_F(Calls, ANegativeMemoOffsetIsAskedOfLoad)
{
    const std::string plain = "a character field";
    const Value expected =
        host.call("M_ENCRPTW", {Value::Text(plain), Value::Text("password")}).value;
    host.serviceHook = [&](abi::HostRequest& r) {
        if (r.code == abi::kSvcMemoOffset || r.code == abi::kSvcMemoLength) {
            r.arg1 = static_cast<uint32_t>(-9);
            return true;
        }
        if (r.code != abi::kSvcLoadVariable)
            return false;
        auto& out = *reinterpret_cast<abi::HostValue*>(r.arg2);
        out.kind = 'C';
        out.length = static_cast<uint32_t>(plain.size());
        abi::HostMessage m{};
        m.code = abi::kMsgAllocHandle;
        m.value1 = out.length;
        host.send(m);
        out.handle = m.value1;
        m.code = abi::kMsgHandleToPointer;
        host.send(m);
        std::memcpy(reinterpret_cast<char*>(m.value1), plain.data(), plain.size());
        r.arg1 = 0;
        return true;
    };
    ASSERT_TRUE(host.workAreas().create(2, 1, {"m"}));
    CallResult r = host.call("M_MENCRPTW", {Value::MemoRef(2, "m"), Value::Text("password")});
    host.serviceHook = nullptr;
    EXPECT_EQ(r.value, expected) << r.hostError << r.userError;
    EXPECT_EQ(host.handlesInUse(), 0) << "the loaded text's handle went back";
}

TEST_F(Calls, ReferencesThatLeadNowhere)
{
    host.variables().set("n", Value::Num(12.5, 1));
    host.variables().set("i", Value::Int(3));
    host.variables().set("l", Value::Bool(true));
    for (const char* name : {"n", "i", "l"})
        EXPECT_EQ(host.call("M_MENCRPTW", {Value::VarRef(name), Value::Text("password")}).hostError,
                  302)
            << name;
    EXPECT_EQ(
        host.call("M_MENCRPTW", {Value::VarRef("missing"), Value::Text("password")}).hostError, 12);
    EXPECT_EQ(host.call("M_MENCRPTW", {Value::MemoRef(9, "m"), Value::Text("password")}).hostError,
              52)
        << "no table in that work area";
    ASSERT_TRUE(host.workAreas().create(9, 1, {"m"}));
    EXPECT_EQ(host.call("M_MENCRPTW", {Value::MemoRef(9, "x"), Value::Text("password")}).hostError,
              12)
        << "no such field";
    EXPECT_EQ(host.handlesInUse(), 0);
}

// _Load makes a handle only for a text: the handle field of a loaded number
// is none of the library's business, whatever it holds.
TEST_F(Calls, ALoadedNumberFreesNoHandle)
{
    abi::HostMessage m{};
    m.code = abi::kMsgAllocHandle;
    m.value1 = 8;
    host.send(m);
    const uint32_t hosts = m.value1; // a block the host keeps for itself
    ASSERT_NE(hosts, 0u);
    host.variables().set("n", Value::Num(12.5, 1));
    host.serviceHook = [hosts](abi::HostRequest& r) {
        if (r.code != abi::kSvcLoadVariable)
            return false;
        auto& out = *reinterpret_cast<abi::HostValue*>(r.arg2);
        out.kind = 'N';
        out.width = 4;
        out.length = 1;
        out.number = 12.5;
        out.handle = hosts;
        r.arg1 = 0;
        return true;
    };
    for (const char* f : {"M_MENCRPTW", "M_MDECRPTW"})
        EXPECT_EQ(host.call(f, {Value::VarRef("n"), Value::Text("password")}).hostError, 302) << f;
    ASSERT_TRUE(host.call("M_CRPTINIT", {Value::Text("session")}).value.logical);
    for (const char* f : {"M_MECRPTWX", "M_MDCRPTWX"})
        EXPECT_EQ(host.call(f, {Value::VarRef("n")}).hostError, 302) << f;
    host.serviceHook = nullptr;
    m = abi::HostMessage{};
    m.code = abi::kMsgHandleToPointer;
    m.value1 = hosts;
    host.send(m);
    EXPECT_NE(m.value1, 0u) << "the host's block is still there";
    EXPECT_EQ(host.handlesInUse(), 1);
    m = abi::HostMessage{};
    m.code = abi::kMsgFreeHandle;
    m.value1 = hosts;
    host.send(m);
}

// The library's memo checks, with the host answering badly on purpose.
TEST_F(Calls, MemoFailuresOfTheHost)
{
    ASSERT_TRUE(host.workAreas().create(2, 1, {"m"}));
    ASSERT_TRUE(host.workAreas().writeMemo(2, 1, "m", "0123456789"));
    struct Case {
        std::vector<std::pair<uint32_t, uint32_t>> answers; // service, answer
        int hostError;
        const char* userError;
    };
    const Case cases[] = {
        {{{abi::kSvcMemoOffset, static_cast<uint32_t>(-1234)},
          {abi::kSvcLoadVariable, static_cast<uint32_t>(-1234)}},
         1234,
         ""},
        {{{abi::kSvcMemoLength, static_cast<uint32_t>(-1)}}, 0, "Invalid memo size\n"},
        {{{abi::kSvcFileRead, 3}}, 0, "Error reading memo field\n"},
    };
    for (const Case& c : cases) {
        host.serviceHook = [&c](abi::HostRequest& r) {
            for (const auto& a : c.answers)
                if (r.code == a.first) {
                    r.arg1 = a.second;
                    return true;
                }
            return false;
        };
        CallResult r = host.call("M_MENCRPTW", {Value::MemoRef(2, "m"), Value::Text("password")});
        EXPECT_EQ(r.hostError, c.hostError) << c.answers[0].first;
        EXPECT_EQ(r.userError, c.userError) << c.answers[0].first;
        EXPECT_EQ(r.results, 0);
    }
    EXPECT_EQ(host.handlesInUse(), 0);
}

TEST_F(Calls, AnInnerErrorUnwindsOnlyTheInnerCall)
{
    const std::string content(25000, 'q');
    testing_support::WriteFile(dir.file("f.bin"), content);
    CallResult inner;
    int reads = 0;
    host.serviceHook = [&](abi::HostRequest& r) {
        if (r.code == abi::kSvcFileRead && reads++ == 1)
            inner = host.call("M_FCRC32", {Value::Text(dir.file("missing.bin"))});
        return false;
    };
    CallResult outer = host.call("M_FCRC32", {Value::Text(dir.file("f.bin"))});
    host.serviceHook = nullptr;
    EXPECT_EQ(inner.hostError, 104);
    EXPECT_EQ(inner.results, 0);
    EXPECT_FALSE(outer.raised());
    EXPECT_EQ(outer.value, Value::Num(ModelCrc32(content)));
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(host.files().openCount(), 0);
    EXPECT_EQ(host.handlesInUse(), 0);
}

TEST_F(Calls, ServicesAreRecordedInOrder)
{
    testing_support::WriteFile(dir.file("e.bin"), "");
    CallResult r = host.call("M_FCRC16", {Value::Text(dir.file("e.bin"))});
    const std::vector<uint32_t> expected = {abi::kSvcFileOpen, abi::kSvcFileRead,
                                            abi::kSvcFileAtEnd, abi::kSvcFileClose,
                                            abi::kSvcReturnValue};
    EXPECT_EQ(r.services, expected);
    EXPECT_EQ(r.value, Value::Int(0));
}

TEST_F(Calls, RaisedErrorsAreAnsweredWith83And84)
{
    uint32_t left = 0;
    host.serviceHook = [&left](abi::HostRequest& r) {
        if (r.code == abi::kSvcRaiseHostError)
            left = r.code;
        return false;
    };
    CallResult r = host.call("M_FCRC32", {Value::Text(dir.file("none"))});
    EXPECT_EQ(r.hostError, 104);
    EXPECT_TRUE(r.raised());
    EXPECT_EQ(left, 83u);
    // A raise the host makes of any other service also unwinds.
    host.serviceHook = [](abi::HostRequest& r) {
        if (r.code != abi::kSvcFileOpen)
            return false;
        r.code = abi::kSvcRaiseUserError;
        return true;
    };
    r = host.call("M_FCRC32", {Value::Text(dir.file("none"))});
    EXPECT_EQ(r.results, 0);
    EXPECT_EQ(r.hostError, 0);
    EXPECT_EQ(host.handlesInUse(), 0);
}

TEST_F(Calls, SeveralThreadsAtOnce)
{
    constexpr int kThreads = 6;
    std::vector<std::string> contents;
    for (int t = 0; t < kThreads; ++t) {
        contents.push_back(std::string(7000 * (t + 1) + t, static_cast<char>('a' + t)));
        testing_support::WriteFile(dir.file("t" + std::to_string(t)), contents.back());
    }
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const std::string text = "thread " + std::to_string(t);
            for (int i = 0; i < 30; ++i) {
                if (host.call("M_STRCRC32", {Value::Text(text)}).value !=
                    Value::Num(ModelCrc32(text)))
                    ++wrong[t];
                if (host.call("M_FCRC32", {Value::Text(dir.file("t" + std::to_string(t)))}).value !=
                    Value::Num(ModelCrc32(contents[t])))
                    ++wrong[t];
            }
            if (host.handlesInUse() != 0)
                ++wrong[t];
        });
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(wrong[t], 0) << "thread " << t;
    EXPECT_EQ(host.files().openCount(), 0);
}

TEST_F(Calls, TwoHostsOnOneThreadKeepTheirOwnTables)
{
    Host other;
    ASSERT_TRUE(other.load(testing_support::Deliverable("marvo32.fll")));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(host.call("M_STRCRC16", {Value::Text("abc")}).value, Value::Int(38712));
        EXPECT_EQ(other.call("M_STRCRC16", {Value::Text("abc")}).value, Value::Int(38712));
    }
    EXPECT_EQ(host.handlesInUse(), 0);
    EXPECT_EQ(other.handlesInUse(), 0);
}

} // namespace
