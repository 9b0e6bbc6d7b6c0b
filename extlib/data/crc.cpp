// Table-driven CRC updates, eight bytes per step ("slicing by eight").
//
// For a reflected CRC the register r is the remainder of the message times
// x^w modulo the polynomial, kept with its bits reversed. One byte b moves it
// to (r >> 8) ^ T0[(r ^ b) & 0xFF], where T0[i] is the remainder of the byte
// i shifted through eight steps of the polynomial division.
//
// Eight bytes at once: the remainder of a byte followed by k zero bytes is
// Tk[i] = (T(k-1)[i] >> 8) ^ T0[T(k-1)[i] & 0xFF], and by linearity of the
// division the eight bytes' contributions are xor-ed together. The register
// is folded into the first four (or two, for CRC-16) bytes of the block.
//
// Long buffers go through five independent registers ("braids"), so the
// processor overlaps five chains of look-ups instead of waiting on one. The
// buffer is a row of machine words, word j belonging to braid j mod 5. Each
// braid register is added to the first bytes of its next word, which lies
// 5 words on; so byte k of a word is carried through the 5 W - k - 1 bytes
// up to that point: B_k[i] = T0[i] advanced by that many zero bytes. The
// last row of words is run one word after another with all five registers
// added, which leaves the single register of the plain method.
//
// Where the processor multiplies without carries, whole 16-byte blocks go to
// the folding kernels of crc_clmul.cpp and only the last few bytes come here.
#include "crc.h"

#include <array>
#include <atomic>
#include <cstring>
#include <type_traits>

#include "crc_clmul.h"

