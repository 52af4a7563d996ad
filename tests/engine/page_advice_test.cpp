#include "page_advice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vorpel::page_advice {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

TEST(PageAdvice, ReadFromTheKernelSettings) {
  struct Case {
    const char* name;
    const char* enabled;
    const char* defrag;
    const char* pmd_size;
    std::size_t base_page;
    std::size_t size;
    int order;
    bool advised_faults_compact;
  };
  const char* kDefrag = "always defer defer+madvise [madvise] never\n";
  const std::vector<Case> cases = {
      {"Debian default", "always [madvise] never\n", kDefrag, "2097152\n", 4096, 2 * kMiB, 9, true},
      {"always on", "[always] madvise never\n", kDefrag, "2097152\n", 4096, 2 * kMiB, 9, true},
      {"defrag always", "[always] madvise never\n", "[always] defer defer+madvise madvise never\n",
       "2097152\n", 4096, 2 * kMiB, 9, true},
      {"defrag defer+madvise", "always [madvise] never\n",
       "always defer [defer+madvise] madvise never\n", "2097152\n", 4096, 2 * kMiB, 9, true},
      {"defrag defer", "always [madvise] never\n", "always [defer] defer+madvise madvise never\n",
       "2097152\n", 4096, 2 * kMiB, 9, false},
      {"defrag never", "always [madvise] never\n", "always defer defer+madvise madvise [never]\n",
       "2097152\n", 4096, 2 * kMiB, 9, false},
      {"defrag unreadable", "always [madvise] never\n", "", "2097152\n", 4096, 2 * kMiB, 9, true},
      {"64 KiB base pages", "always [madvise] never\n", kDefrag, "536870912\n", 65536, 512 * kMiB,
       13, true},
      {"disabled", "always madvise [never]\n", kDefrag, "2097152\n", 4096, 0, 0, false},
      {"no setting", "", kDefrag, "2097152\n", 4096, 0, 0, false},
      {"no size", "always [madvise] never\n", kDefrag, "", 4096, 0, 0, false},
      {"size not a number", "always [madvise] never\n", kDefrag, "2M\n", 4096, 0, 0, false},
      {"size not a power of two", "always [madvise] never\n", kDefrag, "3000000\n", 4096, 0, 0,
       false},
      {"size no larger than a page", "always [madvise] never\n", kDefrag, "4096\n", 4096, 0, 0,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const System system = ParseSystem(c.enabled, c.defrag, c.pmd_size, c.base_page);
    EXPECT_EQ(system.size, c.size);
    EXPECT_EQ(system.order, c.order);
    EXPECT_EQ(system.advised_faults_compact, c.advised_faults_compact);
  }
}

// Copied from a machine with 24 GiB: the counts are free blocks of 2^0 to
// 2^10 pages of 4 KiB.
constexpr char kBuddyInfo[] =
    "Node 0, zone      DMA      0      0      0      0      0      0      0      0      1      1"
    "      3 \n"
    "Node 0, zone    DMA32      5      4      4      2      2      3      3      1      1      2"
    "    753 \n"
    "Node 0, zone   Normal      1      3     28     48     90     48      4     37     42     74"
    "     67 \n";

TEST(PageAdvice, FreeBlocksCountedFromBuddyInfo) {
  struct Case {
    const char* name;
    std::string text;
    int order;
    std::size_t blocks;
  };
  const std::vector<Case> cases = {
      // DMA32: 2 blocks of 2 MiB and 753 of 4 MiB; Normal: 74 and 67; DMA left out.
      {"2 MiB blocks", kBuddyInfo, 9, (2 + 2 * 753) + (74 + 2 * 67)},
      {"4 MiB blocks", kBuddyInfo, 10, 753 + 67},
      {"1 MiB blocks", kBuddyInfo, 8, (1 + 2 * 2 + 4 * 753) + (42 + 2 * 74 + 4 * 67)},
      {"two nodes",
       "Node 0, zone   Normal 0 0 0 0 0 0 0 0 0 3 1\n"
       "Node 1, zone   Normal 0 0 0 0 0 0 0 0 0 5 0\n"
       "Node 1, zone  Movable 0 0 0 0 0 0 0 0 0 0 2\n",
       9, (3 + 2) + 5 + 4},
      {"no line end at the end", "Node 0, zone Normal 9 9 9 9 9 9 9 9 9 1 1", 9, 3},
      {"fewer orders than asked for", "Node 0, zone Normal 9 9 9 9", 9, 0},
      {"other lines ignored", "garbage\n\nNode 0, zone Normal 0 0 0 0 0 0 0 0 0 1 0\n", 9, 1},
      {"a count that is not a number ends the line", "Node 0, zone Normal 0 0 0 0 0 0 0 0 0 1 x 8",
       9, 1},
      {"empty", "", 9, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CountFreeBlocks(c.text, c.order), c.blocks);
  }
}

TEST(PageAdvice, RegionAsksForHugePagesOnlyForFreeBlocks) {
  const System careful{2 * kMiB, 9, true};
  const System carefree{2 * kMiB, 9, false};
  const System none{};
  constexpr std::uintptr_t kBase = 0x7f0000000000;  // 2 MiB aligned
  struct Case {
    const char* name;
    System system;
    std::uintptr_t begin;
    std::uintptr_t end;
    std::size_t free_blocks;
    std::uintptr_t huge_begin;
    std::uintptr_t huge_end;
    bool small_rest;
  };
  const std::vector<Case> cases = {
      {"plenty free", careful, kBase, kBase + 10 * kMiB, 100, kBase, kBase + 10 * kMiB, true},
      {"exactly enough beyond those left", careful, kBase, kBase + 10 * kMiB, kBlocksLeft + 5,
       kBase, kBase + 10 * kMiB, true},
      {"fewer free: a prefix", careful, kBase, kBase + 10 * kMiB, kBlocksLeft + 2, kBase,
       kBase + 4 * kMiB, true},
      {"none beyond those left", careful, kBase, kBase + 10 * kMiB, kBlocksLeft, kBase, kBase,
       true},
      {"none free", careful, kBase, kBase + 10 * kMiB, 0, kBase, kBase, true},
      {"unaligned: whole blocks inside only", careful, kBase + 4096, kBase + 8 * kMiB + 4096, 100,
       kBase + 2 * kMiB, kBase + 8 * kMiB, true},
      {"smaller than a block", careful, kBase + 4096, kBase + 2 * kMiB + 4095, 100,
       kBase + 2 * kMiB, kBase + 2 * kMiB, true},
      {"no compaction to fear", carefree, kBase, kBase + 10 * kMiB, 0, kBase, kBase + 10 * kMiB,
       false},
      {"no huge pages", none, kBase, kBase + 10 * kMiB, 100, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Plan plan = PlanRegion(c.begin, c.end, c.system, c.free_blocks);
    EXPECT_EQ(plan.huge_end - plan.huge_begin, c.huge_end - c.huge_begin);
    if (c.huge_end > c.huge_begin) {
      EXPECT_EQ(plan.huge_begin, c.huge_begin);
    }
    EXPECT_EQ(plan.small_rest, c.small_rest);
  }
}

}  // namespace
}  // namespace vorpel::page_advice

