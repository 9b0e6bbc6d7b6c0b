// MD5 and RC4 written from RFC 1321 and the published RC4 algorithm.
#include "model.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace model {
namespace {

uint32_t rotl(uint32_t x, int c)
{
    return (x << c) | (x >> (32 - c));
}

void md5Block(uint32_t h[4], const uint8_t* p)
{
    static const int shift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    static uint32_t k[64];
    static bool ready = false;
    if (!ready) {
        for (int i = 0; i < 64; ++i)
            k[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
        ready = true;
    }
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = p[4 * i] | p[4 * i + 1] << 8 | p[4 * i + 2] << 16 | uint32_t(p[4 * i + 3]) << 24;
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        uint32_t t = d;
        d = c;
        c = b;
        b = b + rotl(a + f + k[i] + m[g], shift[i]);
        a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
}

} // namespace

std::array<uint8_t, 16> Md5(const std::string& data)
{
    uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::string padded = data;
    padded += '\x80';
    while (padded.size() % 64 != 56)
        padded += '\0';
    uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    for (int i = 0; i < 8; ++i)
        padded += static_cast<char>(bits >> (8 * i));
    for (size_t off = 0; off < padded.size(); off += 64)
        md5Block(h, reinterpret_cast<const uint8_t*>(padded.data()) + off);
    std::array<uint8_t, 16> out;
    for (int i = 0; i < 16; ++i)
        out[i] = static_cast<uint8_t>(h[i / 4] >> (8 * (i % 4)));
    return out;
}

std::string Rc4(const std::string& key, const std::string& data)
{
    uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + static_cast<uint8_t>(key[i % key.size()])) & 255;
        std::swap(s[i], s[j]);
    }
    std::string out(data);
    int i = 0, j = 0;
    for (char& c : out) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        c = static_cast<char>(c ^ s[(s[i] + s[j]) & 255]);
    }
    return out;
}

std::string DerivedKey(const std::string& password)
{
    std::array<uint8_t, 16> hash = Md5(password);
    return std::string(reinterpret_cast<const char*>(hash.data()), 5) + std::string(11, '\0');
}

std::string Cipher(const std::string& password, const std::string& data)
{
    return Rc4(DerivedKey(password), data);
}

std::string Offset(const std::string& password, int sum)
{
    std::string out(password);
    for (char& c : out)
        c = static_cast<char>((static_cast<int8_t>(c) + sum) % 255);
    return out;
}

} // namespace model
