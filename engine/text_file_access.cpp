#include "text_file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vorpel {
namespace fs = std::filesystem;

namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

FileError MakeError(const fs::path& path, std::error_code code) {
  return FileError{path.string(), code};
}

}  // namespace

bool FileExists(const fs::path& path) {
  if (path.empty()) return false;
  std::error_code ignored;
  const fs::file_status status = fs::status(path, ignored);
  return fs::exists(status) && !fs::is_directory(status);
}

// ---------------------------------------------------------------- ByteBuffer
//
// On Linux the block is an anonymous mapping marked for huge pages: a source
// of hundreds of megabytes is then faulted in 2 MiB at a time, not 4 KiB,
// and grows by remapping, never by copying.

#ifdef __linux__
}  // namespace vorpel
#include <sys/mman.h>
namespace vorpel {

namespace {
constexpr std::size_t kPageSize = 4096;
std::size_t RoundUpToPage(std::size_t size) { return (size + kPageSize - 1) & ~(kPageSize - 1); }
}  // namespace

ByteBuffer::~ByteBuffer() {
  if (data_ != nullptr) ::munmap(data_, capacity_);
}

void ByteBuffer::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  const std::size_t mapped = RoundUpToPage(capacity);
  void* block = data_ == nullptr ? ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                 : ::mremap(data_, capacity_, mapped, MREMAP_MAYMOVE);
  if (block == MAP_FAILED) throw std::bad_alloc();
  ::madvise(block, mapped, MADV_HUGEPAGE);
  data_ = static_cast<char*>(block);
  capacity_ = mapped;
}
#else
ByteBuffer::~ByteBuffer() { std::free(data_); }

void ByteBuffer::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  void* grown = std::realloc(data_, capacity);
  if (grown == nullptr) throw std::bad_alloc();
  data_ = static_cast<char*>(grown);
  capacity_ = capacity;
}
#endif

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    ByteBuffer old(std::move(*this));
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

void ByteBuffer::Clear() { *this = ByteBuffer(); }

// ------------------------------------------------------------ platform: POSIX
#ifndef _WIN32
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// read() that retries when interrupted; -1 with errno on failure.
ssize_t ReadSome(int fd, char* into, std::size_t count) {
  constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
  for (;;) {
    const ssize_t got = ::read(fd, into, std::min(count, kMaxChunk));
    if (got >= 0 || errno != EINTR) return got;
  }
}

// Opens path for reading and checks that it is something that can be read
// to its end: a regular file or a pipe.
FileStatus OpenForReading(const fs::path& path, bool follow_links, int& fd_out, struct stat& info) {
  const int flags = O_RDONLY | O_CLOEXEC | (follow_links ? 0 : O_NOFOLLOW);
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) return MakeError(path, LastError());
  if (::fstat(fd, &info) != 0) {
    const auto code = LastError();
    ::close(fd);
    return MakeError(path, code);
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    return MakeError(path, std::make_error_code(std::errc::is_a_directory));
  }
  if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) {
    ::close(fd);
    return MakeError(path, make_error_code(FileErrc::NotRegularFile));
  }
  fd_out = fd;
  return std::nullopt;
}

}  // namespace

