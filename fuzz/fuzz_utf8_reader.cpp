// The fast reader against the literal one on UTF-8 texts, and the
// capitalization fix against the literal one on the same texts. The input's
// bytes choose the pieces of the text (characters of every kind the
// segmentation cares about) so that most texts are valid UTF-8; now and
// then a raw byte makes one almost UTF-8. Input: byte 0 the mode and
// length, byte 1 the separator and (bit 7) overlapping sequences, then one
// byte per piece. Words of a long
// enough text are also cut by two threads in small parts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capitalization_fix.h"
#include "source_reader.h"
#include "vorpel_test/utf8_reference.h"
#include "vorpel_test/utf8_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const std::vector<std::string> separators = {" ",
                                                      " ,",
                                                      "\xE2\x80\x94",
                                                      "\xE2\x80\x94 \xE2\x80\x9C",
                                                      "\xC2\xA0 ",
                                                      "e",
                                                      "e\xCC\x81",
                                                      "\xCC\x81",
                                                      "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
                                                      "\xF0\x9F\x87\xAB",
                                                      "\r\n",
                                                      "",
                                                      "\xE9",
                                                      "\xD8\x80 "};
  vorpel::GenerationSettings settings;
  settings.UnitMode = static_cast<std::int16_t>(1 + (data[0] & 1));
  settings.SeqLength = static_cast<std::int16_t>(1 + (data[0] >> 1) % 100);
  settings.MultSeq = static_cast<std::int16_t>(data[1] >> 7);
  settings.WordSep = separators[data[1] % separators.size()];

  const auto& pieces = vorpel::test::Utf8Pieces();
  std::string source;
  for (std::size_t i = 2; i < size; ++i) {
    const std::uint8_t choice = data[i];
    if (choice < pieces.size()) {
      source += pieces[choice];
    } else if (choice < 250) {
      source += static_cast<char>('a' + choice % 26);
      if (choice % 7 == 0) source += ' ';
    } else {
      source += static_cast<char>(0x80 + choice % 64);  // a stray byte: almost UTF-8
    }
  }

  // The source in a buffer of its own, and the reference's items compared
  // with a pool's.
  const auto buffer = [&source] {
    vorpel::ByteBuffer text;
    text.Reserve(source.size() + 1);
    if (!source.empty()) std::memcpy(text.data(), source.data(), source.size());
    text.Resize(source.size());
    return text;
  };
  const auto expected =
      vorpel::test::ReferenceReadAuto(source, settings.SeqLength, settings.UnitMode,
                                      settings.WordSep, /*overlapping=*/settings.MultSeq != 0);
  const auto check_items = [&expected](const vorpel::SequencePool& pool) {
    if (pool.Size() != expected.size()) std::abort();
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (pool.Item(i) != expected[i]) std::abort();
    }
  };
  check_items(vorpel::BuildPool(buffer(), settings));

  const vorpel::Utf8Check check = vorpel::CheckUtf8(source);
  if (!check.Valid()) return 0;
  // Words of a text long enough for two threads, shared out in parts of
  // 64 bytes: the same items.
  if (settings.UnitMode == vorpel::kWordsMode && source.size() > 192) {
    check_items(vorpel::BuildPool(buffer(), settings, vorpel::TextEncoding::Utf8, check.ascii_only,
                                  vorpel::WordCutSharing{0, 64}));
  }
  // The fix, fed in blocks of 1 to 16 bytes, cut inside characters too.
  class Collect final : public vorpel::ByteSink {
   public:
    vorpel::FileStatus Write(std::span<char> block) override {
      text.append(block.data(), block.size());
      return std::nullopt;
    }
    std::string text;
  } out;
  vorpel::CapitalizingSink fixer(out, settings.WordSep, ".!?_", vorpel::TextEncoding::Utf8);
  std::string input = source;
  const std::size_t block = 1 + data[0] % 16;
  for (std::size_t at = 0; at < input.size(); at += block) {
    if (fixer.Write(std::span<char>(input.data() + at, std::min(block, input.size() - at)))) {
      std::abort();
    }
  }
  if (fixer.Finish()) std::abort();
  if (out.text != vorpel::test::ReferenceFixUtf8(source, settings.WordSep, ".!?_")) std::abort();
  return 0;
}
