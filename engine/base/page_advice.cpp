#include "page_advice.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <ctime>
#include <limits>
#include <string>

#include "system_memory.h"
#include "tuning.h"

namespace vorpel::page_advice {
namespace {

// The setting shown in brackets, as in "always [madvise] never".
std::string_view Chosen(std::string_view text) {
  const auto open = text.find('[');
  const auto close = text.find(']', open);
  if (open == std::string_view::npos || close == std::string_view::npos) return {};
  return text.substr(open + 1, close - open - 1);
}

std::string_view NextWord(std::string_view& text) {
  const auto start = text.find_first_not_of(" \t\n");
  if (start == std::string_view::npos) {
    text = {};
    return {};
  }
  text.remove_prefix(start);
  const auto end = std::min(text.find_first_of(" \t\n"), text.size());
  const std::string_view word = text.substr(0, end);
  text.remove_prefix(end);
  return word;
}

// What a small system file is read in, a block at a time.
constexpr std::size_t kSmallFileBlock = 4096;

// The whole of a small system file; empty when it cannot be read.
std::string ReadSmallFile(const char* path) {
  std::string text;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char block[kSmallFileBlock];
  for (;;) {
    const ssize_t got = ::read(fd, block, sizeof block);
    if (got <= 0) break;
    text.append(block, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return text;
}

}  // namespace

System ParseSystem(std::string_view enabled, std::string_view defrag, std::string_view pmd_size,
                   std::size_t base_page) {
  System system;
  const std::string_view mode = Chosen(enabled);
  if (mode != "always" && mode != "madvise") return system;
  std::size_t size = 0;
  const std::string_view digits = NextWord(pmd_size);
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
  if (error != std::errc() || end != digits.data() + digits.size() || base_page == 0 ||
      size <= base_page || !std::has_single_bit(size) || !std::has_single_bit(base_page)) {
    return system;
  }
  system.size = size;
  system.order = std::countr_zero(size) - std::countr_zero(base_page);
  // "defer" only wakes the background compaction, "never" does none; any
  // other setting, or one not known here, may make an advised fault wait.
  const std::string_view compaction = Chosen(defrag);
  system.advised_faults_compact = compaction != "defer" && compaction != "never";
  return system;
}

std::size_t CountFreeBlocks(std::string_view buddyinfo, int order) {
  std::size_t blocks = 0;
  while (!buddyinfo.empty()) {
    const auto line_end = std::min(buddyinfo.find('\n'), buddyinfo.size());
    std::string_view line = buddyinfo.substr(0, line_end);
    buddyinfo.remove_prefix(std::min(line_end + 1, buddyinfo.size()));
    // "Node 0, zone   Normal   c0 c1 c2 ...": free blocks of 2^k pages in ck.
    if (NextWord(line) != "Node") continue;
    NextWord(line);
    if (NextWord(line) != "zone") continue;
    if (NextWord(line) == "DMA") continue;
    for (int k = 0;; ++k) {
      const std::string_view word = NextWord(line);
      if (word.empty()) break;
      std::size_t count = 0;
      const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), count);
      if (error != std::errc() || end != word.data() + word.size()) break;
      if (k >= order && k - order < 32) blocks += count << (k - order);
    }
  }
  return blocks;
}

Plan PlanRegion(std::uintptr_t begin, std::uintptr_t end, const System& system,
                std::size_t free_blocks) {
  Plan plan;
  if (system.size == 0 || end <= begin) return plan;
  const std::uintptr_t mask = system.size - 1;
  const std::uintptr_t first = (begin + mask) & ~mask;
  const std::uintptr_t last = end & ~mask;
  const std::size_t whole = last > first ? (last - first) / system.size : 0;
  std::size_t take = whole;
  if (system.advised_faults_compact) {
    take = std::min(whole, BlocksToTake(free_blocks));
    plan.small_rest = true;
  }
  plan.huge_begin = first;
  plan.huge_end = first + take * system.size;
  return plan;
}

const System& ThisSystem() {
  static const System system =
      ParseSystem(ReadSmallFile("/sys/kernel/mm/transparent_hugepage/enabled"),
                  ReadSmallFile("/sys/kernel/mm/transparent_hugepage/defrag"),
                  ReadSmallFile("/sys/kernel/mm/transparent_hugepage/hpage_pmd_size"), PageSize());
  return system;
}

namespace {

// The processor time of this thread, in nanoseconds, system time included.
// Unlike the time on the clock, it leaves out the time the thread waited
// for a core, which on a busy machine would swamp what a part costs.
std::uint64_t ThreadTimeNs() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u +
         static_cast<std::uint64_t>(now.tv_nsec);
}

// Free huge blocks now; 0 when /proc/buddyinfo cannot be read, or when
// huge pages from free blocks are turned off.
std::size_t FreeBlocksNow(const System& system) {
  if (!CurrentTuning().huge_pages_from_free_blocks) return 0;
  return CountFreeBlocks(ReadSmallFile("/proc/buddyinfo"), system.order);
}

}  // namespace

