#include "atomic_file_writer.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>

namespace vorpel {
namespace fs = std::filesystem;

namespace {

// Follows symbolic links at path to the file they finally name, which may
// not exist yet (a dangling link names the file a write will create).
std::optional<fs::path> ResolveLinks(fs::path path, std::error_code& error) {
  constexpr int kMaxLinks = 40;
  for (int depth = 0; depth < kMaxLinks; ++depth) {
    std::error_code status_error;
    const fs::file_status status = fs::symlink_status(path, status_error);
    if (!fs::is_symlink(status)) return path;
    const fs::path target = fs::read_symlink(path, error);
    if (error) return std::nullopt;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return std::nullopt;
}

fs::path FolderOf(const fs::path& file) {
  fs::path folder = file.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

// What is at a writer's target before anything is made.
struct TargetInfo {
  fs::path final_path;  // the target with links followed as asked
  bool replacing = false;
  struct stat old {};
};

std::error_code InspectTarget(const fs::path& target, LinkPolicy links, TargetInfo& info) {
  if (target.empty()) return make_error_code(FileErrc::EmptyPath);
  std::error_code code;
  if (links == LinkPolicy::Follow) {
    auto resolved = ResolveLinks(target, code);
    if (!resolved) return code;
    info.final_path = std::move(*resolved);
  } else {
    info.final_path = target;
  }
  info.replacing = ::lstat(info.final_path.c_str(), &info.old) == 0;
  if (!info.replacing) return errno == ENOENT ? std::error_code() : LastSystemError();
  if (S_ISDIR(info.old.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (S_ISREG(info.old.st_mode)) {
    // A file without write permission is the user's way of protecting it;
    // root would replace it anyway, so the bits are checked too.
    if (::access(info.final_path.c_str(), W_OK) != 0) return LastSystemError();
    if ((info.old.st_mode & 0222) == 0) return std::make_error_code(std::errc::permission_denied);
    return {};
  }
  if (S_ISLNK(info.old.st_mode) && links == LinkPolicy::Replace) return {};
  return make_error_code(FileErrc::NotRegularFile);
}

// The new file can be made in folder: it is a folder this process may
// write to.
std::error_code CheckFolder(const fs::path& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return LastSystemError();
  if (!S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::not_a_directory);
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return LastSystemError();
  return {};
}

// ---------------------------------------------------------------------------
// Named partial files and the termination signals.
//
// Where a new file must have a name before it is complete (a file system
// without O_TMPFILE, or the moment between linking and renaming), SIGINT,
// SIGTERM and SIGHUP remove it before the signal takes its course. The
// handler can only reach what it needs through process-wide state: the
// names are kept in fixed buffers, ready for unlink, which is safe in a
// signal handler. The handlers are installed only while such a name
// exists, and the earlier ones are put back afterwards.

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = static_cast<int>(std::size(kTerminationSignals));
constexpr int kSlotCount = 8;
constexpr std::size_t kSlotPathSize = 4096;

struct PartialFileSlot {
  std::atomic<bool> used{false};
  char path[kSlotPathSize] = {};
};

PartialFileSlot g_partial_files[kSlotCount];
struct sigaction g_previous_actions[kSignalCount];
bool g_handler_installed[kSignalCount] = {};
std::mutex g_partial_files_mutex;  // guards the counts and installation, never taken in a handler
int g_partial_file_count = 0;

extern "C" void RemovePartialFilesThenResignal(int signal_number, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  for (PartialFileSlot& slot : g_partial_files) {
    if (slot.used.load(std::memory_order_acquire)) ::unlink(slot.path);
  }
  int index = 0;
  while (index < kSignalCount && kTerminationSignals[index] != signal_number) ++index;
  if (index < kSignalCount) {
    const struct sigaction& previous = g_previous_actions[index];
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
      previous.sa_sigaction(signal_number, info, context);
    } else if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler != SIG_DFL &&
               previous.sa_handler != SIG_IGN) {
      previous.sa_handler(signal_number);
    } else {
      // The default action: the process ends as the signal says. The
      // signal is blocked while its handler runs, so the raised one is
      // delivered, with the default action, as soon as this returns.
      struct sigaction default_action {};
      default_action.sa_handler = SIG_DFL;
      sigemptyset(&default_action.sa_mask);
      ::sigaction(signal_number, &default_action, nullptr);
      ::raise(signal_number);
    }
  }
  errno = saved_errno;
}

void InstallHandlers() {
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction current {};
    ::sigaction(kTerminationSignals[i], nullptr, &current);
    // An ignored signal (a program started with nohup) stays ignored.
    g_handler_installed[i] = (current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_IGN;
    if (!g_handler_installed[i]) continue;
    g_previous_actions[i] = current;
    struct sigaction ours {};
    ours.sa_sigaction = RemovePartialFilesThenResignal;
    ours.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&ours.sa_mask);
    ::sigaction(kTerminationSignals[i], &ours, nullptr);
  }
}

void RestoreHandlers() {
  for (int i = 0; i < kSignalCount; ++i) {
    if (g_handler_installed[i])
      ::sigaction(kTerminationSignals[i], &g_previous_actions[i], nullptr);
    g_handler_installed[i] = false;
  }
}

// Makes path known to the handlers; the slot number, or -1 when the path
// cannot be kept (too long, or too many at once).
int AddPartialFile(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= kSlotPathSize) return -1;
  const std::lock_guard lock(g_partial_files_mutex);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    PartialFileSlot& entry = g_partial_files[slot];
    if (entry.used.load(std::memory_order_relaxed)) continue;
    std::memcpy(entry.path, path, length + 1);
    entry.used.store(true, std::memory_order_release);
    if (g_partial_file_count++ == 0) InstallHandlers();
    return slot;
  }
  return -1;
}

void RemovePartialFile(int slot) {
  if (slot < 0) return;
  const std::lock_guard lock(g_partial_files_mutex);
  g_partial_files[slot].used.store(false, std::memory_order_release);
  if (--g_partial_file_count == 0) RestoreHandlers();
}

// Holds the termination signals back in this thread while a name is made
// and registered, so that no signal finds a name the handler does not know.
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal_number : kTerminationSignals) sigaddset(&held, signal_number);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~TerminationSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;

 private:
  sigset_t previous_{};
};

