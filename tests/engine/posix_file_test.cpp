#include "posix_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "file_error.h"
#include "vorpel_test/assertions.h"
#include "vorpel_test/child_process.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"

namespace vorpel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string RandomBytes(std::size_t size, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

bool IsOpenDescriptor(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// Both ends of a pipe, closed when the object goes.
struct Pipe {
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) == 0) {
      read_end = FileDescriptor(fds[0]);
      write_end = FileDescriptor(fds[1]);
    }
  }
  FileDescriptor read_end;
  FileDescriptor write_end;
};

// SIGUSR1 interrupts system calls (no SA_RESTART) and is counted while the
// object lives; the old handling comes back afterwards.
class InterruptingSignal {
 public:
  InterruptingSignal() {
    count = 0;
    struct sigaction action {};
    action.sa_handler = [](int) { count.fetch_add(1); };
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ::sigaction(SIGUSR1, &action, &old_);
  }
  ~InterruptingSignal() { ::sigaction(SIGUSR1, &old_, nullptr); }
  InterruptingSignal(const InterruptingSignal&) = delete;
  InterruptingSignal& operator=(const InterruptingSignal&) = delete;

  static inline std::atomic<int> count{0};

 private:
  struct sigaction old_ {};
};

// ---------------------------------------------------------------------------
// FileDescriptor

TEST(FileDescriptor, ClosesOnceByItsOneOwner) {
  Pipe pipe;
  const int raw = pipe.read_end.get();
  ASSERT_TRUE(IsOpenDescriptor(raw));
  {
    FileDescriptor moved(std::move(pipe.read_end));
    EXPECT_EQ(moved.get(), raw);
    EXPECT_FALSE(pipe.read_end.IsOpen());  // NOLINT(bugprone-use-after-move)
    EXPECT_TRUE(IsOpenDescriptor(raw));
  }
  EXPECT_FALSE(IsOpenDescriptor(raw));

  const int write_raw = pipe.write_end.get();
  EXPECT_FALSE(pipe.write_end.Close());
  EXPECT_FALSE(pipe.write_end.IsOpen());
  EXPECT_FALSE(IsOpenDescriptor(write_raw));
  EXPECT_FALSE(pipe.write_end.Close());  // a second Close has nothing to do
}

TEST(FileDescriptor, AssignmentClosesTheOldDescriptor) {
  Pipe first;
  Pipe second;
  const int old_raw = first.read_end.get();
  const int new_raw = second.read_end.get();
  first.read_end = std::move(second.read_end);
  EXPECT_FALSE(IsOpenDescriptor(old_raw));
  EXPECT_EQ(first.read_end.get(), new_raw);
  EXPECT_TRUE(IsOpenDescriptor(new_raw));
}

// ---------------------------------------------------------------------------
// OpenForReading

TEST(OpenForReading, AcceptsFilesAndPipesOnly) {
  TempDir dir;
  test::WriteFile(dir / "file", "12345");
  fs::create_directory(dir / "folder");
  fs::create_symlink("file", dir / "link");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  // A writer on the pipe, so that opening it for reading does not wait.
  const FileDescriptor fifo_writer(::open((dir / "fifo").c_str(), O_RDWR | O_CLOEXEC));
  ASSERT_TRUE(fifo_writer.IsOpen());

  struct Case {
    fs::path path;
    bool follow_links;
    std::error_code error;
    bool regular;
    std::uintmax_t size;
  };
  const std::vector<Case> cases = {
      {dir / "file", true, {}, true, 5},
      {dir / "link", true, {}, true, 5},
      {dir / "fifo", true, {}, false, 0},
      {dir / "link", false, std::make_error_code(std::errc::too_many_symbolic_link_levels), false,
       0},
      {dir / "folder", true, std::make_error_code(std::errc::is_a_directory), false, 0},
      {"/dev/null", true, make_error_code(FileErrc::NotRegularFile), false, 0},
      {dir / "missing", true, std::make_error_code(std::errc::no_such_file_or_directory), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string() + (c.follow_links ? "" : " (links refused)"));
    ReadableFile file;
    EXPECT_EQ(OpenForReading(c.path, c.follow_links, file), c.error);
    EXPECT_EQ(file.fd.IsOpen(), !c.error);
    if (c.error) continue;
    EXPECT_EQ(file.regular, c.regular);
    EXPECT_EQ(file.size, c.size);
  }
}

