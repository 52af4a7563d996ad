#include "sequence_writer.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "file_reading.h"

namespace vorpel {
namespace {

// Asks for the first bytes of item to be brought into the cache.
void PrefetchStart(std::string_view item) {
#if defined(__GNUC__)
  if (item.empty()) return;
  constexpr std::size_t kLine = 64;
  constexpr std::size_t kMaxPrefetched = 4 * kLine;
  const std::size_t span = std::min(item.size(), kMaxPrefetched);
  for (std::size_t offset = 0; offset < span; offset += kLine)
    __builtin_prefetch(item.data() + offset);
  __builtin_prefetch(item.data() + span - 1);
#else
  static_cast<void>(item);
#endif
}

FileStatus DrawIntoSink(const SequencePool& pool, std::int64_t count, RandomDraw& draw,
                        ByteSink& sink) {
  if (count <= 0) return std::nullopt;
  if (pool.Empty()) return FileError{{}, make_error_code(FileErrc::NothingToDraw)};

  constexpr std::size_t kBlockSize = std::size_t{1} << 20;
  std::vector<char> block(kBlockSize);
  std::size_t used = 0;
  const std::uint64_t pool_size = pool.Size();
  // The items are drawn kLookAhead places before they are copied, in the
  // same order, and their bytes are fetched into the cache meanwhile: on a
  // large pool nearly every item is a cache miss, and this way several are
  // on their way at once instead of one after the other.
  constexpr std::int64_t kLookAhead = 16;
  std::string_view upcoming[kLookAhead];
  const auto draw_into = [&](std::string_view& slot) {
    slot = pool.Item(static_cast<std::size_t>(draw.Below(pool_size)));
    PrefetchStart(slot);
  };
  for (std::int64_t i = 0; i < count && i < kLookAhead; ++i) draw_into(upcoming[i]);
  for (std::int64_t i = 0; i < count; ++i) {
    std::string_view& slot = upcoming[i % kLookAhead];
    const std::string_view item = slot;
    if (i + kLookAhead < count) draw_into(slot);
    if (item.size() > block.size() - used) {
      if (used > 0) {
        if (auto error = sink.Write(std::span<char>(block.data(), used))) return error;
        used = 0;
      }
      if (item.size() > block.size()) {
        // An item larger than the block goes out through a copy of its own:
        // the sink may change the bytes it is given, the pool must not.
        std::vector<char> copy(item.begin(), item.end());
        if (auto error = sink.Write(copy)) return error;
        continue;
      }
    }
    std::memcpy(block.data() + used, item.data(), item.size());
    used += item.size();
  }
  if (used > 0) return sink.Write(std::span<char>(block.data(), used));
  return std::nullopt;
}

FileStatus WriteDrawnFile(const SequencePool& pool, const std::filesystem::path& path,
                          std::int64_t count, bool overwrite, const WriterOptions& options) {
  RandomDraw draw(options.seed ? *options.seed : ClockSeed());
  if (path.empty()) return FileError{{}, make_error_code(FileErrc::EmptyPath)};
  if (FileExists(path) && !overwrite) {
    return FileError{path.string(), make_error_code(FileErrc::TargetExists)};
  }
  if (count > 0 && pool.Empty()) {
    return FileError{path.string(), make_error_code(FileErrc::NothingToDraw)};
  }
  AtomicFileWriter output;
  if (auto error = output.Open(path, options.links, options.mode, options.durability)) {
    return error;
  }
  if (auto error = DrawIntoSink(pool, count, draw, output)) return error;
  return options.read_back != nullptr ? output.Commit(*options.read_back) : output.Commit();
}

}  // namespace

FileStatus DrawSequences(const SequencePool& pool, std::int64_t count, RandomDraw& draw,
                         ByteSink& sink) {
  return DrawIntoSink(pool, count, draw, sink);
}

FileStatus WriteSequences(const SequencePool& pool, const std::filesystem::path& path,
                          std::int64_t count, bool overwrite, const WriterOptions& options) {
  return WriteDrawnFile(pool, path, count, overwrite, options);
}

}  // namespace vorpel
