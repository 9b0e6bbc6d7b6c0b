// Benchmark of file encryption (run by `make bench`, not by the tests):
// M_FENCRPTW on a 64 MiB file in the stand-in host, against a plain loop of
// CryptEncrypt over the same data in 1000-byte chunks in this process; then
// a 256 MiB file, to show that the process's peak memory does not grow with
// the file. The memory is the process's committed memory of its own (heap and
// mapped regions, not program images) as Windows shows it to the process,
// sampled while the library works: the working-set counters would count an
// emulator's memory too where Wine runs through one. Each speed is the best of a few runs, so other
// work on the machine disturbs the ratio as little as it can. It reports whether the library's
// overhead stays within 25 % and the peak within 1 MiB; being a measurement, not a test, it fails
// only when it cannot run.
#include <windows.h>

#include <wincrypt.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host.h"
#include "testdir.h"

namespace {

const size_t kMiB = 1024 * 1024;
const char kPassword[] = "benchmark";

double seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

size_t committedBytes()
{
    size_t total = 0;
    MEMORY_BASIC_INFORMATION m{};
    for (const char* p = nullptr; VirtualQuery(p, &m, sizeof m) == sizeof m;) {
        if (m.State == MEM_COMMIT && m.Type != MEM_IMAGE)
            total += m.RegionSize;
        const char* next = static_cast<const char*>(m.BaseAddress) + m.RegionSize;
        if (next <= p)
            break;
        p = next;
    }
    return total;
}

// The most committed memory seen since the start, sampled every millisecond
// by a thread of its own.
class PeakWatch {
  public:
    PeakWatch()
        : thread_([this] {
              while (!stop_) {
                  peak_ = std::max<size_t>(peak_, committedBytes());
                  Sleep(1);
              }
          })
    {
    }
    ~PeakWatch()
    {
        stop_ = true;
        thread_.join();
    }
    PeakWatch(const PeakWatch&) = delete;
    PeakWatch& operator=(const PeakWatch&) = delete;

    double MiB() const
    {
        return static_cast<double>(std::max<size_t>(peak_, committedBytes())) / kMiB;
    }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<size_t> peak_{0};
    std::thread thread_;
};

// The data: one MiB of random bytes, repeated.
std::string pattern()
{
    std::mt19937 rng(2026);
    std::string s(kMiB, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

void writeFile(const std::string& path, const std::string& block, size_t mib)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    for (size_t i = 0; i < mib; ++i)
        std::fwrite(block.data(), 1, block.size(), f);
    std::fclose(f);
}

// The output is a new file each time: freeing the old one's pages is the
// system's work, not the library's.
double libraryRun(fllhost::Host& host, const std::string& in, const std::string& out)
{
    DeleteFileA(out.c_str());
    double start = seconds();
    fllhost::CallResult r =
        host.call("M_FENCRPTW", {fllhost::Value::Text(in), fllhost::Value::Text(out),
                                 fllhost::Value::Text(kPassword)});
    double elapsed = seconds() - start;
    if (r.failed() || !r.value.logical)
        std::printf("M_FENCRPTW failed: %s\n", host.output().c_str());
    return elapsed;
}

// CryptEncrypt over the same bytes, 1000 at a time through one buffer.
double plainRun(const std::string& block, size_t mib)
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    HCRYPTKEY key = 0;
    const char* name = "Microsoft Base Cryptographic Provider v1.0";
    if (!CryptAcquireContextA(&provider, nullptr, name, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return -1;
    CryptCreateHash(provider, CALG_MD5, 0, 0, &hash);
    CryptHashData(hash, reinterpret_cast<const BYTE*>(kPassword), sizeof kPassword - 1, 0);
    CryptDeriveKey(provider, CALG_RC4, hash, CRYPT_EXPORTABLE, &key);
    BYTE buffer[1008];
    const size_t total = mib * kMiB;
    double start = seconds();
    for (size_t offset = 0; offset < total; offset += 1000) {
        DWORD n = static_cast<DWORD>(total - offset < 1000 ? total - offset : 1000);
        size_t at = offset % kMiB;
        size_t first = n < kMiB - at ? n : kMiB - at;
        std::memcpy(buffer, block.data() + at, first);
        std::memcpy(buffer + first, block.data(), n - first);
        CryptEncrypt(key, 0, offset + n == total, 0, buffer, &n, sizeof buffer);
    }
    double elapsed = seconds() - start;
    CryptDestroyKey(key);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    return elapsed;
}

} // namespace

int main()
{
    testing_support::TempDir dir;
    fllhost::Host host;
    if (!host.load(testing_support::Deliverable("marvo32.fll"))) {
        std::printf("cannot load marvo32.fll\n");
        return 2;
    }
    const std::string block = pattern();
    const std::string small = dir.file("64.bin"), large = dir.file("256.bin");
    writeFile(small, block, 64);
    writeFile(large, block, 256);

    const int kRuns = 9;
    PeakWatch watch;
    double peakBefore = watch.MiB();
    double library = 1e9, plain = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        library = std::min(library, libraryRun(host, small, dir.file("64.out")));
        plain = std::min(plain, plainRun(block, 64));
    }
    double peak64 = watch.MiB();
    writeFile(dir.file("0.bin"), block, 0);
    double fixed = libraryRun(host, dir.file("0.bin"), dir.file("0.out"));
    libraryRun(host, large, dir.file("256.out"));
    double peak256 = watch.MiB();

    double overhead = (library / plain - 1) * 100;
    double growth = peak256 - peak64;
    std::printf("M_FENCRPTW, 64 MiB file:        %8.1f MiB/s  (best of %d)\n", 64 / library, kRuns);
    std::printf("CryptEncrypt loop, 64 MiB:      %8.1f MiB/s  (best of %d)\n", 64 / plain, kRuns);
    std::printf("M_FENCRPTW on an empty file:    %8.2f ms\n", fixed * 1000);
    std::printf("ratio library / loop (time):    %8.3f  (overhead %+.1f %%, limit 25 %%)\n",
                library / plain, overhead);
    std::printf("peak memory before:             %8.1f MiB\n", peakBefore);
    std::printf("peak memory after 64 MiB file:  %8.1f MiB\n", peak64);
    std::printf("peak memory after 256 MiB file: %8.1f MiB  (growth %.2f MiB, limit 1 MiB)\n",
                peak256, growth);
    std::printf("overhead %s, peak %s\n", overhead <= 25 ? "within its limit" : "ABOVE its limit",
                growth <= 1 ? "within its limit" : "ABOVE its limit");
    return 0;
}
