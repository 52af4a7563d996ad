#pragma once

#include <cstdint>
#include <random>

namespace vorpel {

// The writer's generator: a 64-bit Mersenne Twister, whose output the C++
// standard fixes for a given seed, with the range reduction done here
// (unbiased, Lemire's method) so a seed gives the same draws with every
// standard library.
class RandomDraw {
 public:
  explicit RandomDraw(std::uint64_t seed) : engine_(seed) {}

  // Uniform in [0, bound); bound must be at least 1.
  std::uint64_t Below(std::uint64_t bound);

 private:
  std::mt19937_64 engine_;
};

// A fresh seed from the clock mixed with std::random_device, different for
// every call.
std::uint64_t ClockSeed();

}  // namespace vorpel
