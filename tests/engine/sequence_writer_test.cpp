#include "sequence_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "random_draw.h"
#include "sequence_pool.h"
#include "vorpel_test/assertions.h"
#include "vorpel_test/chi_square.h"
#include "vorpel_test/child_process.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"

namespace vorpel {
namespace {

using test::ChiSquareAgainstUniform;
using test::Succeeded;
using test::TempDir;

SequencePool LetterPool(std::string_view text, std::size_t stride) {
  return SequencePool::FixedStride(test::MakeBuffer(text), stride);
}

// Items that are the words of text, each closed by its space.
SequencePool WordPool(std::string_view text) {
  ItemEnds ends;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') ends.PushBack(i + 1);
  }
  return SequencePool::FromEnds(test::MakeBuffer(text), std::move(ends));
}

WriterOptions Seeded(std::uint64_t seed) {
  WriterOptions options;
  options.seed = seed;
  return options;
}

std::string Drawn(const SequencePool& pool, std::int64_t count, std::uint64_t seed) {
  RandomDraw draw(seed);
  test::StringSink sink;
  EXPECT_TRUE(Succeeded(DrawSequences(pool, count, draw, sink)));
  return sink.text;
}

// ---------------------------------------------------------------------------
// RandomDraw

TEST(RandomDraw, BelowOneIsAlwaysZero) {
  RandomDraw draw(1);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(draw.Below(1), 0u);
}

TEST(RandomDraw, StaysBelowEveryBound) {
  const std::vector<std::uint64_t> bounds = {2,
                                             3,
                                             7,
                                             1000,
                                             32767,
                                             32768,
                                             40000,
                                             (1ull << 24) + 1,
                                             (1ull << 32) + 1,
                                             (1ull << 63) + 3,
                                             std::numeric_limits<std::uint64_t>::max()};
  RandomDraw draw(2);
  for (const std::uint64_t bound : bounds) {
    std::uint64_t largest = 0;
    for (int i = 0; i < 2000; ++i) {
      const std::uint64_t value = draw.Below(bound);
      ASSERT_LT(value, bound);
      largest = std::max(largest, value);
    }
    // The upper end is reached as well: the largest of 2000 draws lies in
    // the top 1% for any bound above 100.
    if (bound > 100) {
      EXPECT_GT(largest, bound / 100 * 99) << bound;
    }
  }
}

TEST(RandomDraw, WideBoundsReachOddAndHighValues) {
  RandomDraw draw(3);
  const std::uint64_t bound = (1ull << 40) + 12345;
  int odd = 0;
  int upper_half = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::uint64_t value = draw.Below(bound);
    odd += static_cast<int>(value & 1);
    upper_half += value >= bound / 2 ? 1 : 0;
  }
  EXPECT_GT(odd, 1700);
  EXPECT_LT(odd, 2300);
  EXPECT_GT(upper_half, 1700);
  EXPECT_LT(upper_half, 2300);
}

TEST(RandomDraw, SameSeedSameDrawsAndSmallBoundIsUniform) {
  RandomDraw first(77);
  RandomDraw second(77);
  std::array<int, 6> counts{};
  constexpr int kDraws = 60000;
  for (int i = 0; i < kDraws; ++i) {
    const std::uint64_t value = first.Below(6);
    ASSERT_EQ(value, second.Below(6));
    ++counts[value];
  }
  EXPECT_LT(ChiSquareAgainstUniform(counts), 25.0);  // 5 degrees of freedom; p below 0.0002
}

TEST(RandomDraw, ClockSeedDiffersBetweenCalls) {
  std::set<std::uint64_t> seeds;
  for (int i = 0; i < 20; ++i) seeds.insert(ClockSeed());
  EXPECT_EQ(seeds.size(), 20u);
}

// ---------------------------------------------------------------------------
// Drawing from the pool

TEST(DrawSequences, DrawsAreUniformOverTheItems) {
  const SequencePool pool = LetterPool("0123456789", 1);
  constexpr int kDraws = 100000;
  const std::string text = Drawn(pool, kDraws, 11);
  ASSERT_EQ(text.size(), static_cast<std::size_t>(kDraws));
  std::array<int, 10> counts{};
  for (const char c : text) ++counts[static_cast<std::size_t>(c - '0')];
  EXPECT_LT(ChiSquareAgainstUniform(counts), 30.0);  // 9 degrees of freedom; p below 0.0005
}

