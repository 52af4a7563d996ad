// The batch command as a user runs it, when the disk fills up under it or
// the process is killed in the middle of a Write: the old target is whole
// afterwards, and what else is left on disk is known.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
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

enum class KillMoment {
  AtOnce,          // while the program starts and reads the source
  NewFileOpened,   // as soon as the new file of the target exists
  NewFileWritten,  // once several MiB of the new text are in it
};

struct KillCase {
  const char* name;
  KillMoment moment;
};

void PrintTo(const KillCase& value, std::ostream* out) { *out << value.name; }

class CliKillTest : public CliFaultTest, public ::testing::WithParamInterface<KillCase> {};

// SIGKILL cannot be caught, so nothing of the program runs after it: the
// old target must be whole because it was never opened for writing. What
// can stay behind is the new file in the target's folder, holding part of
// the new text; a later Write does not mind it and leaves it alone.
TEST_P(CliKillTest, KilledDuringLargeWrite_OldTargetIntactByteForByte) {
  WriteFile(dir_ / "source.txt", MakeText(4 * 1024 * 1024, 3, PlainSentences()));
  const std::string old = OldTarget(1024 * 1024 + 17);
  WriteFile(dir_ / "out.txt", old);

  // A hundred bytes a draw, a thousand million draws: far more than can be
  // written before the kill.
  const pid_t pid = StartProgram(
      {kCli, "-f", "-u", "letters", "-l", "100", "-n", "1000000000", "source.txt", "out.txt"},
      dir_.path(), scratch_ / "stdout", scratch_ / "stderr");
  ASSERT_GT(pid, 0);
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  bool reached = GetParam().moment == KillMoment::AtOnce;
  while (!reached && Clock::now() < deadline) {
    const Names stray = StrayFiles(dir_.path());
    std::error_code ignored;
    if (!stray.empty()) {
      reached = GetParam().moment == KillMoment::NewFileOpened ||
                fs::file_size(dir_ / stray.front(), ignored) >= 4 * 1024 * 1024;
    }
    if (!reached) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ::kill(pid, SIGKILL);
  EXPECT_EQ(WaitForChild(pid), 128 + SIGKILL);
  EXPECT_TRUE(reached) << "the new file did not reach the moment in time";

  EXPECT_TRUE(SameBytes(ReadFile(dir_ / "out.txt"), old)) << "the old target changed";
  const Names left = StrayFiles(dir_.path());
  if (GetParam().moment == KillMoment::AtOnce) {
    EXPECT_LE(left.size(), 1u);
  } else {
    EXPECT_EQ(left.size(), 1u) << "the partial new file";
  }

  // The next Write replaces the target as usual and leaves the earlier
  // file where it is.
  const ChildResult again = Run({kCli, "-f", "-n", "3", "--seed", "1", "source.txt", "out.txt"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_FALSE(SameBytes(ReadFile(dir_ / "out.txt"), old));
  EXPECT_EQ(StrayFiles(dir_.path()), left);
}

INSTANTIATE_TEST_SUITE_P(Moments, CliKillTest,
                         ::testing::Values(KillCase{"AtOnce", KillMoment::AtOnce},
                                           KillCase{"NewFileOpened", KillMoment::NewFileOpened},
                                           KillCase{"NewFileWritten", KillMoment::NewFileWritten}),
                         [](const ::testing::TestParamInfo<KillCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace vorpel::test
