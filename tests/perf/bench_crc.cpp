// The 32-bit figures of the checksum benchmark, run under Wine by
// `make bench` (never by the tests). Under emulation only ratios inside this
// one process mean anything, so every figure has its anchor beside it:
//  - the CRC kernels over a 64 MiB buffer, against zlib's crc32 and the
//    one-look-up-per-byte method;
//  - M_FCRC32 on a 256 MiB file in the stand-in host, against reading the
//    same file through the host's file channels (what its FileRead service
//    does) in the same 10240-byte pieces, the file in the page cache;
//  - the host service calls of M_IDXNO and M_IDXNOF on tables of 10^2, 10^4
//    and 10^6 records, against a walk from the first record.
// Speeds are the best of a few rounds. The output is one JSON object.
#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "data/crc.h"
#include "host.h"
#include "tabletwin.h"
#include "testdir.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;

namespace {

constexpr size_t kMiB = 1024 * 1024;
constexpr size_t kBufferMiB = 64;
constexpr size_t kFileMiB = 256;
constexpr uint32_t kPiece = 10240; // the library's read size
constexpr int kRuns = 5;

double Now()
{
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

struct Work {
    std::string name;
    std::function<void()> run;
};

// MiB/s of each piece of work over mib MiB: the best of kRuns rounds, each
// round running every piece once, so a busy moment of the machine touches
// all of them alike. One round before them warms caches and clocks.
std::vector<double> BestMiBps(size_t mib, const std::vector<Work>& works)
{
    std::vector<double> best(works.size(), 1e30);
    for (const Work& w : works)
        w.run();
    for (int round = 0; round < kRuns; ++round) {
        for (size_t i = 0; i < works.size(); ++i) {
            const double start = Now();
            works[i].run();
            best[i] = std::min(best[i], Now() - start);
        }
    }
    for (double& b : best)
        b = static_cast<double>(mib) / b;
    return best;
}

std::vector<unsigned char> RandomBytes(size_t n)
{
    std::vector<unsigned char> d(n);
    std::mt19937 rng(42);
    for (size_t i = 0; i + 4 <= n; i += 4) {
        const uint32_t v = rng();
        std::memcpy(&d[i], &v, 4);
    }
    return d;
}

struct Row {
    std::string name;
    double value;
};

std::string Json(const std::vector<Row>& rows)
{
    std::string s = "{";
    for (const Row& r : rows) {
        char num[64];
        std::snprintf(num, sizeof num, "%.3f", r.value);
        s += (s.size() > 1 ? ",\n \"" : "\n \"") + r.name + "\": " + num;
    }
    return s + "\n}";
}

const char* KernelName(crc::Kernel k)
{
    switch (k) {
    case crc::Kernel::Clmul512:
        return "clmul512";
    case crc::Kernel::Clmul256:
        return "clmul256";
    case crc::Kernel::Clmul:
        return "clmul";
    case crc::Kernel::Table:
        break;
    }
    return "table";
}

volatile uint32_t gSink;

void BufferFigures(std::vector<Row>& rows)
{
    const std::vector<unsigned char> d = RandomBytes(kBufferMiB * kMiB);
    const crc::Kernel best = crc::ActiveKernel();
    rows.push_back({std::string("kernel_") + KernelName(best), 1});
    std::vector<Work> works;
    for (crc::Kernel k :
         {crc::Kernel::Clmul512, crc::Kernel::Clmul256, crc::Kernel::Clmul, crc::Kernel::Table}) {
        if (!crc::Supported(k))
            continue;
        const std::string name = KernelName(k);
        works.push_back({"crc32_" + name, [&d, k] {
                             crc::UseKernel(k);
                             gSink = crc::Crc32(d.data(), d.size());
                         }});
        works.push_back({"crc16_" + name, [&d, k] {
                             crc::UseKernel(k);
                             gSink = crc::Crc16(d.data(), d.size());
                         }});
    }
    works.push_back({"crc32_bytewise",
                     [&d] { gSink = crc::UpdateBytewise(~0u, d.data(), d.size(), crc::kPoly32); }});
    works.push_back({"crc16_bytewise",
                     [&d] { gSink = crc::UpdateBytewise(0, d.data(), d.size(), crc::kPoly16); }});
    works.push_back(
        {"crc32_zlib", [&d] { gSink = static_cast<uint32_t>(crc32(0, d.data(), d.size())); }});
    const std::vector<double> speeds = BestMiBps(kBufferMiB, works);
    crc::UseKernel(best);
    for (size_t i = 0; i < works.size(); ++i)
        rows.push_back({works[i].name, speeds[i]});
}

bool FileFigures(std::vector<Row>& rows)
{
    testing_support::TempDir dir;
    const std::string path = dir.file("big.bin");
    const std::vector<unsigned char> block = RandomBytes(kMiB);
    uint32_t want = crc::kInit32;
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            return false;
        for (size_t i = 0; i < kFileMiB; ++i) {
            std::fwrite(block.data(), 1, block.size(), f);
            want = crc::Update32(want, block.data(), block.size());
        }
        std::fclose(f);
    }
    want = crc::Finish32(want);

    Host host;
    if (!host.load(testing_support::Deliverable("marvo32.fll")))
        return false;
    std::vector<unsigned char> buffer(kPiece);
    auto readAll = [&] {
        const int channel = host.files().open(path, 0, 0);
        for (;;) {
            host.files().read(channel, buffer.data(), kPiece);
            if (host.files().atEnd(channel))
                break;
        }
        host.files().close(channel);
    };
    bool right = true;
    auto checksum = [&] {
        CallResult r = host.call("M_FCRC32", {Value::Text(path)});
        right = right && !r.failed() && r.value.number == static_cast<double>(want);
    };
    const std::vector<double> speeds =
        BestMiBps(kFileMiB, {{"fcrc32", checksum}, {"fileread", readAll}});
    rows.push_back({"fcrc32", speeds[0]});
    rows.push_back({"fileread", speeds[1]});
    rows.push_back({"fcrc32_right", right ? 1.0 : 0.0});
    return right;
}

// Service calls of one index function at position p of a table of n records.
int IdxCalls(Host& host, const char* name, int n, int p)
{
    constexpr int kArea = 1;
    TableTwin twin(n);
    twin.goPosition(p);
    host.serviceHook = [&twin](abi::HostRequest& r) { return twin.serve(r, kArea); };
    CallResult r = host.call(name, {Value::Int(kArea)});
    host.serviceHook = nullptr;
    if (r.failed() || r.value.integer != p || twin.position() != p)
        return -1;
    return twin.total;
}

bool IndexFigures(std::vector<Row>& rows)
{
    Host host;
    if (!host.load(testing_support::Deliverable("marvo32.fll")))
        return false;
    bool right = true;
    for (int n : {100, 10000, 1000000}) {
        // Positions spread over the table: the mean of nine of them.
        double idxno = 0, idxnof = 0, walk = 0;
        for (int k = 1; k <= 9; ++k) {
            const int p = std::max(1, static_cast<int>(static_cast<long long>(n) * k / 10));
            const int a = IdxCalls(host, "M_IDXNO", n, p);
            const int b = IdxCalls(host, "M_IDXNOF", n, p);
            right = right && a > 0 && b > 0;
            idxno += a;
            idxnof += b;
            // A walk: RecordNumber, GoFirst, then one SkipRecords per record.
            walk += 2 + (p - 1);
        }
        const std::string size = std::to_string(n);
        rows.push_back({"idxno_" + size, idxno / 9});
        rows.push_back({"idxnof_" + size, idxnof / 9});
        rows.push_back({"walk_" + size, walk / 9});
    }
    return right;
}

} // namespace

int main()
{
    std::vector<Row> rows;
    BufferFigures(rows);
    const bool file = FileFigures(rows);
    const bool index = IndexFigures(rows);
    std::printf("%s\n", Json(rows).c_str());
    if (!file || !index)
        std::fprintf(stderr, "crc_bench32: %s\n", !file ? "M_FCRC32 failed" : "M_IDXNO failed");
    return file && index ? 0 : 1;
}
