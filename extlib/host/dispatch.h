// Per-thread state of the binding and the one exported entry, DispatchAPI.
#pragma once

#include "abi.h"

namespace marvo {

// One per thread that has entered the library; lives until unload.
struct ThreadState {
    ThreadState* next;
    abi::HostCallback callback;
    abi::HandleTable* handles;
    abi::SlotTable* slots;
};

// The calling thread's state, or null when the thread never entered.
ThreadState* CurrentThread();

} // namespace marvo

extern "C" __declspec(dllexport) int HOST_CALL DispatchAPI(abi::HostMessage* message);
