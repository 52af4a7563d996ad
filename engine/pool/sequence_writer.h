#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "atomic_file_writer.h"
#include "byte_sink.h"
#include "file_error.h"
#include "random_draw.h"
#include "sequence_pool.h"

namespace vorpel {

// How a draw chooses among the items of a pool joined from several
// sources: Pool gives every item the same chance; Equal first picks one of
// the sources with items, each with the same chance, then an item of it.
// For a pool of one source the two draw the same items.
enum class Mix { Pool, Equal };

// Draws count items with replacement from pool, as mix says, and writes
// them back to back to sink, in large blocks. Nothing is written for a
// count of 0 or less; a count of one or more needs a non-empty pool.
// Memory that cannot be had throws std::bad_alloc, for the command to
// report.
FileStatus DrawSequences(const SequencePool& pool, std::int64_t count, RandomDraw& draw,
                         ByteSink& sink, Mix mix = Mix::Pool);

struct WriterOptions {
  // A fixed seed gives reproducible output; without one every call is
  // seeded afresh from the clock.
  std::optional<std::uint64_t> seed;
  LinkPolicy links = LinkPolicy::Follow;
  NewFileMode mode = NewFileMode::Ordinary;
  // When set, receives a descriptor for reading back the file as written.
  FileDescriptor* read_back = nullptr;
  Durability durability = Durability::Durable;
};

// Writes count drawn items to the file at path, replacing it atomically.
// Refused (nothing opened or changed) when path is empty, or when a file
// exists there and overwrite is false. On any failure the old file stays
// as it was and nothing is left; that holds when memory runs out too,
// which throws std::bad_alloc for the command to report (the new file is
// gone by the time the exception leaves).
FileStatus WriteSequences(const SequencePool& pool, const std::filesystem::path& path,
                          std::int64_t count, bool overwrite, const WriterOptions& options = {});

}  // namespace vorpel
