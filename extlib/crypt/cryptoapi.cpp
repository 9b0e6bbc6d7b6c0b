// The shared CryptoAPI steps of the encryption family, its failure reporter,
// its message texts (Windows code page 1250) and the password offset.
#include "cryptoapi.h"

#include <cstdio>
#include <new>

#include "host/services.h"

namespace marvo::crypt {
namespace {

const char kContainer[] = "Marvo";
const char kProviderName[] = "Microsoft Base Cryptographic Provider v1.0";

const char kAcquire[] = "Chyba p\xf8i CryptAcquireContext!";

const Wording kTextEncrypt = {
    kAcquire,
    "Error during CryptCreateHash!",
    "Error during CryptHashData.",
    "Error during CryptDeriveKey!",
    "Out of memory.",
    "Error during CryptEncrypt.",
    "",
    "",
    "",
    "",
    "",
};

const Wording kTextDecrypt = {
    kAcquire,
    "Error during CryptCreateHash!",
    "Error during CryptHashData.",
    "Error during CryptDeriveKey!",
    "Out of memory.",
    "Error during CryptDecrypt.",
    "",
    "",
    "",
    "",
    "",
};

const Wording kFileEncrypt = {
    kAcquire,
    "Chyba p\xf8i CryptCreateHash!",
    "Chyba p\xf8i CryptHashData.",
    "Chyba p\xf8i CryptDeriveKey!",
    "Out of memory.",
    "Chyba p\xf8i CryptEncrypt.",
    "Chyba p\xf8i otv\xedr\xe1n\xed vstupn\xedho souboru.",
    "Chyba p\xf8i otv\xedr\xe1n\xed v\xfdstupn\xedho souboru!",
    "Vstupn\xed a v\xfdstupn\xed soubor jsou toto\x9en\xe9.",
    "Chyba p\xf8i \xe8ten\xed vstupn\xedho souboru!",
    "Chyba p\xf8i z\xe1pisu do v\xfdstupn\xedho souboru.",
};

const Wording kFileDecrypt = {
    kAcquire,
    "Chyba p\xf8i CryptCreateHash!",
    "Chyba p\xf8i vol\xe1n\xed CryptHashData!",
    "Chyba p\xf8i CryptDeriveKey!",
    "Nedostatek pam\xecti!",
    "Chyba b\xechem CryptDecrypt!",
    "Chyba p\xf8i otv\xedr\xe1n\xed vstupn\xedho souboru!",
    "Chyba p\xf8i otv\xedr\xe1n\xed v\xfdstupn\xedho souboru!",
    "Vstupn\xed a v\xfdstupn\xed soubor jsou toto\x9en\xe9!",
    "Chyba p\xf8i \xe8ten\xed vstupn\xedho souboru!",
    "Chyba z\xe1pisu do v\xfdstupn\xedho souboru!",
};

// The offset bytes are kept scrambled, each with its own mask, so they do
// not stand in the binary as they are; read through volatile so the
// compiler keeps them that way.
volatile const uint8_t kScrambledOffset[7] = {0x17, 0x2e, 0x8c, 0x55, 0x29, 0xe4, 0x71};
constexpr uint8_t kMaskStart = 0x5a;
constexpr uint8_t kMaskStep = 0x3b;

} // namespace

void Provider::reset()
{
    if (handle_)
        CryptReleaseContext(handle_, 0);
    handle_ = 0;
}

void Hash::reset()
{
    if (handle_)
        CryptDestroyHash(handle_);
    handle_ = 0;
}

void Key::reset()
{
    if (handle_)
        CryptDestroyKey(handle_);
    handle_ = 0;
}

const Wording& TextWording(Direction direction)
{
    return direction == Direction::Encrypt ? kTextEncrypt : kTextDecrypt;
}

const Wording& FileWording(Direction direction)
{
    return direction == Direction::Encrypt ? kFileEncrypt : kFileDecrypt;
}

bool AcquireProvider(Provider& provider)
{
    static const DWORD attempts[] = {0, CRYPT_MACHINE_KEYSET, CRYPT_NEWKEYSET,
                                     CRYPT_NEWKEYSET | CRYPT_MACHINE_KEYSET};
    for (DWORD flags : attempts) {
        if (CryptAcquireContextA(provider.out(), kContainer, kProviderName, PROV_RSA_FULL, flags))
            return true;
    }
    return false;
}

DeriveStep DerivePasswordKey(HCRYPTPROV provider, const BYTE* password, DWORD length, Hash& hash,
                             Key& key, DWORD& code)
{
    DeriveStep failed = DeriveStep::Done;
    if (!CryptCreateHash(provider, CALG_MD5, 0, 0, hash.out()))
        failed = DeriveStep::CreateHash;
    else if (!CryptHashData(hash.get(), password, length, 0))
        failed = DeriveStep::HashData;
    else if (!CryptDeriveKey(provider, CALG_RC4, hash.get(), CRYPT_EXPORTABLE, key.out()))
        failed = DeriveStep::DeriveKey;
    if (failed != DeriveStep::Done) {
        code = GetLastError();
        return failed;
    }
    hash.reset();
    return DeriveStep::Done;
}

const char* DeriveMessage(const Wording& wording, DeriveStep step)
{
    switch (step) {
    case DeriveStep::CreateHash:
        return wording.createHash;
    case DeriveStep::HashData:
        return wording.hashData;
    case DeriveStep::DeriveKey:
        return wording.deriveKey;
    default:
        return "";
    }
}

bool PreparePasswordKey(KeyMaterial& material, const BYTE* password, DWORD length,
                        const Wording& wording)
{
    if (!AcquireProvider(material.provider)) {
        ReportError(wording.acquire, GetLastError());
        return false;
    }
    DWORD code = 0;
    DeriveStep step = DerivePasswordKey(material.provider.get(), password, length, material.hash,
                                        material.key, code);
    if (step != DeriveStep::Done) {
        ReportError(DeriveMessage(wording, step), code);
        return false;
    }
    return true;
}

bool CipherChunk(HCRYPTKEY key, Direction direction, bool final, BYTE* buffer, DWORD& n,
                 DWORD bufferSize, DWORD& code)
{
    BOOL ok = direction == Direction::Encrypt
                  ? CryptEncrypt(key, 0, final, 0, buffer, &n, bufferSize)
                  : CryptDecrypt(key, 0, final, 0, buffer, &n);
    if (!ok)
        code = GetLastError();
    return ok != FALSE;
}

void RestartKeyStream(HCRYPTKEY key)
{
    BYTE none[1] = {};
    DWORD n = 0;
    CryptEncrypt(key, 0, TRUE, 0, none, &n, sizeof none);
}

void ReportError(const char* message, DWORD code)
{
    char text[512];
    std::snprintf(text, sizeof text, "%s\n\xc8\xedslo chyby %lx.\n", message,
                  static_cast<unsigned long>(code));
    PutText(text);
}

const PasswordOffset& LibraryPasswordOffset()
{
    static const struct Unscrambled {
        Unscrambled()
        {
            uint8_t mask = kMaskStart;
            for (size_t i = 0; i < sizeof bytes; ++i, mask += kMaskStep)
                bytes[i] = static_cast<int8_t>(kScrambledOffset[i] ^ mask);
        }
        PasswordOffset bytes;
    } offset;
    return offset.bytes;
}

WorkBuffer AllocateWorkBuffer(size_t size)
{
    return WorkBuffer(new (std::nothrow) BYTE[size]);
}

void RequirePassword(const abi::ParamBlock* pb, int n)
{
    if (Param(pb, n).length < kMinPasswordLength)
        RaiseHostError(kErrPasswordTooShort);
}

} // namespace marvo::crypt