// ---------------------------------------------------------------------------
// Unnamed files.

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
int OpenUnnamedFile(const fs::path& folder, mode_t mode) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  if (::access(DescriptorPath(fd).text, F_OK) != 0) {
    ::close(fd);
    errno = EOPNOTSUPP;
    return -1;
  }
  return fd;
}

bool MeansNoUnnamedFiles(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// A name the writer's files take while they are not complete or not in
// place yet: hidden, and easy to recognise.
std::string TemporaryName(const fs::path& folder) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    bits = (static_cast<std::uint64_t>(::getpid()) << 32) ^ counter.fetch_add(0x9e3779b97f4a7c15);
  }
  std::string name = ".vorpel-XXXXXX";
  for (std::size_t i = name.size() - 6; i < name.size(); ++i) {
    name[i] = kLetters[bits % (sizeof kLetters - 1)];
    bits /= sizeof kLetters - 1;
  }
  return (folder / name).string();
}

// A new file under a fresh temporary name in folder, or -1 with errno set.
// The system gives it mode less the umask, as any new file.
int CreateUnderTemporaryName(const fs::path& folder, mode_t mode, std::string& name) {
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string candidate = TemporaryName(folder);
    const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      name = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;  // errno is EEXIST
}

// Gives the unnamed file fd a fresh temporary name in folder.
std::error_code LinkUnderTemporaryName(CommitCalls& calls, int fd, const fs::path& folder,
                                       fs::path& name) {
  constexpr int kAttempts = 100;
  const DescriptorPath from(fd);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string candidate = TemporaryName(folder);
    if (calls.Link(from.text, candidate.c_str()) == 0) {
      name = std::move(candidate);
      return {};
    }
    if (errno != EEXIST) return LastSystemError();
  }
  return std::make_error_code(std::errc::file_exists);
}

}  // namespace

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

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

