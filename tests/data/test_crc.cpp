// The CRC kernels against a bit-at-a-time model written here and the
// published check values of CRC-16/ARC and CRC-32/ISO-HDLC; the folding
// kernels against the table method, and the table method forced on; the
// probe for a system that saves the SSE registers, and the choice made on a
// system that does not.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "crcmodel.h"
#include "data/crc.h"
#include "data/crc_ssestate.h"

namespace {

uint32_t model16(const std::string& s)
{
    return testing_support::ModelCrc16(s);
}
uint32_t model32(const std::string& s)
{
    return testing_support::ModelCrc32(s);
}

// The data cut in two at each place and run through two updates gives the
// model's CRC of the whole.
void ExpectSplitsAgree(const std::string& data, std::initializer_list<size_t> cuts)
{
    for (size_t cut : cuts) {
        uint32_t r32 = crc::Update32(crc::kInit32, data.data(), cut);
        r32 = crc::Update32(r32, data.data() + cut, data.size() - cut);
        EXPECT_EQ(crc::Finish32(r32), model32(data)) << cut;
        uint32_t r16 = crc::Update16(crc::kInit16, data.data(), cut);
        r16 = crc::Update16(r16, data.data() + cut, data.size() - cut);
        EXPECT_EQ(r16, model16(data)) << cut;
    }
}

struct Known {
    std::string text;
    uint32_t crc16;
    uint32_t crc32;
};

// The "123456789" values are the catalogued check values of both CRCs.
const Known kKnown[] = {
    {"", 0, 0},
    {"a", 0xE8C1, 0xE8B7BE43},
    {"abc", 0x9738, 0x352441C2},
    {"123456789", 0xBB3D, 0xCBF43926},
    {"The quick brown fox jumps over the lazy dog", 0xFCDF, 0x414FA339},
};

// The fastest kernel the processor offers is taken unless one is chosen.
TEST(Crc, FastestKernelByDefault)
{
    crc::Kernel best = crc::Kernel::Table;
    for (crc::Kernel k : {crc::Kernel::Clmul, crc::Kernel::Clmul256, crc::Kernel::Clmul512}) {
        if (crc::Supported(k))
            best = k;
    }
    EXPECT_EQ(crc::ActiveKernel(), best);
    RecordProperty("kernel", static_cast<int>(best));
}

TEST(Crc, PublishedValues)
{
    for (const Known& k : kKnown) {
        EXPECT_EQ(crc::Crc16(k.text.data(), k.text.size()), k.crc16) << k.text;
        EXPECT_EQ(crc::Crc32(k.text.data(), k.text.size()), k.crc32) << k.text;
        EXPECT_EQ(model16(k.text), k.crc16) << "model: " << k.text;
        EXPECT_EQ(model32(k.text), k.crc32) << "model: " << k.text;
    }
}

TEST(Crc, EveryLengthAndAlignmentMatchesTheModel)
{
    std::mt19937 rng(7);
    std::string data(600, '\0');
    for (char& c : data)
        c = static_cast<char>(rng());
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t n = 0; n + offset <= data.size(); n += (n < 40 ? 1 : 37)) {
            std::string part = data.substr(offset, n);
            ASSERT_EQ(crc::Crc16(data.data() + offset, n), model16(part)) << offset << "+" << n;
            ASSERT_EQ(crc::Crc32(data.data() + offset, n), model32(part)) << offset << "+" << n;
        }
    }
}

TEST(Crc, ZeroBytesCountLikeAnyOther)
{
    const std::string zeros(5, '\0');
    EXPECT_EQ(crc::Crc32(zeros.data(), zeros.size()), model32(zeros));
    EXPECT_NE(crc::Crc32(zeros.data(), zeros.size()), crc::Crc32(zeros.data(), 4));
    EXPECT_EQ(crc::Crc16(zeros.data(), zeros.size()), 0u); // all-zero input leaves CRC-16/ARC at 0
}

TEST(Crc, UpdatesInPiecesEqualOneUpdate)
{
    std::string data(10000, '\0');
    std::mt19937 rng(11);
    for (char& c : data)
        c = static_cast<char>(rng());
    ExpectSplitsAgree(data, {0, 1, 7, 8, 4999, 10000});
}

