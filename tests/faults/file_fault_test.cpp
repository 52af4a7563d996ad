// Faults of real files that need a second actor: another thread removing
// the source while it is read, another user's intermediate file in a
// shared sticky folder such as /tmp, another user trying to read it, and
// a second copy of the program replacing it in the middle of a Write.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "generation_settings.h"
#include "random_draw.h"
#include "sequence_writer.h"
#include "session.h"
#include "source_reader.h"
#include "vorpel_test/child_process.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/reference_algorithms.h"
#include "vorpel_test/temp_dir.h"
#include "write_pipeline.h"

namespace vorpel::test {
namespace {

namespace fs = std::filesystem;

using Events = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr char kSourceText[] = "The cat sat. On the mat! It was a hat? No_ it was not.\r\nEnd";

struct RaceCase {
  const char* name;
  bool through_link;  // the source is a link whose file comes and goes
};

void PrintTo(const RaceCase& value, std::ostream* out) { *out << value.name; }

class SourceRaceTest : public ::testing::TestWithParam<RaceCase> {};

// A second thread makes the file appear and disappear (a hard link to the
// same content, so whenever it is there it is whole) while Read runs again
// and again. Three things can happen, and each must be reported for what
// it is: the file was there (the pool holds its items), it was not there
// at the existence test (ErrorFNE, the pool kept), or it went between the
// test and the opening (ErrorIO naming the path, the pool empty).
TEST_P(SourceRaceTest, RemovedBetweenExistenceTestAndOpening_ReportedNeverWrongItems) {
  TempDir dir;
  WriteFile(dir / "content", kSourceText);
  const fs::path source = dir / "source.txt";
  fs::path comes_and_goes = source;
  if (GetParam().through_link) {
    comes_and_goes = dir / "linked.txt";
    fs::create_symlink("linked.txt", source);
  }

  Session session;
  session.settings.SetDefaultOptions();
  session.settings.SeqLength = 2;
  session.settings.MultSeq = 0;
  const Events expected_items = ReferenceRead(kSourceText, 2, kWordsMode, " ");
  const std::string gone_detail =
      source.string() + ": " + std::make_error_code(std::errc::no_such_file_or_directory).message();

  std::atomic<bool> stop{false};
  std::thread racer([&] {
    const std::string content = (dir / "content").string();
    while (!stop.load(std::memory_order_relaxed)) {
      ::link(content.c_str(), comes_and_goes.c_str());
      ::unlink(comes_and_goes.c_str());
    }
  });

  int read = 0;
  int missing = 0;
  int failed = 0;
  std::string first_fault;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  for (int attempt = 0; first_fault.empty() && Clock::now() < deadline; ++attempt) {
    if (read >= 20 && missing >= 20 && failed >= 5) break;
    const Events before = PoolItems(session.pool);
    RecordingReporter reporter;
    const ReadOutcome outcome = ReadSource(session, source, reporter);
    const Events after = PoolItems(session.pool);
    const std::string where = "attempt " + std::to_string(attempt) + ": ";
    switch (outcome) {
      case ReadOutcome::Read:
        ++read;
        if (!reporter.events.empty()) first_fault = where + "a read that succeeded reported";
        if (after != expected_items) first_fault = where + "wrong items " + Escaped(after);
        break;
      case ReadOutcome::Missing:
        ++missing;
        if (reporter.events != Events{"beep", "ErrorFNE"} ||
            reporter.details[0] != source.string()) {
          first_fault = where + "missing file reported as " + Escaped(reporter.events);
        }
        if (after != before) first_fault = where + "a missing file changed the pool";
        break;
      case ReadOutcome::Failed:
        ++failed;
        if (reporter.events != Events{"beep", "ErrorIO"} || reporter.details[0] != gone_detail) {
          first_fault = where + "vanished file reported as " + Escaped(reporter.events) + " " +
                        Escaped(reporter.details);
        }
        if (!after.empty()) first_fault = where + "the pool kept items after a failed read";
        break;
    }
  }
  stop = true;
  racer.join();

  EXPECT_EQ(first_fault, "");
  EXPECT_GT(read, 0);
  EXPECT_GT(missing, 0);
  EXPECT_GT(failed, 0) << "the file never went between the test and the opening";
  RecordProperty("reads", read);
  RecordProperty("missing", missing);
  RecordProperty("vanished", failed);
}

INSTANTIATE_TEST_SUITE_P(Sources, SourceRaceTest,
                         ::testing::Values(RaceCase{"File", false}, RaceCase{"LinkedFile", true}),
                         [](const ::testing::TestParamInfo<RaceCase>& info) {
                           return info.param.name;
                         });

struct StickyCase {
  const char* name;
  fs::perms mode;  // of the earlier user's intermediate file
  std::errc reason;
};

void PrintTo(const StickyCase& value, std::ostream* out) { *out << value.name; }

class ForeignIntermediateTest : public ::testing::TestWithParam<StickyCase> {};

// An intermediate file path given in a shared sticky folder (as /tmp is,
// where every user's file once lay): the file another user left there cannot be
// replaced by this one: the Write is refused with ErrorIO naming the
// intermediate file, the target keeps its text and the other user's file
// stays as it was. Readable-only, it is refused before anything is written;
// writable by all, the whole text is written and the rename is refused, and
// the new file is removed again.
TEST_P(ForeignIntermediateTest, WriteRefusedWithErrorIO_TargetAndOtherUsersFileUntouched) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "not root: the test plays two users, root leaving the intermediate file "
                    "and nobody writing";
  }
  constexpr uid_t kNobody = 65534;
  constexpr gid_t kNogroup = 65534;
  TempDir dir;
  fs::permissions(dir.path(), fs::perms(0755));
  const fs::path shared = dir / "shared";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms(01777));
  const fs::path intermediate = shared / "%Vorpel.temp%";
  WriteFile(intermediate, "an earlier user's text");
  fs::permissions(intermediate, GetParam().mode);

  const fs::path out = dir / "out";
  fs::create_directory(out);
  const fs::path target = out / "target.txt";
  WriteFile(target, "old text");
  ASSERT_EQ(::chown(out.c_str(), kNobody, kNogroup), 0);
  ASSERT_EQ(::chown(target.c_str(), kNobody, kNogroup), 0);

  Session session;
  session.settings.SetDefaultOptions();
  session.settings.OWrite = 1;
  ASSERT_EQ(session.settings.FixCap, 1);
  session.pool = BuildPool(MakeBuffer("one two three four five six seven."), session.settings);
  const std::string expected_detail =
      intermediate.string() + ": " + std::make_error_code(GetParam().reason).message();

  const int code = RunInChild([&] {
    if (!DropToNobody()) return 10;
    RecordingReporter reporter;
    WriteCommandOptions options;
    options.temp_path = intermediate;
    options.seed = 7;
    const WriteOutcome outcome = RunWriteCommand(session, {"5", target}, reporter, options);
    if (outcome != WriteOutcome::Failed) return 1;
    if (reporter.events != Events{"beep", "ErrorIO"}) return 2;
    if (reporter.details[0] != expected_detail) return 3;
    return 0;
  });
  if (code == 10) GTEST_SKIP() << "cannot become the user nobody here (that needs root)";
  EXPECT_EQ(code, 0) << "1: not refused, 2: not one beep and ErrorIO, 3: detail not \""
                     << expected_detail << "\"";

  EXPECT_EQ(ReadFile(target), "old text");
  EXPECT_EQ(ReadFile(intermediate), "an earlier user's text");
  EXPECT_EQ(PermissionsOf(intermediate), GetParam().mode);
  struct stat info {};
  ASSERT_EQ(::stat(intermediate.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(StrayFiles(shared), std::vector<std::string>{});
  EXPECT_EQ(StrayFiles(out), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ForeignIntermediateTest,
    ::testing::Values(StickyCase{"ReadableOnly", fs::perms(0644), std::errc::permission_denied},
                      StickyCase{"WritableByAll", fs::perms(0666),
                                 std::errc::operation_not_permitted}),
    [](const ::testing::TestParamInfo<StickyCase>& info) { return info.param.name; });

// A Write on the capitalization route, with its own pool, seed, target and
// intermediate file path: what one running copy of the program does.
struct FixRouteWrite {
  Session session;
  fs::path target;
  WriteCommandOptions options;

  FixRouteWrite(std::string_view source, const fs::path& intermediate, fs::path target_path,
                std::uint64_t seed)
      : target(std::move(target_path)) {
    session.settings.SetDefaultOptions();
    session.settings.SeqLength = 2;
    session.settings.OWrite = 1;
    session.pool = BuildPool(MakeBuffer(source), session.settings);
    options.temp_path = intermediate;
    options.seed = seed;
  }
  WriteOutcome Run(Reporter& reporter) {
    return RunWriteCommand(session, {"200", target}, reporter, options);
  }
};

// Two copies of the program Write at once through the one intermediate
// file. The second copy (a real second process) replaces it between the
// first copy's drawing and its fix. Each target receives the fix of the
// very text its own copy drew; the intermediate file holds the text of the
// copy that replaced it last, as it is meant to.
TEST(IntermediateFileTest, SecondCopyReplacesItBetweenDrawAndFix_EachTargetGetsItsOwnText) {
  TempDir dir;
  const fs::path intermediate = dir / "%Vorpel.temp%";
  FixRouteWrite first("the first copy. reads this text! and only this? yes.", intermediate,
                      dir / "first.txt", 1);
  FixRouteWrite second("another program. another source! other words? sure.", intermediate,
                       dir / "second.txt", 2);
  int second_code = -1;
  first.options.between_steps = [&] {
    second_code = RunInChild([&] {
      RecordingReporter reporter;
      return second.Run(reporter) == WriteOutcome::Written && reporter.events.empty() ? 0 : 1;
    });
  };

  RecordingReporter reporter;
  ASSERT_EQ(first.Run(reporter), WriteOutcome::Written);
  EXPECT_EQ(reporter.events, Events{});
  ASSERT_EQ(second_code, 0);

  // What each copy drew, drawn again from its own pool with its own seed.
  const auto drawn_by = [](FixRouteWrite& copy) {
    RandomDraw draw(*copy.options.seed);
    StringSink sink;
    EXPECT_FALSE(DrawSequences(copy.session.pool, 200, draw, sink));
    return sink.text;
  };
  const std::string first_drawn = drawn_by(first);
  const std::string second_drawn = drawn_by(second);
  ASSERT_NE(first_drawn, second_drawn);
  EXPECT_EQ(ReadFile(dir / "first.txt"), ReferenceFix(first_drawn, " ", SentenceEndMarks));
  EXPECT_EQ(ReadFile(dir / "second.txt"), ReferenceFix(second_drawn, " ", SentenceEndMarks));
  EXPECT_EQ(ReadFile(intermediate), second_drawn);
  EXPECT_EQ(StrayFiles(dir.path()), std::vector<std::string>{});
}

// Each user's intermediate file lies in a place found from their own home.
// root and nobody Write with the fix on at once (nobody's whole Write runs
// between root's drawing and its fix): each target gets the fix of its own
// drawing, each intermediate file is its writer's with mode 0600 in
// folders of mode 0700, and a private file of root's at the old shared
// place stops nobody and stays as it was.
TEST(IntermediateFileTest, TwoUsersAtOnce_EachHasAnOwnFileTheOldSharedPlaceStopsNobody) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "not root: the test plays two users, which needs privileges to drop";
  }
  constexpr uid_t kNobody = 65534;
  TempDir dir;
  fs::permissions(dir.path(), fs::perms(0755));
  const fs::path root_home = dir / "root";
  const fs::path nobody_home = dir / "nobody";
  fs::create_directory(root_home);
  fs::create_directory(nobody_home);
  ASSERT_EQ(::chown(nobody_home.c_str(), kNobody, kNobody), 0);
  const fs::path old_place = "/tmp/%Vorpel.temp%";
  const bool planted = !fs::exists(fs::symlink_status(old_place));
  if (planted) {
    WriteFile(old_place, "root's earlier text");
    fs::permissions(old_place, fs::perms(0600));
  }
  const std::string old_text = ReadFile(old_place);

  const ScopedEnvironment cache_home("XDG_CACHE_HOME", std::nullopt);
  const ScopedEnvironment home("HOME", root_home.string());
  FixRouteWrite first("root's text. root's words! only root's?", {}, root_home / "first.txt", 1);
  FixRouteWrite second("nobody's text. other words! nobody's?", {}, nobody_home / "second.txt", 2);
  int second_code = -1;
  first.options.between_steps = [&] {
    second_code = RunInChild([&] {
      if (!DropToNobody()) return 10;
      ::setenv("HOME", nobody_home.c_str(), 1);
      RecordingReporter reporter;
      return second.Run(reporter) == WriteOutcome::Written && reporter.events.empty() ? 0 : 1;
    });
  };
  RecordingReporter reporter;
  const WriteOutcome outcome = first.Run(reporter);
  if (planted) fs::remove(old_place);
  ASSERT_EQ(outcome, WriteOutcome::Written) << Escaped(reporter.details);
  if (second_code == 10) GTEST_SKIP() << "cannot become the user nobody here";
  ASSERT_EQ(second_code, 0) << "nobody's Write failed";

  for (FixRouteWrite* copy : {&first, &second}) {
    const fs::path owner_home = copy == &first ? root_home : nobody_home;
    const fs::path intermediate = owner_home / ".cache" / "vorpel" / "%Vorpel.temp%";
    RandomDraw draw(*copy->options.seed);
    StringSink drawn;
    EXPECT_FALSE(DrawSequences(copy->session.pool, 200, draw, drawn));
    EXPECT_EQ(ReadFile(intermediate), drawn.text);
    EXPECT_EQ(ReadFile(copy->target), ReferenceFix(drawn.text, " ", SentenceEndMarks));
    struct stat info {};
    ASSERT_EQ(::stat(intermediate.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, copy == &first ? 0u : kNobody);
    EXPECT_EQ(PermissionsOf(intermediate), fs::perms(0600));
    EXPECT_EQ(PermissionsOf(intermediate.parent_path()), fs::perms(0700));
    EXPECT_EQ(PermissionsOf(owner_home / ".cache"), fs::perms(0700));
  }
  if (!planted) {
    EXPECT_EQ(ReadFile(old_place), old_text);
  }
}

// The intermediate file holds text drawn from the user's source, which may
// be private: it is created, and replaced, with mode 0600 whatever the
// umask, so no other user can read it. The target's own mode rules stay:
// 0666 less the umask for a new one, the old bits for an existing one.
TEST(IntermediateFileTest, CreatedAndReplacedPrivate_OtherUsersCannotReadIt) {
  struct Case {
    mode_t umask;
    std::optional<fs::perms> earlier_intermediate;  // left by an earlier Write
    std::optional<fs::perms> existing_target;
  };
  const Case cases[] = {
      {022, std::nullopt, std::nullopt},       {0, std::nullopt, std::nullopt},
      {077, std::nullopt, fs::perms(0640)},    {0, fs::perms(0644), std::nullopt},
      {002, fs::perms(0666), fs::perms(0664)}, {0277, fs::perms(0600), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("umask " + std::to_string(c.umask));
    TempDir dir;
    fs::permissions(dir.path(), fs::perms(0755));
    const fs::path intermediate = dir / "%Vorpel.temp%";
    if (c.earlier_intermediate) {
      WriteFile(intermediate, "an earlier Write's text");
      fs::permissions(intermediate, *c.earlier_intermediate);
    }
    FixRouteWrite write("private words. of a private source! kept private?", intermediate,
                        dir / "target.txt", 3);
    if (c.existing_target) {
      WriteFile(write.target, "old");
      fs::permissions(write.target, *c.existing_target);
    }
    const mode_t mask = ::umask(c.umask);
    RecordingReporter reporter;
    const WriteOutcome outcome = write.Run(reporter);
    ::umask(mask);
    ASSERT_EQ(outcome, WriteOutcome::Written) << Escaped(reporter.details);

    EXPECT_EQ(PermissionsOf(intermediate), fs::perms(0600));
    const fs::perms target_mode =
        c.existing_target ? *c.existing_target : fs::perms(0666 & ~c.umask);
    EXPECT_EQ(PermissionsOf(write.target), target_mode);
    const int code = RunInChild([&] {
      if (!DropToNobody()) return 10;
      const int fd = ::open(intermediate.c_str(), O_RDONLY);
      if (fd >= 0) return 1;
      return errno == EACCES ? 0 : 2;
    });
    if (code == 10) GTEST_SKIP() << "cannot become the user nobody here (that needs root)";
    EXPECT_EQ(code, 0) << "1: another user could read the intermediate file";
    EXPECT_EQ(StrayFiles(dir.path()), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace vorpel::test
