#include "utf8_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "vorpel_test/printing.h"
#include "vorpel_test/scoped_tuning.h"
#include "vorpel_test/utf8_reference.h"
#include "vorpel_test/utf8_texts.h"

namespace vorpel {
namespace {

using test::Escaped;

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
// ones, at every place of a 64-byte block and across the border of two;
// with the AVX2 check where the processor has it, and with the plain one.
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
  for (const bool avx2 : {true, false}) {
    Tuning tuning;
    tuning.avx2_utf8_check = avx2;
    const test::ScopedTuning scoped(tuning);
    for (const std::size_t place : {0, 30, 61, 62, 63, 64, 127, 140}) {
      for (const auto& sequence : sequences) {
        std::string text(200, 'a');
        text.replace(place, sequence.size(), sequence);
        const auto expected = test::ReferenceFirstInvalidUtf8(text);
        const Utf8Check check = CheckUtf8(text);
        if (check.first_invalid != expected) {
          ADD_FAILURE() << "at " << place << (avx2 ? "" : ", plain check") << ": "
                        << Escaped(sequence);
          return;
        }
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 1000000u);
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

}  // namespace
}  // namespace vorpel
