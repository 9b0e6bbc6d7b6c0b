// The numbered host services, requested through the host callback of the
// calling thread, and RAII for a host file channel.
//
// A request the host answers with 83 or 84 in its code field throws
// HostRaised; DispatchAPI catches it, so the rest of the function is skipped
// and its destructors run.
#pragma once

#include <cstdint>

#include "abi.h"

namespace marvo {

struct HostRaised {
    uint32_t code;
};

// Host error numbers the library raises.
enum HostError : int32_t {
    kErrFileNotOpened = 104,
    kErrPasswordTooShort = 107,
    kErrNoMemory = 182,
    kErrNotText = 302,
    kErrNotDisketteDrive = 907,
    kErrReadingFile = 1104,
};

uint32_t RequestService(uint32_t code, uint32_t a1 = 0, uint32_t a2 = 0, uint32_t a3 = 0,
                        uint32_t a4 = 0, uint32_t a5 = 0);

template <typename T> uint32_t Arg(T* p)
{
    return reinterpret_cast<uint32_t>(p);
}

void PutText(const char* text);
[[noreturn]] void RaiseHostError(int32_t number);
[[noreturn]] void RaiseUserError(const char* text);

// Table position services of a work area.
int32_t RecordNumber(int32_t area);
int32_t RecordCount(int32_t area);
uint32_t PositionStatus(int32_t area);
int32_t GoFirst(int32_t area);
int32_t SkipRecords(int32_t area, int32_t count);

// Memo fields and variables behind a reference value.
int32_t MemoFileChannel(int32_t area);
int32_t MemoOffset(const abi::HostValue& reference);
int32_t MemoLength(const abi::HostValue& reference);
int32_t LoadVariable(const abi::HostValue& reference, abi::HostValue& value);

// File channels.
int32_t FileOpen(const char* name, uint32_t mode, uint32_t flag);
void FileClose(int32_t channel);
uint32_t FileRead(int32_t channel, void* buffer, uint32_t count);
void FileSeek(int32_t channel, uint32_t offset);
bool FileAtEnd(int32_t channel);

// Windows of the host.
uint32_t HostWindow();
uint32_t NativeWindowHandle(uint32_t window);
void TimedWait(uint32_t milliseconds);

// A file the host opened for the library; closed at scope end.
class HostFile {
  public:
    // Raises host error 104 when the host cannot open the file.
    HostFile(const char* name, uint32_t mode, uint32_t flag);
    ~HostFile();
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;

    int32_t channel() const { return channel_; }

  private:
    int32_t channel_;
};

} // namespace marvo
