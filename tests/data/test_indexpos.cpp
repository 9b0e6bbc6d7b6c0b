// Index position functions against a table modelled in the test: the worked
// example, boundaries, the ends, the counting rules of the moves, the two
// position tables, orders that leave the current record out, and the cost in
// host service calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "host.h"
#include "runhost.h"
#include "tabletwin.h"
#include "testdir.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;

namespace {

constexpr int kArea = 3;

class IndexPosition : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll"))); }

    void use(TableTwin& t)
    {
        host.serviceHook = [&t](abi::HostRequest& r) { return t.serve(r, kArea); };
    }

    int32_t call(const char* name, int area = kArea)
    {
        CallResult r = host.call(name, {Value::Int(area)});
        EXPECT_FALSE(r.failed()) << name << ": " << r.refused << r.userError << r.hostError;
        EXPECT_EQ(r.results, 1);
        EXPECT_EQ(r.value.kind, Value::Kind::Integer);
        return r.value.integer;
    }
    int32_t skip(const char* name, int32_t n)
    {
        CallResult r = host.call(name, {Value::Int(kArea), Value::Int(n)});
        EXPECT_FALSE(r.failed());
        return r.value.integer;
    }

    Host host;
};

std::vector<int> shuffled(int n, unsigned seed)
{
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 1);
    std::shuffle(order.begin(), order.end(), std::mt19937(seed));
    return order;
}

TEST_F(IndexPosition, WorkedExampleForward)
{
    TableTwin t(100, shuffled(100, 1));
    t.goPosition(37);
    const int record = t.recordNumber();
    use(t);
    EXPECT_EQ(call("M_IDXNO"), 37);
    // Eight records sampled, jumps of eight from the top to 41, four back.
    std::vector<int> expected(7, 1);
    for (int i = 0; i < 5; ++i)
        expected.push_back(8);
    expected.push_back(-4);
    EXPECT_EQ(t.skips, expected);
    EXPECT_EQ(t.recordNumber(), record);
}

TEST_F(IndexPosition, WorkedExampleBackward)
{
    TableTwin t(100, shuffled(100, 2));
    t.goPosition(37);
    const int record = t.recordNumber();
    use(t);
    EXPECT_EQ(call("M_IDXNOF"), 37);
    // Five records sampled backward, jumps of five to 36, one forward.
    std::vector<int> expected(4, -1);
    for (int i = 0; i < 7; ++i)
        expected.push_back(5);
    expected.push_back(1);
    EXPECT_EQ(t.skips, expected);
    EXPECT_EQ(t.recordNumber(), record);
}

struct Case {
    int count;
    int position;
};

class EveryPosition : public IndexPosition, public ::testing::WithParamInterface<Case> {};

