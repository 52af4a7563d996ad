// Writes a deterministic English-like text of an exact size for the
// side-by-side benchmarks: words of 1 to 15 letters with English letter
// frequencies, commas and sentence ends, sentence starts capitalized half
// of the time, lines of 40 to 110 characters and now and then an empty
// line between paragraphs. The generator is its own (SplitMix64), so the
// bytes are the same on every platform, and a smaller size gives a prefix
// of a larger one.
//
// With --utf8 the text is UTF-8 in which about 5% of the characters are
// beyond ASCII: accented letters (now and then as a letter plus a
// combining accent), curly quotes, dashes, words in CJK ideographs, emoji
// with skin tones and zero-width joiners, flags; its lines end with CR LF.
// Its last bytes are made spaces where the size would cut a character.
//
//   vorpel_make_corpus [--utf8] SIZE FILE    SIZE in bytes, or with K, M or G (binary)
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t x = (state_ += 0x9E3779B97F4A7C15u);
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    return x ^ (x >> 31);
  }
  // Below bound, with a bias far below anything a benchmark could notice.
  std::uint32_t Below(std::uint32_t bound) {
    return static_cast<std::uint32_t>(((Next() >> 32) * bound) >> 32);
  }

 private:
  std::uint64_t state_;
};

// Picks an index with the given weights, through a table with one entry
// per unit of weight.
template <std::size_t N>
class WeightedChoice {
 public:
  explicit WeightedChoice(const std::array<std::uint32_t, N>& weights) {
    for (std::size_t i = 0; i < N; ++i) table_.insert(table_.end(), weights[i], i);
  }
  std::size_t Pick(SplitMix64& random) const {
    return table_[random.Below(static_cast<std::uint32_t>(table_.size()))];
  }

 private:
  std::vector<std::size_t> table_;
};

// Letter frequencies of English text, per 10,000 letters, a to z.
constexpr std::array<std::uint32_t, 26> kLetterWeights = {
    817, 149, 278, 425, 1270, 223, 202, 609, 697, 15,  77, 403, 241,
    675, 751, 193, 10,  599,  633, 906, 276, 98,  236, 15, 197, 7};
// Word lengths 1 to 15, per 1,000 words.
constexpr std::array<std::uint32_t, 15> kLengthWeights = {30, 170, 200, 150, 110, 90, 80, 60,
                                                          40, 30,  20,  10,  5,   3,  2};

// Characters beyond ASCII for the UTF-8 corpus.
constexpr std::array<std::string_view, 12> kAccented = {"\u00e9", "\u00e8", "\u00e0", "\u00fc",
                                                        "\u00f6", "\u00e4", "\u00f1", "\u00e7",
                                                        "\u00df", "\u00ea", "\u00ee", "\u00f4"};
constexpr std::array<std::string_view, 6> kCombining = {"\u0301", "\u0300", "\u0308",
                                                        "\u0302", "\u0327", "\u0303"};
constexpr std::array<std::string_view, 16> kIdeographs = {
    "\u4e2d", "\u6587", "\u5b57", "\u8a9e", "\u65e5", "\u672c", "\u4eba", "\u5927",
    "\u5c0f", "\u5c71", "\u5ddd", "\u6c34", "\u706b", "\u6728", "\u91d1", "\u571f"};
constexpr std::array<std::string_view, 8> kEmoji = {
    "\U0001F44D\U0001F3FD",                        // thumbs up, skin tone
    "\U0001F469\u200D\U0001F469\u200D\U0001F467",  // family, joined
    "\U0001F1EB\U0001F1F7",                        // a flag
    "\u2764\uFE0F",                                // heart with selector
    "\U0001F600",
    "\U0001F44B\U0001F3FB",
    "\U0001F468\u200D\U0001F4BB",
    "\U0001F389"};

class CorpusWriter {
 public:
  CorpusWriter(std::uint64_t seed, bool utf8)
      : random_(seed), letters_(kLetterWeights), lengths_(kLengthWeights), utf8_(utf8) {
    NewLineWidth();
  }

