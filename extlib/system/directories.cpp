// M_SLEEP (pause the calling host program) and M_MKDIR, M_RMDIR (create or
// remove one directory; one trailing backslash of the path is dropped, but
// never the one of a root).
#include <windows.h>

#include <cctype>
#include <cstring>
#include <string>

#include "host/functions.h"
#include "host/handles.h"
#include "host/params.h"
#include "host/results.h"

namespace {

using namespace marvo;

enum class DirectoryOperation { Create, Remove };

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

// "Q:\" or "Q:/".
bool isDriveRoot(const std::string& path)
{
    return path.size() == 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && isSeparator(path[2]);
}

// "server\share" or "server\share\", as it follows the two separators that
// open a UNC path.
bool isShareRoot(const std::string& rest)
{
    const size_t server = rest.find_first_of("\\/");
    if (server == 0 || server == std::string::npos)
        return false;
    const size_t share = rest.find_first_of("\\/", server + 1);
    if (share == std::string::npos)
        return server + 1 < rest.size();
    return share > server + 1 && share + 1 == rest.size();
}

// A path that is the root of a drive or a share and nothing more: "\",
// "Q:\", "\\server\share[\]", and these behind the \\?\ or \\.\ prefix.
bool isRoot(const std::string& path)
{
    if (path.size() == 1)
        return isSeparator(path[0]);
    if (isDriveRoot(path))
        return true;
    if (path.size() < 3 || !isSeparator(path[0]) || !isSeparator(path[1]))
        return false;
    std::string rest = path.substr(2);
    if (rest.size() >= 2 && (rest[0] == '?' || rest[0] == '.') && isSeparator(rest[1])) {
        rest.erase(0, 2);
        if (isDriveRoot(rest))
            return true;
        if (rest.size() < 4 || _strnicmp(rest.c_str(), "UNC", 3) != 0 || !isSeparator(rest[3]))
            return false;
        rest.erase(0, 4);
    }
    return isShareRoot(rest);
}

// Where the path leads once the current directories and "." and ".." are
// taken into account; empty when Windows cannot tell.
std::string fullPath(const char* name)
{
    const DWORD size = GetFullPathNameA(name, 0, nullptr, nullptr);
    if (size == 0)
        return std::string();
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(name, size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return std::string();
    full.resize(length);
    return full;
}

bool changeDirectory(const abi::ParamBlock* pb, DirectoryOperation operation)
{
    const abi::HostValue& path = Param(pb, 1);
    OwnedHandle copy(AllocHandleOrRaise(path.length + 1));
    HandleLock lock(copy.get());
    char* name = lock.data();
    CopyParamText(name, path.handle, path.length);
    // Without its backslash a root would name the drive's current directory.
    if (path.length > 0 && name[path.length - 1] == '\\' && !isRoot(name))
        name[path.length - 1] = '\0';
    if (operation == DirectoryOperation::Create)
        return CreateDirectoryA(name, nullptr) != FALSE;
    // Windows refuses to remove a root, but Wine removes the folder behind
    // an empty mapped drive: a root is never handed over.
    if (isRoot(fullPath(name)))
        return false;
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
