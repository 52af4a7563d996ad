#pragma once

// How a large block of fresh memory gets its pages.
//
// A block faulted in 2 MiB at a time (a huge page) costs far less to touch
// than one faulted in 4 KiB pages: one fault instead of 512. But where the
// system compacts memory to make a huge page for a region that asked for
// them (transparent_hugepage/defrag "always", "madvise" or
// "defer+madvise"), a fault there can wait a long time while free memory
// is scattered in single pages. A block therefore asks for huge pages only
// for as many 2 MiB parts as there are free 2 MiB blocks at that moment,
// and keeps the rest in small pages, which never wait for compaction; the
// rest is then best filled in batches (Prefault) and from more than one
// core.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace vorpel::page_advice {

// What the system offers this process in huge pages.
struct System {
  // Size of a huge page; 0 when the system gives none.
  std::size_t size = 0;
  // Its order: size is 2^order base pages.
  int order = 0;
  // A fault in a region that asked for huge pages may compact memory.
  bool advised_faults_compact = false;
};

// The system from the texts of /sys/kernel/mm/transparent_hugepage/enabled,
// defrag and hpage_pmd_size, and the base page size. A setting that cannot
// be read counts as the careful case: no huge pages, or faults that compact.
System ParseSystem(std::string_view enabled, std::string_view defrag, std::string_view pmd_size,
                   std::size_t base_page);

// Free blocks of at least 2^order base pages, counted in units of 2^order
// pages, from the text of /proc/buddyinfo. The DMA zone, which ordinary
// memory does not come from, is left out.
std::size_t CountFreeBlocks(std::string_view buddyinfo, int order);

// Free huge blocks always left to the rest of the machine.
inline constexpr std::size_t kBlocksLeft = 16;

// How many of free_blocks free huge blocks a new block may take.
constexpr std::size_t BlocksToTake(std::size_t free_blocks) {
  return free_blocks > kBlocksLeft ? free_blocks - kBlocksLeft : 0;
}

// What a region of fresh memory asks for: huge pages for [huge_begin,
// huge_end) (nothing when the two are equal), and small pages for the rest
// when small_rest is true (otherwise the system's default).
struct Plan {
  std::uintptr_t huge_begin = 0;
  std::uintptr_t huge_end = 0;
  bool small_rest = false;
};

// The plan for the region [begin, end) given the free huge blocks: the
// whole 2 MiB parts inside it, from its start, as many as there are free
// blocks beyond kBlocksLeft. Where no fault waits for compaction, all of
// them.
Plan PlanRegion(std::uintptr_t begin, std::uintptr_t end, const System& system,
                std::size_t free_blocks);

// The system as this process finds it, read once.
const System& ThisSystem();

// Applies PlanRegion to [begin, begin + length) of an anonymous mapping.
void AdviseRegion(void* begin, std::size_t length);

// How the pages of one part of a block come.
enum class PartPages {
  HugeFromFree,    // huge pages from free 2 MiB blocks: no compaction
  HugeCompacting,  // huge pages where the system may have to compact first
  Small,           // base pages (4 KiB on most machines)
};

// Chooses the pages of each part of a block that is filled part by part
// from its start, for when the free huge blocks may not cover it all. The
// parts they cover get huge pages. Beyond them the two ways left are tried
// once each and timed: huge pages for which the system compacts memory
// first, and small pages, which take one fault or one page table entry
// each. Which of the two costs less differs from machine to machine by a
// factor of ten either way: compaction can stall for long where free
// memory is scattered, and on some virtual machines every small page is a
// trip through the hypervisor. The cheaper way goes on, and the other is
// tried again every kRetryEvery parts, as costs change while memory fills.
// Untimed, the parts beyond the free blocks get small pages.
class PartChooser {
 public:
  static constexpr std::size_t kRetryEvery = 64;

  explicit PartChooser(std::size_t free_parts, bool timed = true)
      : free_parts_(free_parts), timed_(timed) {}

  // The pages of the next part.
  PartPages Next();

  // What backing a part of that kind with memory took, in nanoseconds.
  void Record(PartPages kind, std::uint64_t nanoseconds);

 private:
  std::size_t free_parts_;
  bool timed_;
  std::uint64_t compacting_cost_ = 0;  // recent cost of a part, 0 until measured
  std::uint64_t small_cost_ = 0;
  std::size_t since_retry_ = 0;
};

// Fills fresh memory one part of a huge page at a time, choosing the pages
// of each part (PartChooser): Begin asks the system for them and backs the
// part with memory at once (Prefault), the caller fills it, and End
// records what the two took, in processor time of the thread. Where the
// system has no huge pages, or makes no fault wait for compaction, Begin
// only backs the part. Each thread that fills uses its own.
class PartFiller {
 public:
  // free_parts: how many free huge blocks this one may use (FreeParts).
  explicit PartFiller(std::size_t free_parts);

  // The size of a part: a huge page, or 4 MiB without them.
  static std::size_t PartSize();

  // The free huge blocks beyond kBlocksLeft, as parts: what the fillers of
  // one block may share. Unlimited where no fault waits for compaction.
  static std::size_t FreeParts();

  // Before filling [begin, begin + length): a part, on a part boundary, or
  // the shorter last one.
  void Begin(char* begin, std::size_t length);

  // After filling the part.
  void End();

 private:
  PartChooser chooser_;
  bool timing_ = false;
  PartPages kind_ = PartPages::HugeFromFree;
  std::uint64_t started_ = 0;
};

// Backs [begin, begin + length) of an anonymous mapping with memory now,
// in one call instead of one fault per page. Only a hint: where the system
// cannot, the pages come on first touch as usual.
void Prefault(void* begin, std::size_t length);

}  // namespace vorpel::page_advice
