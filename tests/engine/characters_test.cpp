#include "characters.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "letter_index.h"
#include "utf8_check.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/utf8_reference.h"

#ifndef VORPEL_GRAPHEME_BREAK_TEST
#define VORPEL_GRAPHEME_BREAK_TEST "/usr/share/unicode/auxiliary/GraphemeBreakTest.txt"
#endif

namespace vorpel {
namespace {

using test::Escaped;

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
  for (const char32_t cp : code_points) text += test::EncodeUtf8(cp);
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
        std::string bytes = test::EncodeUtf8(cp);
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

}  // namespace
}  // namespace vorpel
