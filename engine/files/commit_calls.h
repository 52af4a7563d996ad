#pragma once

// The system calls with which a writer puts its new file in place, in one
// object so that a test can watch their order or make one fail.

namespace vorpel {

// Each call answers as the system call it stands for: 0, or -1 with errno
// set. The writer's own use is SystemCommitCalls().
class CommitCalls {
 public:
  virtual ~CommitCalls() = default;
  // fdatasync(fd): the new file's bytes on disk.
  virtual int SyncData(int fd);
  // linkat(AT_FDCWD, from, AT_FDCWD, to, AT_SYMLINK_FOLLOW).
  virtual int Link(const char* from, const char* to);
  // rename(from, to).
  virtual int Rename(const char* from, const char* to);
  // fsync(folder_fd): the folder's entries on disk.
  virtual int SyncFolder(int folder_fd);
};

// The calls as the system makes them.
CommitCalls& SystemCommitCalls();

}  // namespace vorpel
