#include "vorpel_test/pipeline_check.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "capitalization_fix.h"
#include "random_draw.h"
#include "sequence_pool.h"
#include "sequence_writer.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/reference_algorithms.h"
#include "vorpel_test/utf8_reference.h"
#include "vorpel_test/utf8_texts.h"
#include "write_pipeline.h"

namespace vorpel::test {
namespace {

// The input's bytes in order, and zeros once they run out.
class InputBytes {
 public:
  explicit InputBytes(std::span<const std::uint8_t> input) : input_(input) {}
  std::uint8_t Next() { return at_ < input_.size() ? input_[at_++] : 0; }
  std::span<const std::uint8_t> Take(std::size_t count) {
    count = std::min(count, Left());
    const auto taken = input_.subspan(at_, count);
    at_ += count;
    return taken;
  }
  std::size_t Left() const { return input_.size() - at_; }

 private:
  std::span<const std::uint8_t> input_;
  std::size_t at_ = 0;
};

// Separators as people type them; raw bytes come from the input itself.
const std::vector<std::string>& TypedSeparators() {
  static const std::vector<std::string> separators = {
      " ",
      " ,",
      ".",
      " \n",
      "\r\n",
      "",
      "a",
      "\xC3\xA9",          // e acute
      "\xE2\x80\x94 ",     // em dash
      "\xC2\xA0",          // no-break space
      "e\xCC\x81",         // e with a combining accent
      "\xF0\x9F\x91\x8D",  // thumbs up
  };
  return separators;
}

// What the pieces of a source may be.
enum class Pieces { kAny, kUtf8, kAscii };

// A piece of a source for one input byte: a UTF-8 character of every kind
// the segmentation cares about, a byte that is not UTF-8 by itself, an
// ASCII byte (sentence ends among them), or a lowercase letter, now and
// then with a space after it; only the kinds that pieces allows.
void AppendPiece(std::uint8_t byte, Pieces pieces, std::string& text) {
  static constexpr std::string_view kAscii = "abz ABZ.!?_,;\n\r\t0-";
  static constexpr std::string_view kNotUtf8 = "\x80\x93\x97\xA0\xBF\xC0\xC3\xE2\xE9\xF0\xF8\xFF";
  const auto& characters = Utf8Pieces();
  const std::size_t not_utf8_from = 256 - kNotUtf8.size();
  if (pieces != Pieces::kAscii && byte < characters.size()) {
    text += characters[byte];
  } else if (pieces == Pieces::kAny && byte >= not_utf8_from) {
    text += kNotUtf8[byte - not_utf8_from];
  } else if (byte % 5 == 0) {
    text += kAscii[byte / 5 % kAscii.size()];
  } else {
    text += static_cast<char>('a' + byte % 26);
    if (byte % 4 == 1) text += ' ';
  }
}

const char* EncodingName(EncodingChoice choice) {
  switch (choice) {
    case EncodingChoice::Auto: return "auto";
    case EncodingChoice::Utf8: return "utf-8";
    case EncodingChoice::Bytes: return "bytes";
  }
  return "?";
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether text holds a valid UTF-8 character of more than one byte.
bool HoldsWideCharacter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 0xC0) continue;
    for (std::size_t length = 2; length <= 4 && i + length <= text.size(); ++length) {
      if (!ReferenceFirstInvalidUtf8(text.substr(i, length))) return true;
    }
  }
  return false;
}

TextEncoding EngineEncoding(ReferenceEncoding encoding) {
  switch (encoding) {
    case ReferenceEncoding::EightBit: return TextEncoding::EightBit;
    case ReferenceEncoding::Utf8: return TextEncoding::Utf8;
    case ReferenceEncoding::RawBytes: return TextEncoding::RawBytes;
  }
  return TextEncoding::EightBit;
}

// Empty when the texts are equal; otherwise where they first differ.
std::string TextDifference(std::string_view got, std::string_view expected) {
  if (got == expected) return {};
  const auto at = static_cast<std::size_t>(
      std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first - got.begin());
  const std::size_t from = at < 16 ? 0 : at - 16;
  return "first difference at byte " + std::to_string(at) + " of " +
         std::to_string(expected.size()) + ": got " + Escaped(got.substr(from, 40)) +
         ", expected " + Escaped(expected.substr(from, 40));
}

