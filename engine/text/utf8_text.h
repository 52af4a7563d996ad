#pragma once

// UTF-8 text as people see it: validation, decoding, and the cutting into
// characters, where a character is an extended grapheme cluster (what a
// reader sees as one letter: "é" stored as "e" plus a combining accent, a
// flag, an emoji with a skin tone) except that CR and LF are always one
// character each, as they are in an 8-bit text.

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_buffer.h"

namespace vorpel {

// How a text's bytes stand for characters.
enum class TextEncoding : std::uint8_t {
  EightBit,  // one byte, one character (Latin-1, a Windows code page, anything)
  Utf8,      // valid UTF-8: a character is a grapheme cluster
  RawBytes,  // one byte, one character, and WordSep taken as the bytes it holds
};

// ------------------------------------------------------------ validation

struct Utf8Check {
  // The offset of the first byte of the first invalid sequence (a stray
  // continuation byte, an overlong form, a surrogate, a value above
  // U+10FFFF, a sequence cut short); nullopt when the text is valid.
  std::optional<std::size_t> first_invalid;
  bool ascii_only = true;  // no byte above 0x7F (only meaningful when valid)

  bool Valid() const { return !first_invalid; }
};

// Checks a whole text.
Utf8Check CheckUtf8(std::string_view text);

// The same check over a text given in consecutive pieces (as it is read),
// with the same answer as CheckUtf8 of the pieces joined. A sequence may be
// cut anywhere between two pieces.
class Utf8Checker {
 public:
  void Feed(std::string_view piece);
  Utf8Check Finish() const;

  // A checker for the part of a text from offset on, which another thread
  // may check while this one checks the part before; the part may begin
  // inside a sequence. Offsets it names count from the start of the text.
  static Utf8Checker Midway(std::size_t offset);
  // Takes in the check of the part that follows the pieces fed so far (a
  // Midway checker of the offset where they end): the answer is then the
  // one a single checker fed both parts gives.
  void Join(const Utf8Checker& next);

 private:
  // A Midway checker keeps back up to three continuation bytes at its
  // start, which may end a sequence of the part before, for Join.
  bool taking_head_ = false;
  std::array<char, 3> head_{};
  std::size_t head_size_ = 0;

