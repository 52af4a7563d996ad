// The program as a user runs it: exit codes, messages on standard error,
// and what is left on disk after each kind of failure.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run_cli.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"

namespace vorpel::test {
namespace {
namespace fs = std::filesystem;

constexpr char kMissing[] = "The file you are trying to read doesn't exist.";
constexpr char kInvalidTarget[] = "You are trying to write to an invalid source.";
constexpr char kEmptySource[] = "No sequences to draw: the source is empty.";
constexpr char kZeroLength[] = "No sequences to draw: the length is 0.";
constexpr char kFileFailed[] = "The file could not be read or written.";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CliProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "source.txt", "hello world. this is it! yes? no way\nline two.");
  }
  ChildResult Run(const std::vector<std::string>& args, const ChildSetup& setup = {}) {
    return RunCli(args, dir_.path(), setup);
  }
  TempDir dir_;
};

TEST_F(CliProcess, Success_WritesTheTargetAndPrintsNothing) {
  const ChildResult result = Run({"--seed", "1", "source.txt", "out.txt"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_FALSE(ReadFile(dir_ / "out.txt").empty());
  EXPECT_TRUE(StrayFiles(dir_.path()).empty());
}

TEST_F(CliProcess, BadArguments_ExitTwoAndTouchNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"source.txt"},
      {"-l", "101", "source.txt", "out.txt"},
      {"-n", "1e19", "source.txt", "out.txt"},
      {"-l", "100.4", "source.txt", "out.txt"},
      {"-u", "lines", "source.txt", "out.txt"},
      {"-s", "\\x", "source.txt", "out.txt"},
      {"--seed", "1.5", "source.txt", "out.txt"},
      {"--nonsense", "source.txt", "out.txt"},
  };
  for (const auto& args : cases) {
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exit_code, 2) << ::testing::PrintToString(args);
    EXPECT_TRUE(Contains(result.err, "Usage: vorpel-cli")) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(dir_ / "out.txt")) << ::testing::PrintToString(args);
  }
}