FileError AtomicFileWriter::Error(std::error_code code) const {
  return FileError{shown_path_, code};
}

void AtomicFileWriter::Discard() {
  fd_.Reset();
  folder_.Reset();
  if (!temp_path_.empty() && !committed_) ::unlink(temp_path_.c_str());
  RemovePartialFile(std::exchange(signal_slot_, -1));
  temp_path_.clear();
  unnamed_ = false;
}

FileStatus AtomicFileWriter::Open(const fs::path& target, LinkPolicy links, NewFileMode mode,
                                  Durability durability) {
  Discard();
  committed_ = false;
  durable_ = durability == Durability::Durable;
  shown_path_ = target.string();
  TargetInfo info;
  if (const std::error_code code = InspectTarget(target, links, info)) return Error(code);
  final_path_ = std::move(info.final_path);
  replacing_ = info.replacing;
  const fs::path folder = FolderOf(final_path_);

  // The new file is made with the mode the umask shapes, as any new file
  // is: the system applies the umask (an unnamed file keeps that mode when
  // it is linked). Reading the umask would mean setting it for a moment,
  // which races with every other thread that makes a file.
  const bool private_file = mode == NewFileMode::Private;
  const mode_t new_mode = private_file ? 0600 : 0666;
  FileDescriptor fd(OpenUnnamedFile(folder, new_mode));
  if (fd.IsOpen()) {
    fd_ = std::move(fd);
    unnamed_ = true;
  } else {
    if (!MeansNoUnnamedFiles(errno)) return Error(LastSystemError());
    const TerminationSignalsHeld held;
    std::string name;
    fd = FileDescriptor(CreateUnderTemporaryName(folder, new_mode, name));
    if (!fd.IsOpen()) return Error(LastSystemError());
    fd_ = std::move(fd);
    temp_path_ = std::move(name);
    signal_slot_ = AddPartialFile(temp_path_.c_str());
  }

  // Exact bits only where the umask must not shape them: a private file is
  // 0600 whatever the umask, a replaced file keeps its own.
  const bool keep_old_bits = !private_file && replacing_ && S_ISREG(info.old.st_mode);
  if (!private_file && !keep_old_bits) return std::nullopt;
  mode_t bits = 0600;
  if (keep_old_bits) {
    bits = info.old.st_mode & 07777;
    // Keeps the owner when the process may (as root); otherwise the new
    // file belongs to whoever writes it, as with any saved file.
    [[maybe_unused]] const int ignored = ::fchown(fd_.get(), info.old.st_uid, info.old.st_gid);
  }
  if (::fchmod(fd_.get(), bits) != 0) {
    const auto error = LastSystemError();
    Discard();
    return Error(error);
  }
  return std::nullopt;
}

FileStatus AtomicFileWriter::Write(std::span<char> block) {
  if (!fd_.IsOpen()) return Error(std::make_error_code(std::errc::bad_file_descriptor));
  if (const std::error_code error = WriteAll(fd_.get(), block)) {
    Discard();
    return Error(error);
  }
  return std::nullopt;
}