FileStatus ReadWholeFile(const fs::path& path, ByteBuffer& out, std::size_t spare) {
  out.Clear();
  int raw_fd = -1;
  struct stat info {};
  if (auto error = OpenForReading(path, true, raw_fd, info)) return error;
  FileDescriptor fd(raw_fd);

  try {
    // A regular file is read into a block of its own size; a pipe, or a
    // file that grows while it is read, makes the block grow.
    std::size_t expected = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 0;
    out.Reserve(std::max<std::size_t>(expected, 1 << 16) + spare);
    std::size_t length = 0;
    for (;;) {
      const std::size_t room = out.capacity() - spare - length;
      if (room == 0) {
        // Full: look for more before growing, so a file read to its exact
        // size does not double its block just to find its end.
        char probe[1 << 16];
        const ssize_t got = ReadSome(fd.get(), probe, sizeof probe);
        if (got < 0) {
          const auto code = LastError();
          out.Clear();
          return MakeError(path, code);
        }
        if (got == 0) break;
        out.Reserve((out.capacity() - spare) * 2 + spare);
        std::memcpy(out.data() + length, probe, static_cast<std::size_t>(got));
        length += static_cast<std::size_t>(got);
        continue;
      }
      const ssize_t got = ReadSome(fd.get(), out.data() + length, room);
      if (got < 0) {
        const auto code = LastError();
        out.Clear();
        return MakeError(path, code);
      }
      if (got == 0) break;
      length += static_cast<std::size_t>(got);
    }
    out.Resize(length);
  } catch (const std::bad_alloc&) {
    out.Clear();
    return MakeError(path, std::make_error_code(std::errc::not_enough_memory));
  }
  return std::nullopt;
}

FileStatus ForEachBlock(const fs::path& path, bool follow_links, std::size_t block_size,
                        const std::function<FileStatus(std::span<char>)>& consume) {
  int raw_fd = -1;
  struct stat info {};
  if (auto error = OpenForReading(path, follow_links, raw_fd, info)) return error;
  FileDescriptor fd(raw_fd);
  std::vector<char> block(std::max<std::size_t>(block_size, 1));
  for (;;) {
    const ssize_t got = ReadSome(fd.get(), block.data(), block.size());
    if (got < 0) return MakeError(path, LastError());
    if (got == 0) return std::nullopt;
    if (auto error = consume(std::span<char>(block.data(), static_cast<std::size_t>(got)))) {
      return error;
    }
  }
}

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
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
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
  if (!replacing && errno != ENOENT) return Error(LastError());
  if (replacing) {
    if (S_ISDIR(old_info.st_mode)) return Error(std::make_error_code(std::errc::is_a_directory));
    if (S_ISREG(old_info.st_mode)) {
      // A file without write permission is the user's way of protecting
      // it; root would replace it anyway, so the bits are checked too.
      if (::access(final_path_.c_str(), W_OK) != 0) return Error(LastError());
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
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return Error(LastError());
  fd_ = fd;
  temp_path_ = pattern;

  const bool keep_old_bits = replacing && S_ISREG(old_info.st_mode);
  const mode_t mode = keep_old_bits ? (old_info.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (keep_old_bits) {
    // Keeps the owner when the process may (as root); otherwise the new
    // file belongs to whoever writes it, as with any saved file.
    [[maybe_unused]] const int ignored = ::fchown(fd_, old_info.st_uid, old_info.st_gid);
  }
  if (::fchmod(fd_, mode) != 0) {
    const auto error = LastError();
    Discard();
    return Error(error);
  }
  return std::nullopt;
}

FileStatus AtomicFileWriter::Write(std::span<char> block) {
  if (fd_ < 0) return Error(std::make_error_code(std::errc::bad_file_descriptor));
  const char* next = block.data();
  std::size_t left = block.size();
  while (left > 0) {
    const ssize_t put = ::write(fd_, next, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      const auto error = LastError();
      Discard();
      return Error(error);
    }
    next += put;
    left -= static_cast<std::size_t>(put);
  }
  return std::nullopt;
}

FileStatus AtomicFileWriter::Commit() {
  if (fd_ < 0) return Error(std::make_error_code(std::errc::bad_file_descriptor));
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) {
    const auto error = LastError();
    Discard();
    return Error(error);
  }
  if (::rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
    const auto error = LastError();
    Discard();
    return Error(error);
  }
  committed_ = true;
  temp_path_.clear();
  return std::nullopt;
}

// ---------------------------------------------------------- platform: Windows
#else

namespace {

FileStatus CheckReadable(const fs::path& path) {
  std::error_code code;
  const fs::file_status status = fs::status(path, code);
  if (code) return MakeError(path, code);
  if (fs::is_directory(status)) {
    return MakeError(path, std::make_error_code(std::errc::is_a_directory));
  }
  if (!fs::is_regular_file(status))
    return MakeError(path, make_error_code(FileErrc::NotRegularFile));
  return std::nullopt;
}

}  // namespace

FileStatus ReadWholeFile(const fs::path& path, ByteBuffer& out, std::size_t spare) {
  out.Clear();
  if (auto error = CheckReadable(path)) return error;
  FILE* file = ::_wfopen(path.c_str(), L"rb");
  if (file == nullptr) return MakeError(path, LastError());
  try {
    std::size_t length = 0;
    out.Reserve((std::size_t{1} << 20) + spare);
    for (;;) {
      if (out.capacity() - spare == length) out.Reserve((out.capacity() - spare) * 2 + spare);
      const std::size_t got =
          std::fread(out.data() + length, 1, out.capacity() - spare - length, file);
      length += got;
      if (got == 0) break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
      out.Clear();
      return MakeError(path, std::make_error_code(std::errc::io_error));
    }
    out.Resize(length);
  } catch (const std::bad_alloc&) {
    std::fclose(file);
    out.Clear();
    return MakeError(path, std::make_error_code(std::errc::not_enough_memory));
  }
  return std::nullopt;
}

FileStatus ForEachBlock(const fs::path& path, bool /*follow_links*/, std::size_t block_size,
                        const std::function<FileStatus(std::span<char>)>& consume) {
  if (auto error = CheckReadable(path)) return error;
  FILE* file = ::_wfopen(path.c_str(), L"rb");
  if (file == nullptr) return MakeError(path, LastError());
  std::vector<char> block(std::max<std::size_t>(block_size, 1));
  FileStatus result;
  for (;;) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), file);
    if (got == 0) {
      if (std::ferror(file)) result = MakeError(path, std::make_error_code(std::errc::io_error));
      break;
    }
    if ((result = consume(std::span<char>(block.data(), got)))) break;
  }
  std::fclose(file);
  return result;
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

