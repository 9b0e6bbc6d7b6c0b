// Drive information through the stand-in host, on the drives drive-prefix.sh
// maps: the drive mask, the drive naming of the space functions, the drive
// types with the host's file test, and the volume serial number.
#include <windows.h>

#include <string>
#include <vector>

#include "drivetest.h"

namespace {

using drivetest::DriveTest;
using fllhost::Value;

TEST_F(DriveTest, MaskHasExactlyThePrefixDrives)
{
    int32_t expected = 0;
    for (char letter : drivetest::PrefixLetters())
        expected |= 1 << (letter - 'a');
    ASSERT_NE(expected & (1 << 0), 0) << "A: is mapped";
    ASSERT_NE(expected & (1 << ('m' - 'a')), 0) << "M: is mapped";
    ASSERT_EQ(expected & (1 << ('q' - 'a')), 0) << "Q: is not mapped";

    const fllhost::CallResult r = host.call("M_DRIVES", {});
    ASSERT_FALSE(r.failed());
    EXPECT_EQ(r.value.kind, Value::Kind::Integer);
    EXPECT_EQ(r.value.width, 10);
    EXPECT_EQ(r.value.integer, expected);
}

// Values that hold still while the test runs.
const char* const kSteadyFunctions[] = {"M_DRVBYTES", "M_DRVBYTESX", "M_DSERIAL", "M_DRVTYPE"};

TEST_F(DriveTest, ArgumentsNameTheDriveByTheirFirstCharacter)
{
    const std::vector<std::vector<std::string>> spellings = {
        {"c", "C", "c:", "C:\\ANYTHING"},
        {"s", "S", "s:", "S:\\ANYTHING"},
    };
    for (const auto& drive : spellings) {
        for (const char* name : kSteadyFunctions) {
            const fllhost::CallResult first = call(name, drive[0]);
            ASSERT_FALSE(first.failed()) << name;
            for (const std::string& spelling : drive)
                EXPECT_EQ(call(name, spelling).value, first.value)
                    << name << "(" << spelling << ")";
        }
    }
    EXPECT_EQ(number("M_DSERIAL", "s:"), 2147483649.0);
}

const char* const kSpaceFunctions[] = {"M_DRVBYTES", "M_DRVUSED",   "M_DRVFREE",
                                       "M_DRVSPACE", "M_DRVBYTESX", "M_DRVUSEDX",
                                       "M_DRVFREEX", "M_DRVFREECX", "M_DSERIAL"};

TEST_F(DriveTest, NoDriveGivesZeroAndNoRootDirectory)
{
    for (const char* drive : {"Q", "q:\\DATA", "1", "", "?"}) {
        for (const char* name : kSpaceFunctions)
            EXPECT_EQ(number(name, drive), 0.0) << name << "(" << drive << ")";
        const fllhost::CallResult type = call("M_DRVTYPE", drive);
        EXPECT_EQ(type.value.integer, 1) << drive;
        EXPECT_EQ(type.value.width, 5);
        // No root directory: no file test is asked of the host.
        EXPECT_EQ(type.services, std::vector<uint32_t>{abi::kSvcReturnValue}) << drive;
    }
}

struct TypeCase {
    char letter;
    int32_t type;
};

// The types drive-prefix.sh sets in the prefix's registry.
const TypeCase kTypes[] = {{'A', 2}, {'B', 2}, {'C', 3}, {'M', 3}, {'N', 5}, {'R', 4}};

TEST_F(DriveTest, TypeWithAPassedFileTestLeavesNothingBehind)
{
    for (const TypeCase& c : kTypes) {
        const std::string drive(1, c.letter);
        const fllhost::CallResult r = call("M_DRVTYPE", drive);
        EXPECT_EQ(r.value.kind, Value::Kind::Integer);
        EXPECT_EQ(r.value.integer, c.type) << drive;
        EXPECT_EQ(r.services, (std::vector<uint32_t>{abi::kSvcFileOpen, abi::kSvcFileClose,
                                                     abi::kSvcReturnValue}));
        EXPECT_FALSE(drivetest::Exists(drive + ":\\x.x")) << drive;
    }
    EXPECT_EQ(host.files().openCount(), 0);
}

TEST_F(DriveTest, TypeAsksTheHostToCreateTheTestFile)
{
    std::vector<std::vector<uint32_t>> opens;
    host.serviceHook = [&](abi::HostRequest& request) {
        if (request.code == abi::kSvcFileOpen)
            opens.push_back({request.arg2, request.arg3});
        return false;
    };
    call("M_DRVTYPE", "m");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0], (std::vector<uint32_t>{128, 1}));
}

TEST_F(DriveTest, TypeKeepsTheUsersOwnTestFile)
{
    drivetest::MakeFile("M:\\x.x", "the user's own");
    EXPECT_EQ(integer("M_DRVTYPE", "M"), 3);
    EXPECT_EQ(drivetest::FileText("M:\\x.x"), "the user's own");
}

TEST_F(DriveTest, TypeIsRaisedBy100WhenNoFileCanBeMade)
{
    // A folder of that name stands where the test file would be made.
    drivetest::MakeFolder("M:\\x.x");
    drivetest::MakeFolder("N:\\x.x");
    EXPECT_EQ(integer("M_DRVTYPE", "M"), 103);
    EXPECT_EQ(integer("M_DRVTYPE", "N"), 105);
    EXPECT_TRUE(drivetest::Exists("M:\\x.x"));
}

struct SerialCase {
    const char* drive;
    double serial;
};

// The serial numbers drive-prefix.sh gives these drives.
const SerialCase kSerials[] = {
    {"U", 2147483647.0}, // 7FFFFFFF
    {"S", 2147483649.0}, // 80000001
    {"V", 3735928559.0}, // DEADBEEF
    {"T", 4294967295.0}, // FFFFFFFF
};

TEST_F(DriveTest, SerialIsUnsigned)
{
    for (const SerialCase& c : kSerials) {
        const fllhost::CallResult r = call("M_DSERIAL", c.drive);
        EXPECT_EQ(r.value.kind, Value::Kind::Number);
        EXPECT_EQ(r.value.width, 15);
        EXPECT_EQ(r.value.decimals, 0u);
        EXPECT_EQ(r.value.number, c.serial) << c.drive;
        EXPECT_GT(r.value.number, 0.0);
    }
}

TEST_F(DriveTest, NoHandleIsLeftBehind)
{
    const int before = host.handlesInUse();
    for (const char* name : kSpaceFunctions)
        call(name, "M");
    call("M_DRVTYPE", "M");
    host.call("M_DRIVES", {});
    EXPECT_EQ(host.handlesInUse(), before);
}

} // namespace
