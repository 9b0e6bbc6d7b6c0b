// The drive functions' arithmetic and drive naming, against counts worked
// out by hand: the 32-bit products wrap modulo 2^32, the 64-bit ones are exact.
#include <gtest/gtest.h>

#include <string>

#include "system/drivespace.h"

namespace {

using drives::ClusterCounts;
using drives::ClusterSpace;

struct ClusterCase {
    const char* name;
    ClusterCounts counts; // sectors per cluster, bytes per sector, free, total clusters
    double total, free, used;
};

const ClusterCase kClusterCases[] = {
    {"small", {8, 512, 100, 1000}, 4096000.0, 409600.0, 3686400.0},
    {"diskette", {1, 512, 2847, 2847}, 1457664.0, 1457664.0, 0.0},
    {"just below 4 GiB", {8, 512, 0, 1048575}, 4294963200.0, 0.0, 4294963200.0},
    {"exactly 4 GiB", {8, 512, 0, 1048576}, 0.0, 0.0, 0.0},
    {"4 GiB and a cluster", {8, 512, 1, 1048577}, 4096.0, 4096.0, 0.0},
    // 250 GiB total wraps to 2^32 * 58 + 2147483648 -> 2147483648; 3 GiB free stays.
    {"wrapped total below free",
     {8, 512, 786432, 65536000},
     2147483648.0,
     3221225472.0,
     -1073741824.0},
    {"failed query", {0, 0, 0, 0}, 0.0, 0.0, 0.0},
};

TEST(DriveSpace, ClusterProductsWrapModulo2To32)
{
    for (const ClusterCase& c : kClusterCases) {
        EXPECT_EQ(ClusterSpace(drives::kTotal, c.counts), c.total) << c.name;
        EXPECT_EQ(ClusterSpace(drives::kFree, c.counts), c.free) << c.name;
        EXPECT_EQ(ClusterSpace(drives::kUsed, c.counts), c.used) << c.name;
        for (int other : {0, 3, 5, -1})
            EXPECT_EQ(ClusterSpace(other, c.counts), 0.0) << c.name << " selector " << other;
    }
}

TEST(DriveSpace, ByteCountsAreExact)
{
    // 1 TiB + 1 total, 8 GiB free, 4 GiB of it for the caller.
    const drives::ByteCounts b{4294967296ull, 1099511627777ull, 8589934592ull};
    EXPECT_EQ(drives::ByteSpace(drives::kTotal, b), 1099511627777.0);
    EXPECT_EQ(drives::ByteSpace(drives::kFree, b), 8589934592.0);
    EXPECT_EQ(drives::ByteSpace(drives::kCallerFree, b), 4294967296.0);
    EXPECT_EQ(drives::ByteSpace(drives::kUsed, b), 1090921693185.0);
    for (int other : {0, 5, -1})
        EXPECT_EQ(drives::ByteSpace(other, b), 0.0);
    // Exact up to 2^53.
    const drives::ByteCounts big{0, 9007199254740992ull, 1};
    EXPECT_EQ(drives::ByteSpace(drives::kUsed, big), 9007199254740991.0);
}

TEST(DriveSpace, RootPathTakesTheFirstCharacterAsItIs)
{
    struct Case {
        std::string argument;
        const char* root;
    };
    const Case cases[] = {
        {"c", "c:\\"},
        {"C", "C:\\"},
        {"c:", "c:\\"},
        {"C:\\ANYTHING", "C:\\"},
        {"1", "1:\\"},
        {"", ""},
        {std::string(1, '\0') + "C", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(drives::RootPath(c.argument.data(), static_cast<uint32_t>(c.argument.size())),
                  c.root)
            << c.argument;
}

} // namespace
