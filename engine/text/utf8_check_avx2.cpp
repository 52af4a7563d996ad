#include "utf8_check_avx2.h"

#if defined(VORPEL_UTF8_CHECK_AVX2)

#include <immintrin.h>

#include <cstdint>

namespace vorpel::detail {
namespace {

// Validation 64 bytes at a time with AVX2, after the lookup method of
// Keiser and Lemire ("Validating UTF-8 In Less Than One Instruction Per
// Byte", 2021): three table lookups on the high and low nibbles of each
// byte and the one before it classify every two-byte pattern; a check of
// the bytes two and three back covers the longer sequences.

// Error kinds, one bit each; a pair of bytes is wrong when all three
// lookups agree on some bit.
constexpr char kTooShort = 1 << 0;   // lead, then no continuation
constexpr char kTooLong = 1 << 1;    // ASCII, then a continuation
constexpr char kOverlong3 = 1 << 2;  // E0 80..9F
constexpr char kTooLarge = 1 << 3;   // F4 90..BF, F5..FF
constexpr char kSurrogate = 1 << 4;  // ED A0..BF
constexpr char kOverlong2 = 1 << 5;  // C0, C1
constexpr char kTooLarge1000 = 1 << 6;
constexpr char kOverlong4 = 1 << 6;                  // F0 80..8F
constexpr char kTwoConts = static_cast<char>(0x80);  // a continuation after a continuation
constexpr char kCarry = kTooShort | kTooLong | kTwoConts;
constexpr char kLarge = kTooLarge | kTooLarge1000;

// The same 16 entries in both halves, as the byte shuffle looks up per half.
#define VORPEL_TABLE16(...) _mm256_broadcastsi128_si256(_mm_setr_epi8(__VA_ARGS__))

struct Avx2Tables {
  __m256i byte1_high;
  __m256i byte1_low;
  __m256i byte2_high;
};

__attribute__((target("avx2"))) inline __m256i Avx2Errors(const Avx2Tables& tables, __m256i input,
                                                          __m256i previous) {
  const __m256i low_nibble = _mm256_set1_epi8(0x0F);
  const __m256i shifted = _mm256_permute2x128_si256(previous, input, 0x21);
  const __m256i prev1 = _mm256_alignr_epi8(input, shifted, 15);
  const __m256i prev2 = _mm256_alignr_epi8(input, shifted, 14);
  const __m256i prev3 = _mm256_alignr_epi8(input, shifted, 13);
  const __m256i b1h = _mm256_shuffle_epi8(
      tables.byte1_high, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), low_nibble));
  const __m256i b1l = _mm256_shuffle_epi8(tables.byte1_low, _mm256_and_si256(prev1, low_nibble));
  const __m256i b2h = _mm256_shuffle_epi8(
      tables.byte2_high, _mm256_and_si256(_mm256_srli_epi16(input, 4), low_nibble));
  const __m256i special = _mm256_and_si256(_mm256_and_si256(b1h, b1l), b2h);
  // Bytes that must be the second or third continuation of a sequence.
  const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 1)));
  const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 1)));
  const __m256i must_continue =
      _mm256_cmpgt_epi8(_mm256_or_si256(third, fourth), _mm256_setzero_si256());
  return _mm256_xor_si256(
      _mm256_and_si256(must_continue, _mm256_set1_epi8(static_cast<char>(0x80))), special);
}

}  // namespace

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

__attribute__((target("avx2"))) std::size_t Avx2FirstSuspectBlock(const unsigned char* text,
                                                                  std::size_t size, bool& ascii) {
  Avx2Tables tables;
  tables.byte1_high =
      VORPEL_TABLE16(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                     kTwoConts, kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
                     kTooShort | kOverlong3 | kSurrogate, kTooShort | kLarge | kOverlong4);
  tables.byte1_low = VORPEL_TABLE16(
      kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
      kCarry | kTooLarge, kCarry | kLarge, kCarry | kLarge, kCarry | kLarge, kCarry | kLarge,
      kCarry | kLarge, kCarry | kLarge, kCarry | kLarge, kCarry | kLarge,
      kCarry | kLarge | kSurrogate, kCarry | kLarge, kCarry | kLarge);
  tables.byte2_high = VORPEL_TABLE16(
      kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge, kTooShort, kTooShort, kTooShort,
      kTooShort);
  // A block that ends inside a sequence: its last three bytes above these.
  const __m256i open_floor =
      _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                       static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));

  __m256i previous = _mm256_setzero_si256();
  std::size_t offset = 0;
  bool seen_high = false;
  for (; offset + 64 <= size; offset += 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + offset));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + offset + 32));
    if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0) {
      // All ASCII: only a sequence left open by the block before can be
      // wrong here.
      const __m256i open = _mm256_subs_epu8(previous, open_floor);
      if (!_mm256_testz_si256(open, open)) break;
      previous = b;
      continue;
    }
    seen_high = true;
    const __m256i error =
        _mm256_or_si256(Avx2Errors(tables, a, previous), Avx2Errors(tables, b, a));
    if (!_mm256_testz_si256(error, error)) break;
    previous = b;
  }
  if (seen_high) ascii = false;
  return offset;
}
#undef VORPEL_TABLE16

}  // namespace vorpel::detail

#endif
