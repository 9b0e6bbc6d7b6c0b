// An independent model of the cipher the library gets from the CryptoAPI:
// MD5 (RFC 1321), RC4, and the way the Base Cryptographic Provider makes an
// RC4 key of an MD5 hash. Written from the published algorithms, for known
// answers that do not come from the library.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace model {

std::array<uint8_t, 16> Md5(const std::string& data);

// RC4 over data with the given key bytes.
std::string Rc4(const std::string& key, const std::string& data);

// What the provider does with CryptDeriveKey(CALG_RC4, md5, CRYPT_EXPORTABLE)
// and no key length: its default RC4 key is 40 bits, the first 5 bytes of
// the hash, and it adds 11 zero bytes of salt (88 bits), so the RC4 key
// schedule runs over 16 bytes: hash[0..4] followed by 11 zeros. Found by
// comparing with the provider: neither the bare 5 bytes nor the whole hash
// give its key stream.
std::string DerivedKey(const std::string& password);

// The ciphertext of data under the key of password: the whole message is
// one stream, however the library chunks it.
std::string Cipher(const std::string& password, const std::string& data);

// The library's password offset for a given sum of its offset bytes: each
// byte, taken as signed, becomes (b + sum) % 255 with the dividend's sign.
std::string Offset(const std::string& password, int sum);

} // namespace model
