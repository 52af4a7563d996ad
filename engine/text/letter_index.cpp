#include "letter_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "byte_scan.h"
#include "run_beside.h"
#include "tuning.h"
#include "utf8_decode.h"

namespace vorpel {
namespace {

// Bit i set where the 64 bytes at p have bit 7 set (non-ASCII bytes), and
// where they are continuation bytes (10xxxxxx).
struct BlockMasks {
  std::uint64_t high;
  std::uint64_t continuation;
};

BlockMasks Masks64(const unsigned char* p) {
  const auto* bytes = reinterpret_cast<const char*>(p);
  return {HighBits64(bytes), ContinuationBits64(bytes)};
}

inline std::size_t PopCount(std::uint64_t x) { return static_cast<std::size_t>(CountBits(x)); }

// The position of the n-th set bit of word (n from 0; n < its popcount):
// a byte at a time, then a bit at a time.
inline unsigned SelectInWord(std::uint64_t word, std::size_t n) {
  unsigned shift = 0;
  for (;; shift += 8) {
    const std::size_t count = PopCount((word >> shift) & 0xFF);
    if (n < count) break;
    n -= count;
  }
  std::uint64_t byte = (word >> shift) & 0xFF;
  for (; n > 0; --n) byte &= byte - 1;
  return shift + static_cast<unsigned>(std::countr_zero(byte));
}

// The text being indexed, and the state after each ASCII byte.
struct IndexedText {
  const unsigned char* bytes;
  std::size_t size;
  const std::array<GraphemeBreaks::State, 128>& after_ascii;
};

// What the walk over the blocks of a part of the text carries from one
// block to the next.
struct BlockWalk {
  GraphemeBreaks::State state = GraphemeBreaks::StartState();
  // An ASCII byte after a code point that joins it (after a prepended
  // mark) in the next block: its bit is cleared when its block starts.
  std::size_t no_start_at = SIZE_MAX;
  // 1 when the byte before the block is ASCII.
  std::uint64_t ascii_before = 0;
};

// Asks the library before every code point beyond ASCII of the block at
// base (doubtful: their lead bytes) whether a character starts there, and
// returns starts with their bits set, and with the bit of an ASCII byte
// that such a code point joins (a prepended mark before it) cleared.
// ascii_prev: bit i set when the byte before byte i is ASCII.
[[gnu::always_inline]] inline std::uint64_t StartsBeyondAscii(
    const IndexedText& text, const unsigned char* block, std::size_t base, std::uint64_t doubtful,
    std::uint64_t ascii_prev, std::uint64_t starts, BlockWalk& walk) {
  while (doubtful != 0) {
    const unsigned bit = static_cast<unsigned>(std::countr_zero(doubtful));
    doubtful &= doubtful - 1;
    // After an ASCII byte the state is that byte's own; chosen without
    // a branch, as either case is common.
    const std::uint64_t after_ascii_byte = (ascii_prev >> bit) & 1u;
    const unsigned char before = text.bytes[base + bit - after_ascii_byte] & 0x7F;
    walk.state = after_ascii_byte != 0 ? text.after_ascii[before] : walk.state;
    const std::uint32_t word = LoadWord(reinterpret_cast<const char*>(block + bit));
    const char32_t cp = DecodeWord(word);
    // A lead byte beyond ASCII has as many leading ones as its
    // sequence has bytes.
    const auto length = static_cast<std::size_t>(std::countl_one(static_cast<std::uint8_t>(word)));
    starts |= std::uint64_t{GraphemeBreaks::BreakBefore(walk.state, cp)} << bit;
    const std::size_t next = base + bit + length;
    if (GraphemeBreaks::MayJoinAscii(walk.state) && next < text.size && text.bytes[next] < 0x80) {
      GraphemeBreaks::State after = walk.state;
      if (!GraphemeBreaks::BreakBefore(after, text.bytes[next])) {
        if (next < base + 64) {
          starts &= ~(std::uint64_t{1} << (next - base));
        } else {
          walk.no_start_at = next;
        }
      }
    }
  }
  return starts;
}

// The start bits of the 64-byte block at base (below the text's size).
// tail: room for a copy of the text's last bytes.
[[gnu::always_inline]] inline std::uint64_t BlockStarts(const IndexedText& text, std::size_t base,
                                                        BlockWalk& walk,
                                                        unsigned char (&tail)[64 + 4]) {
  const unsigned char* block = text.bytes + base;
  const std::size_t in_block = std::min<std::size_t>(64, text.size - base);
  // Within the last 68 bytes the wide decoding would read past the
  // text: those bytes are copied, padded with ASCII that is masked off.
  if (text.size - base < 68) {
    std::memset(tail, 'x', sizeof tail);
    std::memcpy(tail, block, text.size - base);
    block = tail;
  }
  const BlockMasks masks = Masks64(block);
  const std::uint64_t ascii = ~masks.high;
  const std::uint64_t ascii_prev = (ascii << 1) | walk.ascii_before;
  // Every ASCII byte starts a character, unless the code point before
  // it joins it (a prepended mark), which StartsBeyondAscii catches.
  std::uint64_t starts = ascii;
  // An ASCII byte joined to a code point at the end of the block
  // before. Cleared now, before this block's own last code point may
  // name a byte of the next block.
  if (walk.no_start_at - base < 64) starts &= ~(std::uint64_t{1} << (walk.no_start_at - base));
  // The library decides before every code point that is not ASCII.
  starts = StartsBeyondAscii(text, block, base, masks.high & ~masks.continuation, ascii_prev,
                             starts, walk);
  if (in_block < 64) starts &= (std::uint64_t{1} << in_block) - 1;
  walk.ascii_before = ascii >> 63;
  return starts;
}

}  // namespace

LetterIndex LetterIndex::Build(std::string_view text) {
  LetterIndex index;
  index.size_ = text.size();
  const std::size_t word_count = text.size() / 64 + 1;
  index.line_count_ = (word_count + kWordsPerLine - 1) / kWordsPerLine;
  index.lines_.Reserve((index.line_count_ + 1) * 64);
  const std::size_t letters = index.IndexText(text);
  index.Line(index.line_count_)[kWordsPerLine] = letters;
  index.letters_ = letters;
  index.SampleLines();
  return index;
}

std::size_t LetterIndex::IndexText(std::string_view text) {
  AsciiStates after_ascii{};
  for (unsigned char c = 0; c < 128; ++c) after_ascii[c] = GraphemeBreaks::StateAfterAscii(c);
  const std::size_t split = SecondPartLine(text);
  if (split == line_count_) return IndexLines(text, after_ascii, 0, line_count_, 0);
  // The second part starts after an ASCII byte, where the state is that
  // byte's own whatever came before, so both parts find the same
  // boundaries as one pass would.
  std::size_t first_letters = 0;
  std::size_t second_letters = 0;
  RunBeside(
      [&] { second_letters = IndexLines(text, after_ascii, split, line_count_, std::uint64_t{1}); },
      [&] { first_letters = IndexLines(text, after_ascii, 0, split, 0); });
  for (std::size_t line = split; line < line_count_; ++line) {
    Line(line)[kWordsPerLine] += first_letters;
  }
  return first_letters + second_letters;
}

std::size_t LetterIndex::SecondPartLine(std::string_view text) const {
  if (!SecondThreadPays(text.size()) || !CurrentTuning().two_thread_letter_index) {
    return line_count_;
  }
  constexpr std::size_t kLineBytes = kWordsPerLine * 64;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t split = line_count_ / 2;
  while (split < line_count_ && bytes[split * kLineBytes - 1] >= 0x80) ++split;
  return split;
}

std::size_t LetterIndex::IndexLines(std::string_view text, const AsciiStates& after_ascii,
                                    std::size_t first, std::size_t end,
                                    std::uint64_t ascii_before) {
  const IndexedText indexed{reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                            after_ascii};
  BlockWalk walk;
  walk.ascii_before = ascii_before;
  std::size_t letters = 0;
  unsigned char tail[64 + 4];
  for (std::size_t line = first; line < end; ++line) {
    std::uint64_t* words = Line(line);
    words[kWordsPerLine] = letters;
    for (std::size_t k = 0; k < kWordsPerLine; ++k) {
      const std::size_t base = (line * kWordsPerLine + k) * 64;
      if (base >= indexed.size) {
        words[k] = 0;
        continue;
      }
      const std::uint64_t starts = BlockStarts(indexed, base, walk, tail);
      words[k] = starts;
      letters += PopCount(starts);
    }
  }
  return letters;
}

void LetterIndex::SampleLines() {
  // Hints for the search: the line holding every 1024th letter.
  const std::size_t samples = (letters_ >> kSampleShift) + 1;
  samples_.Reserve(samples * sizeof(std::uint32_t));
  auto* sample_lines = reinterpret_cast<std::uint32_t*>(samples_.data());
  std::size_t line = 0;
  for (std::size_t s = 0; s < samples; ++s) {
    const std::size_t letter = s << kSampleShift;
    while (line + 1 < line_count_ && Line(line + 1)[kWordsPerLine] <= letter) ++line;
    sample_lines[s] = static_cast<std::uint32_t>(line);
  }
}

std::size_t LetterIndex::StartOf(std::size_t n) const {
  if (n >= letters_) return size_;
  const auto* sample_lines = reinterpret_cast<const std::uint32_t*>(samples_.data());
  std::size_t line = sample_lines[n >> kSampleShift];
  while (Line(line + 1)[kWordsPerLine] <= n) ++line;
  const std::uint64_t* words = Line(line);
  std::size_t remaining = n - words[kWordsPerLine];
  for (std::size_t k = 0;; ++k) {
    const std::size_t count = PopCount(words[k]);
    if (remaining < count)
      return (line * kWordsPerLine + k) * 64 + SelectInWord(words[k], remaining);
    remaining -= count;
  }
}

void LetterIndex::Prefetch(std::size_t n) const {
#if defined(__GNUC__)
  if (n >= letters_) return;
  const auto* sample_lines = reinterpret_cast<const std::uint32_t*>(samples_.data());
  __builtin_prefetch(Line(sample_lines[n >> kSampleShift]));
#else
  static_cast<void>(n);
#endif
}

}  // namespace vorpel
