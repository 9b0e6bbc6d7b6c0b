// The order of the cipher calls: chunk sizes and the final mark, for texts
// in memory and for streams, and the step that a failure stops at. Also the
// cipher model's own published check values.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "crypt/chunks.h"
#include "model.h"
#include "testdir.h"

using marvo::crypt::CipherChunks;
using marvo::crypt::CipherStream;
using marvo::crypt::StreamStep;
using testing_support::TempDir;

namespace {

struct Call {
    unsigned long n;
    bool final;
    bool operator==(const Call& o) const { return n == o.n && final == o.final; }
};

std::ostream& operator<<(std::ostream& os, const Call& c)
{
    return os << "(" << c.n << (c.final ? ", final)" : ")");
}

std::string hex(const std::string& s)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// A "cipher" that records its calls and adds 1 to every byte.
struct Recorder {
    std::vector<Call>* calls;
    size_t failAt = SIZE_MAX;
    bool operator()(uint8_t* buffer, unsigned long& n, bool final)
    {
        if (calls->size() == failAt)
            return false;
        calls->push_back({n, final});
        for (unsigned long i = 0; i < n; ++i)
            ++buffer[i];
        return true;
    }
};

TEST(ChunksInMemory, SizesAndFinalMark)
{
    const struct {
        size_t length;
        std::vector<Call> calls;
    } cases[] = {
        {0, {}},
        {1, {{1, true}}},
        {999, {{999, true}}},
        {1000, {{1000, true}}},
        {1001, {{1000, false}, {1, true}}},
        {2500, {{1000, false}, {1000, false}, {500, true}}},
        {3000, {{1000, false}, {1000, false}, {1000, true}}},
    };
    for (const auto& c : cases) {
        std::string text(c.length, 'a');
        std::vector<uint8_t> buffer(1008);
        std::vector<Call> calls;
        ASSERT_TRUE(CipherChunks(reinterpret_cast<uint8_t*>(&text[0]), text.size(), buffer.data(),
                                 1000, Recorder{&calls}));
        EXPECT_EQ(calls, c.calls) << c.length;
        EXPECT_EQ(text, std::string(c.length, 'b')) << c.length;
    }
}

TEST(ChunksInMemory, FailureStopsAndKeepsTheChunksBefore)
{
    std::string text(2500, 'a');
    std::vector<uint8_t> buffer(1008);
    std::vector<Call> calls;
    Recorder cipher{&calls, 1};
    EXPECT_FALSE(CipherChunks(reinterpret_cast<uint8_t*>(&text[0]), text.size(), buffer.data(),
                              1000, cipher));
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(text, std::string(1000, 'b') + std::string(1500, 'a'));
}

class ChunksOfStreams : public ::testing::Test {
  protected:
    // Streams a file of `length` bytes; the calls made and the output.
    StreamStep run(size_t length, std::vector<Call>& calls, std::string& output,
                   size_t failAt = SIZE_MAX)
    {
        std::string in = dir.file("in.bin"), out = dir.file("out.bin");
        testing_support::WriteFile(in, std::string(length, 'a'));
        std::FILE* fi = std::fopen(in.c_str(), "rb");
        std::FILE* fo = std::fopen(out.c_str(), "wb");
        std::vector<uint8_t> buffer(1008);
        StreamStep step = CipherStream(fi, fo, buffer.data(), 1000, Recorder{&calls, failAt});
        std::fclose(fi);
        std::fclose(fo);
        output = testing_support::ReadFile(out);
        return step;
    }
    TempDir dir;
};

TEST_F(ChunksOfStreams, EveryByteOnceAndOnlyTheLastCallFinal)
{
    for (size_t length : {0u, 1u, 999u, 1000u, 1001u, 2000u, 2500u, 100000u}) {
        std::vector<Call> calls;
        std::string output;
        ASSERT_EQ(run(length, calls, output), StreamStep::Done) << length;
        ASSERT_FALSE(calls.empty());
        size_t total = 0;
        for (size_t i = 0; i < calls.size(); ++i) {
            total += calls[i].n;
            EXPECT_EQ(calls[i].final, i + 1 == calls.size()) << length << " call " << i;
            if (i + 1 < calls.size()) {
                EXPECT_EQ(calls[i].n, 1000u) << length << " call " << i;
            }
        }
        EXPECT_EQ(total, length);
        EXPECT_EQ(output, std::string(length, 'b'));
        // An input ending on a chunk boundary may need a last, empty call.
        if (length % 1000 == 0) {
            EXPECT_TRUE(calls.back().n == 0 || calls.back().n == 1000) << length;
        } else {
            EXPECT_EQ(calls.back().n, length % 1000);
        }
    }
}

TEST_F(ChunksOfStreams, CipherFailureStopsBeforeWriting)
{
    std::vector<Call> calls;
    std::string output;
    EXPECT_EQ(run(2500, calls, output, 1), StreamStep::Cipher);
    EXPECT_EQ(output, std::string(1000, 'b'));
}

TEST_F(ChunksOfStreams, ReadAndWriteFailuresAreTold)
{
    std::string name = dir.file("f.bin");
    testing_support::WriteFile(name, std::string(10, 'a'));
    std::vector<uint8_t> buffer(1008);
    std::vector<Call> calls;
    {
        std::FILE* notReadable = std::fopen(name.c_str(), "ab");
        std::FILE* out = std::fopen(dir.file("o.bin").c_str(), "wb");
        EXPECT_EQ(CipherStream(notReadable, out, buffer.data(), 1000, Recorder{&calls}),
                  StreamStep::Read);
        std::fclose(notReadable);
        std::fclose(out);
    }
    {
        std::FILE* in = std::fopen(name.c_str(), "rb");
        std::FILE* notWritable = std::fopen(dir.file("o.bin").c_str(), "rb");
        EXPECT_EQ(CipherStream(in, notWritable, buffer.data(), 1000, Recorder{&calls}),
                  StreamStep::Write);
        std::fclose(in);
        std::fclose(notWritable);
    }
}

TEST(Model, Md5GivesTheCheckValuesOfRfc1321)
{
    const struct {
        const char* text;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        auto d = model::Md5(c.text);
        EXPECT_EQ(hex(std::string(d.begin(), d.end())), c.digest) << c.text;
    }
}

TEST(Model, Rc4GivesThePublishedTestVectors)
{
    EXPECT_EQ(hex(model::Rc4("Key", "Plaintext")), "bbf316e8d940af0ad3");
    EXPECT_EQ(hex(model::Rc4("Wiki", "pedia")), "1021bf0420");
    EXPECT_EQ(hex(model::Rc4("Secret", "Attack at dawn")), "45a01f645fc35b383552544b9bf5");
}

TEST(Model, OffsetTakesBytesAsSigned)
{
    // 0xE1 is -31: with a sum of 10 it becomes -21, stored as 0xEB.
    EXPECT_EQ(model::Offset("\xe1", 10), "\xeb");
    EXPECT_EQ(model::Offset("a", 300), std::string(1, static_cast<char>((97 + 300) % 255)));
    EXPECT_EQ(model::Offset(std::string(1, '\0'), -5), "\xfb");
}

} // namespace
