#pragma once

// Finding the bytes of a small set in a text: word separators in the
// reader, sentence ends in the capitalization fix. Each test comes in a
// table version, for any set, and a vector version, for sets of up to four
// bytes, which compares 16 bytes at a time. This header is the one place
// that chooses instructions for the target.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorpel {

#if defined(__SSE2__)
inline constexpr bool kVectorByteScan = true;
#else
inline constexpr bool kVectorByteScan = false;
#endif

// The number of set bits of a 64-bit mask. With the POPCNT instruction in
// the build target this is that one instruction; without it, GCC turns
// std::popcount into a library call, so the same bit-trick is written
// inline, where it costs a dozen arithmetic operations and no call.
inline int CountBits(std::uint64_t mask) {
#if defined(__POPCNT__)
  return std::popcount(mask);
#else
  mask = mask - ((mask >> 1) & 0x5555555555555555ULL);
  mask = (mask & 0x3333333333333333ULL) + ((mask >> 2) & 0x3333333333333333ULL);
  mask = (mask + (mask >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((mask * 0x0101010101010101ULL) >> 56);
#endif
}

// Bit i set when p[i] is above 0x7F (a byte of a character beyond ASCII in
// UTF-8), for i in [0, 16). Reads 16 bytes.
inline std::uint32_t HighBits16(const char* p) {
#if defined(__SSE2__)
  return static_cast<std::uint32_t>(
      _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
#else
  std::uint32_t mask = 0;
  for (int i = 0; i < 16; ++i) {
    mask |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i]) >> 7) << i;
  }
  return mask;
#endif
}

// As HighBits16 for 64 bytes.
inline std::uint64_t HighBits64(const char* p) {
  return std::uint64_t{HighBits16(p)} | (std::uint64_t{HighBits16(p + 16)} << 16) |
         (std::uint64_t{HighBits16(p + 32)} << 32) | (std::uint64_t{HighBits16(p + 48)} << 48);
}

// Bit i set when p[i] is a UTF-8 continuation byte (0x80 to 0xBF), for i
// in [0, 64). Reads 64 bytes.
inline std::uint64_t ContinuationBits64(const char* p) {
  std::uint64_t mask = 0;
#if defined(__SSE2__)
  // As signed bytes, 0x80..0xBF are -128..-65: less than 0xC0 (-64).
  const __m128i below_c0 = _mm_set1_epi8(static_cast<char>(0xC0));
  for (std::size_t part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
    mask |= std::uint64_t{static_cast<std::uint32_t>(
                _mm_movemask_epi8(_mm_cmplt_epi8(bytes, below_c0)))}
            << (16 * part);
  }
#else
  for (int i = 0; i < 64; ++i) {
    mask |= std::uint64_t{(static_cast<unsigned char>(p[i]) & 0xC0) == 0x80} << i;
  }
#endif
  return mask;
}

// A set of byte values, kept as a 256-entry table so that a test is one
// load.
//
// **Example**:
//
//     const ByteSet separators(" \n");
//     separators.Contains(' ');  // true
class ByteSet {
 public:
  constexpr ByteSet() = default;

  // The set of the bytes of bytes; a byte given twice counts once.
  constexpr explicit ByteSet(std::string_view bytes) {
    for (const char c : bytes) Insert(c);
  }

  constexpr void Insert(char c) { table_[static_cast<unsigned char>(c)] = true; }
  constexpr bool Contains(char c) const { return table_[static_cast<unsigned char>(c)]; }

  // The members in ascending order of their byte values.
  std::string Members() const;

  // A mask of which of the 64 bytes from p are in the set: bit i is set
  // when p[i] is. Reads exactly 64 bytes.
  std::uint64_t Mask64(const char* p) const {
    std::uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) {
      mask |= static_cast<std::uint64_t>(table_[static_cast<unsigned char>(p[i])]) << i;
    }
    return mask;
  }

  // As Mask64 for the first count bytes from p (count <= 64); higher bits are 0.
  std::uint64_t Mask(const char* p, std::size_t count) const {
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < count; ++i) {
      mask |= static_cast<std::uint64_t>(table_[static_cast<unsigned char>(p[i])]) << i;
    }
    return mask;
  }

 private:
  std::array<bool, 256> table_{};
};

// The vector version of a ByteSet of one to Count members (Count at most 4):
// each member is compared with 16 bytes at once. Unused places repeat the
// first member, which changes no result, so a set of 1 byte may use
// SmallByteSet<4>. Without SSE2 the same results come from plain compares.
template <int Count>
class SmallByteSet {
  static_assert(Count >= 1 && Count <= 4);

