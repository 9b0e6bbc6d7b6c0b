// The recipe every encryption function shares: the CryptoAPI provider of the
// "Marvo" key container, an MD5 hash of the password, an RC4 key derived from
// it, the cipher call on one chunk, the library's password offset, the
// failure reporter, and the message texts of each function group.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <windows.h>
#include <wincrypt.h>

#include "host/params.h"

namespace marvo::crypt {

enum class Direction { Encrypt, Decrypt };

constexpr DWORD kChunkLength = 1000;
constexpr DWORD kWorkBufferSize = 1008;
constexpr uint32_t kMinPasswordLength = 5;

// A provider context, released at scope end.
class Provider {
  public:
    Provider() = default;
    ~Provider() { reset(); }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;

    HCRYPTPROV get() const { return handle_; }
    HCRYPTPROV* out() { return reset(), &handle_; }
    void reset();

  private:
    HCRYPTPROV handle_ = 0;
};

// A hash object, destroyed at scope end.
class Hash {
  public:
    Hash() = default;
    ~Hash() { reset(); }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;

    HCRYPTHASH get() const { return handle_; }
    HCRYPTHASH* out() { return reset(), &handle_; }
    void reset();

  private:
    HCRYPTHASH handle_ = 0;
};

// A key, destroyed at scope end.
class Key {
  public:
    Key() = default;
    ~Key() { reset(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    HCRYPTKEY get() const { return handle_; }
    HCRYPTKEY* out() { return reset(), &handle_; }
    void reset();

  private:
    HCRYPTKEY handle_ = 0;
};

// Everything a password key needs. Members go in reverse order: the key,
// then the hash, then the provider context.
struct KeyMaterial {
    Provider provider;
    Hash hash;
    Key key;
};

// The messages of one function group and direction; the string, memo and
// session functions leave the file texts empty.
struct Wording {
    const char* acquire;
    const char* createHash;
    const char* hashData;
    const char* deriveKey;
    const char* memory;
    const char* cipher;
    const char* openInput;
    const char* openOutput;
    const char* sameFile;
    const char* read;
    const char* write;
};

const Wording& TextWording(Direction direction);
const Wording& FileWording(Direction direction);

// The provider of the "Marvo" container: the user's, the machine's, then
// each created anew. False when all four attempts fail (GetLastError tells).
bool AcquireProvider(Provider& provider);

enum class DeriveStep { Done, CreateHash, HashData, DeriveKey };

// MD5 of the password bytes, RC4 key from the hash (the provider's default
// key length, exportable); the hash is destroyed once the key exists. On
// failure, the step that failed and its Windows code.
DeriveStep DerivePasswordKey(HCRYPTPROV provider, const BYTE* password, DWORD length, Hash& hash,
                             Key& key, DWORD& code);

// The text of a failed derivation step in the given wording.
const char* DeriveMessage(const Wording& wording, DeriveStep step);

// Acquires a provider and derives the key of the password, reporting a
// failed step in the given wording.
bool PreparePasswordKey(KeyMaterial& material, const BYTE* password, DWORD length,
                        const Wording& wording);

// One cipher call on the first n bytes of the buffer; n becomes the number
// of bytes handed back. On failure, GetLastError's value in code.
bool CipherChunk(HCRYPTKEY key, Direction direction, bool final, BYTE* buffer, DWORD& n,
                 DWORD bufferSize, DWORD& code);

// After a run that stopped before its final chunk, starts the key's stream
// afresh, so the next message does not begin in the middle of it.
void RestartKeyStream(HCRYPTKEY key);

// Shows "message\nČíslo chyby <code in hex>.\n" through the host.
void ReportError(const char* message, DWORD code);

// The library's password offset, the same in both builds.
const PasswordOffset& LibraryPasswordOffset();

// A work buffer that may fail to be had: get() is then null.
using WorkBuffer = std::unique_ptr<BYTE[]>;
WorkBuffer AllocateWorkBuffer(size_t size);

// Raises host error 107 when parameter n is shorter than a password may be.
void RequirePassword(const abi::ParamBlock* pb, int n);

} // namespace marvo::crypt