TEST_F(CliProcess, HelpAndVersion_ExitZeroOnStandardOutput) {
  const ChildResult help = Run({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_TRUE(Contains(help.out, "--separator"));
  EXPECT_EQ(help.err, "");
  const ChildResult version = Run({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "vorpel-cli " VORPEL_EXPECTED_VERSION "\n");
}

TEST_F(CliProcess, ErrorPaths_ExitOneWithTheMessageAndThePath) {
  fs::create_directory(dir_ / "folder");
  WriteFile(dir_ / "empty.txt", "");
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::vector<std::string> messages;  // each on standard error
  } cases[] = {
      {"missing source", {"nope.txt", "out.txt"}, {std::string(kMissing) + " nope.txt"}},
      {"folder as source", {"folder", "out.txt"}, {std::string(kMissing) + " folder"}},
      {"device as source",
       {"/dev/null", "out.txt"},
       {std::string(kFileFailed) + " /dev/null: Not a regular file"}},
      {"empty source", {"empty.txt", "out.txt"}, {std::string(kEmptySource) + " empty.txt"}},
      {"length 0 cuts nothing",
       {"-l", "0", "source.txt", "out.txt"},
       {std::string(kZeroLength) + " source.txt"}},
      {"length rounding to 0",
       {"-l", "0.5", "source.txt", "out.txt"},
       {std::string(kZeroLength) + " source.txt"}},
      {"empty source, nothing asked for",
       {"-n", "0", "empty.txt", "out.txt"},
       {std::string(kEmptySource) + " empty.txt"}},
      {"empty target", {"source.txt", ""}, {kInvalidTarget}},
      {"folder as target",
       {"source.txt", "folder"},
       {std::string(kFileFailed) + " folder: Is a directory"}},
      {"folder as target, overwriting",
       {"-f", "source.txt", "folder"},
       {std::string(kFileFailed) + " folder: Is a directory"}},
      {"target in a missing folder",
       {"source.txt", "no/such/out.txt"},
       {std::string(kFileFailed) + " no/such/out.txt: No such file or directory"}},
      {"missing source and existing target: both reported",
       {"nope.txt", "source.txt"},
       {std::string(kMissing) + " nope.txt", std::string(kInvalidTarget) + " source.txt"}},
  };
  for (const auto& c : cases) {
    const ChildResult result = Run(c.args);
    EXPECT_EQ(result.exit_code, 1) << c.what << ": " << result.err;
    for (const std::string& message : c.messages) {
      EXPECT_TRUE(Contains(result.err, message + "\n")) << c.what << ": " << result.err;
    }
    EXPECT_EQ(result.out, "") << c.what;
    EXPECT_FALSE(fs::exists(dir_ / "out.txt")) << c.what;
    EXPECT_TRUE(StrayFiles(dir_.path()).empty()) << c.what;
  }
}

TEST_F(CliProcess, EncodingUtf8_RefusesAn8BitSourceNamingTheOffsetAndWritesNothing) {
  WriteFile(dir_ / "latin1.txt", "caf\xC3\xA9 au lait, d\xE9j\xE0 vu");
  const ChildResult result = Run({"--encoding", "utf-8", "latin1.txt", "out.txt"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, std::string(kFileFailed) +
                            " latin1.txt: not UTF-8: the first invalid byte sequence starts at "
                            "byte 16\n");
  EXPECT_FALSE(fs::exists(dir_ / "out.txt"));
  EXPECT_TRUE(StrayFiles(dir_.path()).empty());
  // auto reads the same source as 8-bit text.
  EXPECT_EQ(Run({"latin1.txt", "out.txt"}).exit_code, 0);
}

// Letters of one character: a UTF-8 source gives whole characters, and
// bytes gives single bytes; the output of 40 drawn characters tells.
TEST_F(CliProcess, EncodingChoice_LettersAreCharactersOrBytes) {
  WriteFile(dir_ / "utf8.txt", "\xC3\xA9\xE2\x80\x94\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD");
  const std::vector<std::string> letters = {
      "-u", "letters",       "-l", "1",        "-n",     "40", "--seed",
      "3",  "--no-fix-caps", "-f", "utf8.txt", "out.txt"};
  auto args = letters;
  ASSERT_EQ(Run(args).exit_code, 0);
  std::string out = ReadFile(dir_ / "out.txt");
  // Only whole characters: the text is a run of the three characters.
  std::size_t at = 0;
  for (int i = 0; i < 40; ++i) {
    bool matched = false;
    for (const std::string c : {"\xC3\xA9", "\xE2\x80\x94", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"}) {
      if (out.compare(at, c.size(), c) == 0) {
        at += c.size();
        matched = true;
        break;
      }
    }
    ASSERT_TRUE(matched) << "at " << at;
  }
  EXPECT_EQ(at, out.size());

  args.insert(args.begin(), {"--encoding", "bytes"});
  ASSERT_EQ(Run(args).exit_code, 0);
  EXPECT_EQ(ReadFile(dir_ / "out.txt").size(), 40u);  // 40 single bytes
}

TEST_F(CliProcess, TypedSeparator_MatchesWholeCharactersOrTheWindows1252Byte) {
  // A curly quote shares two bytes with the em dash: only the dash ends words.
  WriteFile(dir_ / "utf8.txt", "\xE2\x80\x9Cone\xE2\x80\x9D\xE2\x80\x94two");
  ASSERT_EQ(Run({"-l", "1", "-s", "\xE2\x80\x94", "-n", "30", "--seed", "1", "--no-fix-caps",
                 "utf8.txt", "out.txt"})
                .exit_code,
            0);
  std::string out = ReadFile(dir_ / "out.txt");
  for (std::size_t at = 0; at < out.size();) {
    const std::string first = "\xE2\x80\x9Cone\xE2\x80\x9D\xE2\x80\x94";
    const std::string second = "two\xE2\x80\x94";
    const std::string& word = out.compare(at, first.size(), first) == 0 ? first : second;
    ASSERT_EQ(out.compare(at, word.size(), word), 0) << "at " << at;
    at += word.size();
  }
  // The same dash typed, in a Windows-1252 source: byte 0x97.
  WriteFile(dir_ / "cp1252.txt", "\x93one\x94\x97two");
  ASSERT_EQ(Run({"-l", "1", "-s", "\xE2\x80\x94", "-n", "30", "--seed", "1", "--no-fix-caps", "-f",
                 "cp1252.txt", "out.txt"})
                .exit_code,
            0);
  out = ReadFile(dir_ / "out.txt");
  const std::string first_1252 = "\x93one\x94\x97";
  const std::string second_1252 = "two\x97";
  for (std::size_t at = 0; at < out.size();) {
    const std::string& word =
        out.compare(at, first_1252.size(), first_1252) == 0 ? first_1252 : second_1252;
    ASSERT_EQ(out.compare(at, word.size(), word), 0) << "at " << at;
    at += word.size();
  }
}

TEST_F(CliProcess, ExistingTarget_RefusedWithoutOverwriteAndKept) {
  WriteFile(dir_ / "out.txt", "keep me");
  const ChildResult result = Run({"source.txt", "out.txt"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, std::string(kInvalidTarget) + " out.txt\n");
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), "keep me");
}

TEST_F(CliProcess, ExistingTarget_ReplacedWithOverwrite) {
  WriteFile(dir_ / "out.txt", std::string(10000, '#'));
  const ChildResult result =
      Run({"-f", "-u", "letters", "-l", "1", "-n", "5", "source.txt", "out.txt"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::string written = ReadFile(dir_ / "out.txt");
  EXPECT_EQ(written.size(), 5u);
  EXPECT_EQ(written.find('#'), std::string::npos);
}

TEST_F(CliProcess, ReadOnlyTarget_RefusedEvenWithOverwrite) {
  WriteFile(dir_ / "out.txt", "protected");
  fs::permissions(dir_ / "out.txt", fs::perms::owner_read | fs::perms::group_read);
  const ChildResult result = Run({"-f", "source.txt", "out.txt"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, std::string(kFileFailed) + " out.txt: Permission denied\n");
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), "protected");
}

TEST_F(CliProcess, WriteFailingMidway_KeepsTheOldTargetWhole) {
  WriteFile(dir_ / "out.txt", "old text");
  // 10,000 sequences of up to 100 letters are far more than the 64 KiB the
  // child may write.
  WriteFile(dir_ / "big.txt", MakeText(200000, 5, MixedText()));
  ChildSetup setup;
  setup.file_size_limit = 64 * 1024;
  const ChildResult result =
      Run({"-f", "-u", "letters", "-l", "100", "-n", "10000", "big.txt", "out.txt"}, setup);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, std::string(kFileFailed) + " out.txt: File too large\n");
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), "old text");
  EXPECT_TRUE(StrayFiles(dir_.path()).empty());
}

TEST_F(CliProcess, StandardOutputFull_Reported) {
  ChildSetup setup;
  setup.stdout_path = "/dev/full";
  const ChildResult result = Run({"source.txt", "-"}, setup);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, std::string(kFileFailed) + " standard output: No space left on device\n");
}