TEST(Crc, BytewiseReferenceAgreesWithTheFastPath)
{
    std::vector<unsigned char> data(4096);
    std::mt19937 rng(3);
    for (auto& b : data)
        b = static_cast<unsigned char>(rng());
    EXPECT_EQ(crc::UpdateBytewise(0, data.data(), data.size(), crc::kPoly16),
              crc::Update16(0, data.data(), data.size()));
    EXPECT_EQ(crc::UpdateBytewise(~0u, data.data(), data.size(), crc::kPoly32),
              crc::Update32(~0u, data.data(), data.size()));
}

std::string KernelName(crc::Kernel k)
{
    switch (k) {
    case crc::Kernel::Table:
        return "Table";
    case crc::Kernel::Clmul:
        return "Clmul";
    case crc::Kernel::Clmul256:
        return "Clmul256";
    case crc::Kernel::Clmul512:
        return "Clmul512";
    }
    return "Unknown";
}

} // namespace

namespace crc {
void PrintTo(Kernel k, std::ostream* os)
{
    *os << KernelName(k);
}
} // namespace crc

namespace {

// Every kernel the processor offers, and the table method however fast the
// processor is. Each case puts back the kernel it found.
class CrcKernel : public ::testing::TestWithParam<crc::Kernel> {
  protected:
    void SetUp() override
    {
        if (!crc::Supported(GetParam())) {
            GTEST_SKIP() << "the processor lacks this kernel";
        }
        ASSERT_TRUE(crc::UseKernel(GetParam()));
    }
    void TearDown() override { crc::UseKernel(initial_); }

    const crc::Kernel initial_ = crc::ActiveKernel();
};

std::vector<unsigned char> RandomBytes(size_t n, unsigned seed)
{
    std::vector<unsigned char> data(n);
    std::mt19937 rng(seed);
    for (auto& b : data)
        b = static_cast<unsigned char>(rng());
    return data;
}

// The one-look-up-per-byte method with its own table, made here from the
// bit-at-a-time division: fast enough to check millions of spans.
class ByteModel {
  public:
    explicit ByteModel(uint32_t poly)
    {
        for (uint32_t i = 0; i < 256; ++i)
            table_[i] = testing_support::BitwiseCrc(i, std::string(1, '\0'), poly);
    }
    uint32_t operator()(uint32_t reg, const unsigned char* p, size_t n) const
    {
        while (n--)
            reg = (reg >> 8) ^ table_[(reg ^ *p++) & 0xFF];
        return reg;
    }

