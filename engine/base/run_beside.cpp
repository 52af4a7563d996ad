#include "run_beside.h"

#include <system_error>

namespace vorpel {

bool SecondThreadPays(std::size_t bytes, std::size_t minimum) {
  return bytes >= minimum && std::thread::hardware_concurrency() >= 2;
}

namespace detail {

std::jthread StartThread(std::function<void(std::stop_token)> task) {
  try {
    return std::jthread(std::move(task));
  } catch (const std::system_error&) {
    return {};
  }
}

}  // namespace detail

}  // namespace vorpel
