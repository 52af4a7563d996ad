#include "atomic_file_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "vorpel_test/assertions.h"
#include "vorpel_test/child_process.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"

namespace vorpel {
namespace {

namespace fs = std::filesystem;
using test::Succeeded;
using test::TempDir;
using Names = std::vector<std::string>;

// Open, write text in one block, commit: the first failure.
FileStatus WriteAtomically(const fs::path& target, std::string text,
                           LinkPolicy links = LinkPolicy::Follow) {
  AtomicFileWriter writer;
  if (auto status = writer.Open(target, links)) return status;
  if (auto status = writer.Write(std::span<char>(text.data(), text.size()))) return status;
  return writer.Commit();
}

std::string RandomBytes(std::size_t size, std::uint64_t seed) {
  return test::MakeText(size, seed, test::Steps({test::OneOf(test::ByteRange(0, 255))}));
}

TEST(AtomicFileWriter, NewAndExistingTargetsGetTheBytes) {
  TempDir dir;
  const std::string bytes = RandomBytes(200'000, 3);
  ASSERT_TRUE(Succeeded(WriteAtomically(dir / "new", bytes)));
  EXPECT_TRUE(test::ReadFile(dir / "new") == bytes);
  test::WriteFile(dir / "old", std::string(500'000, 'o'));
  ASSERT_TRUE(Succeeded(WriteAtomically(dir / "old", "short")));
  EXPECT_EQ(test::ReadFile(dir / "old"), "short");
  EXPECT_EQ(dir.Names(), (Names{"new", "old"}));
}

// A new file gets 0666 less the umask, whichever umask.
TEST(AtomicFileWriter, NewTargetGetsOrdinaryPermissions) {
  const std::pair<mode_t, int> cases[] = {{022, 0644}, {027, 0640}, {0, 0666}, {077, 0600}};
  for (const auto& [umask, expected] : cases) {
    SCOPED_TRACE(umask);
    TempDir dir;
    const mode_t mask = ::umask(umask);
    ASSERT_TRUE(Succeeded(WriteAtomically(dir / "new", "x")));
    ::umask(mask);
    EXPECT_EQ(test::PermissionsOf(dir / "new"), fs::perms(expected));
  }
}

TEST(AtomicFileWriter, ExistingTargetKeepsPermissionBits) {
  TempDir dir;
  for (const auto mode : {fs::perms(0640), fs::perms(0604), fs::perms(0755), fs::perms(0600)}) {
    SCOPED_TRACE(static_cast<int>(mode));
    test::WriteFile(dir / "target", "old");
    fs::permissions(dir / "target", mode);
    ASSERT_TRUE(Succeeded(WriteAtomically(dir / "target", "new")));
    EXPECT_EQ(test::ReadFile(dir / "target"), "new");
    EXPECT_EQ(test::PermissionsOf(dir / "target"), mode);
  }
}

TEST(AtomicFileWriter, FollowedLinkReplacesTheFileItPointsTo) {
  TempDir dir;
  fs::create_directory(dir / "sub");
  test::WriteFile(dir / "sub" / "real", "old");
  fs::permissions(dir / "sub" / "real", fs::perms(0640));
  fs::create_symlink("sub/real", dir / "link");
  ASSERT_TRUE(Succeeded(WriteAtomically(dir / "link", "new", LinkPolicy::Follow)));
  EXPECT_TRUE(fs::is_symlink(dir / "link"));
  EXPECT_EQ(fs::read_symlink(dir / "link"), "sub/real");
  EXPECT_EQ(test::ReadFile(dir / "sub" / "real"), "new");
  EXPECT_EQ(test::PermissionsOf(dir / "sub" / "real"), fs::perms(0640));
  EXPECT_EQ(dir.Names(), (Names{"link", "sub"}));
  std::vector<std::string> in_sub;
  for (const auto& entry : fs::directory_iterator(dir / "sub")) {
    in_sub.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(in_sub, Names{"real"});
}

TEST(AtomicFileWriter, PlantedLinkIsReplacedNotFollowed) {
  TempDir dir;
  test::WriteFile(dir / "victim", "victim");
  fs::create_symlink("victim", dir / "planted");
  ASSERT_TRUE(Succeeded(WriteAtomically(dir / "planted", "mine", LinkPolicy::Replace)));
  EXPECT_FALSE(fs::is_symlink(dir / "planted"));
  EXPECT_EQ(test::ReadFile(dir / "planted"), "mine");
  EXPECT_EQ(test::ReadFile(dir / "victim"), "victim");
  // A dangling planted link is replaced as well, and nothing is created
  // where it pointed.
  fs::create_symlink("ghost", dir / "dangling");
  ASSERT_TRUE(Succeeded(WriteAtomically(dir / "dangling", "mine", LinkPolicy::Replace)));
  EXPECT_FALSE(fs::is_symlink(dir / "dangling"));
  EXPECT_FALSE(fs::exists(dir / "ghost"));
  EXPECT_EQ(dir.Names(), (Names{"dangling", "planted", "victim"}));
}

TEST(AtomicFileWriter, LinkChainIsFollowedAndLoopIsRefused) {
  TempDir dir;
  test::WriteFile(dir / "real", "old");
  fs::create_symlink("real", dir / "first");
  fs::create_symlink(dir / "first", dir / "second");  // absolute this time
  ASSERT_TRUE(Succeeded(WriteAtomically(dir / "second", "new")));
  EXPECT_EQ(test::ReadFile(dir / "real"), "new");
  EXPECT_TRUE(fs::is_symlink(dir / "first"));
  EXPECT_TRUE(fs::is_symlink(dir / "second"));

  fs::create_symlink("loop-b", dir / "loop-a");
  fs::create_symlink("loop-a", dir / "loop-b");
  EXPECT_NE(WriteAtomically(dir / "loop-a", "x"), std::nullopt);
  EXPECT_EQ(dir.Names(), (Names{"first", "loop-a", "loop-b", "real", "second"}));
}

TEST(AtomicFileWriter, DeviceOrPipeAsTarget_IsRefused) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_NE(WriteAtomically(dir / "pipe", "x"), std::nullopt);
  EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
  // A device node of our own (the null device's numbers), so that a writer
  // that wrongly replaced it would harm nothing outside the folder.
  if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0) {
    EXPECT_NE(WriteAtomically(dir / "null", "x"), std::nullopt);
    EXPECT_TRUE(fs::is_character_file(dir / "null"));
  }
  EXPECT_EQ(dir.Names().size(), fs::exists(dir / "null") ? 2u : 1u);
}

TEST(AtomicFileWriter, FolderAsTarget_IsRefusedAndLeavesNothing) {
  TempDir dir;
  fs::create_directory(dir / "folder");
  test::WriteFile(dir / "folder" / "inside", "x");
  const FileStatus status = WriteAtomically(dir / "folder", "text");
  ASSERT_NE(status, std::nullopt);
  EXPECT_NE(status->Describe().find("folder"), std::string::npos) << status->Describe();
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
  EXPECT_EQ(dir.Names(), Names{"folder"});
  EXPECT_EQ(test::ReadFile(dir / "folder" / "inside"), "x");
}

TEST(AtomicFileWriter, MissingFolder_IsAnErrorAndCreatesNothing) {
  TempDir dir;
  const FileStatus status = WriteAtomically(dir / "missing" / "file", "text");
  ASSERT_NE(status, std::nullopt);
  EXPECT_EQ(status->code, std::errc::no_such_file_or_directory);
  EXPECT_TRUE(dir.Names().empty());
}

TEST(AtomicFileWriter, EmptyPath_IsAnError) {
  TempDir dir;
  const test::WorkingDirectory in_dir(dir.path());
  EXPECT_NE(WriteAtomically("", "text"), std::nullopt);
  EXPECT_TRUE(dir.Names().empty());
}

TEST(AtomicFileWriter, ReadOnlyTarget_IsRefusedEvenForRoot) {
  TempDir dir;
  test::WriteFile(dir / "locked", "old");
  fs::permissions(dir / "locked", fs::perms(0444));
  EXPECT_NE(WriteAtomically(dir / "locked", "new"), std::nullopt);
  EXPECT_EQ(test::ReadFile(dir / "locked"), "old");
  EXPECT_EQ(test::PermissionsOf(dir / "locked"), fs::perms(0444));
  EXPECT_EQ(dir.Names(), Names{"locked"});
}

TEST(AtomicFileWriter, WithoutCommit_OldTargetStaysAndNewFileIsRemoved) {
  TempDir dir;
  test::WriteFile(dir / "old", "old");
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(Succeeded(writer.Open(dir / "old", LinkPolicy::Follow)));
    std::string text = "new";
    ASSERT_TRUE(Succeeded(writer.Write(std::span<char>(text.data(), text.size()))));
    EXPECT_EQ(test::ReadFile(dir / "old"), "old");  // nothing visible before Commit
  }
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(Succeeded(writer.Open(dir / "fresh", LinkPolicy::Follow)));
  }
  EXPECT_EQ(test::ReadFile(dir / "old"), "old");
  EXPECT_EQ(dir.Names(), Names{"old"});
}

TEST(AtomicFileWriter, FailurePartWay_KeepsOldTargetAndLeavesNoStrayFile) {
  TempDir dir;
  test::WriteFile(dir / "target", "old content");
  const int code = test::RunInChild([&] {
    if (!test::LimitFileSize(64 * 1024)) return 10;
    AtomicFileWriter writer;
    if (writer.Open(dir / "target", LinkPolicy::Follow)) return 11;
    std::string block(16 * 1024, 'n');
    for (int i = 0; i < 64; ++i) {
      if (auto status = writer.Write(std::span<char>(block.data(), block.size()))) {
        return status->code == std::errc::file_too_large ? 0 : 2;
      }
    }
    if (auto status = writer.Commit()) return status->code == std::errc::file_too_large ? 0 : 2;
    return 1;
  });
  EXPECT_EQ(code, 0) << "1: 1 MiB written under a 64 KiB limit, 2: wrong error";
  EXPECT_EQ(test::ReadFile(dir / "target"), "old content");
  EXPECT_EQ(dir.Names(), Names{"target"});
}

}  // namespace
}  // namespace vorpel

