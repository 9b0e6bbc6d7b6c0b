// The diskette test's runs of device steps, one for each Windows family.
// Windows NT: open the volume, lock it, prove a medium is present, look for
// 3.5-inch 1.44 MB media, read the first 16 KiB and optionally write them
// back, then unlock, dismount and close. Windows 95, 98 and ME open no
// volumes and know none of those device controls (Microsoft Knowledge Base
// Q125712), so there the same test goes through the BIOS disk service of
// VWIN32.VXD: read the drive's parameters, lock the physical drive, read the
// first 16 KiB track by track and optionally write them back, then unlock.
// The steps are written against FloppyDevice and Vwin32Device, thin faces of
// the Windows calls they make, so the same runs drive a real device or a
// simulated one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace floppy {

// Device control codes.
constexpr uint32_t kLockVolume = 0x90018;     // FSCTL_LOCK_VOLUME
constexpr uint32_t kGetGeometry = 0x70000;    // IOCTL_DISK_GET_DRIVE_GEOMETRY
constexpr uint32_t kGetMediaTypes = 0x70C00;  // IOCTL_DISK_GET_MEDIA_TYPES
constexpr uint32_t kUnlockVolume = 0x9001C;   // FSCTL_UNLOCK_VOLUME
constexpr uint32_t kDismountVolume = 0x90020; // FSCTL_DISMOUNT_VOLUME

constexpr uint32_t kReadWrite = 0xC0000000; // GENERIC_READ | GENERIC_WRITE
// Others may write but not read while the test runs.
constexpr uint32_t kShareWrite = 2;         // FILE_SHARE_WRITE
constexpr uint32_t kFailCriticalErrors = 1; // SEM_FAILCRITICALERRORS
constexpr uint32_t kMedia144 = 2;           // F3_1Pt44_512

constexpr uint32_t kTransferSize = 16384; // 32 sectors of 512 bytes
constexpr uint32_t kMediaTableRecords = 20;

constexpr uint32_t kErrorFileNotFound = 2;    // ERROR_FILE_NOT_FOUND
constexpr uint32_t kErrorInvalidDrive = 15;   // ERROR_INVALID_DRIVE
constexpr uint32_t kErrorNotEnoughMemory = 8; // ERROR_NOT_ENOUGH_MEMORY
constexpr uint32_t kErrorNotSupported = 50;   // ERROR_NOT_SUPPORTED

// DISK_GEOMETRY as the device control calls fill it.
struct DiskGeometry {
    int64_t cylinders;
    uint32_t mediaType;
    uint32_t tracksPerCylinder;
    uint32_t sectorsPerTrack;
    uint32_t bytesPerSector;
};
static_assert(sizeof(DiskGeometry) == 24, "DISK_GEOMETRY is 24 bytes");

// What the runs of both families ask of the calling thread.
class ThreadErrors {
  public:
    virtual ~ThreadErrors() = default;
    // SetErrorMode: returns the mode before.
    virtual uint32_t setErrorMode(uint32_t mode) = 0;
    virtual uint32_t lastError() = 0;
    virtual void setLastError(uint32_t code) = 0;
};

// The Windows NT calls of the test, on one device at a time.
class FloppyDevice : public ThreadErrors {
  public:
    // CreateFileA with OPEN_EXISTING, no flags.
    virtual bool open(const std::string& path, uint32_t access, uint32_t share) = 0;
    // DeviceIoControl without an input buffer, synchronous.
    virtual bool control(uint32_t code, void* out, uint32_t outSize, uint32_t& returned) = 0;
    virtual bool read(void* buffer, uint32_t size, uint32_t& done) = 0;
    virtual bool seekToStart() = 0;
    virtual bool write(const void* buffer, uint32_t size, uint32_t& done) = 0;
    virtual void close() = 0;
};

namespace detail {

// The device, open for the scope.
class OpenDevice {
  public:
    OpenDevice(FloppyDevice& device, const std::string& path)
        : device_(device), open_(device.open(path, kReadWrite, kShareWrite))
    {
    }
    ~OpenDevice()
    {
        if (open_)
            device_.close();
    }
    OpenDevice(const OpenDevice&) = delete;
    OpenDevice& operator=(const OpenDevice&) = delete;
    explicit operator bool() const { return open_; }

