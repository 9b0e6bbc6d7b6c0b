// CRC-16/ARC and CRC-32 by folding 128-bit blocks with carry-less
// multiplication: PCLMULQDQ on SSE registers, and VPCLMULQDQ on AVX2 and
// AVX-512 registers, two and four blocks at a time. Each function carries
// its own target attributes, so the rest of the library runs on any i686;
// crc.cpp calls these only when the processor tests below allow it, and they
// ask the system too (crc_ssestate.cpp): Windows 95 does not save the SSE
// registers, and there every SSE instruction faults.
//
// The mathematics. Bits are polynomials over GF(2); the message M, first bit
// highest, has the CRC R = M x^w mod P (P of degree w = 16 or 32, the initial
// register already added to the first w message bits). The CRCs are
// reflected: byte 0's lowest bit comes first. A 16-byte block loaded little
// endian therefore holds the block's polynomial B with bit i the coefficient
// of x^(127-i) -- the "reflected" form, refl_n(A): bit i = coefficient of
// x^(n-1-i). Carry-less multiplication of reflected operands gives
// clmul(refl_64(A), refl_64(C)) = refl_128(A C x): the product comes out one
// place too high, which the constants absorb.
//
// Folding. Split a block B = H x^64 + L (H its first 64 bits, the low
// quadword of the register; L the high quadword). Followed by D more bits of
// message it contributes B x^D = H x^(D+64) + L x^D, and modulo P that is
//   H (x^(D+63) mod P) x + L (x^(D-1) mod P) x,
// a polynomial below x^128 that is simply added to the block D bits further
// on. The constant pair for a distance D is thus refl_64(x^(D+63) mod P) and
// refl_64(x^(D-1) mod P). Four registers walk the data 64 bytes apart
// (D = 512); the AVX2 kernel keeps four 256-bit registers 128 bytes apart
// (D = 1024), the AVX-512 kernel four 512-bit registers 256 bytes apart
// (D = 2048). At the end the registers are folded into one by 128, 256 or
// 384 bits.
//
// Reduction of the last block B to R = B x^w mod P:
//  1. Twice: fold the low quadword 64 bits on, onto the high one (D = 64:
//     refl_64(x^63 mod P)). The first pass leaves a polynomial below x^(64+w),
//     the second one below x^64: B2 = B mod P up to a multiple of P.
//  2. Barrett: with mu = floor(x^(64+w) / P) = x^64 + mu', the quotient of
//     B2 x^w (degree below 64 + w) by P is, exactly for polynomials,
//       q = floor(B2 mu / x^64) = B2 + floor(B2 mu' / x^64).
//     Then R = (B2 x^w + q P) mod x^w = ((q mod x^w)(P - x^w)) mod x^w, and
//     refl_w(P - x^w) is the familiar reflected polynomial (0xEDB88320, 0xA001).
// All constants are computed by the compiler from the polynomial below.
#include "crc_clmul.h"

#include <cpuid.h>
// GCC 12's AVX-512 intrinsics start from deliberately undefined registers,
// which its own uninitialized-use check then reports inside the header.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include "crc.h"
#include "crc_ssestate.h"

namespace crc::fold {
namespace {

// Polynomials of degree below 64 as integers, bit d the coefficient of x^d.
constexpr uint64_t Reverse(uint64_t v, unsigned bits)
{
    uint64_t r = 0;
    for (unsigned i = 0; i < bits; ++i, v >>= 1)
        r = r << 1 | (v & 1);
    return r;
}

// x^n mod P, P = x^w + low (low of degree below w).
constexpr uint64_t XPowMod(unsigned n, uint64_t low, unsigned w)
{
    uint64_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r >> w & 1)
            r ^= uint64_t(1) << w | low;
    }
    return r;
}

// floor(x^n / P) mod x^64.
constexpr uint64_t QuotientMod64(unsigned n, uint64_t low, unsigned w)
{
    // Long division: x^(k+1) = x q_k P + x r_k; when x r_k reaches degree w
    // one more P goes in, r_(k+1) = x r_k - P, q_(k+1) = x q_k + 1.
    uint64_t q = 0;
    uint64_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        q <<= 1;
        if (r >> w & 1) {
            r ^= uint64_t(1) << w | low;
            q |= 1;
        }
    }
    return q;
}

struct Pair {
    uint64_t first; // multiplies the block's first 64 bits (low quadword)
    uint64_t last;  // multiplies its last 64 bits (high quadword)
};