// ---------------------------------------------------------------------------
// The new file's name, its mode, and the termination signals. These run on
// the system's unnamed files and, under the preloaded library of the fault
// tests (ctest's engine_writers_with_named_files), on the named fallback.

namespace vorpel {
namespace {

// Whether the system gives unnamed files in folder here.
bool UnnamedFilesIn(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::vector<std::string> PartialNames(const TempDir& dir) {
  std::vector<std::string> names;
  for (const std::string& name : dir.Names()) {
    if (name.rfind(".vorpel-", 0) == 0) names.push_back(name);
  }
  return names;
}

TEST(AtomicFileWriterNames, NewFileHasNoNameUntilCommitWhereTheSystemAllows) {
  TempDir dir;
  const bool unnamed = UnnamedFilesIn(dir.path());
  test::WriteFile(dir / "old", "old");
  for (const char* target : {"old", "new"}) {
    SCOPED_TRACE(target);
    AtomicFileWriter writer;
    ASSERT_TRUE(Succeeded(writer.Open(dir / target, LinkPolicy::Follow)));
    EXPECT_EQ(writer.Unnamed(), unnamed);
    std::string text(100'000, 'n');
    ASSERT_TRUE(Succeeded(writer.Write(std::span<char>(text.data(), text.size()))));
    // While it is written, the new file is nowhere to be seen, or it is
    // the one hidden file of the fallback.
    EXPECT_EQ(PartialNames(dir).size(), unnamed ? 0u : 1u);
    EXPECT_FALSE(fs::exists(dir / "new"));
    ASSERT_TRUE(Succeeded(writer.Commit()));
    EXPECT_EQ(test::ReadFile(dir / target), text);
    EXPECT_TRUE(PartialNames(dir).empty());
  }
  EXPECT_EQ(dir.Names(), (Names{"new", "old"}));
}

// Between Open and Commit another program creates the target: the new
// file replaces it as it would replace any existing file, and no name of
// the writer's stays behind.
TEST(AtomicFileWriterNames, TargetAppearingBeforeCommit_IsReplaced) {
  TempDir dir;
  AtomicFileWriter writer;
  ASSERT_TRUE(Succeeded(writer.Open(dir / "target", LinkPolicy::Follow)));
  std::string text = "mine";
  ASSERT_TRUE(Succeeded(writer.Write(std::span<char>(text.data(), text.size()))));
  test::WriteFile(dir / "target", "someone else's");
  ASSERT_TRUE(Succeeded(writer.Commit()));
  EXPECT_EQ(test::ReadFile(dir / "target"), "mine");
  EXPECT_EQ(dir.Names(), Names{"target"});
}

struct PrivateCase {
  mode_t umask;
  bool existing;  // an earlier file of another owner, mode 0644, is replaced
};

// The private mode gives 0600 and the writer as owner, whatever the umask
// and whatever the replaced file had. Only root can give the earlier file
// to another owner: for any other user it stays the user's own, which
// still shows its mode is not taken over, and the test says it skipped
// the owner.
TEST(AtomicFileWriterNames, PrivateMode_OwnerOnlyWhateverTheUmaskAndTheOldFile) {
  constexpr uid_t kNobody = 65534;
  const bool as_root = ::geteuid() == 0;
  const PrivateCase cases[] = {{0, false}, {022, false}, {077, false}, {0277, false},
                               {0, true},  {022, true},  {0277, true}};
  for (const PrivateCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.umask) + (c.existing ? " existing" : " new"));
    TempDir dir;
    const fs::path target = dir / "private";
    if (c.existing) {
      test::WriteFile(target, "an earlier text");
      fs::permissions(target, fs::perms(0644));
      if (as_root) {
        ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
      }
    }
    const mode_t mask = ::umask(c.umask);
    AtomicFileWriter writer;
    FileStatus status = writer.Open(target, LinkPolicy::Replace, NewFileMode::Private);
    std::string text = "drawn";
    if (!status) status = writer.Write(std::span<char>(text.data(), text.size()));
    if (!status) status = writer.Commit();
    ::umask(mask);
    ASSERT_TRUE(Succeeded(status));
    EXPECT_EQ(test::ReadFile(target), "drawn");
    EXPECT_EQ(test::PermissionsOf(target), fs::perms(0600));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(dir.Names(), Names{"private"});
  }
  if (!as_root) {
    GTEST_SKIP() << "not root: the earlier files could not be given to another owner (chown), "
                    "so only their mode was checked";
  }
}

// The descriptor handed back by Commit reads the bytes this writer wrote,
// from the start, after the file at the path has been replaced by another.
TEST(AtomicFileWriterNames, CommitWithReadBack_ReadsOwnBytesAfterThePathIsReplaced) {
  TempDir dir;
  for (const bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "existing" : "new");
    if (existing) test::WriteFile(dir / "shared", "before");
    AtomicFileWriter writer;
    ASSERT_TRUE(Succeeded(writer.Open(dir / "shared", LinkPolicy::Replace)));
    std::string text = RandomBytes(300'000, existing ? 5 : 6);
    ASSERT_TRUE(Succeeded(writer.Write(std::span<char>(text.data(), text.size()))));
    FileDescriptor read_back;
    ASSERT_TRUE(Succeeded(writer.Commit(read_back)));
    ASSERT_TRUE(read_back.IsOpen());
    test::WriteFile(dir / "other", "another program's text");
    fs::rename(dir / "other", dir / "shared");

    std::string got(text.size() + 1, '\0');
    ASSERT_EQ(::pread(read_back.get(), got.data(), got.size(), 0),
              static_cast<ssize_t>(text.size()));
    got.resize(text.size());
    EXPECT_TRUE(got == text);
    EXPECT_EQ(test::ReadFile(dir / "shared"), "another program's text");
    fs::remove(dir / "shared");
  }
}

// CheckTarget refuses what Open refuses, with the same reason, and makes
// nothing; what it lets pass, Open takes.
TEST(AtomicFileWriterNames, CheckTarget_AgreesWithOpenAndMakesNothing) {
  TempDir dir;
  fs::create_directory(dir / "folder");
  test::WriteFile(dir / "existing", "x");
  test::WriteFile(dir / "locked", "x");
  fs::permissions(dir / "locked", fs::perms(0444));
  test::WriteFile(dir / "plain", "x");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  fs::create_symlink("existing", dir / "link");
  const Names before = dir.Names();
  const struct {
    fs::path target;
    bool passes;
  } cases[] = {
      {dir / "new", true},
      {dir / "existing", true},
      {dir / "link", true},
      {dir / "folder", false},
      {dir / "locked", false},
      {dir / "pipe", false},
      {dir / "missing" / "new", false},
      {dir / "plain" / "new", false},  // a file where a folder should be
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target.string());
    const FileStatus checked = CheckTarget(c.target, LinkPolicy::Follow);
    EXPECT_EQ(!checked, c.passes) << (checked ? checked->Describe() : "");
    EXPECT_EQ(dir.Names(), before);
    AtomicFileWriter writer;
    const FileStatus opened = writer.Open(c.target, LinkPolicy::Follow);
    ASSERT_EQ(!opened, !checked);
    if (checked) {
      EXPECT_EQ(opened->code, checked->code);
      EXPECT_EQ(checked->path, c.target.string());
    }
  }
}

// The calls a writer makes to put its file in place, in order, each named
// with the last part of its paths (".vorpel-*" for a temporary name); the
// first call that starts with fail_at fails with fail_errno instead.
class WatchedCalls final : public CommitCalls {
 public:
  explicit WatchedCalls(std::string fail_at = {}, int fail_errno = EIO)
      : fail_at_(std::move(fail_at)), fail_errno_(fail_errno) {}

