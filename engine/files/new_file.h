#pragma once

// How a writer's new file is made while it is not in place yet: without a
// name (O_TMPFILE), so that nothing is left behind whatever ends the
// process, or, on a file system without unnamed files, under a hidden
// temporary name beside the target.

#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "commit_calls.h"

namespace vorpel {

// The path through which an unnamed file's descriptor can be linked into
// a folder: linkat with AT_EMPTY_PATH needs a privilege, this does not.
struct DescriptorPath {
  char text[32];
  explicit DescriptorPath(int fd) { std::snprintf(text, sizeof text, "/proc/self/fd/%d", fd); }
};

// A new file without a name in folder, or -1 with errno set. A file system
// that has no unnamed files says so with EOPNOTSUPP (or, on old kernels,
// EISDIR or EINVAL); without /proc mounted such a file could never get a
// name, which counts as the same.
int OpenUnnamedFile(const std::filesystem::path& folder, mode_t mode);

// Whether the errno of OpenUnnamedFile means the folder's file system has
// no unnamed files, so that a named one must do.
bool MeansNoUnnamedFiles(int error);

// A new file under a fresh temporary name in folder, or -1 with errno set;
// name is then its path. The system gives it mode less the umask, as any
// new file.
int CreateUnderTemporaryName(const std::filesystem::path& folder, mode_t mode, std::string& name);

// Gives the unnamed file fd a fresh temporary name in folder, through
// calls.Link.
std::error_code LinkUnderTemporaryName(CommitCalls& calls, int fd,
                                       const std::filesystem::path& folder,
                                       std::filesystem::path& name);

}  // namespace vorpel
