#include "vorpel_test/engine_doubles.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace vorpel::test {

void RecordingReporter::Beep() { events.emplace_back("beep"); }

namespace {

// Each error as the object name of the dialog the windows show for it,
// the names the tests expect.
constexpr std::pair<ErrorKind, const char*> kDialogNames[] = {
    {ErrorKind::FNE, "ErrorFNE"}, {ErrorKind::NFN, "ErrorNFN"}, {ErrorKind::CO, "ErrorCO"},
    {ErrorKind::OC, "ErrorOC"},   {ErrorKind::R, "ErrorR"},     {ErrorKind::NR, "ErrorNR"},
    {ErrorKind::IO, "ErrorIO"},
};

}  // namespace

void RecordingReporter::ShowError(ErrorKind dialog, std::string_view detail) {
  const auto* named = std::find_if(std::begin(kDialogNames), std::end(kDialogNames),
                                   [dialog](const auto& entry) { return entry.first == dialog; });
  events.emplace_back(named != std::end(kDialogNames) ? named->second : "Error?");
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
                                std::string word_sep, std::int16_t mult_seq) {
  GenerationSettings settings;
  settings.SetDefaultOptions();
  settings.UnitMode = unit_mode;
  settings.SeqLength = seq_length;
  settings.WordSep = std::move(word_sep);
  settings.MultSeq = mult_seq;
  return settings;
}

SequencePool PoolOf(std::string_view text, const GenerationSettings& settings,
                    EncodingChoice choice) {
  return BuildPool(MakeBuffer(text, 4), settings, choice);
}

}  // namespace vorpel::test
