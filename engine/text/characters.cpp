#include "characters.h"

#include "utf8_decode.h"

namespace vorpel {

std::size_t CharacterEnd(std::string_view text, std::size_t begin) {
  std::size_t length = 0;
  GraphemeBreaks::State state = GraphemeBreaks::StartState();
  GraphemeBreaks::BreakBefore(state, DecodeAt(text.data() + begin, length));
  std::size_t end = begin + length;
  while (end < text.size()) {
    const char32_t cp = DecodeAt(text.data() + end, length);
    if (GraphemeBreaks::BreakBefore(state, cp)) break;
    end += length;
  }
  return end;
}

std::vector<std::string_view> SplitCharacters(std::string_view text) {
  std::vector<std::string_view> characters;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = CharacterEnd(text, begin);
    characters.push_back(text.substr(begin, end - begin));
    begin = end;
  }
  return characters;
}

std::size_t CharacterProbe::CharacterAt(std::size_t begin) {
  if (begin < inside_until_) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
  // Where to take the state up: the cursor, or right after the last ASCII
  // byte before begin, whichever is nearer.
  std::size_t from = begin;
  while (from > cursor_ && bytes[from - 1] >= 0x80) --from;
  GraphemeBreaks::State state = cursor_state_;
  if (from > cursor_) state = GraphemeBreaks::StateAfterAscii(bytes[from - 1]);
  if (from < cursor_) from = cursor_;
  std::size_t length = 0;
  while (from < begin) {
    GraphemeBreaks::BreakBefore(state, DecodeAt(text_.data() + from, length));
    from += length;
  }
  const bool starts = GraphemeBreaks::BreakBefore(state, DecodeAt(text_.data() + begin, length));
  std::size_t end = begin + length;
  if (!starts) {
    cursor_ = end;
    cursor_state_ = state;
    return 0;
  }
  while (end < text_.size()) {
    GraphemeBreaks::State before = state;
    if (GraphemeBreaks::BreakBefore(state, DecodeAt(text_.data() + end, length))) {
      state = before;
      break;
    }
    end += length;
  }
  cursor_ = end;
  cursor_state_ = state;
  inside_until_ = end;
  return end;
}

}  // namespace vorpel
