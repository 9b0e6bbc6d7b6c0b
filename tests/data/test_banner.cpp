// M_INFO: the window services it asks for, with their arguments, the wait,
// and its answer whatever the host's windows do.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host.h"
#include "testdir.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;

namespace {

struct Seen {
    uint32_t code;
    std::vector<uint32_t> args;
    std::vector<int32_t> ints; // what a pointer argument points at, where it matters
    std::string text;
};

class Banner : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll")));
        host.serviceHook = [this](abi::HostRequest& r) {
            if (r.code < abi::kSvcWindowDefine || r.code == abi::kSvcReturnValue)
                return false;
            Seen s{r.code, {r.arg1, r.arg2, r.arg3, r.arg4, r.arg5}, {}, {}};
            if (r.code == abi::kSvcWindowDefine) {
                auto* rect = reinterpret_cast<const int32_t*>(r.arg1);
                s.ints.assign(rect, rect + 4);
                auto* pair = reinterpret_cast<const uint32_t*>(r.arg5);
                s.ints.push_back(static_cast<int32_t>(pair[0]));
                s.text.assign(reinterpret_cast<const char*>(pair[1]), 16);
                r.arg1 = window;
            } else if (r.code == abi::kSvcWindowSetup) {
                auto* triple = reinterpret_cast<const int32_t*>(r.arg2);
                s.ints.assign(triple, triple + 3);
            } else if (r.code == abi::kSvcWindowPutText) {
                s.text = reinterpret_cast<const char*>(r.arg2);
            }
            seen.push_back(s);
            return true;
        };
    }

    CallResult info(int32_t seconds) { return host.call("M_INFO", {Value::Int(seconds)}); }

    Host host;
    uint32_t window = 7;
    std::vector<Seen> seen;
};

TEST_F(Banner, AsksForTheBorderedWindowTheTextAndTheWait)
{
    CallResult r = info(3);
    ASSERT_FALSE(r.failed());
    EXPECT_EQ(r.results, 1);
    EXPECT_EQ(r.value.kind, Value::Kind::Integer);
    EXPECT_EQ(r.value.integer, 0);
    EXPECT_EQ(r.value.width, 1);

    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[0].code, abi::kSvcWindowDefine);
    EXPECT_EQ(seen[0].ints, (std::vector<int32_t>{28, 1, 78, 6, 0}));
    EXPECT_EQ(seen[0].args[1], 2048u);
    EXPECT_EQ(seen[0].args[2], 4u);
    EXPECT_EQ(seen[0].args[3], 1u);
    EXPECT_EQ(seen[0].text, std::string("\xCD\xCD\xBA\xBA\xC9\xBB\xC8\xBC"
                                        "\xCD\xCD\xBA\xBA\xC9\xBB\xC8\xBC",
                                        16));

    EXPECT_EQ(seen[1].code, abi::kSvcWindowSetState);
    EXPECT_EQ(seen[1].args[0], window);
    EXPECT_EQ(seen[1].args[1], 3u);

    EXPECT_EQ(seen[2].code, abi::kSvcWindowSetup);
    EXPECT_EQ(seen[2].args[0], window);
    EXPECT_EQ(seen[2].ints, (std::vector<int32_t>{0, 0, 1}));
    EXPECT_EQ(seen[2].args[2], 2u);
    EXPECT_EQ(seen[2].args[3], 1u);

    EXPECT_EQ(seen[3].code, abi::kSvcWindowPutText);
    EXPECT_EQ(seen[3].args[0], window);
    const std::string& banner = seen[3].text;
    ASSERT_EQ(banner.size(), 4 * 48 + 3u);
    for (int line = 0; line < 4; ++line) {
        if (line < 3) {
            EXPECT_EQ(banner[line * 49 + 48], '\n');
        }
        const std::string text = banner.substr(line * 49, 48);
        EXPECT_EQ(text.find('\n'), std::string::npos) << line;
    }
    EXPECT_NE(banner.find("Marvo32"), std::string::npos);

    EXPECT_EQ(seen[4].code, abi::kSvcTimedWait);
    EXPECT_EQ(seen[4].args[0], 3000u);
    EXPECT_EQ(seen[4].args[1], 2u);

    EXPECT_EQ(seen[5].code, abi::kSvcWindowSetState);
    EXPECT_EQ(seen[5].args[0], window);
    EXPECT_EQ(seen[5].args[1], 1u);
}

TEST_F(Banner, WithoutAWindowItStillWaitsAndAnswersZero)
{
    window = 0;
    CallResult r = info(2);
    EXPECT_EQ(r.value.integer, 0);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].code, abi::kSvcWindowDefine);
    EXPECT_EQ(seen[1].code, abi::kSvcTimedWait);
    EXPECT_EQ(seen[1].args[0], 2000u);
    EXPECT_EQ(seen[2].code, abi::kSvcWindowSetState);
    EXPECT_EQ(seen[2].args[0], 0u);
    EXPECT_EQ(seen[2].args[1], 1u);
}

TEST_F(Banner, WaitsAreNeverNegativeNorWrapped)
{
    const struct {
        int32_t seconds;
        uint32_t wait;
    } cases[] = {{0, 0}, {1, 1000}, {-1, 0}, {INT32_MIN, 0}, {INT32_MAX, 2147483000u}};
    for (const auto& c : cases) {
        seen.clear();
        CallResult r = info(c.seconds);
        EXPECT_EQ(r.value.integer, 0);
        ASSERT_EQ(seen.size(), 6u);
        EXPECT_EQ(seen[4].args[0], c.wait) << c.seconds;
    }
}

TEST_F(Banner, LeavesNoHandleBehind)
{
    const int before = host.handlesInUse();
    info(0);
    EXPECT_EQ(host.handlesInUse(), before);
}

} // namespace