// What the pipeline gave for a case.
struct PipelineRun {
  std::vector<std::vector<std::string>> parts;         // each source's items
  std::vector<TextEncoding> encodings;                 // each source's pool's
  std::vector<std::string> items;                      // the joined pool's
  TextEncoding fix_encoding = TextEncoding::EightBit;  // the joined pool's item encoding
  std::string written;
  std::string failure;  // a step that reported an error
};

// The batch command's steps, into memory: each source read on its own
// (with the room after the text the Read gives), the pools joined, and
// the seeded draw, through the capitalizing sink in
// the encoding the joined pool names when the fix is on. Nothing is drawn
// from an empty pool: the command stops there.
PipelineRun Run(const PipelineCase& c) {
  const GenerationSettings settings =
      ReadSettings(c.unit_mode, c.seq_length, c.word_sep, c.overlap ? 1 : 0);
  PipelineRun run;
  std::vector<SequencePool> parts;
  for (const std::string& source : c.sources) {
    parts.push_back(BuildPool(MakeBuffer(source, std::max<std::size_t>(1, c.word_sep.size())),
                              settings, c.encoding));
    run.parts.push_back(PoolItems(parts.back()));
    run.encodings.push_back(parts.back().Encoding());
  }
  const SequencePool pool = SequencePool::Join(std::move(parts));
  run.items = PoolItems(pool);
  run.fix_encoding = pool.ItemEncoding();
  if (pool.Empty()) return run;
  StringSink output;
  RandomDraw draw(c.seed);
  FileStatus error;
  if (c.fix) {
    CapitalizingSink fixer(output, c.word_sep, SentenceEndMarks, run.fix_encoding);
    error = DrawSequences(pool, c.count, draw, fixer, c.mix);
    if (!error) error = fixer.Finish();
  } else {
    error = DrawSequences(pool, c.count, draw, output, c.mix);
  }
  if (error) run.failure = "the draw reported an error";
  run.written = std::move(output.text);
  return run;
}