struct Constants {
    Pair fold2048, fold1024, fold512, fold384, fold256, fold128;
    uint64_t fold64; // refl_64(x^63 mod P)
    uint64_t mu;     // refl_64(mu'), mu' = floor(x^(64+w) / P) - x^64
    uint64_t poly;   // refl_w(P - x^w)
};

template <unsigned W> constexpr Constants MakeConstants(uint32_t reflectedPoly)
{
    const uint64_t low = Reverse(reflectedPoly, W);
    auto refl = [low](unsigned n) { return Reverse(XPowMod(n, low, W), 64); };
    auto pair = [refl](unsigned d) { return Pair{refl(d + 63), refl(d - 1)}; };
    Constants c{};
    c.fold2048 = pair(2048);
    c.fold1024 = pair(1024);
    c.fold512 = pair(512);
    c.fold384 = pair(384);
    c.fold256 = pair(256);
    c.fold128 = pair(128);
    c.fold64 = refl(63);
    c.mu = Reverse(QuotientMod64(64 + W, low, W), 64);
    c.poly = reflectedPoly;
    return c;
}

constexpr Constants k16 = MakeConstants<16>(kPoly16);
constexpr Constants k32 = MakeConstants<32>(kPoly32);

// The first table entries, worked out independently from the polynomial:
// entry i of the byte table is refl_w(i' x^w mod P), i' the byte as a
// polynomial (entry 1: x^7; entry 0x80: x^0).
static_assert(Reverse(XPowMod(39, Reverse(kPoly32, 32), 32), 32) == 0x77073096);
static_assert(Reverse(XPowMod(32, Reverse(kPoly32, 32), 32), 32) == kPoly32);
static_assert(Reverse(XPowMod(23, Reverse(kPoly16, 16), 16), 16) == 0xC0C1);
// floor(x^64 / P) for CRC-32 is the well-known 0x1_04D101DF (the unreflected
// Barrett constant of this polynomial); a smaller case of the same division.
static_assert(QuotientMod64(64, Reverse(kPoly32, 32), 32) == 0x104D101DF);

template <unsigned W> constexpr const Constants& ConstantsOf()
{
    if constexpr (W == 16)
        return k16;
    else
        return k32;
}

#define CRC_SSE __attribute__((target("pclmul,sse4.1")))
#define CRC_AVX2 __attribute__((target("pclmul,sse4.1,avx2,vpclmulqdq")))
#define CRC_AVX512 __attribute__((target("pclmul,sse4.1,avx2,avx512f,avx512vl,vpclmulqdq")))

// Memory is read this far ahead of the folding: the processor's own
// prefetching alone leaves the narrow kernel at a third of the memory's speed.
constexpr size_t kPrefetch = 4096;

// A prefetch never faults, so it may look past the end of the data (the
// address is formed as an integer, not as a pointer beyond the buffer).
CRC_SSE inline void Prefetch(const uint8_t* p)
{
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(p) + kPrefetch),
                 _MM_HINT_T0);
}

