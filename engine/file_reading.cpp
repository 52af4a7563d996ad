#include "file_reading.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "posix_file.h"

namespace vorpel {
namespace fs = std::filesystem;

namespace {

FileError MakeError(const fs::path& path, std::error_code code) {
  return FileError{path.string(), code};
}

}  // namespace

bool FileExists(const fs::path& path) {
  if (path.empty()) return false;
  std::error_code ignored;
  const fs::file_status status = fs::status(path, ignored);
  return fs::exists(status) && !fs::is_directory(status);
}

FileStatus ReadWholeFile(const fs::path& path, ByteBuffer& out, std::size_t spare) {
  return ReadWholeFile(path, out, spare, {});
}

FileStatus ReadWholeFile(const fs::path& path, ByteBuffer& out, std::size_t spare,
                         const std::function<void(std::string_view)>& observe) {
  constexpr std::size_t kObservedPiece = std::size_t{256} << 10;
  out.Clear();
  ReadableFile file;
  if (auto code = OpenForReading(path, /*follow_links=*/true, file)) return MakeError(path, code);
  const int fd = file.fd.get();

  try {
    // A regular file is read into a block of its own size; a pipe, or a
    // file that grows while it is read, makes the block grow.
    const std::size_t expected = static_cast<std::size_t>(file.size);
    out.Reserve(std::max<std::size_t>(expected, 1 << 16) + spare);
    std::size_t length = 0;
    for (;;) {
      const std::size_t room = out.capacity() - spare - length;
      std::size_t got = 0;
      if (room == 0) {
        // Full: look for more before growing, so a file read to its exact
        // size does not double its block just to find its end.
        char probe[1 << 16];
        if (auto code = ReadSome(fd, probe, got)) {
          out.Clear();
          return MakeError(path, code);
        }
        if (got == 0) break;
        out.Reserve((out.capacity() - spare) * 2 + spare);
        std::memcpy(out.data() + length, probe, got);
        if (observe) observe(std::string_view(out.data() + length, got));
        length += got;
        continue;
      }
      const std::size_t wanted = observe ? std::min(room, kObservedPiece) : room;
      if (auto code = ReadSome(fd, std::span<char>(out.data() + length, wanted), got)) {
        out.Clear();
        return MakeError(path, code);
      }
      if (got == 0) break;
      if (observe) observe(std::string_view(out.data() + length, got));
      length += got;
    }
    out.Resize(length);
  } catch (const std::bad_alloc&) {
    out.Clear();
    return MakeError(path, std::make_error_code(std::errc::not_enough_memory));
  }
  return std::nullopt;
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
