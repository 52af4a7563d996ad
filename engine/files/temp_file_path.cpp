#include "temp_file_path.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "posix_file.h"

namespace vorpel {
namespace fs = std::filesystem;

namespace {

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> AccountHome() {
  std::vector<char> buffer(16384);
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    const int error = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (std::size_t{1} << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || found == nullptr || entry.pw_dir == nullptr) return std::nullopt;
    return std::string(entry.pw_dir);
  }
}

bool IsAbsolute(const std::optional<std::string>& path) {
  return path && !path->empty() && path->front() == '/';
}

// Makes folder unless it exists, with exactly 0700 whatever the umask.
std::error_code MakeFolder(const fs::path& folder) {
  if (::mkdir(folder.c_str(), 0700) == 0) {
    if (::chmod(folder.c_str(), 0700) != 0) return LastSystemError();
    return {};
  }
  return errno == EEXIST ? std::error_code() : LastSystemError();
}

}  // namespace

UserFolders CurrentUserFolders() {
  UserFolders user;
  user.cache_home = Environment("XDG_CACHE_HOME");
  user.home = Environment("HOME");
  if (!user.home || user.home->empty()) user.account_home = AccountHome();
  return user;
}

std::optional<TempFolder> FindTempFolder(const UserFolders& user) {
  if (IsAbsolute(user.cache_home)) return TempFolder{"/", fs::path(*user.cache_home) / "vorpel"};
  const std::optional<std::string>& home =
      user.home && !user.home->empty() ? user.home : user.account_home;
  if (!IsAbsolute(home)) return std::nullopt;
  return TempFolder{*home, fs::path(*home) / ".cache" / "vorpel"};
}

FileStatus PrepareTempFolder(const TempFolder& place, fs::path& path) {
  fs::path folder = place.existing;
  for (const fs::path& part : place.folder.lexically_relative(place.existing)) {
    folder /= part;
    if (const std::error_code error = MakeFolder(folder)) return FileError{folder.string(), error};
  }
  // The last folder itself must not be a link: one planted there could
  // lead the user's text into a folder someone else can read.
  const FileDescriptor opened(
      ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!opened.IsOpen()) {
    // A link, or something other than a folder.
    if (errno == ELOOP || errno == ENOTDIR) {
      return FileError{folder.string(), make_error_code(FileErrc::NotOwnFolder)};
    }
    return FileError{folder.string(), LastSystemError()};
  }
  struct stat info {};
  if (::fstat(opened.get(), &info) != 0) return FileError{folder.string(), LastSystemError()};
  if (info.st_uid != ::geteuid()) {
    return FileError{folder.string(), make_error_code(FileErrc::NotOwnFolder)};
  }
  path = folder / kTempFileName;
  return std::nullopt;
}

FileStatus TempFilePath(fs::path& path) {
  const std::optional<TempFolder> place = FindTempFolder(CurrentUserFolders());
  if (!place) return FileError{{}, make_error_code(FileErrc::NoHomeFolder)};
  return PrepareTempFolder(*place, path);
}

}  // namespace vorpel
