// The four checksum functions loaded in the stand-in host: texts with the
// catalogued values and a model written here, files of every size class,
// missing files, long names, failing reads and several threads at once.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "crcmodel.h"
#include "host.h"
#include "testdir.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;
using testing_support::TempDir;

namespace {

uint32_t model16(const std::string& s)
{
    return testing_support::ModelCrc16(s);
}
uint32_t model32(const std::string& s)
{
    return testing_support::ModelCrc32(s);
}

std::string randomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

class Checksums : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll"))); }

    // Both widths of one argument, checking the kinds and widths of the results.
    std::pair<uint32_t, uint32_t> both(const char* f16, const char* f32, const std::string& arg)
    {
        CallResult a = host.call(f16, {Value::Text(arg)});
        CallResult b = host.call(f32, {Value::Text(arg)});
        EXPECT_FALSE(a.failed()) << a.hostError << a.userError;
        EXPECT_FALSE(b.failed()) << b.hostError << b.userError;
        EXPECT_EQ(a.results, 1);
        EXPECT_EQ(b.results, 1);
        EXPECT_EQ(a.value.kind, Value::Kind::Integer);
        EXPECT_EQ(a.value.width, 10);
        EXPECT_EQ(b.value.kind, Value::Kind::Number);
        EXPECT_EQ(b.value.width, 16);
        EXPECT_EQ(b.value.decimals, 0u);
        EXPECT_GE(b.value.number, 0.0); // never negative, even with the top bit set
        return {static_cast<uint32_t>(a.value.integer), static_cast<uint32_t>(b.value.number)};
    }
    std::pair<uint32_t, uint32_t> text(const std::string& s)
    {
        return both("M_STRCRC16", "M_STRCRC32", s);
    }
    std::pair<uint32_t, uint32_t> file(const std::string& path)
    {
        return both("M_FCRC16", "M_FCRC32", path);
    }

    Host host;
    TempDir dir;
};

TEST_F(Checksums, TextsGiveTheCatalogedValues)
{
    const struct {
        std::string text;
        uint32_t crc16, crc32;
    } cases[] = {
        {"", 0, 0},
        {"a", 59585, 3904355907u},
        {"abc", 38712, 891568578},
        {"123456789", 0xBB3D, 0xCBF43926},
        {std::string("\0\0\0", 3), model16(std::string(3, '\0')), model32(std::string(3, '\0'))},
        {std::string("a\0b", 3), model16(std::string("a\0b", 3)), model32(std::string("a\0b", 3))},
    };
    for (const auto& c : cases) {
        auto [c16, c32] = text(c.text);
        EXPECT_EQ(c16, c.crc16) << c.text;
        EXPECT_EQ(c32, c.crc32) << c.text;
    }
}

TEST_F(Checksums, LongTextsMatchTheModel)
{
    for (size_t n : {1u, 7u, 8u, 9u, 1000u, 10240u, 65536u, 100001u}) {
        std::string s = randomBytes(n, static_cast<unsigned>(n));
        auto [c16, c32] = text(s);
        EXPECT_EQ(c16, model16(s)) << n;
        EXPECT_EQ(c32, model32(s)) << n;
    }
    EXPECT_EQ(host.handlesInUse(), 0);
}

TEST_F(Checksums, FilesOfEverySizeMatchTheirText)
{
    for (size_t n : {0u, 1u, 10239u, 10240u, 10241u, 20480u, 30720u, 12345u, 1000000u}) {
        const std::string bytes = randomBytes(n, static_cast<unsigned>(n) + 1);
        const std::string path = dir.file("f" + std::to_string(n) + ".bin");
        testing_support::WriteFile(path, bytes);
        auto [f16, f32] = file(path);
        EXPECT_EQ(f16, model16(bytes)) << n;
        EXPECT_EQ(f32, model32(bytes)) << n;
        auto [t16, t32] = text(bytes);
        EXPECT_EQ(f16, t16) << n;
        EXPECT_EQ(f32, t32) << n;
    }
    EXPECT_EQ(host.handlesInUse(), 0);
}

TEST_F(Checksums, MissingFileRaises104AndLeavesNothingOpen)
{
    for (const char* fn : {"M_FCRC16", "M_FCRC32"}) {
        CallResult r = host.call(fn, {Value::Text(dir.file("no such file"))});
        EXPECT_EQ(r.hostError, 104) << fn;
        EXPECT_EQ(r.results, 0) << fn;
    }
    EXPECT_EQ(host.handlesInUse(), 0);
}

TEST_F(Checksums, NamesOfAnyLength)
{
    // Whole names of 99, 100, 200 and 300 bytes: the short ones name real
    // files; a name Windows cannot open is answered with 104, nothing worse.
    for (size_t total : {99u, 100u, 200u, 259u, 300u, 5000u}) {
        const std::string prefix = dir.path() + "\\";
        ASSERT_LT(prefix.size() + 5, total);
        const std::string path = prefix + std::string(total - prefix.size() - 4, 'n') + ".bin";
        ASSERT_EQ(path.size(), total);
        const std::string bytes = randomBytes(777, static_cast<unsigned>(total));
        testing_support::WriteFile(path, bytes);
        const bool exists = testing_support::FileExists(path);
        CallResult r = host.call("M_FCRC32", {Value::Text(path)});
        if (exists) {
            EXPECT_FALSE(r.failed()) << total;
            EXPECT_EQ(static_cast<uint32_t>(r.value.number), model32(bytes)) << total;
            DeleteFileA(path.c_str());
        } else {
            EXPECT_EQ(r.hostError, 104) << total;
        }
    }
}

TEST_F(Checksums, AFailingReadEndsTheCall)
{
    const std::string path = dir.file("data.bin");
    testing_support::WriteFile(path, randomBytes(50000, 9));
    for (uint32_t answer : {0xFFFFFFFFu, 0u}) {
        // The host reports a failed read (-1), or reads nothing and never
        // reaches the end: either way the call must end, with an error.
        host.serviceHook = [answer](abi::HostRequest& r) {
            if (r.code == abi::kSvcFileRead) {
                r.arg1 = answer;
                return true;
            }
            if (r.code == abi::kSvcFileAtEnd) {
                r.arg1 = 0;
                return true;
            }
            return false;
        };
        CallResult r = host.call("M_FCRC16", {Value::Text(path)});
        EXPECT_TRUE(r.raised()) << answer;
        EXPECT_EQ(r.results, 0);
        EXPECT_EQ(host.handlesInUse(), 0);
    }
}

TEST_F(Checksums, ManyThreadsAtOnce)
{
    constexpr int kThreads = 6;
    std::vector<std::string> paths, contents;
    for (int i = 0; i < kThreads; ++i) {
        // Names of different lengths, so one thread's name cannot pass for another's.
        paths.push_back(dir.file(std::string(10 + 13 * i, char('a' + i)) + ".dat"));
        contents.push_back(randomBytes(30000 + 1111 * i, 100 + i));
        testing_support::WriteFile(paths.back(), contents.back());
    }
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 40; ++round) {
                CallResult f = host.call("M_FCRC32", {Value::Text(paths[i])});
                CallResult s = host.call("M_STRCRC16", {Value::Text(contents[i])});
                if (f.failed() || static_cast<uint32_t>(f.value.number) != model32(contents[i]) ||
                    s.failed() || static_cast<uint32_t>(s.value.integer) != model16(contents[i]))
                    ++wrong[i];
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(wrong[i], 0) << "thread " << i;
}

} // namespace
