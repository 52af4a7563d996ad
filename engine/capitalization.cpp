#include "capitalization.h"

#include <bit>
#include <cstdint>
#include <string>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorpel {
namespace {

constexpr char kCaseOffset = 'a' - 'A';

bool IsLowerByte(char c) { return c >= 'a' && c <= 'z'; }

// Finds the next sentence end. Most of the text lies between sentence ends,
// so this search is where the filter spends its time: with up to four
// distinct marks it compares 16 bytes at once with SSE2, otherwise it looks
// each byte up in the table.
class MarkFinder {
 public:
  explicit MarkFinder(const std::array<bool, 256>& is_mark) : is_mark_(is_mark) {
    char marks[kMaxVectorMarks] = {};
    for (int byte = 0; byte < 256; ++byte) {
      if (!is_mark[static_cast<std::size_t>(byte)]) continue;
      if (count_ < kMaxVectorMarks) marks[count_] = static_cast<char>(byte);
      ++count_;
    }
#if defined(__SSE2__)
    // Unused places repeat the first mark, which changes nothing.
    for (int k = 0; k < kMaxVectorMarks; ++k) {
      wanted_[k] = _mm_set1_epi8(k < count_ ? marks[k] : marks[0]);
    }
#endif
  }

  // The first mark in [p, end), or end.
  char* Find(char* p, char* end) const {
    if (count_ == 0) return end;
#if defined(__SSE2__)
    if (count_ <= kMaxVectorMarks) {
      // 32 bytes a step: sentences run to about a hundred bytes, so the
      // step count, and with it the mispredicted exit, matters.
      while (end - p >= 32) {
        const std::uint32_t bits = MarkBits(p) | (MarkBits(p + 16) << 16);
        if (bits != 0) return p + std::countr_zero(bits);
        p += 32;
      }
      if (end - p >= 16) {
        const std::uint32_t bits = MarkBits(p);
        if (bits != 0) return p + std::countr_zero(bits);
        p += 16;
      }
    }
#endif
    while (p != end && !is_mark_[static_cast<unsigned char>(*p)]) ++p;
    return p;
  }

 private:
  static constexpr int kMaxVectorMarks = 4;

#if defined(__SSE2__)
  // Bit i set when p[i] is a mark, for i in [0, 16).
  std::uint32_t MarkBits(const char* p) const {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, wanted_[0]), _mm_cmpeq_epi8(bytes, wanted_[1])),
        _mm_or_si128(_mm_cmpeq_epi8(bytes, wanted_[2]), _mm_cmpeq_epi8(bytes, wanted_[3])));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
  }
#endif

  const std::array<bool, 256>& is_mark_;
  int count_ = 0;
#if defined(__SSE2__)
  __m128i wanted_[kMaxVectorMarks];
#endif
};

}  // namespace

bool IsLowerLetter(std::string_view s) { return !s.empty() && IsLowerByte(s.front()); }

std::string CapitalizeChar(std::string_view s) {
  if (s.empty()) return {};
  const char c = s.front();
  return std::string(1, IsLowerByte(c) ? static_cast<char>(c - kCaseOffset) : c);
}

CapitalizationFilter::CapitalizationFilter(std::string_view word_sep, std::string_view marks) {
  for (const char c : word_sep) is_separator_[static_cast<unsigned char>(c)] = true;
  for (const char c : marks) is_mark_[static_cast<unsigned char>(c)] = true;
}

void CapitalizationFilter::Apply(std::span<char> block) {
  char* p = block.data();
  char* const end = p + block.size();
  if (p == end) return;
  if (at_start_) {
    // The very first byte is always capitalized and never tested as a mark.
    if (IsLowerByte(*p)) *p = static_cast<char>(*p - kCaseOffset);
    at_start_ = false;
    after_mark_ = false;
    ++p;
  }
  const MarkFinder marks(is_mark_);
  // A local flag: the byte stores below could alias the member, which would
  // make the compiler reload it at every byte.
  bool after_mark = after_mark_;
  while (p != end) {
    if (!after_mark) {
      // Most of the text: skip to the next sentence end.
      p = marks.Find(p, end);
      if (p == end) break;
      after_mark = true;
      ++p;
      continue;
    }
    const char c = *p;
    const auto byte = static_cast<unsigned char>(c);
    if (!is_separator_[byte]) {
      // Without a branch: about half the sentences start with a capital
      // already, so the test would be mispredicted often.
      *p = static_cast<char>(c - (IsLowerByte(c) ? kCaseOffset : 0));
      after_mark = false;
    }
    // Tested on the byte as read: a mark right after a mark takes the flag
    // and sets it again.
    if (is_mark_[byte]) after_mark = true;
    ++p;
  }
  after_mark_ = after_mark;
}

FileStatus CapitalizingSink::Write(std::span<char> block) {
  filter_.Apply(block);
  return next_.Write(block);
}

FileStatus FixCapitalization(const std::filesystem::path& intermediate,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep) {
  if (target.empty()) return FileError{target.string(), make_error_code(FileErrc::EmptyPath)};
  if (!FileExists(intermediate)) {
    return FileError{intermediate.string(),
                     std::make_error_code(std::errc::no_such_file_or_directory)};
  }
  // The intermediate file is opened before the target's new file is made,
  // and the target is only replaced once all of it has been copied, so a
  // target equal to the intermediate file still gets the fixed text.
  AtomicFileWriter output;
  CapitalizingSink fixer(output, word_sep, marks);
  bool opened = false;
  constexpr std::size_t kBlockSize = std::size_t{4} << 20;
  FileStatus status = ForEachBlock(intermediate, /*follow_links=*/false, kBlockSize,
                                   [&](std::span<char> block) -> FileStatus {
                                     if (!opened) {
                                       if (auto error = output.Open(target, LinkPolicy::Follow)) {
                                         return error;
                                       }
                                       opened = true;
                                     }
                                     return fixer.Write(block);
                                   });
  if (status) return status;
  if (!opened) {
    // An empty intermediate file gives an empty target.
    if (auto error = output.Open(target, LinkPolicy::Follow)) return error;
  }
  return output.Commit();
}

}  // namespace vorpel
