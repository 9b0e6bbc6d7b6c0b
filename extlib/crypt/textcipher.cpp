// M_ENCRPTW, M_DECRPTW, M_MENCRPTW, M_MDECRPTW and their session variants
// M_ENCRPTWX, M_DECRPTWX, M_MECRPTWX, M_MDCRPTWX.
//
// A text passed by value is ciphered in place and its own value record is
// returned. A memo field or variable is ciphered in a copy of its whole
// text, zero bytes included (ciphertext holds zero bytes as often as any
// other), and the copy is returned; the field or variable keeps its content.
#include "chunks.h"
#include "cryptoapi.h"
#include "session.h"

#include "host/functions.h"
#include "host/handles.h"
#include "host/params.h"
#include "host/results.h"
#include "host/services.h"

namespace {

using namespace marvo;
using namespace marvo::crypt;

BYTE* bytes(char* text)
{
    return reinterpret_cast<BYTE*>(text);
}

bool cipherText(HCRYPTKEY key, BYTE* text, DWORD length, BYTE* buffer, Direction direction,
                const Wording& wording)
{
    DWORD code = 0;
    bool ok =
        CipherChunks(text, length, buffer, kChunkLength, [&](BYTE* chunk, DWORD& n, bool final) {
            return CipherChunk(key, direction, final, chunk, n, kWorkBufferSize, code);
        });
    if (!ok)
        ReportError(wording.cipher, code);
    return ok;
}

// CipherInPlace with a key of its own for this call.
bool cipherWithPassword(BYTE* text, DWORD length, const BYTE* password, DWORD passwordLength,
                        Direction direction)
{
    const Wording& wording = TextWording(direction);
    KeyMaterial material;
    if (!PreparePasswordKey(material, password, passwordLength, wording))
        return false;
    WorkBuffer buffer = AllocateWorkBuffer(kWorkBufferSize);
    if (!buffer) {
        ReportError(wording.memory, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return cipherText(material.key.get(), text, length, buffer.get(), direction, wording);
}

// CipherInPlace with the session key. A run that fails midway restarts the
// key stream, so the next session call starts where every call starts.
bool cipherWithSession(BYTE* text, DWORD length, Direction direction)
{
    const Wording& wording = TextWording(direction);
    WorkBuffer buffer = AllocateWorkBuffer(kWorkBufferSize);
    if (!buffer) {
        ReportError(wording.memory, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (cipherText(SessionKey(), text, length, buffer.get(), direction, wording))
        return true;
    RestartKeyStream(SessionKey());
    return false;
}

// The whole text of the memo field or variable that parameter 1 refers to,
// in a handle of the library; host error 302 when it holds no text.
class ReferencedText {
  public:
    explicit ReferencedText(abi::ParamBlock* pb) : copy_(ParamToTextHandle(pb, 0, &length_))
    {
        if (!copy_.get())
            RaiseHostError(kErrNotText);
    }
    uint32_t handle() const { return copy_.get(); }
    uint32_t length() const { return length_; }

    // The ciphered copy becomes the result: a text in a library handle
    // (kind H), which the host takes over and frees like any other. After
    // a failure the result is the empty string and the copy is freed.
    void returnResult(bool ok)
    {
        if (!ok) {
            ReturnString("");
            return;
        }
        abi::HostValue result{};
        result.kind = 'H';
        result.length = length_;
        result.handle = copy_.get();
        ReturnValue(result);
        copy_.release();
    }

  private:
    uint32_t length_ = 0;
    OwnedHandle copy_;
};

void stringWithPassword(abi::ParamBlock* pb, Direction direction)
{
    RequirePassword(pb, 2);
    bool ok;
    {
        LockedText text(pb, 1);
        LockedText password(pb, 2);
        OffsetPasswordBytes(password.data(), password.size(), LibraryPasswordOffset());
        ok = cipherWithPassword(bytes(text.data()), text.size(), bytes(password.data()),
                                password.size(), direction);
    }
    if (ok)
        ReturnValue(Param(pb, 1));
    else
        ReturnString("");
}

void memoWithPassword(abi::ParamBlock* pb, Direction direction)
{
    RequirePassword(pb, 2);
    LockedText password(pb, 2);
    OffsetPasswordBytes(password.data(), password.size(), LibraryPasswordOffset());
    ReferencedText text(pb);
    bool ok;
    {
        HandleLock lock(text.handle());
        ok = cipherWithPassword(bytes(lock.data()), text.length(), bytes(password.data()),
                                password.size(), direction);
    }
    text.returnResult(ok);
}

void stringWithSession(abi::ParamBlock* pb, Direction direction)
{
    if (!SessionActive()) {
        ReturnString("");
        return;
    }
    bool ok;
    {
        LockedText text(pb, 1);
        ok = cipherWithSession(bytes(text.data()), text.size(), direction);
    }
    if (ok)
        ReturnValue(Param(pb, 1));
    else
        ReturnString("");
}

void memoWithSession(abi::ParamBlock* pb, Direction direction)
{
    if (!SessionActive()) {
        ReturnString("");
        return;
    }
    ReferencedText text(pb);
    bool ok;
    {
        HandleLock lock(text.handle());
        ok = cipherWithSession(bytes(lock.data()), text.length(), direction);
    }
    text.returnResult(ok);
}

} // namespace

HOST_FUNCTION(M_ENCRPTW)
{
    stringWithPassword(pb, Direction::Encrypt);
}
HOST_FUNCTION(M_DECRPTW)
{
    stringWithPassword(pb, Direction::Decrypt);
}
HOST_FUNCTION(M_MENCRPTW)
{
    memoWithPassword(pb, Direction::Encrypt);
}
HOST_FUNCTION(M_MDECRPTW)
{
    memoWithPassword(pb, Direction::Decrypt);
}
HOST_FUNCTION(M_ENCRPTWX)
{
    stringWithSession(pb, Direction::Encrypt);
}
HOST_FUNCTION(M_DECRPTWX)
{
    stringWithSession(pb, Direction::Decrypt);
}
HOST_FUNCTION(M_MECRPTWX)
{
    memoWithSession(pb, Direction::Encrypt);
}
HOST_FUNCTION(M_MDCRPTWX)
{
    memoWithSession(pb, Direction::Decrypt);
}
