// Throughput of the library's CRC kernels over a 64 MiB buffer, next to
// zlib's crc32, ISA-L's folding CRCs and the one-look-up-per-byte method.
// Every benchmark reads the same buffer in the same process; the results
// are checked against each other before anything is timed.
#include <benchmark/benchmark.h>
#include <isa-l/crc.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "data/crc.h"

// ISA-L's 128-bit (SSE) folding kernel, exported beside its dispatcher: the
// peer of our narrow kernel.
extern "C" uint32_t crc32_gzip_refl_by8(uint32_t crc, const unsigned char* p, uint64_t n);

namespace {

constexpr size_t kSize = size_t(64) << 20;

const std::vector<unsigned char>& Buffer()
{
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> d(kSize);
        std::mt19937_64 rng(42);
        for (size_t i = 0; i < d.size(); i += 8) {
            const uint64_t v = rng();
            for (size_t k = 0; k < 8; ++k)
                d[i + k] = static_cast<unsigned char>(v >> (8 * k));
        }
        return d;
    }();
    return data;
}

template <typename F> void Run(benchmark::State& state, F f)
{
    const std::vector<unsigned char>& data = Buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(f(data.data(), data.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

// One of the library's kernels, chosen for this benchmark only.
template <typename F> void RunKernel(benchmark::State& state, crc::Kernel k, F f)
{
    if (!crc::Supported(k)) {
        state.SkipWithError("the processor lacks this kernel");
        return;
    }
    const crc::Kernel before = crc::ActiveKernel();
    crc::UseKernel(k);
    Run(state, f);
    crc::UseKernel(before);
}

uint32_t Ours32(const unsigned char* p, size_t n)
{
    return crc::Crc32(p, n);
}
uint32_t Ours16(const unsigned char* p, size_t n)
{
    return crc::Crc16(p, n);
}
uint32_t Bytewise32(const unsigned char* p, size_t n)
{
    return ~crc::UpdateBytewise(crc::kInit32, p, n, crc::kPoly32);
}
uint32_t Bytewise16(const unsigned char* p, size_t n)
{
    return crc::UpdateBytewise(crc::kInit16, p, n, crc::kPoly16);
}
uint32_t Zlib32(const unsigned char* p, size_t n)
{
    return static_cast<uint32_t>(crc32_z(0, p, n));
}
uint32_t Isal32(const unsigned char* p, size_t n)
{
    return crc32_gzip_refl(0, p, static_cast<uint64_t>(n));
}
uint32_t IsalSse32(const unsigned char* p, size_t n)
{
    return crc32_gzip_refl_by8(0, p, static_cast<uint64_t>(n));
}
uint32_t Isal16(const unsigned char* p, size_t n)
{
    // CRC-16/T10-DIF: another 16-bit polynomial, unreflected; the same work.
    return crc16_t10dif(0, p, static_cast<uint64_t>(n));
}

void Crc32Ours(benchmark::State& s)
{
    Run(s, Ours32);
}
void Crc32Clmul512(benchmark::State& s)
{
    RunKernel(s, crc::Kernel::Clmul512, Ours32);
}
void Crc32Clmul256(benchmark::State& s)
{
    RunKernel(s, crc::Kernel::Clmul256, Ours32);
}
void Crc32Clmul(benchmark::State& s)
{
    RunKernel(s, crc::Kernel::Clmul, Ours32);
}
void Crc32Table(benchmark::State& s)
{
    RunKernel(s, crc::Kernel::Table, Ours32);
}
void Crc32Bytewise(benchmark::State& s)
{
    Run(s, Bytewise32);
}
void Crc32Zlib(benchmark::State& s)
{
    Run(s, Zlib32);
}
void Crc32Isal(benchmark::State& s)
{
    Run(s, Isal32);
}
void Crc32IsalSse(benchmark::State& s)
{
    Run(s, IsalSse32);
}
void Crc16Ours(benchmark::State& s)
{
    Run(s, Ours16);
}
void Crc16Clmul512(benchmark::State& s)
{
    RunKernel(s, crc::Kernel::Clmul512, Ours16);
}
void Crc16Clmul256(benchmark::State& s)
{
    RunKernel(s, crc::Kernel::Clmul256, Ours16);
}
void Crc16Clmul(benchmark::State& s)
{
    RunKernel(s, crc::Kernel::Clmul, Ours16);
}
void Crc16Table(benchmark::State& s)
{
    RunKernel(s, crc::Kernel::Table, Ours16);
}
void Crc16Bytewise(benchmark::State& s)
{
    Run(s, Bytewise16);
}
void Crc16IsalT10dif(benchmark::State& s)
{
    Run(s, Isal16);
}

BENCHMARK(Crc32Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32Clmul512)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32Clmul256)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32Clmul)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32Table)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32Bytewise)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32Zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32Isal)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32IsalSse)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc16Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc16Clmul512)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc16Clmul256)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc16Clmul)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc16Table)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc16Bytewise)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc16IsalT10dif)->Unit(benchmark::kMillisecond);

// The same CRC from every CRC-32 method before the timing starts.
bool Agree()
{
    const std::vector<unsigned char>& d = Buffer();
    const uint32_t want = Zlib32(d.data(), d.size());
    bool ok = Isal32(d.data(), d.size()) == want && IsalSse32(d.data(), d.size()) == want &&
              Bytewise32(d.data(), d.size()) == want;
    const uint32_t want16 = Bytewise16(d.data(), d.size());
    const crc::Kernel before = crc::ActiveKernel();
    for (crc::Kernel k :
         {crc::Kernel::Table, crc::Kernel::Clmul, crc::Kernel::Clmul256, crc::Kernel::Clmul512}) {
        if (crc::UseKernel(k))
            ok = ok && Ours32(d.data(), d.size()) == want && Ours16(d.data(), d.size()) == want16;
    }
    crc::UseKernel(before);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!Agree()) {
        std::fprintf(stderr, "crc_bench: the methods disagree\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