  // Appends about one more word with what follows it.
  void Next(std::string& out) {
    std::string word;
    if (random_.Below(100) == 0) {
      word = std::to_string(random_.Below(2000));
    } else {
      const std::size_t length = 1 + lengths_.Pick(random_);
      for (std::size_t i = 0; i < length; ++i) {
        word.push_back(static_cast<char>('a' + letters_.Pick(random_)));
      }
      const bool capital = (sentence_start_ && random_.Below(2) == 0) || random_.Below(50) == 0;
      if (capital) word[0] = static_cast<char>(word[0] - 'a' + 'A');
      if (utf8_) Decorate(word);
    }
    sentence_start_ = false;
    const std::uint32_t roll = random_.Below(1000);
    if (roll < 55) {
      word.push_back('.');
      sentence_start_ = true;
    } else if (roll < 61) {
      word.push_back('!');
      sentence_start_ = true;
    } else if (roll < 67) {
      word.push_back('?');
      sentence_start_ = true;
    } else if (roll < 127) {
      if (utf8_ && roll >= 117) {
        word += roll < 122 ? " \u2014" : " \u2013";  // a dash instead of the comma
      } else {
        word.push_back(',');
      }
    } else if (roll < 131) {
      word.push_back(';');
    } else if (roll < 134) {
      word.push_back(':');
    }

    if (line_length_ > 0 && line_length_ + 1 + word.size() > line_width_) {
      const char* line_end = utf8_ ? "\r\n" : "\n";
      out += line_end;
      if (sentence_start_ && random_.Below(5) == 0) out += line_end;  // a paragraph
      line_length_ = 0;
      NewLineWidth();
    } else if (line_length_ > 0) {
      out.push_back(' ');
      ++line_length_;
    }
    out += word;
    line_length_ += word.size();
  }

 private:
  void NewLineWidth() { line_width_ = 40 + random_.Below(71); }

  // Turns a plain word into one with characters beyond ASCII, for about
  // one character in twenty over the whole text.
  void Decorate(std::string& word) {
    const std::uint32_t roll = random_.Below(1000);
    if (roll < 150) {
      // An accented letter in place of one letter; one in five written
      // as the letter plus a combining accent.
      const std::size_t at = random_.Below(static_cast<std::uint32_t>(word.size()));
      if (random_.Below(5) == 0) {
        word.insert(at + 1, kCombining[random_.Below(kCombining.size())]);
      } else {
        word.replace(at, 1, kAccented[random_.Below(kAccented.size())]);
      }
    } else if (roll < 175) {
      // A word of ideographs.
      const std::uint32_t count = 1 + random_.Below(3);
      word.clear();
      for (std::uint32_t i = 0; i < count; ++i) word += kIdeographs[random_.Below(16)];
    }
    const std::uint32_t extra = random_.Below(1000);
    if (extra < 25) {
      word.insert(0, "\u201c");  // curly double quotes
      word.append("\u201d");
    } else if (extra < 35) {
      word += "\u2019s";  // a curly apostrophe
    } else if (extra < 45) {
      word.push_back(' ');
      word.append(kEmoji[random_.Below(kEmoji.size())]);
    }
  }

  SplitMix64 random_;
  WeightedChoice<26> letters_;
  WeightedChoice<15> lengths_;
  std::size_t line_length_ = 0;
  std::size_t line_width_ = 0;
  bool sentence_start_ = true;
  bool utf8_ = false;
};

bool ParseSize(std::string_view text, std::uint64_t& size) {
  if (text.empty()) return false;
  std::uint64_t scale = 1;
  switch (text.back()) {
    case 'K': scale = std::uint64_t{1} << 10; break;
    case 'M': scale = std::uint64_t{1} << 20; break;
    case 'G': scale = std::uint64_t{1} << 30; break;
    default: break;
  }
  if (scale != 1) text.remove_suffix(1);
  if (text.empty()) return false;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  size = value * scale;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool utf8 = argc == 4 && std::string_view(argv[1]) == "--utf8";
  if (utf8) {
    --argc;
    ++argv;
  }
  std::uint64_t size = 0;
  if (argc != 3 || !ParseSize(argv[1], size)) {
    std::fprintf(stderr, "usage: %s [--utf8] SIZE FILE   (SIZE in bytes, or with K, M or G)\n",
                 argv[0]);
    return 2;
  }
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "%s: %s\n", argv[2], std::strerror(errno));
    return 1;
  }
  CorpusWriter writer(20261208, utf8);
  std::string chunk;
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  std::uint64_t written = 0;
  while (written < size) {
    chunk.clear();
    while (chunk.size() < kChunk) writer.Next(chunk);
    const std::size_t take =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - written));
    if (utf8 && take < chunk.size()) {
      // The size cuts the text here: a character cut in two would make the
      // file 8-bit, so its bytes become spaces.
      std::size_t from = take;
      while (from > 0 && (static_cast<unsigned char>(chunk[from]) & 0xC0) == 0x80) --from;
      std::fill(chunk.begin() + static_cast<std::ptrdiff_t>(from),
                chunk.begin() + static_cast<std::ptrdiff_t>(take), ' ');
    }
    if (std::fwrite(chunk.data(), 1, take, file) != take) {
      std::fprintf(stderr, "%s: %s\n", argv[2], std::strerror(errno));
      std::fclose(file);
      return 1;
    }
    written += take;
  }
  if (std::fclose(file) != 0) {
    std::fprintf(stderr, "%s: %s\n", argv[2], std::strerror(errno));
    return 1;
  }
  return 0;
}
