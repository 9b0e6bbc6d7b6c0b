// The diskette test's device steps on a simulated drive: the calls in their
// order with their arguments, what each failure undoes, the error code
// returned, and a medium that is never changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "system/floppytest.h"

namespace {

using Calls = std::vector<std::string>;

constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorWriteProtect = 19;
constexpr uint32_t kErrorNotReady = 21;
constexpr uint32_t kErrorCrc = 23;
constexpr uint32_t kErrorSeek = 25;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorInvalidParameter = 87;

constexpr uint32_t kMedia720 = 5;    // F3_720_512
constexpr uint32_t kMedia288 = 6;    // F3_2Pt88_512
constexpr uint32_t kMediaFixed = 12; // FixedMedia

// A 3.5-inch drive with a 1.44 MB diskette unless told otherwise. Every call
// is logged; failures set the thread's error as Windows does, and a call
// that succeeds leaves it alone.
class SimulatedDrive final : public floppy::FloppyDevice {
  public:
    SimulatedDrive() : medium(1474560)
    {
        for (size_t i = 0; i < medium.size(); ++i)
            medium[i] = static_cast<char>(i * 7 + i / 512);
    }

    uint32_t openError = 0, lockError = 0, geometryError = 0, mediaError = 0;
    std::vector<uint32_t> mediaTypes{kMedia720, floppy::kMedia144, kMedia288};
    uint32_t mediaBytes = 0xFFFFFFFF; // bytes the media query reports; all records when unset
    uint32_t readError = 0;           // the read fails with this code
    uint32_t readLimit = floppy::kTransferSize;
    bool writeProtected = false;
    uint32_t seekError = 0;
    uint32_t errorMode = 0x8001;
    uint32_t error = kErrorInvalidParameter; // the thread's code before the run

    std::vector<char> medium;
    Calls calls;
    int openHandles = 0, locks = 0;

    bool open(const std::string& path, uint32_t access, uint32_t share) override
    {
        calls.push_back("open " + path + " " + hex(access) + " " + hex(share));
        if (openError)
            return fail(openError);
        ++openHandles;
        position = 0;
        return true;
    }
    bool control(uint32_t code, void* out, uint32_t outSize, uint32_t& returned) override
    {
        calls.push_back("control " + hex(code) + " " + std::to_string(outSize));
        returned = 0;
        switch (code) {
        case floppy::kLockVolume:
            if (lockError)
                return fail(lockError);
            ++locks;
            return true;
        case floppy::kUnlockVolume:
            --locks;
            return true;
        case floppy::kDismountVolume:
            return locks == 0 ? true : fail(kErrorAccessDenied);
        case floppy::kGetGeometry:
            if (geometryError)
                return fail(geometryError);
            returned = sizeof(floppy::DiskGeometry);
            return true;
        case floppy::kGetMediaTypes:
            return media(out, outSize, returned);
        }
        return fail(kErrorNotSupported);
    }
    bool read(void* buffer, uint32_t size, uint32_t& done) override
    {
        calls.push_back("read " + std::to_string(size));
        done = 0;
        if (readError)
            return fail(readError);
        done = std::min(size, readLimit);
        std::memcpy(buffer, &medium[position], done);
        position += done;
        return true;
    }
    bool seekToStart() override
    {
        calls.push_back("seek 0");
        if (seekError)
            return fail(seekError);
        position = 0;
        return true;
    }
    bool write(const void* buffer, uint32_t size, uint32_t& done) override
    {
        calls.push_back("write " + std::to_string(size));
        done = 0;
        if (writeProtected)
            return fail(kErrorWriteProtect);
        std::memcpy(&medium[position], buffer, size);
        done = size;
        position += size;
        return true;
    }
    void close() override
    {
        calls.push_back("close");
        --openHandles;
    }
    uint32_t setErrorMode(uint32_t mode) override
    {
        calls.push_back("errormode " + hex(mode));
        const uint32_t before = errorMode;
        errorMode = mode;
        return before;
    }
    uint32_t lastError() override { return error; }
    void setLastError(uint32_t code) override { error = code; }