  private:
    FloppyDevice& device_;
    bool open_;
};

// The volume, locked for the scope; when asked, dismounted once unlocked, so
// that the file system reads the medium afresh.
class LockedVolume {
  public:
    explicit LockedVolume(FloppyDevice& device) : device_(device), locked_(call(kLockVolume)) {}
    ~LockedVolume()
    {
        if (!locked_)
            return;
        call(kUnlockVolume);
        if (dismount_)
            call(kDismountVolume);
    }
    LockedVolume(const LockedVolume&) = delete;
    LockedVolume& operator=(const LockedVolume&) = delete;
    explicit operator bool() const { return locked_; }
    void dismountWhenUnlocked() { dismount_ = true; }

  private:
    bool call(uint32_t code)
    {
        uint32_t returned = 0;
        return device_.control(code, nullptr, 0, returned);
    }

    FloppyDevice& device_;
    bool locked_;
    bool dismount_ = false;
};

// Failing transfers come back as errors instead of the system's prompt.
class CriticalErrorsFail {
  public:
    explicit CriticalErrorsFail(ThreadErrors& device)
        : device_(device), saved_(device.setErrorMode(0))
    {
        device_.setErrorMode(kFailCriticalErrors);
    }
    ~CriticalErrorsFail() { device_.setErrorMode(saved_); }
    CriticalErrorsFail(const CriticalErrorsFail&) = delete;
    CriticalErrorsFail& operator=(const CriticalErrorsFail&) = delete;

  private:
    ThreadErrors& device_;
    uint32_t saved_;
};

enum class Media { Unknown, Without144, With144 };

inline Media mediaOf(FloppyDevice& device)
{
    DiskGeometry table[kMediaTableRecords] = {};
    uint32_t returned = 0;
    if (!device.control(kGetMediaTypes, table, sizeof table, returned))
        return Media::Unknown;
    const uint32_t records = returned / sizeof(DiskGeometry);
    // A drive that lists no media fails this step, and must not pass for tested.
    if (records == 0) {
        device.setLastError(kErrorNotSupported);
        return Media::Unknown;
    }
    for (uint32_t i = 0; i < records && i < kMediaTableRecords; ++i)
        if (table[i].mediaType == kMedia144)
            return Media::With144;
    return Media::Without144;
}

// Reads the first 16 KiB and, when asked, writes back exactly the bytes read
// where they were read: neither a short read nor a failed seek makes the
// write reach sectors that were not read.
inline void transfer(FloppyDevice& device, char* buffer, bool write)
{
    CriticalErrorsFail mode(device);
    uint32_t read = 0;
    device.read(buffer, kTransferSize, read);
    if (!write || read == 0 || (read != kTransferSize && device.lastError() != 0))
        return;
    if (!device.seekToStart())
        return;
    uint32_t written = 0;
    device.write(buffer, read, written);
}

inline void steps(FloppyDevice& device, const std::string& path, char* buffer, bool write)
{
    OpenDevice open(device, path);
    if (!open)
        return;
    LockedVolume lock(device);
    if (!lock)
        return;
    DiskGeometry geometry{};
    uint32_t returned = 0;
    if (!device.control(kGetGeometry, &geometry, sizeof geometry, returned))
        return;
    const Media media = mediaOf(device);
    if (media == Media::Unknown)
        return;
    if (media == Media::With144)
        transfer(device, buffer, write);
    lock.dismountWhenUnlocked();
}

} // namespace detail

// The device path of a drive letter: \\.\X:
inline std::string DevicePath(char letter)
{
    return std::string("\\\\.\\") + letter + ':';
}

// VWIN32's DeviceIoControl codes ("Using VWIN32 to Carry Out MS-DOS
// Functions").
constexpr uint32_t kDiocDosIoctl = 1; // VWIN32_DIOC_DOS_IOCTL: Interrupt 21h Function 440Dh
constexpr uint32_t kDiocInt13 = 4;    // VWIN32_DIOC_DOS_INT13: Interrupt 13h

// DIOC_REGISTERS, the record those codes take and give back. A pointer goes,
// as a flat address, into the register that held its real-mode offset (ES:BX
// becomes reg_EBX).
struct DiocRegisters {
    uint32_t ebx;
    uint32_t edx;
    uint32_t ecx;
    uint32_t eax;
    uint32_t edi;
    uint32_t esi;
    uint32_t flags;
};
static_assert(sizeof(DiocRegisters) == 28, "DIOC_REGISTERS is seven DWORDs");
static_assert(sizeof(void*) == 4, "the registers carry 32-bit flat addresses");

// The x86 carry flag: set when the MS-DOS or BIOS function failed.
constexpr uint32_t kCarryFlag = 0x0001;

