// The fast reader against the literal one, on arbitrary bytes and settings.
// Input: byte 0 the mode (bit 0) and the Multiple Sequences box (bit 7:
// overlapping sequences), byte 1 the length, byte 2 the separator's
// length, then the separator, then the source text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "source_reader.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/utf8_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  vorpel::GenerationSettings settings;
  settings.UnitMode = static_cast<std::int16_t>(1 + data[0] % 2);
  settings.SeqLength = static_cast<std::int16_t>(data[1] % 102) - 1;  // -1 .. 100
  settings.MultSeq = data[0] >> 7;
  const std::size_t separator_length = std::min<std::size_t>(data[2] % 8, size - 3);
  settings.WordSep.assign(reinterpret_cast<const char*>(data + 3), separator_length);
  const std::string_view source(reinterpret_cast<const char*>(data + 3 + separator_length),
                                size - 3 - separator_length);

  const vorpel::SequencePool pool = vorpel::BuildPool(vorpel::test::MakeBuffer(source), settings);
  const auto expected =
      vorpel::test::ReferenceReadAuto(source, settings.SeqLength, settings.UnitMode,
                                      settings.WordSep, /*overlapping=*/settings.MultSeq != 0);
  if (pool.Size() != expected.size()) std::abort();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (pool.Item(i) != expected[i]) std::abort();
  }
  return 0;
}
