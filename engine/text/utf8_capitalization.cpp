#include "utf8_capitalization.h"

#include <algorithm>

#include "capitalization.h"
#include "utf8_decode.h"

namespace vorpel {

Utf8CapitalizationFilter::Utf8CapitalizationFilter(std::string_view word_sep,
                                                   std::string_view marks)
    : separators_(word_sep, TextEncoding::Utf8), marks_(marks), mark_finder_(marks_) {
  for (const auto& wide : separators_.Wide()) {
    longest_separator_ = std::max(longest_separator_, wide.size());
  }
}

// The character that has just ended: the fix's steps for it.
void Utf8CapitalizationFilter::EndCharacter() {
  const bool lone_byte = character_length_ == 1;
  const auto byte = static_cast<unsigned char>(character_.front());
  bool capitalize = false;
  if (at_start_) {
    // The first character is always passed through the capitalization
    // and never tested as a mark.
    capitalize = true;
    at_start_ = false;
  } else {
    const bool separator =
        character_length_ == character_.size() && separators_.IsSeparator(character_);
    if (after_mark_ && !separator) {
      capitalize = true;
      after_mark_ = false;
    }
    if (lone_byte && marks_.Contains(static_cast<char>(byte))) after_mark_ = true;
  }
  if (capitalize && pending_letter_ != nullptr) {
    *pending_letter_ = CapitalOf(*pending_letter_);
  }
  pending_letter_ = nullptr;
  in_character_ = false;
}

// One code point of length bytes; first_byte is where its first byte lives
// in the caller's block (null when it came in pieces).
void Utf8CapitalizationFilter::Take(const char* bytes, std::size_t length, char* first_byte) {
  std::size_t decoded = 0;
  const char32_t cp = DecodeAt(bytes, decoded);
  const bool starts = GraphemeBreaks::BreakBefore(state_, cp);
  if (in_character_ && starts) EndCharacter();
  if (!in_character_) {
    in_character_ = true;
    character_.assign(bytes, length);
    character_length_ = length;
    // A lone a-z may be capitalized once the character is known to end
    // right after it.
    pending_letter_ =
        length == 1 && IsLowerLetter(std::string_view(bytes, 1)) ? first_byte : nullptr;
    return;
  }
  // The character goes on: it is no lone letter.
  pending_letter_ = nullptr;
  if (character_.size() <= longest_separator_) {
    character_.append(bytes, std::min(length, longest_separator_ + 1 - character_.size()));
  }
  character_length_ += length;
}

// A byte that is part of no valid character: a character of its own,
// with a boundary before and after it.
void Utf8CapitalizationFilter::TakeStray(char byte) {
  if (in_character_) EndCharacter();
  in_character_ = true;
  character_.assign(1, byte);
  character_length_ = 1;
  pending_letter_ = nullptr;
  EndCharacter();
  state_ = GraphemeBreaks::StartState();
}

// Completes the code point cut by the end of the last block from the
// bytes at p; returns where the bytes of the block to be taken on their
// own begin.
char* Utf8CapitalizationFilter::CompletePartial(char* p, char* end) {
  while (partial_size_ > 0 && p != end) {
    partial_[partial_size_] = *p;
    const std::size_t length = Utf8SequenceAt(std::string_view(partial_.data(), partial_size_ + 1));
    if (length == 0) {
      // Broken: the bytes kept are strays (a lead byte and continuation
      // bytes), and the byte at p is taken afresh.
      for (std::size_t k = 0; k < partial_size_; ++k) TakeStray(partial_[k]);
      partial_size_ = 0;
      break;
    }
    ++partial_size_;
    ++p;
    if (length != kCutShort) {
      Take(partial_.data(), partial_size_, nullptr);
      partial_size_ = 0;
    }
  }
  return p;
}

void Utf8CapitalizationFilter::Apply(std::span<char> block) {
  char* p = CompletePartial(block.data(), block.data() + block.size());
  char* const end = block.data() + block.size();
  while (p != end) {
    const auto byte = static_cast<unsigned char>(*p);
    if (!after_mark_ && !at_start_ && byte < 0x80 && !marks_.Contains(static_cast<char>(byte)) &&
        pending_letter_ == nullptr &&
        !(in_character_ && character_length_ == 1 && marks_.Contains(character_.front()))) {
      // Nothing to fix until the next sentence end: skip ASCII that holds
      // no mark. A character beyond ASCII in between is taken one code
      // point at a time, as it may join the mark after it.
      char* const high =
          block.data() + mark_finder_.FindMemberOrHigh(std::string_view(block.data(), block.size()),
                                                       static_cast<std::size_t>(p - block.data()));
      if (high != p) {
        // Between ASCII bytes there is always a boundary: the character
        // now current is the last ASCII byte before high, and no mark.
        in_character_ = true;
        character_.assign(1, high[-1]);
        character_length_ = 1;
        state_ = GraphemeBreaks::StateAfterAscii(static_cast<unsigned char>(high[-1]));
        p = high;
        continue;
      }
    }
    // ASCII is always a whole character; only a lead byte needs checking.
    const std::size_t length =
        byte < 0x80 ? 1
                    : Utf8SequenceAt(std::string_view(
                          p, std::min<std::size_t>(4, static_cast<std::size_t>(end - p))));
    if (length == kCutShort) {
      // Cut by the end of the block: taken when the rest arrives.
      while (p != end) partial_[partial_size_++] = *p++;
      break;
    }
    if (length == 0) {
      TakeStray(*p++);
      continue;
    }
    Take(p, length, p);
    p += length;
  }
}

void Utf8CapitalizationFilter::Finish() {
  // A sequence cut short by the end of the text: its bytes are strays.
  for (std::size_t k = 0; k < partial_size_; ++k) TakeStray(partial_[k]);
  partial_size_ = 0;
  if (in_character_) EndCharacter();
}

}  // namespace vorpel
