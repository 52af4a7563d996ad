#include "source_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "vorpel_test/child_process.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/reference_algorithms.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"
#include "vorpel_test/utf8_reference.h"
#include "word_separators.h"

namespace vorpel {
namespace {

using test::Escaped;
using test::PoolItems;
using test::RecordingReporter;
using test::ReferenceRead;
using test::TempDir;
using Items = std::vector<std::string>;

GenerationSettings Settings(std::int16_t unit_mode, std::int16_t seq_length,
                            std::string word_sep = " ", std::int16_t mult_seq = 0) {
  GenerationSettings settings;
  settings.UnitMode = unit_mode;
  settings.SeqLength = seq_length;
  settings.WordSep = std::move(word_sep);
  settings.MultSeq = mult_seq;
  return settings;
}

Items BuildItems(std::string_view text, const GenerationSettings& settings) {
  return PoolItems(BuildPool(test::MakeBuffer(text, 1), settings));
}

// Reads text from a real file through the Read command.
Items ReadItems(const TempDir& dir, std::string_view text, const GenerationSettings& settings) {
  const auto path = dir / "source.txt";
  test::WriteFile(path, text);
  Session session;
  session.settings = settings;
  RecordingReporter reporter;
  const ReadOutcome outcome = ReadSource(session, path, reporter);
  EXPECT_EQ(outcome, ReadOutcome::Read);
  EXPECT_TRUE(reporter.events.empty());
  return PoolItems(session.pool);
}

// ---------------------------------------------------------------------------
// IsSeparatorChar

TEST(IsSeparatorChar, IsSubstringTestWithExactBytes) {
  struct Case {
    std::string c;
    std::string word_sep;
    bool expected;
  };
  const std::vector<Case> cases = {
      {" ", " ", true},
      {",", " ,", true},
      {"x", " ,", false},
      {"X", "x", false},
      {"x", "x", true},
      {"", " ", false},
      {"", "", false},
      {" ", "", false},
      {"\xE9", "a\xE9", true},
      {"\xE9", "\xC9", false},
      {std::string(1, '\0'), std::string("a\0b", 3), true},
      {std::string(1, '\0'), "ab", false},
      {"ab", "xaby", true},
      {"ba", "xaby", false},
      {"\r", "\r\n", true},
  };
  for (const auto& [c, word_sep, expected] : cases) {
    EXPECT_EQ(IsSeparatorChar(c, word_sep), expected)
        << "c=" << Escaped(c) << " WordSep=" << Escaped(word_sep);
  }
}

// ---------------------------------------------------------------------------
// The worked examples, both modes, through the pool builder and through
// real files.

struct WorkedExample {
  const char* name;
  std::string text;
  std::int16_t seq_length;
  std::string word_sep;
  Items letters;
  Items words;
};

std::vector<WorkedExample> WorkedExamples() {
  return {
      {"sentence",
       "The cat sat.",
       2,
       " ",
       {"Th", "e ", "ca", "t ", "sa", "t."},
       {"The cat ", "sat. "}},
      {"two spaces", "a  b", 2, " ", {"a ", " b"}, {"a  ", "b "}},
      {"cut-off word", "Hi there", 2, " ", {"Hi", " t", "he", "re"}, {"Hi there "}},
      {"short last item", "one two", 4, " ", {"one ", "two"}, {"one two "}},
      {"space and comma", "x,y z", 2, " ,", {"x,", "y ", "z"}, {"x,y ", "z "}},
      {"empty separator",
       "one two three",
       1,
       "",
       {"o", "n", "e", " ", "t", "w", "o", " ", "t", "h", "r", "e", "e"},
       {"one two three"}},
      {"two lines", "ab\r\ncd", 3, " ", {"ab\r", "\ncd"}, {"ab\r\ncd "}},
      {"empty, length 1", "", 1, " ", {}, {}},
      {"empty, length 4", "", 4, " ", {}, {}},
      {"empty, length 100", "", 100, " ", {}, {}},
      // Further cases of the same shape.
      {"shorter than one sequence", "abc", 10, " ", {"abc"}, {"abc "}},
      {"ends with separator", "ab cd ", 1, " ", {"a", "b", " ", "c", "d", " "}, {"ab ", "cd "}},
      {"separators compared exactly",
       "aXb xc",
       1,
       "x",
       {"a", "X", "b", " ", "x", "c"},
       {"aXb x", "cx"}},
      {"duplicates kept", "aaa", 1, " ", {"a", "a", "a"}, {"aaa "}},
      {"run of separators", "a   b", 1, " ", {"a", " ", " ", " ", "b"}, {"a ", " ", " ", "b "}},
      {"line break as separator",
       "ab\ncd\n",
       1,
       "\n",
       {"a", "b", "\n", "c", "d", "\n"},
       {"ab\n", "cd\n"}},
      {"high byte separator first", "ab", 1, "\xE9 ", {"a", "b"}, {"ab\xE9"}},
  };
}

TEST(WorkedExamples, BuildPoolGivesTheListedItems) {
  for (const auto& example : WorkedExamples()) {
    SCOPED_TRACE(example.name);
    EXPECT_EQ(
        BuildItems(example.text, Settings(kLettersMode, example.seq_length, example.word_sep)),
        example.letters);
    EXPECT_EQ(BuildItems(example.text, Settings(kWordsMode, example.seq_length, example.word_sep)),
              example.words);
  }
}

TEST(WorkedExamples, ReadSourceGivesTheListedItems) {
  TempDir dir;
  for (const auto& example : WorkedExamples()) {
    SCOPED_TRACE(example.name);
    EXPECT_EQ(
        ReadItems(dir, example.text, Settings(kLettersMode, example.seq_length, example.word_sep)),
        example.letters);
    EXPECT_EQ(
        ReadItems(dir, example.text, Settings(kWordsMode, example.seq_length, example.word_sep)),
        example.words);
  }
}

TEST(WorkedExamples, ReferenceAgreesWithTheTable) {
  // The reference itself is checked against the same table, so a mistake in
  // it cannot hide a mistake in the reader.
  for (const auto& example : WorkedExamples()) {
    SCOPED_TRACE(example.name);
    EXPECT_EQ(ReferenceRead(example.text, example.seq_length, 1, example.word_sep),
              example.letters);
    EXPECT_EQ(ReferenceRead(example.text, example.seq_length, 2, example.word_sep), example.words);
  }
}

// The worked examples with the sequences overlapping (MultSeq 1): one
// starts at every unit, and a source of fewer units gives one item of all.
std::vector<WorkedExample> OverlapExamples() {
  return {
      {"letters and a cut-off word", "abcde", 3, " ", {"abc", "bcd", "cde"}, {"abcde "}},
      {"words",
       "one two three four",
       2,
       " ",
       {"on", "ne", "e ", " t", "tw", "wo", "o ", " t", "th", "hr", "re", "ee", "e ", " f", "fo",
        "ou", "ur"},
       {"one two ", "two three ", "three four "}},
      {"sentence",
       "The cat sat.",
       2,
       " ",
       {"Th", "he", "e ", " c", "ca", "at", "t ", " s", "sa", "at", "t."},
       {"The cat ", "cat sat. "}},
      {"two spaces", "a  b", 2, " ", {"a ", "  ", " b"}, {"a  ", " b "}},
      {"line break", "a\r\nb", 2, " ", {"a\r", "\r\n", "\nb"}, {"a\r\nb "}},
      {"exactly one sequence", "ab cd", 5, " ", {"ab cd"}, {"ab cd "}},
      {"shorter than one sequence", "abc", 10, " ", {"abc"}, {"abc "}},
      {"empty separator", "one two", 3, "", {"one", "ne ", "e t", " tw", "two"}, {"one two"}},
      {"space and comma", "x,y z", 2, " ,", {"x,", ",y", "y ", " z"}, {"x,y ", "y z "}},
      {"ends with separator", "ab cd ", 2, " ", {"ab", "b ", " c", "cd", "d "}, {"ab cd "}},
      {"run of separators", "a   b", 2, " ", {"a ", "  ", "  ", " b"}, {"a  ", "  ", " b "}},
      {"length 1: the runs", "ab c", 1, " ", {"a", "b", " ", "c"}, {"ab ", "c "}},
      {"high byte separator first", "ab cd", 2, "\xE9 ", {"ab", "b ", " c", "cd"}, {"ab cd\xE9"}},
      {"empty", "", 4, " ", {}, {}},
  };
}

TEST(OverlapWorkedExamples, BuildPoolReadSourceAndTheReferencesGiveTheListedItems) {
  TempDir dir;
  for (const auto& example : OverlapExamples()) {
    SCOPED_TRACE(example.name);
    for (const std::int16_t mode : {kLettersMode, kWordsMode}) {
      const Items& expected = mode == kLettersMode ? example.letters : example.words;
      const GenerationSettings settings =
          Settings(mode, example.seq_length, example.word_sep, /*mult_seq=*/1);
      EXPECT_EQ(BuildItems(example.text, settings), expected);
      EXPECT_EQ(ReadItems(dir, example.text, settings), expected);
      // Both references are held to the same table.
      EXPECT_EQ(
          test::ReferenceReadOverlapping(example.text, example.seq_length, mode, example.word_sep),
          expected);
      EXPECT_EQ(test::ReferenceReadAuto(example.text, example.seq_length, mode, example.word_sep,
                                        /*overlapping=*/true),
                expected);
    }
  }
}

// ---------------------------------------------------------------------------
// Differential test against the literal reading algorithm.

const std::vector<std::string>& WordSeps() {
  static const std::vector<std::string> seps = {
      "",
      " ",
      ",",
      "\n",
      "\xE9",
      " ,",
      " \t\r\n",
      ", \xFF\x80",
      "\xFF",
      "x",
      std::string("\0 ", 2),
      "  ",  // a repeated byte in the separator
  };
  return seps;
}

// Random text made of runs that exercise the reader: separators alone and in
// runs, line breaks, NUL, bytes above 127, plain letters, arbitrary bytes.
std::string RandomText(std::mt19937_64& rng, const std::string& word_sep, std::size_t max_length) {
  using test::Choice;
  using test::Literal;
  using test::OneOf;
  const std::size_t target_length = rng() % (max_length + 1);
  test::TextStyle style =
      test::Steps({Choice({{1, OneOf(test::ByteRange(0, 255))},
                           {1, OneOf(test::ByteRange('a', 'z'))},
                           {1, test::Repeated(1, 6, "abc")},
                           {1, OneOf(word_sep)},
                           {1, test::Repeated(2, 6, word_sep)},
                           {1, Choice({{1, Literal("\r\n")},
                                       {1, Choice({{1, Literal("\r")}, {1, Literal("\n")}})}})},
                           {1, Literal(std::string(1, '\0'))},
                           {1, OneOf(test::ByteRange(128, 255))},
                           {1, Literal(" ")}})},
                  /*cut_to_size=*/false);
  // Half the texts end inside a word, half on a separator.
  if (!word_sep.empty())
    style.ending = Choice({{1, Literal(word_sep.substr(0, 1))}, {1, Literal("q")}});
  return test::MakeText(target_length, rng, style);
}

TEST(ReaderDifferential, MatchesLiteralAlgorithmOnGeneratedInputs) {
  std::mt19937_64 rng(20240613);
  TempDir dir;
  int failures = 0;
  std::size_t items_compared = 0;
  int empty_pools = 0;
  constexpr int kCases = 4000;
  for (int i = 0; i < kCases && failures < 5; ++i) {
    const std::string& word_sep = WordSeps()[rng() % WordSeps().size()];
    const auto seq_length = static_cast<std::int16_t>(i % 3 == 0 ? 1 + rng() % 100 : 1 + rng() % 8);
    const auto unit_mode = static_cast<std::int16_t>(1 + rng() % 2);
    const auto mult_seq = static_cast<std::int16_t>(rng() % 2);
    const std::string text = RandomText(rng, word_sep, i % 50 == 0 ? 3000 : 300);

    const Items expected =
        mult_seq != 0 ? test::ReferenceReadOverlapping(text, seq_length, unit_mode, word_sep)
                      : ReferenceRead(text, seq_length, unit_mode, word_sep);
    items_compared += expected.size();
    empty_pools += expected.empty() ? 1 : 0;
    const GenerationSettings settings = Settings(unit_mode, seq_length, word_sep, mult_seq);
    const Items built = BuildItems(text, settings);
    const auto describe = [&] {
      return "case " + std::to_string(i) + ": mode " + std::to_string(unit_mode) + " SeqLength " +
             std::to_string(seq_length) + " MultSeq " + std::to_string(mult_seq) + " WordSep " +
             Escaped(word_sep) + "\n text " + Escaped(text) + "\n expected " + Escaped(expected);
    };
    if (built != expected) {
      ADD_FAILURE() << "BuildPool differs, " << describe() << "\n got " << Escaped(built);
      ++failures;
      continue;
    }
    if (i % 4 == 0) {
      const Items read = ReadItems(dir, text, settings);
      if (read != expected) {
        ADD_FAILURE() << "ReadSource differs, " << describe() << "\n got " << Escaped(read);
        ++failures;
      }
    }
  }
  // The generator gives real work: many items, and some empty sources.
  EXPECT_GT(items_compared, 50'000u);
  EXPECT_GT(empty_pools, 10);
  EXPECT_LT(empty_pools, kCases / 10);
}

TEST(ReaderDifferential, EveryLengthFromOneToHundredOnOneText) {
  std::mt19937_64 rng(7);
  for (const std::string& word_sep : WordSeps()) {
    const std::string text = RandomText(rng, word_sep, 600);
    for (std::int16_t seq_length = 1; seq_length <= 100; ++seq_length) {
      for (const std::int16_t mode : {kLettersMode, kWordsMode}) {
        ASSERT_EQ(BuildItems(text, Settings(mode, seq_length, word_sep)),
                  ReferenceRead(text, seq_length, mode, word_sep))
            << "mode " << mode << " SeqLength " << seq_length << " WordSep " << Escaped(word_sep)
            << " text " << Escaped(text);
        ASSERT_EQ(BuildItems(text, Settings(mode, seq_length, word_sep, 1)),
                  test::ReferenceReadOverlapping(text, seq_length, mode, word_sep))
            << "overlapping, mode " << mode << " SeqLength " << seq_length << " WordSep "
            << Escaped(word_sep) << " text " << Escaped(text);
      }
    }
  }
}

TEST(ReaderDifferential, LargeSourcesCrossingTableBlocks) {
  // Several hundred thousand items: the item tables grow over many blocks.
  std::mt19937_64 rng(99);
  std::string text = test::MakeText(
      400'000, rng,
      test::Steps({test::Repeated(1, 7, test::ByteRange('a', 'z')), test::OneOf(" \n")},
                  /*cut_to_size=*/false));
  text += "tail";
  TempDir dir;
  struct Case {
    std::int16_t mode;
    std::int16_t seq_length;
    std::string word_sep;
    std::int16_t mult_seq = 0;
  };
  for (const auto& [mode, seq_length, word_sep, mult_seq] :
       std::vector<Case>{{kWordsMode, 1, " \n"},
                         {kWordsMode, 3, " "},
                         {kLettersMode, 1, " "},
                         {kLettersMode, 7, " "},
                         {kWordsMode, 3, " ", 1},
                         {kLettersMode, 7, " ", 1}}) {
    SCOPED_TRACE("mode " + std::to_string(mode) + " SeqLength " + std::to_string(seq_length) +
                 " MultSeq " + std::to_string(mult_seq));
    const Items expected = mult_seq != 0
                               ? test::ReferenceReadOverlapping(text, seq_length, mode, word_sep)
                               : ReferenceRead(text, seq_length, mode, word_sep);
    EXPECT_EQ(test::FirstDifference(
                  ReadItems(dir, text, Settings(mode, seq_length, word_sep, mult_seq)), expected),
              "");
  }
}

// ---------------------------------------------------------------------------
// The Read command's own cases.

class ReadSourceTest : public ::testing::Test {
 protected:
  void SetUp() override { session_.settings = Settings(kLettersMode, 2); }

  std::filesystem::path Source(std::string_view name, std::string_view text) {
    const auto path = dir_ / name;
    test::WriteFile(path, text);
    return path;
  }

  TempDir dir_;
  Session session_;
  RecordingReporter reporter_;
};

TEST_F(ReadSourceTest, MissingSource_BeepsShowsErrorFNEAndKeepsPool) {
  ASSERT_EQ(ReadSource(session_, Source("first.txt", "abcd"), reporter_), ReadOutcome::Read);
  for (const std::filesystem::path& path : {dir_ / "missing.txt", std::filesystem::path()}) {
    SCOPED_TRACE(path.string());
    reporter_.events.clear();
    EXPECT_EQ(ReadSource(session_, path, reporter_), ReadOutcome::Missing);
    EXPECT_EQ(reporter_.events, (Items{"beep", "ErrorFNE"}));
    EXPECT_EQ(PoolItems(session_.pool), (Items{"ab", "cd"}));
  }
}

TEST_F(ReadSourceTest, FolderAsSource_IsMissing) {
  ASSERT_EQ(ReadSource(session_, Source("first.txt", "abcd"), reporter_), ReadOutcome::Read);
  std::filesystem::create_directory(dir_ / "folder");
  EXPECT_EQ(ReadSource(session_, dir_ / "folder", reporter_), ReadOutcome::Missing);
  EXPECT_EQ(reporter_.events, (Items{"beep", "ErrorFNE"}));
  EXPECT_EQ(PoolItems(session_.pool), (Items{"ab", "cd"}));
}

TEST_F(ReadSourceTest, SecondRead_ReplacesEveryItem) {
  ASSERT_EQ(ReadSource(session_, Source("first.txt", "abcdef"), reporter_), ReadOutcome::Read);
  session_.settings = Settings(kWordsMode, 1);
  ASSERT_EQ(ReadSource(session_, Source("second.txt", "x y"), reporter_), ReadOutcome::Read);
  EXPECT_EQ(PoolItems(session_.pool), (Items{"x ", "y "}));
  ASSERT_EQ(ReadSource(session_, Source("empty.txt", ""), reporter_), ReadOutcome::Read);
  EXPECT_TRUE(session_.pool.Empty());
  EXPECT_TRUE(reporter_.events.empty());
}

TEST_F(ReadSourceTest, SameFileTwice_SameItems) {
  const auto path = Source("same.txt", "The quick brown fox jumps.");
  session_.settings.SetDefaultOptions();
  session_.settings.MultSeq = 0;
  ASSERT_EQ(ReadSource(session_, path, reporter_), ReadOutcome::Read);
  const Items first = PoolItems(session_.pool);
  ASSERT_EQ(ReadSource(session_, path, reporter_), ReadOutcome::Read);
  EXPECT_EQ(PoolItems(session_.pool), first);
  EXPECT_EQ(first, (Items{"The quick brown fox ", "jumps. "}));
}

TEST_F(ReadSourceTest, ZeroOrNegativeLength_EmptiesPoolAndEnds) {
  for (const std::int16_t seq_length : {0, -1, -32768}) {
    SCOPED_TRACE(seq_length);
    for (const std::int16_t mode : {kLettersMode, kWordsMode}) {
      session_.settings = Settings(kLettersMode, 2);
      ASSERT_EQ(ReadSource(session_, Source("full.txt", "abcd"), reporter_), ReadOutcome::Read);
      ASSERT_EQ(session_.pool.Size(), 2u);
      session_.settings = Settings(mode, seq_length, " ", 1);
      EXPECT_EQ(ReadSource(session_, Source("zero.txt", "one two three"), reporter_),
                ReadOutcome::Read);
      EXPECT_TRUE(session_.pool.Empty());
      EXPECT_TRUE(BuildItems("one two", Settings(mode, seq_length)).empty());
    }
  }
  EXPECT_TRUE(reporter_.events.empty());
}

TEST_F(ReadSourceTest, PoolBeyondSixteenBits_IsEmptiedByNextRead) {
  session_.settings = Settings(kLettersMode, 1);
  for (const std::size_t size : {32767u, 32768u, 40000u, 70000u}) {
    SCOPED_TRACE(size);
    ASSERT_EQ(ReadSource(session_, Source("big.txt", std::string(size, 'b')), reporter_),
              ReadOutcome::Read);
    ASSERT_EQ(session_.pool.Size(), size);
    ASSERT_EQ(ReadSource(session_, Source("small.txt", "xyz"), reporter_), ReadOutcome::Read);
    EXPECT_EQ(PoolItems(session_.pool), (Items{"x", "y", "z"}));
  }
}

// The box clear (0) cuts runs one after another; any other value, the
// ticked box's 1 or not, overlapping sequences.
TEST_F(ReadSourceTest, MultipleSequencesBox_ClearGivesRunsAnyOtherValueOverlaps) {
  std::mt19937_64 rng(5);
  for (int i = 0; i < 200; ++i) {
    const std::string& word_sep = WordSeps()[rng() % WordSeps().size()];
    const std::string text = RandomText(rng, word_sep, 200);
    const auto seq_length = static_cast<std::int16_t>(1 + rng() % 12);
    for (const std::int16_t mode : {kLettersMode, kWordsMode}) {
      EXPECT_EQ(BuildItems(text, Settings(mode, seq_length, word_sep, 0)),
                ReferenceRead(text, seq_length, mode, word_sep))
          << Escaped(text);
      EXPECT_EQ(BuildItems(text, Settings(mode, seq_length, word_sep, 1)),
                test::ReferenceReadOverlapping(text, seq_length, mode, word_sep))
          << Escaped(text);
      EXPECT_EQ(BuildItems(text, Settings(mode, seq_length, word_sep, -7)),
                BuildItems(text, Settings(mode, seq_length, word_sep, 1)));
    }
  }
}

TEST_F(ReadSourceTest, FreshDefaults_ReadOverlappingFourWordsSeparatedBySpace) {
  session_.settings.SetDefaultOptions();
  const auto path = Source("s.txt", "The cat sat on the mat.");
  ASSERT_EQ(ReadSource(session_, path, reporter_), ReadOutcome::Read);
  EXPECT_EQ(PoolItems(session_.pool),
            (Items{"The cat sat on ", "cat sat on the ", "sat on the mat. "}));
  // The Multiple Sequences box cleared: runs one after another.
  session_.settings.MultSeq = 0;
  ASSERT_EQ(ReadSource(session_, path, reporter_), ReadOutcome::Read);
  EXPECT_EQ(PoolItems(session_.pool), (Items{"The cat sat on ", "the mat. "}));
}

TEST_F(ReadSourceTest, SourceWithoutReadPermission_FailsWithErrorIO) {
  // Root reads every file; the read is made by a child that became nobody.
  std::filesystem::permissions(dir_.path(), std::filesystem::perms(0755));
  const auto locked = Source("locked.txt", "secret words");
  std::filesystem::permissions(
      locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const auto readable = Source("open.txt", "abcd");
  const int code = test::RunInChild([&] {
    Session session;
    session.settings = Settings(kLettersMode, 2);
    RecordingReporter reporter;
    if (!test::DropToNobody()) return 10;
    if (ReadSource(session, readable, reporter) != ReadOutcome::Read) return 11;
    if (session.pool.Size() != 2) return 12;
    const ReadOutcome outcome = ReadSource(session, locked, reporter);
    if (outcome != ReadOutcome::Failed) return 1;
    if (reporter.events != Items{"beep", "ErrorIO"}) return 2;
    if (reporter.details.empty() ||
        reporter.details[0].find(locked.filename().string()) == std::string::npos) {
      return 3;
    }
    if (!session.pool.Empty()) return 4;
    return 0;
  });
  if (code == 10) GTEST_SKIP() << "cannot become the user nobody here (that needs root)";
  EXPECT_EQ(code, 0) << "1: outcome not Failed, 2: not beep+ErrorIO, 3: detail lacks the path, "
                        "4: pool not empty, 11/12: readable file not read";
}

TEST_F(ReadSourceTest, NamedPipe_IsReadToItsEnd) {
  const auto fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    ::alarm(10);  // never outlive a reader that does not come
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    const char text[] = "one two three";
    const bool ok = fd >= 0 && ::write(fd, text, sizeof text - 1) == sizeof text - 1;
    ::_exit(ok ? 0 : 1);
  }
  session_.settings = Settings(kWordsMode, 2);
  const ReadOutcome outcome = ReadSource(session_, fifo, reporter_);
  int status = 0;
  ::waitpid(writer, &status, 0);
  EXPECT_EQ(outcome, ReadOutcome::Read);
  EXPECT_EQ(PoolItems(session_.pool), (Items{"one two ", "three "}));
}

}  // namespace
}  // namespace vorpel
