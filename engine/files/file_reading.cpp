#include "file_reading.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "page_advice.h"
#include "posix_file.h"

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
// shown to observer, if given, while it is still in the cache.
Filled FillAt(int fd, char* into, std::size_t count, std::uint64_t offset,
              page_advice::PartFiller& pages, ReadObserver* observer = nullptr) {
  const std::size_t part = page_advice::PartFiller::PartSize();
  Filled filled;
  while (filled.bytes < count) {
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

// From this size on, a regular file is read in two parts at once.
constexpr std::size_t kTwoPartMinimum = std::size_t{32} << 20;

// Reads the first size bytes of a regular file into fresh memory (on a
// huge page boundary), in two halves at once if the machine has two cores,
// the second by a helper thread: filling fresh memory costs more than
// copying, and most of it is the system's work for each page, which two
// cores share. Both halves are done before this returns. The result is
// what one reader from the start would have seen: where the file ends
// inside the first half (it shrank meanwhile), nothing of the second half
// is kept. observer, if given, is shown every byte kept: the first half as
// it is read; the second as it is read by the observer's Midway one, which
// it joins at the end, or after both are done when it has none.
Filled FillWhole(int fd, char* into, std::size_t size, ReadObserver* observer) {
  const std::size_t free_parts = page_advice::PartFiller::FreeParts();
  if (std::thread::hardware_concurrency() < 2) {
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
  Filled second;
  std::thread helper;
  try {
    helper = std::thread([&] {
      second = FillAt(fd, into + half, size - half, half, second_pages, second_observer.get());
    });
  } catch (const std::system_error&) {
    // No thread to be had: this one reads both halves.
  }
  const Filled first = FillAt(fd, into, half, 0, first_pages, observer);
  if (helper.joinable()) {
    helper.join();
  } else {
    second = FillAt(fd, into + half, size - half, half, second_pages, second_observer.get());
  }
  if (first.error || first.bytes < half) return first;
  if (second.error) return second;
  if (second_observer != nullptr) {
    observer->Join(*second_observer);
  } else if (observer != nullptr) {
    for (std::size_t done = 0; done < second.bytes; done += kObservedPiece) {
      observer->Observe(
          std::string_view(into + half + done, std::min(kObservedPiece, second.bytes - done)));
    }
  }
  return Filled{half + second.bytes, {}};
}

// Reads as ReadWholeFile does, showing the pieces to observer if given.
FileStatus ReadWholeFileObserved(const fs::path& path, ByteBuffer& out, std::size_t spare,
                                 ReadObserver* observer, SourceFiles accepted) {
  out.Clear();
  ReadableFile file;
  if (auto code = OpenForReading(path, /*follow_links=*/true, file, accepted)) {
    return MakeError(path, code);
  }
  const int fd = file.fd.get();

  try {
    // A regular file is read into a block of its own size; a pipe, or a
    // file that grows while it is read, makes the block grow.
    const std::size_t expected = static_cast<std::size_t>(file.size);
    out.Reserve(std::max<std::size_t>(expected, 1 << 16) + spare);
    std::size_t length = 0;
    if (file.regular && expected >= kTwoPartMinimum) {
      const Filled filled = FillWhole(fd, out.data(), expected, observer);
      if (filled.error) {
        out.Clear();
        return MakeError(path, filled.error);
      }
      length = filled.bytes;
    }
    // The rest: all of a small file or a pipe, whatever a large file
    // gained meanwhile. A regular file goes on from length, where the
    // parts above left it, not from its descriptor's position.
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
        if (auto code = read_more(probe, got)) {
          out.Clear();
          return MakeError(path, code);
        }
        if (got == 0) break;
        out.Reserve((out.capacity() - spare) * 2 + spare);
        std::memcpy(out.data() + length, probe, got);
        if (observer != nullptr) observer->Observe(std::string_view(out.data() + length, got));
        length += got;
        continue;
      }
      const std::size_t wanted = observer != nullptr ? std::min(room, kObservedPiece) : room;
      if (auto code = read_more(std::span<char>(out.data() + length, wanted), got)) {
        out.Clear();
        return MakeError(path, code);
      }
      if (got == 0) break;
      if (observer != nullptr) observer->Observe(std::string_view(out.data() + length, got));
      length += got;
    }
    out.Resize(length);
  } catch (const std::bad_alloc&) {
    out.Clear();
    return MakeError(path, std::make_error_code(std::errc::not_enough_memory));
  }
  return std::nullopt;
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
