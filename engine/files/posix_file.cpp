#include "posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "file_error.h"

namespace vorpel {
namespace {

// The most a single read or write asks for.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

// The error that names what the open file fd, not a regular file, is.
std::error_code KindOfNonRegularFile(int fd, mode_t mode) {
  if (S_ISFIFO(mode)) return make_error_code(FileErrc::IsFifo);
  if (S_ISCHR(mode)) {
    return make_error_code(::isatty(fd) != 0 ? FileErrc::IsTerminal : FileErrc::IsCharacterDevice);
  }
  if (S_ISBLK(mode)) return make_error_code(FileErrc::IsBlockDevice);
  if (S_ISSOCK(mode)) return make_error_code(FileErrc::IsSocket);
  return make_error_code(FileErrc::NotRegularFile);
}

}  // namespace

std::error_code LastSystemError() { return {errno, std::generic_category()}; }

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

std::error_code FileDescriptor::Close() {
  if (fd_ < 0) return {};
  return ::close(std::exchange(fd_, -1)) == 0 ? std::error_code() : LastSystemError();
}

void FileDescriptor::Reset() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

std::error_code OpenForReading(const std::filesystem::path& path, bool follow_links,
                               ReadableFile& out, SourceFiles accepted) {
  const bool regular_only = accepted == SourceFiles::RegularOnly;
  // Without O_NONBLOCK, opening a named pipe waits until a program opens it
  // for writing, and a serial line until its carrier comes. O_NOCTTY: a
  // terminal opened here never becomes the process's controlling one.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (follow_links ? 0 : O_NOFOLLOW) |
                    (regular_only ? O_NONBLOCK : 0);
  FileDescriptor fd(::open(path.c_str(), flags));
  if (!fd.IsOpen()) return LastSystemError();
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return LastSystemError();
  if (S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (regular_only && !S_ISREG(info.st_mode)) return KindOfNonRegularFile(fd.get(), info.st_mode);
  if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) {
    return make_error_code(FileErrc::NotRegularFile);
  }
  // The reads that follow wait for their bytes as on any file.
  if (regular_only) {
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status == -1 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
      return LastSystemError();
    }
  }
  out.fd = std::move(fd);
  out.regular = S_ISREG(info.st_mode);
  out.size = out.regular ? static_cast<std::uintmax_t>(info.st_size) : 0;
  return {};
}

std::error_code ReadSome(int fd, std::span<char> into, std::size_t& got) {
  for (;;) {
    const ssize_t count = ::read(fd, into.data(), std::min(into.size(), kMaxTransfer));
    if (count >= 0) {
      got = static_cast<std::size_t>(count);
      return {};
    }
    if (errno != EINTR) return LastSystemError();
  }
}

std::error_code ReadSomeAt(int fd, std::span<char> into, std::uint64_t offset, std::size_t& got) {
  for (;;) {
    const ssize_t count =
        ::pread(fd, into.data(), std::min(into.size(), kMaxTransfer), static_cast<off_t>(offset));
    if (count >= 0) {
      got = static_cast<std::size_t>(count);
      return {};
    }
    if (errno != EINTR) return LastSystemError();
  }
}

std::error_code WriteAll(int fd, std::span<const char> bytes) {
  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t put = ::write(fd, next, std::min(left, kMaxTransfer));
    if (put < 0) {
      if (errno == EINTR) continue;
      return LastSystemError();
    }
    if (put == 0) return std::make_error_code(std::errc::io_error);
    next += put;
    left -= static_cast<std::size_t>(put);
  }
  return {};
}

}  // namespace vorpel
