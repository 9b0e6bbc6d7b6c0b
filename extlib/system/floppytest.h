// The diskette test's run of device steps: open the volume, lock it, prove a
// medium is present, look for 3.5-inch 1.44 MB media, read the first 16 KiB
// and optionally write them back, then unlock, dismount and close. The steps
// are written against FloppyDevice, a thin face of the Windows calls they
// make, so the same run drives a real volume or a simulated one.
#pragma once

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

// The Windows calls of the test, on one device at a time.
class FloppyDevice {
  public:
    virtual ~FloppyDevice() = default;
    // CreateFileA with OPEN_EXISTING, no flags.
    virtual bool open(const std::string& path, uint32_t access, uint32_t share) = 0;
    // DeviceIoControl without an input buffer, synchronous.
    virtual bool control(uint32_t code, void* out, uint32_t outSize, uint32_t& returned) = 0;
    virtual bool read(void* buffer, uint32_t size, uint32_t& done) = 0;
    virtual bool seekToStart() = 0;
    virtual bool write(const void* buffer, uint32_t size, uint32_t& done) = 0;
    virtual void close() = 0;
    // SetErrorMode: returns the mode before.
    virtual uint32_t setErrorMode(uint32_t mode) = 0;
    virtual uint32_t lastError() = 0;
    virtual void setLastError(uint32_t code) = 0;
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
    explicit CriticalErrorsFail(FloppyDevice& device)
        : device_(device), saved_(device.setErrorMode(0))
    {
        device_.setErrorMode(kFailCriticalErrors);
    }
    ~CriticalErrorsFail() { device_.setErrorMode(saved_); }
    CriticalErrorsFail(const CriticalErrorsFail&) = delete;
    CriticalErrorsFail& operator=(const CriticalErrorsFail&) = delete;

  private:
    FloppyDevice& device_;
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

// Runs the test on the drive and returns the thread's last-error code at the
// end: 0 when no step failed. The code is cleared first, so an earlier error
// of the thread never passes for this run's result. Without a transfer
// buffer, or without a drive letter, nothing is opened.
inline uint32_t RunFloppyTest(FloppyDevice& device, char letter, bool write, char* buffer)
{
    device.setLastError(0);
    if (!buffer)
        device.setLastError(kErrorNotEnoughMemory);
    else if (letter == '\0')
        device.setLastError(kErrorInvalidDrive);
    else
        detail::steps(device, DevicePath(letter), buffer, write);
    return device.lastError();
}

} // namespace floppy
