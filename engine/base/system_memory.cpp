#include "system_memory.h"

#include <unistd.h>

namespace vorpel {
namespace {

// What a page is taken to be should the system not answer, which Linux
// always does: the smallest size any system this runs on gives its pages.
constexpr std::size_t kSmallestPageSize = 4096;

std::size_t AskPageSize() {
  const long page = ::sysconf(_SC_PAGESIZE);
  return page > 0 ? static_cast<std::size_t>(page) : kSmallestPageSize;
}

}  // namespace

std::size_t PageSize() {
  static const std::size_t page = AskPageSize();
  return page;
}

}  // namespace vorpel
