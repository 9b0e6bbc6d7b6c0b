// M_SLEEP (pause the calling host program) and M_MKDIR, M_RMDIR (create or
// remove one directory; one trailing backslash of the path is dropped).
#include <windows.h>

#include "host/functions.h"
#include "host/handles.h"
#include "host/params.h"
#include "host/results.h"

namespace {

using namespace marvo;

enum class DirectoryOperation { Create, Remove };

bool changeDirectory(const abi::ParamBlock* pb, DirectoryOperation operation)
{
    const abi::HostValue& path = Param(pb, 1);
    OwnedHandle copy(AllocHandleOrRaise(path.length + 1));
    HandleLock lock(copy.get());
    char* name = lock.data();
    CopyParamText(name, path.handle, path.length);
    if (path.length > 0 && name[path.length - 1] == '\\')
        name[path.length - 1] = '\0';
    if (operation == DirectoryOperation::Create)
        return CreateDirectoryA(name, nullptr) != FALSE;
    return RemoveDirectoryA(name) != FALSE;
}

} // namespace

// Builds no result. Windows takes the count as unsigned, so a negative pause
// would never end: it is taken as no pause.
HOST_FUNCTION(M_SLEEP)
{
    const int32_t milliseconds = ParamInteger(pb, 1);
    Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}

HOST_FUNCTION(M_MKDIR)
{
    ReturnLogical(changeDirectory(pb, DirectoryOperation::Create));
}

HOST_FUNCTION(M_RMDIR)
{
    ReturnLogical(changeDirectory(pb, DirectoryOperation::Remove));
}
