// Memory that runs out during a Read or a Write, under a real limit on the
// address space (RLIMIT_AS, what `ulimit -v` sets). The limit where the
// work goes from failing to working is found by bisection; then every
// limit in the 16 MiB around it is tried, one child process each. The
// batch command must end with status 0 and the right text, or status 1
// and the file-error message with "Cannot allocate memory", never by
// abort or another status; the window's Read and Write must report ErrorIO
// and go on working once memory is there again, the old target whole.
// Nothing may be left behind either way.
//
// A sanitizer's runtime cannot start under such limits, so the sweeps are
// skipped in sanitizer builds (and when VORPEL_SKIP_MEMORY_SWEEP is set).
// Steps are 256 KiB; VORPEL_MEMORY_STEP_KIB=64 makes them 64 KiB.

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <utility>

#include "generation_settings.h"
#include "session.h"
#include "source_reader.h"
#include "vorpel_test/child_process.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"
#include "write_pipeline.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VORPEL_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VORPEL_SANITIZED_BUILD 1
#endif
#endif

namespace vorpel::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr rlim_t kKiB = 1024;
constexpr rlim_t kMiB = 1024 * kKiB;
constexpr char kFileFailed[] = "The file could not be read or written.";
constexpr char kOutOfMemory[] = "Cannot allocate memory";

// Why the sweeps cannot run here, or empty.
std::string SweepUnavailable() {
#ifdef VORPEL_SANITIZED_BUILD
  return "a sanitizer's runtime cannot start under a memory limit";
#else
  if (std::getenv("VORPEL_SKIP_MEMORY_SWEEP") != nullptr) return "VORPEL_SKIP_MEMORY_SWEEP is set";
  return {};
#endif
}

rlim_t StepSize() {
  if (const char* text = std::getenv("VORPEL_MEMORY_STEP_KIB")) {
    const long kib = std::strtol(text, nullptr, 10);
    if (kib >= 4) return static_cast<rlim_t>(kib) * kKiB;
  }
  return 256 * kKiB;
}

// The lowest limit, to within 64 KiB, at which works(limit) holds, given
// that it fails at low and holds at high.
rlim_t Bisect(rlim_t low, rlim_t high, const std::function<bool(rlim_t)>& works) {
  while (high - low > 64 * kKiB) {
    const rlim_t middle = (low + (high - low) / 2) & ~(4 * kKiB - 1);
    if (works(middle)) {
      high = middle;
    } else {
      low = middle;
    }
  }
  return high;
}

// The limits of the sweep: every step through the 16 MiB around boundary.
std::vector<rlim_t> SweepLimits(rlim_t boundary) {
  std::vector<rlim_t> limits;
  const rlim_t step = StepSize();
  const rlim_t first = boundary > 8 * kMiB ? boundary - 8 * kMiB : step;
  for (rlim_t limit = first; limit <= boundary + 8 * kMiB; limit += step) limits.push_back(limit);
  return limits;
}

// Bytes that no draw from the source can give.
std::string OldTarget(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('A' + i % 7);
  return text;
}

std::string InMiB(rlim_t bytes) {
  return std::to_string(static_cast<double>(bytes) / static_cast<double>(kMiB)) + " MiB";
}

// ---------------------------------------------------------------------------
// The batch command, one process per limit.

struct CliCase {
  const char* name;
  std::vector<std::string> options;
};

void PrintTo(const CliCase& value, std::ostream* out) { *out << value.name; }

class CliMemorySweep : public ::testing::TestWithParam<CliCase> {
 protected:
  void SetUp() override {
    if (const std::string why = SweepUnavailable(); !why.empty()) GTEST_SKIP() << why;
    fs::create_directory(scratch_);
    // Large enough that the 8 MiB below the boundary still leave room for
    // the program to start: it fails there at its own allocations.
    WriteFile(dir_ / "source.txt", MakeText(12 * kMiB, 5, PlainSentences()));
  }
  std::vector<std::string> Command(const char* target) const {
    std::vector<std::string> command = {VORPEL_CLI_PATH, "-f", "--seed", "77", "-n", "3000"};
    command.insert(command.end(), GetParam().options.begin(), GetParam().options.end());
    command.insert(command.end(), {"source.txt", target});
    return command;
  }
  ChildResult RunUnder(rlim_t limit, std::vector<std::string> command) {
    ChildSetup setup;
    if (limit != RLIM_INFINITY) setup.address_space = limit;
    setup.capture_folder = scratch_;
    return RunProgram(command, dir_.path(), setup);
  }

  TempDir dir_;
  fs::path scratch_ = dir_ / "scratch";
};

