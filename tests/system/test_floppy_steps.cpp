// The diskette test's device steps on a simulated drive, through the volume
// device of Windows NT and through VWIN32's BIOS disk service of Windows
// 95/98/ME: the calls in their order with their arguments, what each failure
// undoes, the error code returned, and a medium that is never changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "system/floppytest.h"

namespace {

using Calls = std::vector<std::string>;

constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorWriteProtect = 19;
constexpr uint32_t kErrorNotReady = 21;
constexpr uint32_t kErrorCrc = 23;
constexpr uint32_t kErrorSeek = 25;
constexpr uint32_t kErrorSectorNotFound = 27;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorInvalidParameter = 87;

constexpr uint32_t kMedia720 = 5;    // F3_720_512
constexpr uint32_t kMedia288 = 6;    // F3_2Pt88_512
constexpr uint32_t kMediaFixed = 12; // FixedMedia

std::string Hex(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", v);
    return text;
}

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
        calls.push_back("open " + path + " " + Hex(access) + " " + Hex(share));
        if (openError)
            return fail(openError);
        ++openHandles;
        position = 0;
        return true;
    }
    bool control(uint32_t code, void* out, uint32_t outSize, uint32_t& returned) override
    {
        calls.push_back("control " + Hex(code) + " " + std::to_string(outSize));
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
        calls.push_back("errormode " + Hex(mode));
        const uint32_t before = errorMode;
        errorMode = mode;
        return before;
    }
    uint32_t lastError() override { return error; }
    void setLastError(uint32_t code) override { error = code; }

  private:
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

// VWIN32 on a machine with two 3.5-inch 1.44 MB drives and a diskette in A:,
// answering as "Using VWIN32 to Carry Out MS-DOS Functions" and the BIOS
// documents: DeviceIoControl succeeds and the carry flag in reg_Flags tells
// how the function went, AH holding the BIOS status or AX the MS-DOS error.
// Every call is logged; a sector can fail with a status, for good or for a
// number of tries.
class SimulatedVwin32 final : public floppy::Vwin32Device {
  public:
    SimulatedVwin32() : medium(1474560)
    {
        for (size_t i = 0; i < medium.size(); ++i)
            medium[i] = static_cast<char>(i * 13 + i / 512);
    }

    uint32_t openError = 0;
    // Function 08h: CX and DH for a 1.44 MB drive (80 cylinders, 18 sectors,
    // 2 heads), BL its CMOS type, DL the drives; carry set with this status.
    uint32_t parametersCx = 0x4F12, parametersDh = 0x01, driveType = 0x04, drives = 2;
    uint8_t parametersStatus = 0;
    uint8_t untouchedFunction = 0xFF; // the function whose record comes back as it went
    uint32_t lockError = 0xFFFFFFFF;  // AX of a refused lock; none when unset
    bool diskette = true;
    bool writeProtected = false;
    // The sector (cylinder, head, sector) that fails with `badStatus`, the
    // first `badTries` times it is asked for (always when negative).
    int badCylinder = -1, badHead = -1, badSector = -1;
    uint8_t badStatus = 0;
    int badTries = -1;
    // A DeviceIoControl that fails outright, with this error, on the
    // Interrupt 13h call of this function.
    uint8_t refusedFunction = 0xFF;
    uint32_t refusedError = 0;
    uint32_t errorMode = 0x8001;
    uint32_t error = kErrorInvalidParameter;

    std::vector<char> medium;
    const char* base = nullptr; // the caller's transfer buffer, for the log
    Calls calls;
    int openHandles = 0, locks = 0;

