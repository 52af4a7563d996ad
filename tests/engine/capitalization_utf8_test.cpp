// The capitalization fix on UTF-8 text: worked examples, and the filter
// (fed in blocks cut anywhere, inside characters too) against the literal
// fix character by character.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "capitalization_fix.h"
#include "source_reader.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/reference_algorithms.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/utf8_reference.h"
#include "vorpel_test/utf8_texts.h"
#include "write_pipeline.h"

namespace vorpel {
namespace {

using test::Escaped;

// Collects what it is given.
class StringSink final : public ByteSink {
 public:
  FileStatus Write(std::span<char> block) override {
    text.append(block.data(), block.size());
    return std::nullopt;
  }
  std::string text;
};

// The sink fed in blocks of the given sizes, one after the other, cycling.
std::string Fixed(std::string text, std::string_view word_sep,
                  const std::vector<std::size_t>& blocks = {1 << 20},
                  TextEncoding encoding = TextEncoding::Utf8) {
  StringSink out;
  CapitalizingSink sink(out, word_sep, SentenceEndMarks, encoding);
  std::size_t at = 0;
  for (std::size_t k = 0; at < text.size(); ++k) {
    const std::size_t size = std::min(blocks[k % blocks.size()], text.size() - at);
    EXPECT_FALSE(sink.Write(std::span<char>(text.data() + at, size)));
    at += size;
  }
  EXPECT_FALSE(sink.Finish());
  return out.text;
}

TEST(Utf8Capitalization, WorkedExamples) {
  const std::string em = "\xE2\x80\x94";
  struct Case {
    const char* name;
    std::string text;
    std::string word_sep;
    std::string expected;
  };
  for (const auto& c : std::vector<Case>{
           {"plain sentences", "hello world. this is it! yes? no", " ",
            "Hello world. This is it! Yes? No"},
           {"an accented letter takes the flag and stays", "end. \xC3\xA9t\xC3\xA9 ok", " ",
            "End. \xC3\xA9t\xC3\xA9 ok"},
           {"a letter with a combining accent is beyond ASCII", "end. e\xCC\x81te", " ",
            "End. e\xCC\x81te"},
           {"the first character with a combining accent stays",
            "a\xCC\x81"
            "bc. d",
            " ",
            "a\xCC\x81"
            "bc. D"},
           {"a typed dash is skipped like a space", "end. " + em + "next", " " + em,
            "End. " + em + "Next"},
           {"a curly quote takes the flag", "end. \xE2\x80\x9Cquote", " " + em,
            "End. \xE2\x80\x9Cquote"},
           {"a mark with a combining accent is no mark", "x.\xCC\x81 y", " ", "X.\xCC\x81 y"},
           {"CR LF after a mark takes the flag", "end.\r\nnext", " ", "End.\r\nnext"},
           {"an emoji separator", "so. \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD yes",
            " \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", "So. \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD Yes"},
           {"the thumb without its skin tone is no separator", "so. \xF0\x9F\x91\x8D yes",
            " \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", "So. \xF0\x9F\x91\x8D yes"},
           {"a letter joined by a prepended mark before it",
            "x. \xD8\x80"
            "a",
            " ",
            "X. \xD8\x80"
            "a"},
           {"marks in a row", "wait... then", " ", "Wait... Then"},
       }) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(test::ReferenceFixUtf8(c.text, c.word_sep, SentenceEndMarks), c.expected);
    EXPECT_EQ(Fixed(c.text, c.word_sep), c.expected);
    EXPECT_EQ(Fixed(c.text, c.word_sep, {1}), c.expected);
    EXPECT_EQ(Fixed(c.text, c.word_sep, {2, 3, 1}), c.expected);
  }
}

TEST(Utf8Capitalization, MatchesTheLiteralFixInBlocksCutAnywhere) {
  std::mt19937 random(41);
  const std::vector<std::string> extra = {
      ". ", "! ", "? ", "_", ". a", ".\xCC\x81", ". \xC3\xA9", "\xE2\x80\x94", " ", "a", "z"};
  const std::vector<std::string> separators = {
      " ", "", " \xE2\x80\x94", "\xC2\xA0 ", "e\xCC\x81 ", "\r\n ", " \xF0\x9F\x87\xAB", "a"};
  int failures = 0;
  for (int round = 0; round < 3000 && failures < 5; ++round) {
    const std::string text = test::RandomUtf8(random, random() % 60, extra);
    const std::string& word_sep = separators[random() % separators.size()];
    const std::string expected = test::ReferenceFixUtf8(text, word_sep, SentenceEndMarks);
    std::vector<std::size_t> blocks;
    for (int k = 0; k < 5; ++k) blocks.push_back(1 + random() % (round % 2 == 0 ? 4 : 80));
    const std::string got = Fixed(text, word_sep, blocks);
    if (got != expected) {
      ADD_FAILURE() << "WordSep " << Escaped(word_sep) << "\n text     " << Escaped(text)
                    << "\n expected " << Escaped(expected) << "\n got      " << Escaped(got);
      ++failures;
    }
  }
}

// A pure-ASCII pool is fixed the 8-bit way, and that gives the same text.
TEST(Utf8Capitalization, AsciiTextIsFixedAlikeEitherWay) {
  std::mt19937 random(9);
  for (int round = 0; round < 500; ++round) {
    std::string text;
    while (text.size() < 200)
      text += std::vector<std::string>{"ab", " ", ". ", "x", "!", "\r\n"}[random() % 6];
    for (const std::string word_sep : {" ", " \xE2\x80\x94", "\xC3\xA9 "}) {
      ASSERT_EQ(Fixed(text, word_sep, {7}, TextEncoding::EightBit), Fixed(text, word_sep, {7}))
          << Escaped(text);
    }
  }
}

// Bytes that are part of no character (a separator given as raw bytes
// closes a UTF-8 source's last word with one) are characters of their own:
// ASCII text with such bytes is fixed exactly as the 8-bit rules fix it,
// whichever blocks it comes in, and the filter never reads past them.
TEST(Utf8Capitalization, StrayBytesAreCharactersAsInEightBitText) {
  std::mt19937 random(17);
  const std::vector<std::string> pieces = {"ab", " ",    ". ",   "x",    "!",   "\r\n",
                                           ".",  "\xE9", "\xFF", "\xC0", "\xF4"};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const std::size_t size = random() % 40;
    while (text.size() < size) text += pieces[random() % pieces.size()];
    std::vector<std::size_t> blocks;
    for (int k = 0; k < 4; ++k) blocks.push_back(1 + random() % 5);
    for (const std::string word_sep : {"\xE9", " \xFF", "\xFF\xC3\xA9", "\xC0 "}) {
      ASSERT_EQ(Fixed(text, word_sep, blocks), test::ReferenceFix(text, word_sep, SentenceEndMarks))
          << "WordSep " << Escaped(word_sep) << " text " << Escaped(text);
    }
  }
  // A broken sequence swallows no letter after it.
  EXPECT_EQ(Fixed("x. \xC3"
                  "a. \xF0\x9F"
                  "b",
                  "\xC3\xF0 ", {1}),
            "X. \xC3"
            "A. \xF0\x9F"
            "b");
}

// The Write command reads the intermediate file in the encoding of the pool
// it was drawn from.
TEST(Utf8Capitalization, WriteCommandFixesAUtf8PoolAsUtf8) {
  test::TempDir dir;
  const auto source = dir / "source.txt";
  // One item: a sentence end, then "a" with a combining accent, which the
  // 8-bit reading would capitalize.
  test::WriteFile(source, "ok. a\xCC\x81 b");
  Session session;
  session.settings.SetDefaultOptions();
  session.settings.UnitMode = kWordsMode;
  session.settings.SeqLength = 100;
  session.settings.OWrite = 1;
  test::RecordingReporter reporter;
  ASSERT_EQ(ReadSource(session, source, reporter), ReadOutcome::Read);
  ASSERT_EQ(session.pool.Encoding(), TextEncoding::Utf8);
  WriteCommandOptions options;
  options.temp_path = dir / "intermediate";
  options.seed = 1;
  const auto target = dir / "target.txt";
  ASSERT_EQ(RunWriteCommand(session, {"1", target}, reporter, options), WriteOutcome::Written);
  EXPECT_EQ(test::ReadFile(target), "Ok. a\xCC\x81 b ");
}

}  // namespace
}  // namespace vorpel
