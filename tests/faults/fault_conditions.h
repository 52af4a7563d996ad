#pragma once

// Conditions under which the fault tests make file operations fail: a
// small real file system that fills up, and a file size limit for this
// process.

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

namespace vorpel::test {

// Moves this process into a mount namespace of its own, with every mount
// private, so that what it mounts is seen by it and its children only and
// goes away with it, even when a test crashes. Tried once; false (with the
// reason) where the system does not allow it.
inline bool EnterOwnMountNamespace(std::string& why) {
  static int state = 0;  // 0 not tried, 1 done, -1 refused
  static std::string reason;
  if (state == 0) {
    if (::unshare(CLONE_NEWNS) != 0) {
      reason = std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
      state = -1;
    } else if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      // Mounts would propagate back to the system: mount nothing.
      reason = std::string("making the mounts private: ") + std::strerror(errno);
      state = -1;
    } else {
      state = 1;
    }
  }
  why = reason;
  return state == 1;
}

// A tmpfs of the given size mounted at folder (made if missing), for a disk
// that really fills up: writes past its size fail with ENOSPC.
class SmallFileSystem {
 public:
  SmallFileSystem(const std::filesystem::path& folder, std::size_t bytes) {
    std::filesystem::create_directories(folder);
    if (!EnterOwnMountNamespace(why_)) return;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("vorpel-test", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) !=
        0) {
      why_ = std::string("mount -t tmpfs: ") + std::strerror(errno);
      return;
    }
    folder_ = folder;
  }
  ~SmallFileSystem() {
    if (!folder_.empty()) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  bool Mounted() const { return !folder_.empty(); }
  const std::string& Why() const { return why_; }

  // The bytes still free for an ordinary user of the file system.
  std::uint64_t FreeBytes() const {
    struct statvfs info {};
    if (::statvfs(folder_.c_str(), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  }

 private:
  std::filesystem::path folder_;
  std::string why_;
};

// Files written by this process may grow to at most limit bytes while the
// object lives: a longer write fails with EFBIG (SIGXFSZ is ignored
// meanwhile). Only the soft limit is lowered, so it can be raised again.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &old_limit_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit lowered{limit, old_limit_.rlim_max};
    ok_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~ScopedFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_limit_);
    std::signal(SIGXFSZ, old_handler_);
  }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  bool ok() const { return ok_; }

 private:
  rlimit old_limit_{};
  void (*old_handler_)(int) = SIG_DFL;
  bool ok_ = false;
};

}  // namespace vorpel::test
