// CRC-16/ARC and CRC-32 (ISO-HDLC, as zlib computes it) over byte buffers.
// No Windows header: the same source builds natively for the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crc {

// Reflected polynomials: x^16 + x^15 + x^2 + 1 and the IEEE 802.3 polynomial,
// bit-reversed so that the lowest bit is the highest power.
constexpr uint32_t kPoly16 = 0xA001;
constexpr uint32_t kPoly32 = 0xEDB88320;

constexpr uint32_t kInit16 = 0;
constexpr uint32_t kInit32 = 0xFFFFFFFF;

// Running updates: feed the value of the previous call (or the init value).
// A CRC-32 is complemented once at the end (Finish32).
uint32_t Update16(uint32_t crc, const void* data, size_t size);
uint32_t Update32(uint32_t crc, const void* data, size_t size);
inline uint32_t Finish32(uint32_t crc)
{
    return ~crc;
}

inline uint16_t Crc16(const void* data, size_t size)
{
    return static_cast<uint16_t>(Update16(kInit16, data, size));
}
inline uint32_t Crc32(const void* data, size_t size)
{
    return Finish32(Update32(kInit32, data, size));
}

// The one-table-look-up-per-byte steps, the reference the faster paths are
// measured and tested against.
uint32_t UpdateBytewise(uint32_t crc, const void* data, size_t size, uint32_t poly);

// The methods behind Update16 and Update32, all with the same results:
// table look-ups, folding with carry-less multiplication of 128-bit blocks
// (PCLMULQDQ, SSE4.1), and the same folding two or four blocks wide
// (VPCLMULQDQ on AVX2 or AVX-512 registers). The fastest one the processor and
// the system offer is taken at first use; tests and benchmarks may choose
// another.
enum class Kernel { Table, Clmul, Clmul256, Clmul512 };
bool Supported(Kernel kernel);
Kernel ActiveKernel();
// Switches every later update to kernel; false, and no change, when the
// processor or the system lacks it.
bool UseKernel(Kernel kernel);
// Switches every later update back to the fastest kernel, asking the
// processor and the system again, and answers which one that is.
Kernel ChooseFastestKernel();

} // namespace crc
