#pragma once

// The capitalization fix on 8-bit text, and the two tests it is made of:
// whether a character is a lowercase letter, and its capital.

#include <span>
#include <string>
#include <string_view>

#include "byte_scan.h"
#include "word_separators.h"

namespace vorpel {

// What is added to a capital 'A'..'Z' to give its lowercase letter.
inline constexpr char kCaseOffset = 'a' - 'A';

// True when the first byte of s is 'a'..'z'. False for an empty s.
inline bool IsLowerLetter(std::string_view s) {
  return !s.empty() && s.front() >= 'a' && s.front() <= 'z';
}

// The byte c, turned into its capital when it is 'a'..'z'. Without a
// branch: the filters call it where a capital is as common as not, which
// a branch would mispredict often.
inline char CapitalOf(char c) {
  return static_cast<char>(c - (IsLowerLetter(std::string_view(&c, 1)) ? kCaseOffset : 0));
}

// The first byte of s as a one-byte string, turned into its capital when it
// is 'a'..'z'. Empty for an empty s.
std::string CapitalizeChar(std::string_view s);

// The capitalization fix as a stream filter: the first byte of the text,
// and after each sentence end (a byte of marks) the first byte that is not
// a word separator (a byte of word_sep), become capitals when they are
// 'a'..'z'. Nothing else changes; the length stays the same. Blocks may be
// cut anywhere: the state carries over from one Apply to the next.
class CapitalizationFilter {
 public:
  CapitalizationFilter(std::string_view word_sep, std::string_view marks);
  // The same for an 8-bit text, with separators as WordSeparators gives
  // them to a source of that encoding (EightBit or RawBytes).
  CapitalizationFilter(const WordSeparators& word_seps, std::string_view marks);
  void Apply(std::span<char> block);

 private:
  ByteSet separators_;
  ByteSet marks_;
  ByteFinder mark_finder_;
  bool at_start_ = true;
  bool after_mark_ = false;
};

}  // namespace vorpel
