// What the program writes: the same bytes to a file and to standard
// output, the same bytes for the same seed, and exactly the engine's draws
// for that seed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capitalization_fix.h"
#include "generation_settings.h"
#include "random_draw.h"
#include "run_cli.h"
#include "sequence_writer.h"
#include "source_reader.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"
#include "write_pipeline.h"

namespace vorpel::test {
namespace {

struct EngineCase {
  const char* name;
  std::vector<std::string> options;  // the command line before SOURCE TARGET
  std::int16_t unit_mode;
  std::int16_t seq_length;
  std::string word_sep;  // as the engine gets it, escapes decoded
  bool fix_caps;
  std::int64_t count;
  std::uint64_t seed;
};

// The engine's own output for the case: its pool, its generator, its
// capitalization filter.
std::string EngineOutput(const std::string& source, const EngineCase& c) {
  GenerationSettings settings;
  settings.SetDefaultOptions();
  settings.UnitMode = c.unit_mode;
  settings.SeqLength = c.seq_length;
  settings.WordSep = c.word_sep;
  const SequencePool pool = BuildPool(MakeBuffer(source), settings);
  RandomDraw draw(c.seed);
  StringSink sink;
  if (c.fix_caps) {
    CapitalizingSink fixer(sink, c.word_sep, SentenceEndMarks);
    EXPECT_FALSE(DrawSequences(pool, c.count, draw, fixer));
  } else {
    EXPECT_FALSE(DrawSequences(pool, c.count, draw, sink));
  }
  return sink.text;
}

class CliOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = MakeText(300000, 11, MixedText());
    WriteFile(dir_ / "source.txt", source_);
  }
  // Runs the program and returns what it wrote to file_name, or to
  // standard output for "-".
  std::string Output(std::vector<std::string> options, const std::string& file_name) {
    options.insert(options.end(), {"-f", "source.txt", file_name});
    const ChildResult result = RunCli(options, dir_.path());
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    if (file_name == "-") return result.out;
    EXPECT_EQ(result.out, "");
    return ReadFile(dir_ / file_name);
  }
  TempDir dir_;
  std::string source_;
};

TEST_F(CliOutput, ForASeed_EqualsTheEnginesDrawsToFileAndToStandardOutput) {
  const EngineCase cases[] = {
      {"defaults", {"--seed", "1"}, kWordsMode, 4, " ", true, 128, 1},
      {"letters 1, the largest pool",
       {"--seed", "2", "-u", "letters", "-l", "1", "-n", "40000", "--no-fix-caps"},
       kLettersMode,
       1,
       " ",
       false,
       40000,
       2},
      {"letters 100, fixed",
       {"--seed", "3", "-u", "letters", "-l", "100", "-n", "3000"},
       kLettersMode,
       100,
       " ",
       true,
       3000,
       3},
      {"lines",
       {"--seed", "4", "-l", "1", "-s", "\\n", "-n", "5000", "--no-fix-caps"},
       kWordsMode,
       1,
       "\n",
       false,
       5000,
       4},
      {"two separators, fixed",
       {"--seed", "5", "-l", "2", "-s", " ,", "-n", "5000"},
       kWordsMode,
       2,
       " ,",
       true,
       5000,
       5},
      {"escaped tab and backslash",
       {"--seed", "6", "-l", "3", "-s", "\\t\\\\", "-n", "2000"},
       kWordsMode,
       3,
       "\t\\",
       true,
       2000,
       6},
      {"empty separator: one item",
       {"--seed", "7", "-s", "", "-n", "3"},
       kWordsMode,
       4,
       "",
       true,
       3,
       7},
      {"largest seed",
       {"--seed", "18446744073709551615", "-u", "letters", "-l", "7", "-n", "9000"},
       kLettersMode,
       7,
       " ",
       true,
       9000,
       18446744073709551615u},
  };
  for (const EngineCase& c : cases) {
    const std::string expected = EngineOutput(source_, c);
    ASSERT_FALSE(expected.empty()) << c.name;
    EXPECT_TRUE(Output(c.options, "out.txt") == expected) << c.name;
    EXPECT_TRUE(Output(c.options, "-") == expected) << c.name;
  }
}

TEST_F(CliOutput, SameSeed_SameBytes_OtherSeed_OtherBytes) {
  const std::vector<std::string> seed_a = {"--seed", "424242", "-n", "2000"};
  const std::vector<std::string> seed_b = {"--seed", "424243", "-n", "2000"};
  const std::string first = Output(seed_a, "a1.txt");
  const std::string again = Output(seed_a, "a2.txt");
  const std::string other = Output(seed_b, "b.txt");
  EXPECT_EQ(first.size(), again.size());
  EXPECT_TRUE(first == again);
  // 2000 draws from thousands of items: equal texts would take a miracle.
  EXPECT_FALSE(first == other);
}

TEST_F(CliOutput, NoSeed_EveryRunDrawsAfresh) {
  const std::string first = Output({"-n", "2000"}, "x1.txt");
  const std::string second = Output({"-n", "2000"}, "x2.txt");
  EXPECT_FALSE(first == second);
}

}  // namespace
}  // namespace vorpel::test
