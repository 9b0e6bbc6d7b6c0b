// Folding kernels of the CRCs with carry-less multiplication (crc_clmul.cpp),
// and the processor tests that decide whether they may run. Used by crc.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crc::fold {

// PCLMULQDQ and SSE4.1.
bool HasClmul();
// VPCLMULQDQ with AVX-512 (F, VL), and a system that keeps the ZMM registers.
bool HasClmul512();

// Each kernel runs the reflected register crc over blocks whole 16-byte
// blocks from p and returns the register after them. The narrow kernels need
// at least kMinBlocks blocks, the wide ones kMinBlocks512.
constexpr size_t kMinBlocks = 4;
constexpr size_t kMinBlocks512 = 16;

uint32_t Clmul16(uint32_t crc, const uint8_t* p, size_t blocks);
uint32_t Clmul32(uint32_t crc, const uint8_t* p, size_t blocks);
uint32_t Clmul512x16(uint32_t crc, const uint8_t* p, size_t blocks);
uint32_t Clmul512x32(uint32_t crc, const uint8_t* p, size_t blocks);

} // namespace crc::fold