  int SyncData(int fd) override {
    return Call("sync data", [&] { return CommitCalls::SyncData(fd); });
  }
  int Link(const char* from, const char* to) override {
    return Call("link " + Shown(to), [&] { return CommitCalls::Link(from, to); });
  }
  int Rename(const char* from, const char* to) override {
    return Call("rename " + Shown(from) + " " + Shown(to),
                [&] { return CommitCalls::Rename(from, to); });
  }
  int SyncFolder(int folder_fd) override {
    return Call("sync folder", [&] { return CommitCalls::SyncFolder(folder_fd); });
  }

  Names calls;

 private:
  static std::string Shown(const char* path) {
    const std::string name = fs::path(path).filename().string();
    return name.starts_with(".vorpel-") ? ".vorpel-*" : name;
  }
  template <typename Real>
  int Call(std::string call, Real real) {
    const bool fail = !fail_at_.empty() && call.starts_with(fail_at_);
    calls.push_back(std::move(call));
    if (!fail) return real();
    fail_at_.clear();
    errno = fail_errno_;
    return -1;
  }
  std::string fail_at_;
  int fail_errno_;
};

// A replaced target's new text is on disk before the rename, and the
// folder after it; a new name needs only the folder, and scratch files no
// sync at all. Named files (no O_TMPFILE) are renamed into place instead
// of linked.
TEST(AtomicFileWriterDurability, SyncsInTheOrderThatKeepsOldOrNewText) {
  struct Case {
    bool existing;
    Durability durability;
    Names unnamed;
    Names named;
  };
  const Case cases[] = {
      {false,
       Durability::Durable,
       {"link target", "sync folder"},
       {"rename .vorpel-* target", "sync folder"}},
      {true,
       Durability::Durable,
       {"sync data", "link .vorpel-*", "rename .vorpel-* target", "sync folder"},
       {"sync data", "rename .vorpel-* target", "sync folder"}},
      {false, Durability::Scratch, {"link target"}, {"rename .vorpel-* target"}},
      {true,
       Durability::Scratch,
       {"link .vorpel-*", "rename .vorpel-* target"},
       {"rename .vorpel-* target"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "existing " << c.existing << ", scratch "
                                    << (c.durability == Durability::Scratch));
    TempDir dir;
    if (c.existing) test::WriteFile(dir / "target", "old");
    WatchedCalls calls;
    AtomicFileWriter writer(calls);
    ASSERT_TRUE(Succeeded(
        writer.Open(dir / "target", LinkPolicy::Follow, NewFileMode::Ordinary, c.durability)));
    const bool unnamed = writer.Unnamed();
    std::string text = "new";
    ASSERT_TRUE(Succeeded(writer.Write(std::span<char>(text.data(), text.size()))));
    ASSERT_TRUE(Succeeded(writer.Commit()));
    EXPECT_EQ(calls.calls, unnamed ? c.unnamed : c.named);
    EXPECT_EQ(test::ReadFile(dir / "target"), "new");
    EXPECT_EQ(dir.Names(), Names{"target"});
  }
}

// A failed sync before the rename leaves the old text; one of the folder
// after it leaves the new text and says it may not be on disk, unless the
// file system cannot sync folders at all.
TEST(AtomicFileWriterDurability, FailedSyncReportedWithWhatIsInPlace) {
  struct Case {
    const char* fail_at;
    int fail_errno;
    bool existing;
    const char* error;  // after "target: "; nullptr for success
  };
  const std::string not_on_disk = make_error_code(FileErrc::NotOnDisk).message();
  const std::string io_error = std::make_error_code(std::errc::io_error).message();
  const std::string after_rename = not_on_disk + " (" + io_error + ")";
  const Case cases[] = {
      {"sync data", EIO, true, io_error.c_str()},
      {"sync folder", EIO, true, after_rename.c_str()},
      {"sync folder", EIO, false, after_rename.c_str()},
      {"sync folder", EINVAL, true, nullptr},
      {"sync folder", ENOTSUP, false, nullptr},
      {"rename", EXDEV, true, "Invalid cross-device link"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.fail_at << " " << c.fail_errno << ", existing " << c.existing);
    TempDir dir;
    if (c.existing) test::WriteFile(dir / "target", "old");
    WatchedCalls calls(c.fail_at, c.fail_errno);
    AtomicFileWriter writer(calls);
    ASSERT_TRUE(Succeeded(writer.Open(dir / "target", LinkPolicy::Follow)));
    std::string text = "new";
    ASSERT_TRUE(Succeeded(writer.Write(std::span<char>(text.data(), text.size()))));
    const FileStatus status = writer.Commit();
    const bool new_text_in_place = c.error == nullptr || c.fail_at == std::string("sync folder");
    if (c.error == nullptr) {
      EXPECT_TRUE(Succeeded(status));
    } else {
      ASSERT_TRUE(status.has_value());
      EXPECT_EQ(status->Describe(), (dir / "target").string() + ": " + c.error);
    }
    if (new_text_in_place || c.existing) {
      EXPECT_EQ(test::ReadFile(dir / "target"), new_text_in_place ? "new" : "old");
    }
    EXPECT_EQ(dir.Names(), new_text_in_place || c.existing ? Names{"target"} : Names{});
  }
}

// What a termination signal does while a new file is being written: the
// process ends as the signal says, and leaves no file of the writer.
TEST(AtomicFileWriterSignals, TerminatedWhileWriting_NothingLeftOldTargetWhole) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    TempDir dir;
    test::WriteFile(dir / "target", "old");
    const int code = test::RunInChild([&] {
      AtomicFileWriter writer;
      if (writer.Open(dir / "target", LinkPolicy::Follow)) return 1;
      std::string text(64 * 1024, 'n');
      if (writer.Write(std::span<char>(text.data(), text.size()))) return 2;
      ::raise(signal_number);
      return 3;  // not reached: the signal ends the process
    });
    EXPECT_EQ(code, 128 + signal_number);
    EXPECT_EQ(test::ReadFile(dir / "target"), "old");
    EXPECT_EQ(dir.Names(), Names{"target"});
  }
}

