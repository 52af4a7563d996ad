#include "write_pipeline.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sequence_writer.h"
#include "source_reader.h"
#include "vorpel_test/assertions.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/reference_algorithms.h"
#include "vorpel_test/temp_dir.h"

namespace vorpel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RecordingReporter;
using test::ReferenceFix;
using test::TempDir;
using Events = std::vector<std::string>;
using Names = std::vector<std::string>;

constexpr char kSourceText[] = "one. two! three? four_ five six. ";
const std::set<std::string> kItems = {"one. ", "two! ", "three? ", "four_ ", "five ", "six. "};

// The number of pool items the text is made of (words closed by a space),
// or -1 when it is no concatenation of them.
int CountItems(std::string_view text) {
  int count = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) return -1;
    if (kItems.count(std::string(text.substr(start, end + 1 - start))) == 0) return -1;
    ++count;
    start = end + 1;
  }
  return count;
}

class WritePipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.settings.SetDefaultOptions();
    session_.settings.SeqLength = 1;
    session_.settings.NoSeq = 128;
    session_.settings.OWrite = 0;
    options_.temp_path = dir_ / "%Vorpel.temp%";
    options_.seed = 1234;
    source_ = dir_ / "source.txt";
    test::WriteFile(source_, kSourceText);
  }

  void ReadThePool() {
    RecordingReporter reporter;
    ASSERT_EQ(ReadSource(session_, source_, reporter), ReadOutcome::Read);
    ASSERT_EQ(session_.pool.Size(), kItems.size());
  }

  WriteOutcome Write(std::string_view number, const fs::path& target) {
    return RunWriteCommand(session_, WriteRequest{number, target}, reporter_, options_);
  }

  TempDir dir_;
  Session session_;
  RecordingReporter reporter_;
  WriteCommandOptions options_;
  fs::path source_;
};

// ---------------------------------------------------------------------------
// Refused commands

TEST_F(WritePipelineTest, AllThreeInputsWrong_ThreeBeepsThreeDialogsNothingWritten) {
  for (const std::int16_t fix_cap : {1, 0}) {
    SCOPED_TRACE(fix_cap);
    session_.settings.FixCap = fix_cap;
    reporter_.events.clear();
    EXPECT_EQ(Write("", ""), WriteOutcome::Refused);
    EXPECT_EQ(reporter_.events, (Events{"beep", "ErrorNFN", "beep", "ErrorR", "beep", "ErrorCO"}));
    EXPECT_EQ(session_.settings.NoSeq, 128);
    EXPECT_EQ(dir_.Names(), Names{"source.txt"});  // not even the intermediate file
  }
}

TEST_F(WritePipelineTest, OutOfRangeNumberEmptyPoolEmptyTarget_ReportsInOrder) {
  EXPECT_EQ(Write("40000", ""), WriteOutcome::Refused);
  EXPECT_EQ(reporter_.events, (Events{"beep", "ErrorNR", "beep", "ErrorR", "beep", "ErrorCO"}));
  EXPECT_EQ(dir_.Names(), Names{"source.txt"});
}

TEST_F(WritePipelineTest, NotNumeric_OnlyErrorNFN) {
  ReadThePool();
  for (const char* number : {"abc", "", "   ", "12abc", "0x10", "inf"}) {
    SCOPED_TRACE(number);
    reporter_.events.clear();
    EXPECT_EQ(Write(number, dir_ / "out.txt"), WriteOutcome::Refused);
    EXPECT_EQ(reporter_.events, (Events{"beep", "ErrorNFN"}));
    EXPECT_EQ(session_.settings.NoSeq, 128);
    EXPECT_EQ(dir_.Names(), Names{"source.txt"});
  }
}

TEST_F(WritePipelineTest, NumberOutsideSixteenBits_ErrorNRAndNothingWritten) {
  ReadThePool();
  for (const std::int16_t fix_cap : {1, 0}) {
    session_.settings.FixCap = fix_cap;
    for (const char* number : {"40000", "1e6", "-40000", "32767.5", "-32768.6"}) {
      SCOPED_TRACE(number);
      reporter_.events.clear();
      EXPECT_EQ(Write(number, dir_ / "out.txt"), WriteOutcome::Refused);
      EXPECT_EQ(reporter_.events, (Events{"beep", "ErrorNR"}));
      EXPECT_EQ(session_.settings.NoSeq, 128);
      EXPECT_EQ(dir_.Names(), Names{"source.txt"});
    }
  }
}

