// M_DRIVES, the drive size functions (M_DRVBYTES, M_DRVUSED, M_DRVFREE, whose
// entry M_DRVSPACE shares, and the exact M_DRVBYTESX, M_DRVUSEDX, M_DRVFREEX,
// M_DRVFREECX), M_DRVTYPE and M_DSERIAL. Each is one Windows volume query on
// the drive named by the first character of its argument; a failed query
// answers 0 (1 from M_DRVTYPE), never a host error.
#include <windows.h>

#include <string>

#include "host/functions.h"
#include "host/lock.h"
#include "host/params.h"
#include "host/results.h"
#include "host/services.h"
#include "system/drivespace.h"

namespace {

using namespace marvo;

constexpr uint16_t kSpaceWidth = 15;
constexpr uint16_t kExactSpaceWidth = 25;
constexpr uint16_t kMaskWidth = 10;
constexpr uint16_t kTypeWidth = 5;

// The drive test's file in the root, made and removed by the host.
constexpr char kTestFile[] = "x.x";
constexpr uint32_t kCreateMode = 128;
constexpr uint32_t kCreateFlag = 1;
constexpr int32_t kFileTestFailed = 100;

std::string rootOf(const abi::ParamBlock* pb)
{
    LockedText argument(pb, 1);
    return drives::RootPath(argument.data(), argument.size());
}

// The query's result is not looked at: a failed call leaves the zeros.
double clusterSpace(const abi::ParamBlock* pb, drives::Selector selector)
{
    const std::string root = rootOf(pb);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!root.empty())
        GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                          &totalClusters);
    return drives::ClusterSpace(selector,
                                {sectorsPerCluster, bytesPerSector, freeClusters, totalClusters});
}

double byteSpace(const abi::ParamBlock* pb, drives::Selector selector)
{
    const std::string root = rootOf(pb);
    ULARGE_INTEGER callerFree{}, total{}, free{};
    if (!root.empty())
        GetDiskFreeSpaceExA(root.c_str(), &callerFree, &total, &free);
    return drives::ByteSpace(selector, {callerFree.QuadPart, total.QuadPart, free.QuadPart});
}

// Every call tests with the same file name: two threads testing at once
// would each find the other's file open and report the drive read-only.
CriticalSection fileTestLock;

// The drive type, raised by 100 when the host cannot create and open the
// test file in the root. No file test where the root does not exist.
int32_t driveType(const std::string& root)
{
    if (root.empty())
        return DRIVE_NO_ROOT_DIR;
    const int32_t type = static_cast<int32_t>(GetDriveTypeA(root.c_str()));
    if (type == DRIVE_NO_ROOT_DIR)
        return type;
    Locked oneAtATime(fileTestLock);
    const int32_t channel = FileOpen((root + kTestFile).c_str(), kCreateMode, kCreateFlag);
    if (channel < 0)
        return type + kFileTestFailed;
    FileClose(channel);
    return type;
}

uint32_t volumeSerial(const std::string& root)
{
    DWORD serial = 0;
    DWORD longestName = 0;
    DWORD flags = 0;
    char volumeName[128];
    char fileSystem[128];
    if (!root.empty())
        GetVolumeInformationA(root.c_str(), volumeName, sizeof volumeName, &serial, &longestName,
                              &flags, fileSystem, sizeof fileSystem);
    return serial;
}

} // namespace

HOST_FUNCTION(M_DRIVES)
{
    (void)pb;
    ReturnInteger(static_cast<int32_t>(GetLogicalDrives()), kMaskWidth);
}

HOST_FUNCTION(M_DRVBYTES)
{
    ReturnNumber(clusterSpace(pb, drives::kTotal), kSpaceWidth, 0);
}

HOST_FUNCTION(M_DRVUSED)
{
    ReturnNumber(clusterSpace(pb, drives::kUsed), kSpaceWidth, 0);
}

// Also the entry of M_DRVSPACE.
HOST_FUNCTION(M_DRVFREE)
{
    ReturnNumber(clusterSpace(pb, drives::kFree), kSpaceWidth, 0);
}

HOST_FUNCTION(M_DRVBYTESX)
{
    ReturnNumber(byteSpace(pb, drives::kTotal), kExactSpaceWidth, 0);
}

HOST_FUNCTION(M_DRVUSEDX)
{
    ReturnNumber(byteSpace(pb, drives::kUsed), kExactSpaceWidth, 0);
}

HOST_FUNCTION(M_DRVFREEX)
{
    ReturnNumber(byteSpace(pb, drives::kFree), kExactSpaceWidth, 0);
}

HOST_FUNCTION(M_DRVFREECX)
{
    ReturnNumber(byteSpace(pb, drives::kCallerFree), kExactSpaceWidth, 0);
}

HOST_FUNCTION(M_DRVTYPE)
{
    ReturnInteger(driveType(rootOf(pb)), kTypeWidth);
}

// The serial is unsigned: a number with its top bit set stays positive.
HOST_FUNCTION(M_DSERIAL)
{
    ReturnNumber(volumeSerial(rootOf(pb)), kSpaceWidth, 0);
}
