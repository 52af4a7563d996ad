#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "file_error.h"

namespace vorpel {

// The name of the capitalization route's intermediate file; the percent
// signs are plain characters of the name.
inline constexpr char kTempFileName[] = "%Vorpel.temp%";

// What decides where a user's intermediate file lies.
struct UserFolders {
  std::optional<std::string> cache_home;    // XDG_CACHE_HOME, when set
  std::optional<std::string> home;          // HOME, when set
  std::optional<std::string> account_home;  // the password database's, asked when HOME is not
};

// The folders of the user running the program.
UserFolders CurrentUserFolders();

// Where a user's intermediate file goes: the folder "vorpel" in the cache
// folder, which is XDG_CACHE_HOME when that is an absolute path and the
// home's ".cache" otherwise.
struct TempFolder {
  std::filesystem::path existing;  // what must exist already: the home, or "/"
  std::filesystem::path folder;    // below existing; missing folders are made
};

// The place for user, or nullopt when there is no home to find it from:
// HOME empty or not an absolute path, and no home in the password database.
std::optional<TempFolder> FindTempFolder(const UserFolders& user);

// Makes the folders of place that are missing, mode 0700, and checks that
// its last one is a folder of this user's own, not reached through a
// symbolic link (the ones above it may be links). path is then the
// intermediate file in it. On failure nothing is made beyond the folders.
FileStatus PrepareTempFolder(const TempFolder& place, std::filesystem::path& path);

// TempFilePath: the intermediate file of the user running the program, its
// folder made ready. Each user has an own place, the same in every run, so
// that no user's file can stop another's Write or be read by another.
FileStatus TempFilePath(std::filesystem::path& path);

}  // namespace vorpel