TEST_F(WritePipelineTest, ExistingTargetWithoutOverwrite_KeepsTargetAndIntermediate) {
  ReadThePool();
  test::WriteFile(dir_ / "out.txt", "keep me");
  for (const std::int16_t fix_cap : {0, 1}) {
    SCOPED_TRACE(fix_cap);
    session_.settings.FixCap = fix_cap;
    reporter_.events.clear();
    EXPECT_EQ(Write("10", dir_ / "out.txt"), WriteOutcome::Refused);
    EXPECT_EQ(reporter_.events, (Events{"beep", "ErrorCO"}));
    EXPECT_EQ(ReadFile(dir_ / "out.txt"), "keep me");
    EXPECT_EQ(session_.settings.NoSeq, 128);
    EXPECT_EQ(dir_.Names(), (Names{"out.txt", "source.txt"}));
  }
  // An intermediate file left by an earlier Write is not touched either.
  test::WriteFile(options_.temp_path, "earlier text");
  session_.settings.FixCap = 1;
  EXPECT_EQ(Write("10", dir_ / "out.txt"), WriteOutcome::Refused);
  EXPECT_EQ(ReadFile(options_.temp_path), "earlier text");
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), "keep me");
}

TEST_F(WritePipelineTest, TwoFailedWrites_ReportEachTime) {
  ReadThePool();
  EXPECT_EQ(Write("10", ""), WriteOutcome::Refused);
  EXPECT_EQ(Write("10", ""), WriteOutcome::Refused);
  EXPECT_EQ(reporter_.events, (Events{"beep", "ErrorCO", "beep", "ErrorCO"}));
  reporter_.events.clear();
  EXPECT_EQ(Write("x", ""), WriteOutcome::Refused);
  EXPECT_EQ(Write("x", ""), WriteOutcome::Refused);
  EXPECT_EQ(reporter_.events,
            (Events{"beep", "ErrorNFN", "beep", "ErrorCO", "beep", "ErrorNFN", "beep", "ErrorCO"}));
}

TEST_F(WritePipelineTest, ValidateWrite_ChecksWithoutWriting) {
  struct Case {
    const char* name;
    std::string number;
    fs::path target;
    std::int16_t o_write;
    bool read_pool;
    Events events;
  };
  test::WriteFile(dir_ / "exists", "x");
  fs::create_directory(dir_ / "folder");
  const std::vector<Case> cases = {
      {"all good", "10", dir_ / "new", 0, true, {}},
      {"existing, overwrite on", "10", dir_ / "exists", 1, true, {}},
      {"existing, overwrite off", "10", dir_ / "exists", 0, true, {"beep", "ErrorCO"}},
      {"folder passes", "10", dir_ / "folder", 0, true, {}},
      {"blanks pass", "10", "   ", 0, true, {}},
      {"fraction passes", "12.5", dir_ / "new", 0, true, {}},
      {"no pool", "10", dir_ / "new", 0, false, {"beep", "ErrorR"}},
      {"all wrong", "", "", 0, false, {"beep", "ErrorNFN", "beep", "ErrorR", "beep", "ErrorCO"}},
  };
  for (const auto& [name, number, target, o_write, read_pool, events] : cases) {
    SCOPED_TRACE(name);
    Session session;
    session.settings = session_.settings;
    session.settings.OWrite = o_write;
    if (read_pool) {
      RecordingReporter ignored;
      ReadSource(session, source_, ignored);
    }
    RecordingReporter reporter;
    EXPECT_EQ(ValidateWrite(session, WriteRequest{number, target}, reporter),
              events.empty() ? WriteCheck::Passed : WriteCheck::Refused);
    EXPECT_EQ(reporter.events, events);
    EXPECT_EQ(session.settings.NoSeq, 128);
  }
  EXPECT_EQ(dir_.Names(), (Names{"exists", "folder", "source.txt"}));
}

// ---------------------------------------------------------------------------
// Successful commands

