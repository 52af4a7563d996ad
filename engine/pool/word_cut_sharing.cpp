#include "word_cut_sharing.h"

#include <limits>
#include <new>

namespace vorpel {

bool SharedWordEnds::SetOut(std::size_t size, std::size_t part) {
  parts = (size + part - 1) / part;
  if (parts < 2 || parts > std::numeric_limits<std::uint32_t>::max()) return false;
  lowest_second = parts / 4;
  region = lowest_second * part;
  try {
    ends.Reserve((size - region + 63) / 64 * sizeof(std::uint64_t));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

std::optional<std::size_t> PartClaims::Claim(bool from_start) {
  std::uint64_t now = bounds_.load();
  for (;;) {
    const std::uint64_t front = now >> 32;
    const std::uint64_t back = now & 0xFFFFFFFFu;
    if (front >= back || (!from_start && back - 1 < lowest_back_)) return std::nullopt;
    const std::uint64_t next = from_start ? now + (std::uint64_t{1} << 32) : now - 1;
    if (bounds_.compare_exchange_weak(now, next)) {
      return static_cast<std::size_t>(from_start ? front : back - 1);
    }
  }
}

}  // namespace vorpel
