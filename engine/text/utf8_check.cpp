#include "utf8_check.h"

#include <cstdint>
#include <cstring>

#include "tuning.h"
#include "utf8_check_avx2.h"
#include "utf8_decode.h"

namespace vorpel {
namespace {

// The offset of the first invalid sequence in [p, end), or the size when
// there is none. ascii is cleared when a byte above 0x7F is met.
std::size_t ScalarFirstInvalid(const unsigned char* begin, const unsigned char* end, bool& ascii) {
  const unsigned char* p = begin;
  while (p < end) {
    // Eight ASCII bytes at a time.
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      if ((word & 0x8080808080808080u) != 0) break;
      p += 8;
    }
    if (p == end) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    ascii = false;
    const std::size_t length = WellFormedLength(p, end);
    if (length == 0) return static_cast<std::size_t>(p - begin);
    p += length;
  }
  return static_cast<std::size_t>(end - begin);
}

// Where scalar checking may resume near offset at: the first byte at or
// after at - 3 that is no continuation byte. Everything before it has been
// found valid, so starting there sees every sequence that reaches at.
std::size_t ResumePoint(const unsigned char* text, std::size_t at) {
  std::size_t from = at >= 3 ? at - 3 : 0;
  while (from < at && IsUtf8Continuation(text[from])) ++from;
  return from;
}

// First invalid offset in a complete text (a sequence cut by the end is
// invalid), or the size.
std::size_t FirstInvalid(const unsigned char* text, std::size_t size, bool& ascii) {
  std::size_t from = 0;
#if defined(VORPEL_UTF8_CHECK_AVX2)
  if (detail::HaveAvx2() && CurrentTuning().avx2_utf8_check) {
    const std::size_t suspect = detail::Avx2FirstSuspectBlock(text, size, ascii);
    from = ResumePoint(text, suspect);
  }
#endif
  return from + ScalarFirstInvalid(text + from, text + size, ascii);
}

}  // namespace

Utf8Check CheckUtf8(std::string_view text) {
  Utf8Check result;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  bool ascii = true;
  const std::size_t invalid = FirstInvalid(bytes, text.size(), ascii);
  if (invalid < text.size()) result.first_invalid = invalid;
  result.ascii_only = ascii;
  return result;
}

Utf8Checker Utf8Checker::Midway(std::size_t offset) {
  Utf8Checker checker;
  checker.taking_head_ = true;
  checker.consumed_ = offset;
  return checker;
}

void Utf8Checker::Join(const Utf8Checker& next) {
  // The continuation bytes at the start of the next part end the sequence
  // this one leaves open, or are stray.
  Feed(std::string_view(next.head_.data(), next.head_size_));
  if (first_invalid_) return;
  if (carry_size_ > 0) {
    first_invalid_ = consumed_;  // cut short where the next part begins
    return;
  }
  first_invalid_ = next.first_invalid_;
  ascii_only_ = ascii_only_ && next.ascii_only_;
  consumed_ = next.consumed_;
  carry_ = next.carry_;
  carry_size_ = next.carry_size_;
}

void Utf8Checker::Feed(std::string_view piece) {
  while (taking_head_ && !piece.empty()) {
    if (head_size_ == head_.size() || !IsUtf8Continuation(static_cast<unsigned char>(piece[0]))) {
      taking_head_ = false;
      break;
    }
    head_[head_size_++] = piece[0];
    piece.remove_prefix(1);
    ++consumed_;
    ascii_only_ = false;
  }
  if (first_invalid_ || piece.empty()) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
  std::size_t used = 0;
  // First complete the sequence the last piece left open.
  while (carry_size_ > 0 && used < piece.size()) {
    const auto lead = static_cast<unsigned char>(carry_[0]);
    const std::size_t wanted = SequenceLength(lead);
    if (!IsUtf8Continuation(bytes[used])) {
      first_invalid_ = consumed_;
      return;
    }
    carry_[carry_size_++] = piece[used++];
    if (carry_size_ == wanted) {
      const auto* carried = reinterpret_cast<const unsigned char*>(carry_.data());
      if (WellFormedLength(carried, carried + carry_size_) != carry_size_) {
        first_invalid_ = consumed_;
        return;
      }
      consumed_ += carry_size_;
      carry_size_ = 0;
    }
  }
  if (used == piece.size()) return;

  // Keep back a sequence that this piece leaves open (a lead byte in the
  // last three bytes whose sequence needs more bytes than are there).
  std::size_t end = piece.size();
  for (std::size_t back = 1; back <= 3 && back <= end - used; ++back) {
    const unsigned char byte = bytes[end - back];
    if (IsUtf8Continuation(byte)) continue;
    if (byte >= 0xC2 && byte <= 0xF4 && SequenceLength(byte) > back) end -= back;
    break;
  }
  const std::size_t invalid = FirstInvalid(bytes + used, end - used, ascii_only_);
  if (invalid < end - used) {
    first_invalid_ = consumed_ + invalid;
    return;
  }
  consumed_ += end - used;
  for (std::size_t k = end; k < piece.size(); ++k) {
    carry_[carry_size_++] = piece[k];
    ascii_only_ = false;
  }
}

Utf8Check Utf8Checker::Finish() const {
  Utf8Check result;
  result.ascii_only = ascii_only_;
  if (first_invalid_) {
    result.first_invalid = first_invalid_;
  } else if (carry_size_ > 0) {
    result.first_invalid = consumed_;  // a sequence cut short by the end
  }
  return result;
}

}  // namespace vorpel