FileStatus AtomicFileWriter::Commit() {
  if (!fd_.IsOpen()) return Error(std::make_error_code(std::errc::bad_file_descriptor));
  if (durable_) {
    // The folder is opened before anything moves, so that a failure here
    // still leaves the old target as it was. A folder this process may
    // write to but not read (mode 0300) cannot be opened to be synced;
    // the Write goes on without the folder's sync rather than fail.
    const int folder = ::open(FolderOf(final_path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 && errno != EACCES) {
      const auto error = LastSystemError();
      Discard();
      return Error(error);
    }
    folder_ = FileDescriptor(folder);
  }
  return unnamed_ ? CommitUnnamed() : CommitNamed();
}

FileStatus AtomicFileWriter::Commit(FileDescriptor& read_back) {
  if (!fd_.IsOpen()) return Error(std::make_error_code(std::errc::bad_file_descriptor));
  FileDescriptor copy(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
  if (!copy.IsOpen()) {
    const auto error = LastSystemError();
    Discard();
    return Error(error);
  }
  if (auto error = Commit()) return error;
  read_back = std::move(copy);
  return std::nullopt;
}

FileStatus AtomicFileWriter::CommitUnnamed() {
  if (!replacing_) {
    // Nothing at the target: the complete file takes its name in one step.
    // No old text can be lost, so only the new name is synced.
    if (calls_->Link(DescriptorPath(fd_.get()).text, final_path_.c_str()) == 0) {
      if (const std::error_code error = fd_.Close()) {
        ::unlink(final_path_.c_str());
        Discard();
        return Error(error);
      }
      committed_ = true;
      unnamed_ = false;
      return SyncFolder();
    }
    // A file that appeared meanwhile is replaced like an existing one.
    if (errno != EEXIST) {
      const auto error = LastSystemError();
      Discard();
      return Error(error);
    }
  }
  if (auto error = SyncNewData()) return error;
  // rename is the one way to replace a file in a single step, and it needs
  // a name to start from: the complete file gets a temporary one first.
  const TerminationSignalsHeld held;
  if (const std::error_code error =
          LinkUnderTemporaryName(*calls_, fd_.get(), FolderOf(final_path_), temp_path_)) {
    Discard();
    return Error(error);
  }
  signal_slot_ = AddPartialFile(temp_path_.c_str());
  return RenameIntoPlace();
}

FileStatus AtomicFileWriter::CommitNamed() {
  // The new file has had its temporary name since Open; whatever is at
  // the target now is what the rename replaces.
  struct stat info {};
  if (replacing_ || ::lstat(final_path_.c_str(), &info) == 0) {
    if (auto error = SyncNewData()) return error;
  }
  return RenameIntoPlace();
}

// The new text reaches the disk before it replaces an old one: otherwise
// a power cut soon after the rename can leave the target empty on file
// systems that write data later than names.
FileStatus AtomicFileWriter::SyncNewData() {
  if (!durable_ || calls_->SyncData(fd_.get()) == 0) return std::nullopt;
  const auto error = LastSystemError();
  Discard();
  return Error(error);
}

FileStatus AtomicFileWriter::RenameIntoPlace() {
  if (const std::error_code error = fd_.Close()) {
    Discard();
    return Error(error);
  }
  if (calls_->Rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
    const auto error = LastSystemError();
    Discard();
    return Error(error);
  }
  committed_ = true;
  RemovePartialFile(std::exchange(signal_slot_, -1));
  temp_path_.clear();
  unnamed_ = false;
  return SyncFolder();
}

// After the name has moved: its folder entry reaches the disk. The new
// text is in place whatever this answers.
FileStatus AtomicFileWriter::SyncFolder() {
  const FileDescriptor folder = std::move(folder_);
  if (!durable_ || !folder.IsOpen() || calls_->SyncFolder(folder.get()) == 0) return std::nullopt;
  // File systems that cannot sync a folder say so with these.
  if (errno == EINVAL || errno == ENOTSUP) return std::nullopt;
  FileError error = Error(make_error_code(FileErrc::NotOnDisk));
  error.cause = LastSystemError();
  return error;
}

FileStatus CheckTarget(const fs::path& target, LinkPolicy links) {
  TargetInfo info;
  std::error_code code = InspectTarget(target, links, info);
  if (!code) code = CheckFolder(FolderOf(info.final_path));
  if (!code) return std::nullopt;
  return FileError{target.string(), code};
}

}  // namespace vorpel