  std::size_t consumed_ = 0;  // bytes of earlier pieces, the carry included
  std::array<char, 4> carry_{};
  std::size_t carry_size_ = 0;  // an incomplete sequence at the end of the pieces so far
  std::optional<std::size_t> first_invalid_;
  bool ascii_only_ = true;
};

// Whether byte continues a UTF-8 sequence (10xxxxxx) rather than starts one.
inline bool IsUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Where the sequence starting at p (a lead byte of a valid text) ends: its
// length from its first byte, 1 for ASCII.
inline std::size_t SequenceLength(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// What the bytes at the start of text begin with, for text that may hold
// bytes that are no UTF-8: the length of the well-formed sequence there (1
// for ASCII), 0 when there is none (a stray continuation byte, C0, C1, F5
// to FF, a broken sequence: its first byte is then a character of its
// own), or kCutShort when text ends inside what may still become one.
inline constexpr std::size_t kCutShort = SIZE_MAX;
std::size_t Utf8SequenceAt(std::string_view text);

// The code point at p in valid UTF-8; length gets its byte count.
inline char32_t DecodeAt(const char* p, std::size_t& length) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  const unsigned char lead = u[0];
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  if (lead < 0xE0) {
    length = 2;
    return (char32_t{lead & 0x1Fu} << 6) | (u[1] & 0x3Fu);
  }
  if (lead < 0xF0) {
    length = 3;
    return (char32_t{lead & 0x0Fu} << 12) | (char32_t{u[1] & 0x3Fu} << 6) | (u[2] & 0x3Fu);
  }
  length = 4;
  return (char32_t{lead & 0x07u} << 18) | (char32_t{u[1] & 0x3Fu} << 12) |
         (char32_t{u[2] & 0x3Fu} << 6) | (u[3] & 0x3Fu);
}

// The four bytes at p as a little-endian word: the byte at p is the low
// byte, which is what a plain load gives on the machines the program is
// built for. DecodeWord, DecodeEndingAt and the letter index take a code
// point's first byte from the low bits; a big-endian machine would need a
// byte swap here.
static_assert(std::endian::native == std::endian::little,
              "LoadWord reads the byte at p into the low bits of the word");
inline std::uint32_t LoadWord(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The code point whose bytes start word, four bytes of valid UTF-8 read
// little-endian (bytes after its last one are ignored), without branches on
// its length, which varies from one code point to the next.
inline char32_t DecodeWord(std::uint32_t word) {
  const std::uint32_t lead = word & 0xFF;
  const auto ones = static_cast<unsigned>(std::countl_one(static_cast<std::uint8_t>(lead)));
  const std::uint32_t full = ((lead & (0x7Fu >> ones)) << 18) | (((word >> 8) & 0x3F) << 12) |
                             (((word >> 16) & 0x3F) << 6) | ((word >> 24) & 0x3F);
  // An ASCII byte (no leading ones) stands alone in the top bits, as the
  // lead byte of a one-byte sequence would; a table rather than a
  // condition keeps the compiler from branching on it.
  static constexpr std::array<unsigned char, 5> kShift = {18, 18, 12, 6, 0};
  return full >> kShift[ones];
}

// The UTF-8 bytes of a code point.
std::string EncodeUtf8(char32_t cp);

// ------------------------------------------------------------ characters

// Where the boundaries between characters lie. The Unicode library decides
// every boundary; its answers are kept for the code points and states met,
// so a long text asks it only a few hundred times. The one rule of our own
// is the break between CR and LF.
//
// What is kept is exactly what the library's answer depends on. Its state
// (a number it keeps between two calls) becomes a small State, one per
// state value met, together with whether the last code point was CR. A
// code point becomes a class, one per combination met of the properties
// the library reads (its break class, its Indic conjunct property where the
// library has one, and whether it is CR or LF). The answer before a code
// point, and the State after it, are learned once per State and class from
// the first code point of the class met there.
//
// Several threads may ask at once. Every table read without a lock holds
// values complete in themselves (a number given once and never changed, or
// an answer with a bit saying it is known, 0 until then); what lies behind
// a State (the library's state value) is written and read only under the
// lock, before any table names the State, so a thread that meets a State
// and takes the lock sees it.
class GraphemeBreaks {
 public:
  using State = std::uint8_t;

  // The state before the first character of a text, or right after a
  // boundary: anything that follows starts a new character. It is the
  // library's state after a control character.
  static constexpr State StartState() { return kStart; }

  // Whether a character boundary lies before code point cp; state moves on
  // past cp.
  static bool BreakBefore(State& state, char32_t cp) {
    const std::uint8_t entry = Transition(state, ClassOf(cp), cp);
    state = entry & kStateMask;
    return (entry & kBreakBit) != 0;
  }

  // The state after the ASCII character c, whatever came before it (an
  // ASCII character leaves the library no memory of what came before; the
  // tests check it against the library for every state).
  static State StateAfterAscii(unsigned char c) {
    const State known = after_ascii_[c].load(std::memory_order_relaxed);
    return known != 0 ? known : LearnAfterAscii(c);
  }

  // Whether a boundary lies between code point previous and the ASCII
  // character c right after it. An ASCII character joins what comes before
  // it only after a prepended mark (and LF after CR, which we cut), so the
  // code point right before it decides, whatever came before that (the
  // tests check it against the library for every state and code point).
  static bool BreakBeforeAscii(char32_t previous, unsigned char c) {
    State state = StartState();
    BreakBefore(state, previous);
    return BreakBefore(state, c);
  }
  // Whether a boundary lies between the ASCII character c and code point
  // next (decided by the two alone, as the state after c is c's own).
  static bool BreakAfterAscii(unsigned char c, char32_t next) {
    State state = StateAfterAscii(c);
    return BreakBefore(state, next);
  }

  // Whether an ASCII character after this state can belong to the same
  // character (true only after a prepended mark such as U+0600).
  static bool MayJoinAscii(State state) {
    const std::uint8_t known = joins_ascii_[state].load(std::memory_order_relaxed);
    return known != 0 ? (known & 1u) != 0 : LearnJoinsAscii(state);
  }

  // What a code point may do to an ASCII character right beside it, as
  // bits. An answer always has kNeighbourKnown set.
  static constexpr std::uint8_t kNeighbourKnown = 0x80;
  // An ASCII character right after it may belong to its character (it is
  // a prepended mark).
  static constexpr std::uint8_t kJoinsAsciiAfter = 1;
  // It may belong to the character of an ASCII character right before it
  // (a combining mark, a joiner, a spacing mark).
  static constexpr std::uint8_t kJoinsAsciiBefore = 2;

  // The answer for cp, learning it when it is new.
  static std::uint8_t AsciiNeighbour(char32_t cp);
  // The answer for cp when it is known, 0 otherwise: no branch, for the
  // loops that ask it millions of times and take a slower way on 0.
  static std::uint8_t KnownAsciiNeighbour(char32_t cp) {
    // An unknown code point reads as class 0, which no code point has and
    // whose entry stays 0.
    const std::uint8_t cls = class_cache_[cp].load(std::memory_order_relaxed);
    return ascii_neighbour_[cls].load(std::memory_order_relaxed);
  }

  // The library's own state value that a state stands for (never 0, the
  // value with which the library looks at the code point before); 0 for a
  // number that stands for no state yet.
  static std::int32_t LibraryState(State state);

 private:
  static constexpr State kStart = 1;
  // A transition: the State after (never 0, so a known entry is never 0)
  // and whether a boundary lies before the code point.
  static constexpr std::uint8_t kStateMask = 0x7F;
  static constexpr std::uint8_t kBreakBit = 0x80;
  static constexpr std::uint8_t kKnownBit = 0x80;
  // Room for every pair of break class and Indic conjunct property the
  // library names (21 x 4), and then some; the first number of each is
  // left unused, so that 0 means "not learned".
  static constexpr std::size_t kStates = 128;
  static constexpr std::size_t kClasses = 128;
  // The properties of a code point that make its class, as a number below
  // this (see LearnClass).
  static constexpr std::size_t kClassKeys = std::size_t{1} << 12;

  static std::uint8_t ClassOf(char32_t cp) {
    const std::uint8_t known = class_cache_[cp].load(std::memory_order_relaxed);
    return known != 0 ? known : LearnClass(cp);
  }
  static std::uint8_t Transition(State state, std::uint8_t cls, char32_t cp) {
    const std::uint8_t known = transitions_[state][cls].load(std::memory_order_relaxed);
    return known != 0 ? known : LearnTransition(state, cls, cp);
  }
  static std::uint8_t LearnClass(char32_t cp);
  static std::uint8_t LearnTransition(State state, std::uint8_t cls, char32_t cp);
  static bool LearnJoinsAscii(State state);
  static State LearnAfterAscii(unsigned char c);

  // One entry per code point, filled as code points are met (zero pages
  // cost nothing until touched): its class, 0 until learned.
  static std::atomic<std::uint8_t> class_cache_[0x110000];
  // The class of each combination of properties, 0 until met.
  static std::atomic<std::uint8_t> class_of_key_[kClassKeys];
  // By State and class: break bit | the State after, 0 until learned.
  static std::atomic<std::uint8_t> transitions_[kStates][kClasses];
  // By State: kKnownBit | 1 when some ASCII character can join what came
  // before.
  static std::atomic<std::uint8_t> joins_ascii_[kStates];
  // AsciiNeighbour's answers by class, 0 until learned.
  static std::atomic<std::uint8_t> ascii_neighbour_[kClasses];
  // The State after each ASCII character, 0 until learned.
  static std::atomic<State> after_ascii_[128];
};

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

// ------------------------------------------------------------ letter index

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

  std::size_t size_ = 0;
  std::size_t letters_ = 0;
  std::size_t line_count_ = 0;  // and one more line at the end holding the total
  ByteBuffer lines_;
  ByteBuffer samples_;  // uint32: the line holding letter k << kSampleShift
};

}  // namespace vorpel