TEST_F(WritePipelineTest, FractionalNumber_RoundsHalfToEven) {
  ReadThePool();
  session_.settings.FixCap = 0;
  struct Case {
    const char* number;
    std::int16_t no_seq;
  };
  for (const auto& [number, no_seq] :
       std::vector<Case>{{"12.5", 12}, {"13.5", 14}, {" 7 ", 7}, {"1e1", 10}, {"2.5", 2}}) {
    SCOPED_TRACE(number);
    const auto target = dir_ / ("out" + std::to_string(no_seq));
    EXPECT_EQ(Write(number, target), WriteOutcome::Written);
    EXPECT_TRUE(reporter_.events.empty());
    EXPECT_EQ(session_.settings.NoSeq, no_seq);
    EXPECT_EQ(CountItems(ReadFile(target)), no_seq);
  }
  EXPECT_FALSE(fs::exists(options_.temp_path));
}

TEST_F(WritePipelineTest, ZeroOrNegativeNumber_CreatesEmptyTarget) {
  ReadThePool();
  for (const std::int16_t fix_cap : {0, 1}) {
    for (const char* number : {"-5", "0"}) {
      SCOPED_TRACE(std::string(number) + " FixCap " + std::to_string(fix_cap));
      session_.settings.FixCap = fix_cap;
      const auto target = dir_ / ("empty" + std::string(number) + std::to_string(fix_cap));
      EXPECT_EQ(Write(number, target), WriteOutcome::Written);
      EXPECT_EQ(session_.settings.NoSeq, std::stoi(number));
      EXPECT_EQ(ReadFile(target), "");
      if (fix_cap == 1) {
        EXPECT_EQ(ReadFile(options_.temp_path), "");
      }
    }
  }
  EXPECT_TRUE(reporter_.events.empty());
}

TEST_F(WritePipelineTest, DirectRoute_NewTargetHoldsTheDrawnItems) {
  ReadThePool();
  for (const std::int16_t fix_cap : {0, 2, -1}) {
    SCOPED_TRACE(fix_cap);
    session_.settings.FixCap = fix_cap;
    const auto target = dir_ / ("out" + std::to_string(fix_cap + 5));
    EXPECT_EQ(Write("40", target), WriteOutcome::Written);
    const std::string text = ReadFile(target);
    EXPECT_EQ(CountItems(text), 40) << text;
    // Drawn as is: items all start small, and no fix was applied.
    EXPECT_TRUE(text[0] >= 'a' && text[0] <= 'z') << text;
  }
  EXPECT_FALSE(fs::exists(options_.temp_path));
  EXPECT_TRUE(reporter_.events.empty());
}

TEST_F(WritePipelineTest, DirectRoute_OverwriteReplacesWithExactlyTheDrawnText) {
  ReadThePool();
  session_.settings.FixCap = 0;
  session_.settings.OWrite = 1;
  test::WriteFile(dir_ / "out.txt", std::string(10000, '#'));
  EXPECT_EQ(Write("30", dir_ / "out.txt"), WriteOutcome::Written);
  const std::string first = ReadFile(dir_ / "out.txt");
  EXPECT_EQ(CountItems(first), 30);
  // The same seed draws the same text again; the writer with that seed
  // gives it too.
  EXPECT_EQ(Write("30", dir_ / "out.txt"), WriteOutcome::Written);
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), first);
  WriterOptions writer_options;
  writer_options.seed = options_.seed;
  ASSERT_TRUE(
      test::Succeeded(WriteSequences(session_.pool, dir_ / "direct", 30, false, writer_options)));
  EXPECT_EQ(ReadFile(dir_ / "direct"), first);
  EXPECT_TRUE(reporter_.events.empty());
}

TEST_F(WritePipelineTest, FixRoute_IntermediateHoldsDrawnTextTargetHoldsItFixed) {
  ReadThePool();
  session_.settings.FixCap = 1;
  session_.settings.OWrite = 1;
  test::WriteFile(dir_ / "out.txt", "old target");
  test::WriteFile(options_.temp_path, "old intermediate");
  EXPECT_EQ(Write("50", dir_ / "out.txt"), WriteOutcome::Written);
  EXPECT_TRUE(reporter_.events.empty());
  const std::string drawn = ReadFile(options_.temp_path);
  const std::string fixed = ReadFile(dir_ / "out.txt");
  EXPECT_EQ(CountItems(drawn), 50) << drawn;
  EXPECT_EQ(fixed, ReferenceFix(drawn, " ", SentenceEndMarks));
  EXPECT_NE(fixed, drawn);  // the first letter at least became a capital
  EXPECT_EQ(session_.settings.NoSeq, 50);
  EXPECT_EQ(dir_.Names(), (Names{"%Vorpel.temp%", "out.txt", "source.txt"}));
}