// Interrupt 13h functions (AH), with AL the sector count, CH the cylinder,
// CL the sector (from 1), DH the head, DL the unit (0 for A:, 1 for B:).
constexpr uint8_t kBiosReset = 0x00;
constexpr uint8_t kBiosRead = 0x02;
constexpr uint8_t kBiosWrite = 0x03;
constexpr uint8_t kBiosParameters = 0x08;
// The status of a drive that does not answer: no diskette in it.
constexpr uint8_t kBiosTimeout = 0x80;

// Interrupt 21h Function 440Dh, category 08h, Lock Physical Volume (minor
// code 4Bh) and Unlock Physical Volume (6Bh): Windows 9x asks for the lock
// before Interrupt 13h functions ("Exclusive Volume Locking"). Level 0 is the
// exclusive lock: it is refused while a file is open on the volume, and while
// it is held no other process reads or writes there.
constexpr uint32_t kGenericIoctl = 0x440D;
constexpr uint32_t kLockPhysicalVolume = 0x084B;
constexpr uint32_t kUnlockPhysicalVolume = 0x086B;
constexpr uint32_t kExclusiveLock = 0;

// The layout of a 1.44 MB diskette.
constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kSectorsPerTrack144 = 18;
constexpr uint32_t kHeads144 = 2;
constexpr uint32_t kCylinders144 = 80;
constexpr uint32_t kTransferSectors = kTransferSize / kSectorSize;

// A failed transfer is tried again after a reset of the drive, this many
// times: the drive's motor may not yet have come up to speed (Microsoft's
// notes on Interrupt 13h Function 02h ask for three).
constexpr uint32_t kRetries = 3;

constexpr uint32_t kErrorGenFailure = 31; // ERROR_GEN_FAILURE

// The Windows error code of a failed BIOS disk function, by its status in
// AH, as MS-DOS's own diskette driver reports it: its table of the ROM's
// errors (ERRIN and ERROUT of MSBDATA.INC, MS-DOS 4.0) gives the MS-DOS
// device error code, and the Windows code is that plus 19, the numbers
// MS-DOS and Windows give the same disk errors (ERROR_WRITE_PROTECT, 19, is
// device error 0). A status the table does not name is a general failure.
struct BiosError {
    uint8_t status;
    uint32_t code;
};
constexpr BiosError kBiosErrors[] = {
    {0xCC, 29},         // write fault: ERROR_WRITE_FAULT
    {kBiosTimeout, 21}, // no answer: ERROR_NOT_READY
    {0x40, 25},         // seek failed: ERROR_SEEK
    {0x10, 23},         // CRC error: ERROR_CRC
    {0x08, 23},         // DMA overrun: ERROR_CRC
    {0x06, 34},         // diskette changed: ERROR_WRONG_DISK
    {0x04, 27},         // sector not found: ERROR_SECTOR_NOT_FOUND
    {0x03, 19},         // write-protected: ERROR_WRITE_PROTECT
};

inline uint32_t ErrorOfBiosStatus(uint8_t status)
{
    for (const BiosError& error : kBiosErrors)
        if (error.status == status)
            return error.code;
    return kErrorGenFailure;
}

// The BIOS unit of a drive letter: 0 for A:, 1 for B:, -1 for any other.
inline int BiosUnit(char letter)
{
    switch (letter) {
    case 'A':
    case 'a':
        return 0;
    case 'B':
    case 'b':
        return 1;
    }
    return -1;
}

// The Windows 95/98/ME calls of the test.
class Vwin32Device : public ThreadErrors {
  public:
    // CreateFileA("\\.\vwin32", 0, 0, NULL, 0, FILE_FLAG_DELETE_ON_CLOSE, NULL).
    virtual bool open() = 0;
    // DeviceIoControl with the record as its input and its output, synchronous.
    virtual bool call(uint32_t code, DiocRegisters& registers) = 0;
    virtual void close() = 0;
};

namespace detail {

// The thread's error code holds the reason when a check fails: nothing is
// touched without a transfer buffer or a drive letter.
inline bool canStart(ThreadErrors& device, char letter, const char* buffer)
{
    device.setLastError(0);
    if (!buffer)
        device.setLastError(kErrorNotEnoughMemory);
    else if (letter == '\0')
        device.setLastError(kErrorInvalidDrive);
    return buffer && letter != '\0';
}

// VWIN32, open for the scope.
class OpenVwin32 {
  public:
    explicit OpenVwin32(Vwin32Device& device) : device_(device), open_(device.open()) {}
    ~OpenVwin32()
    {
        if (open_)
            device_.close();
    }
    OpenVwin32(const OpenVwin32&) = delete;
    OpenVwin32& operator=(const OpenVwin32&) = delete;
    explicit operator bool() const { return open_; }

