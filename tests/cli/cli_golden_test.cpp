// Fixed seeds on a fixed small source give committed outputs, so any change
// to the reading, the drawing or the capitalization fix shows here.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run_cli.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"

namespace vorpel::test {
namespace {
namespace fs = std::filesystem;

const fs::path kGolden = VORPEL_CLI_GOLDEN_DIR;

struct GoldenCase {
  const char* expected_file;
  std::vector<std::string> options;
};

TEST(CliGolden, FixedSeedOnFixedSource_GivesTheCommittedOutput) {
  const GoldenCase cases[] = {
      {"words4_fixcaps_seed20261208.txt", {"--seed", "20261208", "-n", "40", "--no-overlap"}},
      {"letters3_seed7.txt",
       {"--seed", "7", "-u", "letters", "-l", "3", "-n", "60", "--no-fix-caps", "--no-overlap"}},
      {"lines_seed99.txt", {"--seed", "99", "-l", "1", "-s", "\\n", "-n", "12", "--no-fix-caps"}},
  };
  TempDir dir;
  for (const GoldenCase& c : cases) {
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {(kGolden / "source.txt").string(), "-"});
    const ChildResult result = RunCli(args, dir.path());
    ASSERT_EQ(result.exit_code, 0) << c.expected_file << ": " << result.err;
    EXPECT_EQ(result.out, ReadFile(kGolden / c.expected_file)) << c.expected_file;
  }
}

}  // namespace
}  // namespace vorpel::test
