#include "vorpel_test/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "vorpel_test/files.h"

namespace vorpel::test {
namespace fs = std::filesystem;

int RunInChild(const std::function<int()>& body) {
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
  return WaitForChild(child);
}

bool DropToNobody() {
  constexpr uid_t kNobody = 65534;
  constexpr gid_t kNogroup = 65534;
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNogroup) == 0 && ::setuid(kNobody) == 0 &&
         ::geteuid() == kNobody;
}

bool LimitFileSize(std::uint64_t limit) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit value{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
  return ::setrlimit(RLIMIT_FSIZE, &value) == 0;
}

pid_t StartProgram(const std::vector<std::string>& command, const fs::path& work_dir,
                   const fs::path& out_path, const fs::path& err_path, const ChildSetup& setup) {
  std::vector<std::string> strings = command;
  std::vector<char*> argv;
  for (std::string& arg : strings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const fs::path stdout_path = setup.stdout_path.value_or(out_path);
  // The environment is put together before the fork: the child may only
  // make async-signal-safe calls.
  std::vector<std::string> environment = setup.environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text = *entry;
    const std::string_view name = text.substr(0, text.find('=') + 1);
    const bool replaced = std::any_of(environment.begin(), environment.end(),
                                      [&](const std::string& e) { return e.starts_with(name); });
    if (!replaced) environment.emplace_back(text);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int broken_pipe[2] = {-1, -1};
  if (setup.stdout_broken_pipe && ::pipe(broken_pipe) != 0) return -1;

  const pid_t pid = ::fork();
  if (pid != 0) {
    if (setup.stdout_broken_pipe) {
      ::close(broken_pipe[0]);
      ::close(broken_pipe[1]);
    }
    return pid;
  }
  // Only async-signal-safe calls from here to exec.
  const int in = ::open("/dev/null", O_RDONLY);
  int out = -1;
  if (setup.stdout_broken_pipe) {
    ::close(broken_pipe[0]);
    out = broken_pipe[1];
    ::signal(SIGPIPE, SIG_IGN);
  } else {
    out = ::open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || ::chdir(work_dir.c_str()) != 0) ::_exit(127);
  ::dup2(in, STDIN_FILENO);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(err, STDERR_FILENO);
  if (setup.file_size_limit) {
    const auto size = static_cast<rlim_t>(*setup.file_size_limit);
    const rlimit limit{size, size};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
  }
  if (setup.address_space) {
    const auto size = static_cast<rlim_t>(*setup.address_space);
    const rlimit limit{size, size};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
  }
  ::execve(argv[0], argv.data(), envp.data());
  ::_exit(127);
}

int WaitForChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

ChildResult RunProgram(const std::vector<std::string>& command, const fs::path& work_dir,
                       const ChildSetup& setup) {
  // The captured streams go to files, so a large output never blocks the
  // child on a full pipe.
  static std::atomic<int> counter{0};
  const std::string tag = std::to_string(counter.fetch_add(1));
  const fs::path folder = setup.capture_folder.value_or(work_dir);
  const fs::path out_path = folder / (".child-out-" + tag);
  const fs::path err_path = folder / (".child-err-" + tag);

  const pid_t pid = StartProgram(command, work_dir, out_path, err_path, setup);
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "starting a program");
  ChildResult result;
  result.exit_code = WaitForChild(pid);
  if (!setup.stdout_path && !setup.stdout_broken_pipe) result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  std::error_code ignored;
  fs::remove(out_path, ignored);
  fs::remove(err_path, ignored);
  return result;
}

}  // namespace vorpel::test
