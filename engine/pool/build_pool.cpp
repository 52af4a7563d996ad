#include "build_pool.h"

#include <utility>

#include "letter_index.h"
#include "utf8_word_cut.h"
#include "word_cut.h"
#include "word_separators.h"

namespace vorpel {
namespace {

SequencePool CutLetters(ByteBuffer text, std::size_t seq_length, bool bytewise) {
  if (bytewise) return SequencePool::FixedStride(std::move(text), seq_length);
  LetterIndex letters = LetterIndex::Build(std::string_view(text.data(), text.size()));
  return SequencePool::FromLetters(std::move(text), std::move(letters), seq_length);
}

}  // namespace

TextEncoding ChooseEncoding(const Utf8Check& check, EncodingChoice choice) {
  if (choice == EncodingChoice::Bytes) return TextEncoding::RawBytes;
  return check.Valid() ? TextEncoding::Utf8 : TextEncoding::EightBit;
}

Utf8Check CheckForChoice(std::string_view text, EncodingChoice choice) {
  return choice == EncodingChoice::Bytes ? Utf8Check{std::size_t{0}, false} : CheckUtf8(text);
}

SequencePool BuildPool(ByteBuffer text, const CutRule& rule, EncodingChoice choice) {
  const Utf8Check check = CheckForChoice(std::string_view(text.data(), text.size()), choice);
  return BuildPool(std::move(text), rule, ChooseEncoding(check, choice), check.ascii_only);
}

SequencePool BuildPool(ByteBuffer text, const CutRule& rule, TextEncoding encoding, bool ascii_only,
                       const WordCutSharing& sharing) {
  // A length of 0 would take no unit per pass and never use up the
  // source: it yields no items.
  if (rule.seq_length == 0) return {};
  // In ASCII text every byte is a character: the 8-bit cutting gives the
  // same items, only faster.
  const bool bytewise = encoding != TextEncoding::Utf8 || ascii_only;
  // Overlapping sequences are found from the single units: the cut of
  // length 1, whose boundaries are all they need.
  const std::size_t cut_length = rule.overlap ? 1 : rule.seq_length;
  SequencePool pool;
  bool ascii_items = ascii_only;
  if (rule.unit == Unit::Letters) {
    pool = CutLetters(std::move(text), cut_length, bytewise);
  } else {
    const WordSeparators word_seps(rule.word_sep, encoding);
    for (const char c : word_seps.Closer())
      ascii_items = ascii_items && static_cast<unsigned char>(c) < 0x80;
    pool = bytewise ? CutWordsBytewise(std::move(text), cut_length, word_seps)
                    : CutUtf8Words(std::move(text), cut_length, word_seps, sharing);
  }
  if (rule.overlap) pool = SequencePool::Overlapping(std::move(pool), rule.seq_length);
  pool.SetEncoding(encoding, ascii_items);
  return pool;
}

}  // namespace vorpel