CRC_SSE inline __m128i Load(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

CRC_SSE inline __m128i LoadPair(const Pair& k)
{
    return _mm_set_epi64x(static_cast<long long>(k.last), static_cast<long long>(k.first));
}

// x folded onto next by the distance of k.
CRC_SSE inline __m128i Fold(__m128i x, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

template <unsigned W> CRC_SSE uint32_t Reduce(__m128i x)
{
    const Constants& k = ConstantsOf<W>();
    const __m128i zero = _mm_setzero_si128();
    const __m128i k64 = _mm_set_epi64x(0, static_cast<long long>(k.fold64));
    for (int pass = 0; pass < 2; ++pass)
        x = _mm_xor_si128(_mm_clmulepi64_si128(x, k64, 0x00), _mm_unpackhi_epi64(zero, x));
    // x: low quadword 0, high quadword refl_64(B2).
    const __m128i mu = _mm_set_epi64x(0, static_cast<long long>(k.mu));
    __m128i q = _mm_slli_epi64(_mm_clmulepi64_si128(x, mu, 0x01), 1);
    q = _mm_xor_si128(q, _mm_srli_si128(x, 8));
    q = _mm_srli_epi64(q, 64 - W);
    const __m128i poly = _mm_cvtsi32_si128(static_cast<int>(k.poly));
    const __m128i r = _mm_srli_epi64(_mm_clmulepi64_si128(q, poly, 0x00), W - 1);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(r)) & uint32_t((uint64_t(1) << W) - 1);
}

// Windows keeps a 32-bit thread's stack aligned to 4 bytes only: the entries
// realign it, so the compiler's spilled vector registers are safe.
template <unsigned W>
CRC_SSE __attribute__((force_align_arg_pointer)) uint32_t Narrow(uint32_t crc, const uint8_t* p,
                                                                 size_t blocks)
{
    const Constants& k = ConstantsOf<W>();
    __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = Load(p + 16);
    __m128i x2 = Load(p + 32);
    __m128i x3 = Load(p + 48);
    p += 64;
    blocks -= 4;
    const __m128i k512 = LoadPair(k.fold512);
    for (; blocks >= 4; blocks -= 4, p += 64) {
        Prefetch(p);
        x0 = Fold(x0, k512, Load(p));
        x1 = Fold(x1, k512, Load(p + 16));
        x2 = Fold(x2, k512, Load(p + 32));
        x3 = Fold(x3, k512, Load(p + 48));
    }
    const __m128i k128 = LoadPair(k.fold128);
    x1 = Fold(x0, k128, x1);
    x2 = Fold(x1, k128, x2);
    x3 = Fold(x2, k128, x3);
    for (; blocks > 0; --blocks, p += 16)
        x3 = Fold(x3, k128, Load(p));
    return Reduce<W>(x3);
}

CRC_AVX2 inline __m256i Load256(const uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

CRC_AVX2 inline __m256i Fold256(__m256i x, __m256i k, __m256i next)
{
    return _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(x, k, 0x00),
                                             _mm256_clmulepi64_epi128(x, k, 0x11)),
                            next);
}

// Four 256-bit registers 128 bytes apart, for processors with VPCLMULQDQ
// but without AVX-512.
template <unsigned W>
CRC_AVX2 __attribute__((force_align_arg_pointer)) uint32_t Middle(uint32_t crc, const uint8_t* p,
                                                                  size_t blocks)
{
    const Constants& k = ConstantsOf<W>();
    const __m128i first = _mm_cvtsi32_si128(static_cast<int>(crc));
    __m256i y0 = _mm256_xor_si256(Load256(p), _mm256_zextsi128_si256(first));
    __m256i y1 = Load256(p + 32);
    __m256i y2 = Load256(p + 64);
    __m256i y3 = Load256(p + 96);
    p += 128;
    blocks -= 8;
    const __m256i k1024 = _mm256_broadcastsi128_si256(LoadPair(k.fold1024));
    for (; blocks >= 8; blocks -= 8, p += 128) {
        Prefetch(p);
        Prefetch(p + 64);
        y0 = Fold256(y0, k1024, Load256(p));
        y1 = Fold256(y1, k1024, Load256(p + 32));
        y2 = Fold256(y2, k1024, Load256(p + 64));
        y3 = Fold256(y3, k1024, Load256(p + 96));
    }
    const __m256i k256 = _mm256_broadcastsi128_si256(LoadPair(k.fold256));
    y1 = Fold256(y0, k256, y1);
    y2 = Fold256(y1, k256, y2);
    y3 = Fold256(y2, k256, y3);
    for (; blocks >= 2; blocks -= 2, p += 32)
        y3 = Fold256(y3, k256, Load256(p));
    const __m128i k128 = LoadPair(k.fold128);
    __m128i x = Fold(_mm256_castsi256_si128(y3), k128, _mm256_extracti128_si256(y3, 1));
    for (; blocks > 0; --blocks, p += 16)
        x = Fold(x, k128, Load(p));
    return Reduce<W>(x);
}

CRC_AVX512 inline __m512i Load512(const uint8_t* p)
{
    return _mm512_loadu_si512(p);
}

CRC_AVX512 inline __m512i Fold512(__m512i x, __m512i k, __m512i next)
{
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00),
                                     _mm512_clmulepi64_epi128(x, k, 0x11), next, 0x96);
}

