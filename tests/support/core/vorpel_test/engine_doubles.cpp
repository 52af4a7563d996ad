#include "vorpel_test/engine_doubles.h"

#include <cstring>

namespace vorpel::test {

void RecordingReporter::Beep() { events.emplace_back("beep"); }

void RecordingReporter::ShowError(ErrorKind dialog, std::string_view detail) {
  events.emplace_back(DialogName(dialog));
  details.emplace_back(detail);
}

FileStatus StringSink::Write(std::span<char> block) {
  text.append(block.data(), block.size());
  ++blocks;
  return std::nullopt;
}

ByteBuffer MakeBuffer(std::string_view bytes, std::size_t spare) {
  ByteBuffer buffer;
  buffer.Reserve(bytes.size() + spare);
  if (!bytes.empty()) std::memcpy(buffer.data(), bytes.data(), bytes.size());
  buffer.Resize(bytes.size());
  return buffer;
}

std::vector<std::string> PoolItems(const SequencePool& pool) {
  std::vector<std::string> items;
  items.reserve(pool.Size());
  for (std::size_t i = 0; i < pool.Size(); ++i) items.emplace_back(pool.Item(i));
  return items;
}

GenerationSettings ReadSettings(std::int16_t unit_mode, std::int16_t seq_length,
                                std::string word_sep) {
  GenerationSettings settings;
  settings.SetDefaultOptions();
  settings.UnitMode = unit_mode;
  settings.SeqLength = seq_length;
  settings.WordSep = std::move(word_sep);
  return settings;
}

SequencePool PoolOf(std::string_view text, const GenerationSettings& settings,
                    EncodingChoice choice) {
  return BuildPool(MakeBuffer(text, 4), settings, choice);
}

}  // namespace vorpel::test
