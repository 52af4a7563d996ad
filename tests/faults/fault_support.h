#pragma once

// Helpers of the whole-process fault tests: a small real file system that
// fills up, a file size limit for this process, the program's stray
// temporary files, and the batch command started as a child process (with
// or without unnamed files, under a memory limit, watched while it writes).

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "test_support.h"

namespace vorpel::test {

// The names of the atomic writer's new files in folder: what a Write that
// did not finish would leave behind.
inline std::vector<std::string> StrayFiles(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(".vorpel-", 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

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
  SmallFileSystem(const fs::path& folder, std::size_t bytes) {
    fs::create_directories(folder);
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
  fs::path folder_;
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

// How a child program is started, beyond its command.
struct ProgramSetup {
  std::vector<std::string> environment;  // NAME=value, added to the test's own
  rlim_t address_space = RLIM_INFINITY;  // the child's RLIMIT_AS, in bytes
};

// The environment that takes unnamed files (O_TMPFILE) away from a child,
// as on a file system without them: the preloaded library of the fault
// tests. A sanitizer's runtime is told not to insist on loading first.
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

// A child process running a program with arguments, started from work_dir
// with standard input from /dev/null and standard output and error into
// the given files.
inline pid_t StartProgram(const std::vector<std::string>& command, const fs::path& work_dir,
                          const fs::path& out_path, const fs::path& err_path,
                          const ProgramSetup& setup = {}) {
  std::vector<std::string> strings = command;
  std::vector<char*> argv;
  for (std::string& arg : strings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = setup.environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text = *entry;
    const std::string_view name = text.substr(0, text.find('=') + 1);
    const bool replaced = std::any_of(environment.begin(), environment.end(),
                                      [&](const std::string& e) { return e.starts_with(name); });
    if (!replaced) environment.emplace_back(text);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // Only async-signal-safe calls from here to exec.
  const int in = ::open("/dev/null", O_RDONLY);
  const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || ::chdir(work_dir.c_str()) != 0) ::_exit(127);
  ::dup2(in, STDIN_FILENO);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(err, STDERR_FILENO);
  if (setup.address_space != RLIM_INFINITY) {
    const rlimit limit{setup.address_space, setup.address_space};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
  }
  ::execve(argv[0], argv.data(), envp.data());
  ::_exit(127);
}

// The size of the file a child process is writing in folder: its unnamed
// new file ("folder/#inode (deleted)" among its descriptors) or a named
// one of the writer's. nullopt while it has none open there.
inline std::optional<std::uintmax_t> NewFileSize(pid_t pid, const fs::path& folder) {
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

// The exit code of a child, or 128 + the signal number that ended it.
inline int WaitForChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

struct ProgramResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end (see StartProgram); its output is collected in
// files of scratch, a folder the test does not look at otherwise.
inline ProgramResult RunProgram(const std::vector<std::string>& command, const fs::path& work_dir,
                                const fs::path& scratch, const ProgramSetup& setup = {}) {
  const fs::path out_path = scratch / "stdout";
  const fs::path err_path = scratch / "stderr";
  ProgramResult result;
  result.exit_code = WaitForChild(StartProgram(command, work_dir, out_path, err_path, setup));
  result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

// Words of lower-case letters with spaces and sentence ends between them.
inline std::string MakeText(std::size_t size, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  static constexpr const char* kGaps[] = {" ", " ", " ", ", ", ". ", "! ", "? ", "\n"};
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) {
    const auto length = 1 + random() % 9;
    for (std::uint64_t i = 0; i < length; ++i)
      text.push_back(static_cast<char>('a' + random() % 26));
    text += kGaps[random() % std::size(kGaps)];
  }
  text.resize(size);
  return text;
}

// Bytes that no draw from a MakeText source can give, so a target holding
// any of the new text is told apart at once.
inline std::string OldTarget(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('A' + i % 7);
  return text;
}

}  // namespace vorpel::test