namespace crc {
namespace {

using Table = std::array<std::array<uint32_t, 256>, 8>;

// The tables are made by the compiler: entry i of T0 is i divided eight
// times, one bit a step.
constexpr Table MakeTables(uint32_t poly)
{
    Table t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1) ? (r >> 1) ^ poly : r >> 1;
        t[0][i] = r;
    }
    for (int k = 1; k < 8; ++k)
        for (uint32_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr Table kTable16 = MakeTables(kPoly16);
constexpr Table kTable32 = MakeTables(kPoly32);

static_assert(kTable16[0][1] == 0xC0C1);
static_assert(kTable32[0][1] == 0x77073096);

uint32_t bytewise(uint32_t crc, const uint8_t* p, size_t n, const Table& t)
{
    while (n--)
        crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
    return crc;
}

inline uint32_t load32(const uint8_t* p)
{
    // Byte by byte: the same on every host, aligned or not.
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t sliced(uint32_t crc, const uint8_t* p, size_t n, const Table& t)
{
    for (; n >= 8; n -= 8, p += 8) {
        uint32_t lo = load32(p) ^ crc;
        uint32_t hi = load32(p + 4);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    return bytewise(crc, p, n, t);
}

// The machine word; x86 is little endian, so byte k of a word is bits 8k.
using Word = std::conditional_t<sizeof(void*) == 8, uint64_t, uint32_t>;
constexpr size_t kWordBytes = sizeof(Word);
constexpr size_t kBraids = 5;
constexpr size_t kRowBytes = kBraids * kWordBytes;

using BraidTable = std::array<std::array<uint32_t, 256>, kWordBytes>;

constexpr BraidTable MakeBraidTables(const Table& t)
{
    BraidTable b{};
    for (size_t k = 0; k < kWordBytes; ++k) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = t[0][i];
            for (size_t zero = 0; zero < kRowBytes - k - 1; ++zero)
                r = (r >> 8) ^ t[0][r & 0xFF];
            b[kWordBytes - 1 - k][i] = r; // ordered as the slicing tables
        }
    }
    return b;
}

constexpr BraidTable kBraid16 = MakeBraidTables(kTable16);
constexpr BraidTable kBraid32 = MakeBraidTables(kTable32);

inline Word loadWord(const uint8_t* p)
{
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The look-ups of one word, byte k through table k.
template <size_t Tables, typename T> inline uint32_t lookUp(Word x, const T& t)
{
    uint32_t r = 0;
#pragma GCC unroll 8
    for (size_t k = 0; k < kWordBytes; ++k)
        r ^= t[Tables - 1 - k][(x >> (8 * k)) & 0xFF];
    return r;
}

uint32_t braided(uint32_t crc, const uint8_t* p, size_t n, const Table& t, const BraidTable& b)
{
    size_t rows = n / kRowBytes;
    if (rows < 2)
        return sliced(crc, p, n, t);
    const size_t rest = n % kRowBytes;
    Word reg[kBraids] = {crc};
    for (; rows > 1; --rows, p += kRowBytes) {
        Word x[kBraids];
#pragma GCC unroll 8
        for (size_t j = 0; j < kBraids; ++j)
            x[j] = loadWord(p + j * kWordBytes) ^ reg[j];
#pragma GCC unroll 8
        for (size_t j = 0; j < kBraids; ++j)
            reg[j] = lookUp<kWordBytes>(x[j], b);
    }
    uint32_t r = 0;
    for (size_t j = 0; j < kBraids; ++j)
        r = lookUp<kWordBytes>(loadWord(p + j * kWordBytes) ^ reg[j] ^ r, t);
    return sliced(r, p + kRowBytes, rest, t);
}

Kernel Best()
{
    if (fold::HasClmul512())
        return Kernel::Clmul512;
    if (fold::HasClmul256())
        return Kernel::Clmul256;
    if (fold::HasClmul())
        return Kernel::Clmul;
    return Kernel::Table;
}

// Chosen once; a race at first use only makes two threads choose alike.
std::atomic<int> activeKernel{-1};

struct Kernels {
    const Table& table;
    const BraidTable& braids;
    uint32_t (*narrow)(uint32_t, const uint8_t*, size_t);
    uint32_t (*middle)(uint32_t, const uint8_t*, size_t);
    uint32_t (*wide)(uint32_t, const uint8_t*, size_t);
};

const Kernels kKernels16{kTable16, kBraid16, fold::Clmul16, fold::Clmul256x16, fold::Clmul512x16};
const Kernels kKernels32{kTable32, kBraid32, fold::Clmul32, fold::Clmul256x32, fold::Clmul512x32};

uint32_t run(uint32_t crc, const uint8_t* p, size_t n, const Kernels& k)
{
    const Kernel kernel = ActiveKernel();
    const size_t blocks = n / 16;
    if (kernel == Kernel::Clmul512 && blocks >= fold::kMinBlocks512)
        crc = k.wide(crc, p, blocks);
    else if (kernel >= Kernel::Clmul256 && blocks >= fold::kMinBlocks256)
        crc = k.middle(crc, p, blocks);
    else if (kernel != Kernel::Table && blocks >= fold::kMinBlocks)
        crc = k.narrow(crc, p, blocks);
    else
        return braided(crc, p, n, k.table, k.braids);
    return sliced(crc, p + blocks * 16, n % 16, k.table);
}

} // namespace

uint32_t Update16(uint32_t crc, const void* data, size_t size)
{
    // The 16-bit register sits in the low half, so the same folding serves.
    return run(crc & 0xFFFF, static_cast<const uint8_t*>(data), size, kKernels16);
}

uint32_t Update32(uint32_t crc, const void* data, size_t size)
{
    return run(crc, static_cast<const uint8_t*>(data), size, kKernels32);
}

bool Supported(Kernel kernel)
{
    switch (kernel) {
    case Kernel::Clmul512:
        return fold::HasClmul512();
    case Kernel::Clmul256:
        return fold::HasClmul256();
    case Kernel::Clmul:
        return fold::HasClmul();
    case Kernel::Table:
        break;
    }
    return true;
}

Kernel ActiveKernel()
{
    int k = activeKernel.load(std::memory_order_relaxed);
    if (k < 0) {
        k = static_cast<int>(Best());
        activeKernel.store(k, std::memory_order_relaxed);
    }
    return static_cast<Kernel>(k);
}

bool UseKernel(Kernel kernel)
{
    if (!Supported(kernel))
        return false;
    activeKernel.store(static_cast<int>(kernel), std::memory_order_relaxed);
    return true;
}

Kernel ChooseFastestKernel()
{
    const Kernel kernel = Best();
    activeKernel.store(static_cast<int>(kernel), std::memory_order_relaxed);
    return kernel;
}

uint32_t UpdateBytewise(uint32_t crc, const void* data, size_t size, uint32_t poly)
{
    const Table& t = poly == kPoly16 ? kTable16 : kTable32;
    return bytewise(crc, static_cast<const uint8_t*>(data), size, t);
}

} // namespace crc
