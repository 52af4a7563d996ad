#include "utf8_text.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/reference_algorithms.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/utf8_reference.h"
#include "vorpel_test/utf8_texts.h"

#ifndef VORPEL_GRAPHEME_BREAK_TEST
#define VORPEL_GRAPHEME_BREAK_TEST "/usr/share/unicode/auxiliary/GraphemeBreakTest.txt"
#endif

namespace vorpel {
namespace {

using test::Escaped;

// ---------------------------------------------------------------------------
// Validation

TEST(CheckUtf8, NamesTheFirstInvalidSequence) {
  struct Case {
    std::string text;
    std::optional<std::size_t> first_invalid;
    bool ascii_only;
  };
  const std::vector<Case> cases = {
      {"", std::nullopt, true},
      {"plain text\r\n", std::nullopt, true},
      {"caf\xC3\xA9", std::nullopt, false},
      {"\xEF\xBB\xBF"
       "bom",
       std::nullopt, false},
      {"\xF4\x8F\xBF\xBF", std::nullopt, false},  // U+10FFFF, the last
      {"\xED\x9F\xBF", std::nullopt, false},      // U+D7FF, just below the surrogates
      {"caf\xE9", 3, false},                      // Latin-1 é
      {"ab\x80"
       "cd",
       2, false},                       // stray continuation byte
      {"\xC0\xAF", 0, false},           // overlong slash
      {"\xC1\xBF", 0, false},           // overlong
      {"x\xE0\x80\xAF", 1, false},      // overlong, three bytes
      {"x\xF0\x80\x80\xAF", 1, false},  // overlong, four bytes
      {"ok\xED\xA0\x80", 2, false},     // a surrogate
      {"\xF4\x90\x80\x80", 0, false},   // above U+10FFFF
      {"\xF5\x80\x80\x80", 0, false},
      {"\xFF", 0, false},
      {"abc\xE2\x80", 3, false},   // cut short by the end
      {"abc\xE2\x80x", 3, false},  // cut short by ASCII
      {"\xC3\xA9\xC3", 2, false},
  };
  for (const auto& c : cases) {
    const Utf8Check check = CheckUtf8(c.text);
    EXPECT_EQ(check.first_invalid, c.first_invalid) << Escaped(c.text);
    if (check.Valid()) {
      EXPECT_EQ(check.ascii_only, c.ascii_only) << Escaped(c.text);
    }
  }
}

// Every two-byte combination, and the interesting three- and four-byte
// ones, at every place of a 64-byte block and across the border of two.
TEST(CheckUtf8, AgreesWithTheReferenceOnEveryShortSequenceAtEveryAlignment) {
  const std::vector<unsigned char> edges = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F,
                                            0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0,
                                            0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  std::vector<std::string> sequences;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      sequences.push_back({static_cast<char>(a), static_cast<char>(b)});
    }
  }
  for (int a = 0xC0; a < 256; ++a) {
    for (const unsigned char b : edges) {
      for (const unsigned char c : edges) {
        sequences.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        for (const unsigned char d : {0x41, 0x80, 0xBF, 0xC3}) {
          sequences.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                               static_cast<char>(d)});
        }
      }
    }
  }
  std::size_t checked = 0;
  for (const std::size_t place : {0, 30, 61, 62, 63, 64, 127, 140}) {
    for (const auto& sequence : sequences) {
      std::string text(200, 'a');
      text.replace(place, sequence.size(), sequence);
      const auto expected = test::ReferenceFirstInvalidUtf8(text);
      const Utf8Check check = CheckUtf8(text);
      if (check.first_invalid != expected) {
        ADD_FAILURE() << "at " << place << ": " << Escaped(sequence);
        return;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 500000u);
}

TEST(CheckUtf8, AgreesWithTheReferenceOnGeneratedTexts) {
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    std::string text = test::RandomUtf8(random, 1 + random() % 60);
    // Now and then one damaged byte: most become invalid, some stay valid.
    if (round % 3 != 0 && !text.empty()) {
      text[random() % text.size()] = static_cast<char>(random() % 256);
    }
    const auto expected = test::ReferenceFirstInvalidUtf8(text);
    const Utf8Check check = CheckUtf8(text);
    ASSERT_EQ(check.first_invalid, expected) << Escaped(text);
    bool ascii = true;
    for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (check.Valid()) {
      ASSERT_EQ(check.ascii_only, ascii) << Escaped(text);
    }

    // The same text in random pieces gives the same answer.
    Utf8Checker checker;
    std::size_t at = 0;
    while (at < text.size()) {
      const std::size_t piece = std::min<std::size_t>(text.size() - at, random() % 70);
      checker.Feed(std::string_view(text).substr(at, piece));
      at += piece;
    }
    const Utf8Check pieces = checker.Finish();
    ASSERT_EQ(pieces.first_invalid, expected) << Escaped(text);
    if (pieces.Valid()) {
      ASSERT_EQ(pieces.ascii_only, ascii) << Escaped(text);
    }
  }
}

