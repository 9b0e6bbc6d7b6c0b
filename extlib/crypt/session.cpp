// M_CRPTINIT and M_CRPTQUIT, and the EncryptionSession they set up and end.
//
// The session key derives from the whole password, however long, so it is
// the key a per-call function derives from the same password. The password
// itself is not kept.
#include "session.h"

#include <string>

#include "host/functions.h"
#include "host/params.h"
#include "host/results.h"

namespace marvo::crypt {
namespace {

// The key is destroyed before the provider context it came from.
struct EncryptionSession {
    bool active = false;
    Provider provider;
    Key key;

    void end()
    {
        key.reset();
        provider.reset();
        active = false;
    }
};

EncryptionSession session;

// Derives the session key from the password. A failed step is reported,
// and what was obtained is released again.
bool beginSession(const std::string& password)
{
    const Wording& wording = TextWording(Direction::Encrypt);
    if (!AcquireProvider(session.provider)) {
        ReportError(wording.acquire, GetLastError());
        session.end();
        return false;
    }
    Hash hash;
    DWORD code = 0;
    DeriveStep step =
        DerivePasswordKey(session.provider.get(), reinterpret_cast<const BYTE*>(password.data()),
                          static_cast<DWORD>(password.size()), hash, session.key, code);
    if (step != DeriveStep::Done) {
        ReportError(DeriveMessage(wording, step), code);
        hash.reset();
        session.end();
        return false;
    }
    session.active = true;
    return true;
}

} // namespace

bool SessionActive()
{
    return session.active;
}

HCRYPTKEY SessionKey()
{
    return session.active ? session.key.get() : 0;
}

} // namespace marvo::crypt

using namespace marvo;
using namespace marvo::crypt;

HOST_FUNCTION(M_CRPTINIT)
{
    session.end();
    // With a second parameter of any kind the key comes from the raw bytes.
    bool offset = ParamCount(pb) == 1;
    std::string password = ParamString(pb, 1);
    if (offset)
        OffsetPasswordBytes(&password[0], password.size(), LibraryPasswordOffset());
    ReturnLogical(beginSession(password));
}

HOST_FUNCTION(M_CRPTQUIT)
{
    (void)pb;
    bool wasActive = session.active;
    session.end();
    ReturnLogical(wasActive);
}
