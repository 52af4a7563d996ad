// The whole-pipeline check of the fuzz target, run over its committed
// seeds (one test each, so a crash on one leaves the others their own
// result) and over inputs from a seeded generator.
#include "vorpel_test/pipeline_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "vorpel_test/files.h"

namespace vorpel {
namespace {

const std::filesystem::path kCorpus = VORPEL_PIPELINE_CORPUS;

std::string CheckInput(const std::string& input) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(input.data());
  return test::CheckPipeline(test::PipelineCaseFrom({data, input.size()}));
}

std::vector<std::string> SeedNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class PipelineSeed : public ::testing::TestWithParam<std::string> {};

TEST_P(PipelineSeed, PassesTheCheck) {
  EXPECT_EQ(CheckInput(test::ReadFile(kCorpus / GetParam())), "");
}

// A seed's file name as a test name: letters and digits, the rest '_'.
std::string SeedTestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, PipelineSeed, ::testing::ValuesIn(SeedNames()), SeedTestName);

TEST(PipelineCheck, GeneratedInputsPassTheCheck) {
  std::mt19937_64 random(20240917);
  for (int i = 0; i < 4000; ++i) {
    std::string input(6 + random() % 200, '\0');
    for (char& c : input) c = static_cast<char>(random());
    ASSERT_EQ(CheckInput(input), "") << "generated input " << i;
  }
}

}  // namespace
}  // namespace vorpel
