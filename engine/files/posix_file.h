#pragma once

// The few descriptor calls the file layer is built on. Everything above
// this header speaks in paths, spans and error codes; a port to another
// system would add its own version of these files.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <system_error>

namespace vorpel {

// The error of the last failed system call (errno), as an error code.
std::error_code LastSystemError();

// An open file descriptor, closed when the object goes. Move-only, so a
// descriptor has exactly one owner.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept;
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }

  // Closes the descriptor and returns close's error: some file systems
  // report a failed write only there, so a writer must look at it.
  std::error_code Close();

  // Closes the descriptor, if open, ignoring any error.
  void Reset();

 private:
  int fd_ = -1;
};

// A file opened for reading, with what the reader needs to know of it.
struct ReadableFile {
  FileDescriptor fd;
  bool regular = false;     // a regular file; otherwise a pipe
  std::uintmax_t size = 0;  // the size when opened, for a regular file
};

// What a reader accepts as its source.
enum class SourceFiles {
  // Regular files and pipes: opening a named pipe waits for its writer,
  // and reading it waits for its text, as a command in a pipeline should.
  FilesAndPipes,
  // Regular files only, found out without waiting: a named pipe with no
  // writer, a terminal or any other device is refused at once, its error
  // naming what it is (FileErrc::IsFifo, IsTerminal, ...).
  RegularOnly,
};

// Opens path for reading, after checking that it is something that can be
// read to its end: a regular file or, unless accepted is RegularOnly, a
// pipe. A folder gives `errc::is_a_directory`, a device or socket
// `FileErrc::NotRegularFile` (or, under RegularOnly, the FileErrc that
// names its kind). With follow_links false a symbolic link at path is
// refused.
std::error_code OpenForReading(const std::filesystem::path& path, bool follow_links,
                               ReadableFile& out,
                               SourceFiles accepted = SourceFiles::FilesAndPipes);

// Reads up to into.size() bytes from fd into into, retrying when a signal
// interrupts the call. got is set to the count read, 0 at the end of the
// file.
std::error_code ReadSome(int fd, std::span<char> into, std::size_t& got);

// As ReadSome, from the given offset of a regular file, without moving the
// descriptor's position: two threads may read different parts of one file
// through one descriptor at once.
std::error_code ReadSomeAt(int fd, std::span<char> into, std::uint64_t offset, std::size_t& got);

// Writes all of bytes to fd: short writes continue where they stopped,
// interrupted ones are retried, and each call asks for at most 1 GiB
// (some systems refuse single writes above 2 GiB). A write that takes
// nothing without giving a reason is reported as `errc::io_error` rather
// than retried forever.
//
// Example:
//
//     if (std::error_code error = WriteAll(STDOUT_FILENO, text)) ...
std::error_code WriteAll(int fd, std::span<const char> bytes);

}  // namespace vorpel
