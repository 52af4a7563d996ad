#include "atomic_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

FileError AtomicFileWriter::Error(std::error_code code) const {
  return FileError{shown_path_, code};
}

void AtomicFileWriter::Discard() {
  fd_.Reset();
  if (!temp_path_.empty() && !committed_) ::unlink(temp_path_.c_str());
  temp_path_.clear();
}

FileStatus AtomicFileWriter::Open(const fs::path& target, LinkPolicy links) {
  Discard();
  committed_ = false;
  shown_path_ = target.string();
  if (target.empty()) return Error(make_error_code(FileErrc::EmptyPath));

  std::error_code code;
  if (links == LinkPolicy::Follow) {
    const auto resolved = ResolveLinks(target, code);
    if (!resolved) return Error(code);
    final_path_ = *resolved;
  } else {
    final_path_ = target;
  }

  struct stat old_info {};
  const bool replacing = ::lstat(final_path_.c_str(), &old_info) == 0;
  if (!replacing && errno != ENOENT) return Error(LastSystemError());
  if (replacing) {
    if (S_ISDIR(old_info.st_mode)) return Error(std::make_error_code(std::errc::is_a_directory));
    if (S_ISREG(old_info.st_mode)) {
      // A file without write permission is the user's way of protecting
      // it; root would replace it anyway, so the bits are checked too.
      if (::access(final_path_.c_str(), W_OK) != 0) return Error(LastSystemError());
      if ((old_info.st_mode & 0222) == 0) {
        return Error(std::make_error_code(std::errc::permission_denied));
      }
    } else if (!(S_ISLNK(old_info.st_mode) && links == LinkPolicy::Replace)) {
      return Error(make_error_code(FileErrc::NotRegularFile));
    }
  }

  fs::path folder = final_path_.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ".vorpel-XXXXXX").string();
  FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd.IsOpen()) return Error(LastSystemError());
  fd_ = std::move(fd);
  temp_path_ = pattern;

  const bool keep_old_bits = replacing && S_ISREG(old_info.st_mode);
  const mode_t mode = keep_old_bits ? (old_info.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (keep_old_bits) {
    // Keeps the owner when the process may (as root); otherwise the new
    // file belongs to whoever writes it, as with any saved file.
    [[maybe_unused]] const int ignored = ::fchown(fd_.get(), old_info.st_uid, old_info.st_gid);
  }
  if (::fchmod(fd_.get(), mode) != 0) {
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
  if (const std::error_code error = fd_.Close()) {
    Discard();
    return Error(error);
  }
  if (::rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
    const auto error = LastSystemError();
    Discard();
    return Error(error);
  }
  committed_ = true;
  temp_path_.clear();
  return std::nullopt;
}

}  // namespace vorpel
