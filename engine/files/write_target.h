#pragma once

// What a writer finds at its target before it makes anything: the file
// that is replaced, with links followed as asked, and whether it may be.

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "file_error.h"

namespace vorpel {

// What a writer does with a symbolic link at its target.
enum class LinkPolicy {
  Follow,   // a link at the target: replace the file it points to
  Replace,  // a link at the target is replaced itself, never followed
};

// What is at a writer's target before anything is made.
struct TargetInfo {
  std::filesystem::path final_path;  // the target with links followed as asked
  bool replacing = false;            // something exists at final_path
  struct stat old {};                // what, when replacing
};

// The folder a file lies in: its parent, or "." for a bare name.
std::filesystem::path FolderOf(const std::filesystem::path& file);

// Fills info for target, or says why it may not be written: an empty
// path, a folder, a device, a read-only file (read-only by its permission
// bits too, which root would otherwise ignore), a link that cannot be
// followed.
std::error_code InspectTarget(const std::filesystem::path& target, LinkPolicy links,
                              TargetInfo& info);

// The checks Open makes before it creates anything: an empty path, a
// folder, a device, a read-only file, a missing folder or one that cannot
// be written to. For a caller that reports such a target before a long
// read, and makes the new file only once it has something to write.
FileStatus CheckTarget(const std::filesystem::path& target, LinkPolicy links);

}  // namespace vorpel
