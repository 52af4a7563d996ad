#pragma once

// The boundaries between the characters of a UTF-8 text, where a
// character is an extended grapheme cluster (what a reader sees as one: "é"
// stored as "e" plus a combining accent, a flag, an emoji with a skin
// tone) except that CR and LF are always one character each, as they are
// in an 8-bit text.

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vorpel {

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

}  // namespace vorpel
