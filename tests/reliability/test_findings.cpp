// Faults the fuzzing driver found, each made again with the smallest call
// that shows it, and kept as tests once mended.
#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

#include "host.h"
#include "sandbox.h"
#include "testdir.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;

namespace {

class Findings : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host.load(reliability::Library())); }

    testing_support::TempDir dir;
    Host host;
};

// Seed 20261207, call 337: M_ISKIPF(6, -1369029930) stepped an area without
// a table record by record, 1.4 billion times (the host's record of the
// requests ran out of memory first). A step that reaches no record ends it.
TEST_F(Findings, SkippingAnAreaWithoutATableEndsAtOnce)
{
    for (const char* name : {"M_ISKIP", "M_ISKIPF"}) {
        for (int32_t count : {100000, -100000, INT32_MAX, INT32_MIN + 1, INT32_MIN}) {
            const std::string at = std::string(name) + " " + std::to_string(count);
            const CallResult before = host.call(name, {Value::Int(6), Value::Int(0)});
            const CallResult r = host.call(name, {Value::Int(6), Value::Int(count)});
            ASSERT_FALSE(r.failed()) << at << ": " << r.refused;
            EXPECT_LT(r.services.size(), 10u) << at;
            // Forward, the step that finds nothing is not counted; backward the
            // attempt is, as the one that finds the beginning.
            EXPECT_EQ(r.value.integer, before.value.integer + (count > 0 ? 0 : -1)) << at;
        }
    }
}

// A table's own moves are as before: they end at the end and the beginning.
TEST_F(Findings, SkippingATableStillCountsItsSteps)
{
    ASSERT_TRUE(host.workAreas().create(2, 5));
    EXPECT_EQ(host.call("M_IGOTOP", {Value::Int(2)}).value.integer, 1);
    EXPECT_EQ(host.call("M_ISKIP", {Value::Int(2), Value::Int(INT32_MAX)}).value.integer, 6);
    EXPECT_EQ(host.call("M_ISKIP", {Value::Int(2), Value::Int(-3)}).value.integer, 3);
    // Two steps back to the first record, a third that finds the beginning, and
    // the attempt that sees it: four counted.
    EXPECT_EQ(host.call("M_ISKIP", {Value::Int(2), Value::Int(INT32_MIN)}).value.integer, -1);
}

// The threads test: M_DRVTYPE on one drive from several threads at once
// answered the type plus 100 now and then, as if no file could be made in
// the root: each call's test file x.x was open in another thread's call.
TEST_F(Findings, DriveTypeFromSeveralThreadsAtOnce)
{
    const std::string root = dir.path().substr(0, 3);
    const int32_t type = static_cast<int32_t>(GetDriveTypeA(root.c_str()));
    ASSERT_EQ(host.call("M_DRVTYPE", {Value::Text(root)}).value.integer, type);
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 1000; ++i)
                wrong[t] += host.call("M_DRVTYPE", {Value::Text(root)}).value.integer != type;
        });
    for (std::thread& t : threads)
        t.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

// Seed 1, call 123372: M_SHFCOPY("D:\\work\\", "D:\\work\\sub\\...", ...) with a
// destination name of 425 bytes crashed the host: the shell (Wine's, and the
// old shells with their MAX_PATH buffers) overran its stack. A list with a
// name of MAX_PATH bytes or more now gets DE_PATHTOODEEP without the shell.
TEST_F(Findings, ShellNamesLongerThanAPathNeverReachTheShell)
{
    const std::string base = dir.path() + "\\";
    testing_support::WriteFile(base + "a.txt", "a");
    std::string longName = base;
    while (longName.size() < 420)
        longName += "Xgfrx\\";
    const int32_t quiet = 0x4 | 0x10 | 0x200 | 0x400;
    const std::string nul(1, '\0');
    struct Case {
        const char* name;
        std::string from, to;
        int32_t flags;
    };
    const Case cases[] = {
        {"M_SHFCOPY", base + "a.txt", longName, quiet},
        {"M_SHFCOPY", base + "a.txt", longName + "b.txt", quiet | 0x8},
        {"M_SHFCOPY", longName, base + "b", quiet},
        {"M_SHFCOPY", base + "a.txt", base + "c" + nul + longName, quiet | 0x1},
        {"M_SHFMOVE", base + "a.txt" + nul + longName, base + "d", quiet},
        {"M_SHFMOVE", base + "a.txt", std::string(MAX_PATH, 'y'), quiet},
        {"M_SHFDEL", base + "x.txt" + nul + longName + "*", "", quiet},
    };
    for (const Case& c : cases) {
        const std::string at = std::string(c.name) + " " + std::to_string(c.from.size()) + " -> " +
                               std::to_string(c.to.size());
        const CallResult r = host.call(c.name, {Value::Text(c.from), Value::Text(c.to),
                                                Value::Text("t"), Value::Int(c.flags)});
        ASSERT_FALSE(r.failed()) << at << ": " << r.refused;
        EXPECT_EQ(r.value.integer, 0x79) << at;
    }
    EXPECT_TRUE(testing_support::FileExists(base + "a.txt")) << "nothing was moved";
    // Names of a path's length still go to the shell.
    const std::string fits = base + std::string(MAX_PATH - 1 - base.size(), 'f');
    EXPECT_EQ(host.call("M_SHFCOPY", {Value::Text(base + "a.txt"), Value::Text(fits),
                                      Value::Text("t"), Value::Int(quiet)})
                  .value.integer,
              0);
    EXPECT_EQ(testing_support::ReadFile(fits), "a");
}

} // namespace
