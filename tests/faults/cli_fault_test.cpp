// The batch command as a user runs it, when the disk fills up under it,
// when it is ended by a signal in the middle of a Write, when its source
// never comes or its reader goes away: the old target is whole afterwards,
// and what else is left on disk is known.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "fault_conditions.h"
#include "vorpel_test/child_process.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"

namespace vorpel::test {
namespace {

namespace fs = std::filesystem;

using Names = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr char kCli[] = VORPEL_CLI_PATH;
constexpr char kFileFailed[] = "The file could not be read or written.";

// Bytes that no draw from the source can give, so a target holding any of
// the new text is told apart at once.
std::string OldTarget(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('A' + i % 7);
  return text;
}

bool SameBytes(const std::string& got, const std::string& expected) { return got == expected; }

// Everything in folder, sorted: the named new files of the writer included.
Names AllNames(const fs::path& folder) {
  Names names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class CliFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(scratch_); }
  // The output is captured in scratch_, so that what the program leaves
  // in the working folder is all there is to see there.
  ChildResult Run(const std::vector<std::string>& command) {
    ChildSetup setup;
    setup.capture_folder = scratch_;
    return RunProgram(command, dir_.path(), setup);
  }
  TempDir dir_;
  fs::path scratch_ = dir_ / "scratch";
};

// A small tmpfs holds the old target; the new text is far larger than the
// room left. The command ends with exit 1 and the message, the target is
// whole, and the partial new file is gone: the file system has as much
// room as before.
TEST_F(CliFaultTest, RealDiskFills_ExitOneWithMessage_OldTargetKept_SpaceGivenBack) {
  SmallFileSystem small(dir_ / "small", 256 * 1024);
  if (!small.Mounted()) GTEST_SKIP() << "no small file system here: " << small.Why();
  WriteFile(dir_ / "source.txt", MakeText(200 * 1000, 1, PlainSentences()));
  const std::string old = OldTarget(100 * 1000);
  WriteFile(dir_ / "small" / "out.txt", old);
  const std::uint64_t free_before = small.FreeBytes();

  for (const char* caps : {"--fix-caps", "--no-fix-caps"}) {
    SCOPED_TRACE(caps);
    const ChildResult result = Run({kCli, "-f", caps, "-u", "letters", "-l", "100", "-n", "100000",
                                    "source.txt", "small/out.txt"});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.err, std::string(kFileFailed) + " small/out.txt: No space left on device\n");
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "small" / "out.txt"), old));
    EXPECT_EQ(StrayFiles(dir_ / "small"), Names{});
    EXPECT_EQ(small.FreeBytes(), free_before);
  }
}

// The same with a file size limit set by the shell (ulimit -f, or prlimit
// as here), where the system's default for the signal it sends is to end
// the process: the user must still get exit 1 and the message, and no
// partial file may stay behind.
TEST_F(CliFaultTest, ShellFileSizeLimit_ExitOneWithMessage_OldTargetKept_NoStrayFile) {
  if (!fs::exists("/usr/bin/prlimit")) GTEST_SKIP() << "no prlimit here";
  WriteFile(dir_ / "source.txt", MakeText(200 * 1000, 2, PlainSentences()));
  WriteFile(dir_ / "out.txt", "old text");
  const ChildResult result = Run({"/usr/bin/prlimit", "--fsize=65536", kCli, "-f", "-u", "letters",
                                  "-l", "100", "-n", "10000", "source.txt", "out.txt"});
  EXPECT_EQ(result.exit_code, 1) << "128 + 25: ended by SIGXFSZ";
  EXPECT_EQ(result.err, std::string(kFileFailed) + " out.txt: File too large\n");
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), "old text");
  EXPECT_EQ(StrayFiles(dir_.path()), Names{});
}

enum class Moment {
  AtOnce,          // while the program starts and reads the source
  NewFileOpened,   // as soon as the target's new file exists
  NewFileWritten,  // once several MiB of the new text are in it
};

