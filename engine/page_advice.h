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
#include <string_view>

namespace vorpel::page_advice {

/** What the system offers this process in huge pages. */
struct System {
  /** Size of a huge page; 0 when the system gives none. */
  std::size_t size = 0;
  /** Its order: size is 2^order base pages. */
  int order = 0;
  /** A fault in a region that asked for huge pages may compact memory. */
  bool advised_faults_compact = false;
};

/**
 * The system from the texts of /sys/kernel/mm/transparent_hugepage/enabled,
 * defrag and hpage_pmd_size, and the base page size. A setting that cannot
 * be read counts as the careful case: no huge pages, or faults that compact.
 */
System ParseSystem(std::string_view enabled, std::string_view defrag, std::string_view pmd_size,
                   std::size_t base_page);

/**
 * Free blocks of at least 2^order base pages, counted in units of 2^order
 * pages, from the text of /proc/buddyinfo. The DMA zone, which ordinary
 * memory does not come from, is left out.
 */
std::size_t CountFreeBlocks(std::string_view buddyinfo, int order);

/** Free huge blocks always left to the rest of the machine. */
inline constexpr std::size_t kBlocksLeft = 16;

/**
 * What a region of fresh memory asks for: huge pages for [huge_begin,
 * huge_end) (nothing when the two are equal), and small pages for the rest
 * when small_rest is true (otherwise the system's default).
 */
struct Plan {
  std::uintptr_t huge_begin = 0;
  std::uintptr_t huge_end = 0;
  bool small_rest = false;
};

/**
 * The plan for the region [begin, end) given the free huge blocks: the
 * whole 2 MiB parts inside it, from its start, as many as there are free
 * blocks beyond kBlocksLeft. Where no fault waits for compaction, all of
 * them.
 */
Plan PlanRegion(std::uintptr_t begin, std::uintptr_t end, const System& system,
                std::size_t free_blocks);

/** The system as this process finds it, read once. */
const System& ThisSystem();

/** Applies PlanRegion to [begin, begin + length) of an anonymous mapping. */
void AdviseRegion(void* begin, std::size_t length);

/**
 * Backs [begin, begin + length) of an anonymous mapping with memory now,
 * in one call instead of one fault per page. Only a hint: where the system
 * cannot, the pages come on first touch as usual.
 */
void Prefault(void* begin, std::size_t length);

}  // namespace vorpel::page_advice
