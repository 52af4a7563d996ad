#include "tuning.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "build_pool.h"
#include "file_reading.h"
#include "run_beside.h"
#include "vorpel_test/assertions.h"
#include "vorpel_test/files.h"
#include "vorpel_test/scoped_tuning.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/utf8_texts.h"

namespace vorpel {
namespace {

// Each speed mechanism turned off alone, and all of them at once.
std::vector<std::pair<std::string_view, Tuning>> MechanismsOff() {
  std::vector<std::pair<std::string_view, Tuning>> off;
  Tuning none;
  for (const Mechanism& mechanism : kMechanisms) {
    Tuning tuning;
    tuning.*mechanism.on = false;
    none.*mechanism.on = false;
    off.emplace_back(mechanism.name, tuning);
  }
  off.emplace_back("all", none);
  return off;
}

struct Read {
  Utf8Check check;
  SequencePool letters;
  SequencePool words;
};

// The file read, checked and cut into letters of 1 and words of 4, as the
// Read command does, under the current tuning.
Read ReadAndCut(const std::filesystem::path& path) {
  Read read;
  for (const Unit unit : {Unit::Letters, Unit::Words}) {
    ByteBuffer text;
    EXPECT_TRUE(test::Succeeded(ReadWholeFile(path, text, 1)));
    read.check = CheckUtf8(std::string_view(text.data(), text.size()));
    const CutRule rule{unit == Unit::Letters ? 1u : 4u, unit, " "};
    (unit == Unit::Letters ? read.letters : read.words) =
        BuildPool(std::move(text), rule, ChooseEncoding(read.check, EncodingChoice::Auto),
                  read.check.ascii_only);
  }
  return read;
}

bool SameItems(const SequencePool& a, const SequencePool& b) {
  if (a.Size() != b.Size()) return false;
  for (std::size_t i = 0; i < a.Size(); ++i) {
    if (a.Item(i) != b.Item(i)) return false;
  }
  return true;
}

// A benchmark that turns a mechanism off must measure the same work, and a
// mechanism that goes must leave every result as it was: with any of them
// off, a source long enough for every mechanism to be used gives the same
// check and the same pool.
TEST(Tuning, EveryMechanismOffGivesTheSameCheckAndPool) {
  std::mt19937 random(21);
  std::string text;
  while (text.size() < kSecondThreadMinimum + (1 << 20)) text += test::RandomUtf8(random, 4096);
  test::TempDir dir;
  test::WriteFile(dir / "valid", text);
  // Invalid far into the text: the checks must agree on where.
  text[text.size() - 1000] = '\xFF';
  test::WriteFile(dir / "invalid", text);
  for (const char* name : {"valid", "invalid"}) {
    SCOPED_TRACE(name);
    const Read expected = ReadAndCut(dir / name);
    ASSERT_GT(expected.letters.Size(), 1000u);
    for (const auto& [off, tuning] : MechanismsOff()) {
      SCOPED_TRACE(off);
      const test::ScopedTuning scoped(tuning);
      const Read read = ReadAndCut(dir / name);
      EXPECT_EQ(read.check.first_invalid, expected.check.first_invalid);
      EXPECT_EQ(read.check.ascii_only, expected.check.ascii_only);
      EXPECT_TRUE(SameItems(read.letters, expected.letters));
      EXPECT_TRUE(SameItems(read.words, expected.words));
    }
  }
}

}  // namespace
}  // namespace vorpel