  private:
    Vwin32Device& device_;
    bool open_;
};

enum class Outcome {
    Done,
    Failed,  // the function set the carry flag
    Refused, // DeviceIoControl failed; the thread's code says why
};

// The carry flag is set before the call, so that a record VWIN32 leaves as
// it was reads as a failure.
inline Outcome issue(Vwin32Device& device, uint32_t code, DiocRegisters& registers)
{
    registers.flags = kCarryFlag;
    if (!device.call(code, registers))
        return Outcome::Refused;
    return (registers.flags & kCarryFlag) ? Outcome::Failed : Outcome::Done;
}

// A failed MS-DOS function leaves its error code in AX; MS-DOS and Windows
// number their errors alike.
inline bool dosCall(Vwin32Device& device, DiocRegisters registers)
{
    const Outcome outcome = issue(device, kDiocDosIoctl, registers);
    if (outcome == Outcome::Failed) {
        const uint32_t code = registers.eax & 0xFFFF;
        device.setLastError(code ? code : kErrorGenFailure);
    }
    return outcome == Outcome::Done;
}

inline DiocRegisters physicalVolumeIoctl(uint32_t minor, uint8_t unit, uint32_t level)
{
    DiocRegisters registers{};
    registers.eax = kGenericIoctl;
    registers.ebx = (level << 8) | unit;
    registers.ecx = minor;
    return registers;
}

// The physical drive, locked for the scope.
class LockedUnit {
  public:
    LockedUnit(Vwin32Device& device, uint8_t unit)
        : device_(device), unit_(unit),
          locked_(dosCall(device, physicalVolumeIoctl(kLockPhysicalVolume, unit, kExclusiveLock)))
    {
    }
    ~LockedUnit()
    {
        if (locked_)
            dosCall(device_, physicalVolumeIoctl(kUnlockPhysicalVolume, unit_, 0));
    }
    LockedUnit(const LockedUnit&) = delete;
    LockedUnit& operator=(const LockedUnit&) = delete;
    explicit operator bool() const { return locked_; }

