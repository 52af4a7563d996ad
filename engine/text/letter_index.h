#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "byte_buffer.h"
#include "grapheme_breaks.h"

namespace vorpel {

// The positions where the characters of a valid UTF-8 text start, as a bit
// per byte, with a small directory that finds the n-th start quickly: one
// seventh of the text's size in all. Bits and directory share 64-byte
// lines (seven words of bits, then the number of letters before them), so
// finding a start touches few cache lines.
class LetterIndex {
 public:
  static LetterIndex Build(std::string_view text);

  std::size_t Letters() const { return letters_; }
  // The byte offset where letter n starts, for n < Letters(); the text's
  // size for n >= Letters().
  std::size_t StartOf(std::size_t n) const;
  // Whether a letter starts at byte offset (offset < the text's size).
  bool IsStart(std::size_t offset) const {
    const std::size_t word = offset >> 6;
    return ((Line(word / kWordsPerLine)[word % kWordsPerLine] >> (offset & 63)) & 1u) != 0;
  }
  // Asks for the memory that StartOf(n) reads first to be fetched.
  void Prefetch(std::size_t n) const;

 private:
  static constexpr std::size_t kWordsPerLine = 7;  // the eighth word is the rank
  static constexpr std::size_t kSampleShift = 10;  // a hint for every 1024th letter

  const std::uint64_t* Line(std::size_t line) const {
    return reinterpret_cast<const std::uint64_t*>(lines_.data()) + line * 8;
  }
  std::uint64_t* Line(std::size_t line) {
    return reinterpret_cast<std::uint64_t*>(lines_.data()) + line * 8;
  }

  // The state after each ASCII byte, asked once per index.
  using AsciiStates = std::array<GraphemeBreaks::State, 128>;

  // Sets the bits of every line, and the ranks counted from the start of
  // the text; returns the letters of the whole text.
  std::size_t IndexText(std::string_view text);
  // The line from which a second thread indexes the text: one after an
  // ASCII byte near the middle, or line_count_ when one pass is better.
  std::size_t SecondPartLine(std::string_view text) const;
  // Sets the bits of lines [first, end), and in each line's rank the
  // letters before it counted from the start of line first; returns the
  // letters of those lines. ascii_before: 1 when the byte before line
  // first is ASCII (at the start of the text it counts as not, so the
  // first character goes to the library).
  std::size_t IndexLines(std::string_view text, const AsciiStates& after_ascii, std::size_t first,
                         std::size_t end, std::uint64_t ascii_before);
  // Fills samples_ from the ranks.
  void SampleLines();

  std::size_t size_ = 0;
  std::size_t letters_ = 0;
  std::size_t line_count_ = 0;  // and one more line at the end holding the total
  ByteBuffer lines_;
  ByteBuffer samples_;  // uint32: the line holding letter k << kSampleShift
};

}  // namespace vorpel
