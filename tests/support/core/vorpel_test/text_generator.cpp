#include "vorpel_test/text_generator.h"

#include <numeric>
#include <stdexcept>

namespace vorpel::test {
namespace {

void Append(const Piece& piece, std::mt19937_64& random, std::string& out) {
  switch (piece.kind) {
    case Piece::Kind::kLiteral: out += piece.bytes; break;
    case Piece::Kind::kOneOf:
      if (!piece.bytes.empty()) out += piece.bytes[random() % piece.bytes.size()];
      break;
    case Piece::Kind::kRepeated:
      if (!piece.bytes.empty()) {
        const char byte = piece.bytes[random() % piece.bytes.size()];
        out.append(piece.least + random() % (piece.most - piece.least + 1), byte);
      }
      break;
    case Piece::Kind::kWord: {
      const std::uint64_t count = piece.least + random() % (piece.most - piece.least + 1);
      for (std::uint64_t i = 0; i < count; ++i) Append(piece.parts.front(), random, out);
      break;
    }
    case Piece::Kind::kChoice: {
      const std::uint64_t total =
          std::accumulate(piece.weights.begin(), piece.weights.end(), std::uint64_t{0});
      std::uint64_t roll = random() % total;
      std::size_t option = 0;
      while (roll >= piece.weights[option]) roll -= piece.weights[option++];
      Append(piece.parts[option], random, out);
      break;
    }
  }
}

Piece Counted(Piece::Kind kind, std::uint64_t least, std::uint64_t most) {
  if (least > most) throw std::invalid_argument("generated text: least above most");
  Piece piece;
  piece.kind = kind;
  piece.least = least;
  piece.most = most;
  return piece;
}

}  // namespace

Piece Literal(std::string_view text) {
  Piece piece;
  piece.bytes = text;
  return piece;
}

Piece OneOf(std::string_view bytes) {
  Piece piece;
  piece.kind = Piece::Kind::kOneOf;
  piece.bytes = bytes;
  return piece;
}

Piece Repeated(std::uint64_t least, std::uint64_t most, std::string_view bytes) {
  Piece piece = Counted(Piece::Kind::kRepeated, least, most);
  piece.bytes = bytes;
  return piece;
}

Piece Word(std::uint64_t least, std::uint64_t most, Piece letter) {
  Piece piece = Counted(Piece::Kind::kWord, least, most);
  piece.parts.push_back(std::move(letter));
  return piece;
}

Piece Choice(std::vector<std::pair<std::uint64_t, Piece>> options) {
  Piece piece;
  piece.kind = Piece::Kind::kChoice;
  for (auto& [weight, option] : options) {
    if (weight == 0) throw std::invalid_argument("generated text: an option of weight 0");
    piece.weights.push_back(weight);
    piece.parts.push_back(std::move(option));
  }
  if (piece.parts.empty()) throw std::invalid_argument("generated text: a choice of nothing");
  return piece;
}

std::string ByteRange(unsigned char first, unsigned char last) {
  std::string bytes;
  for (unsigned code = first; code <= last; ++code) bytes.push_back(static_cast<char>(code));
  return bytes;
}

TextStyle Steps(std::vector<Piece> step, bool cut_to_size) {
  TextStyle style;
  style.step = std::move(step);
  style.cut_to_size = cut_to_size;
  return style;
}

std::string MakeText(std::size_t size, std::mt19937_64& random, const TextStyle& style) {
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) {
    for (const Piece& piece : style.step) Append(piece, random, text);
  }
  if (style.cut_to_size && text.size() > size) text.resize(size);
  if (style.ending && !text.empty()) Append(*style.ending, random, text);
  return text;
}

std::string MakeText(std::size_t size, std::uint64_t seed, const TextStyle& style) {
  std::mt19937_64 random(seed);
  return MakeText(size, random, style);
}

TextStyle BenchmarkProse() {
  return Steps(
      {Word(1, 12, OneOf(ByteRange('a', 'z'))),
       Choice({{6, Literal(". ")}, {2, Literal(", ")}, {3, Literal("\n")}, {89, Literal(" ")}})});
}

TextStyle PlainSentences() {
  std::vector<std::pair<std::uint64_t, Piece>> gaps;
  for (const char* gap : {" ", " ", " ", ", ", ". ", "! ", "? ", "\n"}) {
    gaps.emplace_back(1, Literal(gap));
  }
  return Steps({Word(1, 9, OneOf(ByteRange('a', 'z'))), Choice(std::move(gaps))});
}

TextStyle MixedText() {
  std::vector<std::pair<std::uint64_t, Piece>> gaps;
  for (const char* gap :
       {" ", " ", " ", " ", " ", ", ", ". ", "! ", "? ", "_ ", "\r\n", "\n", "\t", " \\ ", "  "}) {
    gaps.emplace_back(1, Literal(gap));
  }
  const Piece letter = Choice({{1, Literal("\xE9")},  // an accented e in Latin-1
                               {1, OneOf(ByteRange('A', 'Z'))},
                               {38, OneOf(ByteRange('a', 'z'))}});
  return Steps({Word(1, 11, letter), Choice(std::move(gaps))});
}

TextStyle BinaryWords() {
  std::vector<std::pair<std::uint64_t, Piece>> gaps;
  for (const char* gap :
       {" ", " ", " ", ", ", ". ", "! ", "? ", "_", "  ", "\r\n", "\n", "\t", ".", "?!"}) {
    gaps.emplace_back(1, Literal(gap));
  }
  const Piece letter = Choice({{1, OneOf(ByteRange(0x80, 0xFF))},
                               {1, Literal(std::string(1, '\0'))},
                               {3, OneOf(ByteRange('A', 'Z'))},
                               {25, OneOf(ByteRange('a', 'z'))}});
  return Steps({Word(1, 8, letter), Choice(std::move(gaps))});
}

}  // namespace vorpel::test
