#pragma once

// Conditions under which the fault tests make file operations fail: a
// small real file system that fills up, a file size limit for this
// process, and a child without unnamed files; and a look at the file a
// child is writing.

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The environment that takes unnamed files (O_TMPFILE) away from a child,
// as on a file system without them: the preloaded library of the fault
// tests (see ChildSetup::environment). A sanitizer's runtime is told not
// to insist on loading first.
inline std::vector<std::string> WithoutUnnamedFiles() {
#ifdef VORPEL_NO_UNNAMED_FILES
  std::string sanitizer = "ASAN_OPTIONS=";
  if (const char* current = std::getenv("ASAN_OPTIONS")) sanitizer += std::string(current) + ":";
  sanitizer += "verify_asan_link_order=0";
  return {std::string("LD_PRELOAD=") + VORPEL_NO_UNNAMED_FILES, sanitizer};
#else
  return {};
#endif
}

// The size of the file a child process is writing in folder: its unnamed
// new file ("folder/#inode (deleted)" among its descriptors) or a named
// one of the writer's. nullopt while it has none open there.
inline std::optional<std::uintmax_t> NewFileSize(pid_t pid, const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const std::string prefix = fs::weakly_canonical(folder).string() + "/";
  std::error_code ignored;
  const fs::path descriptors = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : fs::directory_iterator(descriptors, ignored)) {
    const std::string link = fs::read_symlink(entry.path(), ignored).string();
    if (!link.starts_with(prefix)) continue;
    const std::string_view name = std::string_view(link).substr(prefix.size());
    if (!name.starts_with('#') && !name.starts_with(".vorpel-")) continue;
    struct stat info {};
    if (::stat(entry.path().c_str(), &info) == 0) return static_cast<std::uintmax_t>(info.st_size);
  }
  return std::nullopt;
}

}  // namespace vorpel::test
