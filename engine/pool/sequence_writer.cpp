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

// Writes count items, each given by pick(), back to back to sink.
template <typename Pick>
FileStatus DrawIntoSink(std::int64_t count, const Pick& pick, ByteSink& sink) {
  constexpr std::size_t kBlockSize = std::size_t{1} << 20;
  std::vector<char> block(kBlockSize);
  std::size_t used = 0;
  // The items are drawn kLookAhead places before they are copied, in the
  // same order, and their bytes are fetched into the cache meanwhile: on a
  // large pool nearly every item is a cache miss, and this way several are
  // on their way at once instead of one after the other.
  constexpr std::int64_t kLookAhead = 16;
  std::string_view upcoming[kLookAhead];
  const auto draw_into = [&](std::string_view& slot) {
    slot = pick();
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

FileStatus DrawMixed(const SequencePool& pool, std::int64_t count, RandomDraw& draw, ByteSink& sink,
                     Mix mix) {
  if (count <= 0) return std::nullopt;
  if (pool.Empty()) return FileError{{}, make_error_code(FileErrc::NothingToDraw)};
  const std::uint64_t parts = pool.PartCount();
  if (mix == Mix::Pool || parts == 1) {
    // One draw an item: with a single source, Equal gives the bytes of Pool.
    const std::uint64_t pool_size = pool.Size();
    return DrawIntoSink(
        count, [&] { return pool.Item(static_cast<std::size_t>(draw.Below(pool_size))); }, sink);
  }
  return DrawIntoSink(
      count,
      [&] {
        const SequencePool& part = pool.Part(static_cast<std::size_t>(draw.Below(parts)));
        return part.Item(static_cast<std::size_t>(draw.Below(part.Size())));
      },
      sink);
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
  if (auto error = DrawMixed(pool, count, draw, output, Mix::Pool)) return error;
  return options.read_back != nullptr ? output.Commit(*options.read_back) : output.Commit();
}

}  // namespace

FileStatus DrawSequences(const SequencePool& pool, std::int64_t count, RandomDraw& draw,
                         ByteSink& sink, Mix mix) {
  return DrawMixed(pool, count, draw, sink, mix);
}

FileStatus WriteSequences(const SequencePool& pool, const std::filesystem::path& path,
                          std::int64_t count, bool overwrite, const WriterOptions& options) {
  return WriteDrawnFile(pool, path, count, overwrite, options);
}

}  // namespace vorpel
