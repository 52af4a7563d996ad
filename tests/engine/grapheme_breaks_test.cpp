#include "grapheme_breaks.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <array>
#include <bitset>
#include <cstdio>
#include <string>
#include <vector>

namespace vorpel {
namespace {

std::string CodePointName(char32_t cp) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
  return name;
}

// Every state the cache can reach (found from the start, with every code
// point from every state found), and every code point from 0 to 10FFFF in
// each: the break before it, and the state after it, are the library's
// that is linked, with CR and LF cut apart. And what the quick ways for
// ASCII take for granted holds: the state after an ASCII character is the
// same whatever came before, the code point before an ASCII character
// alone decides whether it joins it, two ASCII characters are never one
// character, and every code point starts a character at the start.
TEST(GraphemeBreaks, AnswersAsTheLinkedLibraryInEveryStateForEveryCodePoint) {
  using State = GraphemeBreaks::State;
  char header_version[32];
  std::snprintf(header_version, sizeof header_version, "%d.%d.%d", UTF8PROC_VERSION_MAJOR,
                UTF8PROC_VERSION_MINOR, UTF8PROC_VERSION_PATCH);
  ASSERT_STREQ(utf8proc_version(), header_version) << "the library is not the one of its header";

  constexpr char32_t kCodePoints = 0x110000;
  // What a state of the cache means, as found by asking the library along
  // the way: its state value, whether the last code point was CR, and the
  // ASCII characters that would join the character before them.
  struct Meaning {
    bool found = false;
    utf8proc_int32_t library_state = 0;
    bool after_cr = false;
    std::bitset<128> joining_ascii;
  };
  const auto library_break = [](const Meaning& meaning, char32_t cp, utf8proc_int32_t& state) {
    state = meaning.library_state;
    const bool boundary =
        utf8proc_grapheme_break_stateful(0, static_cast<utf8proc_int32_t>(cp), &state);
    return boundary || (meaning.after_cr && cp == U'\n');
  };
  std::array<Meaning, 256> meanings;
  std::vector<State> found;
  std::size_t faults = 0;
  const auto fault = [&faults](const ::testing::Message& what) {
    if (++faults <= 10) ADD_FAILURE() << what.GetString();
  };
  const auto reach = [&](State state, utf8proc_int32_t library_state, bool after_cr) {
    Meaning& meaning = meanings[state];
    if (!meaning.found) {
      meaning.found = true;
      meaning.library_state = library_state;
      meaning.after_cr = after_cr;
      for (char32_t c = 0; c < 128; ++c) {
        utf8proc_int32_t ignored = 0;
        if (!library_break(meaning, c, ignored)) meaning.joining_ascii.set(c);
      }
      found.push_back(state);
      return true;
    }
    return meaning.library_state == library_state && meaning.after_cr == after_cr;
  };
  // A text starts as after a control character, where everything starts anew.
  utf8proc_int32_t after_control = 0;
  utf8proc_grapheme_break_stateful(0, 0, &after_control);
  const State start = GraphemeBreaks::StartState();
  reach(start, after_control, false);

  // The state after each code point at the start of a text; whether it
  // joins some ASCII character right before it.
  std::vector<State> after_start(kCodePoints);
  std::vector<bool> joins_ascii_before(kCodePoints);
  std::array<bool, 256> after_ascii{};
  for (unsigned char c = 0; c < 128; ++c) after_ascii[GraphemeBreaks::StateAfterAscii(c)] = true;

  for (std::size_t k = 0; k < found.size(); ++k) {
    const State from = found[k];
    const Meaning meaning = meanings[from];
    for (char32_t cp = 0; cp < kCodePoints; ++cp) {
      utf8proc_int32_t library_state = 0;
      const bool expected = library_break(meaning, cp, library_state);
      State state = from;
      const bool boundary = GraphemeBreaks::BreakBefore(state, cp);
      if (boundary != expected) {
        fault(::testing::Message()
              << "before " << CodePointName(cp) << " in the library's state "
              << meaning.library_state << ": " << boundary << ", the library says " << expected);
      }
      if (!reach(state, library_state, cp == U'\r')) {
        fault(::testing::Message()
              << "after " << CodePointName(cp) << " from the library's state "
              << meaning.library_state << ": state " << int{state} << ", which stood for "
              << meanings[state].library_state << ", the library's is " << library_state);
      }
      if (from == start) {
        after_start[cp] = state;
        if (!boundary) {
          fault(::testing::Message()
                << CodePointName(cp) << " does not start a character at the start");
        }
      } else if (meanings[state].joining_ascii != meanings[after_start[cp]].joining_ascii) {
        fault(::testing::Message()
              << "after " << CodePointName(cp) << " from the library's state "
              << meaning.library_state << ", other ASCII characters join than at the start");
      }
      if (cp < 128 && state != GraphemeBreaks::StateAfterAscii(static_cast<unsigned char>(cp))) {
        fault(::testing::Message()
              << "after " << CodePointName(cp) << " from the library's state "
              << meaning.library_state << " the state is not StateAfterAscii's");
      }
      if (after_ascii[from] && !expected) joins_ascii_before[cp] = true;
    }
  }

  for (const State state : found) {
    const Meaning& meaning = meanings[state];
    EXPECT_NE(meaning.library_state, 0) << "the library reads the code point before in state 0";
    EXPECT_EQ(GraphemeBreaks::LibraryState(state), meaning.library_state);
    EXPECT_EQ(GraphemeBreaks::MayJoinAscii(state), meaning.joining_ascii.any())
        << "the library's state " << meaning.library_state;
    if (after_ascii[state]) {
      EXPECT_TRUE(meaning.joining_ascii.none())
          << "two ASCII characters are one, in the library's state " << meaning.library_state;
    }
  }
  for (char32_t cp = 0; cp < kCodePoints; ++cp) {
    const auto expected = static_cast<std::uint8_t>(
        GraphemeBreaks::kNeighbourKnown |
        (meanings[after_start[cp]].joining_ascii.any() ? GraphemeBreaks::kJoinsAsciiAfter : 0) |
        (joins_ascii_before[cp] ? GraphemeBreaks::kJoinsAsciiBefore : 0));
    if (GraphemeBreaks::AsciiNeighbour(cp) != expected ||
        GraphemeBreaks::KnownAsciiNeighbour(cp) != expected) {
      fault(::testing::Message() << "the ASCII neighbours of " << CodePointName(cp));
    }
  }
  EXPECT_EQ(faults, 0u) << "faults in all (the first 10 are shown), utf8proc "
                        << utf8proc_version();
}

}  // namespace
}  // namespace vorpel