    bool open() override
    {
        calls.push_back("open vwin32");
        if (openError)
            return fail(openError);
        ++openHandles;
        return true;
    }
    bool call(uint32_t code, floppy::DiocRegisters& r) override
    {
        if (code == floppy::kDiocDosIoctl)
            return dosIoctl(r);
        if (code != floppy::kDiocInt13)
            return fail(kErrorNotSupported);
        const uint8_t function = static_cast<uint8_t>(r.eax >> 8);
        const uint8_t unit = static_cast<uint8_t>(r.edx);
        if (function == refusedFunction) {
            calls.push_back("int13 " + hex2(function) + " refused");
            return fail(refusedError);
        }
        if (function == untouchedFunction) {
            calls.push_back("int13 " + hex2(function) + " untouched");
            return true;
        }
        switch (function) {
        case floppy::kBiosReset:
            calls.push_back("int13 00 DL=" + std::to_string(unit));
            return done(r, 0);
        case floppy::kBiosParameters:
            calls.push_back("int13 08 DL=" + std::to_string(unit));
            if (parametersStatus)
                return done(r, parametersStatus);
            r.eax = 0;
            r.ebx = driveType;
            r.ecx = parametersCx;
            r.edx = (parametersDh << 8) | drives;
            r.flags = 0;
            return true;
        case floppy::kBiosRead:
        case floppy::kBiosWrite:
            return transfer(function, unit, r);
        }
        return done(r, 0x01);
    }
    void close() override
    {
        calls.push_back("close");
        --openHandles;
    }
    uint32_t setErrorMode(uint32_t mode) override
    {
        calls.push_back("errormode " + Hex(mode));
        const uint32_t before = errorMode;
        errorMode = mode;
        return before;
    }
    uint32_t lastError() override { return error; }
    void setLastError(uint32_t code) override { error = code; }

  private:
    static std::string hex2(uint32_t v)
    {
        char text[8];
        std::snprintf(text, sizeof text, "%02X", v & 0xFF);
        return text;
    }
    bool fail(uint32_t code)
    {
        error = code;
        return false;
    }
    // The function ran: carry and AH as the BIOS leaves them.
    static bool done(floppy::DiocRegisters& r, uint8_t status)
    {
        r.eax = (r.eax & 0xFFFF00FF) | (static_cast<uint32_t>(status) << 8);
        r.flags = status ? floppy::kCarryFlag : 0;
        return true;
    }
    bool dosIoctl(floppy::DiocRegisters& r)
    {
        const uint32_t unit = r.ebx & 0xFF, level = (r.ebx >> 8) & 0xFF;
        if ((r.eax & 0xFFFF) == floppy::kGenericIoctl && r.ecx == floppy::kLockPhysicalVolume) {
            calls.push_back("lock BL=" + std::to_string(unit) + " BH=" + std::to_string(level) +
                            " DX=" + std::to_string(r.edx));
            if (lockError != 0xFFFFFFFF) {
                r.eax = lockError;
                r.flags = floppy::kCarryFlag;
                return true;
            }
            ++locks;
        } else if ((r.eax & 0xFFFF) == floppy::kGenericIoctl &&
                   r.ecx == floppy::kUnlockPhysicalVolume) {
            calls.push_back("unlock BL=" + std::to_string(unit));
            --locks;
        } else {
            calls.push_back("int21 " + std::to_string(r.eax));
            r.eax = 1; // ERROR_INVALID_FUNCTION
            r.flags = floppy::kCarryFlag;
            return true;
        }
        r.flags = 0;
        return true;
    }
    bool transfer(uint8_t function, uint8_t unit, floppy::DiocRegisters& r)
    {
        const uint32_t count = r.eax & 0xFF, cylinder = (r.ecx >> 8) & 0xFF, sector = r.ecx & 0x3F,
                       head = (r.edx >> 8) & 0xFF;
        char* buffer = reinterpret_cast<char*>(static_cast<uintptr_t>(r.ebx));
        calls.push_back("int13 " + hex2(function) + " AL=" + std::to_string(count) +
                        " CH=" + std::to_string(cylinder) + " CL=" + std::to_string(sector) +
                        " DH=" + std::to_string(head) + " DL=" + std::to_string(unit) + " at " +
                        std::to_string((buffer - base) / 512));
        const uintptr_t from = r.ebx, start = reinterpret_cast<uintptr_t>(base);
        if (from < start || from + count * 512 > start + floppy::kTransferSize) {
            ADD_FAILURE() << "a transfer outside the caller's buffer";
            return done(r, 0x09);
        }
        if (unit >= drives)
            return done(r, 0x80);
        if (!diskette)
            return done(r, 0x80);
        if (sector == 0 || count == 0 || sector + count - 1 > 18 || head > 1 || cylinder > 79)
            return done(r, 0x04);
        for (uint32_t i = 0; i < count; ++i) {
            if (static_cast<int>(cylinder) == badCylinder && static_cast<int>(head) == badHead &&
                static_cast<int>(sector + i) == badSector && badTries != 0) {
                if (badTries > 0)
                    --badTries;
                return done(r, badStatus);
            }
        }
        if (function == floppy::kBiosWrite && writeProtected)
            return done(r, 0x03);
        const size_t at = ((cylinder * 2 + head) * 18 + sector - 1) * 512;
        if (function == floppy::kBiosRead)
            std::memcpy(buffer, &medium[at], count * 512);
        else
            std::memcpy(&medium[at], buffer, count * 512);
        return done(r, 0);
    }
};