TEST_P(EveryPosition, BothFunctionsFindThePositionAndStay)
{
    const Case c = GetParam();
    for (const char* fn : {"M_IDXNO", "M_IDXNOF"}) {
        TableTwin t(c.count, shuffled(c.count, c.count * 7 + c.position));
        t.goPosition(c.position);
        const int record = t.recordNumber();
        use(t);
        EXPECT_EQ(call(fn), c.position) << fn;
        EXPECT_EQ(t.recordNumber(), record) << fn;
        EXPECT_FALSE(t.eof()) << fn;
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, EveryPosition,
                         ::testing::Values(Case{1, 1}, Case{2, 2}, Case{19, 1}, Case{19, 10},
                                           Case{19, 19}, Case{20, 1}, Case{20, 16}, Case{20, 20},
                                           Case{21, 5}, Case{100, 1}, Case{100, 99}, Case{100, 100},
                                           Case{1000, 500}, Case{1000, 999}, Case{10007, 1},
                                           Case{10007, 5003}, Case{10007, 10007}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::to_string(info.param.count) + "_at_" +
                                    std::to_string(info.param.position);
                         });

TEST_F(IndexPosition, NineteenRecordsAreWalkedTwentySampled)
{
    TableTwin walk(19);
    walk.goPosition(7);
    use(walk);
    EXPECT_EQ(call("M_IDXNO"), 7);
    EXPECT_EQ(walk.skips, std::vector<int>(6, 1)); // one step a position from the top

    TableTwin sample(20);
    sample.goPosition(7);
    use(sample);
    EXPECT_EQ(call("M_IDXNO"), 7);
    // n = 5: four single steps, then jumps of five.
    EXPECT_EQ(std::vector<int>(sample.skips.begin(), sample.skips.begin() + 5),
              (std::vector<int>{1, 1, 1, 1, 5}));
}

TEST_F(IndexPosition, LastAndFirstRecordsEndTheSampleEarly)
{
    TableTwin last(5000);
    last.goPosition(5000);
    use(last);
    EXPECT_EQ(call("M_IDXNO"), 5000);
    EXPECT_EQ(last.skips, (std::vector<int>{1, -1}));
    EXPECT_EQ(last.position(), 5000);

    TableTwin first(5000);
    first.goPosition(1);
    use(first);
    EXPECT_EQ(call("M_IDXNOF"), 1);
    EXPECT_EQ(first.skips, (std::vector<int>{-1, 0}));
}

TEST_F(IndexPosition, AtTheEndTheHostsRecordNumberIsTheAnswer)
{
    TableTwin t(300);
    t.goEnd();
    use(t);
    EXPECT_EQ(call("M_IDXNO"), 301);
    EXPECT_TRUE(t.skips.empty());
}

// At the end of the file the position is the place past the last record,
// count + 1, and the table stays there: walked or sampled alike.
TEST_F(IndexPosition, AtTheEndBothFunctionsGiveCountPlusOneAndStay)
{
    for (int count : {1, 2, 5, 19, 20, 25, 100}) {
        for (const char* fn : {"M_IDXNO", "M_IDXNOF"}) {
            TableTwin t(count, shuffled(count, count * 3));
            t.goEnd();
            use(t);
            EXPECT_EQ(call(fn), count + 1) << fn << " " << count;
            EXPECT_TRUE(t.eof()) << fn << " " << count;
            EXPECT_EQ(t.recordNumber(), count + 1) << fn << " " << count;
        }
    }
}

// The loop every FoxPro program writes, run by the delivered fllhost: the
// position after each SKIP, until the end of the file ends the loop. A call
// that moved the table back from the end would keep the loop going; the
// script gives up after count + 3 rounds so that such a fault shows as
// wrong output.
std::string SkipLoopScript(const char* fn, int count)
{
    const std::string n = std::to_string(count);
    return "SET LIBRARY TO marvo32\n"
           "= MAKETABLE(1, " +
           n +
           ", \"shuffled 11\")\n"
           "GO TOP\n"
           "rounds = 0\n"
           "DO WHILE !EOF()\n"
           "    SKIP\n"
           "    p = " +
           fn +
           "(1)\n"
           "    rounds = rounds + 1\n"
           "    ? rounds, p, EOF()\n"
           "    IF rounds > " +
           n +
           " + 2\n"
           "        EXIT\n"
           "    ENDIF\n"
           "ENDDO\n"
           "? \"rounds\", rounds\n";
}

// Round i finds the table at position i + 1; the last round at the end.
std::string SkipLoopOutput(int count)
{
    std::string out;
    for (int i = 1; i <= count; ++i)
        out +=
            std::to_string(i) + " " + std::to_string(i + 1) + (i == count ? " .T." : " .F.") + "\n";
    return out + "rounds " + std::to_string(count) + "\n";
}

class SkipLoop : public ::testing::TestWithParam<int> {};

TEST_P(SkipLoop, EndsAtTheEndOfTheFileWithEitherFunction)
{
    const int count = GetParam();
    for (const char* fn : {"M_IDXNO", "M_IDXNOF"}) {
        testing_support::TempDir temp;
        const testing_support::HostRun run =
            testing_support::RunFllhost({"-"}, SkipLoopScript(fn, count), temp.path(), temp.path());
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.status, 0u) << fn << "\n" << run.output;
        EXPECT_EQ(run.output, SkipLoopOutput(count)) << fn;
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, SkipLoop, ::testing::Values(1, 5, 19, 20, 25),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param) + "_records";
                         });

TEST_F(IndexPosition, EmptyTableGivesZeroEverywhere)
{
    TableTwin t(0);
    use(t);
    EXPECT_EQ(call("M_IDXNO"), 0);
    EXPECT_EQ(call("M_IDXNOF"), 0);
    EXPECT_EQ(call("M_IGOTOP"), 0);
    EXPECT_EQ(call("M_IGOTOPF"), 0);
    EXPECT_EQ(skip("M_ISKIP", 3), 0); // the stored 0 is kept at the end
}

