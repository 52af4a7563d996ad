#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <span>
#include <string>
#include <system_error>

#include "byte_sink.h"
#include "commit_calls.h"
#include "file_error.h"
#include "posix_file.h"
#include "write_target.h"

namespace vorpel {

// The permission bits and owner of the file a writer puts in place.
enum class NewFileMode {
  // A new file gets 0666 less the umask; a file that is replaced keeps its
  // permission bits (and its owner, where the system allows).
  Ordinary,
  // 0600 whatever the umask and whatever the replaced file had, owned by
  // the writing user: for text that must not be readable by others.
  Private,
};

// Whether a writer's file must survive a power cut once Commit returns.
enum class Durability {
  // Before the new text replaces an old file it is on disk, and after the
  // name has moved the folder's entry is too: a crash or power cut leaves
  // the old text or the new, never an empty or missing file.
  Durable,
  // Scratch text that every run makes anew (the intermediate file): no
  // syncs, which would only cost time.
  Scratch,
};

// Replaces a file atomically. The bytes go to a new file in the target's
// folder that has no name at all (`O_TMPFILE`) while it is written, so a
// process that ends half-way, by any signal or a crash, leaves nothing
// behind. Commit gives it the target's name: directly where no target
// exists, or under a temporary name that is at once renamed over the old
// target. Until Commit succeeds the old target is untouched.
//
// On a file system without unnamed files the new file is a hidden
// `.vorpel-XXXXXX` beside the target. It is removed when the writer is
// destroyed without a Commit, and also when SIGINT, SIGTERM or SIGHUP
// arrive while it exists: the handler removes it, then the signal takes
// its course (the previous handler, or the default action, which ends the
// process as that signal says). Only SIGKILL or a crash can leave it.
//
// A read-only target, a folder or a device is refused.
//
// A Durable writer (the default) syncs the new file's data before it
// replaces an existing file, and the folder after the name has moved; a
// new name needs only the folder's sync, since no old text can be lost.
// A failure before the rename leaves the old target as it was; a folder
// that cannot be synced after it is reported as FileErrc::NotOnDisk, the
// new text in place. File systems that cannot sync a folder at all
// (EINVAL, ENOTSUP) are not a failure.
//
// Example:
//
//     AtomicFileWriter writer;
//     if (auto error = writer.Open("out.txt", LinkPolicy::Follow)) return error;
//     if (auto error = writer.Write(block)) return error;
//     return writer.Commit();
class AtomicFileWriter final : public ByteSink {
 public:
  explicit AtomicFileWriter(CommitCalls& calls = SystemCommitCalls()) : calls_(&calls) {}
  ~AtomicFileWriter() override;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Checks target and makes the new file beside it. Errors name target as
  // given. A writer may be opened again; the earlier new file is removed.
  FileStatus Open(const std::filesystem::path& target, LinkPolicy links,
                  NewFileMode mode = NewFileMode::Ordinary,
                  Durability durability = Durability::Durable);

  // Appends block to the new file; on failure the new file is removed.
  FileStatus Write(std::span<char> block) override;

  // Closes the new file and puts it in the target's place.
  FileStatus Commit();

  // Commits, and hands back in read_back a descriptor of the file just
  // put in place, open for reading: it reads the very bytes this writer
  // wrote, even after another program has replaced the file at the path.
  FileStatus Commit(FileDescriptor& read_back);

  // True while the new file has no name (the usual case on Linux).
  bool Unnamed() const { return unnamed_; }

 private:
  void Discard();
  FileError Error(std::error_code code) const;
  std::error_code MakeNewFile(const std::filesystem::path& folder, mode_t mode);
  std::error_code SetBits(const struct stat* old);
  FileStatus CommitUnnamed();
  FileStatus CommitNamed();
  FileStatus SyncNewData();
  FileStatus RenameIntoPlace();
  FileStatus SyncFolder();

  CommitCalls* calls_;
  std::string shown_path_;            // the target as given, for messages
  std::filesystem::path final_path_;  // the file that is replaced
  std::filesystem::path temp_path_;   // a name of the new file before Commit
  FileDescriptor fd_;
  bool unnamed_ = false;    // fd_ is an O_TMPFILE file
  bool replacing_ = false;  // something existed at final_path_ at Open
  int signal_slot_ = -1;    // where the signal handlers find temp_path_
  bool committed_ = false;
  bool durable_ = true;
  FileDescriptor folder_;  // the target's folder, opened at Commit to sync it
};

}  // namespace vorpel
