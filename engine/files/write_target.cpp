#include "write_target.h"

#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

#include "posix_file.h"

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

// The new file can be made in folder: it is a folder this process may
// write to.
std::error_code CheckFolder(const fs::path& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return LastSystemError();
  if (!S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::not_a_directory);
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return LastSystemError();
  return {};
}

}  // namespace

fs::path FolderOf(const fs::path& file) {
  fs::path folder = file.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

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

FileStatus CheckTarget(const fs::path& target, LinkPolicy links) {
  TargetInfo info;
  std::error_code code = InspectTarget(target, links, info);
  if (!code) code = CheckFolder(FolderOf(info.final_path));
  if (!code) return std::nullopt;
  return FileError{target.string(), code};
}

}  // namespace vorpel