template <unsigned W>
CRC_AVX512 __attribute__((force_align_arg_pointer)) uint32_t Wide(uint32_t crc, const uint8_t* p,
                                                                  size_t blocks)
{
    const Constants& k = ConstantsOf<W>();
    const __m128i first = _mm_cvtsi32_si128(static_cast<int>(crc));
    __m512i z0 = _mm512_xor_si512(Load512(p), _mm512_zextsi128_si512(first));
    __m512i z1 = Load512(p + 64);
    __m512i z2 = Load512(p + 128);
    __m512i z3 = Load512(p + 192);
    p += 256;
    blocks -= 16;
    const __m512i k2048 = _mm512_broadcast_i32x4(LoadPair(k.fold2048));
    for (; blocks >= 16; blocks -= 16, p += 256) {
        for (size_t line = 0; line < 256; line += 64)
            Prefetch(p + line);
        z0 = Fold512(z0, k2048, Load512(p));
        z1 = Fold512(z1, k2048, Load512(p + 64));
        z2 = Fold512(z2, k2048, Load512(p + 128));
        z3 = Fold512(z3, k2048, Load512(p + 192));
    }
    const __m512i k512 = _mm512_broadcast_i32x4(LoadPair(k.fold512));
    z1 = Fold512(z0, k512, z1);
    z2 = Fold512(z1, k512, z2);
    z3 = Fold512(z2, k512, z3);
    for (; blocks >= 4; blocks -= 4, p += 64)
        z3 = Fold512(z3, k512, Load512(p));

    // The four blocks of z3 into its last one: 384, 256 and 128 bits on.
    const __m512i lanes = _mm512_inserti32x4(
        _mm512_castsi256_si512(_mm256_set_m128i(LoadPair(k.fold256), LoadPair(k.fold384))),
        LoadPair(k.fold128), 2);
    const __m512i t = _mm512_maskz_xor_epi64(0x3F, _mm512_clmulepi64_epi128(z3, lanes, 0x00),
                                             _mm512_clmulepi64_epi128(z3, lanes, 0x11));
    const __m256i h = _mm256_xor_si256(_mm512_castsi512_si256(t), _mm512_extracti64x4_epi64(t, 1));
    __m128i x =
        _mm_xor_si128(_mm_xor_si128(_mm256_castsi256_si128(h), _mm256_extracti128_si256(h, 1)),
                      _mm512_extracti32x4_epi32(z3, 3));
    const __m128i k128 = LoadPair(k.fold128);
    for (; blocks > 0; --blocks, p += 16)
        x = Fold(x, k128, Load(p));
    return Reduce<W>(x);
}

bool Cpuid(unsigned leaf, unsigned sub, unsigned (&r)[4])
{
    return __get_cpuid_count(leaf, sub, &r[0], &r[1], &r[2], &r[3]) != 0;
}

} // namespace

bool HasClmul()
{
    unsigned r[4];
    return Cpuid(1, 0, r) && (r[2] & bit_PCLMUL) && (r[2] & bit_SSE4_1) && sse::SystemSaves();
}

// The system must save the register state of the given XCR0 bits (1 SSE,
// 2 AVX, 5-7 opmask and ZMM), or the registers are lost at a thread switch.
bool SystemKeeps(unsigned xcr0Bits)
{
    unsigned r[4];
    if (!Cpuid(1, 0, r) || !(r[2] & bit_OSXSAVE))
        return false;
    unsigned lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (lo & xcr0Bits) == xcr0Bits;
}

bool HasClmul256()
{
    unsigned r[4];
    return HasClmul() && SystemKeeps(0x06) && Cpuid(7, 0, r) && (r[1] & bit_AVX2) &&
           (r[2] & bit_VPCLMULQDQ);
}

bool HasClmul512()
{
    unsigned r[4];
    return HasClmul256() && SystemKeeps(0xE6) && Cpuid(7, 0, r) && (r[1] & bit_AVX512F) &&
           (r[1] & bit_AVX512VL);
}

uint32_t Clmul16(uint32_t crc, const uint8_t* p, size_t blocks)
{
    return Narrow<16>(crc, p, blocks);
}
uint32_t Clmul32(uint32_t crc, const uint8_t* p, size_t blocks)
{
    return Narrow<32>(crc, p, blocks);
}
uint32_t Clmul256x16(uint32_t crc, const uint8_t* p, size_t blocks)
{
    return Middle<16>(crc, p, blocks);
}
uint32_t Clmul256x32(uint32_t crc, const uint8_t* p, size_t blocks)
{
    return Middle<32>(crc, p, blocks);
}
uint32_t Clmul512x16(uint32_t crc, const uint8_t* p, size_t blocks)
{
    return Wide<16>(crc, p, blocks);
}
uint32_t Clmul512x32(uint32_t crc, const uint8_t* p, size_t blocks)
{
    return Wide<32>(crc, p, blocks);
}

} // namespace crc::fold
