// M_STRCRC16, M_STRCRC32, M_FCRC16, M_FCRC32: CRCs of a text parameter and
// of a whole file read through the host's file channel.
#include <vector>

#include "crc.h"
#include "host/functions.h"
#include "host/handles.h"
#include "host/params.h"
#include "host/results.h"
#include "host/services.h"

namespace {

using namespace marvo;

constexpr uint32_t kReadSize = 10240;
constexpr uint16_t kWidth16 = 10;
constexpr uint16_t kWidth32 = 16;

using Update = uint32_t (*)(uint32_t, const void*, size_t);

// Runs update over the whole file named by parameter 1. The name is copied
// for this call alone, whatever its length.
uint32_t fileCrc(abi::ParamBlock* pb, uint32_t crc, Update update)
{
    const abi::HostValue& nameParam = Param(pb, 1);
    std::vector<char> name(nameParam.length + 1);
    CopyParamText(name.data(), nameParam.handle, nameParam.length);

    HostFile file(name.data(), 0, 0);
    OwnedHandle buffer(AllocHandleOrRaise(kReadSize));
    HandleLock lock(buffer.get());
    for (;;) {
        uint32_t n = FileRead(file.channel(), lock.data(), kReadSize);
        if (n > kReadSize) // a failed read comes back negative
            RaiseHostError(kErrReadingFile);
        crc = update(crc, lock.data(), n);
        if (FileAtEnd(file.channel()))
            break;
        if (n == 0) // not at the end, yet nothing read: the end would never come
            RaiseHostError(kErrReadingFile);
    }
    return crc;
}

} // namespace

HOST_FUNCTION(M_STRCRC16)
{
    LockedText text(pb, 1);
    ReturnInteger(crc::Update16(crc::kInit16, text.data(), text.size()), kWidth16);
}

HOST_FUNCTION(M_STRCRC32)
{
    LockedText text(pb, 1);
    ReturnNumber(crc::Crc32(text.data(), text.size()), kWidth32, 0);
}

HOST_FUNCTION(M_FCRC16)
{
    ReturnInteger(fileCrc(pb, crc::kInit16, crc::Update16), kWidth16);
}

HOST_FUNCTION(M_FCRC32)
{
    ReturnNumber(crc::Finish32(fileCrc(pb, crc::kInit32, crc::Update32)), kWidth32, 0);
}