TEST_F(WritePipelineTest, FixRoute_TargetIsFixOfIntermediateForManySettings) {
  struct Case {
    std::int16_t mode;
    std::int16_t seq_length;
    std::string word_sep;
    std::string source;
  };
  const std::vector<Case> cases = {
      {kWordsMode, 1, " ", kSourceText},
      {kWordsMode, 2, " -", "end. -next word! - and so? on_ - here. "},
      {kLettersMode, 3, " ", "a. b! c? d_ e f. g\r\nh. \xE9. i"},
      {kLettersMode, 1, "", "x. y.z!"},
      {kWordsMode, 1, "", "single item. no separators. at all"},
  };
  for (const auto& [mode, seq_length, word_sep, source] : cases) {
    SCOPED_TRACE(source);
    session_.settings.UnitMode = mode;
    session_.settings.SeqLength = seq_length;
    session_.settings.WordSep = word_sep;
    session_.settings.FixCap = 1;
    session_.settings.OWrite = 1;
    test::WriteFile(source_, source);
    RecordingReporter read_reporter;
    ASSERT_EQ(ReadSource(session_, source_, read_reporter), ReadOutcome::Read);
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
      options_.seed = seed;
      ASSERT_EQ(Write("25", dir_ / "out.txt"), WriteOutcome::Written);
      EXPECT_EQ(ReadFile(dir_ / "out.txt"),
                ReferenceFix(ReadFile(options_.temp_path), word_sep, SentenceEndMarks));
    }
  }
  EXPECT_TRUE(reporter_.events.empty());
}

TEST_F(WritePipelineTest, FixRoute_TargetIsTheIntermediateFile_GetsFixedText) {
  ReadThePool();
  session_.settings.FixCap = 1;
  session_.settings.OWrite = 1;
  ASSERT_EQ(Write("20", dir_ / "out.txt"), WriteOutcome::Written);
  const std::string expected = ReadFile(dir_ / "out.txt");
  ASSERT_EQ(expected, ReferenceFix(ReadFile(options_.temp_path), " ", SentenceEndMarks));
  ASSERT_EQ(Write("20", options_.temp_path), WriteOutcome::Written);
  EXPECT_EQ(ReadFile(options_.temp_path), expected);
  EXPECT_TRUE(reporter_.events.empty());
  EXPECT_EQ(dir_.Names(), (Names{"%Vorpel.temp%", "out.txt", "source.txt"}));
}

TEST_F(WritePipelineTest, TargetIsTheSource_PoolAlreadyInMemory) {
  ReadThePool();
  session_.settings.OWrite = 1;
  for (const std::int16_t fix_cap : {0, 1}) {
    SCOPED_TRACE(fix_cap);
    test::WriteFile(source_, kSourceText);
    ReadThePool();
    session_.settings.FixCap = fix_cap;
    const std::vector<std::string> items_before = test::PoolItems(session_.pool);
    ASSERT_EQ(Write("60", source_), WriteOutcome::Written);
    const std::string text = ReadFile(source_);
    if (fix_cap == 0) {
      EXPECT_EQ(CountItems(text), 60) << text;
    } else {
      EXPECT_EQ(text, ReferenceFix(ReadFile(options_.temp_path), " ", SentenceEndMarks));
      EXPECT_EQ(CountItems(ReadFile(options_.temp_path)), 60);
    }
    EXPECT_EQ(test::PoolItems(session_.pool), items_before);
  }
  EXPECT_TRUE(reporter_.events.empty());
}

TEST_F(WritePipelineTest, BlanksOnlyTarget_IsAFileName) {
  ReadThePool();
  session_.settings.FixCap = 0;
  const test::WorkingDirectory in_dir(dir_.path());
  EXPECT_EQ(Write("3", "   "), WriteOutcome::Written);
  EXPECT_EQ(CountItems(ReadFile(dir_ / "   ")), 3);
}

