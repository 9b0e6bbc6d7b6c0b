// A small seeded random source (SplitMix64) for the reliability tests: the
// same seed gives the same values on every machine and run.
#pragma once

#include <cstdint>
#include <vector>

namespace reliability {

class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed) {}

    uint64_t next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n - 1 (0 when n is 0).
    uint32_t below(uint32_t n) { return n ? static_cast<uint32_t>(next() % n) : 0; }
    // lo .. hi, both included.
    uint32_t between(uint32_t lo, uint32_t hi) { return lo + below(hi - lo + 1); }
    bool oneIn(uint32_t n) { return below(n) == 0; }
    template <typename T> const T& pick(const std::vector<T>& items)
    {
        return items[below(static_cast<uint32_t>(items.size()))];
    }

  private:
    uint64_t state_;
};

// The seed of call `index` of a run: every call's values can be made again
// from the run's seed and the call's number alone.
inline uint64_t CallSeed(uint64_t runSeed, uint64_t index)
{
    Rng mix(runSeed ^ (index * 0xD1B54A32D192ED03ull));
    return mix.next();
}

} // namespace reliability
