// The space functions through the stand-in host against what the file system
// reports for the same folder (reached through Z:). drive-prefix.sh --own-disk
// maps the drives to folders of a file system of 6 GiB that only the test
// writes to: its free space holds still between the two readings, and the
// 32-bit counts wrap.
#include <windows.h>

#include <cmath>
#include <string>

#include "drivetest.h"

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

} // namespace
