#include "utf8_decode.h"

#include <array>
#include <cstring>

namespace vorpel {

std::size_t Utf8SequenceAt(std::string_view text) {
  if (text.empty()) return kCutShort;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t length = WellFormedLength(bytes, bytes + text.size());
  if (length != 0 || text.size() >= 4) return length;
  // Too few bytes to tell: a prefix of a sequence when the bytes there
  // complete to one with continuation bytes that every lead byte accepts.
  std::array<unsigned char, 4> padded = {bytes[0], 0xBF, 0xBF, 0xBF};
  if (bytes[0] == 0xF4) padded[1] = 0x8F;
  if (bytes[0] == 0xED) padded[1] = 0x9F;
  std::memcpy(padded.data(), bytes, text.size());
  return WellFormedLength(padded.data(), padded.data() + 4) > text.size() ? kCutShort : 0;
}

}  // namespace vorpel
