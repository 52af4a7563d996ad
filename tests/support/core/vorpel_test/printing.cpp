#include "vorpel_test/printing.h"

#include <algorithm>

namespace vorpel::test {

std::string Escaped(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : bytes) {
    const auto code = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (code >= 32 && code < 127) {
      out += c;
    } else {
      out += "\\x";
      out += kHex[code >> 4];
      out += kHex[code & 15];
    }
  }
  return out + "\"";
}

std::string Escaped(const std::vector<std::string>& items) {
  std::string out = "{";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) out += ", ";
    out += Escaped(items[i]);
  }
  return out + "}";
}

std::string FirstDifference(const std::vector<std::string>& got,
                            const std::vector<std::string>& expected) {
  const std::size_t common = std::min(got.size(), expected.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (got[i] != expected[i]) {
      return "item " + std::to_string(i) + ": got " + Escaped(got[i]) + ", expected " +
             Escaped(expected[i]);
    }
  }
  if (got.size() != expected.size()) {
    return "got " + std::to_string(got.size()) + " items, expected " +
           std::to_string(expected.size());
  }
  return {};
}

}  // namespace vorpel::test
