// The space functions through the stand-in host: each takes its own count of
// a disk whose counts all differ, and they agree with what the file system
// reports for the same folder (reached through Z:). drive-prefix.sh --own-disk
// maps the drives to folders of a file system of 6 GiB that only the test
// writes to: its free space holds still between the two readings, and the
// 32-bit counts wrap.
#include <windows.h>

#include <cmath>
#include <string>

#include "drivetest.h"
#include "system_host.h"

namespace {

using fllhost::Value;

constexpr double kTwoTo32 = 4294967296.0;

class FreeSpace : public drivetest::DriveTest {};

struct Reference {
    double callerFree = 0, total = 0, free = 0;
};

Reference ReferenceSpace(const std::string& folder)
{
    ULARGE_INTEGER callerFree{}, total{}, free{};
    EXPECT_TRUE(GetDiskFreeSpaceExA((folder + "\\").c_str(), &callerFree, &total, &free));
    return {static_cast<double>(callerFree.QuadPart), static_cast<double>(total.QuadPart),
            static_cast<double>(free.QuadPart)};
}

// A file of 1 MiB on M:, so that the drive is neither empty nor full.
void Occupy()
{
    drivetest::MakeFile("M:\\occupied.bin", std::string(1 << 20, 'x'));
}

TEST_F(FreeSpace, ExactTotalIsWhatTheFileSystemReports)
{
    const Reference ref = ReferenceSpace(drivetest::MappedFolder('m'));
    const fllhost::CallResult r = call("M_DRVBYTESX", "M");
    EXPECT_EQ(r.value.kind, Value::Kind::Number);
    EXPECT_EQ(r.value.width, 25);
    EXPECT_EQ(r.value.decimals, 0u);
    EXPECT_EQ(r.value.number, ref.total);
}

TEST_F(FreeSpace, ExactFreeCountsAreWhatTheFileSystemReports)
{
    Occupy();
    const Reference ref = ReferenceSpace(drivetest::MappedFolder('m'));
    ASSERT_GT(ref.free, 0.0);
    ASSERT_LT(ref.free, ref.total);
    EXPECT_EQ(number("M_DRVFREEX", "M"), ref.free);
    EXPECT_EQ(number("M_DRVFREECX", "M"), ref.callerFree);
}

TEST_F(FreeSpace, ExactUsedIsTotalMinusTotalFree)
{
    Occupy();
    const Reference ref = ReferenceSpace(drivetest::MappedFolder('m'));
    ASSERT_LT(ref.free, ref.total);
    EXPECT_EQ(number("M_DRVUSEDX", "M"), ref.total - ref.free);
}

// The plain functions multiply cluster counts in 32 bits: modulo 2^32 of the
// exact counts (the free clusters are those available to the caller).
TEST_F(FreeSpace, PlainSizesWrapModulo2To32)
{
    const double exactTotal = number("M_DRVBYTESX", "M");
    const fllhost::CallResult total = call("M_DRVBYTES", "M");
    EXPECT_EQ(total.value.kind, Value::Kind::Number);
    EXPECT_EQ(total.value.width, 15);
    EXPECT_EQ(total.value.decimals, 0u);
    EXPECT_EQ(total.value.number, std::fmod(exactTotal, kTwoTo32));
    ASSERT_GT(exactTotal, kTwoTo32) << "the drive is too small to wrap";
    EXPECT_LT(total.value.number, exactTotal);

    Occupy();
    const double free = number("M_DRVFREE", "M");
    EXPECT_EQ(free, std::fmod(number("M_DRVFREECX", "M"), kTwoTo32));
    // Subtracted as numbers: negative when the wrapped total is the smaller.
    EXPECT_EQ(number("M_DRVUSED", "M"), total.value.number - free);
}

TEST_F(FreeSpace, SpaceIsFreeUnderAnotherName)
{
    ASSERT_NE(host.find("M_DRVSPACE"), nullptr);
    EXPECT_EQ(host.find("M_DRVSPACE")->entry, host.find("M_DRVFREE")->entry);
    for (const char* drive : {"M", "N", "Q", ""})
        EXPECT_EQ(number("M_DRVSPACE", drive), number("M_DRVFREE", drive)) << drive;
}

// A disk whose counts all differ, so that each function must take its own.
constexpr ULONGLONG kCallerFree = 5000000001, kTotal = 9000000007, kFree = 6000000003;
constexpr DWORD kFreeClusters = 1000, kTotalClusters = 3000, kClusterBytes = 8 * 512;

BOOL WINAPI ScriptedFreeSpaceEx(LPCSTR, PULARGE_INTEGER callerFree, PULARGE_INTEGER total,
                                PULARGE_INTEGER free)
{
    callerFree->QuadPart = kCallerFree;
    total->QuadPart = kTotal;
    free->QuadPart = kFree;
    return TRUE;
}

BOOL WINAPI ScriptedFreeSpace(LPCSTR, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                              LPDWORD freeClusters, LPDWORD totalClusters)
{
    *sectorsPerCluster = 8;
    *bytesPerSector = 512;
    *freeClusters = kFreeClusters;
    *totalClusters = kTotalClusters;
    return TRUE;
}

TEST(FreeSpaceCounts, EachFunctionTakesItsOwnCount)
{
    for (const char* build : {"marvo32.fll", "marvo32w9.fll"}) {
        system_tests::LoadedLibrary lib(build);
        ASSERT_TRUE(lib.loaded()) << build << ": " << lib.error();
        pe::ImportPatch exact(lib.module, "kernel32.dll", "GetDiskFreeSpaceExA",
                              reinterpret_cast<const void*>(&ScriptedFreeSpaceEx));
        pe::ImportPatch clusters(lib.module, "kernel32.dll", "GetDiskFreeSpaceA",
                                 reinterpret_cast<const void*>(&ScriptedFreeSpace));
        ASSERT_TRUE(exact.installed() && clusters.installed()) << build;
        const struct {
            const char* function;
            double expected;
        } rows[] = {
            {"M_DRVBYTESX", double(kTotal)},
            {"M_DRVFREEX", double(kFree)},
            {"M_DRVFREECX", double(kCallerFree)},
            {"M_DRVUSEDX", double(kTotal - kFree)},
            {"M_DRVBYTES", double(kTotalClusters * kClusterBytes)},
            {"M_DRVFREE", double(kFreeClusters * kClusterBytes)},
            {"M_DRVUSED", double((kTotalClusters - kFreeClusters) * kClusterBytes)},
        };
        for (const auto& row : rows) {
            const fllhost::CallResult r = lib.call(row.function, {Value::Text("C")});
            ASSERT_FALSE(r.failed()) << build << " " << row.function;
            EXPECT_EQ(r.value.number, row.expected) << build << " " << row.function;
        }
    }
}

} // namespace