namespace vorpel::page_advice {
namespace {

TEST(PartChooser, FreeBlocksFirstThenBothWaysTriedThenTheCheaper) {
  PartChooser chooser(3);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(chooser.Next(), PartPages::HugeFromFree);
    chooser.Record(PartPages::HugeFromFree, 1);  // says nothing of the other ways
  }
  ASSERT_EQ(chooser.Next(), PartPages::HugeCompacting);
  chooser.Record(PartPages::HugeCompacting, 1'000);
  ASSERT_EQ(chooser.Next(), PartPages::Small);
  chooser.Record(PartPages::Small, 10'000);
  // The cheaper way, and the dearer one again once every kRetryEvery parts.
  for (std::size_t i = 1; i < PartChooser::kRetryEvery; ++i) {
    ASSERT_EQ(chooser.Next(), PartPages::HugeCompacting) << i;
    chooser.Record(PartPages::HugeCompacting, 1'000);
  }
  ASSERT_EQ(chooser.Next(), PartPages::Small);
  chooser.Record(PartPages::Small, 10'000);
  EXPECT_EQ(chooser.Next(), PartPages::HugeCompacting);
}

TEST(PartChooser, SwitchesWhenTheCostsCross) {
  PartChooser chooser(0);
  ASSERT_EQ(chooser.Next(), PartPages::HugeCompacting);
  chooser.Record(PartPages::HugeCompacting, 4'000);
  ASSERT_EQ(chooser.Next(), PartPages::Small);
  chooser.Record(PartPages::Small, 5'000);
  ASSERT_EQ(chooser.Next(), PartPages::HugeCompacting);
  // Compaction gets dearer as memory fills: (4000 + 12000) / 2 = 8000 is
  // above the 5000 of small pages, but small pages must cost less than half
  // (they cost again at their first use, which filling does not show).
  chooser.Record(PartPages::HugeCompacting, 12'000);
  ASSERT_EQ(chooser.Next(), PartPages::HugeCompacting);
  // (8000 + 14000) / 2 = 11000: now more than twice as much.
  chooser.Record(PartPages::HugeCompacting, 14'000);
  EXPECT_EQ(chooser.Next(), PartPages::Small);
}

TEST(PartChooser, AZeroDurationCountsAsMeasured) {
  PartChooser chooser(0);
  ASSERT_EQ(chooser.Next(), PartPages::HugeCompacting);
  chooser.Record(PartPages::HugeCompacting, 0);
  ASSERT_EQ(chooser.Next(), PartPages::Small);
  chooser.Record(PartPages::Small, 0);
  const PartPages next = chooser.Next();
  EXPECT_TRUE(next == PartPages::HugeCompacting || next == PartPages::Small);
  EXPECT_EQ(chooser.Next(), next) << "both measured: no more trying";
}

// A whole 256 MiB block, 128 parts, on two kinds of machine: one where
// each small page costs a trip through the hypervisor (small pages ten
// times dearer than compaction), and a bare machine with scattered free
// memory (compaction ten times dearer). The total stays close to that of
// the cheaper way: the trials and retries cost little.
TEST(PartChooser, TotalCostNearTheCheaperWay) {
  struct Machine {
    const char* name;
    std::uint64_t compacting;
    std::uint64_t small;
  };
  for (const Machine& machine : {Machine{"virtual", 2'000'000, 20'000'000},
                                 Machine{"bare, scattered", 8'000'000, 800'000}}) {
    SCOPED_TRACE(machine.name);
    PartChooser chooser(0);
    std::uint64_t total = 0;
    for (int part = 0; part < 128; ++part) {
      const PartPages kind = chooser.Next();
      const std::uint64_t cost = kind == PartPages::Small ? machine.small : machine.compacting;
      chooser.Record(kind, cost);
      total += cost;
    }
    const std::uint64_t cheaper = std::min(machine.compacting, machine.small) * 128;
    EXPECT_LT(total, cheaper * 12 / 10) << total << " against " << cheaper;
  }
}

}  // namespace
}  // namespace vorpel::page_advice
