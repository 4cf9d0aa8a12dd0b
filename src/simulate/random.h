// Pseudo-random numbers for the recording simulator, identical on every machine.
//
// splitmix64 and plain double arithmetic only: no standard-library distributions (their output
// differs between library implementations) and no transcendental functions.
#pragma once

#include <cstdint>

class Rng {
 public:
  // `stream` separates independent sequences drawn from one seed.
  Rng(std::uint64_t seed, std::uint64_t stream) : state_(seed) {
    state_ ^= stream * 0xD1B54A32D192ED03ULL;
    next();
  }

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // Uniform in [0, 1), 53 random bits.
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  double uniform(double low, double high) { return low + (high - low) * uniform(); }
  bool chance(double probability) { return uniform() < probability; }

  // Zero mean, unit variance, bell-shaped and bounded by +-sqrt(12): the sum of four uniforms.
  double noise() {
    const double sum = ((uniform() + uniform()) + uniform()) + uniform();
    return (sum - 2.0) * 1.7320508075688772;  // sqrt(3): the sum's variance is 1/3
  }

 private:
  std::uint64_t state_;
};
