#pragma once

// Cutting a valid UTF-8 text into its characters (see grapheme_breaks.h
// for what a character is).

#include <cstddef>
#include <string_view>
#include <vector>

#include "grapheme_breaks.h"

namespace vorpel {

// Cuts valid UTF-8 text into its characters.
std::vector<std::string_view> SplitCharacters(std::string_view text);

// The end of the character that starts at begin (a boundary) in valid
// UTF-8 text.
std::size_t CharacterEnd(std::string_view text, std::size_t begin);

// Finds the character that starts at a position of a long valid UTF-8
// text, for positions asked in increasing order, without segmenting the
// text before them: the state is taken up after the nearest ASCII byte (or
// where the previous question left it), so the total work stays linear.
class CharacterProbe {
 public:
  explicit CharacterProbe(std::string_view text) : text_(text) {}

  // The end of the character starting at begin, or 0 when begin (a code
  // point start, at least the begin of the previous call) lies inside a
  // character.
  std::size_t CharacterAt(std::size_t begin);

 private:
  std::string_view text_;
  std::size_t cursor_ = 0;  // a position whose state is known
  GraphemeBreaks::State cursor_state_ = GraphemeBreaks::StartState();
  std::size_t inside_until_ = 0;  // positions before it, after the last found start, are inside
};

}  // namespace vorpel
