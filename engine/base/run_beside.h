#pragma once

// Work beside the caller: the one place in the engine that starts a thread.
//
// A long text is read, checked, indexed or cut in two parts at once, the
// second on another core. The rule for when that pays is the same for all
// of them (SecondThreadPays), and RunBeside makes sure the second part is
// done, joined and its errors seen whatever happens to the first.

#include <cstddef>
#include <exception>
#include <functional>
#include <stop_token>
#include <thread>
#include <type_traits>
#include <utility>

namespace vorpel {

// The size from which a job over a text is shared with a second thread.
// Starting and joining a thread costs some tens of microseconds; at this
// size a job takes some milliseconds, and half of it is worth the thread.
inline constexpr std::size_t kSecondThreadMinimum = std::size_t{8} << 20;

// Whether a job over bytes bytes is worth a second thread: it is at least
// minimum bytes long and the machine has a second core to run it on.
bool SecondThreadPays(std::size_t bytes, std::size_t minimum = kSecondThreadMinimum);

namespace detail {

// Starts task on a new thread; an empty (not joinable) thread when the
// system has none to give.
std::jthread StartThread(std::function<void(std::stop_token)> task);

}  // namespace detail

// Runs beside on a second thread while here runs on this one, and returns
// when both have ended. beside may take a std::stop_token, which asks it
// to stop early once here has thrown. When no thread can be started,
// beside runs on this thread after here: the same work, one part after the
// other, so a caller gets the same result either way.
//
// Errors come back as the one-thread run gives them: what beside returns
// through its captures is there when RunBeside returns, and an exception
// thrown by either reaches the caller only after both have ended (here's
// when both throw).
//
//     std::size_t first = 0, second = 0;
//     RunBeside([&] { second = Count(back_half); }, [&] { first = Count(front_half); });
template <typename Beside, typename Here>
void RunBeside(Beside&& beside, Here&& here) {
  std::exception_ptr beside_error;
  const auto run_beside = [&beside, &beside_error](std::stop_token stop) {
    try {
      if constexpr (std::is_invocable_v<Beside&, std::stop_token>) {
        beside(std::move(stop));
      } else {
        beside();
      }
    } catch (...) {
      beside_error = std::current_exception();
    }
  };
  std::jthread thread = detail::StartThread(run_beside);
  // Should here throw, the thread asks beside to stop and joins it on the
  // way out.
  std::forward<Here>(here)();
  if (thread.joinable()) {
    thread.join();
  } else {
    run_beside(std::stop_token());
  }
  if (beside_error) std::rethrow_exception(beside_error);
}

}  // namespace vorpel
