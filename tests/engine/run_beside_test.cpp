#include "run_beside.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace vorpel {
namespace {

TEST(RunBeside, BothPartsDoneOnTwoThreadsBeforeItReturns) {
  std::thread::id beside_thread;
  std::vector<int> halves(2, 0);
  RunBeside(
      [&] {
        beside_thread = std::this_thread::get_id();
        halves[1] = 2;
      },
      [&] { halves[0] = 1; });
  EXPECT_EQ(halves, (std::vector<int>{1, 2}));
  EXPECT_NE(beside_thread, std::this_thread::get_id());
}

// What each part does, and what reaches the caller.
TEST(RunBeside, AnErrorOfEitherPartReachesTheCallerAfterBothEnded) {
  struct Case {
    const char* name;
    bool beside_throws;
    bool here_throws;
    const char* reaching;  // what the caller catches; nullptr for nothing
  };
  for (const Case& c :
       {Case{"beside throws", true, false, "beside"}, Case{"here throws", false, true, "here"},
        Case{"both throw", true, true, "here"}}) {
    SCOPED_TRACE(c.name);
    std::atomic<bool> beside_ended = false;
    std::atomic<bool> here_ended = false;
    std::string caught;
    try {
      RunBeside(
          [&](std::stop_token stop) {
            // Stays until here is done or asks it to stop, so it is still
            // running when here throws.
            while (!stop.stop_requested() && !here_ended) std::this_thread::yield();
            beside_ended = true;
            if (c.beside_throws) throw std::runtime_error("beside");
          },
          [&] {
            if (c.here_throws) throw std::runtime_error("here");
            here_ended = true;
          });
    } catch (const std::runtime_error& error) {
      caught = error.what();
      // Joined before the error got here, not left running.
      EXPECT_TRUE(beside_ended);
    }
    EXPECT_EQ(caught, c.reaching);
    EXPECT_TRUE(beside_ended);
  }
}

// A part that fails without throwing gives its error back through what it
// captured, as a one-thread run gives it.
TEST(RunBeside, AFailedPartsErrorValueIsThereWhenItReturns) {
  std::error_code first;
  std::error_code second;
  RunBeside([&] { second = std::make_error_code(std::errc::io_error); }, [&] { first = {}; });
  EXPECT_FALSE(first);
  EXPECT_EQ(second, std::make_error_code(std::errc::io_error));
}

// Where no thread can be started (a user at its process limit), beside runs
// on this thread after here, and the job still gets done.
TEST(RunBeside, NoThreadToBeHad_BesideRunsAfterHereOnThisThread) {
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    // Root is above the process limit; an ordinary user is bound by it.
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_NPROC, &none) != 0) _exit(2);
    std::vector<int> order;
    std::thread::id beside_thread;
    RunBeside(
        [&] {
          order.push_back(2);
          beside_thread = std::this_thread::get_id();
        },
        [&] { order.push_back(1); });
    _exit(order == std::vector<int>{1, 2} && beside_thread == std::this_thread::get_id() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot become another user here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace vorpel
