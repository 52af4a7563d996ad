#include "commit_calls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace vorpel {

int CommitCalls::SyncData(int fd) { return ::fdatasync(fd); }

int CommitCalls::Link(const char* from, const char* to) {
  return ::linkat(AT_FDCWD, from, AT_FDCWD, to, AT_SYMLINK_FOLLOW);
}

int CommitCalls::Rename(const char* from, const char* to) { return ::rename(from, to); }

int CommitCalls::SyncFolder(int folder_fd) { return ::fsync(folder_fd); }

CommitCalls& SystemCommitCalls() {
  static CommitCalls calls;
  return calls;
}

}  // namespace vorpel