TEST_F(CliProcess, StandardOutputClosedPipe_ReportedWhenSigpipeIsIgnored) {
  WriteFile(dir_ / "big.txt", MakeText(200000, 6, MixedText()));
  ChildSetup setup;
  setup.stdout_broken_pipe = true;
  // Far more than a pipe holds, so the write fails whatever the timing.
  const ChildResult result =
      Run({"-u", "letters", "-l", "100", "-n", "100000", "big.txt", "-"}, setup);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, std::string(kFileFailed) + " standard output: Broken pipe\n");
}

TEST_F(CliProcess, CountBeyondSixteenBits_AllDrawn) {
  // Letters of length 1: every sequence is one byte, so the size is the count.
  const ChildResult result =
      Run({"-u", "letters", "-l", "1", "-n", "100000", "--no-fix-caps", "source.txt", "out.txt"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(fs::file_size(dir_ / "out.txt"), 100000u);
}

TEST_F(CliProcess, CountZero_GivesAnEmptyFile) {
  const ChildResult result = Run({"-n", "0", "source.txt", "out.txt"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(fs::exists(dir_ / "out.txt"));
  EXPECT_EQ(fs::file_size(dir_ / "out.txt"), 0u);
}

// The window never shows its "read a file first" text beside a file that
// was read: the batch command says what it found instead.
TEST_F(CliProcess, NothingToDraw_OwnWordsNotTheWindowsDialogText) {
  WriteFile(dir_ / "empty.txt", "");
  for (const auto& args : {std::vector<std::string>{"empty.txt", "out.txt"},
                           std::vector<std::string>{"-l", "0", "source.txt", "-"}}) {
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_FALSE(Contains(result.err, "You must read a file")) << result.err;
    EXPECT_TRUE(Contains(result.err, "No sequences to draw")) << result.err;
  }
}

// Counts and lengths in the window's notation give what the same numbers
// give there, rounded half to even: compared with the plain number's
// output under the same seed.
TEST_F(CliProcess, NumbersInTheWindowsNotation_GiveTheRoundedNumbersOutput) {
  const struct {
    std::vector<std::string> given;
    std::vector<std::string> same_as;
  } cases[] = {
      {{"-n", "12.5"}, {"-n", "12"}},
      {{"-n", "13.5"}, {"-n", "14"}},
      {{"-n", " 7 "}, {"-n", "7"}},
      {{"-n", "+5"}, {"-n", "5"}},
      {{"-n", "1e3"}, {"-n", "1000"}},
      {{"-l", "99.5", "-u", "letters"}, {"-l", "100", "-u", "letters"}},
      {{"-l", "2.5"}, {"-l", "2"}},
      {{"-l", "3.5"}, {"-l", "4"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> given = c.given;
    std::vector<std::string> plain = c.same_as;
    for (auto* args : {&given, &plain}) {
      args->insert(args->end(), {"--seed", "11", "source.txt", "-"});
    }
    const ChildResult got = Run(given);
    const ChildResult expected = Run(plain);
    EXPECT_EQ(got.exit_code, 0) << ::testing::PrintToString(c.given) << got.err;
    EXPECT_EQ(expected.exit_code, 0) << ::testing::PrintToString(c.same_as) << expected.err;
    EXPECT_EQ(got.out, expected.out) << ::testing::PrintToString(c.given);
    EXPECT_FALSE(got.out.empty());
  }
}

// Zero or a negative count writes an empty target, as the window does;
// an existing target is then replaced by the empty one.
TEST_F(CliProcess, ZeroOrNegativeCount_WritesAnEmptyTarget) {
  for (const char* count : {"0", "-5", "-0.5", "-1e3"}) {
    WriteFile(dir_ / "out.txt", "old");
    const ChildResult result = Run({"-f", "-n", count, "source.txt", "out.txt"});
    EXPECT_EQ(result.exit_code, 0) << count << ": " << result.err;
    EXPECT_EQ(ReadFile(dir_ / "out.txt"), "") << count;
    EXPECT_TRUE(StrayFiles(dir_.path()).empty());
  }
}

TEST_F(CliProcess, SourceMayBeTheTarget_WithOverwrite) {
  // The source is read whole before the target is replaced.
  const ChildResult result = Run({"-f", "-n", "3", "--seed", "2", "source.txt", "source.txt"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::string written = ReadFile(dir_ / "source.txt");
  EXPECT_FALSE(written.empty());
  EXPECT_NE(written, "hello world. this is it! yes? no way\nline two.");
}

}  // namespace
}  // namespace vorpel::test
