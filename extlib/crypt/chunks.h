// How data passes through the cipher: chunk by chunk through one work
// buffer, the last chunk marked final. Kept apart from the CryptoAPI so the
// order of the calls can be seen in a test: `cipher` is any callable
// bool(uint8_t* buffer, unsigned long& n, bool final) that works on the first
// n bytes of the buffer and sets n to the bytes it hands back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace marvo::crypt {

// Ciphers `length` bytes of `text` in place. An empty text makes no call.
// False as soon as a call fails; the chunks before it stay ciphered.
template <typename Cipher>
bool CipherChunks(uint8_t* text, size_t length, uint8_t* buffer, size_t chunk, Cipher&& cipher)
{
    for (size_t offset = 0; offset < length; offset += chunk) {
        size_t size = length - offset < chunk ? length - offset : chunk;
        std::memcpy(buffer, text + offset, size);
        unsigned long n = static_cast<unsigned long>(size);
        if (!cipher(buffer, n, offset + size == length))
            return false;
        std::memcpy(text + offset, buffer, n < size ? n : size);
    }
    return true;
}

enum class StreamStep { Done, Read, Cipher, Write };

// Streams `in` through the cipher into `out`, one chunk per read. The chunk
// whose read reaches the end of the input is final (an input that ends on a
// chunk boundary gives a last, empty, final chunk). Gives the step that
// failed, or Done once the final chunk is written and the output flushed.
template <typename Cipher>
StreamStep CipherStream(std::FILE* in, std::FILE* out, uint8_t* buffer, size_t chunk,
                        Cipher&& cipher)
{
    for (;;) {
        size_t size = std::fread(buffer, 1, chunk, in);
        // A short read is the end of the input or an error; one that is
        // neither would only repeat, and the loop would never end.
        if (std::ferror(in) || (size < chunk && !std::feof(in)))
            return StreamStep::Read;
        bool final = std::feof(in) != 0;
        unsigned long n = static_cast<unsigned long>(size);
        if (!cipher(buffer, n, final))
            return StreamStep::Cipher;
        if (n)
            std::fwrite(buffer, 1, n, out);
        if (std::ferror(out))
            return StreamStep::Write;
        if (final)
            return std::fflush(out) == 0 ? StreamStep::Done : StreamStep::Write;
    }
}

} // namespace marvo::crypt
