// The generated texts: the suites' styles give the bytes the suites were
// written against, and every piece takes its draws in the stated order
// (checked against a second engine drawn by hand).

#include "vorpel_test/text_generator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "vorpel_test/chi_square.h"

namespace vorpel::test {
namespace {

std::uint64_t Fnv1a(const std::string& text) {
  std::uint64_t hash = 14695981039346656037u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211u;
  }
  return hash;
}

// The checksums were taken from the texts of the generators these styles
// replaced. The stress walk draws its sources from the engine it walks
// with, so a different text would send it elsewhere.
TEST(TextGenerator, SuiteStylesGiveTheTextsTheSuitesWereWrittenAgainst) {
  EXPECT_EQ(Fnv1a(MakeText(1 << 20, 20261208, BenchmarkProse())), 0xbfc23aeac4f6ac99u);
  EXPECT_EQ(Fnv1a(MakeText(200000, 1, PlainSentences())), 0x6f996d38721b5139u);
  EXPECT_EQ(Fnv1a(MakeText(300000, 11, MixedText())), 0x59f89e0c5d8a62e1u);
  std::mt19937_64 walk(20240611);
  std::string sources;
  for (const std::size_t size : {0, 1, 60, 400, 1500, 4000}) {
    sources += MakeText(size, walk, BinaryWords());
  }
  EXPECT_EQ(sources.size(), 5961u);
  EXPECT_EQ(Fnv1a(sources), 0xd11ac83ac07fa382u);
}

TEST(TextGenerator, PiecesDrawInTheStatedOrder) {
  for (std::uint64_t seed = 1; seed <= 50; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937_64 by_hand(seed);
    const auto below = [&by_hand](std::uint64_t n) { return by_hand() % n; };
    std::string expected;
    // Repeated: the byte first, then the count.
    const char byte = "xyz"[below(3)];
    expected.append(2 + below(4), byte);
    // Word: the count, then each letter.
    for (std::uint64_t i = 1 + below(5); i > 0; --i) expected += static_cast<char>('a' + below(26));
    // Choice {1: "<", 3: ">"}: a draw of 0 mod 4 takes the first.
    expected += below(4) == 0 ? "<" : ">";
    // A literal and empty byte sets draw nothing; one byte draws once.
    expected += "|";
    below(1);
    expected += "q";

    std::mt19937_64 generator(seed);
    const TextStyle style = Steps({Repeated(2, 5, "xyz"), Word(1, 5, OneOf(ByteRange('a', 'z'))),
                                   Choice({{1, Literal("<")}, {3, Literal(">")}}), Literal("|"),
                                   OneOf(""), Repeated(1, 9, ""), OneOf("q")},
                                  /*cut_to_size=*/false);
    EXPECT_EQ(MakeText(1, generator, style), expected);
    EXPECT_EQ(generator(), by_hand()) << "the same number of draws";
  }
}

TEST(TextGenerator, SizeCutAndEnding) {
  struct Case {
    std::size_t size;
    bool cut;
    bool ending;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {0, true, true, ""},  // an empty text gets no ending
      {5, true, false, "abc a"}, {5, false, false, "abc abc "},
      {5, true, true, "abc a."}, {8, false, true, "abc abc ."},
  };
  for (const auto& [size, cut, ending, expected] : cases) {
    TextStyle style = Steps({Literal("abc ")}, cut);
    if (ending) style.ending = Literal(".");
    EXPECT_EQ(MakeText(size, 7, style), expected) << size << " " << cut << " " << ending;
  }
}

TEST(ChiSquare, WorkedExamples) {
  EXPECT_DOUBLE_EQ(ChiSquareAgainstUniform(std::vector<int>{10, 10, 10}), 0.0);
  EXPECT_DOUBLE_EQ(ChiSquareAgainstUniform(std::vector<int>{0, 20}), 20.0);
  EXPECT_DOUBLE_EQ(ChiSquareAgainstUniform(std::vector<int>{5, 10, 15}), 5.0);
}

}  // namespace
}  // namespace vorpel::test
