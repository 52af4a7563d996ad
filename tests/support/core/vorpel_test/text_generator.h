#pragma once

// Deterministic generated texts for the tests and the benchmarks. A style
// lists the pieces of one step; steps are appended until the text is long
// enough. Every random decision is one draw `random() % n` from a
// std::mt19937_64, in a fixed order, so a seed and a style give the same
// bytes with every compiler and on every platform.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorpel::test {

// Something the generator appends. Every kind but a literal draws once for
// each of its decisions, even where only one outcome is possible, so the
// draws a style takes do not depend on the bytes it is given: a one-byte
// separator takes as many draws as a longer one.
struct Piece {
  enum class Kind { kLiteral, kOneOf, kRepeated, kWord, kChoice };
  Kind kind = Kind::kLiteral;
  std::string bytes;        // literal: the text; one-of, repeated: the bytes to draw from
  std::uint64_t least = 1;  // repeated: the fewest bytes; word: the fewest letters
  std::uint64_t most = 1;   // repeated: the most bytes; word: the most letters
  std::vector<std::uint64_t> weights;  // choice: one weight for each option
  std::vector<Piece> parts;            // choice: the options; word: the piece of one letter
};

// The text as it is, without a draw.
Piece Literal(std::string_view text);
// One byte drawn from bytes; nothing, without a draw, when bytes is empty.
Piece OneOf(std::string_view bytes);
// One byte drawn from bytes, repeated least to most times (the byte is
// drawn first, then the count); nothing, without a draw, when bytes is
// empty.
Piece Repeated(std::uint64_t least, std::uint64_t most, std::string_view bytes);
// least to most letters (the count is drawn first), each drawn afresh.
Piece Word(std::uint64_t least, std::uint64_t most, Piece letter);
// One of the options, drawn by weight: with weights {1, 3}, a draw of
// 0 mod 4 takes the first option and 1, 2 or 3 the second.
Piece Choice(std::vector<std::pair<std::uint64_t, Piece>> options);

// The bytes first to last, both included, in order: ByteRange('a', 'z').
std::string ByteRange(unsigned char first, unsigned char last);

struct TextStyle {
  std::vector<Piece> step;      // appended in order, step after step
  std::optional<Piece> ending;  // appended once after the steps, unless the text is empty
  bool cut_to_size = true;      // else the last step may reach beyond the size
};

// A style of these steps.
TextStyle Steps(std::vector<Piece> step, bool cut_to_size = true);

// Steps until the text holds at least size bytes (none for size 0), then
// the ending.
std::string MakeText(std::size_t size, std::mt19937_64& random, const TextStyle& style);
std::string MakeText(std::size_t size, std::uint64_t seed, const TextStyle& style);

// The styles shared by the suites. Changing one changes the texts of every
// caller; the benchmarks' timings are only comparable across versions while
// BenchmarkProse stays as it is.

// Lower-case words of 1 to 12 letters, mostly closed by a blank, now and
// then by ". ", ", " or a line break: the benchmarks' source.
TextStyle BenchmarkProse();
// Lower-case words of 1 to 9 letters with blanks, commas, sentence ends
// and line breaks between them.
TextStyle PlainSentences();
// Words of 1 to 11 letters, a few of them capitals or the Latin-1 byte
// 0xE9, between punctuation, CR LF and LF line breaks, tabs, backslashes
// and double blanks.
TextStyle MixedText();
// Words of 1 to 8 letters with capitals, bytes above 127 and NUL, between
// sentence ends, underscores, CR LF and LF line breaks, tabs and blanks.
TextStyle BinaryWords();

}  // namespace vorpel::test
