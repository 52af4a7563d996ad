#include "file_reading.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stop_token>
#include <string_view>
#include <system_error>
#include <vector>

#include "page_advice.h"
#include "posix_file.h"
#include "run_beside.h"
#include "tuning.h"

namespace vorpel {
namespace fs = std::filesystem;

namespace {

FileError MakeError(const fs::path& path, std::error_code code) {
  return FileError{path.string(), code};
}

// Bytes read from an offset, stopping only at the end of the file or at
// the first error.
struct Filled {
  std::size_t bytes = 0;
  std::error_code error;
};

// Reads count bytes at offset of a regular file into fresh memory, one
// part of a huge page at a time, each part given its pages and backed with
// memory just before it is read into (see PartFiller). Each piece read is
// shown to observer, if given, while it is still in the cache. Stops early,
// between parts, once stop is requested.
Filled FillAt(int fd, char* into, std::size_t count, std::uint64_t offset,
              page_advice::PartFiller& pages, ReadObserver* observer = nullptr,
              const std::stop_token& stop = {}) {
  const std::size_t part = page_advice::PartFiller::PartSize();
  Filled filled;
  while (filled.bytes < count && !stop.stop_requested()) {
    const std::size_t want = std::min(count - filled.bytes, part);
    pages.Begin(into + filled.bytes, want);
    std::size_t got = 0;
    filled.error =
        ReadSomeAt(fd, std::span<char>(into + filled.bytes, want), offset + filled.bytes, got);
    pages.End();
    if (filled.error || got == 0) break;
    if (observer != nullptr) observer->Observe(std::string_view(into + filled.bytes, got));
    filled.bytes += got;
  }
  return filled;
}

// The observer of a read is shown the text in pieces of at most this size,
// each while it is still in the cache.
constexpr std::size_t kObservedPiece = std::size_t{256} << 10;

// Shows count bytes from bytes to observer, in pieces of kObservedPiece.
void ObserveInPieces(ReadObserver& observer, const char* bytes, std::size_t count) {
  for (std::size_t done = 0; done < count; done += kObservedPiece) {
    observer.Observe(std::string_view(bytes + done, std::min(kObservedPiece, count - done)));
  }
}

// Reads the first size bytes of a regular file into fresh memory (on a
// huge page boundary), in two halves at once where a second thread pays,
// the second half beside this thread: filling fresh memory costs more than
// copying, and most of it is the system's work for each page, which two
// cores share. Both halves are done before this returns, and an exception
// from either reaches the caller only then. The result is what one reader
// from the start would have seen: where the file ends inside the first
// half (it shrank meanwhile), nothing of the second half is kept.
// observer, if given, is shown every byte kept: the first half as it is
// read; the second as it is read by the observer's Midway one, which it
// joins at the end, or after both are done when it has none.
Filled FillWhole(int fd, char* into, std::size_t size, ReadObserver* observer) {
  const std::size_t free_parts = page_advice::PartFiller::FreeParts();
  if (!SecondThreadPays(size) || !CurrentTuning().two_half_read) {
    page_advice::PartFiller pages(free_parts);
    return FillAt(fd, into, size, 0, pages, observer);
  }
  // Split on a part boundary, so no huge page is touched by both; the free
  // huge blocks are shared out in the same proportion.
  const std::size_t part = page_advice::PartFiller::PartSize();
  const std::size_t half = size / 2 / part * part;
  const std::size_t first_free = free_parts / 2;
  page_advice::PartFiller first_pages(first_free);
  page_advice::PartFiller second_pages(free_parts - first_free);
  const std::unique_ptr<ReadObserver> second_observer =
      observer != nullptr ? observer->Midway(half) : nullptr;
  Filled first;
  Filled second;
  RunBeside(
      [&](const std::stop_token& stop) {
        second =
            FillAt(fd, into + half, size - half, half, second_pages, second_observer.get(), stop);
      },
      [&] { first = FillAt(fd, into, half, 0, first_pages, observer); });
  if (first.error || first.bytes < half) return first;
  if (second.error) return second;
  if (second_observer != nullptr) {
    observer->Join(*second_observer);
  } else if (observer != nullptr) {
    ObserveInPieces(*observer, into + half, second.bytes);
  }
  return Filled{half + second.bytes, {}};
}

// Reads what is left of file after the first length bytes of out, up to
// its end: all of a small file or a pipe, whatever a large file gained
// while its parts were read. out grows as needed, keeping spare bytes
// after the content, and ends the size of what was read.
std::error_code ReadRest(const ReadableFile& file, ByteBuffer& out, std::size_t spare,
                         std::size_t length, ReadObserver* observer) {
  // A regular file goes on from length, where the parts left it, not from
  // its descriptor's position.
  const int fd = file.fd.get();
  const auto read_more = [&](std::span<char> into, std::size_t& got) {
    return file.regular ? ReadSomeAt(fd, into, length, got) : ReadSome(fd, into, got);
  };
  for (;;) {
    const std::size_t room = out.capacity() - spare - length;
    std::size_t got = 0;
    if (room == 0) {
      // Full: look for more before growing, so a file read to its exact
      // size does not double its block just to find its end.
      char probe[1 << 16];
      if (auto code = read_more(probe, got)) return code;
      if (got == 0) break;
      out.Reserve((out.capacity() - spare) * 2 + spare);
      std::memcpy(out.data() + length, probe, got);
      if (observer != nullptr) observer->Observe(std::string_view(out.data() + length, got));
      length += got;
      continue;
    }
    const std::size_t wanted = observer != nullptr ? std::min(room, kObservedPiece) : room;
    if (auto code = read_more(std::span<char>(out.data() + length, wanted), got)) return code;
    if (got == 0) break;
    if (observer != nullptr) observer->Observe(std::string_view(out.data() + length, got));
    length += got;
  }
  out.Resize(length);
  return {};
}

// Reads all of the open file into out (see ReadWholeFile). A regular file
// is read into a block of its own size, a long one part by part (FillWhole);
// a pipe, or a file that grows while it is read, makes the block grow.
std::error_code ReadOpenFile(const ReadableFile& file, ByteBuffer& out, std::size_t spare,
                             ReadObserver* observer) {
  const std::size_t expected = static_cast<std::size_t>(file.size);
  out.Reserve(std::max<std::size_t>(expected, 1 << 16) + spare);
  std::size_t length = 0;
  // From the size at which a second thread may pay, the part by part fill
  // pays on one thread too: it chooses each part's pages as it goes.
  if (file.regular && expected >= kSecondThreadMinimum) {
    const Filled filled = FillWhole(file.fd.get(), out.data(), expected, observer);
    if (filled.error) return filled.error;
    length = filled.bytes;
  }
  return ReadRest(file, out, spare, length, observer);
}

// Reads as ReadWholeFile does, showing the pieces to observer if given.
// An exception, running out of memory included, reaches the caller once
// both parts have stopped.
FileStatus ReadWholeFileObserved(const fs::path& path, ByteBuffer& out, std::size_t spare,
                                 ReadObserver* observer, SourceFiles accepted) {
  out.Clear();
  ReadableFile file;
  if (auto code = OpenForReading(path, /*follow_links=*/true, file, accepted)) {
    return MakeError(path, code);
  }
  const std::error_code code = ReadOpenFile(file, out, spare, observer);
  if (!code) return std::nullopt;
  out.Clear();
  return MakeError(path, code);
}

}  // namespace

bool FileExists(const fs::path& path) {
  if (path.empty()) return false;
  std::error_code ignored;
  const fs::file_status status = fs::status(path, ignored);
  return fs::exists(status) && !fs::is_directory(status);
}

FileStatus ReadWholeFile(const fs::path& path, ByteBuffer& out, std::size_t spare,
                         SourceFiles accepted) {
  return ReadWholeFileObserved(path, out, spare, nullptr, accepted);
}

FileStatus ReadWholeFile(const fs::path& path, ByteBuffer& out, std::size_t spare,
                         ReadObserver& observer, SourceFiles accepted) {
  return ReadWholeFileObserved(path, out, spare, &observer, accepted);
}

FileStatus ForEachBlock(const fs::path& path, bool follow_links, std::size_t block_size,
                        const std::function<FileStatus(std::span<char>)>& consume) {
  ReadableFile file;
  if (auto code = OpenForReading(path, follow_links, file)) return MakeError(path, code);
  return ForEachBlock(file.fd.get(), path.native(), block_size, consume);
}

FileStatus ForEachBlock(int fd, std::string_view shown_path, std::size_t block_size,
                        const std::function<FileStatus(std::span<char>)>& consume) {
  std::vector<char> block(std::max<std::size_t>(block_size, 1));
  for (;;) {
    std::size_t got = 0;
    if (auto code = ReadSome(fd, block, got)) return FileError{std::string(shown_path), code};
    if (got == 0) return std::nullopt;
    if (auto error = consume(std::span<char>(block.data(), got))) return error;
  }
}

}  // namespace vorpel
