// Result builders.
#include "results.h"

#include <cstring>

#include "handles.h"
#include "services.h"

namespace marvo {

void ReturnValue(const abi::HostValue& value)
{
    RequestService(abi::kSvcReturnValue, Arg(&value));
}

void ReturnString(const char* text, size_t length)
{
    if (length > UINT32_MAX - 1)
        return;
    OwnedHandle handle(AllocHandle(static_cast<uint32_t>(length) + 1));
    if (!handle.get())
        return;
    {
        HandleLock lock(handle.get());
        if (length)
            std::memcpy(lock.data(), text, length);
        lock.data()[length] = '\0';
    }
    abi::HostValue value{};
    value.kind = 'H';
    value.length = static_cast<uint32_t>(length);
    value.handle = handle.get();
    // The host owns the handle once the request is made, raised or not.
    handle.release();
    ReturnValue(value);
}

void ReturnString(const char* text)
{
    ReturnString(text, std::strlen(text));
}

void ReturnInteger(int32_t value, uint16_t width)
{
    abi::HostValue v{};
    v.kind = 'I';
    v.width = width;
    v.integer = value;
    ReturnValue(v);
}

void ReturnNumber(double value, uint16_t width, uint32_t decimals)
{
    abi::HostValue v{};
    v.kind = 'N';
    v.width = width;
    v.length = decimals;
    v.number = value;
    ReturnValue(v);
}

void ReturnLogical(bool flag)
{
    abi::HostValue v{};
    v.kind = 'L';
    v.length = flag ? 1 : 0;
    ReturnValue(v);
}

} // namespace marvo
