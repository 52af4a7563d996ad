#include "byte_scan.h"

namespace vorpel {

std::string ByteSet::Members() const {
  std::string members;
  for (std::size_t byte = 0; byte < table_.size(); ++byte) {
    if (table_[byte]) members.push_back(static_cast<char>(byte));
  }
  return members;
}

ByteFinder::ByteFinder(const ByteSet& set) : ByteFinder(set, set.Members()) {}

// The vector version needs a member to compare with; for an empty set it
// gets the byte 0 and is never used.
ByteFinder::ByteFinder(const ByteSet& set, const std::string& members)
    : set_(set),
      small_(members.empty() ? ByteSet(std::string_view("\0", 1)) : set),
      empty_(members.empty()),
      vector_(members.size() <= 4) {}

}  // namespace vorpel