 public:
  // Takes set's members; requires 1 to Count of them.
  explicit SmallByteSet(const ByteSet& set) {
    const std::string members = set.Members();
    for (int k = 0; k < Count; ++k) {
      const auto index = static_cast<std::size_t>(k);
      const char member = index < members.size() ? members[index] : members.front();
#if defined(__SSE2__)
      wanted_[k] = _mm_set1_epi8(member);
#else
      wanted_[k] = member;
#endif
    }
  }

  // Bit i set when p[i] is a member, for i in [0, 16). Reads 16 bytes.
  std::uint32_t Mask16(const char* p) const {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hit = _mm_cmpeq_epi8(bytes, wanted_[0]);
    for (int k = 1; k < Count; ++k) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(bytes, wanted_[k]));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
#else
    std::uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) {
      bool hit = false;
      for (int k = 0; k < Count; ++k) hit |= p[i] == wanted_[k];
      mask |= static_cast<std::uint32_t>(hit) << i;
    }
    return mask;
#endif
  }

  // Bit i set when p[i] is a member, for i in [0, 64). Reads 64 bytes.
  // Written out for the four parts: as a loop it is not unrolled at -O2,
  // and the loop's own work costs about as much as the comparisons.
  std::uint64_t Mask64(const char* p) const {
    return std::uint64_t{Mask16(p)} | (std::uint64_t{Mask16(p + 16)} << 16) |
           (std::uint64_t{Mask16(p + 32)} << 32) | (std::uint64_t{Mask16(p + 48)} << 48);
  }

 private:
#if defined(__SSE2__)
  __m128i wanted_[Count];
#else
  char wanted_[Count];
#endif
};

// The matcher of a set with no member: the mask is always empty.
struct NoBytes {
  std::uint64_t Mask64(const char*) const { return 0; }
};

// Calls scan with the quickest matcher of set's members, each with the
// same Mask64: NoBytes for none, a SmallByteSet for one to four (compared
// 16 bytes at a time), the table itself for more. Returns what scan does.
template <typename Scan>
decltype(auto) WithMatcher(const ByteSet& set, Scan&& scan) {
  switch (set.Members().size()) {
    case 0: return scan(NoBytes());
    case 1: return scan(SmallByteSet<1>(set));
    case 2: return scan(SmallByteSet<2>(set));
    case 3: return scan(SmallByteSet<3>(set));
    case 4: return scan(SmallByteSet<4>(set));
    default: return scan(set);
  }
}

// Finds the next byte of a set. Sets of up to four bytes are searched 32
// bytes a step with the vector version; larger sets, and the last few bytes
// of a text, byte by byte in the table.
//
// **Example**:
//
//     const ByteFinder ends(ByteSet(".!?"));
//     ends.Find("One. Two!", 0);  // 3
//     ends.Find("One. Two!", 4);  // 8
class ByteFinder {
 public:
  explicit ByteFinder(const ByteSet& set);

  // The index of the first byte of text at or after from that is in the
  // set; text.size() when there is none. Requires from <= text.size().
  std::size_t Find(std::string_view text, std::size_t from) const {
    if (empty_) return text.size();
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin + from;
    if (kVectorByteScan && vector_) {
      // 32 bytes a step: sentences run to about a hundred bytes, so the
      // step count, and with it the mispredicted exit, matters.
      while (end - p >= 32) {
        const std::uint32_t bits = small_.Mask16(p) | (small_.Mask16(p + 16) << 16);
        if (bits != 0) return static_cast<std::size_t>(p - begin) + std::countr_zero(bits);
        p += 32;
      }
      if (end - p >= 16) {
        const std::uint32_t bits = small_.Mask16(p);
        if (bits != 0) return static_cast<std::size_t>(p - begin) + std::countr_zero(bits);
        p += 16;
      }
    }
    while (p != end && !set_.Contains(*p)) ++p;
    return static_cast<std::size_t>(p - begin);
  }

  // As Find, for the first byte that is in the set or above 0x7F (where a
  // UTF-8 text has a character beyond ASCII).
  std::size_t FindMemberOrHigh(std::string_view text, std::size_t from) const {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin + from;
    if (kVectorByteScan && (vector_ || empty_)) {
      while (end - p >= 16) {
        const std::uint32_t bits = HighBits16(p) | (empty_ ? 0 : small_.Mask16(p));
        if (bits != 0) return static_cast<std::size_t>(p - begin) + std::countr_zero(bits);
        p += 16;
      }
    }
    while (p != end && !set_.Contains(*p) && static_cast<unsigned char>(*p) < 0x80) ++p;
    return static_cast<std::size_t>(p - begin);
  }

 private:
  ByteFinder(const ByteSet& set, const std::string& members);

  ByteSet set_;
  SmallByteSet<4> small_;
  bool empty_ = true;    // no member: nothing is ever found
  bool vector_ = false;  // one to four members: small_ holds them
};

}  // namespace vorpel
