#include "pool_listing.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

#include "utf8_decode.h"

namespace vorpel {
namespace {

// What a byte becomes in a listing.
enum class ByteClass : unsigned char { Plain, Short, Hex };

struct ByteClasses {
  std::array<ByteClass, 256> eight_bit{};
  std::array<ByteClass, 256> utf8{};
};

constexpr ByteClasses MakeByteClasses() {
  ByteClasses classes;
  for (int byte = 0; byte < 256; ++byte) {
    ByteClass kind = ByteClass::Plain;
    if (byte == '\\' || byte == '\n' || byte == '\r' || byte == '\t') {
      kind = ByteClass::Short;
    } else if (byte < 0x20 || byte == 0x7F) {
      kind = ByteClass::Hex;
    }
    classes.utf8[static_cast<std::size_t>(byte)] = kind;
    classes.eight_bit[static_cast<std::size_t>(byte)] = byte >= 0x80 ? ByteClass::Hex : kind;
  }
  return classes;
}

constexpr ByteClasses kByteClasses = MakeByteClasses();

void AppendEscaped(std::string& out, std::string_view bytes, TextEncoding encoding) {
  const std::array<ByteClass, 256>& classes =
      encoding == TextEncoding::Utf8 ? kByteClasses.utf8 : kByteClasses.eight_bit;
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::size_t plain_from = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    ByteClass kind = classes[byte];
    if (kind == ByteClass::Plain && byte >= 0x80) {
      // UTF-8 text: a whole character passes as it is, a byte that is part
      // of none is escaped.
      const std::size_t length = Utf8SequenceAt(bytes.substr(i, 4));
      if (length != 0 && length != kCutShort) {
        i += length - 1;
        continue;
      }
      kind = ByteClass::Hex;
    }
    if (kind == ByteClass::Plain) continue;
    out.append(bytes.data() + plain_from, i - plain_from);
    plain_from = i + 1;
    out.push_back('\\');
    if (kind == ByteClass::Hex) {
      out.push_back('x');
      out.push_back(kHexDigits[byte >> 4]);
      out.push_back(kHexDigits[byte & 0xF]);
      continue;
    }
    switch (byte) {
      case '\n': out.push_back('n'); break;
      case '\r': out.push_back('r'); break;
      case '\t': out.push_back('t'); break;
      default: out.push_back('\\'); break;
    }
  }
  out.append(bytes.data() + plain_from, bytes.size() - plain_from);
}

// Collects the listing and hands it to the sink in blocks of about
// kBlockSize bytes; an item longer than that is escaped piece by piece, so
// no copy of a whole long item is ever made.
class ListingBlocks {
 public:
  explicit ListingBlocks(ByteSink& sink) : sink_(sink) { block_.reserve(kBlockSize + 64); }

  FileStatus AddEscaped(std::string_view bytes, TextEncoding encoding) {
    while (!bytes.empty()) {
      // A piece escapes to at most four bytes a byte, and ends before the
      // continuation bytes of a character it would cut.
      std::size_t piece = std::min(bytes.size(), kBlockSize / 4);
      for (int back = 0; back < 3 && piece < bytes.size() &&
                         IsUtf8Continuation(static_cast<unsigned char>(bytes[piece]));
           ++back) {
        --piece;
      }
      AppendEscaped(block_, bytes.substr(0, piece), encoding);
      bytes.remove_prefix(piece);
      if (auto error = FlushFull()) return error;
    }
    return std::nullopt;
  }
  FileStatus AddPlain(std::string_view bytes) {
    block_.append(bytes);
    return FlushFull();
  }
  FileStatus Finish() { return block_.empty() ? std::nullopt : Flush(); }

 private:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  FileStatus FlushFull() { return block_.size() >= kBlockSize ? Flush() : std::nullopt; }
  FileStatus Flush() {
    auto error = sink_.Write(std::span<char>(block_.data(), block_.size()));
    block_.clear();
    return error;
  }

  ByteSink& sink_;
  std::string block_;
};

}  // namespace

std::string_view EncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8: return "UTF-8";
    case TextEncoding::RawBytes: return "bytes";
    case TextEncoding::EightBit: break;
  }
  return "8-bit";
}

std::string EscapeItem(std::string_view item, TextEncoding encoding) {
  std::string escaped;
  escaped.reserve(item.size());
  AppendEscaped(escaped, item, encoding);
  return escaped;
}

FileStatus WritePoolListing(std::span<const SequencePool> parts, std::span<const std::string> names,
                            ByteSink& sink, bool overlapping) {
  ListingBlocks listing(sink);
  std::size_t count = 0;
  for (const SequencePool& part : parts) {
    for (std::size_t i = 0; i < part.Size(); ++i) {
      if (auto error = listing.AddEscaped(part.Item(i), part.Encoding())) return error;
      if (auto error = listing.AddPlain("\n")) return error;
    }
    count += part.Size();
  }
  std::string last = std::to_string(count) + (overlapping ? " overlapping" : "") +
                     (count == 1 ? " sequence" : " sequences");
  for (std::size_t i = 0; i < parts.size() && i < names.size(); ++i) {
    last += "; ";
    AppendEscaped(last, names[i], TextEncoding::Utf8);
    last += ": ";
    last += EncodingName(parts[i].Encoding());
  }
  last += '\n';
  if (auto error = listing.AddPlain(last)) return error;
  return listing.Finish();
}

}  // namespace vorpel