  private:
    Vwin32Device& device_;
    uint8_t unit_;
    bool locked_;
};

inline uint8_t statusOf(const DiocRegisters& registers)
{
    return static_cast<uint8_t>(registers.eax >> 8);
}

inline DiocRegisters biosRequest(uint8_t function, uint8_t unit)
{
    DiocRegisters registers{};
    registers.eax = static_cast<uint32_t>(function) << 8;
    registers.edx = unit;
    return registers;
}

enum class Drive { Unknown, Without144, With144 };

// Function 08h gives the largest cylinder, head and sector numbers of the
// drive, not of the diskette in it; a drive that takes 1.44 MB media has 80
// cylinders, 2 heads and at least 18 sectors a track (36 for 2.88 MB). Some
// BIOSes answer for a unit that is not there: the drive count in DL, or a
// sector count of 0, tells. A missing drive is answered as the volume path
// answers a letter without a device.
inline Drive driveOf(Vwin32Device& device, uint8_t unit)
{
    DiocRegisters registers = biosRequest(kBiosParameters, unit);
    const Outcome outcome = issue(device, kDiocInt13, registers);
    if (outcome == Outcome::Refused)
        return Drive::Unknown;
    const uint32_t drives = registers.edx & 0xFF;
    const uint32_t sectors = registers.ecx & 0x3F;
    if (outcome == Outcome::Failed || unit >= drives || sectors == 0) {
        device.setLastError(kErrorFileNotFound);
        return Drive::Unknown;
    }
    const uint32_t cylinders = (((registers.ecx >> 8) & 0xFF) | ((registers.ecx & 0xC0) << 2)) + 1;
    const uint32_t heads = ((registers.edx >> 8) & 0xFF) + 1;
    const bool takes144 =
        cylinders == kCylinders144 && heads == kHeads144 && sectors >= kSectorsPerTrack144;
    return takes144 ? Drive::With144 : Drive::Without144;
}

inline uint32_t flatAddress(const char* p)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

// One read or write of sectors on one track. A failure is retried after a
// reset, but not when the drive did not answer at all: there is no diskette
// to wait for (MS-DOS's driver gives up at once too). The reset's own outcome
// is not the run's: the failure it follows is; and a failure that a retry
// overcame is not the run's either.
inline bool transferTrack(Vwin32Device& device, uint8_t function, uint8_t unit,
                          uint32_t firstSector, uint32_t count, char* at)
{
    const uint32_t before = device.lastError();
    const uint32_t track = firstSector / kSectorsPerTrack144;
    const uint32_t cylinder = track / kHeads144;
    const uint32_t head = track % kHeads144;
    const uint32_t sector = firstSector % kSectorsPerTrack144 + 1;
    for (uint32_t attempt = 0;; ++attempt) {
        DiocRegisters registers = biosRequest(function, unit);
        registers.eax |= count;
        registers.ecx = (cylinder << 8) | sector;
        registers.edx |= head << 8;
        registers.ebx = flatAddress(at);
        const Outcome outcome = issue(device, kDiocInt13, registers);
        if (outcome == Outcome::Refused)
            return false;
        if (outcome == Outcome::Done) {
            device.setLastError(before);
            return true;
        }
        const uint8_t status = statusOf(registers);
        DiocRegisters reset = biosRequest(kBiosReset, unit);
        issue(device, kDiocInt13, reset);
        device.setLastError(ErrorOfBiosStatus(status));
        if (status == kBiosTimeout || attempt == kRetries)
            return false;
    }
}

// The first 16 KiB of a 1.44 MB diskette, a track at a time: cylinder 0,
// head 0, sectors 1 to 18, then head 1, sectors 1 to 14. Stops at the first
// track that fails.
inline bool transferStart(Vwin32Device& device, uint8_t function, uint8_t unit, char* buffer)
{
    for (uint32_t first = 0; first < kTransferSectors;) {
        const uint32_t onTrack = kSectorsPerTrack144 - first % kSectorsPerTrack144;
        const uint32_t count = std::min(onTrack, kTransferSectors - first);
        if (!transferTrack(device, function, unit, first, count, buffer + first * kSectorSize))
            return false;
        first += count;
    }
    return true;
}

// As on the volume path, only what was read in full is written back, where
// it was read.
inline void biosSteps(Vwin32Device& device, uint8_t unit, char* buffer, bool write)
{
    OpenVwin32 open(device);
    if (!open)
        return;
    const Drive drive = driveOf(device, unit);
    if (drive != Drive::With144)
        return;
    LockedUnit lock(device, unit);
    if (!lock)
        return;
    CriticalErrorsFail mode(device);
    if (transferStart(device, kBiosRead, unit, buffer) && write)
        transferStart(device, kBiosWrite, unit, buffer);
}

} // namespace detail

// Runs the test on the drive and returns the thread's last-error code at the
// end: 0 when no step failed. The code is cleared first, so an earlier error
// of the thread never passes for this run's result. Without a transfer
// buffer, or without a drive letter, nothing is opened.
inline uint32_t RunFloppyTest(FloppyDevice& device, char letter, bool write, char* buffer)
{
    if (detail::canStart(device, letter, buffer))
        detail::steps(device, DevicePath(letter), buffer, write);
    return device.lastError();
}

// The same test through VWIN32's BIOS disk service, with the same answers:
// the error codes of the volume path where the two meet, a BIOS status as
// ErrorOfBiosStatus turns it. Only A: and B: are BIOS diskette units; any
// other letter is a letter without a device, and nothing is opened.
inline uint32_t RunBiosFloppyTest(Vwin32Device& device, char letter, bool write, char* buffer)
{
    if (detail::canStart(device, letter, buffer)) {
        const int unit = BiosUnit(letter);
        if (unit < 0)
            device.setLastError(kErrorFileNotFound);
        else
            detail::biosSteps(device, static_cast<uint8_t>(unit), buffer, write);
    }
    return device.lastError();
}

// Windows 95, 98 and ME set the high bit of GetVersion's answer; Windows NT
// and its successors leave it clear.
inline bool IsWindows9x(uint32_t version)
{
    return (version & 0x80000000u) != 0;
}

// The test on the path of the running Windows, given GetVersion's answer.
inline uint32_t RunFloppyTest(uint32_t version, FloppyDevice& volume, Vwin32Device& vwin32,
                              char letter, bool write, char* buffer)
{
    if (IsWindows9x(version))
        return RunBiosFloppyTest(vwin32, letter, write, buffer);
    return RunFloppyTest(volume, letter, write, buffer);
}

} // namespace floppy