TEST(Utf8Checker, ASequenceCutBetweenPiecesByteByByte) {
  const std::string text =
      "a\xF0\x9F\x91\x8D"
      "b\xE2\x80\x94";
  Utf8Checker checker;
  for (const char c : text) checker.Feed(std::string_view(&c, 1));
  EXPECT_TRUE(checker.Finish().Valid());

  Utf8Checker cut;
  cut.Feed("ab\xE2\x80");
  EXPECT_EQ(cut.Finish().first_invalid, 2u);  // the end cuts it short
  cut.Feed("x");
  EXPECT_EQ(cut.Finish().first_invalid, 2u);  // ASCII cuts it short
}

// A text checked in two parts, the second by a Midway checker (as two
// threads check a long file), joined: the answer of the whole text, for
// every place the text is cut, sequences cut in two included.
TEST(Utf8Checker, TwoPartsJoinedAnswerAsTheWholeText) {
  std::mt19937 random(29);
  std::vector<std::string> texts = {
      "",
      "ab",
      "a\xE2\x80\x94z",
      "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
      "a\xE2\x80",           // cut short at the end
      "\x80\x80\x80\x80z",   // stray continuation bytes
      "\xE2\x80\x80\x80",    // one too many
      "a\xE2\x80x\xC3\xA9",  // cut short by ASCII
      "\xED\xA0\x80",        // a surrogate
      "\xF4\x90\x80\x80",    // beyond U+10FFFF
  };
  for (int round = 0; round < 300; ++round) {
    std::string text = test::RandomUtf8(random, 1 + random() % 12);
    if (round % 2 == 1 && !text.empty()) text[random() % text.size()] = static_cast<char>(random());
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    const Utf8Check whole = CheckUtf8(text);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
      const std::string_view view(text);
      Utf8Checker first;
      Utf8Checker second = Utf8Checker::Midway(cut);
      // The second part comes in pieces of one byte and more.
      first.Feed(view.substr(0, cut));
      for (std::size_t at = cut; at < text.size(); at += 1 + at % 3) {
        second.Feed(view.substr(at, std::min<std::size_t>(1 + at % 3, text.size() - at)));
      }
      first.Join(second);
      const Utf8Check joined = first.Finish();
      ASSERT_EQ(joined.first_invalid, whole.first_invalid) << Escaped(text) << " cut at " << cut;
      if (whole.Valid()) {
        ASSERT_EQ(joined.ascii_only, whole.ascii_only) << Escaped(text);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Characters

std::vector<std::string> Split(std::string_view text) {
  std::vector<std::string> out;
  for (const auto character : SplitCharacters(text)) out.emplace_back(character);
  return out;
}

TEST(SplitCharacters, WhatAPersonSeesAsOneCharacter) {
  using Chars = std::vector<std::string>;
  EXPECT_EQ(Split("caf\xC3\xA9 \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"),
            (Chars{"c", "a", "f", "\xC3\xA9", " ", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"}));
  // e plus a combining accent is one character, as is the precomposed é.
  EXPECT_EQ(Split("e\xCC\x81x"), (Chars{"e\xCC\x81", "x"}));
  // A family: woman, ZWJ, woman, ZWJ, girl.
  const std::string family =
      "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
  EXPECT_EQ(Split(family + "!"), (Chars{family, "!"}));
  // Three regional indicators at the start: a flag, then a lone one.
  EXPECT_EQ(Split("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7\xF0\x9F\x87\xA9"),
            (Chars{"\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", "\xF0\x9F\x87\xA9"}));
  // A Hangul syllable written as three jamo.
  EXPECT_EQ(Split("\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8"),
            (Chars{"\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8"}));
  // CR LF is two characters; CR and LF each break from their neighbours.
  EXPECT_EQ(Split("a\r\n\xCC\x81"), (Chars{"a", "\r", "\n", "\xCC\x81"}));
  // A byte-order mark is a character of its own.
  EXPECT_EQ(Split("\xEF\xBB\xBFhi"), (Chars{"\xEF\xBB\xBF", "h", "i"}));
  EXPECT_EQ(Split(""), Chars{});
}

std::string FromCodePoints(std::initializer_list<char32_t> code_points) {
  std::string text;
  for (const char32_t cp : code_points) text += EncodeUtf8(cp);
  return text;
}

// Conjuncts of Indic scripts (consonant, virama, consonant) are one
// character from Unicode 15.1 on and two before: they are cut as the
// linked library cuts them, whatever its version.
TEST(SplitCharacters, IndicConjunctsAsTheLinkedLibraryCutsThem) {
  const std::vector<std::string> texts = {
      FromCodePoints({0x915, 0x94D, 0x937}),                       // Devanagari KA virama SSA
      FromCodePoints({0x915, 0x94D, 0x200D, 0x937}),               // ... with a joiner
      FromCodePoints({0x915, 0x94D, 0x200C, 0x937}),               // ... with a non-joiner
      FromCodePoints({0x915, 0x93C, 0x94D, 0x937}),                // KA nukta virama SSA
      FromCodePoints({0x915, 0x94D, 0x937, 0x924, 0x94D, 0x930}),  // two in a row
      FromCodePoints({0x995, 0x9CD, 0x9B7}),                       // Bengali
      FromCodePoints({0xD15, 0xD4D, 0xD37}),                       // Malayalam
      FromCodePoints({0x915, 0x94D, U'a', 0x937}),                 // ASCII between
  };
  for (const std::string& text : texts) {
    const auto expected = test::ReferenceCharacters(text);
    EXPECT_EQ(Split(text), expected) << Escaped(text);
    EXPECT_EQ(LetterIndex::Build(text).Letters(), expected.size()) << Escaped(text);
  }
}

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

// The Unicode version a GraphemeBreakTest.txt is of, from its first line
// ("# GraphemeBreakTest-15.0.0.txt").
std::string UnicodeVersionOfTestFile(const std::string& first_line) {
  const std::string prefix = "# GraphemeBreakTest-";
  if (first_line.rfind(prefix, 0) != 0) return "";
  const std::size_t end = first_line.find(".txt", prefix.size());
  return end == std::string::npos ? "" : first_line.substr(prefix.size(), end - prefix.size());
}

// Every line of Unicode's own test file for the segmentation (from
// Debian's unicode-data), with CR LF cut in two, through the splitting
// and through the letter index. The file must be of the Unicode version
// the linked library implements, as each version changes some lines.
TEST(GraphemeBreakTest, EveryLineOfUnicodesTestFile) {
  std::ifstream file(VORPEL_GRAPHEME_BREAK_TEST);
  ASSERT_TRUE(file) << "missing " << VORPEL_GRAPHEME_BREAK_TEST << " (Debian package unicode-data)";
  std::string line;
  ASSERT_TRUE(std::getline(file, line));
  const std::string file_version = UnicodeVersionOfTestFile(line);
  ASSERT_FALSE(file_version.empty())
      << "no version in the first line of " << VORPEL_GRAPHEME_BREAK_TEST << ": " << line;
  if (file_version != utf8proc_unicode_version()) {
    GTEST_SKIP() << VORPEL_GRAPHEME_BREAK_TEST << " is of Unicode " << file_version
                 << ", the linked utf8proc " << utf8proc_version() << " of Unicode "
                 << utf8proc_unicode_version()
                 << ": its lines would not all hold (GraphemeBreaks.AnswersAsTheLinkedLibrary"
                    "InEveryStateForEveryCodePoint checks the cache against this library)";
  }
  std::size_t lines = 0;
  while (std::getline(file, line)) {
    line = line.substr(0, line.find('#'));
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    // "÷ 0020 × 0308 ÷ 0020 ÷": ÷ marks a boundary, × none.
    std::istringstream fields(line);
    std::string field;
    std::string text;
    std::vector<std::string> expected;
    bool surrogate = false;
    while (fields >> field) {
      if (field == "\xC3\xB7") {  // ÷
        expected.emplace_back();
      } else if (field == "\xC3\x97") {  // ×
      } else {
        const auto cp = static_cast<char32_t>(std::stoul(field, nullptr, 16));
        if (cp >= 0xD800 && cp <= 0xDFFF) surrogate = true;
        // A surrogate (the file has none today) cannot be UTF-8: its
        // three bytes make the text 8-bit.
        std::string bytes = EncodeUtf8(cp);
        text += bytes;
        expected.back() += bytes;
      }
    }
    expected.pop_back();  // the boundary at the end
    // Our rule: CR LF is two characters.
    std::vector<std::string> with_cr_lf;
    for (auto& character : expected) {
      if (character == "\r\n") {
        with_cr_lf.emplace_back("\r");
        with_cr_lf.emplace_back("\n");
      } else {
        with_cr_lf.push_back(character);
      }
    }
    ++lines;
    if (surrogate) {
      EXPECT_FALSE(CheckUtf8(text).Valid()) << line;
      continue;
    }
    ASSERT_TRUE(CheckUtf8(text).Valid()) << line;
    EXPECT_EQ(Split(text), with_cr_lf) << line;

    const LetterIndex index = LetterIndex::Build(text);
    ASSERT_EQ(index.Letters(), with_cr_lf.size()) << line;
    std::size_t offset = 0;
    for (std::size_t n = 0; n < with_cr_lf.size(); ++n) {
      EXPECT_EQ(index.StartOf(n), offset) << line << " letter " << n;
      offset += with_cr_lf[n].size();
    }
    EXPECT_EQ(index.StartOf(with_cr_lf.size()), text.size());
  }
  EXPECT_GT(lines, 600u);
}

TEST(LetterIndex, AgreesWithTheLibrarysOwnSegmentationOnGeneratedTexts) {
  std::mt19937 random(5);
  for (int round = 0; round < 1500; ++round) {
    const std::string text = test::RandomUtf8(random, random() % 120);
    const auto expected = test::ReferenceCharacters(text);
    const LetterIndex index = LetterIndex::Build(text);
    ASSERT_EQ(index.Letters(), expected.size()) << Escaped(text);
    std::size_t offset = 0;
    for (std::size_t n = 0; n < expected.size(); ++n) {
      ASSERT_EQ(index.StartOf(n), offset) << Escaped(text) << " letter " << n;
      ASSERT_TRUE(index.IsStart(offset));
      offset += expected[n].size();
    }
    ASSERT_EQ(index.StartOf(expected.size()), text.size());
    ASSERT_EQ(Split(text), expected) << Escaped(text);
  }
}

// A prepended mark (U+0600) joins the ASCII letter after it; here two end
// 64-byte blocks in a row, so each letter joined starts the next block.
TEST(LetterIndex, PrependedMarksEndingTwoBlocksInARow) {
  const std::string mark = "\xD8\x80";
  const std::string text =
      std::string(62, 'a') + mark + "b" + std::string(61, 'c') + mark + "d" + std::string(70, 'e');
  const auto expected = test::ReferenceCharacters(text);
  ASSERT_EQ(expected[62], mark + "b");
  const LetterIndex index = LetterIndex::Build(text);
  ASSERT_EQ(index.Letters(), expected.size());
  std::size_t offset = 0;
  for (std::size_t n = 0; n < expected.size(); ++n) {
    EXPECT_EQ(index.StartOf(n), offset) << "letter " << n;
    offset += expected[n].size();
  }
}

// Past the hints of the directory: many letters, a few of them wide.
TEST(LetterIndex, FindsEveryStartInALongText) {
  std::string text;
  std::vector<std::size_t> starts;
  for (int i = 0; i < 200000; ++i) {
    starts.push_back(text.size());
    text += (i % 7 == 0) ? "\xE4\xB8\xAD" : (i % 11 == 0) ? "e\xCC\x81" : "a";
  }
  const LetterIndex index = LetterIndex::Build(text);
  ASSERT_EQ(index.Letters(), starts.size());
  for (std::size_t n = 0; n < starts.size(); n += 997) EXPECT_EQ(index.StartOf(n), starts[n]);
  EXPECT_EQ(index.StartOf(starts.size() - 1), starts.back());
}

// A text long enough to be indexed in two halves at once: the same starts
// as the library's own segmentation of the whole text.
TEST(LetterIndex, ALongTextIndexedInTwoHalvesFindsTheSameStarts) {
  std::mt19937 random(17);
  std::string text;
  while (text.size() < (std::size_t{9} << 20)) text += test::RandomUtf8(random, 200);
  const auto expected = test::ReferenceCharacters(text);
  const LetterIndex index = LetterIndex::Build(text);
  ASSERT_EQ(index.Letters(), expected.size());
  std::size_t offset = 0;
  for (std::size_t n = 0; n < expected.size(); ++n) {
    ASSERT_TRUE(index.IsStart(offset)) << "letter " << n;
    if (n % 997 == 0) {
      ASSERT_EQ(index.StartOf(n), offset) << "letter " << n;
    }
    offset += expected[n].size();
  }
  EXPECT_EQ(index.StartOf(expected.size()), text.size());
}

}  // namespace
}  // namespace vorpel
