#pragma once

// Shared helpers of the engine tests: a private temporary folder, file
// helpers, a Reporter that records what it is told, and a way to run a
// piece of code in a child process (for resource limits and dropped
// privileges, which must not leak into the test process).

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "byte_buffer.h"
#include "byte_sink.h"
#include "file_error.h"
#include "reporter.h"
#include "sequence_pool.h"

namespace vorpel::test {

namespace fs = std::filesystem;

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vorpel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& path() const { return path_; }
  fs::path operator/(std::string_view name) const { return path_ / name; }

  // The names in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

// Writes a new file at path (an old one is removed first rather than
// truncated: rewriting a truncated file makes some file systems flush it).
inline void WriteFile(const fs::path& path, std::string_view content) {
  std::error_code ignored;
  fs::remove(path, ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline fs::perms PermissionsOf(const fs::path& path) {
  return fs::symlink_status(path).permissions() & fs::perms::mask;
}

// Records every beep and every dialog name in the order they came, and the
// detail given with each dialog.
class RecordingReporter final : public Reporter {
 public:
  void Beep() override { events.emplace_back("beep"); }
  void ShowError(ErrorKind dialog, std::string_view detail) override {
    events.emplace_back(DialogName(dialog));
    details.emplace_back(detail);
  }

  std::vector<std::string> events;
  std::vector<std::string> details;
};

// Success of a file operation, with the error's description when it failed.
inline ::testing::AssertionResult Succeeded(const FileStatus& status) {
  if (!status) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "failed: " << status->Describe();
}

// Makes dir the working folder until the object goes, for relative paths.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const fs::path& dir) : previous_(fs::current_path()) {
    fs::current_path(dir);
  }
  ~WorkingDirectory() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
  }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  fs::path previous_;
};

// A sink that keeps everything written to it.
class StringSink final : public ByteSink {
 public:
  FileStatus Write(std::span<char> block) override {
    text.append(block.data(), block.size());
    ++blocks;
    return std::nullopt;
  }
  std::string text;
  int blocks = 0;
};

// A buffer holding bytes, with spare bytes of capacity after them.
inline ByteBuffer MakeBuffer(std::string_view bytes, std::size_t spare = 1) {
  ByteBuffer buffer;
  buffer.Reserve(bytes.size() + spare);
  if (!bytes.empty()) std::memcpy(buffer.data(), bytes.data(), bytes.size());
  buffer.Resize(bytes.size());
  return buffer;
}

inline std::vector<std::string> PoolItems(const SequencePool& pool) {
  std::vector<std::string> items;
  items.reserve(pool.Size());
  for (std::size_t i = 0; i < pool.Size(); ++i) items.emplace_back(pool.Item(i));
  return items;
}

// Bytes shown with C escapes, for failure messages about binary text.
inline std::string Escaped(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : bytes) {
    const auto code = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (code >= 32 && code < 127) {
      out += c;
    } else {
      out += "\\x";
      out += kHex[code >> 4];
      out += kHex[code & 15];
    }
  }
  return out + "\"";
}

inline std::string Escaped(const std::vector<std::string>& items) {
  std::string out = "{";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) out += ", ";
    out += Escaped(items[i]);
  }
  return out + "}";
}

// Empty when the two lists are equal; otherwise where they first differ.
// For lists too long to print whole.
inline std::string FirstDifference(const std::vector<std::string>& got,
                                   const std::vector<std::string>& expected) {
  const std::size_t common = std::min(got.size(), expected.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (got[i] != expected[i]) {
      return "item " + std::to_string(i) + ": got " + Escaped(got[i]) + ", expected " +
             Escaped(expected[i]);
    }
  }
  if (got.size() != expected.size()) {
    return "got " + std::to_string(got.size()) + " items, expected " +
           std::to_string(expected.size());
  }
  return {};
}

// Runs body in a forked child and returns its exit code, or 128 + the
// signal number when it was killed. body must not use gtest assertions:
// it reports through its return value.
inline int RunInChild(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;
    }
    ::_exit(code);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// In a child: gives up root for the "nobody" account, so that file
// permissions bind. False when that is not possible.
inline bool DropToNobody() {
  constexpr uid_t kNobody = 65534;
  constexpr gid_t kNogroup = 65534;
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNogroup) == 0 && ::setuid(kNobody) == 0 &&
         ::geteuid() == kNobody;
}

// In a child: files may grow to at most limit bytes; a longer write fails
// with EFBIG instead of killing the process.
inline bool LimitFileSize(rlim_t limit) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit value{limit, limit};
  return ::setrlimit(RLIMIT_FSIZE, &value) == 0;
}

}  // namespace vorpel::test
