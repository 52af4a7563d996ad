#pragma once

// Reading UTF-8 one code point at a time: where a sequence starts and
// ends, whether the bytes at a position form one, and its value.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vorpel {

// Whether byte continues a UTF-8 sequence (10xxxxxx) rather than starts one.
inline bool IsUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Where the sequence starting at p (a lead byte of a valid text) ends: its
// length from its first byte, 1 for ASCII.
inline std::size_t SequenceLength(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// What the bytes at the start of text begin with, for text that may hold
// bytes that are no UTF-8: the length of the well-formed sequence there (1
// for ASCII), 0 when there is none (a stray continuation byte, C0, C1, F5
// to FF, a broken sequence: its first byte is then a character of its
// own), or kCutShort when text ends inside what may still become one.
inline constexpr std::size_t kCutShort = SIZE_MAX;
std::size_t Utf8SequenceAt(std::string_view text);

// The code point at p in valid UTF-8; length gets its byte count.
inline char32_t DecodeAt(const char* p, std::size_t& length) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  const unsigned char lead = u[0];
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  if (lead < 0xE0) {
    length = 2;
    return (char32_t{lead & 0x1Fu} << 6) | (u[1] & 0x3Fu);
  }
  if (lead < 0xF0) {
    length = 3;
    return (char32_t{lead & 0x0Fu} << 12) | (char32_t{u[1] & 0x3Fu} << 6) | (u[2] & 0x3Fu);
  }
  length = 4;
  return (char32_t{lead & 0x07u} << 18) | (char32_t{u[1] & 0x3Fu} << 12) |
         (char32_t{u[2] & 0x3Fu} << 6) | (u[3] & 0x3Fu);
}

// The four bytes at p as a little-endian word: the byte at p is the low
// byte, which is what a plain load gives on the machines the program is
// built for. DecodeWord, DecodeEndingAt and the letter index take a code
// point's first byte from the low bits; a big-endian machine would need a
// byte swap here.
static_assert(std::endian::native == std::endian::little,
              "LoadWord reads the byte at p into the low bits of the word");
inline std::uint32_t LoadWord(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The code point whose bytes start word, four bytes of valid UTF-8 read
// little-endian (bytes after its last one are ignored), without branches on
// its length, which varies from one code point to the next.
inline char32_t DecodeWord(std::uint32_t word) {
  const std::uint32_t lead = word & 0xFF;
  const auto ones = static_cast<unsigned>(std::countl_one(static_cast<std::uint8_t>(lead)));
  const std::uint32_t full = ((lead & (0x7Fu >> ones)) << 18) | (((word >> 8) & 0x3F) << 12) |
                             (((word >> 16) & 0x3F) << 6) | ((word >> 24) & 0x3F);
  // An ASCII byte (no leading ones) stands alone in the top bits, as the
  // lead byte of a one-byte sequence would; a table rather than a
  // condition keeps the compiler from branching on it.
  static constexpr std::array<unsigned char, 5> kShift = {18, 18, 12, 6, 0};
  return full >> kShift[ones];
}

// The length of the well-formed sequence at p (at most end - p bytes
// looked at), or 0 when the bytes there are no well-formed sequence.
inline std::size_t WellFormedLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return 1;
  const std::size_t available = static_cast<std::size_t>(end - p);
  // The allowed range of the second byte depends on the first; the others
  // are plain continuation bytes.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong below
    if (lead == 0xED) high = 0x9F;  // surrogates above
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong below
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF above
  } else {
    return 0;  // a continuation byte, C0, C1 or F5..FF
  }
  if (available < length) return 0;
  if (p[1] < low || p[1] > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (!IsUtf8Continuation(p[k])) return 0;
  }
  return length;
}

}  // namespace vorpel