TEST(DrawSequences, ItemsBeyondSixteenBitsAreDrawn) {
  // 40,000 one-letter items: the first 32,768 are 'a', the rest 'b'. With a
  // 16-bit index the 'b' items could never be drawn.
  std::string text(32768, 'a');
  text.append(40000 - 32768, 'b');
  const SequencePool pool = LetterPool(text, 1);
  ASSERT_EQ(pool.Size(), 40000u);
  const std::string drawn = Drawn(pool, 20000, 12);
  const auto b_count = std::count(drawn.begin(), drawn.end(), 'b');
  // Expected 20000 * 7232 / 40000 = 3616.
  EXPECT_GT(b_count, 3300);
  EXPECT_LT(b_count, 3950);
}

TEST(DrawSequences, WordItemsBeyondSixteenBitsAreDrawnEach) {
  // 40,000 distinct words: every drawn item names its own index.
  std::string text;
  for (int i = 0; i < 40000; ++i) {
    char word[16];
    std::snprintf(word, sizeof word, "%05d ", i);
    text += word;
  }
  const SequencePool pool = WordPool(text);
  ASSERT_EQ(pool.Size(), 40000u);
  const std::string drawn = Drawn(pool, 50000, 13);
  ASSERT_EQ(drawn.size(), 50000u * 6);
  std::set<int> seen;
  std::array<int, 10> deciles{};
  for (std::size_t i = 0; i < drawn.size(); i += 6) {
    ASSERT_EQ(drawn[i + 5], ' ');
    const int index = std::stoi(drawn.substr(i, 5));
    ASSERT_LT(index, 40000);
    seen.insert(index);
    ++deciles[static_cast<std::size_t>(index / 4000)];
  }
  EXPECT_GT(*seen.rbegin(), 39900);
  EXPECT_GT(std::count_if(seen.begin(), seen.end(), [](int i) { return i > 32767; }), 3000);
  for (const int count : deciles) {
    EXPECT_GT(count, 4500);
    EXPECT_LT(count, 5500);
  }
}

TEST(DrawSequences, PoolAboveTwoToTheTwentyFourIsCoveredEvenly) {
  // 2^25 one-byte items: 'A'..'D' in the lower half, 'a'..'d' in the upper,
  // by index modulo 4. A draw through a 32-bit float would reach only every
  // other item here, and only lower-half letters for low bits would show.
  constexpr std::size_t kItems = std::size_t{1} << 25;
  ByteBuffer buffer;
  buffer.Reserve(kItems + 1);
  for (std::size_t i = 0; i < kItems; ++i) {
    buffer.data()[i] = static_cast<char>((i < kItems / 2 ? 'A' : 'a') + static_cast<int>(i % 4));
  }
  buffer.Resize(kItems);
  const SequencePool pool = SequencePool::FixedStride(std::move(buffer), 1);
  ASSERT_EQ(pool.Size(), kItems);
  const std::string drawn = Drawn(pool, 80000, 14);
  std::array<int, 256> counts{};
  for (const char c : drawn) ++counts[static_cast<unsigned char>(c)];
  for (const char c : std::string("ABCDabcd")) {
    EXPECT_GT(counts[static_cast<unsigned char>(c)], 9300) << c;
    EXPECT_LT(counts[static_cast<unsigned char>(c)], 10700) << c;
  }
}