// The devices of both paths, and a run on the one GetVersion's answer picks.
struct Devices {
    SimulatedDrive drive;
    SimulatedVwin32 vwin32;
    std::vector<char> buffer = std::vector<char>(floppy::kTransferSize);

    Devices() { vwin32.base = buffer.data(); }
    uint32_t run(uint32_t version, char letter)
    {
        return floppy::RunFloppyTest(version, drive, vwin32, letter, true, buffer.data());
    }
    bool untouched() const { return drive.calls.empty() && vwin32.calls.empty(); }
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

// GetVersion's answers on Windows 2000 and on Windows 98, for the runs that
// hold on either path.
const std::pair<const char*, uint32_t> kPaths[] = {{"NT", 0x08930005}, {"9x", 0xC0000A04}};

// An error the thread held before the run never passes for the run's result.
TEST(FloppyStepsResult, EarlierErrorIsCleared)
{
    for (const auto& [path, version] : kPaths) {
        for (uint32_t earlier : {0u, 2u, 87u, 1117u}) {
            Devices devices;
            devices.drive.error = earlier;
            devices.vwin32.error = earlier;
            EXPECT_EQ(devices.run(version, 'A'), 0u) << path << " " << earlier;
        }
    }
}

TEST(FloppyStepsResult, NoBufferTouchesNoDevice)
{
    for (const auto& [path, version] : kPaths) {
        Devices devices;
        EXPECT_EQ(floppy::RunFloppyTest(version, devices.drive, devices.vwin32, 'A', true, nullptr),
                  floppy::kErrorNotEnoughMemory)
            << path;
        EXPECT_TRUE(devices.untouched()) << path;
    }
}

TEST(FloppyStepsResult, NoLetterTouchesNoDevice)
{
    for (const auto& [path, version] : kPaths) {
        Devices devices;
        EXPECT_EQ(devices.run(version, '\0'), floppy::kErrorInvalidDrive) << path;
        EXPECT_TRUE(devices.untouched()) << path;
    }
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

// The calls of each step, as the simulated VWIN32 logs them, for A: (unit 0)
// or B: (unit 1).
const std::string kVxdOpen = "open vwin32";
const std::string kVxdClose = "close";
std::string Parameters(int unit)
{
    return "int13 08 DL=" + std::to_string(unit);
}
std::string LockUnit(int unit)
{
    return "lock BL=" + std::to_string(unit) + " BH=0 DX=0";
}
std::string UnlockUnit(int unit)
{
    return "unlock BL=" + std::to_string(unit);
}
std::string Reset(int unit)
{
    return "int13 00 DL=" + std::to_string(unit);
}
// Head 0, sectors 1 to 18 into the buffer's start; head 1, sectors 1 to 14
// after them.
std::string Track(const char* function, int unit, int head)
{
    return std::string("int13 ") + function + (head ? " AL=14" : " AL=18") +
           " CH=0 CL=1 DH=" + std::to_string(head) + " DL=" + std::to_string(unit) +
           (head ? " at 18" : " at 0");
}
std::string Read(int unit, int head)
{
    return Track("02", unit, head);
}
std::string Write(int unit, int head)
{
    return Track("03", unit, head);
}
// A call and the reset after it failed, `times` times over.
Calls Retried(const std::string& call, int unit, int times)
{
    Calls calls;
    for (int i = 0; i < times; ++i) {
        calls.push_back(call);
        calls.push_back(Reset(unit));
    }
    return calls;
}
Calls Join(std::initializer_list<Calls> parts)
{
    Calls all;
    for (const Calls& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
// The calls of a run that reaches the transfer on `unit`, around `transfer`.
Calls AroundTransfer(int unit, const Calls& transfer)
{
    return Join({{kVxdOpen, Parameters(unit), LockUnit(unit), kSaveMode, kFailCritical},
                 transfer,
                 {kRestoreMode, UnlockUnit(unit), kVxdClose}});
}

struct BiosScenario {
    const char* name;
    std::function<void(SimulatedVwin32&)> setUp;
    char letter;
    bool write;
    Calls calls;
    uint32_t result;
};

// A drive as function 08h describes it: CX (cylinders and sectors a track)
// and the drive type in BL.
std::function<void(SimulatedVwin32&)> Drive(uint16_t cx, uint8_t type)
{
    return [=](SimulatedVwin32& v) {
        v.parametersCx = cx;
        v.driveType = type;
    };
}

// A sector of cylinder 0 that fails with a BIOS status, the first `tries`
// times it is read (always when negative).
std::function<void(SimulatedVwin32&)> BadSector(int head, int sector, uint8_t status,
                                                int tries = -1)
{
    return [=](SimulatedVwin32& v) {
        v.badCylinder = 0;
        v.badHead = head;
        v.badSector = sector;
        v.badStatus = status;
        v.badTries = tries;
    };
}

const BiosScenario kBiosScenarios[] = {
    {"read test",
     [](SimulatedVwin32&) {},
     'A',
     false,
     AroundTransfer(0, {Read(0, 0), Read(0, 1)}),
     0},
    {"read and write back",
     [](SimulatedVwin32&) {},
     'A',
     true,
     AroundTransfer(0, {Read(0, 0), Read(0, 1), Write(0, 0), Write(0, 1)}),
     0},
    {"drive b in lower case",
     [](SimulatedVwin32&) {},
     'b',
     true,
     AroundTransfer(1, {Read(1, 0), Read(1, 1), Write(1, 0), Write(1, 1)}),
     0},
    {"2.88 MB drive",
     Drive(0x4F24, 0x06),
     'A',
     true,
     AroundTransfer(0, {Read(0, 0), Read(0, 1), Write(0, 0), Write(0, 1)}),
     0},
    {"720 KB drive",
     Drive(0x4F09, 0x03),
     'A',
     true,
     {kVxdOpen, Parameters(0), kVxdClose},
     0},
    {"1.2 MB drive",
     Drive(0x4F0F, 0x02),
     'A',
     true,
     {kVxdOpen, Parameters(0), kVxdClose},
     0},
    {"360 KB drive",
     Drive(0x2709, 0x01),
     'A',
     true,
     {kVxdOpen, Parameters(0), kVxdClose},
     0},
    {"missing drive fails function 08h",
     [](SimulatedVwin32& v) { v.parametersStatus = 0x07; },
     'B',
     true,
     {kVxdOpen, Parameters(1), kVxdClose},
     kErrorFileNotFound},
    {"missing drive beyond the drive count",
     [](SimulatedVwin32& v) { v.drives = 1; },
     'B',
     true,
     {kVxdOpen, Parameters(1), kVxdClose},
     kErrorFileNotFound},
    {"missing drive without parameters",
     [](SimulatedVwin32& v) {
         v.parametersCx = 0;
         v.parametersDh = 0;
         v.driveType = 0;
     },
     'A',
     true,
     {kVxdOpen, Parameters(0), kVxdClose},
     kErrorFileNotFound},
    {"parameters left as they went",
     [](SimulatedVwin32& v) { v.untouchedFunction = floppy::kBiosParameters; },
     'A',
     true,
     {kVxdOpen, "int13 08 untouched", kVxdClose},
     kErrorFileNotFound},
    {"read left as it went writes nothing",
     [](SimulatedVwin32& v) { v.untouchedFunction = floppy::kBiosRead; },
     'A',
     true,
     AroundTransfer(0, Retried("int13 02 untouched", 0, 4)),
     kErrorGenFailure},
    {"no diskette",
     [](SimulatedVwin32& v) { v.diskette = false; },
     'A',
     true,
     AroundTransfer(0, {Read(0, 0), Reset(0)}),
     kErrorNotReady},
    {"write-protected",
     [](SimulatedVwin32& v) { v.writeProtected = true; },
     'A',
     true,
     AroundTransfer(0, Join({{Read(0, 0), Read(0, 1)}, Retried(Write(0, 0), 0, 4)})),
     kErrorWriteProtect},
    {"write-protected, read only",
     [](SimulatedVwin32& v) { v.writeProtected = true; },
     'A',
     false,
     AroundTransfer(0, {Read(0, 0), Read(0, 1)}),
     0},
    {"CRC error on head 1 writes nothing",
     BadSector(1, 5, 0x10),
     'A',
     true,
     AroundTransfer(0, Join({{Read(0, 0)}, Retried(Read(0, 1), 0, 4)})),
     kErrorCrc},
    {"sector not found",
     BadSector(0, 3, 0x04),
     'A',
     false,
     AroundTransfer(0, Retried(Read(0, 0), 0, 4)),
     kErrorSectorNotFound},
    {"changed diskette read again after a reset",
     BadSector(0, 1, 0x06, 1),
     'A',
     true,
     AroundTransfer(0, Join({Retried(Read(0, 0), 0, 1),
                             {Read(0, 0), Read(0, 1), Write(0, 0), Write(0, 1)}})),
     0},
    {"seek error gone on the last retry",
     BadSector(1, 14, 0x40, 3),
     'A',
     true,
     AroundTransfer(0, Join({{Read(0, 0)},
                             Retried(Read(0, 1), 0, 3),
                             {Read(0, 1), Write(0, 0), Write(0, 1)}})),
     0},
    {"seek error past the last retry",
     BadSector(1, 14, 0x40, 4),
     'A',
     true,
     AroundTransfer(0, Join({{Read(0, 0)}, Retried(Read(0, 1), 0, 4)})),
     kErrorSeek},
    {"status no table names",
     BadSector(0, 18, 0x20),
     'A',
     false,
     AroundTransfer(0, Retried(Read(0, 0), 0, 4)),
     kErrorGenFailure},
    {"refused read is not retried",
     [](SimulatedVwin32& v) {
         v.refusedFunction = floppy::kBiosRead;
         v.refusedError = kErrorNotSupported;
     },
     'A',
     true,
     AroundTransfer(0, {"int13 02 refused"}),
     kErrorNotSupported},
    {"volume in use",
     [](SimulatedVwin32& v) { v.lockError = kErrorAccessDenied; },
     'A',
     true,
     {kVxdOpen, Parameters(0), LockUnit(0), kVxdClose},
     kErrorAccessDenied},
    {"lock refused without a code",
     [](SimulatedVwin32& v) { v.lockError = 0; },
     'A',
     true,
     {kVxdOpen, Parameters(0), LockUnit(0), kVxdClose},
     kErrorGenFailure},
    {"no VWIN32",
     [](SimulatedVwin32& v) { v.openError = kErrorFileNotFound; },
     'A',
     true,
     {kVxdOpen},
     kErrorFileNotFound},
    {"fixed disk letter", [](SimulatedVwin32&) {}, 'C', true, {}, kErrorFileNotFound},
    {"digit", [](SimulatedVwin32&) {}, '1', true, {}, kErrorFileNotFound},
};

void PrintTo(const BiosScenario& s, std::ostream* out)
{
    *out << s.name;
}

class FloppyBiosSteps : public ::testing::TestWithParam<BiosScenario> {};

TEST_P(FloppyBiosSteps, FollowTheOrderAndUndoWhatTheyDid)
{
    const BiosScenario& s = GetParam();
    SimulatedVwin32 vwin32;
    s.setUp(vwin32);
    const std::vector<char> before = vwin32.medium;
    std::vector<char> buffer(floppy::kTransferSize);
    vwin32.base = buffer.data();

    const uint32_t result = floppy::RunBiosFloppyTest(vwin32, s.letter, s.write, buffer.data());

    EXPECT_EQ(vwin32.calls, s.calls);
    EXPECT_EQ(result, s.result);
    EXPECT_EQ(vwin32.openHandles, 0) << "VWIN32 is closed";
    EXPECT_EQ(vwin32.locks, 0) << "the drive is unlocked";
    EXPECT_EQ(vwin32.errorMode, 0x8001u) << "the error mode is restored";
    EXPECT_TRUE(vwin32.medium == before) << "the medium is unchanged";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FloppyBiosSteps, ::testing::ValuesIn(kBiosScenarios),
                         [](const ::testing::TestParamInfo<BiosScenario>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

// The bytes written back are the bytes read from the start of the diskette,
// and the transfer buffer holds them in order.
TEST(FloppyBiosStepsResult, WritesBackTheFirst16KiB)
{
    SimulatedVwin32 vwin32;
    std::vector<char> buffer(floppy::kTransferSize, '\x55');
    vwin32.base = buffer.data();
    ASSERT_EQ(floppy::RunBiosFloppyTest(vwin32, 'A', true, buffer.data()), 0u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), vwin32.medium.begin()));
}

// MS-DOS's diskette driver turns the ROM's status into a device error code
// (ERRIN and ERROUT, MSBDATA.INC of MS-DOS 4.0), which is 19 below the error
// code MS-DOS and Windows report (ERROR.INC: error_write_protect 19 to
// error_gen_failure 31, error_wrong_disk 34).
TEST(FloppyBiosStatus, MapsAsMsDosReportsDiskErrors)
{
    const std::pair<uint8_t, uint32_t> kKnown[] = {
        {0xCC, 10 + 19}, {0x80, 2 + 19},  {0x40, 6 + 19},  {0x10, 4 + 19},  {0x08, 4 + 19},
        {0x06, 15 + 19}, {0x04, 8 + 19},  {0x03, 0 + 19},  {0x01, 12 + 19}, {0x02, 12 + 19},
        {0x09, 12 + 19}, {0x0C, 12 + 19}, {0x20, 12 + 19}, {0x11, 12 + 19}, {0xFF, 12 + 19},
    };
    for (const auto& [status, code] : kKnown)
        EXPECT_EQ(floppy::ErrorOfBiosStatus(status), code) << "status " << int(status);
}

// GetVersion's answer on each Windows (major and minor version in the low
// word, the build in the high word on Windows NT, the high bit set on Windows
// 95/98/ME) decides which device the test runs on; the other one is never
// touched.
TEST(FloppyStepsPath, FollowsTheWindowsFamily)
{
    struct Case {
        const char* windows;
        uint32_t version;
        bool bios;
    };
    const Case kCases[] = {
        {"95", 0xC0000004, true},
        {"98", 0xC0000A04, true},
        {"ME", 0xC0005A04, true},
        {"NT 4.0 build 1381", 0x05650004, false},
        {"2000 build 2195", 0x08930005, false},
        {"XP build 2600", 0x0A280105, false},
        {"8 and later, 6.2 build 9200", 0x23F00206, false},
    };
    for (const Case& c : kCases) {
        Devices devices;
        EXPECT_EQ(devices.run(c.version, 'A'), 0u) << c.windows;
        EXPECT_EQ(devices.drive.calls.empty(), c.bios) << c.windows;
        EXPECT_EQ(devices.vwin32.calls.empty(), !c.bios) << c.windows;
    }
}

} // namespace
