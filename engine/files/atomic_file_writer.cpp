#include "atomic_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "cleanup_on_signal.h"
#include "new_file.h"
#include "write_target.h"

namespace vorpel {
namespace fs = std::filesystem;

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

FileError AtomicFileWriter::Error(std::error_code code) const {
  return FileError{shown_path_, code};
}

void AtomicFileWriter::Discard() {
  fd_.Reset();
  folder_.Reset();
  if (!temp_path_.empty() && !committed_) ::unlink(temp_path_.c_str());
  ForgetPartialFile(std::exchange(signal_slot_, -1));
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
  const bool private_file = mode == NewFileMode::Private;
  if (const std::error_code code = MakeNewFile(FolderOf(final_path_), private_file ? 0600 : 0666)) {
    return Error(code);
  }
  // Exact bits only where the umask must not shape them: a private file is
  // 0600 whatever the umask, a replaced file keeps its own.
  const bool keep_old_bits = !private_file && replacing_ && S_ISREG(info.old.st_mode);
  if (!private_file && !keep_old_bits) return std::nullopt;
  if (const std::error_code code = SetBits(keep_old_bits ? &info.old : nullptr)) {
    Discard();
    return Error(code);
  }
  return std::nullopt;
}

// The new file is made with the mode the umask shapes, as any new file
// is: the system applies the umask (an unnamed file keeps that mode when
// it is linked). Reading the umask would mean setting it for a moment,
// which races with every other thread that makes a file.
std::error_code AtomicFileWriter::MakeNewFile(const fs::path& folder, mode_t mode) {
  FileDescriptor fd(OpenUnnamedFile(folder, mode));
  if (fd.IsOpen()) {
    fd_ = std::move(fd);
    unnamed_ = true;
    return {};
  }
  if (!MeansNoUnnamedFiles(errno)) return LastSystemError();
  const TerminationSignalsHeld held;
  std::string name;
  fd = FileDescriptor(CreateUnderTemporaryName(folder, mode, name));
  if (!fd.IsOpen()) return LastSystemError();
  fd_ = std::move(fd);
  temp_path_ = std::move(name);
  signal_slot_ = AddPartialFile(temp_path_.c_str());
  return {};
}

// 0600, or the bits of the replaced file old with its owner where the
// process may give it (as root); otherwise the new file belongs to
// whoever writes it, as with any saved file.
std::error_code AtomicFileWriter::SetBits(const struct stat* old) {
  mode_t bits = 0600;
  if (old != nullptr) {
    bits = old->st_mode & 07777;
    [[maybe_unused]] const int ignored = ::fchown(fd_.get(), old->st_uid, old->st_gid);
  }
  return ::fchmod(fd_.get(), bits) == 0 ? std::error_code() : LastSystemError();
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
  ForgetPartialFile(std::exchange(signal_slot_, -1));
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

}  // namespace vorpel