// Overlapping pools of each kind, whose items all have the same length:
// the drawn text cut into items of that length, every item is drawn about
// as often.
TEST(DrawSequences, DrawsAreUniformOverOverlappingItems) {
  const struct {
    const char* what;
    GenerationSettings settings;
    std::string text;
    std::size_t item_bytes;
  } cases[] = {
      {"bytes", test::ReadSettings(kLettersMode, 2, " ", 1), "0123456789", 2},
      {"UTF-8 letters", test::ReadSettings(kLettersMode, 2, " ", 1),
       "\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5\xCE\xB6\xCE\xB7\xCE\xB8\xCE\xB9\xCE\xBA", 4},
      {"words", test::ReadSettings(kWordsMode, 2, " ", 1), "a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 ", 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SequencePool pool = test::PoolOf(c.text, c.settings);
    const std::vector<std::string> items = test::PoolItems(pool);
    ASSERT_EQ(items.size(), 9u);
    constexpr int kDraws = 90000;
    const std::string drawn = Drawn(pool, kDraws, 21);
    ASSERT_EQ(drawn.size(), kDraws * c.item_bytes);
    std::vector<int> counts(items.size());
    for (std::size_t at = 0; at < drawn.size(); at += c.item_bytes) {
      const auto found = std::find(items.begin(), items.end(), drawn.substr(at, c.item_bytes));
      ASSERT_NE(found, items.end()) << "not an item: " << drawn.substr(at, c.item_bytes);
      ++counts[static_cast<std::size_t>(found - items.begin())];
    }
    EXPECT_LT(ChiSquareAgainstUniform(counts), 30.0);  // 8 degrees of freedom; p below 0.0003
  }
}

TEST(DrawSequences, NothingForCountZeroOrLessEvenFromEmptyPool) {
  const SequencePool empty;
  for (const std::int64_t count :
       {std::int64_t{0}, std::int64_t{-1}, std::numeric_limits<std::int64_t>::min()}) {
    RandomDraw draw(1);
    test::StringSink sink;
    EXPECT_TRUE(Succeeded(DrawSequences(empty, count, draw, sink)));
    EXPECT_EQ(sink.text, "");
  }
}

TEST(DrawSequences, CountFromEmptyPoolIsAnError) {
  const SequencePool empty;
  RandomDraw draw(1);
  test::StringSink sink;
  const FileStatus status = DrawSequences(empty, 1, draw, sink);
  ASSERT_NE(status, std::nullopt);
  EXPECT_EQ(status->code, make_error_code(FileErrc::NothingToDraw));
  EXPECT_EQ(sink.text, "");
}

TEST(DrawSequences, OutputGoesInLargeBlocks) {
  const SequencePool pool = LetterPool("xy", 1);
  RandomDraw draw(5);
  test::StringSink sink;
  ASSERT_TRUE(Succeeded(DrawSequences(pool, 1'000'000, draw, sink)));
  EXPECT_EQ(sink.text.size(), 1'000'000u);
  EXPECT_LE(sink.blocks, 100);
}

// ---------------------------------------------------------------------------
// Writing files

TEST(WriteSequences, CountZeroOrNegative_LeavesAnEmptyFile) {
  TempDir dir;
  const SequencePool pool = LetterPool("ab", 1);
  for (const std::int64_t count : {0, -1, -32768}) {
    SCOPED_TRACE(count);
    const auto fresh = dir / ("new" + std::to_string(count));
    ASSERT_TRUE(Succeeded(WriteSequences(pool, fresh, count, false, Seeded(1))));
    EXPECT_EQ(test::ReadFile(fresh), "");
    const auto old = dir / "old";
    test::WriteFile(old, "old content");
    ASSERT_TRUE(Succeeded(WriteSequences(pool, old, count, true, Seeded(1))));
    EXPECT_EQ(test::ReadFile(old), "");
  }
}

TEST(WriteSequences, OneItemPool_RepeatsIt) {
  TempDir dir;
  const SequencePool pool = LetterPool("a b c d ", 8);
  ASSERT_EQ(pool.Size(), 1u);
  ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "out", 3, false)));
  EXPECT_EQ(test::ReadFile(dir / "out"), "a b c d a b c d a b c d ");
}

TEST(WriteSequences, TwoItems_TenCharactersInVaryingOrder) {
  TempDir dir;
  const SequencePool pool = LetterPool("xy", 1);
  std::set<std::string> texts;
  for (std::uint64_t seed = 1; seed <= 20; ++seed) {
    ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "out", 10, true, Seeded(seed))));
    const std::string text = test::ReadFile(dir / "out");
    ASSERT_EQ(text.size(), 10u);
    EXPECT_EQ(text.find_first_not_of("xy"), std::string::npos) << text;
    texts.insert(text);
  }
  EXPECT_GT(texts.size(), 10u);
  // Without a seed every call is seeded afresh.
  std::set<std::string> unseeded;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "out", 64, true)));
    unseeded.insert(test::ReadFile(dir / "out"));
  }
  EXPECT_EQ(unseeded.size(), 5u);
}

TEST(WriteSequences, SameSeedSameBytes_OtherSeedOtherBytes) {
  TempDir dir;
  const SequencePool pool = WordPool("one two three four five six seven ");
  ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "a", 200, false, Seeded(42))));
  ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "b", 200, false, Seeded(42))));
  ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "c", 200, false, Seeded(43))));
  EXPECT_EQ(test::ReadFile(dir / "a"), test::ReadFile(dir / "b"));
  EXPECT_NE(test::ReadFile(dir / "a"), test::ReadFile(dir / "c"));
  // The file holds exactly what the drawing gives for that seed.
  EXPECT_EQ(test::ReadFile(dir / "a"), Drawn(pool, 200, 42));
}