std::string Compare(const PipelineCase& c) {
  const std::string& sep = c.word_sep;
  const std::string marks = SentenceEndMarks;
  // --encoding utf-8 refuses a source that is not valid UTF-8, naming
  // where it stops being UTF-8.
  if (c.encoding == EncodingChoice::Utf8) {
    for (const std::string& source : c.sources) {
      if (const auto invalid = ReferenceFirstInvalidUtf8(source)) {
        if (CheckUtf8(source).first_invalid != invalid) {
          return "the UTF-8 check names another first invalid byte than the reference's " +
                 std::to_string(*invalid);
        }
        return {};
      }
    }
  }
  const PipelineRun run = Run(c);
  if (!run.failure.empty()) return run.failure;

  // Each source's items against the reference reading of its encoding;
  // every reference item, and for each source the index after its last
  // item and the bytes closing its last word when they are not UTF-8.
  std::vector<std::string> all;
  std::vector<std::size_t> part_ends;
  std::vector<std::string> stray_closers;
  bool all_utf8 = true;      // the drawn text is UTF-8 but for stray closers
  bool all_as_bytes = true;  // the 8-bit rules of --encoding bytes hold for every source
  bool any_eight_bit = false;
  for (std::size_t i = 0; i < c.sources.size(); ++i) {
    const std::string& source = c.sources[i];
    const std::string name = "source " + std::to_string(i + 1) + ": ";
    const ReferenceEncoding encoding =
        c.encoding == EncodingChoice::Bytes ? ReferenceEncoding::RawBytes
        : ReferenceFirstInvalidUtf8(source) ? ReferenceEncoding::EightBit
                                            : ReferenceEncoding::Utf8;
    const bool ascii_as_bytes =
        encoding == ReferenceEncoding::Utf8 && IsAscii(source) && !HoldsWideCharacter(sep);
    const auto read = [&](bool overlapping) {
      if (encoding != ReferenceEncoding::RawBytes) {
        return ReferenceReadCharacters(source, encoding, c.seq_length, c.unit_mode, sep,
                                       overlapping);
      }
      return overlapping ? ReferenceReadOverlapping(source, c.seq_length, c.unit_mode, sep)
                         : ReferenceRead(source, c.seq_length, c.unit_mode, sep);
    };
    // The runs one after another hold the source once, then the closer.
    const std::vector<std::string> runs = read(false);
    const std::vector<std::string> expected = c.overlap ? read(true) : runs;
    if (const auto difference = FirstDifference(run.parts[i], expected); !difference.empty()) {
      return name + "the pool differs from the reference reading: " + difference;
    }
    if (ascii_as_bytes) {
      const auto literal = c.overlap
                               ? ReferenceReadOverlapping(source, c.seq_length, c.unit_mode, sep)
                               : ReferenceRead(source, c.seq_length, c.unit_mode, sep);
      if (const auto difference = FirstDifference(run.parts[i], literal); !difference.empty()) {
        return name + "ASCII read as UTF-8 differs from the literal 8-bit reading: " + difference;
      }
    }
    if (c.seq_length > 0 && run.encodings[i] != EngineEncoding(encoding)) {
      return name + "the pool names another encoding than the source's";
    }
    std::string closer;
    for (const std::string& item : runs) closer += item;
    closer.erase(0, std::min(source.size(), closer.size()));
    const bool stray = encoding == ReferenceEncoding::Utf8 && ReferenceFirstInvalidUtf8(closer);
    stray_closers.push_back(stray ? closer : std::string());
    all.insert(all.end(), expected.begin(), expected.end());
    part_ends.push_back(all.size());
    all_utf8 = all_utf8 && encoding == ReferenceEncoding::Utf8;
    all_as_bytes = all_as_bytes && (encoding == ReferenceEncoding::RawBytes || ascii_as_bytes);
    any_eight_bit = any_eight_bit || encoding == ReferenceEncoding::EightBit;
  }
  if (const auto difference = FirstDifference(run.items, all); !difference.empty()) {
    return "the joined pool is not the parts' items in order: " + difference;
  }
  if (all.empty()) return {};

  // The items the same seed draws, back to back, and where the stray
  // closers lie in them. The equal mix draws a source with items first,
  // when there are several.
  std::vector<std::size_t> with_items;  // the parts that have items
  for (std::size_t part = 0; part < part_ends.size(); ++part) {
    if (part_ends[part] > (part == 0 ? 0 : part_ends[part - 1])) with_items.push_back(part);
  }
  RandomDraw draw(c.seed);
  const auto draw_index = [&] {
    if (c.mix == Mix::Pool || with_items.size() == 1) {
      return static_cast<std::size_t>(draw.Below(all.size()));
    }
    const std::size_t part = with_items[draw.Below(with_items.size())];
    const std::size_t first = part == 0 ? 0 : part_ends[part - 1];
    return first + static_cast<std::size_t>(draw.Below(part_ends[part] - first));
  };
  std::string drawn;
  std::vector<bool> in_stray_closer;
  for (std::int64_t k = 0; k < c.count; ++k) {
    const std::size_t index = draw_index();
    const std::string& item = all[index];
    const auto part = static_cast<std::size_t>(
        std::upper_bound(part_ends.begin(), part_ends.end(), index) - part_ends.begin());
    const std::size_t stray =
        index + 1 == part_ends[part] ? stray_closers[part].size() : std::size_t{0};
    drawn += item;
    in_stray_closer.insert(in_stray_closer.end(), item.size() - stray, false);
    in_stray_closer.insert(in_stray_closer.end(), stray, true);
  }
  const std::string& written = run.written;
  if (!c.fix) {
    if (const auto difference = TextDifference(written, drawn); !difference.empty()) {
      return "the text is not the drawn items back to back: " + difference;
    }
  } else if (written.size() != drawn.size()) {
    // The fix changes letters, never the length (the stray closers below
    // are found by their place in the drawn text).
    return "the fix changed the length: " + TextDifference(written, drawn);
  }
  if (all_utf8) {
    std::string kept;
    for (std::size_t p = 0; p < written.size(); ++p) {
      if (!in_stray_closer[p]) kept += written[p];
    }
    if (const auto invalid = ReferenceFirstInvalidUtf8(kept)) {
      return "the text of UTF-8 sources is not UTF-8 (stray closers left out) at byte " +
             std::to_string(*invalid) + " of " + Escaped(kept);
    }
  }

  // The fixed text as the literal fix gives it: the 8-bit one where the
  // bytes are read by the 8-bit rules (the fix of --encoding bytes, so
  // ASCII sources read as UTF-8 are fixed as under bytes), the UTF-8 one
  // on UTF-8 text (with its stray closers).
  if (!c.fix) return {};
  std::string expected;
  if (all_as_bytes) {
    expected = ReferenceFix(drawn, sep, marks);
  } else if (any_eight_bit) {
    expected = ReferenceFixIn(drawn, sep, marks, ReferenceEncoding::EightBit);
  } else {
    expected = ReferenceFixUtf8(drawn, sep, marks);
  }
  if (const auto difference = TextDifference(written, expected); !difference.empty()) {
    return std::string(all_as_bytes    ? "the fix differs from the literal 8-bit fix: "
                       : any_eight_bit ? "the fix differs from the 8-bit fix: "
                                       : "the fix differs from the UTF-8 fix: ") +
           difference;
  }
  return {};
}

}  // namespace