TEST_F(WritePipelineTest, IntermediateLinkPlanted_LinkReplacedItsFileUntouched) {
  ReadThePool();
  session_.settings.FixCap = 1;
  test::WriteFile(dir_ / "victim", "victim");
  fs::create_symlink("victim", options_.temp_path);
  ASSERT_EQ(Write("5", dir_ / "out.txt"), WriteOutcome::Written);
  EXPECT_FALSE(fs::is_symlink(options_.temp_path));
  EXPECT_EQ(CountItems(ReadFile(options_.temp_path)), 5);
  EXPECT_EQ(ReadFile(dir_ / "victim"), "victim");
  EXPECT_EQ(ReadFile(dir_ / "out.txt"),
            ReferenceFix(ReadFile(options_.temp_path), " ", SentenceEndMarks));
}

TEST_F(WritePipelineTest, TargetLinkFollowed_FileItPointsToReplaced) {
  ReadThePool();
  session_.settings.OWrite = 1;
  test::WriteFile(dir_ / "real", "old");
  fs::create_symlink("real", dir_ / "link");
  for (const std::int16_t fix_cap : {0, 1}) {
    SCOPED_TRACE(fix_cap);
    session_.settings.FixCap = fix_cap;
    ASSERT_EQ(Write("5", dir_ / "link"), WriteOutcome::Written);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link"));
    EXPECT_EQ(fs::read_symlink(dir_ / "link"), "real");
    if (fix_cap == 0) {
      EXPECT_EQ(CountItems(ReadFile(dir_ / "real")), 5);
    } else {
      EXPECT_EQ(ReadFile(dir_ / "real"),
                ReferenceFix(ReadFile(options_.temp_path), " ", SentenceEndMarks));
    }
  }
  EXPECT_EQ(dir_.Names(), (Names{"%Vorpel.temp%", "link", "real", "source.txt"}));
}

// ---------------------------------------------------------------------------
// Failures of the file layer

TEST_F(WritePipelineTest, TargetIsAFolder_PassesChecksThenFailsWithErrorIO) {
  ReadThePool();
  fs::create_directory(dir_ / "folder");
  for (const std::int16_t fix_cap : {0, 1}) {
    SCOPED_TRACE(fix_cap);
    session_.settings.FixCap = fix_cap;
    reporter_.events.clear();
    reporter_.details.clear();
    EXPECT_EQ(Write("10", dir_ / "folder"), WriteOutcome::Failed);
    EXPECT_EQ(reporter_.events, (Events{"beep", "ErrorIO"}));
    ASSERT_EQ(reporter_.details.size(), 1u);
    EXPECT_NE(reporter_.details[0].find("folder"), std::string::npos) << reporter_.details[0];
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
    EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
    EXPECT_EQ(session_.settings.NoSeq, 10);
  }
}

TEST_F(WritePipelineTest, TargetInMissingFolderOrReadOnly_FailsWithErrorIO) {
  ReadThePool();
  test::WriteFile(dir_ / "locked", "old");
  fs::permissions(dir_ / "locked", fs::perms(0444));
  session_.settings.OWrite = 1;
  for (const std::int16_t fix_cap : {0, 1}) {
    session_.settings.FixCap = fix_cap;
    for (const fs::path& target : {dir_ / "missing" / "out", dir_ / "locked"}) {
      SCOPED_TRACE(target.string() + " FixCap " + std::to_string(fix_cap));
      reporter_.events.clear();
      EXPECT_EQ(Write("10", target), WriteOutcome::Failed);
      EXPECT_EQ(reporter_.events, (Events{"beep", "ErrorIO"}));
    }
  }
  EXPECT_EQ(ReadFile(dir_ / "locked"), "old");
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(WritePipelineTest, IntermediateInMissingFolder_FailsBeforeTargetIsTouched) {
  ReadThePool();
  session_.settings.FixCap = 1;
  session_.settings.OWrite = 1;
  test::WriteFile(dir_ / "out.txt", "old");
  options_.temp_path = dir_ / "missing" / "%Vorpel.temp%";
  EXPECT_EQ(Write("10", dir_ / "out.txt"), WriteOutcome::Failed);
  EXPECT_EQ(reporter_.events, (Events{"beep", "ErrorIO"}));
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), "old");
}

}  // namespace
}  // namespace vorpel
