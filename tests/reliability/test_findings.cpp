// Faults the fuzzing driver found, each made again with the smallest call
// that shows it, and kept as tests once mended.
#include <gtest/gtest.h>

#include <climits>

#include "host.h"
#include "testdir.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;

namespace {

class Findings : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll"))); }

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
            SCOPED_TRACE(std::string(name) + " " + std::to_string(count));
            const CallResult before = host.call(name, {Value::Int(6), Value::Int(0)});
            const CallResult r = host.call(name, {Value::Int(6), Value::Int(count)});
            ASSERT_FALSE(r.failed()) << r.refused;
            EXPECT_LT(r.services.size(), 10u);
            // Forward, the step that finds nothing is not counted; backward the
            // attempt is, as the one that finds the beginning.
            EXPECT_EQ(r.value.integer, before.value.integer + (count > 0 ? 0 : -1));
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

} // namespace
