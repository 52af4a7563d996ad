#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "byte_scan.h"
#include "grapheme_breaks.h"
#include "word_separators.h"

namespace vorpel {

// The fix on UTF-8 text, where a character is a grapheme cluster (CR and
// LF apart): the first character of the text, and after each sentence end
// (a character that is one of marks' bytes) the first character that is
// not one of WordSep's characters, become capitals when they are one of
// "a" to "z" by themselves. A letter with a combining accent is a
// character beyond ASCII and stays as it is, and no character is ever
// split. Blocks may be cut anywhere, even inside a character. A byte that
// is part of no valid character (a stray of WordSep that closed a word,
// or anything else) is a character of its own, a separator when WordSep
// holds it.
//
// Whether a letter is a character by itself depends on the code point
// after it: when that is not in the block yet, the letter is pending and
// PendingLetter() points at it until a later Apply or Finish decides
// (the caller keeps the letter's byte, and the bytes after it, until
// then, and tells where they went with MovePendingLetter).
class Utf8CapitalizationFilter {
 public:
  Utf8CapitalizationFilter(std::string_view word_sep, std::string_view marks);
  void Apply(std::span<char> block);
  // The end of the text: a pending letter is a character by itself.
  void Finish();
  char* PendingLetter() const { return pending_letter_; }
  void MovePendingLetter(char* to) { pending_letter_ = to; }

 private:
  void Take(const char* bytes, std::size_t length, char* first_byte);
  void TakeStray(char byte);
  char* CompletePartial(char* p, char* end);
  void EndCharacter();

  WordSeparators separators_;
  ByteSet marks_;
  ByteFinder mark_finder_;
  std::size_t longest_separator_ = 1;
  GraphemeBreaks::State state_ = GraphemeBreaks::StartState();
  bool at_start_ = true;  // no character ended yet
  bool after_mark_ = false;
  bool in_character_ = false;
  // The current character's first bytes (enough to compare with the
  // separators) and its full length.
  std::string character_;
  std::size_t character_length_ = 0;
  char* pending_letter_ = nullptr;  // the current character, a lone a-z so far
  // A code point cut by the end of a block.
  std::array<char, 4> partial_{};
  std::size_t partial_size_ = 0;
};

}  // namespace vorpel
