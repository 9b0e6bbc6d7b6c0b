// Reading parameters from a ParamBlock, and the shared parameter helpers.
// Parameters are counted from 1 by the readers here, as the host counts them;
// ParamToTextHandle keeps its own 0-based index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "abi.h"
#include "handles.h"

namespace marvo {

inline int ParamCount(const abi::ParamBlock* pb)
{
    return pb->count;
}
inline const abi::HostValue& Param(const abi::ParamBlock* pb, int n)
{
    return pb->param[n - 1];
}
inline int32_t ParamInteger(const abi::ParamBlock* pb, int n)
{
    return Param(pb, n).integer;
}
inline bool ParamLogical(const abi::ParamBlock* pb, int n)
{
    return Param(pb, n).length != 0;
}

// A character parameter's text, locked in place for the scope.
class LockedText {
  public:
    LockedText(const abi::ParamBlock* pb, int n)
        : lock_(Param(pb, n).handle), size_(Param(pb, n).length)
    {
    }
    char* data() const { return lock_.data(); }
    const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(lock_.data()); }
    uint32_t size() const { return size_; }

  private:
    HandleLock lock_;
    uint32_t size_;
};

// A terminated copy of a character parameter, as long as the text is.
std::string ParamString(const abi::ParamBlock* pb, int n);

// A new handle holding the text of parameter `index` (from 0) and a
// terminator: a character value, a memo field (an empty memo gives the empty
// text) or a character variable. Returns 0 for other kinds; the caller frees
// the handle. When length is given it receives the text's full length, zero
// bytes included.
uint32_t ParamToTextHandle(abi::ParamBlock* pb, int index, uint32_t* length = nullptr);

// Copies length bytes of the handle's payload to destination and terminates them.
int CopyParamText(char* destination, uint32_t handle, uint32_t length);

// The password offset: seven signed bytes, applied in place to a password
// before a key is derived from it.
using PasswordOffset = int8_t[7];
void OffsetPasswordBytes(char* buffer, size_t length, const PasswordOffset& offset);

} // namespace marvo