PipelineCase PipelineCaseFrom(std::span<const std::uint8_t> input) {
  InputBytes bytes(input);
  PipelineCase c;
  const std::uint8_t flags = bytes.Next();
  c.unit_mode = (flags & 1) != 0 ? kWordsMode : kLettersMode;
  c.fix = (flags & 2) != 0;
  static constexpr EncodingChoice kChoices[] = {EncodingChoice::Auto, EncodingChoice::Auto,
                                                EncodingChoice::Utf8, EncodingChoice::Bytes};
  c.encoding = kChoices[(flags >> 2) & 3];
  const std::size_t sources = 1 + ((flags >> 4) & 3) % 3;
  c.overlap = (flags & 0x40) != 0;
  c.mix = (flags & 0x80) != 0 ? Mix::Equal : Mix::Pool;
  c.seq_length = static_cast<std::int16_t>(bytes.Next() % 101);
  c.count = bytes.Next() % 64 - 1;
  c.seed = bytes.Next();
  const std::uint8_t separator = bytes.Next();
  if (separator >= 0x80) {
    c.word_sep = TypedSeparators()[separator % TypedSeparators().size()];
  } else {
    for (const std::uint8_t byte : bytes.Take(separator % 5)) {
      if (byte != 0) c.word_sep += static_cast<char>(byte);
    }
  }
  for (std::size_t i = 0; i < sources; ++i) {
    const std::uint8_t header = bytes.Next();
    const auto taken = bytes.Take(i + 1 == sources ? bytes.Left() : std::size_t{header} >> 2);
    std::string& text = c.sources.emplace_back();
    static constexpr Pieces kPieces[] = {Pieces::kAny, Pieces::kAny, Pieces::kUtf8, Pieces::kAscii};
    if ((header & 3) == 0) {
      text.assign(taken.begin(), taken.end());
    } else {
      for (const std::uint8_t byte : taken) AppendPiece(byte, kPieces[header & 3], text);
    }
  }
  return c;
}

std::string Describe(const PipelineCase& c) {
  std::string out = c.unit_mode == kWordsMode ? "words" : "letters";
  out += " of " + std::to_string(c.seq_length) + ", separator " + Escaped(c.word_sep) +
         ", --encoding " + EncodingName(c.encoding) + (c.fix ? ", fix" : ", no fix") +
         (c.overlap ? ", overlapping" : "") + (c.mix == Mix::Equal ? ", mix equal" : "") +
         ", count " + std::to_string(c.count) + ", seed " + std::to_string(c.seed) + "; sources";
  for (const std::string& source : c.sources) out += ' ' + Escaped(source);
  return out;
}

std::string CheckPipeline(const PipelineCase& c) {
  const std::string failure = Compare(c);
  return failure.empty() ? failure : failure + "\n  in the case: " + Describe(c);
}

}  // namespace vorpel::test
