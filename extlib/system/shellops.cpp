// M_SHFCOPY, M_SHFMOVE, M_SHFDEL: copy, move and delete files through the
// Windows shell, with the shell's own progress, confirmations and messages
// as the caller's flags choose, owned by the host's window.
//
// The texts are used in place: each parameter's own handle is grown by two
// bytes and both set to NUL, so a name list ends with the two NULs the shell
// looks for whatever the caller passed, and nothing beyond the caller's text
// is read.
#include <windows.h>

#include <shellapi.h>

#include <cstring>

#include "host/functions.h"
#include "host/handles.h"
#include "host/params.h"
#include "host/results.h"
#include "host/services.h"

namespace {

using namespace marvo;

constexpr uint16_t kResultWidth = 10;

uint32_t grownHandle(const abi::HostValue& text)
{
    if (text.length > UINT32_MAX - 2 || !ResizeHandle(text.handle, text.length + 2))
        RaiseHostError(kErrNoMemory);
    return text.handle;
}

// Parameter n's text locked in place and ended with two NULs; no text (a null
// address) when the parameter is not used or was not passed.
class NameList {
  public:
    NameList(const abi::ParamBlock* pb, int n, bool used = true)
        : length_(present(pb, n, used) ? Param(pb, n).length : 0),
          lock_(present(pb, n, used) ? grownHandle(Param(pb, n)) : 0)
    {
        // A handle that was larger than the text already keeps its old bytes.
        if (data()) {
            data()[length_] = '\0';
            data()[length_ + 1] = '\0';
        }
    }
    char* data() const { return lock_.data(); }

  private:
    static bool present(const abi::ParamBlock* pb, int n, bool used)
    {
        return used && n <= ParamCount(pb);
    }

    uint32_t length_;
    HandleLock lock_;
};

// The shell keeps each name of a list in a buffer of MAX_PATH characters on
// its stack (Wine's overruns it with a longer name and the host dies), so a
// list with a longer name never reaches it: the answer is the shell's own
// code for a path too deep, DE_PATHTOODEEP.
constexpr int32_t kPathTooDeep = 0x79;

bool namesFit(const char* list)
{
    for (const char* name = list; name && *name; name += std::strlen(name) + 1) {
        if (std::strlen(name) >= MAX_PATH)
            return false;
    }
    return true;
}

int32_t shellOperation(const abi::ParamBlock* pb, UINT operation)
{
    const bool toDestination = operation != FO_DELETE;
    NameList source(pb, 1);
    NameList destination(pb, 2, toDestination);
    NameList title(pb, 3);
    const int32_t flags = ParamCount(pb) >= 4 ? ParamInteger(pb, 4) : 0;
    if (!namesFit(source.data()) || !namesFit(destination.data()))
        return kPathTooDeep;

    SHFILEOPSTRUCTA request{};
    request.hwnd = reinterpret_cast<HWND>(NativeWindowHandle(HostWindow()));
    request.wFunc = operation;
    request.pFrom = source.data();
    request.pTo = destination.data();
    request.fFlags = static_cast<FILEOP_FLAGS>(flags & 0xFFFF);
    request.lpszProgressTitle = title.data();
    return SHFileOperationA(&request);
}

} // namespace

HOST_FUNCTION(M_SHFCOPY)
{
    ReturnInteger(shellOperation(pb, FO_COPY), kResultWidth);
}

HOST_FUNCTION(M_SHFMOVE)
{
    ReturnInteger(shellOperation(pb, FO_MOVE), kResultWidth);
}

// The second parameter is never read: any value of any kind may stand there.
HOST_FUNCTION(M_SHFDEL)
{
    ReturnInteger(shellOperation(pb, FO_DELETE), kResultWidth);
}
