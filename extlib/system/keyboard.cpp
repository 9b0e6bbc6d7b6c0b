// Keyboard state and layouts: M_CTRL ... M_BSPACE and M_KEY, M_KEY2, M_KEY3
// (is a key held down now), M_WKEY, M_WKEY2, M_WKEY3 (wait until keys are
// held down, with a time limit), and M_GETKEYB, M_MKEYBID, M_ACTKEYB (the
// keyboard layout's name, a name made of two numbers, switching layouts).
//
// Every test reads the calling thread's key state afresh; a key counts as
// held down when bit 7 of its byte is set. The toggle bit is never looked at.
// M_LSHIFT and M_RSHIFT answer for either Shift where the system keeps no
// sides (Windows 95, 98, ME).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "host/functions.h"
#include "host/params.h"
#include "host/results.h"
#include "system/keystate.h"

namespace {

using namespace marvo;

constexpr int kLayoutNameSize = 12;
constexpr DWORD kWaitStepMs = 100;

// No key is held down when the state cannot be read.
bool keysHeld(std::initializer_list<int32_t> keys)
{
    BYTE state[keyboard::kStateSize] = {};
    if (!GetKeyboardState(state))
        return false;
    for (int32_t key : keys) {
        if (!keyboard::HeldIn(state, key))
            return false;
    }
    return true;
}

// Windows 95, 98 and ME keep no left and right Shift in the key state (both
// entries stay 0), only the common one; there the sound answer for either
// side is whether either Shift is held. The state itself tells which kind of
// system answered: NT sets the side's entry with the common one for every
// Shift the keyboard presses, so the common entry without a side can only
// come from a system that has no sides (or from a program's own
// SetKeyboardState). The version (GetVersion's high bit) is not asked: an NT
// system that reports itself as Windows 95 or 98 (a compatibility mode, Wine
// set to Windows 98) has the sides and would lose them.
bool shiftHeld(const BYTE (&state)[256], int side)
{
    const bool sidesReported = (state[VK_LSHIFT] | state[VK_RSHIFT]) & 0x80;
    return (sidesReported ? state[side] : state[VK_SHIFT]) & 0x80;
}

bool shiftHeldNow(int side)
{
    BYTE state[256] = {};
    return GetKeyboardState(state) && shiftHeld(state, side);
}

// Tests first; then each round sleeps, takes one message from the thread's
// queue and drops it (that brings the key state up to date), and compares the
// time waited with the time-out. The tick count wraps every 49.7 days; the
// time waited, taken as an unsigned difference, does not, and no time-out
// (at most 2^31 - 1 ms) comes near that.
bool waitForKeys(std::initializer_list<int32_t> keys, int32_t timeout)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (keysHeld(keys))
            return true;
        Sleep(kWaitStepMs);
        MSG message;
        GetMessageA(&message, nullptr, 0, 0);
        if (timeout >= 0 && GetTickCount() - start >= static_cast<DWORD>(timeout))
            return false;
    }
}

// With a name: load and activate that layout. Without: activate the next one.
// A name that does not fit the 12-byte buffer names no layout.
bool switchLayout(const abi::ParamBlock* pb)
{
    if (ParamCount(pb) != 1)
        return ActivateKeyboardLayout(reinterpret_cast<HKL>(HKL_NEXT), KLF_REORDER) != nullptr;
    const abi::HostValue& text = Param(pb, 1);
    if (text.length >= kLayoutNameSize)
        return false;
    char name[kLayoutNameSize];
    CopyParamText(name, text.handle, text.length);
    return LoadKeyboardLayoutA(name, KLF_ACTIVATE | KLF_SUBSTITUTE_OK) != nullptr;
}

} // namespace

HOST_FUNCTION(M_CTRL)
{
    (void)pb;
    ReturnLogical(keysHeld({VK_CONTROL}));
}

HOST_FUNCTION(M_ALT)
{
    (void)pb;
    ReturnLogical(keysHeld({VK_MENU}));
}

HOST_FUNCTION(M_LSHIFT)
{
    (void)pb;
    ReturnLogical(shiftHeldNow(VK_LSHIFT));
}

HOST_FUNCTION(M_RSHIFT)
{
    (void)pb;
    ReturnLogical(shiftHeldNow(VK_RSHIFT));
}

HOST_FUNCTION(M_SCRL)
{
    (void)pb;
    ReturnLogical(keysHeld({VK_SCROLL}));
}

HOST_FUNCTION(M_ESC)
{
    (void)pb;
    ReturnLogical(keysHeld({VK_ESCAPE}));
}

HOST_FUNCTION(M_BSPACE)
{
    (void)pb;
    ReturnLogical(keysHeld({VK_BACK}));
}

HOST_FUNCTION(M_KEY)
{
    ReturnLogical(keysHeld({ParamInteger(pb, 1)}));
}

HOST_FUNCTION(M_KEY2)
{
    ReturnLogical(keysHeld({ParamInteger(pb, 1), ParamInteger(pb, 2)}));
}

HOST_FUNCTION(M_KEY3)
{
    ReturnLogical(keysHeld({ParamInteger(pb, 1), ParamInteger(pb, 2), ParamInteger(pb, 3)}));
}

HOST_FUNCTION(M_WKEY)
{
    ReturnLogical(waitForKeys({ParamInteger(pb, 1)}, ParamInteger(pb, 2)));
}

HOST_FUNCTION(M_WKEY2)
{
    ReturnLogical(waitForKeys({ParamInteger(pb, 1), ParamInteger(pb, 2)}, ParamInteger(pb, 3)));
}

HOST_FUNCTION(M_WKEY3)
{
    ReturnLogical(waitForKeys({ParamInteger(pb, 1), ParamInteger(pb, 2), ParamInteger(pb, 3)},
                              ParamInteger(pb, 4)));
}

HOST_FUNCTION(M_GETKEYB)
{
    (void)pb;
    char name[kLayoutNameSize] = {};
    GetKeyboardLayoutNameA(name);
    ReturnString(name);
}

// The Windows language-identifier rule, without masking the primary language
// to its 10 bits.
HOST_FUNCTION(M_MKEYBID)
{
    const uint32_t primary = static_cast<uint16_t>(ParamInteger(pb, 1));
    const uint32_t sublanguage = static_cast<uint16_t>(ParamInteger(pb, 2));
    char name[kLayoutNameSize];
    std::snprintf(name, sizeof name, "%8.8X", static_cast<unsigned>(sublanguage << 10 | primary));
    ReturnString(name);
}

HOST_FUNCTION(M_ACTKEYB)
{
    ReturnLogical(switchLayout(pb));
}
