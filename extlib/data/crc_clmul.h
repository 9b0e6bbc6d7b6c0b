// Folding kernels of the CRCs with carry-less multiplication (crc_clmul.cpp),
// and the processor tests that decide whether they may run. Used by crc.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crc::fold {

// PCLMULQDQ and SSE4.1, and a system that saves the SSE registers.
bool HasClmul();
// VPCLMULQDQ with AVX2, and a system that keeps the YMM registers.
bool HasClmul256();
// VPCLMULQDQ with AVX-512 (F, VL), and a system that keeps the ZMM registers.
bool HasClmul512();

// Each kernel runs the reflected register crc over blocks whole 16-byte
// blocks from p and returns the register after them, given at least
// kMinBlocks, kMinBlocks256 or kMinBlocks512 blocks.
constexpr size_t kMinBlocks = 4;
constexpr size_t kMinBlocks256 = 8;
constexpr size_t kMinBlocks512 = 16;

uint32_t Clmul16(uint32_t crc, const uint8_t* p, size_t blocks);
uint32_t Clmul32(uint32_t crc, const uint8_t* p, size_t blocks);
uint32_t Clmul256x16(uint32_t crc, const uint8_t* p, size_t blocks);
uint32_t Clmul256x32(uint32_t crc, const uint8_t* p, size_t blocks);
uint32_t Clmul512x16(uint32_t crc, const uint8_t* p, size_t blocks);
uint32_t Clmul512x32(uint32_t crc, const uint8_t* p, size_t blocks);

} // namespace crc::fold