void AdviseRegion(void* begin, std::size_t length) {
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
  const System& system = ThisSystem();
  if (system.size == 0 || length < system.size) return;
  const auto start = reinterpret_cast<std::uintptr_t>(begin);
  const std::size_t free_blocks = system.advised_faults_compact ? FreeBlocksNow(system) : 0;
  const Plan plan = PlanRegion(start, start + length, system, free_blocks);
  if (plan.small_rest) ::madvise(begin, length, MADV_NOHUGEPAGE);
  if (plan.huge_end > plan.huge_begin) {
    ::madvise(static_cast<char*>(begin) + (plan.huge_begin - start),
              plan.huge_end - plan.huge_begin, MADV_HUGEPAGE);
  }
#else
  (void)begin;
  (void)length;
#endif
}

PartPages PartChooser::Next() {
  if (free_parts_ > 0) {
    --free_parts_;
    return PartPages::HugeFromFree;
  }
  if (!timed_) return PartPages::Small;
  if (compacting_cost_ == 0) return PartPages::HugeCompacting;
  if (small_cost_ == 0) return PartPages::Small;
  // Small pages cost again at their first use by the program (an address
  // translation each to set up; on some virtual machines a trip through
  // the hypervisor each), which the filling does not show. So they must
  // cost less than half as much to be chosen.
  const bool compacting_cheaper = compacting_cost_ <= 2 * small_cost_;
  if (++since_retry_ >= kRetryEvery) {
    since_retry_ = 0;
    return compacting_cheaper ? PartPages::Small : PartPages::HugeCompacting;
  }
  return compacting_cheaper ? PartPages::HugeCompacting : PartPages::Small;
}

void PartChooser::Record(PartPages kind, std::uint64_t nanoseconds) {
  if (kind == PartPages::HugeFromFree) return;
  std::uint64_t& cost = kind == PartPages::Small ? small_cost_ : compacting_cost_;
  nanoseconds = std::max<std::uint64_t>(nanoseconds, 1);
  // The recent parts count most: compaction gets dearer as memory fills.
  cost = cost == 0 ? nanoseconds : (cost + nanoseconds) / 2;
}

PartFiller::PartFiller(std::size_t free_parts)
    : chooser_(free_parts, CurrentTuning().part_chooser) {}

std::size_t PartFiller::PartSize() {
  const std::size_t huge = ThisSystem().size;
  return huge != 0 ? huge : std::size_t{4} << 20;
}

std::size_t PartFiller::FreeParts() {
  const System& system = ThisSystem();
  if (system.size == 0 || !system.advised_faults_compact) {
    return std::numeric_limits<std::size_t>::max();
  }
  const std::size_t free_blocks = FreeBlocksNow(system);
  return BlocksToTake(free_blocks);
}

void PartFiller::Begin(char* begin, std::size_t length) {
  const System& system = ThisSystem();
  const auto start = reinterpret_cast<std::uintptr_t>(begin);
  timing_ = system.size != 0 && system.advised_faults_compact && start % system.size == 0 &&
            length == system.size;
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
  if (timing_) {
    kind_ = chooser_.Next();
    started_ = ThreadTimeNs();
    ::madvise(begin, length, kind_ == PartPages::Small ? MADV_NOHUGEPAGE : MADV_HUGEPAGE);
  }
#else
  timing_ = false;
#endif
  Prefault(begin, length);
}

void PartFiller::End() {
  // The filling counts too: on some virtual machines each small page costs
  // most at its first use, not when it is backed.
  if (timing_) chooser_.Record(kind_, ThreadTimeNs() - started_);
  timing_ = false;
}

void Prefault(void* begin, std::size_t length) {
#ifdef MADV_POPULATE_WRITE
  // madvise wants the start on a page boundary.
  const std::uintptr_t page = PageSize();
  const auto start = reinterpret_cast<std::uintptr_t>(begin);
  const std::uintptr_t aligned = start & ~(page - 1);
  ::madvise(static_cast<char*>(begin) - (start - aligned), length + (start - aligned),
            MADV_POPULATE_WRITE);
#else
  (void)begin;
  (void)length;
#endif
}

}  // namespace vorpel::page_advice
