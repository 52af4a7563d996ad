#include "capitalization.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "capitalization_fix.h"
#include "vorpel_test/assertions.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/reference_algorithms.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"
#include "write_pipeline.h"

namespace vorpel {
namespace {

using test::Escaped;
using test::ReferenceFix;
using test::TempDir;

std::string Filtered(std::string text, std::string_view word_sep, std::string_view marks) {
  CapitalizationFilter filter(word_sep, marks);
  filter.Apply(std::span<char>(text.data(), text.size()));
  return text;
}

// The filter fed one byte at a time: every block boundary at once.
std::string FilteredBytewise(std::string text, std::string_view word_sep, std::string_view marks) {
  CapitalizationFilter filter(word_sep, marks);
  for (char& c : text) filter.Apply(std::span<char>(&c, 1));
  return text;
}

// ---------------------------------------------------------------------------
// Letters

TEST(CapitalizeChar, EveryByteAgreesWithLetterCodes) {
  for (int code = 0; code < 256; ++code) {
    const std::string s(1, static_cast<char>(code));
    const bool lower = code >= 'a' && code <= 'z';
    EXPECT_EQ(IsLowerLetter(s), lower) << code;
    const std::string expected(1, static_cast<char>(lower ? code - 32 : code));
    EXPECT_EQ(CapitalizeChar(s), expected) << code;
    // Only the first byte is looked at; the rest is dropped.
    EXPECT_EQ(IsLowerLetter(s + "A"), lower) << code;
    EXPECT_EQ(CapitalizeChar(s + "bc"), expected) << code;
  }
  EXPECT_FALSE(IsLowerLetter("Ab"));
  EXPECT_TRUE(IsLowerLetter("aB"));
  EXPECT_FALSE(IsLowerLetter("\xE9"));  // accented e stays as it is
  EXPECT_EQ(CapitalizeChar("\xE9"), "\xE9");
}

TEST(CapitalizeChar, EmptyTextIsNoLetterAndGivesNothing) {
  EXPECT_FALSE(IsLowerLetter(""));
  EXPECT_EQ(CapitalizeChar(""), "");
}

// ---------------------------------------------------------------------------
// Examples

struct FixExample {
  std::string input;
  std::string expected;
  std::string word_sep = " ";
  std::string marks = SentenceEndMarks;
};

std::vector<FixExample> FixExamples() {
  return {
      {"hello world. this is it! yes? no", "Hello world. This is it! Yes? No"},
      {"end_ next", "End_ Next"},
      {"one_two", "One_Two"},
      {"wait... then", "Wait... Then"},
      {"end. 3 apples", "End. 3 apples"},
      {" starts with a space. then", " starts with a space. Then"},
      {"end.\r\nnext", "End.\r\nnext"},
      {"end.\nnext", "End.\nnext"},
      {"\xE9t\xE9. \xE9t\xE9", "\xE9t\xE9. \xE9t\xE9"},
      {"Already Right. Nothing To Do!", "Already Right. Nothing To Do!"},
      {"a. b", "A. b", ""},
      {"end. -next", "End. -Next", " -"},
      // Further cases of the same shape.
      {"", ""},
      {"a", "A"},
      {".a", ".a"},  // a mark in first place does not set the flag
      {"a.b", "A.B"},
      {"x.   y", "X.   Y"},
      {"x. Y z", "X. Y z"},  // a capital takes the flag
      {"x. \"quoted\" y", "X. \"quoted\" y"},
      {"x.?a", "X.?A"},
      {"x. . a", "X. . A"},
      {"x.\ty", "X.\ty"},
      {"x.\ty", "X.\tY", " \t"},
      {"x;y", "X;Y", " ", ";"},
      {"x.y", "X.y", " ", ""},
      {"x. y", "X. Y", " ", ". "},  // a separator that is also a mark
      {"zz. aa", "Zz. Aa"},
      {"{. `", "{. `"},  // the neighbours of a..z stay
  };
}

TEST(FixCapitalizationExamples, FilterGivesTheListedText) {
  for (const auto& [input, expected, word_sep, marks] : FixExamples()) {
    SCOPED_TRACE(Escaped(input));
    EXPECT_EQ(Filtered(input, word_sep, marks), expected);
    EXPECT_EQ(FilteredBytewise(input, word_sep, marks), expected);
    EXPECT_EQ(ReferenceFix(input, word_sep, marks), expected);
  }
}

TEST(FixCapitalizationExamples, FilesGiveTheListedText) {
  TempDir dir;
  const auto intermediate = dir / "%Vorpel.temp%";
  const auto target = dir / "target.txt";
  for (const auto& [input, expected, word_sep, marks] : FixExamples()) {
    SCOPED_TRACE(Escaped(input));
    test::WriteFile(intermediate, input);
    ASSERT_TRUE(test::Succeeded(FixCapitalization(intermediate, target, marks, word_sep)));
    EXPECT_EQ(test::ReadFile(target), expected);
    EXPECT_EQ(test::ReadFile(intermediate), input);  // left in place, uncorrected
  }
}

// ---------------------------------------------------------------------------
// Differential test against the literal algorithm

// Up to max_length bytes: mostly runs of one to three of letters, capitals,
// marks, blanks, line breaks, digits, quotes and the neighbours of a..z,
// now and then any byte.
std::string RandomFixText(std::mt19937_64& rng, std::size_t max_length) {
  static const std::string kPieces = "abcxyzABZ.!?_ ,-\t\r\n09\"'{`@[\xE9\xFF";
  const std::size_t length = rng() % (max_length + 1);
  return test::MakeText(length, rng,
                        test::Steps({test::Choice({{1, test::OneOf(test::ByteRange(0, 255))},
                                                   {7, test::Repeated(1, 3, kPieces)}})},
                                    /*cut_to_size=*/false));
}

TEST(FixCapitalizationDifferential, FilterMatchesLiteralAlgorithmInAnyBlockSplit) {
  const std::vector<std::string> word_seps = {" ", "", " -", " \t\r\n", "\xE9", "a", ". "};
  // More than four marks, and long blocks, reach the filter's other search
  // paths (table look-up; 16 and 32 bytes at a time).
  const std::vector<std::string> marks_list = {SentenceEndMarks, "",  ".",     "a",
                                               "\xFF!",          " ", ".!?_;:"};
  std::mt19937_64 rng(31337);
  int failures = 0;
  for (int i = 0; i < 5000 && failures < 5; ++i) {
    const std::string& word_sep = word_seps[rng() % word_seps.size()];
    const std::string& marks = marks_list[rng() % marks_list.size()];
    const bool long_blocks = i % 2 == 1;
    const std::string input = RandomFixText(rng, long_blocks ? 700 : 200);
    const std::string expected = ReferenceFix(input, word_sep, marks);

    std::string text = input;
    CapitalizationFilter filter(word_sep, marks);
    std::size_t position = 0;
    std::string splits;
    while (position < text.size()) {
      // Empty blocks too: they must not disturb the state.
      const std::size_t limit = long_blocks ? 160 : 9;
      const std::size_t size = std::min<std::size_t>(rng() % limit, text.size() - position);
      filter.Apply(std::span<char>(text.data() + position, size));
      position += size;
      splits += std::to_string(size) + " ";
    }
    if (text != expected) {
      ++failures;
      ADD_FAILURE() << "case " << i << " WordSep " << Escaped(word_sep) << " marks "
                    << Escaped(marks) << "\n input " << Escaped(input) << "\n blocks " << splits
                    << "\n expected " << Escaped(expected) << "\n got " << Escaped(text);
    }
  }
}

TEST(FixCapitalizationDifferential, SinkPassesFixedBlocksOn) {
  std::mt19937_64 rng(8);
  for (int i = 0; i < 200; ++i) {
    const std::string input = RandomFixText(rng, 300);
    test::StringSink out;
    CapitalizingSink sink(out, " ", SentenceEndMarks);
    std::string text = input;
    std::size_t position = 0;
    while (position < text.size()) {
      const std::size_t size = std::min<std::size_t>(1 + rng() % 50, text.size() - position);
      ASSERT_TRUE(test::Succeeded(sink.Write(std::span<char>(text.data() + position, size))));
      position += size;
    }
    EXPECT_EQ(out.text, ReferenceFix(input, " ", SentenceEndMarks)) << Escaped(input);
  }
}

TEST(FixCapitalizationDifferential, LargeFileCarriesStateAcrossReadBlocks) {
  // Several megabytes, so the copy takes more than one read block, with a
  // sentence end right before the 4 MiB mark (a block boundary for any
  // power-of-two block size up to that). The filter over the whole text in one piece
  // (checked against the literal algorithm above) is the expected result.
  std::mt19937_64 rng(77);
  std::string input;
  while (input.size() < 9'000'000) input += RandomFixText(rng, 1000);
  constexpr std::size_t kBoundary = std::size_t{4} << 20;
  input.replace(kBoundary - 4, 5, "0x. y");
  TempDir dir;
  test::WriteFile(dir / "in", input);
  ASSERT_TRUE(test::Succeeded(FixCapitalization(dir / "in", dir / "out", SentenceEndMarks, " ")));
  const std::string got = test::ReadFile(dir / "out");
  const std::string expected = Filtered(input, " ", SentenceEndMarks);
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_EQ(got.substr(kBoundary - 4, 5), "0x. Y");
  const auto mismatch = std::mismatch(got.begin(), got.end(), expected.begin());
  EXPECT_TRUE(mismatch.first == got.end())
      << "first difference at byte " << (mismatch.first - got.begin());
  // The head of the text against the literal algorithm as well.
  EXPECT_EQ(got.substr(0, 100'000),
            ReferenceFix(std::string_view(input).substr(0, 100'000), " ", SentenceEndMarks));
}

// ---------------------------------------------------------------------------
// The fixer's file cases

TEST(FixCapitalizationFiles, EmptyTargetPath_IsRefusedAndNothingChanges) {
  TempDir dir;
  test::WriteFile(dir / "in", "abc");
  EXPECT_NE(FixCapitalization(dir / "in", "", SentenceEndMarks, " "), std::nullopt);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"in"});
  EXPECT_EQ(test::ReadFile(dir / "in"), "abc");
}

TEST(FixCapitalizationFiles, MissingIntermediate_IsRefusedAndTargetNotCreated) {
  TempDir dir;
  EXPECT_NE(FixCapitalization(dir / "in", dir / "out", SentenceEndMarks, " "), std::nullopt);
  EXPECT_TRUE(dir.Names().empty());
  // An existing target is not emptied either.
  test::WriteFile(dir / "out", "keep");
  EXPECT_NE(FixCapitalization(dir / "in", dir / "out", SentenceEndMarks, " "), std::nullopt);
  EXPECT_EQ(test::ReadFile(dir / "out"), "keep");
}

TEST(FixCapitalizationFiles, EmptyIntermediate_GivesEmptyTarget) {
  TempDir dir;
  test::WriteFile(dir / "in", "");
  ASSERT_TRUE(test::Succeeded(FixCapitalization(dir / "in", dir / "new", SentenceEndMarks, " ")));
  EXPECT_EQ(test::ReadFile(dir / "new"), "");
  test::WriteFile(dir / "old", "old content");
  ASSERT_TRUE(test::Succeeded(FixCapitalization(dir / "in", dir / "old", SentenceEndMarks, " ")));
  EXPECT_EQ(test::ReadFile(dir / "old"), "");
}

TEST(FixCapitalizationFiles, ExistingTarget_IsReplaced) {
  TempDir dir;
  test::WriteFile(dir / "in", "new text. yes");
  test::WriteFile(dir / "out", "a much longer old content that must be gone entirely");
  ASSERT_TRUE(test::Succeeded(FixCapitalization(dir / "in", dir / "out", SentenceEndMarks, " ")));
  EXPECT_EQ(test::ReadFile(dir / "out"), "New text. Yes");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"in", "out"}));
}

TEST(FixCapitalizationFiles, TargetIsIntermediate_GetsFixedText) {
  TempDir dir;
  test::WriteFile(dir / "same", "one. two. three");
  ASSERT_TRUE(
      test::Succeeded(FixCapitalization(dir / "same", dir / "same", SentenceEndMarks, " ")));
  EXPECT_EQ(test::ReadFile(dir / "same"), "One. Two. Three");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"same"});
}

TEST(FixCapitalizationFiles, TargetInMissingFolder_ReportsPath) {
  TempDir dir;
  test::WriteFile(dir / "in", "abc");
  const auto target = dir / "no-such-folder" / "out";
  const FileStatus status = FixCapitalization(dir / "in", target, SentenceEndMarks, " ");
  ASSERT_NE(status, std::nullopt);
  EXPECT_TRUE(status->code);
  EXPECT_NE(status->Describe().find("no-such-folder"), std::string::npos) << status->Describe();
}

}  // namespace
}  // namespace vorpel