TEST_P(CliMemorySweep, EveryLimitAroundTheBoundary_RightTextOrMessageNeverAnAbort) {
  const ChildResult free_run = RunUnder(RLIM_INFINITY, Command("expected.txt"));
  ASSERT_EQ(free_run.exit_code, 0) << free_run.err;
  const std::string expected = ReadFile(dir_ / "expected.txt");
  ASSERT_GT(expected.size(), 0u);

  // Below this the program cannot even be loaded: the sweep must stay
  // above it, or a failure would not be the program's own.
  const rlim_t start_floor = Bisect(1 * kMiB, 1024 * kMiB, [&](rlim_t limit) {
    return RunUnder(limit, {VORPEL_CLI_PATH, "--version"}).exit_code == 0;
  });
  const rlim_t boundary = Bisect(1 * kMiB, 4096 * kMiB, [&](rlim_t limit) {
    const bool works = RunUnder(limit, Command("out.txt")).exit_code == 0;
    fs::remove(dir_ / "out.txt");
    return works;
  });
  ASSERT_GT(boundary, start_floor + 8 * kMiB + kMiB)
      << "boundary " << InMiB(boundary) << ", start " << InMiB(start_floor);

  const Names clean = {"expected.txt", "scratch", "source.txt"};
  const std::string source_failed =
      std::string(kFileFailed) + " source.txt: " + kOutOfMemory + "\n";
  const std::string target_failed = std::string(kFileFailed) + " out.txt: " + kOutOfMemory + "\n";
  int worked = 0;
  int failed_reading = 0;
  int failed_writing = 0;
  for (const rlim_t limit : SweepLimits(boundary)) {
    SCOPED_TRACE("limit " + InMiB(limit) + ", boundary " + InMiB(boundary));
    const ChildResult result = RunUnder(limit, Command("out.txt"));
    if (result.exit_code == 0) {
      ++worked;
      EXPECT_EQ(result.err, "");
      EXPECT_TRUE(ReadFile(dir_ / "out.txt") == expected) << "a different text";
      fs::remove(dir_ / "out.txt");
    } else if (result.exit_code == 1) {
      failed_reading += result.err == source_failed ? 1 : 0;
      failed_writing += result.err == target_failed ? 1 : 0;
      EXPECT_TRUE(result.err == source_failed || result.err == target_failed) << result.err;
      EXPECT_FALSE(fs::exists(dir_ / "out.txt"));
    } else {
      ADD_FAILURE() << "status " << result.exit_code << ": " << result.err;
    }
    EXPECT_EQ(StrayFiles(dir_.path()), Names{});
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, clean);
    if (HasFailure()) break;
  }
  EXPECT_GT(worked, 0);
  EXPECT_GT(failed_reading + failed_writing, 0);
  RecordProperty("boundary_kib", static_cast<int>(boundary / kKiB));
  RecordProperty("worked", worked);
  RecordProperty("failed_reading", failed_reading);
  RecordProperty("failed_writing", failed_writing);
  std::cout << GetParam().name << ": boundary " << InMiB(boundary) << ", start "
            << InMiB(start_floor) << "; " << worked << " worked, " << failed_reading
            << " ran out reading, " << failed_writing << " ran out writing\n";
}

