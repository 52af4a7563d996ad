#include "temp_file_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "session.h"
#include "source_reader.h"
#include "vorpel_test/assertions.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"
#include "write_pipeline.h"

namespace vorpel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using Names = std::vector<std::string>;
using Text = std::optional<std::string>;

// Where the file goes: XDG_CACHE_HOME only when absolute, then HOME, then
// the password database only when HOME is unset or empty; no place
// without an absolute home.
TEST(TempFilePath, PlaceFollowsCacheHomeThenHomeThenAccount) {
  struct Case {
    Text cache_home, home, account_home;
    std::optional<TempFolder> expected;
  };
  const Case cases[] = {
      {"/c", "/h", "/p", TempFolder{"/", "/c/vorpel"}},
      {"c/rel", "/h", std::nullopt, TempFolder{"/h", "/h/.cache/vorpel"}},
      {"", "/h", std::nullopt, TempFolder{"/h", "/h/.cache/vorpel"}},
      {std::nullopt, std::nullopt, "/p", TempFolder{"/p", "/p/.cache/vorpel"}},
      {std::nullopt, "", "/p", TempFolder{"/p", "/p/.cache/vorpel"}},
      {std::nullopt, "h/rel", "/p", std::nullopt},
      {"c/rel", std::nullopt, std::nullopt, std::nullopt},
      {std::nullopt, "", "", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cache_home.value_or("(unset)") + " " + c.home.value_or("(unset)") + " " +
                 c.account_home.value_or("(unset)"));
    const std::optional<TempFolder> found =
        FindTempFolder(UserFolders{c.cache_home, c.home, c.account_home});
    ASSERT_EQ(found.has_value(), c.expected.has_value());
    if (!found) continue;
    EXPECT_EQ(found->existing, c.expected->existing);
    EXPECT_EQ(found->folder, c.expected->folder);
  }
}

// Missing folders are made owner-only whatever the umask; folders that
// exist keep their mode, and a cache folder may be the user's link.
TEST(TempFilePath, MissingFoldersMadeOwnerOnlyAndLinkedCacheFollowed) {
  TempDir dir;
  fs::create_directory(dir / "real-cache");
  fs::permissions(dir / "real-cache", fs::perms(0755));
  fs::create_directory_symlink("real-cache", dir / ".cache");
  const mode_t mask = ::umask(0);
  fs::path made;
  const FileStatus deep = PrepareTempFolder({dir.path(), dir / "a" / "b" / "vorpel"}, made);
  fs::path linked;
  const FileStatus through_link =
      PrepareTempFolder({dir.path(), dir / ".cache" / "vorpel"}, linked);
  ::umask(mask);

  ASSERT_TRUE(test::Succeeded(deep));
  EXPECT_EQ(made, dir / "a" / "b" / "vorpel" / "%Vorpel.temp%");
  for (const char* folder : {"a", "a/b", "a/b/vorpel"}) {
    EXPECT_EQ(test::PermissionsOf(dir / folder), fs::perms(0700)) << folder;
  }
  ASSERT_TRUE(test::Succeeded(through_link));
  EXPECT_EQ(linked, dir / ".cache" / "vorpel" / "%Vorpel.temp%");
  EXPECT_EQ(test::PermissionsOf(dir / "real-cache"), fs::perms(0755));
  EXPECT_EQ(test::PermissionsOf(dir / "real-cache" / "vorpel"), fs::perms(0700));
}

// A "vorpel" that is a link, a file or someone else's folder, or a home
// that is missing, is no place: the Write with the fix on is refused with
// ErrorIO saying why, and nothing is written, there or anywhere else.
TEST(TempFilePath, UnusablePlace_WriteRefusedNothingWritten) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& cache)> plant;
    std::string detail;  // after the cache folder's path
  };
  const std::string not_own = "/vorpel: " + make_error_code(FileErrc::NotOwnFolder).message();
  const Case cases[] = {
      {"link",
       [](const fs::path& cache) { fs::create_directory_symlink("elsewhere", cache / "vorpel"); },
       not_own},
      {"file", [](const fs::path& cache) { test::WriteFile(cache / "vorpel", ""); }, not_own},
      {"another user's",
       [](const fs::path& cache) {
         fs::create_directory(cache / "vorpel");
         // Only root can give a folder away; running as nobody, root is the other.
         const uid_t other = ::geteuid() == 65534 ? 0 : 65534;
         if (::chown((cache / "vorpel").c_str(), other, other) != 0) fs::remove(cache / "vorpel");
       },
       not_own},
  };
  std::string skipped;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    fs::create_directory(dir / "elsewhere");
    c.plant(dir.path());
    if (!fs::exists(dir / "vorpel") && !fs::is_symlink(dir / "vorpel")) {
      skipped = "not root: no folder could be given to another user (chown)";
      continue;
    }
    const test::ScopedEnvironment cache_home("XDG_CACHE_HOME", dir.path().string());
    Session session;
    session.settings.SetDefaultOptions();
    session.pool = BuildPool(test::MakeBuffer("some words. and more"), session.settings);
    test::RecordingReporter reporter;
    const WriteOutcome outcome = RunWriteCommand(session, {"3", dir / "out.txt"}, reporter);
    EXPECT_EQ(outcome, WriteOutcome::Failed);
    EXPECT_EQ(reporter.events, (Names{"beep", "ErrorIO"}));
    EXPECT_EQ(reporter.details, Names{dir.path().string() + c.detail});
    EXPECT_EQ(dir.Names(), (Names{"elsewhere", "vorpel"}));
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
  }
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

TEST(TempFilePath, NoHomeOrMissingHome_Refused) {
  TempDir dir;
  fs::path path;
  const FileStatus missing =
      PrepareTempFolder({dir / "gone", dir / "gone" / ".cache" / "vorpel"}, path);
  ASSERT_TRUE(missing.has_value());
  EXPECT_EQ(missing->Describe(),
            (dir / "gone" / ".cache").string() + ": " +
                std::make_error_code(std::errc::no_such_file_or_directory).message());
  EXPECT_FALSE(fs::exists(dir / "gone"));

  const test::ScopedEnvironment cache_home("XDG_CACHE_HOME", std::nullopt);
  const test::ScopedEnvironment home("HOME", "relative/home");
  const FileStatus none = TempFilePath(path);
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(none->Describe(), make_error_code(FileErrc::NoHomeFolder).message());
}

}  // namespace
}  // namespace vorpel
