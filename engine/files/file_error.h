#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vorpel {

// Failures the program detects itself, beside the system's own error codes.
enum class FileErrc {
  NotRegularFile = 1,  // a device, socket or folder where a file is wanted
  TargetExists,        // the file appeared although it must not be replaced
  EmptyPath,
  NothingToDraw,  // a count of one or more from an empty pool
  // What a source is when only a regular file will do.
  IsFifo,
  IsTerminal,
  IsCharacterDevice,
  IsBlockDevice,
  IsSocket,
  // The new text has its name, but the folder could not be synced.
  NotOnDisk,
  // Where the intermediate file is kept for this user, when it is unusable.
  NoHomeFolder,
  NotOwnFolder,
};
const std::error_category& FileCategory();
std::error_code make_error_code(FileErrc errc);

// A failed file operation: which path, and why.
struct FileError {
  std::string path;  // as the user gave it, in the file system's encoding
  std::error_code code;
  // What the system answered, where code is the program's own conclusion.
  std::error_code cause{};

  // "path: reason (cause)", the reason in the system's words; the reason
  // alone when there is no path.
  std::string Describe() const;
};

// nullopt means success.
using FileStatus = std::optional<FileError>;

// The error of an allocation that failed while working on path ("Cannot
// allocate memory"). When even the path cannot be copied, the error names
// no path rather than fail again.
FileError OutOfMemoryError(std::string_view path) noexcept;

}  // namespace vorpel

template <>
struct std::is_error_code_enum<vorpel::FileErrc> : std::true_type {};