FileError AtomicFileWriter::Error(std::error_code code) const {
  return FileError{shown_path_, code};
}

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    ::_close(fd_);
    fd_ = -1;
  }
  if (!temp_path_.empty() && !committed_) ::_wunlink(temp_path_.c_str());
  temp_path_.clear();
}

FileStatus AtomicFileWriter::Open(const fs::path& target, LinkPolicy /*links*/) {
  Discard();
  committed_ = false;
  shown_path_ = target.string();
  if (target.empty()) return Error(make_error_code(FileErrc::EmptyPath));
  final_path_ = target;
  std::error_code code;
  if (fs::is_directory(target, code)) return Error(std::make_error_code(std::errc::is_a_directory));
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_path_ = folder / (L".vorpel-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                           std::to_wstring(::GetTickCount64() + attempt));
    fd_ = ::_wopen(temp_path_.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0666);
  }
  if (fd_ < 0) {
    const auto error = LastError();
    temp_path_.clear();
    return Error(error);
  }
  return std::nullopt;
}

FileStatus AtomicFileWriter::Write(std::span<char> block) {
  if (fd_ < 0) return Error(std::make_error_code(std::errc::bad_file_descriptor));
  std::size_t done = 0;
  while (done < block.size()) {
    const unsigned chunk =
        static_cast<unsigned>(std::min<std::size_t>(block.size() - done, 1 << 30));
    const int put = ::_write(fd_, block.data() + done, chunk);
    if (put < 0) {
      const auto error = LastError();
      Discard();
      return Error(error);
    }
    done += static_cast<std::size_t>(put);
  }
  return std::nullopt;
}

FileStatus AtomicFileWriter::Commit() {
  if (fd_ < 0) return Error(std::make_error_code(std::errc::bad_file_descriptor));
  ::_close(std::exchange(fd_, -1));
  if (!::MoveFileExW(temp_path_.c_str(), final_path_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const std::error_code error(static_cast<int>(::GetLastError()), std::system_category());
    Discard();
    return Error(error);
  }
  committed_ = true;
  temp_path_.clear();
  return std::nullopt;
}

#endif

}  // namespace vorpel
