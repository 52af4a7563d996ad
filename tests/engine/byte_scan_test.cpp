#include "byte_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vorpel {
namespace {

// The literal definitions the fast versions must match.
std::uint64_t ReferenceMask(std::string_view members, const char* p, std::size_t count) {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (members.find(p[i]) != std::string_view::npos) mask |= std::uint64_t{1} << i;
  }
  return mask;
}

std::size_t ReferenceFind(std::string_view members, std::string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (members.find(text[i]) != std::string_view::npos) return i;
  }
  return text.size();
}

// Distinct random bytes, the extremes (0 and 255) among the candidates.
std::string RandomMembers(std::mt19937_64& rng, std::size_t count) {
  std::string members;
  while (members.size() < count) {
    const char c = static_cast<char>(rng() % 4 == 0 ? (rng() % 2 ? 0 : 255) : rng());
    if (members.find(c) == std::string::npos) members.push_back(c);
  }
  return members;
}

// A text where members are frequent but not everywhere, with runs long
// enough to cross 16- and 64-byte steps with no member at all.
std::string RandomText(std::mt19937_64& rng, std::string_view members, std::size_t size) {
  std::string text(size, '\0');
  const unsigned density = 1 + static_cast<unsigned>(rng() % 80);
  for (char& c : text) {
    c = !members.empty() && rng() % density == 0 ? members[rng() % members.size()]
                                                 : static_cast<char>(rng());
  }
  return text;
}

template <int Count>
void ExpectSmallSetAgrees(const ByteSet& set, std::string_view members, const char* p) {
  if (members.size() > static_cast<std::size_t>(Count)) return;
  const SmallByteSet<Count> small(set);
  EXPECT_EQ(small.Mask64(p), ReferenceMask(members, p, 64)) << "vector of " << Count;
  EXPECT_EQ(small.Mask16(p), ReferenceMask(members, p, 16)) << "vector of " << Count;
}

TEST(ByteSet, MembersAreDistinctAndAscending) {
  struct Case {
    std::string_view given;
    std::string_view members;
  };
  const Case cases[] = {
      {"", ""},
      {"b a", " ab"},
      {"aaaa", "a"},
      {std::string_view("\xff\0z\0", 4), std::string_view("\0z\xff", 3)},
  };
  for (const auto& [given, members] : cases) {
    const ByteSet set(given);
    EXPECT_EQ(set.Members(), members);
    for (int byte = 0; byte < 256; ++byte) {
      const char c = static_cast<char>(byte);
      EXPECT_EQ(set.Contains(c), members.find(c) != std::string_view::npos) << byte;
    }
  }
}

TEST(ByteSet, VectorAndTableMasksAgreeOnRandomInput) {
  std::mt19937_64 rng(2024);
  for (int round = 0; round < 3000; ++round) {
    // Mostly sets the vector version takes, some only the table takes.
    const std::size_t count = 1 + rng() % (round % 5 == 0 ? 40 : 4);
    const std::string members = RandomMembers(rng, count);
    const ByteSet set(members);
    // Room before the start, so windows begin at every alignment.
    const std::size_t shift = rng() % 16;
    const std::string text = RandomText(rng, members, shift + 64 + rng() % 130);
    SCOPED_TRACE("round " + std::to_string(round));
    for (std::size_t start = shift; start + 64 <= text.size(); start += 1 + rng() % 23) {
      const char* p = text.data() + start;
      EXPECT_EQ(set.Mask64(p), ReferenceMask(members, p, 64)) << "table at " << start;
      ExpectSmallSetAgrees<1>(set, members, p);
      ExpectSmallSetAgrees<2>(set, members, p);
      ExpectSmallSetAgrees<3>(set, members, p);
      ExpectSmallSetAgrees<4>(set, members, p);
    }
    // The partial mask, for every length a text's last block can have.
    for (std::size_t length = 0; length <= 64; ++length) {
      const char* p = text.data() + shift;
      EXPECT_EQ(set.Mask(p, length), ReferenceMask(members, p, length)) << "length " << length;
    }
  }
}

TEST(CountBits, CountsEveryBitOfRandomAndEdgeMasks) {
  // Bit by bit, the literal meaning of a population count.
  const auto literal = [](std::uint64_t mask) {
    int count = 0;
    for (int bit = 0; bit < 64; ++bit) count += static_cast<int>((mask >> bit) & 1U);
    return count;
  };
  std::vector<std::uint64_t> masks = {0,
                                      ~std::uint64_t{0},
                                      1,
                                      std::uint64_t{1} << 63,
                                      0x5555555555555555ULL,
                                      0xAAAAAAAAAAAAAAAAULL};
  std::mt19937_64 rng(7);
  for (int i = 0; i < 1000; ++i) masks.push_back(rng() & rng());
  for (const std::uint64_t mask : masks) EXPECT_EQ(CountBits(mask), literal(mask)) << mask;
}

TEST(ByteFinder, WorkedExample) {
  const ByteFinder ends(ByteSet(".!?"));
  const std::string_view text = "One. Two! Three";
  EXPECT_EQ(ends.Find(text, 0), 3u);
  EXPECT_EQ(ends.Find(text, 3), 3u);
  EXPECT_EQ(ends.Find(text, 4), 8u);
  EXPECT_EQ(ends.Find(text, 9), text.size());
  EXPECT_EQ(ends.Find(text, text.size()), text.size());
  EXPECT_EQ(ByteFinder(ByteSet()).Find(text, 0), text.size());
}

TEST(ByteFinder, AgreesWithAPlainSearchOnRandomInput) {
  // Empty sets, sets the vector version takes and larger ones; texts from
  // empty to a few hundred bytes, searched from every position, so the
  // 32- and 16-byte steps and the byte-by-byte end all meet hits and misses.
  std::mt19937_64 rng(77);
  for (int round = 0; round < 1500; ++round) {
    const std::string members = RandomMembers(rng, rng() % 9);
    const ByteFinder finder{ByteSet(members)};
    const std::size_t shift = rng() % 16;
    const std::string buffer = RandomText(rng, members, shift + rng() % 300);
    const std::string_view text = std::string_view(buffer).substr(shift);
    SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(members.size()) +
                 " members");
    for (std::size_t from = 0; from <= text.size(); ++from) {
      ASSERT_EQ(finder.Find(text, from), ReferenceFind(members, text, from)) << "from " << from;
    }
  }
}

}  // namespace
}  // namespace vorpel
