// Parameter helpers: texts of every kind turned into terminated handles, and
// the password offset.
#include "params.h"

#include <cstring>

#include "services.h"

namespace marvo {
namespace {

uint32_t characterToHandle(const abi::HostValue& value)
{
    OwnedHandle copy(AllocHandleOrRaise(value.length + 1));
    HandleLock to(copy.get());
    {
        HandleLock from(value.handle);
        if (value.length)
            std::memcpy(to.data(), from.data(), value.length);
    }
    to.data()[value.length] = '\0';
    return copy.release();
}

// A loaded text's handle is the library's to free; any other value lives in
// the record itself, and its handle field holds nothing of ours to free.
uint32_t loadedToHandle(const abi::HostValue& reference, uint32_t& size)
{
    abi::HostValue value{};
    if (int32_t r = LoadVariable(reference, value))
        RaiseHostError(-r);
    if (value.kind != 'C')
        return 0;
    OwnedHandle text(value.handle);
    if (!ResizeHandle(text.get(), value.length + 1))
        RaiseHostError(kErrNoMemory);
    static_cast<char*>(HandleToPointer(text.get()))[value.length] = '\0';
    size = value.length;
    return text.release();
}

// The host answers an empty memo and a field that is no memo alike, with a
// negative offset; loading the field tells them apart: an empty memo loads
// as the empty text, another field as its value, and a reference that leads
// nowhere fails with the host's error number.
uint32_t memoToHandle(const abi::HostValue& reference, uint32_t& size)
{
    int32_t channel = MemoFileChannel(reference.where());
    int32_t offset = MemoOffset(reference);
    if (offset < 0)
        return loadedToHandle(reference, size);
    int32_t length = MemoLength(reference);
    if (length < 0)
        RaiseUserError("Invalid memo size\n");
    FileSeek(channel, static_cast<uint32_t>(offset));
    OwnedHandle text(AllocHandleOrRaise(static_cast<uint32_t>(length) + 1));
    HandleLock lock(text.get());
    if (FileRead(channel, lock.data(), length) != static_cast<uint32_t>(length))
        RaiseUserError("Error reading memo field\n");
    lock.data()[length] = '\0';
    size = static_cast<uint32_t>(length);
    return text.release();
}

} // namespace

std::string ParamString(const abi::ParamBlock* pb, int n)
{
    const abi::HostValue& value = Param(pb, n);
    std::string text(value.length, '\0');
    if (value.length)
        CopyParamText(&text[0], value.handle, value.length);
    return text;
}

uint32_t ParamToTextHandle(abi::ParamBlock* pb, int index, uint32_t* length)
{
    const abi::HostValue& value = pb->param[index];
    uint32_t size = 0;
    uint32_t handle = 0;
    switch (value.kind) {
    case 'C':
        size = value.length;
        handle = characterToHandle(value);
        break;
    case 'R':
        handle = value.where() > 0 ? memoToHandle(value, size) : loadedToHandle(value, size);
        break;
    default:
        break;
    }
    if (length)
        *length = handle ? size : 0;
    return handle;
}

int CopyParamText(char* destination, uint32_t handle, uint32_t length)
{
    HandleLock from(handle);
    if (length)
        std::memcpy(destination, from.data(), length);
    destination[length] = '\0';
    return 1;
}

void OffsetPasswordBytes(char* buffer, size_t length, const PasswordOffset& offset)
{
    int sum = 0;
    for (int8_t b : offset)
        sum += b;
    for (size_t i = 0; i < length; ++i) {
        int b = static_cast<int8_t>(buffer[i]);
        // C++ remainder takes the dividend's sign, as the stored data expects.
        buffer[i] = static_cast<char>((b + sum) % 255);
    }
}

} // namespace marvo
