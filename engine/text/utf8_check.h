#pragma once

// Whether a text is valid UTF-8, and where it first is not: over a whole
// text, over a text given in pieces, or over two parts checked at once.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace vorpel {

struct Utf8Check {
  // The offset of the first byte of the first invalid sequence (a stray
  // continuation byte, an overlong form, a surrogate, a value above
  // U+10FFFF, a sequence cut short); nullopt when the text is valid.
  std::optional<std::size_t> first_invalid;
  bool ascii_only = true;  // no byte above 0x7F (only meaningful when valid)

  bool Valid() const { return !first_invalid; }
};

// Checks a whole text.
Utf8Check CheckUtf8(std::string_view text);

// The same check over a text given in consecutive pieces (as it is read),
// with the same answer as CheckUtf8 of the pieces joined. A sequence may be
// cut anywhere between two pieces.
class Utf8Checker {
 public:
  void Feed(std::string_view piece);
  Utf8Check Finish() const;

  // A checker for the part of a text from offset on, which another thread
  // may check while this one checks the part before; the part may begin
  // inside a sequence. Offsets it names count from the start of the text.
  static Utf8Checker Midway(std::size_t offset);
  // Takes in the check of the part that follows the pieces fed so far (a
  // Midway checker of the offset where they end): the answer is then the
  // one a single checker fed both parts gives.
  void Join(const Utf8Checker& next);

 private:
  // A Midway checker keeps back up to three continuation bytes at its
  // start, which may end a sequence of the part before, for Join.
  bool taking_head_ = false;
  std::array<char, 3> head_{};
  std::size_t head_size_ = 0;

  std::size_t consumed_ = 0;  // bytes of earlier pieces, the carry included
  std::array<char, 4> carry_{};
  std::size_t carry_size_ = 0;  // an incomplete sequence at the end of the pieces so far
  std::optional<std::size_t> first_invalid_;
  bool ascii_only_ = true;
};

}  // namespace vorpel