  private:
    static std::string hex(uint32_t v)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%X", v);
        return text;
    }
    bool fail(uint32_t code)
    {
        error = code;
        return false;
    }
    bool media(void* out, uint32_t outSize, uint32_t& returned)
    {
        if (mediaError)
            return fail(mediaError);
        auto* table = static_cast<floppy::DiskGeometry*>(out);
        uint32_t n = 0;
        for (uint32_t type : mediaTypes) {
            if ((n + 1) * sizeof(floppy::DiskGeometry) > outSize)
                break;
            table[n++] = {80, type, 2, 18, 512};
        }
        returned = n * sizeof(floppy::DiskGeometry);
        if (mediaBytes != 0xFFFFFFFF)
            returned = mediaBytes;
        return true;
    }
    size_t position = 0;
};

// The calls of each step, as the simulated drive logs them.
const std::string kOpen = "open \\\\.\\A: C0000000 2";
const std::string kLock = "control 90018 0";
const std::string kGeometry = "control 70000 24";
const std::string kMediaTypes = "control 70C00 480";
const std::string kSaveMode = "errormode 0";
const std::string kFailCritical = "errormode 1";
const std::string kRead = "read 16384";
const std::string kSeek = "seek 0";
const std::string kWrite = "write 16384";
const std::string kRestoreMode = "errormode 8001";
const std::string kUnlock = "control 9001C 0";
const std::string kDismount = "control 90020 0";
const std::string kClose = "close";

struct Scenario {
    const char* name;
    std::function<void(SimulatedDrive&)> setUp;
    bool write;
    Calls calls;
    uint32_t result;
};

const Scenario kScenarios[] = {
    {"read test",
     [](SimulatedDrive&) {},
     false,
     {kOpen, kLock, kGeometry, kMediaTypes, kSaveMode, kFailCritical, kRead, kRestoreMode, kUnlock,
      kDismount, kClose},
     0},
    {"read and write back",
     [](SimulatedDrive&) {},
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kSaveMode, kFailCritical, kRead, kSeek, kWrite,
      kRestoreMode, kUnlock, kDismount, kClose},
     0},
    {"1.44 MB as the last listed type",
     [](SimulatedDrive& d) {
         d.mediaTypes = {kMedia720, 3, 4, floppy::kMedia144};
     },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kSaveMode, kFailCritical, kRead, kSeek, kWrite,
      kRestoreMode, kUnlock, kDismount, kClose},
     0},
    {"write-protected",
     [](SimulatedDrive& d) { d.writeProtected = true; },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kSaveMode, kFailCritical, kRead, kSeek, kWrite,
      kRestoreMode, kUnlock, kDismount, kClose},
     kErrorWriteProtect},
    {"write-protected, read only",
     [](SimulatedDrive& d) { d.writeProtected = true; },
     false,
     {kOpen, kLock, kGeometry, kMediaTypes, kSaveMode, kFailCritical, kRead, kRestoreMode, kUnlock,
      kDismount, kClose},
     0},
    {"failing read",
     [](SimulatedDrive& d) { d.readError = kErrorCrc; },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kSaveMode, kFailCritical, kRead, kRestoreMode, kUnlock,
      kDismount, kClose},
     kErrorCrc},
    {"short read writes back what it read",
     [](SimulatedDrive& d) { d.readLimit = 8192; },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kSaveMode, kFailCritical, kRead, kSeek, "write 8192",
      kRestoreMode, kUnlock, kDismount, kClose},
     0},
    {"failing seek writes nothing",
     [](SimulatedDrive& d) { d.seekError = kErrorSeek; },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kSaveMode, kFailCritical, kRead, kSeek, kRestoreMode,
      kUnlock, kDismount, kClose},
     kErrorSeek},
    {"empty read writes nothing",
     [](SimulatedDrive& d) { d.readLimit = 0; },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kSaveMode, kFailCritical, kRead, kRestoreMode, kUnlock,
      kDismount, kClose},
     0},
    {"no 1.44 MB media",
     [](SimulatedDrive& d) {
         d.mediaTypes = {kMedia720, kMedia288};
     },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kUnlock, kDismount, kClose},
     0},
    {"fixed disk",
     [](SimulatedDrive& d) { d.mediaTypes = {kMediaFixed}; },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kUnlock, kDismount, kClose},
     0},
    {"media types fail",
     [](SimulatedDrive& d) { d.mediaError = kErrorNotSupported; },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kUnlock, kClose},
     kErrorNotSupported},
    {"media types without a whole record",
     [](SimulatedDrive& d) { d.mediaBytes = 23; },
     true,
     {kOpen, kLock, kGeometry, kMediaTypes, kUnlock, kClose},
     kErrorNotSupported},
    {"no medium",
     [](SimulatedDrive& d) { d.geometryError = kErrorNotReady; },
     true,
     {kOpen, kLock, kGeometry, kUnlock, kClose},
     kErrorNotReady},
    {"volume in use",
     [](SimulatedDrive& d) { d.lockError = kErrorAccessDenied; },
     true,
     {kOpen, kLock, kClose},
     kErrorAccessDenied},
    {"no device",
     [](SimulatedDrive& d) { d.openError = kErrorFileNotFound; },
     true,
     {kOpen},
     kErrorFileNotFound},
};

