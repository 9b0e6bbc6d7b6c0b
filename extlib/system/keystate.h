// The key state as GetKeyboardState fills it: one byte per virtual-key code,
// 256 in all. No Windows header: the tests read it on its own.
#pragma once

#include <cstdint>

namespace keyboard {

constexpr int kStateSize = 256;

// A key counts as held down when bit 7 of its byte is set. Codes outside
// the table name no key, which is never held down.
inline bool HeldIn(const uint8_t (&state)[kStateSize], int32_t key)
{
    if (key < 0 || key > 255)
        return false;
    return (state[key] & 0x80) != 0;
}

} // namespace keyboard
