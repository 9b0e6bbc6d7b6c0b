// The process-wide encryption session: the key that M_CRPTINIT derives and
// the X variants use until M_CRPTQUIT or the next M_CRPTINIT.
#pragma once

#include "cryptoapi.h"

namespace marvo::crypt {

bool SessionActive();

// The session's key; 0 when no session is active, which every cipher call
// refuses.
HCRYPTKEY SessionKey();

} // namespace marvo::crypt