struct SignalCase {
  const char* name;
  int signal_number;
  Moment moment;
  bool unnamed_files;  // the system's O_TMPFILE, or the named fallback
};

void PrintTo(const SignalCase& value, std::ostream* out) { *out << value.name; }

class CliSignalTest : public CliFaultTest, public ::testing::WithParamInterface<SignalCase> {};

// The process is ended by a real signal in the middle of a large Write
// over an existing target: SIGTERM as at logout, SIGINT as from Ctrl-C,
// SIGHUP as when the terminal goes, SIGKILL as from the out-of-memory
// killer. It ends as the signal says, the old target is whole byte for
// byte, and nothing of the new file is left: it had no name (unnamed
// files), or the handler removed it (the fallback). Only SIGKILL, which
// no program can catch, leaves the fallback's named file.
TEST_P(CliSignalTest, EndedDuringLargeWrite_OldTargetWhole_NothingLeftBehind) {
  const SignalCase& c = GetParam();
  WriteFile(dir_ / "source.txt", MakeText(4 * 1024 * 1024, 3, PlainSentences()));
  const std::string old = OldTarget(1024 * 1024 + 17);
  WriteFile(dir_ / "out.txt", old);
  ChildSetup setup;
  if (!c.unnamed_files) setup.environment = WithoutUnnamedFiles();

  // A hundred bytes a draw, a thousand million draws: far more than can be
  // written before the signal.
  const pid_t pid = StartProgram(
      {kCli, "-f", "-u", "letters", "-l", "100", "-n", "1000000000", "source.txt", "out.txt"},
      dir_.path(), scratch_ / "stdout", scratch_ / "stderr", setup);
  ASSERT_GT(pid, 0);
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  bool reached = c.moment == Moment::AtOnce;
  bool named_seen = false;
  while (!reached && Clock::now() < deadline) {
    const auto size = NewFileSize(pid, dir_.path());
    if (size) {
      named_seen = named_seen || !StrayFiles(dir_.path()).empty();
      reached = c.moment == Moment::NewFileOpened || *size >= 4 * 1024 * 1024;
    }
    if (!reached) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ::kill(pid, c.signal_number);
  EXPECT_EQ(WaitForChild(pid), 128 + c.signal_number);
  EXPECT_TRUE(reached) << "the new file did not reach the moment in time";
  if (c.moment != Moment::AtOnce) {
    EXPECT_EQ(named_seen, !c.unnamed_files) << "the new file had a name while it was written";
  }
  // Killed at once, the child may not have opened its standard error yet.
  if (fs::exists(scratch_ / "stderr")) {
    EXPECT_EQ(ReadFile(scratch_ / "stderr"), "");
  }

  EXPECT_TRUE(SameBytes(ReadFile(dir_ / "out.txt"), old)) << "the old target changed";
  const Names left = StrayFiles(dir_.path());
  if (c.unnamed_files || c.signal_number != SIGKILL) {
    EXPECT_EQ(left, Names{});
  } else if (c.moment != Moment::AtOnce) {
    EXPECT_EQ(left.size(), 1u) << "SIGKILL cannot be caught: the partial named file stays";
  }

  // The next Write replaces the target as usual, and leaves anything an
  // earlier killed one left where it is.
  const ChildResult again = Run({kCli, "-f", "-n", "3", "--seed", "1", "source.txt", "out.txt"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_FALSE(SameBytes(ReadFile(dir_ / "out.txt"), old));
  EXPECT_EQ(StrayFiles(dir_.path()), left);
}

std::vector<SignalCase> SignalCases() {
  static const struct {
    const char* name;
    int number;
  } signals[] = {{"Term", SIGTERM}, {"Int", SIGINT}, {"Hup", SIGHUP}, {"Kill", SIGKILL}};
  static const struct {
    const char* name;
    Moment moment;
  } moments[] = {{"AtOnce", Moment::AtOnce},
                 {"NewFileOpened", Moment::NewFileOpened},
                 {"NewFileWritten", Moment::NewFileWritten}};
  static std::vector<std::string> names;
  std::vector<SignalCase> cases;
  names.reserve(2 * std::size(signals) * std::size(moments));
  for (const bool unnamed : {true, false}) {
    for (const auto& signal : signals) {
      for (const auto& moment : moments) {
        // Every signal mid-write; the other moments once each, with the
        // signals the fallback must handle and the one it cannot.
        if (moment.moment != Moment::NewFileWritten && signal.number != SIGTERM &&
            signal.number != SIGKILL) {
          continue;
        }
        names.push_back(std::string(signal.name) + "_" + moment.name +
                        (unnamed ? "_Unnamed" : "_Named"));
        cases.push_back({names.back().c_str(), signal.number, moment.moment, unnamed});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Signals, CliSignalTest, ::testing::ValuesIn(SignalCases()),
                         [](const ::testing::TestParamInfo<SignalCase>& info) {
                           return info.param.name;
                         });

// A named pipe as the source, and nobody writing to it: the command waits
// for its source, and while it waits it has made no file at all, so
// ending it then leaves nothing. When a writer comes, the Write goes on.
TEST_F(CliFaultTest, PipeSourceWithoutWriter_NoFileMadeWhileWaiting) {
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed files" : "named files");
    const fs::path pipe = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ChildSetup setup;
    if (!unnamed) setup.environment = WithoutUnnamedFiles();
    const auto start = [&] {
      return StartProgram({kCli, "--seed", "4", "-n", "5", "pipe", "out.txt"}, dir_.path(),
                          scratch_ / "stdout", scratch_ / "stderr", setup);
    };
    const Names before = {"pipe", "scratch"};

    const pid_t waiting = start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(NewFileSize(waiting, dir_.path()), std::nullopt) << "a new file while waiting";
    EXPECT_EQ(AllNames(dir_.path()), before);
    ::kill(waiting, SIGTERM);
    EXPECT_EQ(WaitForChild(waiting), 128 + SIGTERM);
    EXPECT_EQ(AllNames(dir_.path()), before);

    const pid_t fed = start();
    {
      // Opening the pipe for writing waits for the reader, then the text
      // goes in and the end of it comes with the close.
      std::ofstream writer(pipe, std::ios::binary);
      writer << "one two three four five six seven eight.";
    }
    EXPECT_EQ(WaitForChild(fed), 0) << ReadFile(scratch_ / "stderr");
    EXPECT_FALSE(ReadFile(dir_ / "out.txt").empty());
    EXPECT_EQ(StrayFiles(dir_.path()), Names{});
    fs::remove(dir_ / "out.txt");
    fs::remove(pipe);
  }
}

// A reader that stops early (`vorpel-cli SOURCE - | head -c 10`): with
// SIGPIPE at its default, as a shell leaves it, the process ends quietly
// by that signal, status 128 + 13 = 141, and prints nothing.
TEST_F(CliFaultTest, StandardOutputReaderStopsEarly_EndsQuietlyBySigpipe) {
  WriteFile(dir_ / "source.txt", MakeText(200 * 1000, 7, PlainSentences()));
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string err_path = (scratch_ / "stderr").string();
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(ends[1], STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::close(ends[0]);
    ::signal(SIGPIPE, SIG_DFL);  // whatever the test runner had
    if (::chdir(dir_.path().c_str()) != 0) ::_exit(127);
    const char* argv[] = {kCli, "-u",      "letters",    "-l", "100",
                          "-n", "1000000", "source.txt", "-",  nullptr};
    ::execv(kCli, const_cast<char* const*>(argv));
    ::_exit(127);
  }
  ::close(ends[1]);
  char head[10];
  std::size_t got = 0;
  while (got < sizeof head) {
    const ssize_t n = ::read(ends[0], head + got, sizeof head - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(ends[0]);
  EXPECT_EQ(got, sizeof head);
  EXPECT_EQ(WaitForChild(pid), 128 + SIGPIPE);
  EXPECT_EQ(ReadFile(scratch_ / "stderr"), "");
}

}  // namespace
}  // namespace vorpel::test
