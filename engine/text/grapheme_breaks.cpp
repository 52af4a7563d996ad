#include "grapheme_breaks.h"

#include <utf8proc.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <tuple>

namespace vorpel {
namespace {

// The learning of new States and classes, and what lies behind a State.
std::mutex learning;

// What a State stands for: the library's state value, and whether the last
// code point was CR (for our one rule, CR and LF as two characters).
struct StateMeaning {
  utf8proc_int32_t library_state = 0;
  bool after_cr = false;
};
// The meaning of each State, read and written under the lock only; 0 is
// no State. state_count counts the entries taken, 0 included once the
// start is known; class_count the classes given.
std::array<StateMeaning, 128> state_meanings;
std::size_t state_count = 0;
std::size_t class_count = 0;

// The Indic conjunct property of a code point where the library has one
// (from utf8proc 2.9 on, which reads it for the rule that keeps a conjunct
// of consonants joined by a virama together); 0 for older versions.
template <typename Property>
unsigned IndicConjunctBreak(const Property& property) {
  if constexpr (requires { property.indic_conjunct_break; }) {
    return property.indic_conjunct_break;
  } else {
    return 0;
  }
}

// A library with more states or classes than the tables hold (one far
// beyond today's) cannot be cached; it is said, rather than cut wrong.
[[noreturn]] void TooMany(const char* what) {
  std::fprintf(stderr,
               "vorpel: utf8proc %s has more grapheme break %s than the cache holds; "
               "the program cannot cut characters with it\n",
               utf8proc_version(), what);
  std::abort();
}

// The State that stands for a meaning, given a number when it is new.
// Called under the lock.
GraphemeBreaks::State StateFor(StateMeaning meaning) {
  // The library reads the code point before only when its state is 0: a
  // state of 0 cannot be cached by state alone.
  if (meaning.library_state == 0) TooMany("states (a state of 0)");
  for (std::size_t id = 1; id < state_count; ++id) {
    if (state_meanings[id].library_state == meaning.library_state &&
        state_meanings[id].after_cr == meaning.after_cr) {
      return static_cast<GraphemeBreaks::State>(id);
    }
  }
  if (state_count == state_meanings.size()) TooMany("states");
  state_meanings[state_count] = meaning;
  return static_cast<GraphemeBreaks::State>(state_count++);
}

// Makes the start the first State (the number StartState gives) when no
// State is known yet. Called under the lock.
void LearnStart() {
  if (state_count != 0) return;
  state_count = 1;  // the unused 0
  // The library's state after a control character (U+0000 after U+0000),
  // where every character starts anew, as at the start of a text.
  utf8proc_int32_t library_state = 0;
  utf8proc_grapheme_break_stateful(0, 0, &library_state);
  StateFor({library_state, false});
}

}  // namespace

std::atomic<std::uint8_t> GraphemeBreaks::class_cache_[0x110000];
std::atomic<std::uint8_t> GraphemeBreaks::class_of_key_[kClassKeys];
std::atomic<std::uint8_t> GraphemeBreaks::transitions_[kStates][kClasses];
std::atomic<std::uint8_t> GraphemeBreaks::joins_ascii_[kStates];
std::atomic<std::uint8_t> GraphemeBreaks::ascii_neighbour_[kClasses];
std::atomic<GraphemeBreaks::State> GraphemeBreaks::after_ascii_[128];

std::int32_t GraphemeBreaks::LibraryState(State state) {
  static_assert(std::tuple_size_v<decltype(state_meanings)> == kStates);
  const std::lock_guard lock(learning);
  LearnStart();
  return state < state_count ? state_meanings[state].library_state : 0;
}

std::uint8_t GraphemeBreaks::LearnClass(char32_t cp) {
  // Every property of cp the library reads for the break before it and
  // the state after it, and whether cp is CR or LF, for our own rule.
  const utf8proc_property_t* property = utf8proc_get_property(static_cast<utf8proc_int32_t>(cp));
  const std::size_t boundclass = property->boundclass;
  const std::size_t indic = IndicConjunctBreak(*property);
  if (boundclass > 0xFF || indic > 3) TooMany("classes (a property beyond the table)");
  const std::size_t key =
      boundclass | indic << 8 | std::size_t{cp == U'\r'} << 10 | std::size_t{cp == U'\n'} << 11;
  static_assert(std::size_t{1} << 12 == kClassKeys);
  std::uint8_t cls = class_of_key_[key].load(std::memory_order_relaxed);
  if (cls == 0) {
    const std::lock_guard lock(learning);
    cls = class_of_key_[key].load(std::memory_order_relaxed);
    if (cls == 0) {
      if (class_count + 1 >= kClasses) TooMany("classes");
      cls = static_cast<std::uint8_t>(++class_count);
      class_of_key_[key].store(cls, std::memory_order_relaxed);
    }
  }
  class_cache_[cp].store(cls, std::memory_order_relaxed);
  return cls;
}

std::uint8_t GraphemeBreaks::LearnTransition(State state, std::uint8_t cls, char32_t cp) {
  const std::lock_guard lock(learning);
  std::uint8_t entry = transitions_[state][cls].load(std::memory_order_relaxed);
  if (entry != 0) return entry;
  LearnStart();
  // With a state other than 0 the library reads nothing of the code point
  // before, and of cp only what makes its class: cp answers for its class.
  const StateMeaning from = state_meanings[state];
  utf8proc_int32_t library_state = from.library_state;
  bool boundary =
      utf8proc_grapheme_break_stateful(0, static_cast<utf8proc_int32_t>(cp), &library_state) != 0;
  // CR and LF are two characters, as in an 8-bit text.
  if (from.after_cr && cp == U'\n') boundary = true;
  const State next = StateFor({library_state, cp == U'\r'});
  entry = static_cast<std::uint8_t>(next | (boundary ? kBreakBit : 0));
  transitions_[state][cls].store(entry, std::memory_order_relaxed);
  return entry;
}

bool GraphemeBreaks::LearnJoinsAscii(State state) {
  bool joins = false;
  for (unsigned c = 0; c < 128; ++c) {
    State after = state;
    if (!BreakBefore(after, c)) joins = true;
  }
  joins_ascii_[state].store(static_cast<std::uint8_t>(kKnownBit | (joins ? 1 : 0)),
                            std::memory_order_relaxed);
  return joins;
}

GraphemeBreaks::State GraphemeBreaks::LearnAfterAscii(unsigned char c) {
  State state = StartState();
  BreakBefore(state, c);
  after_ascii_[c].store(state, std::memory_order_relaxed);
  return state;
}

std::uint8_t GraphemeBreaks::AsciiNeighbour(char32_t cp) {
  const std::uint8_t cls = ClassOf(cp);
  const std::uint8_t known = ascii_neighbour_[cls].load(std::memory_order_relaxed);
  if (known != 0) return known;
  // Both answers depend on cp's class alone: the state after cp decides
  // for an ASCII character after it, and that is the same whatever came
  // before cp (see BreakBeforeAscii); the state after an ASCII character is
  // that character's own.
  std::uint8_t answer = kNeighbourKnown;
  State after = StartState();
  BreakBefore(after, cp);
  if (MayJoinAscii(after)) answer |= kJoinsAsciiAfter;
  for (unsigned c = 0; c < 128; ++c) {
    if (!BreakAfterAscii(static_cast<unsigned char>(c), cp)) answer |= kJoinsAsciiBefore;
  }
  ascii_neighbour_[cls].store(answer, std::memory_order_relaxed);
  return answer;
}

}  // namespace vorpel