INSTANTIATE_TEST_SUITE_P(
    Routes, CliMemorySweep,
    ::testing::Values(CliCase{"LettersFixed", {"-u", "letters", "-l", "7", "--fix-caps"}},
                      CliCase{"LettersPlain", {"-u", "letters", "-l", "7", "--no-fix-caps"}},
                      CliCase{"WordsFixed", {"-u", "words", "-l", "4", "--fix-caps"}},
                      CliCase{"WordsPlain", {"-u", "words", "-l", "4", "--no-fix-caps"}}),
    [](const ::testing::TestParamInfo<CliCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// The window's Read and Write, in a child of this process per limit.

// What the engine reported, kept without asking for memory: the limited
// part of a child must not allocate to record what happened.
class FixedReporter final : public Reporter {
 public:
  void Beep() override { ++beeps; }
  void ShowError(ErrorKind error, std::string_view detail) override {
    if (shown < kMax) {
      kinds[shown] = error;
      const std::size_t length = std::min(detail.size(), sizeof details[0] - 1);
      std::memcpy(details[shown], detail.data(), length);
      details[shown][length] = '\0';
    }
    ++shown;
  }
  static constexpr int kMax = 4;
  int beeps = 0;
  int shown = 0;
  ErrorKind kinds[kMax] = {};
  char details[kMax][512] = {};
};

// Makes the stack as deep as the engine will need it before the limit is
// set: a stack that had to grow under the limit would end the process.
void GrowStack() {
  volatile char reserve[512 * 1024];
  reserve[0] = 0;
  reserve[sizeof reserve - 1] = 0;
}

// Gives the child's allocator the state of a fresh process: large blocks
// come from new mappings (glibc raises that threshold after large blocks
// were freed, and would then serve them from memory this process already
// holds), and free memory goes back to the system.
void FreshAllocator() {
  ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  ::malloc_trim(0);
}

bool SetSoftLimit(rlim_t limit) {
  rlimit value{};
  ::getrlimit(RLIMIT_AS, &value);
  value.rlim_cur = limit;
  return ::setrlimit(RLIMIT_AS, &value) == 0;
}

// The pool's items in a few bytes: their count and a hash over each item's
// length and bytes, so a child can compare pools without a copy of them.
std::pair<std::size_t, std::uint64_t> Fingerprint(const SequencePool& pool) {
  std::uint64_t hash = 14695981039346656037u;
  const auto mix = [&](unsigned char byte) { hash = (hash ^ byte) * 1099511628211u; };
  for (std::size_t i = 0; i < pool.Size(); ++i) {
    const std::string_view item = pool.Item(i);
    for (std::size_t shift = 0; shift < 64; shift += 8)
      mix(static_cast<unsigned char>(item.size() >> shift));
    for (const char c : item) mix(static_cast<unsigned char>(c));
  }
  return {pool.Size(), hash};
}

enum class WindowStep { Read, WriteDirect, WriteFixed };

struct WindowCase {
  const char* name;
  WindowStep step;
  std::int16_t unit_mode;
  std::int16_t seq_length;
};

void PrintTo(const WindowCase& value, std::ostream* out) { *out << value.name; }

class WindowMemorySweep : public ::testing::TestWithParam<WindowCase> {
 protected:
  void SetUp() override {
    if (const std::string why = SweepUnavailable(); !why.empty()) GTEST_SKIP() << why;
    WriteFile(source_, MakeText(4 * kMiB, 9, PlainSentences()));
    WriteFile(small_source_, "an earlier source. its pool is the one in place.");
    session_.settings.SetDefaultOptions();
    session_.settings.UnitMode = GetParam().unit_mode;
    session_.settings.SeqLength = GetParam().seq_length;
    session_.settings.OWrite = 1;
    session_.settings.FixCap = GetParam().step == WindowStep::WriteFixed ? 1 : 0;
    options_.temp_path = dir_ / "%Vorpel.temp%";
    options_.seed = 31;
    RecordingReporter reporter;
    const fs::path first = GetParam().step == WindowStep::Read ? small_source_ : source_;
    ASSERT_EQ(ReadSource(session_, first, reporter), ReadOutcome::Read);
    pool_before_ = Fingerprint(session_.pool);

    // What a Read or a Write gives with memory enough.
    Session fresh;
    fresh.settings = session_.settings;
    ASSERT_EQ(ReadSource(fresh, source_, reporter), ReadOutcome::Read);
    read_items_ = Fingerprint(fresh.pool);
    if (GetParam().step != WindowStep::Read) {
      ASSERT_EQ(RunWriteCommand(session_, {"3000", dir_ / "expected.txt"}, reporter, options_),
                WriteOutcome::Written);
      expected_ = ReadFile(dir_ / "expected.txt");
      fs::remove(dir_ / "expected.txt");
      fs::remove(options_.temp_path);
    }
    WriteFile(target_, old_target_);
  }

  // The child's whole work under limit; 0 when every promise held, else
  // the number of the first one broken.
  int Attempt(rlim_t limit, bool& worked) {
    const int code = RunInChild([&] {
      GrowStack();
      FreshAllocator();
      FixedReporter reporter;
      bool done = false;
      if (!SetSoftLimit(limit)) return 90;
      if (GetParam().step == WindowStep::Read) {
        done = ReadSource(session_, source_, reporter) == ReadOutcome::Read;
      } else {
        done = RunWriteCommand(session_, {"3000", target_}, reporter, options_) ==
               WriteOutcome::Written;
      }
      if (!SetSoftLimit(RLIM_INFINITY)) return 91;
      return Check(done, reporter);
    });
    worked = code >= 100;
    return code >= 100 ? code - 100 : code;
  }

  // Run with memory again: what the limited step did, and that the window
  // goes on working afterwards. Returns 100 + 0 for a step that worked.
  int Check(bool done, const FixedReporter& reporter) {
    if (!StrayFiles(dir_.path()).empty()) return 1;
    const std::string drawn_path = options_.temp_path.string();
    if (done) {
      if (reporter.beeps != 0 || reporter.shown != 0) return 2;
      if (GetParam().step == WindowStep::Read) {
        if (Fingerprint(session_.pool) != read_items_) return 3;
        return 100;
      }
      if (ReadFile(target_) != expected_) return 4;
      return 100;
    }
    // Failed: one beep, ErrorIO naming the file with the system's words.
    if (reporter.beeps != 1 || reporter.shown != 1 || reporter.kinds[0] != ErrorKind::IO) return 5;
    const std::string detail = reporter.details[0];
    const std::string reason = std::string(": ") + kOutOfMemory;
    const bool named = detail == source_.string() + reason || detail == target_.string() + reason ||
                       detail == drawn_path + reason || detail == kOutOfMemory;
    if (!named) return 6;
    if (ReadFile(target_) != old_target_) return 7;
    if (GetParam().step == WindowStep::Read) {
      // A failed Read leaves an empty pool, as every failed Read does.
      if (!session_.pool.Empty()) return 8;
      RecordingReporter again;
      if (ReadSource(session_, source_, again) != ReadOutcome::Read) return 9;
      if (Fingerprint(session_.pool) != read_items_) return 10;
      return 0;
    }
    // The pool is the one in place before, and the next Write works.
    if (Fingerprint(session_.pool) != pool_before_) return 11;
    RecordingReporter again;
    if (RunWriteCommand(session_, {"3000", target_}, again, options_) != WriteOutcome::Written) {
      return 12;
    }
    if (ReadFile(target_) != expected_) return 13;
    if (!StrayFiles(dir_.path()).empty()) return 14;
    return 0;
  }

  TempDir dir_;
  fs::path source_ = dir_ / "source.txt";
  fs::path small_source_ = dir_ / "small.txt";
  fs::path target_ = dir_ / "target.txt";
  std::string old_target_ = OldTarget(4096);
  Session session_;
  WriteCommandOptions options_;
  std::pair<std::size_t, std::uint64_t> pool_before_;
  std::pair<std::size_t, std::uint64_t> read_items_;
  std::string expected_;
};

TEST_P(WindowMemorySweep, EveryLimitAroundTheBoundary_ErrorIOThenWorksAgain) {
  rlimit current{};
  ::getrlimit(RLIMIT_AS, &current);
  if (current.rlim_max != RLIM_INFINITY) GTEST_SKIP() << "the address space is limited already";
  const rlim_t boundary = Bisect(1 * kMiB, 16384 * kMiB, [&](rlim_t limit) {
    bool worked = false;
    const int code = Attempt(limit, worked);
    WriteFile(target_, old_target_);
    return code == 0 && worked;
  });
  int worked_count = 0;
  int failed_count = 0;
  for (const rlim_t limit : SweepLimits(boundary)) {
    bool worked = false;
    const int code = Attempt(limit, worked);
    EXPECT_EQ(code, 0) << "limit " << InMiB(limit) << ", boundary " << InMiB(boundary)
                       << " (1: a file left behind, 2-4: a step that worked did not do its job, "
                          "5/6: not one beep and ErrorIO with the reason, 7: the old target "
                          "changed, 8-14: the pool or the next Read or Write was not right, "
                          "9x: the limit, 98/99: an exception or abort, 128+: a signal)";
    (worked ? worked_count : failed_count) += 1;
    WriteFile(target_, old_target_);
    if (code != 0) break;
  }
  EXPECT_GT(worked_count, 0);
  EXPECT_GT(failed_count, 0);
  std::cout << GetParam().name << ": boundary " << InMiB(boundary) << "; " << worked_count
            << " worked, " << failed_count << " reported ErrorIO\n";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WindowMemorySweep,
    ::testing::Values(WindowCase{"ReadLetters", WindowStep::Read, kLettersMode, 7},
                      WindowCase{"ReadWords", WindowStep::Read, kWordsMode, 4},
                      WindowCase{"WriteLettersDirect", WindowStep::WriteDirect, kLettersMode, 7},
                      WindowCase{"WriteWordsDirect", WindowStep::WriteDirect, kWordsMode, 4},
                      WindowCase{"WriteLettersFixed", WindowStep::WriteFixed, kLettersMode, 7},
                      WindowCase{"WriteWordsFixed", WindowStep::WriteFixed, kWordsMode, 4}),
    [](const ::testing::TestParamInfo<WindowCase>& info) { return info.param.name; });

}  // namespace
}  // namespace vorpel::test
