// M_INFO: the window services it asks for, with their arguments, the wait
// (none when no time is given: the host's wait would then wait for a key),
// and its answer whatever the host's windows do.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host.h"
#include "keyqueue.h"
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

TEST_F(Banner, NoTimeMeansNoWaitAndAHugeTimeIsCut)
{
    const struct {
        int32_t seconds;
        int32_t wait; // -1: no wait asked for
    } cases[] = {{0, -1},
                 {-1, -1},
                 {INT32_MIN, -1},
                 {1, 1000},
                 {2147483, 2147483000},
                 {2147484, 2147483000},
                 {INT32_MAX, 2147483000}};
    for (const auto& c : cases) {
        seen.clear();
        CallResult r = info(c.seconds);
        EXPECT_EQ(r.value.integer, 0);
        if (c.wait == -1) {
            ASSERT_EQ(seen.size(), 5u) << c.seconds;
            for (const Seen& s : seen)
                EXPECT_NE(s.code, abi::kSvcTimedWait) << c.seconds;
            EXPECT_EQ(seen[4].code, abi::kSvcWindowSetState) << "the banner still goes";
            EXPECT_EQ(seen[4].args[1], 1u);
            continue;
        }
        ASSERT_EQ(seen.size(), 6u);
        ASSERT_EQ(seen[4].code, abi::kSvcTimedWait);
        // The host's time-out is signed: a positive number of seconds must
        // never become a wait for a key (0) or a mere look (negative).
        EXPECT_EQ(static_cast<int32_t>(seen[4].args[0]), c.wait) << c.seconds;
    }
}

// Against the host's own key wait, which waits for a key when it is given
// no time: a key posted before M_INFO(0) must still be waiting afterwards.
TEST(BannerKeyWait, NoTimeLeavesTheKeysAlone)
{
    using namespace testing_support;
    Host host;
    ASSERT_TRUE(host.load(Deliverable("marvo32.fll")));
    ClearKeys();
    for (int32_t seconds : {0, -1, -3600, INT32_MIN}) {
        ASSERT_TRUE(PostKey(WM_CHAR, 'z'));
        CallResult r = host.call("M_INFO", {Value::Int(seconds)});
        EXPECT_EQ(r.value, Value::Int(0, 1)) << seconds;
        EXPECT_TRUE(KeyStillWaiting(WM_CHAR, 'z')) << seconds << ": the host waited for a key";
    }
    EXPECT_TRUE(host.windows().waits().empty());
    const std::vector<fllhost::TextWindow> shown = host.windows().all();
    ASSERT_EQ(shown.size(), 4u);
    for (const fllhost::TextWindow& w : shown) {
        EXPECT_NE(w.text.find("Marvo32"), std::string::npos);
        EXPECT_EQ(w.state, 1) << "shown and taken away";
    }
}

TEST_F(Banner, LeavesNoHandleBehind)
{
    const int before = host.handlesInUse();
    info(0);
    EXPECT_EQ(host.handlesInUse(), before);
}

} // namespace