extern "C" void CountSignal(int /*signal_number*/);
volatile std::sig_atomic_t g_signals_seen = 0;
extern "C" void CountSignal(int) { g_signals_seen = g_signals_seen + 1; }

// A program's own handler still runs, after the partial file is gone; an
// ignored signal stays ignored (a program started with nohup goes on);
// and the handlers are back as they were once no named file exists.
TEST(AtomicFileWriterSignals, EarlierHandlersChainedIgnoredStaysIgnoredAllRestoredAfter) {
  TempDir dir;
  const bool unnamed = UnnamedFilesIn(dir.path());
  test::WriteFile(dir / "target", "old");
  const int code = test::RunInChild([&] {
    std::signal(SIGTERM, CountSignal);
    std::signal(SIGHUP, SIG_IGN);
    AtomicFileWriter writer;
    if (writer.Open(dir / "target", LinkPolicy::Follow)) return 1;
    struct sigaction during {};
    ::sigaction(SIGTERM, nullptr, &during);
    const bool ours = (during.sa_flags & SA_SIGINFO) != 0;
    if (ours == unnamed) return 2;  // handlers only while a named file exists
    std::string text = "new";
    if (writer.Write(std::span<char>(text.data(), text.size()))) return 3;
    ::raise(SIGHUP);
    ::raise(SIGTERM);
    if (g_signals_seen != 1) return 4;
    const FileStatus committed = writer.Commit();
    if (unnamed ? committed.has_value() : !committed.has_value()) return 5;
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    if (after.sa_handler != CountSignal) return 6;
    ::sigaction(SIGHUP, nullptr, &after);
    if (after.sa_handler != SIG_IGN) return 7;
    return 0;
  });
  EXPECT_EQ(code, 0) << "1: Open failed, 2: handlers at the wrong time, 3: Write failed, "
                        "4: the program's handler did not run once, 5: the named file was not "
                        "removed by the signal (or the unnamed one could not be committed), "
                        "6/7: handlers not restored";
  // Named: SIGTERM removed the new file and its Commit failed. Unnamed:
  // nothing was there to remove, and the Commit went through.
  EXPECT_EQ(test::ReadFile(dir / "target"), unnamed ? "new" : "old");
  EXPECT_EQ(dir.Names(), Names{"target"});
}

}  // namespace
}  // namespace vorpel
