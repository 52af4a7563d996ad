#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_scan.h"
#include "characters.h"
#include "grapheme_breaks.h"
#include "utf8_decode.h"
#include "word_separators.h"

namespace vorpel {

// The code point of valid UTF-8 starting at p, where four bytes from p can
// be read.
inline char32_t DecodeStartingAt(const char* p) { return DecodeWord(LoadWord(p)); }

// The code point of valid UTF-8 ending right before p, where the four
// bytes before p can be read.
inline char32_t DecodeEndingAt(const char* p) {
  const std::uint32_t word = LoadWord(p - 4);
  // Continuation bytes become zero bytes; the last byte before p is the
  // word's highest, so the zero bytes above the first other one are the
  // code point's continuation bytes.
  const std::uint32_t others = (word ^ 0x80808080u) & 0xC0C0C0C0u;
  const auto length = std::min(static_cast<unsigned>(std::countl_zero(others)) / 8 + 1, 4u);
  return DecodeWord(word >> (8 * (4 - length)));
}

// Where the words of a UTF-8 text with characters beyond ASCII end, a
// block of 64 bytes at a time. A separator must be a whole character of
// the text. An ASCII separator between two ASCII bytes always is one (the
// common case, decided 64 bytes at a time); one beside a character beyond
// ASCII is settled from the answers known for its neighbours; the others,
// and every place where a wider separator may start, are asked of the
// character probe.
//
// Blocks go in runs, each in increasing order from the block StartAt
// names; separate runs may go in any order (a character probe is good for
// one run).
template <typename Matcher>
class Utf8WordEnds {
 public:
  Utf8WordEnds(std::string_view text, const WordSeparators& word_seps,
               const Matcher& ascii_separators, const ByteSet& wide_first)
      : data_(text.data()),
        size_(text.size()),
        inner_end_(size_ >= 64 + 4 ? (size_ - 4) / 64 * 64 : 0),
        is_separator_(word_seps.Bytes()),
        wide_separators_(word_seps.Wide()),
        ascii_separators_(ascii_separators),
        wide_first_(wide_first),
        probe_(text) {}

  // Starts a run at base, a multiple of 64.
  void StartAt(std::size_t base) {
    ascii_before_ = base == 0 || static_cast<unsigned char>(data_[base - 1]) < 0x80;
    probe_ = CharacterProbe(std::string_view(data_, size_));
    pending_end_ = kNone;
  }

  // The last bytes of the separators in the block from base, as bits.
  std::uint64_t Block(std::size_t base) {
    // An inner block has four bytes that can be read on each side and
    // lies wholly inside the text; the others (the first, and the last
    // two) take the general way.
    return base >= 64 && base < inner_end_ ? Cut<true>(base) : Cut<false>(base);
  }

  // The last byte of a separator that started in the run and ends after
  // it, if there is one; the run's end forgets it.
  std::optional<std::size_t> TakePending() {
    const std::size_t pending = pending_end_;
    pending_end_ = kNone;
    if (pending == kNone) return std::nullopt;
    return pending;
  }

  // The end of the last separator met in any run.
  std::size_t LastSeparatorEnd() const { return last_separator_end_; }

 private:
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

  // The doubtful ASCII bytes of a block whose neighbours on one side lie
  // beyond ASCII (high), settled without a branch on the neighbour: the
  // bits of those that may be joined to it, or whose neighbour's answer is
  // not known yet.
  template <bool kAfter>
  static std::uint64_t Unsettled(const char* block, std::uint64_t high) {
    constexpr std::uint8_t kJoins =
        kAfter ? GraphemeBreaks::kJoinsAsciiBefore : GraphemeBreaks::kJoinsAsciiAfter;
    std::uint64_t result = 0;
    for (; high != 0; high &= high - 1) {
      const auto bit = static_cast<unsigned>(std::countr_zero(high));
      const char* at = block + bit;
      const std::uint8_t answer = GraphemeBreaks::KnownAsciiNeighbour(
          kAfter ? DecodeStartingAt(at + 1) : DecodeEndingAt(at));
      const auto open = static_cast<std::uint8_t>((answer ^ GraphemeBreaks::kNeighbourKnown) &
                                                  (GraphemeBreaks::kNeighbourKnown | kJoins));
      result |= std::uint64_t{open != 0} << bit;
    }
    return result;
  }