TEST(WriteSequences, NewTarget_GetsEveryItem) {
  TempDir dir;
  const SequencePool pool = WordPool("alpha beta ");
  ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "out", 50, false, Seeded(3))));
  const std::string text = test::ReadFile(dir / "out");
  // Cut the text back into items: each one must be a pool item.
  std::size_t items = 0;
  for (std::size_t start = 0; start < text.size(); ++items) {
    const std::size_t end = text.find(' ', start);
    ASSERT_NE(end, std::string::npos);
    const std::string item = text.substr(start, end + 1 - start);
    EXPECT_TRUE(item == "alpha " || item == "beta ") << item;
    start = end + 1;
  }
  EXPECT_EQ(items, 50u);
}

TEST(WriteSequences, ExistingTargetWithoutOverwrite_IsLeftAlone) {
  TempDir dir;
  test::WriteFile(dir / "out", "precious");
  const SequencePool pool = LetterPool("xy", 1);
  const FileStatus status = WriteSequences(pool, dir / "out", 10, false, Seeded(1));
  ASSERT_NE(status, std::nullopt);
  EXPECT_EQ(status->code, make_error_code(FileErrc::TargetExists));
  EXPECT_EQ(test::ReadFile(dir / "out"), "precious");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out"});
}

TEST(WriteSequences, ExistingTargetWithOverwrite_HoldsOnlyTheNewItems) {
  TempDir dir;
  test::WriteFile(dir / "out", std::string(5000, 'o'));
  const SequencePool pool = LetterPool("xy", 1);
  ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "out", 10, true, Seeded(1))));
  EXPECT_EQ(test::ReadFile(dir / "out"), Drawn(pool, 10, 1));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out"});
}

TEST(WriteSequences, EmptyPath_CreatesNothing) {
  TempDir dir;
  const test::WorkingDirectory in_dir(dir.path());
  const SequencePool pool = LetterPool("xy", 1);
  const FileStatus status = WriteSequences(pool, "", 10, true, Seeded(1));
  ASSERT_NE(status, std::nullopt);
  EXPECT_EQ(status->code, make_error_code(FileErrc::EmptyPath));
  EXPECT_TRUE(dir.Names().empty());
}

TEST(WriteSequences, CountFromEmptyPool_LeavesNoFile) {
  TempDir dir;
  test::WriteFile(dir / "old", "old");
  const SequencePool empty;
  EXPECT_NE(WriteSequences(empty, dir / "new", 3, false, Seeded(1)), std::nullopt);
  EXPECT_NE(WriteSequences(empty, dir / "old", 3, true, Seeded(1)), std::nullopt);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"old"});
  EXPECT_EQ(test::ReadFile(dir / "old"), "old");
}

TEST(WriteSequences, FileTooLargeForLimit_KeepsOldTargetAndLeavesNoPartialFile) {
  TempDir dir;
  test::WriteFile(dir / "out", "old content");
  const SequencePool pool = LetterPool(std::string(1000, 'z'), 1000);
  const int code = test::RunInChild([&] {
    if (!test::LimitFileSize(256 * 1024)) return 10;
    const FileStatus status = WriteSequences(pool, dir / "out", 5000, true, Seeded(1));
    if (!status) return 1;
    if (status->code != std::errc::file_too_large) return 2;
    return 0;
  });
  EXPECT_EQ(code, 0) << "1: no error reported, 2: error is not 'file too large'";
  EXPECT_EQ(test::ReadFile(dir / "out"), "old content");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out"});
}

TEST(WriteSequences, LinkPolicies) {
  TempDir dir;
  const SequencePool pool = LetterPool("q", 1);
  test::WriteFile(dir / "real", "real");
  std::filesystem::create_symlink("real", dir / "follow");
  ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "follow", 3, true, Seeded(1))));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "follow"));
  EXPECT_EQ(test::ReadFile(dir / "real"), "qqq");

  test::WriteFile(dir / "victim", "victim");
  std::filesystem::create_symlink("victim", dir / "planted");
  WriterOptions options = Seeded(1);
  options.links = LinkPolicy::Replace;
  ASSERT_TRUE(Succeeded(WriteSequences(pool, dir / "planted", 2, true, options)));
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "planted"));
  EXPECT_EQ(test::ReadFile(dir / "planted"), "qq");
  EXPECT_EQ(test::ReadFile(dir / "victim"), "victim");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"follow", "planted", "real", "victim"}));
}

}  // namespace
}  // namespace vorpel
