#include "random_draw.h"

#include <chrono>
#include <exception>

namespace vorpel {
namespace {

// The full 128-bit product of two 64-bit numbers. The compiler's 128-bit
// integer gives it in one multiply where there is one (GCC and Clang on
// 64-bit targets); elsewhere four 32-bit partial products are added up.
// Both are exact, so every build computes the same draws.
struct Product128 {
  std::uint64_t high;
  std::uint64_t low;
};

Product128 Multiply(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
  __extension__ typedef unsigned __int128 Wide;
  const Wide product = static_cast<Wide>(a) * b;
  return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
#else
  const std::uint64_t a_low = a & 0xFFFFFFFFu, a_high = a >> 32;
  const std::uint64_t b_low = b & 0xFFFFFFFFu, b_high = b >> 32;
  const std::uint64_t low_low = a_low * b_low;
  const std::uint64_t high_low = a_high * b_low;
  const std::uint64_t low_high = a_low * b_high;
  const std::uint64_t high_high = a_high * b_high;
  const std::uint64_t middle = (low_low >> 32) + (high_low & 0xFFFFFFFFu) + low_high;
  return {high_high + (high_low >> 32) + (middle >> 32), (middle << 32) | (low_low & 0xFFFFFFFFu)};
#endif
}

std::uint64_t SplitMix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15u;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
  return x ^ (x >> 31);
}

}  // namespace

std::uint64_t RandomDraw::Below(std::uint64_t bound) {
  // Lemire's multiply-and-reject: the high half of x * bound is uniform in
  // [0, bound) once the few low halves below 2^64 mod bound are rejected.
  Product128 product = Multiply(engine_(), bound);
  if (product.low < bound) {
    const std::uint64_t threshold = (0 - bound) % bound;
    while (product.low < threshold) product = Multiply(engine_(), bound);
  }
  return product.high;
}

std::uint64_t ClockSeed() {
  const auto now = static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  std::uint64_t entropy = 0;
  try {
    std::random_device device;
    entropy = (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (const std::exception&) {
    // No entropy source: the clock alone still differs from call to call.
  }
  return SplitMix64(now ^ SplitMix64(entropy));
}

}  // namespace vorpel
