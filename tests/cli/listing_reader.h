#pragma once

// The listing of --list read back, written apart from the program's own
// escaping: a line is one item, "\\" "\n" "\r" "\t" and "\xHH" stand for
// their bytes, and nothing else may follow a backslash.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorpel::test {

struct ReadBackListing {
  std::vector<std::string> items;  // every line but the last, un-escaped
  std::string last_line;           // without its line feed
  std::string error;               // empty when the listing was well formed
};

inline std::optional<int> HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;  // lower case is not written
}

// One line un-escaped; nullopt for a backslash followed by anything else,
// or a raw control byte (which would not keep the item on one line, or
// would be lost on a terminal).
inline std::optional<std::string> Unescape(std::string_view line) {
  std::string bytes;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c == 0x7F) return std::nullopt;
    if (c != '\\') {
      bytes.push_back(line[i]);
      continue;
    }
    if (++i == line.size()) return std::nullopt;
    switch (line[i]) {
      case '\\': bytes.push_back('\\'); break;
      case 'n': bytes.push_back('\n'); break;
      case 'r': bytes.push_back('\r'); break;
      case 't': bytes.push_back('\t'); break;
      case 'x': {
        if (i + 2 >= line.size()) return std::nullopt;  // two digits must follow
        const auto high = HexDigitValue(line[i + 1]);
        const auto low = HexDigitValue(line[i + 2]);
        if (!high || !low) return std::nullopt;
        bytes.push_back(static_cast<char>(*high * 16 + *low));
        i += 2;
        break;
      }
      default: return std::nullopt;
    }
  }
  return bytes;
}

inline ReadBackListing ReadListing(std::string_view text) {
  ReadBackListing listing;
  if (text.empty() || text.back() != '\n') {
    listing.error = "the listing does not end with a line feed";
    return listing;
  }
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  listing.last_line = std::string(lines.back());
  lines.pop_back();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto item = Unescape(lines[i]);
    if (!item) {
      listing.error = "line " + std::to_string(i + 1) + " is not well escaped";
      return listing;
    }
    listing.items.push_back(std::move(*item));
  }
  return listing;
}

}  // namespace vorpel::test
