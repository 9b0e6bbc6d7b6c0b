// The CRC kernels against a bit-at-a-time model written here and the
// published check values of CRC-16/ARC and CRC-32/ISO-HDLC.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "data/crc.h"

namespace {

// Polynomial division one bit at a time, reflected: no tables at all.
uint32_t bitwise(uint32_t reg, const std::string& data, uint32_t poly)
{
    for (unsigned char c : data) {
        reg ^= c;
        for (int i = 0; i < 8; ++i)
            reg = (reg >> 1) ^ ((reg & 1) ? poly : 0);
    }
    return reg;
}

uint32_t model16(const std::string& s) { return bitwise(0, s, 0xA001); }
uint32_t model32(const std::string& s) { return ~bitwise(0xFFFFFFFF, s, 0xEDB88320); }

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
    for (size_t cut : {size_t(0), size_t(1), size_t(7), size_t(8), size_t(4999), size_t(10000)}) {
        uint32_t r32 = crc::Update32(crc::kInit32, data.data(), cut);
        r32 = crc::Update32(r32, data.data() + cut, data.size() - cut);
        EXPECT_EQ(crc::Finish32(r32), model32(data)) << cut;
        uint32_t r16 = crc::Update16(crc::kInit16, data.data(), cut);
        r16 = crc::Update16(r16, data.data() + cut, data.size() - cut);
        EXPECT_EQ(r16, model16(data)) << cut;
    }
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

} // namespace
