// The extension libraries carry no TLS directory. The MinGW-w64 start-up
// code of a DLL asks for its TLS support (the directory with two callbacks)
// through one symbol, __dyn_tls_init_callback; defining it here, empty,
// keeps that support out of the link. Windows 95 refuses LoadLibrary of any
// DLL with a TLS directory (ERROR_DLL_INIT_FAILED, Microsoft Knowledge Base
// Q118816), and no code of ours keeps data in static TLS: the compiler's
// runtime keeps its per-thread data in TlsAlloc slots.
//
// What those callbacks did for the runtime, DllMain now asks for with
// ForwardToRuntime: the lock of its per-thread destructors made on process
// attach, the destructors of a thread's runtime data (the exception state)
// run when the thread ends, and the floating-point state reset in a new
// thread.
#include "notls.h"

extern "C" {
// The start-up code calls it, when set, for the thread that loads the DLL.
extern const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback;
const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = nullptr;

// The runtime's own handler of the four notifications (mingw-w64's tlsthrd.c;
// a cdecl function).
BOOL __mingw_TLScallback(HANDLE module, DWORD reason, LPVOID reserved);
}

namespace marvo {

void ForwardToRuntime(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    __mingw_TLScallback(module, reason, reserved);
}

} // namespace marvo
