#include "letter_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "characters.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/utf8_reference.h"
#include "vorpel_test/utf8_texts.h"

namespace vorpel {
namespace {

using test::Escaped;

TEST(LetterIndex, AgreesWithTheLibrarysOwnSegmentationOnGeneratedTexts) {
  std::mt19937 random(5);
  for (int round = 0; round < 1500; ++round) {
    const std::string text = test::RandomUtf8(random, random() % 120);
    const auto expected = test::ReferenceCharacters(text);
    const LetterIndex index = LetterIndex::Build(text);
    ASSERT_EQ(index.Letters(), expected.size()) << Escaped(text);
    std::size_t offset = 0;
    for (std::size_t n = 0; n < expected.size(); ++n) {
      ASSERT_EQ(index.StartOf(n), offset) << Escaped(text) << " letter " << n;
      ASSERT_TRUE(index.IsStart(offset));
      offset += expected[n].size();
    }
    ASSERT_EQ(index.StartOf(expected.size()), text.size());
    const std::vector<std::string_view> split = SplitCharacters(text);
    ASSERT_EQ(std::vector<std::string>(split.begin(), split.end()), expected) << Escaped(text);
  }
}

// A prepended mark (U+0600) joins the ASCII letter after it; here two end
// 64-byte blocks in a row, so each letter joined starts the next block.
TEST(LetterIndex, PrependedMarksEndingTwoBlocksInARow) {
  const std::string mark = "\xD8\x80";
  const std::string text =
      std::string(62, 'a') + mark + "b" + std::string(61, 'c') + mark + "d" + std::string(70, 'e');
  const auto expected = test::ReferenceCharacters(text);
  ASSERT_EQ(expected[62], mark + "b");
  const LetterIndex index = LetterIndex::Build(text);
  ASSERT_EQ(index.Letters(), expected.size());
  std::size_t offset = 0;
  for (std::size_t n = 0; n < expected.size(); ++n) {
    EXPECT_EQ(index.StartOf(n), offset) << "letter " << n;
    offset += expected[n].size();
  }
}

// Past the hints of the directory: many letters, a few of them wide.
TEST(LetterIndex, FindsEveryStartInALongText) {
  std::string text;
  std::vector<std::size_t> starts;
  for (int i = 0; i < 200000; ++i) {
    starts.push_back(text.size());
    text += (i % 7 == 0) ? "\xE4\xB8\xAD" : (i % 11 == 0) ? "e\xCC\x81" : "a";
  }
  const LetterIndex index = LetterIndex::Build(text);
  ASSERT_EQ(index.Letters(), starts.size());
  for (std::size_t n = 0; n < starts.size(); n += 997) EXPECT_EQ(index.StartOf(n), starts[n]);
  EXPECT_EQ(index.StartOf(starts.size() - 1), starts.back());
}

// A text long enough to be indexed in two halves at once: the same starts
// as the library's own segmentation of the whole text.
TEST(LetterIndex, ALongTextIndexedInTwoHalvesFindsTheSameStarts) {
  std::mt19937 random(17);
  std::string text;
  while (text.size() < (std::size_t{9} << 20)) text += test::RandomUtf8(random, 200);
  const auto expected = test::ReferenceCharacters(text);
  const LetterIndex index = LetterIndex::Build(text);
  ASSERT_EQ(index.Letters(), expected.size());
  std::size_t offset = 0;
  for (std::size_t n = 0; n < expected.size(); ++n) {
    ASSERT_TRUE(index.IsStart(offset)) << "letter " << n;
    if (n % 997 == 0) {
      ASSERT_EQ(index.StartOf(n), offset) << "letter " << n;
    }
    offset += expected[n].size();
  }
  EXPECT_EQ(index.StartOf(expected.size()), text.size());
}

}  // namespace
}  // namespace vorpel