// ---------------------------------------------------------------------------
// ReadSome and WriteAll

TEST(ReadSome, InterruptedWaitIsResumed) {
  const InterruptingSignal signal;
  Pipe pipe;
  std::error_code error;
  std::size_t got = 99;
  char into[16];
  std::thread reader([&] { error = ReadSome(pipe.read_end.get(), into, got); });
  // The reader waits on the empty pipe; every signal breaks its wait.
  for (int i = 0; i < 20; ++i) {
    ::pthread_kill(reader.native_handle(), SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(WriteAll(pipe.write_end.get(), std::string_view("abc")));
  reader.join();
  EXPECT_GT(InterruptingSignal::count.load(), 0);
  EXPECT_FALSE(error) << error.message();
  ASSERT_EQ(got, 3u);
  EXPECT_EQ(std::string(into, got), "abc");
}

TEST(WriteAll, InterruptedAndShortWritesStillDeliverEveryByte) {
  // The writer fills the pipe and waits for a slow reader while signals
  // keep breaking its waits, so write returns early: with part of the
  // block when some of it went in, with EINTR when none did. Every byte
  // must still arrive, once and in order.
  const InterruptingSignal signal;
  Pipe pipe;
  const std::string bytes = RandomBytes(2 << 20, 11);
  std::error_code error;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    error = WriteAll(pipe.write_end.get(), bytes);
    pipe.write_end.Reset();
    done = true;
  });
  std::thread pester([&] {
    while (!done) {
      ::pthread_kill(writer.native_handle(), SIGUSR1);
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  });
  std::string received;
  char block[4096];
  for (;;) {
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    std::size_t got = 0;
    const std::error_code read_error = ReadSome(pipe.read_end.get(), block, got);
    if (read_error || got == 0) break;
    received.append(block, got);
  }
  pester.join();  // first: it signals the writer until the writer is done
  writer.join();
  EXPECT_GT(InterruptingSignal::count.load(), 0);
  EXPECT_FALSE(error) << error.message();
  ASSERT_EQ(received.size(), bytes.size());
  EXPECT_TRUE(received == bytes);
}

TEST(WriteAll, FailuresComeBackAsTheSystemsError) {
  // Run in a child: SIGPIPE is ignored there, as the batch command does.
  struct Case {
    const char* name;
    std::errc expected;
    int (*write)();  // the error number WriteAll returned, 0 for none
  };
  const Case cases[] = {
      {"closed descriptor", std::errc::bad_file_descriptor,
       [] { return WriteAll(-1, std::string_view("x")).value(); }},
      {"descriptor open for reading", std::errc::bad_file_descriptor,
       [] {
         Pipe pipe;
         return WriteAll(pipe.read_end.get(), std::string_view("x")).value();
       }},
      {"pipe whose reader has gone", std::errc::broken_pipe,
       [] {
         std::signal(SIGPIPE, SIG_IGN);
         Pipe pipe;
         pipe.read_end.Reset();
         return WriteAll(pipe.write_end.get(), std::string_view("x")).value();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(test::RunInChild(c.write), static_cast<int>(c.expected));
  }
}

TEST(WriteAll, EmptyBlockAsksNothingOfTheSystem) {
  // Not even of a descriptor that could not take a byte.
  EXPECT_FALSE(WriteAll(-1, std::string_view()));
}

TEST(WriteAll, FileSizeLimit_WritesUpToItThenFails) {
  // The first write stops short at the limit; the next one fails. The file
  // keeps exactly the bytes up to the limit.
  TempDir dir;
  const fs::path path = dir / "limited";
  constexpr std::size_t kLimit = 100 * 1024;
  const std::string bytes = RandomBytes(1 << 20, 5);
  const int code = test::RunInChild([&] {
    if (!test::LimitFileSize(kLimit)) return 10;
    const FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    if (!fd.IsOpen()) return 11;
    const std::error_code error = WriteAll(fd.get(), bytes);
    return error == std::errc::file_too_large ? 0 : 1;
  });
  EXPECT_EQ(code, 0) << "1: no error or the wrong one";
  const std::string kept = test::ReadFile(path);
  ASSERT_EQ(kept.size(), kLimit);
  EXPECT_TRUE(kept == std::string_view(bytes).substr(0, kLimit));
}

}  // namespace
}  // namespace vorpel
