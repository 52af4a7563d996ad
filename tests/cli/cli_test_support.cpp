#include "cli_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace vorpel::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const std::string name = "vorpel-cli-test-" + std::to_string(::getpid()) + "-" +
                           std::to_string(counter.fetch_add(1)) + "-" +
                           std::to_string(std::random_device{}());
  path_ = fs::temp_directory_path() / name;
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  // A test may leave a file read-only; root removes it anyway.
  fs::remove_all(path_, ignored);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

ChildResult RunCli(const std::vector<std::string>& args, const fs::path& work_dir,
                   const ChildSetup& setup) {
  // The captured streams go to files beside the test's own, so a large
  // output never blocks the child on a full pipe.
  static std::atomic<int> counter{0};
  const std::string tag = std::to_string(counter.fetch_add(1));
  const fs::path out_path = work_dir / (".child-out-" + tag);
  const fs::path err_path = work_dir / (".child-err-" + tag);
  const fs::path stdout_path = setup.stdout_path.value_or(out_path);

  std::vector<std::string> argv_strings{VORPEL_CLI_PATH};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_strings) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int broken_pipe[2] = {-1, -1};
  if (setup.stdout_broken_pipe && ::pipe(broken_pipe) != 0) throw std::runtime_error("pipe");

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
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
      const rlimit limit{*setup.file_size_limit, *setup.file_size_limit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ::signal(SIGXFSZ, SIG_IGN);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (setup.stdout_broken_pipe) {
    ::close(broken_pipe[0]);
    ::close(broken_pipe[1]);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  ChildResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (!setup.stdout_path && !setup.stdout_broken_pipe) result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  std::error_code ignored;
  fs::remove(out_path, ignored);
  fs::remove(err_path, ignored);
  return result;
}

std::string MakeMixedText(std::size_t size, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  static const std::string kSeparators[] = {" ",  " ",  " ",    " ",  " ",  ", ",   ". ", "! ",
                                            "? ", "_ ", "\r\n", "\n", "\t", " \\ ", "  "};
  std::string text;
  while (text.size() < size) {
    const auto length = 1 + random() % 11;
    for (std::uint64_t i = 0; i < length; ++i) {
      const auto roll = random() % 40;
      if (roll == 0) {
        text.push_back(static_cast<char>(0xE9));  // an accented e in Latin-1
      } else if (roll == 1) {
        text.push_back(static_cast<char>('A' + random() % 26));
      } else {
        text.push_back(static_cast<char>('a' + random() % 26));
      }
    }
    text += kSeparators[random() % std::size(kSeparators)];
  }
  text.resize(size);
  return text;
}

}  // namespace vorpel::testing
