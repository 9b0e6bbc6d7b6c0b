// Host service requests: one HostRequest on the stack per call.
#include "services.h"

#include "dispatch.h"

namespace marvo {

uint32_t RequestService(uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4,
                        uint32_t a5)
{
    ThreadState* state = CurrentThread();
    // DispatchAPI runs no function on a thread the host never introduced
    // (no message 0); should one ask all the same, there is no one to ask,
    // and the call ends as if the host had refused.
    if (!state || !state->callback)
        throw HostRaised{code};
    abi::HostRequest request{a1, a2, a3, a4, code, 0, a5};
    state->callback(&request);
    if (request.code == abi::kSvcRaiseHostError || request.code == abi::kSvcRaiseUserError)
        throw HostRaised{request.code};
    return request.arg1;
}

void PutText(const char* text)
{
    RequestService(abi::kSvcPutText, Arg(text));
}

void RaiseHostError(int32_t number)
{
    RequestService(abi::kSvcRaiseHostError, static_cast<uint32_t>(number));
    throw HostRaised{abi::kSvcRaiseHostError};
}

void RaiseUserError(const char* text)
{
    RequestService(abi::kSvcRaiseUserError, Arg(text));
    throw HostRaised{abi::kSvcRaiseUserError};
}

int32_t RecordNumber(int32_t area)
{
    return RequestService(abi::kSvcRecordNumber, area);
}
int32_t RecordCount(int32_t area)
{
    return RequestService(abi::kSvcRecordCount, area);
}
uint32_t PositionStatus(int32_t area)
{
    return RequestService(abi::kSvcPositionStatus, area);
}
int32_t GoFirst(int32_t area)
{
    return RequestService(abi::kSvcGoFirst, area);
}

int32_t SkipRecords(int32_t area, int32_t count)
{
    return RequestService(abi::kSvcSkipRecords, area, static_cast<uint32_t>(count));
}

int32_t MemoFileChannel(int32_t area)
{
    return RequestService(abi::kSvcMemoFileChannel, area);
}

int32_t MemoOffset(const abi::HostValue& reference)
{
    return RequestService(abi::kSvcMemoOffset, Arg(&reference));
}

int32_t MemoLength(const abi::HostValue& reference)
{
    return RequestService(abi::kSvcMemoLength, Arg(&reference));
}

int32_t LoadVariable(const abi::HostValue& reference, abi::HostValue& value)
{
    return RequestService(abi::kSvcLoadVariable, Arg(&reference), Arg(&value));
}

int32_t FileOpen(const char* name, uint32_t mode, uint32_t flag)
{
    return RequestService(abi::kSvcFileOpen, Arg(name), mode, flag);
}

void FileClose(int32_t channel)
{
    RequestService(abi::kSvcFileClose, channel, 1);
}

uint32_t FileRead(int32_t channel, void* buffer, uint32_t count)
{
    return RequestService(abi::kSvcFileRead, channel, Arg(buffer), count, 1);
}

void FileSeek(int32_t channel, uint32_t offset)
{
    RequestService(abi::kSvcFileSeek, channel, offset, 0);
}

bool FileAtEnd(int32_t channel)
{
    return RequestService(abi::kSvcFileAtEnd, channel, 0) != 0;
}

uint32_t HostWindow()
{
    return RequestService(abi::kSvcHostWindow, 1);
}

uint32_t NativeWindowHandle(uint32_t window)
{
    return RequestService(abi::kSvcNativeWindowHandle, window);
}

void TimedWait(uint32_t milliseconds)
{
    RequestService(abi::kSvcTimedWait, milliseconds, 2);
}

HostFile::HostFile(const char* name, uint32_t mode, uint32_t flag)
    : channel_(FileOpen(name, mode, flag))
{
    if (channel_ < 0)
        RaiseHostError(kErrFileNotOpened);
}

HostFile::~HostFile()
{
    // A destructor may run while a raised error unwinds: never throw from here.
    try {
        FileClose(channel_);
    } catch (const HostRaised&) {
    }
}

} // namespace marvo
