#include "byte_buffer.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "page_advice.h"
#include "system_memory.h"

namespace vorpel {
namespace {

// Fills the buffer's whole capacity with a pattern that depends on the
// position, so a byte moved or lost on growth is seen.
char PatternAt(std::size_t i) { return static_cast<char>((i * 131) ^ (i >> 9)); }

TEST(ByteBuffer, StartsEmpty) {
  const ByteBuffer buffer;
  EXPECT_EQ(buffer.data(), nullptr);
  EXPECT_EQ(buffer.size(), 0u);
  EXPECT_EQ(buffer.capacity(), 0u);
}

TEST(ByteBuffer, GrowingKeepsEveryByteWritten) {
  // Sizes below, at and above a page, and large enough to be moved by the
  // system when it grows.
  ByteBuffer buffer;
  std::size_t filled = 0;
  for (const std::size_t wanted : {1u, 4095u, 4096u, 4097u, 3'000'001u, 40'000'000u}) {
    SCOPED_TRACE(wanted);
    buffer.Reserve(wanted);
    ASSERT_GE(buffer.capacity(), wanted);
    for (std::size_t i = 0; i < filled; ++i) {
      ASSERT_EQ(buffer.data()[i], PatternAt(i)) << "byte " << i;
    }
    for (std::size_t i = filled; i < buffer.capacity(); ++i) buffer.data()[i] = PatternAt(i);
    filled = buffer.capacity();
  }
}

TEST(ByteBuffer, BlockAdvisedInPartsStillGrows) {
  // A block asks for huge pages for as much of it as the system has free
  // blocks for, which makes it several mappings; growing must still keep
  // every byte. The split is made here by hand, at each kind of place.
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  for (const int advice : {MADV_HUGEPAGE, MADV_NOHUGEPAGE}) {
    for (const std::size_t split : {std::size_t{4096}, 2 * kMiB, 6 * kMiB - 4096}) {
      SCOPED_TRACE(testing::Message() << "advice " << advice << ", split at " << split);
      ByteBuffer buffer;
      buffer.Reserve(8 * kMiB);
      for (std::size_t i = 0; i < buffer.capacity(); ++i) buffer.data()[i] = PatternAt(i);
      ASSERT_EQ(::madvise(buffer.data() + split, buffer.capacity() - split, advice), 0);
      const std::size_t filled = buffer.capacity();
      buffer.Reserve(64 * kMiB);
      ASSERT_GE(buffer.capacity(), 64 * kMiB);
      for (std::size_t i = 0; i < filled; ++i) ASSERT_EQ(buffer.data()[i], PatternAt(i)) << i;
      // The new part is writable to its end.
      buffer.data()[buffer.capacity() - 1] = 'x';
    }
  }
}

// Virtual memory of this process, in KiB, from /proc/self/status.
std::size_t VirtualKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmSize:", 0) == 0) return std::stoul(line.substr(7));
  }
  return 0;
}

TEST(ByteBuffer, LargeBlockStartsOnAHugePageAndKeepsNoExtra) {
  const std::size_t huge = page_advice::ThisSystem().size;
  if (huge == 0) GTEST_SKIP() << "no huge pages on this system";
  // Sizes that are not multiples of a huge page, which the system would
  // not align by itself.
  for (const std::size_t size : {huge, huge + 1, 4 * huge + 4097}) {
    SCOPED_TRACE(size);
    ByteBuffer buffer;
    buffer.Reserve(size);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % huge, 0u);
    buffer.data()[0] = 'a';
    buffer.data()[buffer.capacity() - 1] = 'z';
  }
  // What is mapped beyond the block to align it is given back: many
  // blocks made and freed leave the process no larger.
  const std::size_t before = VirtualKiB();
  for (int i = 0; i < 500; ++i) {
    ByteBuffer buffer;
    buffer.Reserve(huge + 4096);
  }
  EXPECT_LT(VirtualKiB(), before + huge / 1024 * 8);
}

// A block is whole pages of the system's size: what Reserve asks for,
// rounded up to the next page.
TEST(ByteBuffer, CapacityIsWholePagesOfTheSystem) {
  const auto page = static_cast<std::size_t>(::getpagesize());
  EXPECT_EQ(PageSize(), page);
  for (const std::size_t wanted : {std::size_t{1}, page - 1, page, page + 1, 3 * page + 5}) {
    ByteBuffer buffer;
    buffer.Reserve(wanted);
    EXPECT_EQ(buffer.capacity(), (wanted + page - 1) / page * page) << wanted;
  }
}

TEST(ByteBuffer, SmallerReserveKeepsCapacityAndContent) {
  ByteBuffer buffer;
  buffer.Reserve(10'000);
  std::memcpy(buffer.data(), "kept", 4);
  buffer.Resize(4);
  const std::size_t capacity = buffer.capacity();
  const char* const data = buffer.data();
  buffer.Reserve(10);
  EXPECT_EQ(buffer.capacity(), capacity);
  EXPECT_EQ(buffer.data(), data);
  EXPECT_EQ(std::string(buffer.data(), buffer.size()), "kept");
}

TEST(ByteBuffer, MoveHandsOverTheBlockAndEmptiesTheSource) {
  ByteBuffer source;
  source.Reserve(100);
  std::memcpy(source.data(), "moved", 5);
  source.Resize(5);
  const char* const block = source.data();

  ByteBuffer built(std::move(source));
  EXPECT_EQ(built.data(), block);
  EXPECT_EQ(std::string(built.data(), built.size()), "moved");
  EXPECT_EQ(source.data(), nullptr);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(source.size(), 0u);
  EXPECT_EQ(source.capacity(), 0u);

  ByteBuffer assigned;
  assigned.Reserve(8);
  assigned = std::move(built);
  EXPECT_EQ(assigned.data(), block);
  EXPECT_EQ(assigned.size(), 5u);
  EXPECT_EQ(built.data(), nullptr);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(built.capacity(), 0u);
}

TEST(ByteBuffer, ClearFreesEverything) {
  ByteBuffer buffer;
  buffer.Reserve(1 << 20);
  buffer.Resize(10);
  buffer.Clear();
  EXPECT_EQ(buffer.data(), nullptr);
  EXPECT_EQ(buffer.size(), 0u);
  EXPECT_EQ(buffer.capacity(), 0u);
  buffer.Reserve(3);  // usable again afterwards
  EXPECT_GE(buffer.capacity(), 3u);
}

}  // namespace
}  // namespace vorpel
