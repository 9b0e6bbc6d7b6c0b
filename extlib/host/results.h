// The result builders: each hands one HostValue to the host (service 11).
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi.h"

namespace marvo {

// Kind H: a new handle of the text and a terminator, taken over by the host.
// When no handle can be had, nothing is returned.
void ReturnString(const char* text, size_t length);
void ReturnString(const char* text);
void ReturnInteger(int32_t value, uint16_t width);
void ReturnNumber(double value, uint16_t width, uint32_t decimals);
void ReturnLogical(bool flag);
void ReturnValue(const abi::HostValue& value);

} // namespace marvo
