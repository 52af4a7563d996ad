// Checks the files that one Write of the desktop program left behind, with
// the program's default settings (words, four to a sequence, overlapping, a
// blank ends a word, capitals fixed), against a plain model written out here:
//
//   vorpel_e2e_text_check SOURCE INTERMEDIATE TARGET COUNT
//
// The intermediate file must be COUNT sequences of SOURCE back to back, and
// TARGET the same text with the first letter of the text and of every
// sentence turned into a capital. Exit 0 when both hold, 1 otherwise.

#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vorpel {
namespace {

constexpr std::size_t kWordsPerSequence = 4;
constexpr char kWordSep = ' ';
constexpr std::string_view kSentenceEnds = ".!?_";

std::optional<std::string> ReadWholeFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The sequences a Read makes of the source: a word runs up to and including
// the next blank, a word cut off by the end of the source gets one, and every
// four words in a row make one sequence, one starting at every word (the
// Multiple Sequences box starts ticked); a source of fewer words makes one
// sequence of them all.
std::vector<std::string> SequencesOf(const std::string& source) {
  std::vector<std::string> words;
  for (std::size_t pos = 0; pos < source.size();) {
    const std::size_t blank = source.find(kWordSep, pos);
    if (blank == std::string::npos) {
      words.push_back(source.substr(pos) + kWordSep);
      pos = source.size();
    } else {
      words.push_back(source.substr(pos, blank + 1 - pos));
      pos = blank + 1;
    }
  }
  std::vector<std::string> sequences;
  if (words.empty()) return sequences;
  const std::size_t count =
      words.size() < kWordsPerSequence ? 1 : words.size() - kWordsPerSequence + 1;
  for (std::size_t first = 0; first < count; ++first) {
    std::string sequence;
    for (std::size_t word = first; word < first + kWordsPerSequence && word < words.size();
         ++word) {
      sequence += words[word];
    }
    sequences.push_back(sequence);
  }
  return sequences;
}

// Whether text can be cut into exactly count pieces, each one of sequences:
// reachable[p][k] says the first p characters are k sequences.
bool IsMadeOf(const std::string& text, const std::set<std::string>& sequences, std::size_t count) {
  std::vector<std::vector<bool>> reachable(text.size() + 1, std::vector<bool>(count + 1, false));
  reachable[0][0] = true;
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    for (std::size_t made = 0; made < count; ++made) {
      if (!reachable[pos][made]) continue;
      for (const std::string& sequence : sequences) {
        if (text.compare(pos, sequence.size(), sequence) == 0) {
          reachable[pos + sequence.size()][made + 1] = true;
        }
      }
    }
  }
  return reachable[text.size()][count];
}

char Capital(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The first character always goes through Capital; after a sentence end the
// first character that is not a blank does, whatever it is.
std::string WithCapitals(const std::string& text) {
  std::string fixed;
  bool after_end = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    char out = c;
    if (i == 0) {
      out = Capital(c);
    } else {
      if (after_end && c != kWordSep) {
        out = Capital(c);
        after_end = false;
      }
      if (kSentenceEnds.find(c) != std::string_view::npos) after_end = true;
    }
    fixed += out;
  }
  return fixed;
}

int Check(const char* source_path, const char* intermediate_path, const char* target_path,
          std::size_t count) {
  const std::optional<std::string> source = ReadWholeFile(source_path);
  const std::optional<std::string> intermediate = ReadWholeFile(intermediate_path);
  const std::optional<std::string> target = ReadWholeFile(target_path);
  for (const auto& [file, path] :
       {std::pair{&source, source_path}, std::pair{&intermediate, intermediate_path},
        std::pair{&target, target_path}}) {
    if (!file->has_value()) {
      std::cerr << "cannot read " << path << '\n';
      return 1;
    }
  }
  const std::vector<std::string> sequences = SequencesOf(*source);
  if (!IsMadeOf(*intermediate, std::set<std::string>(sequences.begin(), sequences.end()), count)) {
    std::cerr << intermediate_path << " (" << intermediate->size() << " bytes) is not " << count
              << " sequences of " << source_path << " (" << sequences.size()
              << " sequences) back to back\n";
    return 1;
  }
  if (*target != WithCapitals(*intermediate)) {
    std::cerr << target_path << " is not " << intermediate_path << " with sentence capitals\n";
    return 1;
  }
  std::cout << target_path << ": " << count << " sequences of the source, " << target->size()
            << " bytes, capitals fixed\n";
  return 0;
}

}  // namespace
}  // namespace vorpel

int main(int argc, char* argv[]) {
  if (argc != 5) {
    std::cerr << "usage: vorpel_e2e_text_check SOURCE INTERMEDIATE TARGET COUNT\n";
    return 2;
  }
  char* end = nullptr;
  const unsigned long long count = std::strtoull(argv[4], &end, 10);
  if (*argv[4] == '\0' || *end != '\0') {
    std::cerr << "COUNT must be a whole number\n";
    return 2;
  }
  return vorpel::Check(argv[1], argv[2], argv[3], static_cast<std::size_t>(count));
}
