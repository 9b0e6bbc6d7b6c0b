// Eight threads at once in one host: each sends message 0 (its own tables),
// then calls the checksum, per-call encryption, file checksum, drive and
// directory functions in a loop, checking every answer against a model
// written here (bitwise CRCs, the cipher model of the encryption tests) or
// against Windows' own answer, for RELIABILITY_SECONDS seconds (3 unless set;
// `make fuzz` gives it a minute).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host.h"
#include "model.h"
#include "rng.h"
#include "sandbox.h"
#include "testdir.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;
using reliability::Rng;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

constexpr int kThreads = 8;

uint32_t ModelCrc16(const std::string& s)
{
    uint32_t crc = 0;
    for (unsigned char c : s) {
        crc ^= c;
        for (int i = 0; i < 8; ++i)
            crc = (crc >> 1) ^ (0xA001u & (0u - (crc & 1)));
    }
    return crc;
}

uint32_t ModelCrc32(const std::string& s)
{
    uint32_t crc = 0xFFFFFFFF;
    for (unsigned char c : s) {
        crc ^= c;
        for (int i = 0; i < 8; ++i)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string Bytes(Rng& rng, size_t n)
{
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng.below(256));
    return s;
}

int Seconds()
{
    char value[32] = {};
    if (GetEnvironmentVariableA("RELIABILITY_SECONDS", value, sizeof value))
        return std::atoi(value);
    return 3;
}

// What Windows itself says of a drive, for the drive functions' answers.
struct DriveFacts {
    std::string root;
    uint32_t type = 0;
    double serial = 0;
    double bytes = 0;
};

DriveFacts Facts(const std::string& folder)
{
    DriveFacts f;
    f.root = folder.substr(0, 3);
    f.type = GetDriveTypeA(f.root.c_str());
    DWORD serial = 0;
    GetVolumeInformationA(f.root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    f.serial = serial;
    ULARGE_INTEGER callerFree{}, total{}, free{};
    GetDiskFreeSpaceExA(f.root.c_str(), &callerFree, &total, &free);
    f.bytes = static_cast<double>(total.QuadPart);
    return f;
}

class Worker {
  public:
    Worker(Host& host, int index, const std::string& folder, const DriveFacts& drive, int offsetSum)
        : host_(host), index_(index), folder_(folder), drive_(drive), offsetSum_(offsetSum),
          rng_(1000 + index)
    {
    }

    // Counts wrong answers; stops at the deadline.
    void run(std::chrono::steady_clock::time_point deadline)
    {
        abi::HostMessage load{};
        load.code = abi::kMsgLoad;
        host_.send(load);
        while (std::chrono::steady_clock::now() < deadline) {
            checksums();
            encryption();
            fileChecksums();
            drives();
            directories();
            ++rounds;
        }
        handlesLeft = host_.handlesInUse();
    }

    int rounds = 0;
    int handlesLeft = 0;
    int wrong = 0;
    std::string firstWrong;

  private:
    void expect(bool ok, const std::string& what)
    {
        if (ok)
            return;
        if (wrong++ == 0)
            firstWrong = "thread " + std::to_string(index_) + ": " + what;
    }

    CallResult call(const std::string& name, const std::vector<Value>& args)
    {
        CallResult r = host_.call(name, args);
        expect(!r.failed() && r.results == 1, name + " failed or gave no single result");
        return r;
    }

    void checksums()
    {
        const std::string s = Bytes(rng_, rng_.below(3000));
        expect(call("M_STRCRC16", {Value::Text(s)}).value.integer ==
                   static_cast<int32_t>(ModelCrc16(s)),
               "M_STRCRC16");
        expect(call("M_STRCRC32", {Value::Text(s)}).value.number == ModelCrc32(s), "M_STRCRC32");
    }

    void encryption()
    {
        const std::string s = Bytes(rng_, rng_.below(2500));
        const std::string password = Bytes(rng_, rng_.between(5, 40));
        const std::string cipher = model::Cipher(model::Offset(password, offsetSum_), s);
        const CallResult e = call("M_ENCRPTW", {Value::Text(s), Value::Text(password)});
        expect(e.value.text == cipher, "M_ENCRPTW gave " + std::to_string(e.value.text.size()) +
                                           " bytes for " + std::to_string(s.size()));
        const CallResult d = call("M_DECRPTW", {Value::Text(cipher), Value::Text(password)});
        expect(d.value.text == s, "M_DECRPTW gave " + std::to_string(d.value.text.size()) +
                                      " bytes for " + std::to_string(s.size()));
    }

    void fileChecksums()
    {
        const std::string s = Bytes(rng_, rng_.below(30000));
        const std::string file = folder_ + "\\data.bin";
        WriteFile(file, s);
        expect(call("M_FCRC16", {Value::Text(file)}).value.integer ==
                   static_cast<int32_t>(ModelCrc16(s)),
               "M_FCRC16");
        expect(call("M_FCRC32", {Value::Text(file)}).value.number == ModelCrc32(s), "M_FCRC32");
    }

    void drives()
    {
        expect(call("M_DRIVES", {}).value.integer == static_cast<int32_t>(GetLogicalDrives()),
               "M_DRIVES");
        const Value root = Value::Text(drive_.root);
        const int32_t type = call("M_DRVTYPE", {root}).value.integer;
        expect(type == static_cast<int32_t>(drive_.type), "M_DRVTYPE gave " + std::to_string(type));
        expect(call("M_DSERIAL", {root}).value.number == drive_.serial, "M_DSERIAL");
        expect(call("M_DRVBYTESX", {root}).value.number == drive_.bytes, "M_DRVBYTESX");
    }

    void directories()
    {
        const std::string dir = folder_ + "\\made" + std::to_string(rng_.below(1000));
        expect(call("M_MKDIR", {Value::Text(dir)}).value.logical, "M_MKDIR");
        expect(GetFileAttributesA(dir.c_str()) != INVALID_FILE_ATTRIBUTES, "M_MKDIR made nothing");
        expect(call("M_RMDIR", {Value::Text(dir + "\\")}).value.logical, "M_RMDIR");
        expect(GetFileAttributesA(dir.c_str()) == INVALID_FILE_ATTRIBUTES, "M_RMDIR left it");
    }

    Host& host_;
    int index_;
    std::string folder_;
    const DriveFacts& drive_;
    int offsetSum_;
    Rng rng_;
};

// The library's password offset is its own: its sum is one that makes the
// model give the library's ciphertexts for passwords that hold every byte
// value (sums that agree on every byte are as good as each other).
int FindOffsetSum(Host& host)
{
    const std::string probe = "offset probe";
    std::vector<std::string> passwords(4);
    for (int b = 0; b < 256; ++b)
        passwords[b / 64] += static_cast<char>(b);
    std::vector<std::string> got;
    for (const std::string& p : passwords)
        got.push_back(host.call("M_ENCRPTW", {Value::Text(probe), Value::Text(p)}).value.text);
    for (int sum = -7 * 128; sum <= 7 * 127; ++sum) {
        bool all = true;
        for (size_t i = 0; i < passwords.size() && all; ++i)
            all = model::Cipher(model::Offset(passwords[i], sum), probe) == got[i];
        if (all)
            return sum;
    }
    return INT32_MIN;
}

TEST(Threads, EightThreadsCallTheLibraryAtOnceAndGetTheRightAnswers)
{
    Host host;
    ASSERT_TRUE(host.load(reliability::Library()));
    TempDir temp;
    const int offsetSum = FindOffsetSum(host);
    ASSERT_NE(offsetSum, INT32_MIN);
    const DriveFacts drive = Facts(temp.path());
    ASSERT_NE(drive.type, 0u);

    std::vector<std::unique_ptr<Worker>> workers;
    for (int t = 0; t < kThreads; ++t) {
        const std::string folder = temp.file("t" + std::to_string(t));
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        workers.push_back(std::make_unique<Worker>(host, t, folder, drive, offsetSum));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds());
    std::vector<std::thread> threads;
    for (auto& w : workers)
        threads.emplace_back([&w, deadline] { w->run(deadline); });
    for (auto& t : threads)
        t.join();

    int rounds = 0;
    for (auto& w : workers) {
        rounds += w->rounds;
        EXPECT_GT(w->rounds, 0);
        EXPECT_EQ(w->wrong, 0) << w->firstWrong;
        EXPECT_EQ(w->handlesLeft, 0);
    }
    EXPECT_EQ(host.output(), "") << "messages shown";
    std::printf("threads: %d threads, %d rounds of 13 calls in %d s\n", kThreads, rounds,
                Seconds());
}

} // namespace
