#include "file_reading.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "run_beside.h"
#include "vorpel_test/assertions.h"
#include "vorpel_test/child_process.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"

namespace vorpel {
namespace {

namespace fs = std::filesystem;
using test::Succeeded;
using test::TempDir;

std::string RandomBytes(std::size_t size, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

// ---------------------------------------------------------------------------
// FileExists

TEST(FileExists, FilesYesFoldersAndEmptyPathNo) {
  TempDir dir;
  test::WriteFile(dir / "file", "x");
  test::WriteFile(dir / "empty", "");
  fs::create_directory(dir / "folder");
  fs::create_symlink("file", dir / "link-to-file");
  fs::create_symlink("folder", dir / "link-to-folder");
  fs::create_symlink("nowhere", dir / "dangling");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  struct Case {
    fs::path path;
    bool exists;
  };
  const std::vector<Case> cases = {
      {dir / "file", true},         {dir / "empty", true},    {dir / "fifo", true},
      {dir / "link-to-file", true}, {dir / "folder", false},  {dir / "link-to-folder", false},
      {dir / "dangling", false},    {dir / "missing", false}, {dir / "file" / "below", false},
      {fs::path(), false},
  };
  for (const auto& [path, exists] : cases) EXPECT_EQ(FileExists(path), exists) << path;
}

// ---------------------------------------------------------------------------
// Reading

// The file at path, holding bytes, is read whole, with a spare byte after.
void ExpectReadWhole(const fs::path& path, const std::string& bytes) {
  ByteBuffer buffer;
  ASSERT_TRUE(Succeeded(ReadWholeFile(path, buffer, 1)));
  ASSERT_EQ(buffer.size(), bytes.size());
  EXPECT_GE(buffer.capacity(), bytes.size() + 1);
  EXPECT_TRUE(std::string_view(buffer.data(), buffer.size()) == bytes);
}

TEST(ReadWholeFile, ReadsEveryByteAndLeavesSpare) {
  TempDir dir;
  for (const std::size_t size : {0u, 1u, 4095u, 4096u, 3'000'001u}) {
    SCOPED_TRACE(size);
    const std::string bytes = RandomBytes(size, size);
    test::WriteFile(dir / "in", bytes);
    ExpectReadWhole(dir / "in", bytes);
  }
}

constexpr std::size_t kMiB = std::size_t{1} << 20;

TEST(ReadWholeFile, LargeFilesReadInTwoPartsWhole) {
  // Around the size from which two parts are read at once, and larger,
  // with halves that fall on and off a 2 MiB boundary.
  TempDir dir;
  for (const std::size_t size : {kSecondThreadMinimum - 1, kSecondThreadMinimum, 32 * kMiB - 1,
                                 32 * kMiB, 36 * kMiB + 12'345, 37 * kMiB + 1}) {
    SCOPED_TRACE(size);
    const std::string bytes = RandomBytes(size, size);
    test::WriteFile(dir / "in", bytes);
    ExpectReadWhole(dir / "in", bytes);

    // An observer that cannot see a part from another thread is shown
    // every byte once, in order, in the same memory the text ends up in,
    // whichever part read it.
    class InOrder final : public ReadObserver {
     public:
      explicit InOrder(const ByteBuffer& buffer) : buffer_(buffer) {}
      void Observe(std::string_view piece) override {
        seen.append(piece);
        in_buffer = in_buffer && piece.data() >= buffer_.data() &&
                    piece.data() + piece.size() <= buffer_.data() + buffer_.capacity();
      }
      std::string seen;
      bool in_buffer = true;

     private:
      const ByteBuffer& buffer_;
    };
    ByteBuffer observed_buffer;
    InOrder observer(observed_buffer);
    ASSERT_TRUE(Succeeded(ReadWholeFile(dir / "in", observed_buffer, 1, observer)));
    EXPECT_EQ(observer.seen.size(), size);
    EXPECT_TRUE(observer.seen == bytes);
    EXPECT_TRUE(observer.in_buffer);
  }
}

// An observer that can see the second part of a long file from the thread
// that reads it is shown the first part itself, the second through the one
// its Midway gave, each part's bytes once and in order, and is joined with
// it once.
class PartsSeen final : public ReadObserver {
 public:
  explicit PartsSeen(std::size_t offset = 0) : offset_(offset) {}
  void Observe(std::string_view piece) override { seen_.append(piece); }
  std::unique_ptr<ReadObserver> Midway(std::size_t offset) override {
    ++midways_;
    return std::make_unique<PartsSeen>(offset);
  }
  void Join(ReadObserver& second) override {
    joined_.push_back(static_cast<PartsSeen&>(second).offset_);
    seen_ += static_cast<PartsSeen&>(second).seen_;
  }
  std::string seen_;
  int midways_ = 0;
  std::vector<std::size_t> joined_;

 private:
  std::size_t offset_;
};

TEST(ReadWholeFile, AnObserverSeesTheSecondPartFromItsOwnThread) {
  TempDir dir;
  for (const std::size_t size : {32 * kMiB, 36 * kMiB + 12'345, kMiB}) {
    SCOPED_TRACE(size);
    const std::string bytes = RandomBytes(size, size + 1);
    test::WriteFile(dir / "in", bytes);
    ByteBuffer buffer;
    PartsSeen observer;
    ASSERT_TRUE(Succeeded(ReadWholeFile(dir / "in", buffer, 1, observer)));
    EXPECT_TRUE(observer.seen_ == bytes);
    if (!SecondThreadPays(size)) {
      EXPECT_EQ(observer.midways_, 0);  // read in one part
      EXPECT_TRUE(observer.joined_.empty());
    } else {
      ASSERT_EQ(observer.midways_, 1);
      ASSERT_EQ(observer.joined_.size(), 1u);
      EXPECT_GT(observer.joined_[0], size / 4);
      EXPECT_LT(observer.joined_[0], size);
    }
  }
}

// The threads of this process, from the system's list of them.
std::size_t ThreadsRunning() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) ++count;
  return count;
}

// Throws raise from Observe, as the observer of the first part (itself) or
// of the second (the one its Midway gives).
class ThrowingObserver final : public ReadObserver {
 public:
  ThrowingObserver(bool throw_in_second, std::function<void()> raise, bool is_second = false)
      : throw_in_second_(throw_in_second), raise_(std::move(raise)), is_second_(is_second) {}
  void Observe(std::string_view /*piece*/) override {
    if (is_second_ == throw_in_second_) raise_();
  }
  std::unique_ptr<ReadObserver> Midway(std::size_t /*offset*/) override {
    return std::make_unique<ThrowingObserver>(throw_in_second_, raise_, true);
  }

 private:
  bool throw_in_second_;
  std::function<void()> raise_;
  bool is_second_;
};

// An exception from an observer ends the read as it would on one thread,
// whichever part's observer throws: running out of memory is the read's
// error, anything else reaches the caller. Either way both parts have
// ended when the read returns.
TEST(ReadWholeFile, AnObserverThatThrowsEndsTheReadAsOneThreadWould) {
  const std::size_t size = 2 * kSecondThreadMinimum + 12'345;
  if (!SecondThreadPays(size)) GTEST_SKIP() << "one core: no part is read beside another";
  TempDir dir;
  const fs::path path = dir / "in";
  const std::string bytes = RandomBytes(size, 5);
  test::WriteFile(path, bytes);
  // A read that succeeds first, so that a helper thread the runtime starts
  // with a process's first thread (ThreadSanitizer has one) is counted.
  {
    ByteBuffer buffer;
    PartsSeen observer;
    ASSERT_TRUE(Succeeded(ReadWholeFile(path, buffer, 1, observer)));
    ASSERT_TRUE(observer.seen_ == bytes);
  }
  const std::size_t threads_before = ThreadsRunning();
  for (const bool in_second : {false, true}) {
    SCOPED_TRACE(in_second ? "second part" : "first part");
    ByteBuffer buffer;
    ThrowingObserver no_memory(in_second, [] { throw std::bad_alloc(); });
    EXPECT_THROW(static_cast<void>(ReadWholeFile(path, buffer, 1, no_memory)), std::bad_alloc);

    ThrowingObserver failing(in_second, [] { throw std::runtime_error("observer failed"); });
    EXPECT_THROW(static_cast<void>(ReadWholeFile(path, buffer, 1, failing)), std::runtime_error);

    // A thread that has been joined may be listed for a moment longer.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ThreadsRunning() > threads_before && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_LE(ThreadsRunning(), threads_before);
  }
}

// Another program shrinks the file while it is read. Whatever the moment,
// the read succeeds with a prefix of the file as it was, at least as long
// as what is left of it: never bytes from beyond a point where the reader
// found the end, never a hole.
TEST(ReadWholeFile, FileShrunkWhileReadGivesAPrefix) {
  TempDir dir;
  const fs::path path = dir / "in";
  const std::size_t size = 40 * kMiB;
  const std::size_t shrunk = 8 * kMiB;
  const std::string bytes = RandomBytes(size, 1);
  int whole = 0;
  int cut = 0;
  for (int attempt = 0; attempt < 12; ++attempt) {
    SCOPED_TRACE(attempt);
    test::WriteFile(path, bytes);
    std::atomic<bool> started{false};
    std::thread shrinker([&] {
      while (!started.load()) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::microseconds(200 * attempt));
      EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(shrunk)), 0);
    });
    ByteBuffer buffer;
    started = true;
    const FileStatus status = ReadWholeFile(path, buffer, 1);
    shrinker.join();
    ASSERT_TRUE(Succeeded(status));
    ASSERT_GE(buffer.size(), shrunk);
    ASSERT_LE(buffer.size(), size);
    EXPECT_TRUE(std::string_view(buffer.data(), buffer.size()) ==
                std::string_view(bytes).substr(0, buffer.size()));
    (buffer.size() == size ? whole : cut) += 1;
  }
  RecordProperty("whole", whole);
  RecordProperty("cut", cut);
}

