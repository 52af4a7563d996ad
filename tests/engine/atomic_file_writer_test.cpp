#include "atomic_file_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <random>
#include <string>
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

TEST(AtomicFileWriter, NewTargetGetsOrdinaryPermissions) {
  TempDir dir;
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(Succeeded(WriteAtomically(dir / "new", "x")));
  ::umask(mask);
  EXPECT_EQ(test::PermissionsOf(dir / "new"), fs::perms(0644));
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
