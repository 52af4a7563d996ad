// Scatters the machine's free memory for the side-by-side benchmarks: takes
// most of the available memory, touches all of it, then gives every other
// 4 KiB page back. Half of what it took is free again, but only in single
// pages between held ones, so no 2 MiB block can be had from it without
// first moving pages (compaction). The free 2 MiB blocks that remain, in
// the margin left for the rest of the machine, are then taken as huge
// pages, all but a few: free memory stays plentiful, but nearly all of it
// is single pages. This is the state of a desktop that has been busy for a
// while. The memory is held until the program is told to stop (SIGTERM,
// SIGINT or SIGHUP) or its time limit ends; exiting gives it all back.
//
//   vorpel_scatter_memory MARGIN [SECONDS]
//
// MARGIN: how much of the available memory to leave untaken while the
// pages are touched, in bytes or with K, M or G (binary). SECONDS: the
// longest hold (default 3600).
// When the memory is scattered it prints one line starting with "ready"
// on standard output. The process asks to be the first one ended if the
// machine runs out of memory.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Free 2 MiB blocks left to the rest of the machine.
constexpr std::uint64_t kBlocksLeft = 8;

bool ParseSize(const char* text, std::uint64_t& out) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || end == text) return false;
  std::uint64_t scale = 1;
  switch (*end) {
    case '\0': break;
    case 'K':
      scale = 1ull << 10;
      ++end;
      break;
    case 'M':
      scale = 1ull << 20;
      ++end;
      break;
    case 'G':
      scale = 1ull << 30;
      ++end;
      break;
    default: return false;
  }
  if (*end != '\0') return false;
  out = value * scale;
  return true;
}

// A field of /proc/meminfo, in bytes; 0 when absent.
std::uint64_t MemInfo(const std::string& field) {
  std::ifstream in("/proc/meminfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, field.size() + 1, field + ":") != 0) continue;
    std::istringstream values(line.substr(field.size() + 1));
    std::uint64_t kib = 0;
    values >> kib;
    return kib * 1024;
  }
  return 0;
}

// Free blocks of 2 MiB or more, counted in 2 MiB units, over all zones.
std::uint64_t FreeHugeBlocks() {
  std::ifstream in("/proc/buddyinfo");
  std::string line;
  std::uint64_t blocks = 0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string word;
    // "Node 0, zone Normal c0 c1 ... c10": the counts follow the zone name.
    for (int skip = 0; skip < 4 && fields >> word; ++skip) {
    }
    std::uint64_t count = 0;
    for (int order = 0; fields >> count; ++order) {
      if (order >= 9) blocks += count << (order - 9);
    }
  }
  return blocks;
}

// True when a stop signal has come (they are blocked, so they wait).
bool StopAsked() {
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  return sigismember(&pending, SIGTERM) || sigismember(&pending, SIGINT) ||
         sigismember(&pending, SIGHUP);
}

// Checked every this many pages while the memory is being taken.
constexpr std::size_t kCheckEvery = 16384;

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t margin = 0;
  std::uint64_t seconds = 3600;
  if (argc < 2 || argc > 3 || !ParseSize(argv[1], margin) ||
      (argc == 3 && !ParseSize(argv[2], seconds))) {
    std::fprintf(stderr, "usage: %s MARGIN [SECONDS]   (MARGIN in bytes, or with K, M or G)\n",
                 argv[0]);
    return 2;
  }

  // Blocks the stop signals first, so one that comes while the memory is
  // being taken is waited for below, not lost.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGHUP);
  sigprocmask(SIG_BLOCK, &stop, nullptr);

  // If memory runs out after all, this process is the one to end.
  if (std::FILE* adjust = std::fopen("/proc/self/oom_score_adj", "w")) {
    std::fputs("1000", adjust);
    std::fclose(adjust);
  }

  const std::uint64_t available = MemInfo("MemAvailable");
  if (available <= margin + (64ull << 20)) {
    std::fprintf(stderr, "only %llu MiB available, margin %llu MiB: nothing to take\n",
                 static_cast<unsigned long long>(available >> 20),
                 static_cast<unsigned long long>(margin >> 20));
    return 1;
  }
  const std::size_t size = static_cast<std::size_t>((available - margin) & ~(kPage - 1));
  void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapped == MAP_FAILED) {
    std::perror("mmap");
    return 1;
  }
  auto* bytes = static_cast<volatile char*>(mapped);
  // Single pages, so that giving one back leaves a hole of one page.
  ::madvise(mapped, size, MADV_NOHUGEPAGE);

  const std::size_t pages = size / kPage;
  for (std::size_t page = 0; page < pages; ++page) {
    bytes[page * kPage] = 1;
    if (page % kCheckEvery == 0 && StopAsked()) return 0;
  }
  for (std::size_t page = 1; page < pages; page += 2) {
    ::madvise(static_cast<char*>(mapped) + page * kPage, kPage, MADV_DONTNEED);
    if (page % kCheckEvery == 1 && StopAsked()) return 0;
  }

  // The free blocks of 2 MiB that are left, taken one huge page each
  // (touching one byte of each 2 MiB faults in the whole huge page).
  const std::uint64_t blocks_before = FreeHugeBlocks();
  std::size_t huge_size = 0;
  if (blocks_before > kBlocksLeft) {
    huge_size = static_cast<std::size_t>(blocks_before - kBlocksLeft) * kHugePage;
    // One block more, to align the start to 2 MiB.
    void* raw = ::mmap(nullptr, huge_size + kHugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED) {
      huge_size = 0;
    } else {
      const auto start = (reinterpret_cast<std::uintptr_t>(raw) + kHugePage - 1) & ~(kHugePage - 1);
      auto* huge = reinterpret_cast<volatile char*>(start);
      ::madvise(reinterpret_cast<void*>(start), huge_size, MADV_HUGEPAGE);
      for (std::size_t offset = 0; offset < huge_size; offset += kHugePage) huge[offset] = 1;
    }
  }

  std::printf(
      "ready: took %llu MiB and holds every other page of it (%llu MiB), then %llu of "
      "%llu free blocks of 2 MiB; %llu MiB free, %llu free blocks of 2 MiB\n",
      static_cast<unsigned long long>(size >> 20),
      static_cast<unsigned long long>((pages + 1) / 2 * kPage >> 20),
      static_cast<unsigned long long>(huge_size / kHugePage),
      static_cast<unsigned long long>(blocks_before),
      static_cast<unsigned long long>(MemInfo("MemFree") >> 20),
      static_cast<unsigned long long>(FreeHugeBlocks()));
  std::fflush(stdout);

  const timespec limit{static_cast<std::time_t>(seconds), 0};
  sigtimedwait(&stop, nullptr, &limit);
  return 0;
}
