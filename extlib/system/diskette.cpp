// M_FDTESTW (the device-level read and rewrite test of a diskette, run by
// floppytest.h on the real volume) and M_FDCLEARW (deletes every file and
// subdirectory below the root of drive A: or B:, hidden and system entries
// excepted, and counts what it removed).
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <direct.h>
#include <io.h>
#include <string>

#include "host/functions.h"
#include "host/handles.h"
#include "host/params.h"
#include "host/results.h"
#include "host/services.h"
#include "system/floppytest.h"

namespace {

using namespace marvo;

constexpr uint16_t kResultWidth = 10;

// A kernel handle from CreateFile.
class KernelHandle {
  public:
    KernelHandle() = default;
    ~KernelHandle() { reset(); }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    HANDLE get() const { return handle_; }
    void reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = handle;
    }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The diskette test's steps on a real volume device.
class VolumeDevice final : public floppy::FloppyDevice {
  public:
    bool open(const std::string& path, uint32_t access, uint32_t share) override
    {
        device_.reset(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
        return device_.get() != INVALID_HANDLE_VALUE;
    }
    bool control(uint32_t code, void* out, uint32_t outSize, uint32_t& returned) override
    {
        DWORD n = 0;
        const BOOL ok = DeviceIoControl(device_.get(), code, nullptr, 0, out, outSize, &n, nullptr);
        returned = n;
        return ok != FALSE;
    }
    bool read(void* buffer, uint32_t size, uint32_t& done) override
    {
        DWORD n = 0;
        const BOOL ok = ReadFile(device_.get(), buffer, size, &n, nullptr);
        done = n;
        return ok != FALSE;
    }
    bool seekToStart() override
    {
        return SetFilePointer(device_.get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
    }
    bool write(const void* buffer, uint32_t size, uint32_t& done) override
    {
        DWORD n = 0;
        const BOOL ok = WriteFile(device_.get(), buffer, size, &n, nullptr);
        done = n;
        return ok != FALSE;
    }
    void close() override { device_.reset(); }
    uint32_t setErrorMode(uint32_t mode) override { return SetErrorMode(mode); }
    uint32_t lastError() override { return GetLastError(); }
    void setLastError(uint32_t code) override { SetLastError(code); }

  private:
    KernelHandle device_;
};

// A directory search of the run-time library, closed at scope end.
class DirectorySearch {
  public:
    explicit DirectorySearch(const std::string& pattern)
        : search_(_findfirst(pattern.c_str(), &entry_))
    {
    }
    ~DirectorySearch()
    {
        if (search_ != -1)
            _findclose(search_);
    }
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    bool found() const { return search_ != -1; }
    const _finddata_t& entry() const { return entry_; }
    bool next() { return _findnext(search_, &entry_) == 0; }

  private:
    _finddata_t entry_{};
    intptr_t search_;
};

// The longest path the run-time library's calls take (MAX_PATH with its NUL).
// Paths are built at any length; one longer than this is never handed to
// them, so its entry is left alone and not counted.
constexpr size_t kLongestPath = MAX_PATH - 1;

bool isDotEntry(const char* name)
{
    return std::string(name) == "." || std::string(name) == "..";
}

// A directory reached through a reparse point (a junction, a mount point)
// is not part of this tree: its target is never walked.
bool isReparsePoint(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A read-only file loses the attribute only to be deleted: one that still
// cannot be deleted (in use, say) gets its attributes back.
bool removeFile(const std::string& path, unsigned attributes, bool clearReadOnly)
{
    const bool unlock = clearReadOnly && (attributes & _A_RDONLY);
    if (unlock)
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (std::remove(path.c_str()) == 0)
        return true;
    if (unlock)
        SetFileAttributesA(path.c_str(), attributes);
    return false;
}

// Clears directory D (no trailing backslash) depth first; returns how many
// files and directories it removed.
uint32_t clearDirectory(const std::string& directory, bool clearReadOnly)
{
    const std::string pattern = directory + "\\*.*";
    if (pattern.size() > kLongestPath)
        return 0;
    DirectorySearch search(pattern);
    if (!search.found())
        return 0;
    uint32_t removed = 0;
    do {
        const _finddata_t& entry = search.entry();
        if (entry.attrib & (_A_HIDDEN | _A_SYSTEM))
            continue;
        if ((entry.attrib & _A_SUBDIR) && isDotEntry(entry.name))
            continue;
        const std::string path = directory + "\\" + entry.name;
        if (path.size() > kLongestPath)
            continue;
        if (entry.attrib & _A_SUBDIR) {
            if (!isReparsePoint(path))
                removed += clearDirectory(path, clearReadOnly);
            if (_rmdir(path.c_str()) == 0)
                ++removed;
            continue;
        }
        if (removeFile(path, entry.attrib, clearReadOnly))
            ++removed;
    } while (search.next());
    return removed;
}

// The root A: or B: named by the argument, in either case; host error 907
// for anything else.
std::string disketteRoot(abi::ParamBlock* pb)
{
    const uint32_t length = Param(pb, 1).length;
    OwnedHandle copy(ParamToTextHandle(pb, 0));
    HandleLock lock(copy.get());
    const char* text = lock.data();
    if (!text || length != 2)
        RaiseHostError(kErrNotDisketteDrive);
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if ((letter != 'A' && letter != 'B') || text[1] != ':')
        RaiseHostError(kErrNotDisketteDrive);
    return std::string{letter, ':'};
}

bool optionalFlag(const abi::ParamBlock* pb)
{
    return ParamCount(pb) == 2 && ParamLogical(pb, 2);
}

char driveLetter(const abi::ParamBlock* pb)
{
    LockedText argument(pb, 1);
    return argument.size() && argument.data() ? argument.data()[0] : '\0';
}

} // namespace

// The result is the run's Windows error code, 0 when no step failed.
HOST_FUNCTION(M_FDTESTW)
{
    OwnedHandle buffer(AllocHandle(floppy::kTransferSize));
    HandleLock transfer(buffer.get());
    VolumeDevice device;
    ReturnInteger(floppy::RunFloppyTest(device, driveLetter(pb), optionalFlag(pb), transfer.data()),
                  kResultWidth);
}

HOST_FUNCTION(M_FDCLEARW)
{
    const std::string root = disketteRoot(pb);
    ReturnInteger(static_cast<int32_t>(clearDirectory(root, optionalFlag(pb))), kResultWidth);
}
