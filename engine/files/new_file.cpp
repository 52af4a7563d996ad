#include "new_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "posix_file.h"

namespace vorpel {
namespace fs = std::filesystem;

namespace {

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

}  // namespace

int OpenUnnamedFile(const fs::path& folder, mode_t mode) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  // Without /proc the file could never get a name.
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

}  // namespace vorpel