void PrintTo(const Scenario& s, std::ostream* out)
{
    *out << s.name;
}

class FloppySteps : public ::testing::TestWithParam<Scenario> {};

TEST_P(FloppySteps, FollowTheOrderAndUndoWhatTheyDid)
{
    const Scenario& s = GetParam();
    SimulatedDrive drive;
    s.setUp(drive);
    const std::vector<char> before = drive.medium;
    std::vector<char> buffer(floppy::kTransferSize);

    const uint32_t result = floppy::RunFloppyTest(drive, 'A', s.write, buffer.data());

    EXPECT_EQ(drive.calls, s.calls);
    EXPECT_EQ(result, s.result);
    EXPECT_EQ(drive.openHandles, 0) << "the device is closed";
    EXPECT_EQ(drive.locks, 0) << "the volume is unlocked";
    EXPECT_EQ(drive.errorMode, 0x8001u) << "the error mode is restored";
    EXPECT_TRUE(drive.medium == before) << "the medium is unchanged";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FloppySteps, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

// An error the thread held before the run never passes for the run's result.
TEST(FloppyStepsResult, EarlierErrorIsCleared)
{
    for (uint32_t earlier : {0u, 2u, 87u, 1117u}) {
        SimulatedDrive drive;
        drive.error = earlier;
        std::vector<char> buffer(floppy::kTransferSize);
        EXPECT_EQ(floppy::RunFloppyTest(drive, 'A', true, buffer.data()), 0u) << earlier;
    }
}

TEST(FloppyStepsResult, NoBufferTouchesNoDevice)
{
    SimulatedDrive drive;
    EXPECT_EQ(floppy::RunFloppyTest(drive, 'A', true, nullptr), floppy::kErrorNotEnoughMemory);
    EXPECT_TRUE(drive.calls.empty());
}

TEST(FloppyStepsResult, NoLetterTouchesNoDevice)
{
    SimulatedDrive drive;
    std::vector<char> buffer(floppy::kTransferSize);
    EXPECT_EQ(floppy::RunFloppyTest(drive, '\0', true, buffer.data()), floppy::kErrorInvalidDrive);
    EXPECT_TRUE(drive.calls.empty());
}

TEST(FloppyStepsResult, DevicePathKeepsTheLetterAsGiven)
{
    struct Case {
        char letter;
        const char* path;
    };
    for (const Case& c : {Case{'A', "\\\\.\\A:"}, Case{'b', "\\\\.\\b:"}, Case{'1', "\\\\.\\1:"}}) {
        SimulatedDrive drive;
        drive.openError = kErrorFileNotFound;
        std::vector<char> buffer(floppy::kTransferSize);
        floppy::RunFloppyTest(drive, c.letter, false, buffer.data());
        EXPECT_EQ(drive.calls, Calls{std::string("open ") + c.path + " C0000000 2"});
    }
}

// The bytes written back are the bytes read from the start of the medium.
TEST(FloppyStepsResult, WritesBackTheFirst16KiB)
{
    SimulatedDrive drive;
    std::vector<char> buffer(floppy::kTransferSize, '\x55');
    ASSERT_EQ(floppy::RunFloppyTest(drive, 'A', true, buffer.data()), 0u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), drive.medium.begin()));
}

} // namespace
