#include "capitalization.h"

namespace vorpel {

std::string CapitalizeChar(std::string_view s) {
  if (s.empty()) return {};
  return std::string(1, CapitalOf(s.front()));
}

CapitalizationFilter::CapitalizationFilter(std::string_view word_sep, std::string_view marks)
    : CapitalizationFilter(WordSeparators(word_sep, TextEncoding::RawBytes), marks) {}

CapitalizationFilter::CapitalizationFilter(const WordSeparators& word_seps, std::string_view marks)
    : separators_(word_seps.Bytes()), marks_(marks), mark_finder_(marks_) {}

void CapitalizationFilter::Apply(std::span<char> block) {
  char* p = block.data();
  char* const end = p + block.size();
  if (p == end) return;
  if (at_start_) {
    // The very first byte is always capitalized and never tested as a mark.
    *p = CapitalOf(*p);
    at_start_ = false;
    after_mark_ = false;
    ++p;
  }
  const std::string_view text(block.data(), block.size());
  // A local flag: the byte stores below could alias the member, which would
  // make the compiler reload it at every byte.
  bool after_mark = after_mark_;
  while (p != end) {
    if (!after_mark) {
      // Most of the text: skip to the next sentence end. This search is
      // where the filter spends its time.
      p = block.data() + mark_finder_.Find(text, static_cast<std::size_t>(p - block.data()));
      if (p == end) break;
      after_mark = true;
      ++p;
      continue;
    }
    const char c = *p;
    if (!separators_.Contains(c)) {
      // About half the sentences start with a capital already.
      *p = CapitalOf(c);
      after_mark = false;
    }
    // Tested on the byte as read: a mark right after a mark takes the flag
    // and sets it again.
    if (marks_.Contains(c)) after_mark = true;
    ++p;
  }
  after_mark_ = after_mark;
}

}  // namespace vorpel
