#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <system_error>

#include "byte_sink.h"
#include "file_error.h"
#include "posix_file.h"

namespace vorpel {

/** What a writer does with a symbolic link at its target. */
enum class LinkPolicy {
  Follow,   // a link at the target: replace the file it points to
  Replace,  // a link at the target is replaced itself, never followed
};

/**
 * Replaces a file atomically: the bytes go to a new file in the target's
 * folder, which is renamed over the target by Commit. Until Commit succeeds
 * the old target is untouched; a writer destroyed without a successful
 * Commit removes its new file. An existing target keeps its permission bits
 * (and its owner, where the system allows). A read-only target, a folder or
 * a device is refused.
 *
 * **Example**:
 *
 *     AtomicFileWriter writer;
 *     if (auto error = writer.Open("out.txt", LinkPolicy::Follow)) return error;
 *     if (auto error = writer.Write(block)) return error;
 *     return writer.Commit();
 */
class AtomicFileWriter final : public ByteSink {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter() override;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  /**
   * Checks target and makes the new file beside it. Errors name target as
   * given. A writer may be opened again; the earlier new file is removed.
   */
  FileStatus Open(const std::filesystem::path& target, LinkPolicy links);

  /** Appends block to the new file; on failure the new file is removed. */
  FileStatus Write(std::span<char> block) override;

  /** Closes the new file and renames it over the target. */
  FileStatus Commit();

 private:
  void Discard();
  FileError Error(std::error_code code) const;

  std::string shown_path_;            // the target as given, for messages
  std::filesystem::path final_path_;  // the file that is replaced
  std::filesystem::path temp_path_;   // the new file until Commit
  FileDescriptor fd_;
  bool committed_ = false;
};

}  // namespace vorpel