  // Inlined into the loops over blocks: a call per block costs a twentieth
  // of the work.
  template <bool kInner>
  [[gnu::always_inline]] std::uint64_t Cut(std::size_t base) {
    const char* block = data_ + base;
    std::uint64_t valid = ~std::uint64_t{0};
    std::uint64_t ascii_after_last = 0;
    char padded[64];
    if constexpr (kInner) {
      ascii_after_last = static_cast<unsigned char>(data_[base + 64]) < 0x80;
    } else {
      const std::size_t in_block = std::min<std::size_t>(64, size_ - base);
      if (in_block < 64) {
        std::memset(padded, 'x', sizeof padded);
        std::memcpy(padded, block, in_block);
        block = padded;
        valid = (std::uint64_t{1} << in_block) - 1;
      }
      // The end of the text is a boundary too.
      ascii_after_last = base + 64 >= size_ || static_cast<unsigned char>(data_[base + 64]) < 0x80;
    }
    const std::uint64_t ascii = ~HighBits64(block);
    const std::uint64_t ascii_prev = (ascii << 1) | ascii_before_;
    const std::uint64_t ascii_next = (ascii >> 1) | (ascii_after_last << 63);
    ascii_before_ = ascii >> 63;
    const std::uint64_t matches = ascii_separators_.Mask64(block) & valid;
    std::uint64_t word_ends = matches & ascii_prev & ascii_next;
    std::uint64_t doubtful = matches & ~word_ends;
    if (!wide_separators_.empty()) {
      // A wide separator starting with an ASCII byte needs a character
      // beyond ASCII after it.
      doubtful |= wide_first_.Mask64(block) & valid & (~ascii | ~ascii_next);
    }
    if (pending_end_ - base < 64) {
      word_ends |= std::uint64_t{1} << (pending_end_ - base);
      pending_end_ = kNone;
    }
    // An ASCII byte is a character by itself unless the code point before
    // it joins it (a prepended mark) or the one after it does (a combining
    // mark, a joiner): almost never. Each side is looked at only where the
    // neighbour there lies beyond ASCII.
    std::uint64_t slow = doubtful;
    if constexpr (kInner) {
      const std::uint64_t fast = doubtful & ascii;
      const std::uint64_t open =
          Unsettled<false>(block, fast & ~ascii_prev) | Unsettled<true>(block, fast & ~ascii_next);
      word_ends |= fast & matches & ~open;
      slow = (doubtful & ~ascii) | open;
    }
    for (; slow != 0; slow &= slow - 1) {
      const auto bit = static_cast<unsigned>(std::countr_zero(slow));
      word_ends |= SlowWay(base + bit, ((~ascii_prev) >> bit) & 1u, ((~ascii_next) >> bit) & 1u);
    }
    if constexpr (!kInner) {
      // Only the last block can hold the end of the text.
      if (base + 64 >= size_ && word_ends != 0) {
        last_separator_end_ = std::max(
            last_separator_end_, base + 64 - static_cast<std::size_t>(std::countl_zero(word_ends)));
      }
    }
    return word_ends;
  }

  // Decides whether a separator starts at begin, and where it ends: the
  // word end's bit in begin's block, or none (and pending_end_ when it ends
  // in a later block).
  std::uint64_t SlowWay(std::size_t begin, bool high_before, bool high_after) {
    const std::size_t base = begin / 64 * 64;
    const auto byte = static_cast<unsigned char>(data_[begin]);
    if (byte < 0x80) {
      // The two neighbours decide; their answers are learned for the way
      // above.
      char32_t before = ' ';
      if (high_before) {
        std::size_t lead = begin - 1;
        while (IsUtf8Continuation(static_cast<unsigned char>(data_[lead]))) --lead;
        std::size_t length = 0;
        before = DecodeAt(data_ + lead, length);
      }
      char32_t after = ' ';
      if (high_after && begin + 1 < size_) {
        std::size_t length = 0;
        after = DecodeAt(data_ + begin + 1, length);
      }
      GraphemeBreaks::AsciiNeighbour(before);
      GraphemeBreaks::AsciiNeighbour(after);
      if (!GraphemeBreaks::BreakBeforeAscii(before, byte)) return 0;  // inside a character
      if (GraphemeBreaks::BreakAfterAscii(byte, after)) {
        // A character by itself.
        if (!is_separator_.Contains(data_[begin])) return 0;
        last_separator_end_ = std::max(last_separator_end_, begin + 1);
        return std::uint64_t{1} << (begin - base);
      }
      // A longer character starts here: it may be a wide separator.
    }
    const std::size_t end = probe_.CharacterAt(begin);
    if (end == 0) return 0;
    const std::string_view character(data_ + begin, end - begin);
    const bool is_separator_here = character.size() == 1
                                       ? is_separator_.Contains(character.front())
                                       : std::find(wide_separators_.begin(), wide_separators_.end(),
                                                   character) != wide_separators_.end();
    if (!is_separator_here) return 0;
    last_separator_end_ = std::max(last_separator_end_, end);
    if (end - 1 - base < 64) return std::uint64_t{1} << (end - 1 - base);
    pending_end_ = end - 1;
    return 0;
  }

  const char* data_;
  std::size_t size_;
  std::size_t inner_end_;
  const ByteSet& is_separator_;
  const std::vector<std::string>& wide_separators_;
  const Matcher& ascii_separators_;
  const ByteSet& wide_first_;
  CharacterProbe probe_;
  std::uint64_t ascii_before_ = 1;  // the start of the text is a boundary
  std::size_t pending_end_ = kNone;
  std::size_t last_separator_end_ = 0;
};

}  // namespace vorpel
