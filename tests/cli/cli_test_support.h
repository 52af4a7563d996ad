#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorpel::testing {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// How the child process is started.
struct ChildSetup {
  // Standard output goes to this file (opened for writing) instead of being
  // captured, e.g. "/dev/full".
  std::optional<std::filesystem::path> stdout_path;
  // Standard output is a pipe whose reading end is already closed, and
  // SIGPIPE is ignored, so writes fail with EPIPE.
  bool stdout_broken_pipe = false;
  // RLIMIT_FSIZE for the child, with SIGXFSZ ignored so that a write past
  // it fails with EFBIG instead of ending the process.
  std::optional<std::uint64_t> file_size_limit;
};

struct ChildResult {
  int exit_code = -1;  // 128 + signal number when a signal ended it
  std::string out;
  std::string err;
};

// Runs the built vorpel-cli with args (without the program name) from the
// folder work_dir; standard input is /dev/null.
ChildResult RunCli(const std::vector<std::string>& args, const std::filesystem::path& work_dir,
                   const ChildSetup& setup = {});

// A deterministic text of about size bytes with words of many lengths,
// punctuation, CR LF and LF line breaks, tabs, backslashes and bytes above
// 127.
std::string MakeMixedText(std::size_t size, std::uint64_t seed);

}  // namespace vorpel::testing
