// The CRCs as the tests know them independently of the library: polynomial
// division one bit at a time, reflected, with no tables at all.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

inline uint32_t BitwiseCrc(uint32_t reg, const std::string& data, uint32_t poly)
{
    for (unsigned char c : data) {
        reg ^= c;
        for (int i = 0; i < 8; ++i)
            reg = (reg >> 1) ^ ((reg & 1) ? poly : 0);
    }
    return reg;
}

// CRC-16/ARC: x^16 + x^15 + x^2 + 1 reflected, no final complement.
inline uint32_t ModelCrc16(const std::string& s)
{
    return BitwiseCrc(0, s, 0xA001);
}

// CRC-32/ISO-HDLC (zlib's): the IEEE 802.3 polynomial reflected, complemented.
inline uint32_t ModelCrc32(const std::string& s)
{
    return ~BitwiseCrc(0xFFFFFFFF, s, 0xEDB88320);
}

} // namespace testing_support