TEST(ReadWholeFile, PipeLongerThanTheFirstBlock_GrowsTheBuffer) {
  // A pipe has no size to start from: the buffer starts at 64 KiB and must
  // grow, several times here, without losing or reordering a byte.
  TempDir dir;
  const fs::path fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string bytes = RandomBytes(300'000, 4);
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    // Uneven pieces, so reads end at odd places.
    for (std::size_t done = 0; done < bytes.size();) {
      const std::size_t piece = std::min<std::size_t>(bytes.size() - done, 7'777);
      const ssize_t put = ::write(fd, bytes.data() + done, piece);
      if (put <= 0) break;
      done += static_cast<std::size_t>(put);
    }
    ::close(fd);
  });
  ByteBuffer buffer;
  const FileStatus status = ReadWholeFile(fifo, buffer, 1);
  writer.join();
  ASSERT_TRUE(Succeeded(status));
  ASSERT_EQ(buffer.size(), bytes.size());
  EXPECT_GE(buffer.capacity(), bytes.size() + 1);
  EXPECT_TRUE(std::string_view(buffer.data(), buffer.size()) == bytes);
}

TEST(ReadWholeFile, FailuresNameThePathAndLeaveBufferEmpty) {
  TempDir dir;
  fs::create_directory(dir / "folder");
  for (const fs::path& path : {dir / "missing", dir / "folder"}) {
    SCOPED_TRACE(path.string());
    ByteBuffer buffer;
    buffer.Reserve(16);
    buffer.Resize(5);
    const FileStatus status = ReadWholeFile(path, buffer, 1);
    ASSERT_NE(status, std::nullopt);
    EXPECT_TRUE(status->code);
    EXPECT_NE(status->Describe().find(path.filename().string()), std::string::npos)
        << status->Describe();
    EXPECT_EQ(buffer.size(), 0u);
  }
}

