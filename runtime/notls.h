// The notifications the extension libraries pass on to the compiler's
// runtime, which would otherwise have come through a TLS directory (see
// notls.cpp for why the libraries have none).
#pragma once

#include <windows.h>

namespace marvo {

// Call from DllMain with every notification it receives.
void ForwardToRuntime(HINSTANCE module, DWORD reason, LPVOID reserved);

} // namespace marvo
