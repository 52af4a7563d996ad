#pragma once

// Child processes: a piece of the test run in a fork (for resource limits
// and dropped privileges, which must not leak into the test process), and
// programs started with their output captured.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vorpel::test {

// Runs body in a forked child and returns its exit code, or 128 + the
// signal number when it was killed. body must not use gtest assertions:
// it reports through its return value.
int RunInChild(const std::function<int()>& body);

// In a child: gives up root for the "nobody" account, so that file
// permissions bind. False when that is not possible.
bool DropToNobody();

// In a child: files may grow to at most limit bytes; a longer write fails
// with EFBIG instead of killing the process.
bool LimitFileSize(std::uint64_t limit);

// How a program is started.
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
  // NAME=value settings added to the test's own environment (replacing a
  // setting of the same name), e.g. a library to preload.
  std::vector<std::string> environment;
  // RLIMIT_AS for the child, in bytes: the most address space it may map.
  std::optional<std::uint64_t> address_space;
  // Where RunProgram keeps the captured output while the program runs
  // (the working folder when unset); a test that lists the working folder
  // names another.
  std::optional<std::filesystem::path> capture_folder;
};

struct ChildResult {
  int exit_code = -1;  // 128 + signal number when a signal ended it
  std::string out;
  std::string err;
};

// Starts command[0] with the arguments that follow it from work_dir, with
// standard input from /dev/null and standard output and error into the
// files out_path and err_path (created or emptied). The process id, or -1.
pid_t StartProgram(const std::vector<std::string>& command, const std::filesystem::path& work_dir,
                   const std::filesystem::path& out_path, const std::filesystem::path& err_path,
                   const ChildSetup& setup = {});

// The exit code of a child, or 128 + the number of the signal that ended
// it; -1 when it cannot be waited for.
int WaitForChild(pid_t pid);

// Runs a program to its end (see StartProgram) and returns what it wrote.
ChildResult RunProgram(const std::vector<std::string>& command,
                       const std::filesystem::path& work_dir, const ChildSetup& setup = {});

}  // namespace vorpel::test