TEST(ReadWholeFile, EndlessDeviceIsRefused) {
  // Reading /dev/zero would never end; the child is stopped if it tries.
  const int code = test::RunInChild([] {
    ::alarm(5);
    ByteBuffer buffer;
    return ReadWholeFile("/dev/zero", buffer) ? 0 : 1;
  });
  EXPECT_EQ(code, 0) << "1: accepted, 142: still reading after 5 s";
}

TEST(ForEachBlock, BlocksJoinToTheFileAndRespectTheSize) {
  TempDir dir;
  const std::string bytes = RandomBytes(100'000, 9);
  test::WriteFile(dir / "in", bytes);
  for (const std::size_t block_size : {1u, 7u, 4096u, 1u << 20}) {
    std::string joined;
    ASSERT_TRUE(Succeeded(ForEachBlock(dir / "in", true, block_size, [&](std::span<char> block) {
      EXPECT_LE(block.size(), block_size);
      EXPECT_FALSE(block.empty());
      joined.append(block.data(), block.size());
      return FileStatus();
    })));
    EXPECT_TRUE(joined == bytes) << block_size;
  }
}

TEST(ForEachBlock, StopsAtConsumersError) {
  TempDir dir;
  test::WriteFile(dir / "in", std::string(10'000, 'x'));
  int calls = 0;
  const FileStatus status = ForEachBlock(dir / "in", true, 100, [&](std::span<char>) {
    ++calls;
    return FileStatus(FileError{"sink", std::make_error_code(std::errc::no_space_on_device)});
  });
  ASSERT_NE(status, std::nullopt);
  EXPECT_EQ(status->code, std::make_error_code(std::errc::no_space_on_device));
  EXPECT_EQ(calls, 1);
}

TEST(ForEachBlock, LinkRefusedUnlessFollowed) {
  TempDir dir;
  test::WriteFile(dir / "real", "content");
  fs::create_symlink("real", dir / "link");
  const auto collect = [](std::string& out) {
    return [&out](std::span<char> block) {
      out.append(block.data(), block.size());
      return FileStatus();
    };
  };
  std::string followed;
  EXPECT_TRUE(Succeeded(ForEachBlock(dir / "link", true, 4096, collect(followed))));
  EXPECT_EQ(followed, "content");
  std::string refused;
  EXPECT_NE(ForEachBlock(dir / "link", false, 4096, collect(refused)), std::nullopt);
  EXPECT_EQ(refused, "");
  EXPECT_NE(ForEachBlock(dir / "missing", true, 4096, collect(refused)), std::nullopt);
}

}  // namespace
}  // namespace vorpel