TEST_F(IndexPosition, SkipCountsAsTheHostMoves)
{
    TableTwin t(50);
    use(t);
    EXPECT_EQ(call("M_IGOTOP"), 1);
    EXPECT_EQ(skip("M_ISKIP", -1), 0); // the attempt that finds the beginning counts
    EXPECT_EQ(call("M_IGOTOP"), 1);
    EXPECT_EQ(skip("M_ISKIP", -2), -1); // and the table stays at the top
    EXPECT_EQ(call("M_IGOTOP"), 1);
    EXPECT_EQ(skip("M_ISKIP", 47), 48);
    EXPECT_EQ(skip("M_ISKIP", 5), 51); // two records and the end: three moves
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(skip("M_ISKIP", 1), 51); // the attempt that finds the end does not
    EXPECT_EQ(skip("M_ISKIP", 0), 51);
    EXPECT_EQ(skip("M_ISKIP", -3), 48);
    EXPECT_EQ(t.position(), 48);
}

TEST_F(IndexPosition, TheTwoTablesAreApart)
{
    TableTwin t(200, shuffled(200, 5));
    t.goPosition(120);
    use(t);
    EXPECT_EQ(call("M_IDXNO"), 120);
    EXPECT_EQ(call("M_IGOTOPF"), 1);
    t.goPosition(120);
    EXPECT_EQ(skip("M_ISKIPF", 2), 3); // does not see the 120 of M_IDXNO
    t.goPosition(120);
    EXPECT_EQ(skip("M_ISKIP", 2), 122);
    EXPECT_EQ(call("M_IDXNOF"), 122);
    EXPECT_EQ(skip("M_ISKIP", -22), 100);
}

// The walk never meets a record the order leaves out: it ends past the last
// record with 0. Sampling meets the records around it and ends too.
TEST_F(IndexPosition, RecordOutsideTheOrderEnds)
{
    for (int count : {2, 10, 19, 20, 100, 5000}) {
        std::vector<int> order(count - 1);
        std::iota(order.begin(), order.end(), 1); // record `count` is left out
        for (const char* fn : {"M_IDXNO", "M_IDXNOF"}) {
            TableTwin t(count, order);
            t.goRecord(count);
            use(t);
            const int32_t position = call(fn);
            if (count < 20) {
                EXPECT_EQ(position, 0) << fn << " " << count;
            }
            EXPECT_GE(position, 0);
            EXPECT_LE(position, count);
            EXPECT_LE(t.total, 3 * count + 20) << fn << " " << count;
        }
    }
}

TEST_F(IndexPosition, WorkAreasOutsideTheTablesTouchNothing)
{
    TableTwin t(10);
    use(t);
    for (int area : {-1, 232, 32767, INT32_MIN}) {
        for (const char* fn : {"M_IDXNO", "M_IDXNOF", "M_IGOTOP", "M_IGOTOPF"})
            EXPECT_EQ(call(fn, area), 0) << fn << " " << area;
        CallResult r = host.call("M_ISKIP", {Value::Int(area), Value::Int(5)});
        EXPECT_EQ(r.value.integer, 0);
    }
    EXPECT_EQ(t.total, 0);
}

TEST_F(IndexPosition, CostStaysNearTheSampleAndOneJumpPerWindow)
{
    for (int count : {100, 10000, 1000000}) {
        for (int position : {1, count / 3, count / 2, count - 1}) {
            TableTwin t(count);
            t.goPosition(position);
            use(t);
            ASSERT_EQ(call("M_IDXNO"), position);
            const int n = std::max(5, count / 2 / 6);
            // n steps with a status each, count / n jumps, a few fixed calls.
            EXPECT_LE(t.total, 2 * n + count / n + 10) << count << "@" << position;
        }
    }
}

TEST_F(IndexPosition, RealWorkAreaOfTheHost)
{
    host.serviceHook = nullptr;
    ASSERT_TRUE(host.workAreas().create(kArea, 500));
    ASSERT_TRUE(host.workAreas().shuffle(kArea, 42));
    const std::vector<int> order = host.workAreas().order(kArea);
    for (int position : {1, 17, 250, 499, 500}) {
        ASSERT_TRUE(host.workAreas().go(kArea, order[position - 1]));
        EXPECT_EQ(call("M_IDXNO"), position);
        EXPECT_EQ(call("M_IDXNOF"), position);
        EXPECT_EQ(host.workAreas().recordNumber(kArea), order[position - 1]);
    }
}

} // namespace
