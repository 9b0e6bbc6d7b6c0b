// M_FDTESTW (the device-level read and rewrite test of a diskette, run by
// floppytest.h on the real volume, or on Windows 95/98/ME through VWIN32's
// BIOS disk service) and M_FDCLEARW (deletes every file and subdirectory
// below the root of drive A: or B:, hidden and system entries and links
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

// The calling thread's error mode and last-error code, for either face.
template <typename Face> class OnThisThread : public Face {
  public:
    uint32_t setErrorMode(uint32_t mode) override { return SetErrorMode(mode); }
    uint32_t lastError() override { return GetLastError(); }
    void setLastError(uint32_t code) override { SetLastError(code); }
};

// The diskette test's steps on a real volume device.
class VolumeDevice final : public OnThisThread<floppy::FloppyDevice> {
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

  private:
    KernelHandle device_;
};

// The handle of VWIN32.VXD, the virtual device through which Windows 9x
// carries out MS-DOS and BIOS functions for Win32 programs, opened as
// "Using VWIN32 to Carry Out MS-DOS Functions" shows. Closing the last handle
// of a dynamically loaded VxD opened with FILE_FLAG_DELETE_ON_CLOSE unloads
// it; VWIN32 itself stays.
class Vwin32Handle {
  public:
    Vwin32Handle() = default;
    ~Vwin32Handle() { close(); }
    Vwin32Handle(const Vwin32Handle&) = delete;
    Vwin32Handle& operator=(const Vwin32Handle&) = delete;

    bool open()
    {
        close();
        handle_ =
            CreateFileA("\\\\.\\vwin32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
    }
    void close()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The diskette test's steps through the real VWIN32 (Windows 95/98/ME).
class Vwin32Vxd final : public OnThisThread<floppy::Vwin32Device> {
  public:
    bool open() override { return vxd_.open(); }
    bool call(uint32_t code, floppy::DiocRegisters& registers) override
    {
        DWORD returned = 0;
        return DeviceIoControl(vxd_.get(), code, &registers, sizeof registers, &registers,
                               sizeof registers, &returned, nullptr) != FALSE;
    }
    void close() override { vxd_.close(); }

  private:
    Vwin32Handle vxd_;
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

using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// GetFinalPathNameByHandleA exists from Windows Vista on, the first Windows
// with symbolic links to files; bound at first use so that the library still
// loads on Windows 95.
FinalPathFn finalPathFunction()
{
    static const FinalPathFn function = reinterpret_cast<FinalPathFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    return function;
}

// Where the entry at `path` really lies, as a plain DOS path; empty when
// this Windows cannot tell.
std::string finalPath(const std::string& path)
{
    const FinalPathFn final = finalPathFunction();
    if (!final)
        return std::string();
    KernelHandle entry;
    entry.reset(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (entry.get() == INVALID_HANDLE_VALUE)
        return std::string();
    std::string name(MAX_PATH, '\0');
    DWORD length = final(entry.get(), &name[0], static_cast<DWORD>(name.size()), 0);
    if (length >= name.size()) {
        name.assign(length + 1, '\0');
        length = final(entry.get(), &name[0], static_cast<DWORD>(name.size()), 0);
    }
    if (length == 0 || length >= name.size())
        return std::string();
    name.resize(length);
    if (name.compare(0, 8, "\\\\?\\UNC\\") == 0)
        return "\\\\" + name.substr(8);
    if (name.compare(0, 4, "\\\\?\\") == 0)
        return name.substr(4);
    return name;
}

// An entry that leads elsewhere: a reparse point (a symbolic link, a
// junction, a mount point) or a name whose file lies at another path. Its
// target is not part of the diskette, so it is neither entered nor removed:
// removing a link can remove what it points to (Wine removes the target of
// a Unix link, and shows a link to a file as the file itself; only the
// final path tells).
bool leadsElsewhere(const std::string& path, unsigned attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return true;
    const DWORD current = GetFileAttributesA(path.c_str());
    if (current != INVALID_FILE_ATTRIBUTES && (current & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    const std::string final = finalPath(path);
    return !final.empty() && lstrcmpiA(final.c_str(), path.c_str()) != 0;
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
        if (path.size() > kLongestPath || leadsElsewhere(path, entry.attrib))
            continue;
        if (entry.attrib & _A_SUBDIR) {
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
    VolumeDevice volume;
    Vwin32Vxd vwin32;
    ReturnInteger(floppy::RunFloppyTest(GetVersion(), volume, vwin32, driveLetter(pb),
                                        optionalFlag(pb), transfer.data()),
                  kResultWidth);
}

HOST_FUNCTION(M_FDCLEARW)
{
    const std::string root = disketteRoot(pb);
    ReturnInteger(static_cast<int32_t>(clearDirectory(root, optionalFlag(pb))), kResultWidth);
}