  private:
    uint32_t table_[256];
};

// Every length 0 to 4096 at every alignment 0 to 15, from a register that is
// neither zero nor the init value.
TEST_P(CrcKernel, EveryLengthAndAlignmentMatchesTheByteModel)
{
    const std::vector<unsigned char> data = RandomBytes(4096 + 16, 17);
    const ByteModel model32(0xEDB88320), model16(0xA001);
    const uint32_t start32 = 0x9E3779B9;
    const uint32_t start16 = 0x5A3C;
    for (size_t offset = 0; offset < 16; ++offset) {
        const unsigned char* p = data.data() + offset;
        for (size_t n = 0; n <= 4096; ++n) {
            ASSERT_EQ(crc::Update32(start32, p, n), model32(start32, p, n)) << offset << "+" << n;
            ASSERT_EQ(crc::Update16(start16, p, n), model16(start16, p, n)) << offset << "+" << n;
        }
    }
}

// Lengths around the block sizes of the kernels, and a long buffer, checked
// against the bit-at-a-time model.
TEST_P(CrcKernel, MatchesTheModel)
{
    const std::vector<unsigned char> bytes = RandomBytes(70000, 23);
    const std::string data(bytes.begin(), bytes.end());
    for (size_t n :
         {size_t(15), size_t(16), size_t(63), size_t(64), size_t(65), size_t(255), size_t(256),
          size_t(257), size_t(1023), size_t(4097), size_t(65536 + 3), size_t(70000)}) {
        for (size_t offset : {size_t(0), size_t(1), size_t(7)}) {
            const size_t len = std::min(n, data.size() - offset);
            const std::string part = data.substr(offset, len);
            EXPECT_EQ(crc::Crc32(part.data(), len), model32(part)) << offset << "+" << len;
            EXPECT_EQ(crc::Crc16(part.data(), len), model16(part)) << offset << "+" << len;
        }
    }
}

TEST_P(CrcKernel, PublishedValuesAndPieces)
{
    for (const Known& k : kKnown) {
        EXPECT_EQ(crc::Crc16(k.text.data(), k.text.size()), k.crc16) << k.text;
        EXPECT_EQ(crc::Crc32(k.text.data(), k.text.size()), k.crc32) << k.text;
    }
    const std::vector<unsigned char> bytes = RandomBytes(100000, 29);
    const std::string data(bytes.begin(), bytes.end());
    ExpectSplitsAgree(data, {0, 17, 256, 4099, 99999});
}

// A running register carried through pieces of every size, as the file
// functions feed their reads.
TEST_P(CrcKernel, RandomPiecesEqualTheWhole)
{
    const std::vector<unsigned char> data = RandomBytes(300000, 37);
    const ByteModel model32(0xEDB88320), model16(0xA001);
    const uint32_t want32 = model32(crc::kInit32, data.data(), data.size());
    const uint32_t want16 = model16(crc::kInit16, data.data(), data.size());
    std::mt19937 rng(41);
    uint32_t r32 = crc::kInit32;
    uint32_t r16 = crc::kInit16;
    for (size_t at = 0; at < data.size();) {
        const size_t n = std::min<size_t>(rng() % 3000, data.size() - at);
        r32 = crc::Update32(r32, data.data() + at, n);
        r16 = crc::Update16(r16, data.data() + at, n);
        at += n;
    }
    EXPECT_EQ(r32, want32);
    EXPECT_EQ(r16, want16);
}

TEST_P(CrcKernel, StaysChosen)
{
    const std::vector<unsigned char> data = RandomBytes(1024, 31);
    crc::Update32(crc::kInit32, data.data(), data.size());
    EXPECT_EQ(crc::ActiveKernel(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Crc, CrcKernel,
                         ::testing::Values(crc::Kernel::Table, crc::Kernel::Clmul,
                                           crc::Kernel::Clmul256, crc::Kernel::Clmul512),
                         [](const ::testing::TestParamInfo<crc::Kernel>& info) {
                             return KernelName(info.param);
                         });

// The kernels' requirements nest, and the table method is always there.
TEST(Crc, KernelChoice)
{
    EXPECT_TRUE(crc::Supported(crc::Kernel::Table));
    if (crc::Supported(crc::Kernel::Clmul512)) {
        EXPECT_TRUE(crc::Supported(crc::Kernel::Clmul256));
    }
    if (crc::Supported(crc::Kernel::Clmul256)) {
        EXPECT_TRUE(crc::Supported(crc::Kernel::Clmul));
    }
    const crc::Kernel before = crc::ActiveKernel();
    for (crc::Kernel k : {crc::Kernel::Clmul, crc::Kernel::Clmul256, crc::Kernel::Clmul512}) {
        if (!crc::Supported(k)) {
            EXPECT_FALSE(crc::UseKernel(k));
            EXPECT_EQ(crc::ActiveKernel(), before);
        }
    }
    EXPECT_TRUE(crc::UseKernel(crc::Kernel::Table));
    EXPECT_EQ(crc::ActiveKernel(), crc::Kernel::Table);
    crc::UseKernel(before);
}

// --- The system's part: SSE kernels only where the SSE registers are saved.

// One instruction each, then ret, as the probe takes them.
__attribute__((naked)) void XorpsLeaf()
{
    __asm__("xorps %xmm0, %xmm0\n\tret");
}
__attribute__((naked)) void Ud2Leaf()
{
    __asm__("ud2\n\tret");
}
__attribute__((naked)) void HltLeaf()
{
    __asm__("hlt\n\tret");
}
__attribute__((naked)) void NopLeaf()
{
    __asm__("nop\n\tret");
}
// Faults that are not the probe's: an invalid opcode after the instruction
// probed, and a breakpoint at it. (Not a read of address 0: Wine run through
// qemu-user reports that as an invalid opcode, which the probe rightly takes
// for its own.)
__attribute__((naked)) void LateUd2Leaf()
{
    __asm__("nop\n\tud2\n\tret");
}
__attribute__((naked)) void BreakpointLeaf()
{
    __asm__("int3\n\tret");
}

void* ChainHead()
{
    void* head;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

// ud2 is the opcode the processor reserves as invalid; hlt outside the
// kernel faults as privileged (Intel SDM, vol. 2). Wine runs on a system
// that saves the SSE registers, so xorps runs.
TEST(Crc, SseProbeRunsTheInstructionOrAbsorbsItsFault)
{
    const struct {
        const char* name;
        void (*leaf)();
        bool runs;
    } cases[] = {
        {"xorps", XorpsLeaf, true},
        {"nop", NopLeaf, true},
        {"ud2", Ud2Leaf, false},
        {"hlt", HltLeaf, false},
        {"xorps after the faults", XorpsLeaf, true},
    };
    void* const head = ChainHead();
    for (const auto& c : cases) {
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(crc::sse::Executes(c.leaf), c.runs) << c.name << " round " << round;
            EXPECT_EQ(ChainHead(), head) << c.name << ": the frame was left on the chain";
        }
    }
}

struct PassedOn {
    DWORD code = 0;
    const void* address = nullptr;
};
PassedOn gPassedOn;

// Stands for the frames outside the probe's: notes the fault and leaves the
// leaf as its ret would (none of the leaves moves the stack before it faults).
LONG WINAPI LeaveTheLeaf(EXCEPTION_POINTERS* e)
{
    gPassedOn.code = e->ExceptionRecord->ExceptionCode;
    gPassedOn.address = e->ExceptionRecord->ExceptionAddress;
    CONTEXT* c = e->ContextRecord;
    c->Eip = *reinterpret_cast<const DWORD*>(c->Esp);
    c->Esp += 4;
    return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(Crc, SseProbePassesOtherFaultsOn)
{
    const struct {
        const char* name;
        void (*leaf)();
        DWORD code;
        const void* address;
    } cases[] = {
        {"ud2 after the probed instruction", LateUd2Leaf, EXCEPTION_ILLEGAL_INSTRUCTION,
         reinterpret_cast<const char*>(LateUd2Leaf) + 1},
        // Where a breakpoint is said to be differs (Wine: at it; through
        // qemu-user: after it), so only its code is compared.
        {"breakpoint at it", BreakpointLeaf, EXCEPTION_BREAKPOINT, nullptr},
    };
    void* const head = ChainHead();
    const LPTOP_LEVEL_EXCEPTION_FILTER saved = SetUnhandledExceptionFilter(LeaveTheLeaf);
    for (const auto& c : cases) {
        gPassedOn = PassedOn{};
        EXPECT_TRUE(crc::sse::Executes(c.leaf)) << c.name << ": not the probe's fault";
        EXPECT_EQ(gPassedOn.code, c.code) << c.name;
        if (c.address) {
            EXPECT_EQ(gPassedOn.address, c.address) << c.name;
        }
        EXPECT_EQ(ChainHead(), head) << c.name;
    }
    SetUnhandledExceptionFilter(saved);
}

// The answer is kept: told "no", the system is not asked again until the
// answer is forgotten.
TEST(Crc, SseProbeAnswerIsKept)
{
    crc::sse::Forget();
    EXPECT_TRUE(crc::sse::SystemSaves()) << "Wine saves the SSE registers";
    crc::sse::Assume(false);
    EXPECT_FALSE(crc::sse::SystemSaves());
    EXPECT_FALSE(crc::sse::SystemSaves());
    crc::sse::Forget();
    EXPECT_TRUE(crc::sse::SystemSaves());
}

// Windows 95 on a processor with PCLMULQDQ: no kernel with SSE registers can
// be chosen or forced, the table method is taken, and the checksums are the
// same.
TEST(Crc, TableKernelWhereTheSystemDoesNotSaveTheSseRegisters)
{
    const crc::Kernel before = crc::ActiveKernel();
    crc::sse::Assume(false);
    for (crc::Kernel k : {crc::Kernel::Clmul, crc::Kernel::Clmul256, crc::Kernel::Clmul512}) {
        EXPECT_FALSE(crc::Supported(k)) << KernelName(k);
        EXPECT_FALSE(crc::UseKernel(k)) << KernelName(k);
    }
    EXPECT_EQ(crc::ChooseFastestKernel(), crc::Kernel::Table);
    EXPECT_EQ(crc::ActiveKernel(), crc::Kernel::Table);

    for (const Known& k : kKnown) {
        EXPECT_EQ(crc::Crc16(k.text.data(), k.text.size()), k.crc16) << k.text;
        EXPECT_EQ(crc::Crc32(k.text.data(), k.text.size()), k.crc32) << k.text;
    }
    const std::vector<unsigned char> bytes = RandomBytes(70000, 43);
    const std::string data(bytes.begin(), bytes.end());
    for (size_t n :
         {size_t(63), size_t(64), size_t(65), size_t(256), size_t(4097), size_t(70000)}) {
        const std::string part = data.substr(0, n);
        EXPECT_EQ(crc::Crc32(part.data(), n), model32(part)) << n;
        EXPECT_EQ(crc::Crc16(part.data(), n), model16(part)) << n;
    }
    EXPECT_EQ(crc::ActiveKernel(), crc::Kernel::Table);

    crc::sse::Forget();
    crc::UseKernel(before);
}

} // namespace
