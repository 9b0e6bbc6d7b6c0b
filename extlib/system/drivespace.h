// How the drive functions name a drive and turn a volume's counts into the
// numbers they return. No Windows header: the arithmetic is checked on its own.
#pragma once

#include <cstdint>
#include <string>

namespace drives {

// What a space function asks of its family's query.
enum Selector : int { kTotal = 1, kFree = 2, kCallerFree = 3, kUsed = 4 };

// The outputs of the cluster-based query, in its own terms.
struct ClusterCounts {
    uint32_t sectorsPerCluster = 0;
    uint32_t bytesPerSector = 0;
    uint32_t freeClusters = 0;
    uint32_t totalClusters = 0;
};

// The outputs of the byte-count query.
struct ByteCounts {
    uint64_t callerFree = 0;
    uint64_t total = 0;
    uint64_t free = 0;
};

// The plain space functions multiply in 32 bits: a drive of 4 GiB or more
// comes out modulo 2^32. Stored programs compare against these numbers, so the
// wrap stays; the X family gives the exact counts.
inline double ClusterSpace(int selector, const ClusterCounts& c)
{
    const uint32_t total = c.totalClusters * c.bytesPerSector * c.sectorsPerCluster;
    const uint32_t free = c.freeClusters * c.bytesPerSector * c.sectorsPerCluster;
    switch (selector) {
    case kTotal:
        return total;
    case kFree:
        return free;
    case kUsed:
        return static_cast<double>(total) - static_cast<double>(free);
    default:
        return 0;
    }
}

inline double ByteSpace(int selector, const ByteCounts& b)
{
    switch (selector) {
    case kTotal:
        return static_cast<double>(b.total);
    case kFree:
        return static_cast<double>(b.free);
    case kCallerFree:
        return static_cast<double>(b.callerFree);
    case kUsed:
        return static_cast<double>(b.total - b.free);
    default:
        return 0;
    }
}

// The root path X:\ of the drive named by the first character of an
// argument. An empty argument names no drive: the result is empty and the
// callers answer as for a drive that does not exist.
inline std::string RootPath(const char* argument, uint32_t length)
{
    if (length == 0 || !argument || argument[0] == '\0')
        return std::string();
    return std::string{argument[0], ':', '\\'};
}

} // namespace drives
