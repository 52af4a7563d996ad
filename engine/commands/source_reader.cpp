#include "source_reader.h"

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "file_reading.h"

namespace vorpel {
namespace {

// Checks a text for UTF-8 as it is read; the second part of a long file
// is checked by the thread that reads it.
class Utf8ReadCheck final : public ReadObserver {
 public:
  Utf8ReadCheck() = default;
  explicit Utf8ReadCheck(Utf8Checker checker) : checker_(checker) {}

  void Observe(std::string_view piece) override { checker_.Feed(piece); }
  std::unique_ptr<ReadObserver> Midway(std::size_t offset) override {
    return std::make_unique<Utf8ReadCheck>(Utf8Checker::Midway(offset));
  }
  void Join(ReadObserver& second) override {
    // The one given is the one Midway made.
    checker_.Join(static_cast<Utf8ReadCheck&>(second).checker_);
  }
  Utf8Check Result() const { return checker_.Finish(); }

 private:
  Utf8Checker checker_;
};

// The cut rule of settings; none for a UnitMode that names no unit.
std::optional<CutRule> CutRuleOf(const GenerationSettings& settings) {
  if (settings.UnitMode != kLettersMode && settings.UnitMode != kWordsMode) return std::nullopt;
  return CutRule{static_cast<std::size_t>(settings.SeqLength),
                 settings.UnitMode == kLettersMode ? Unit::Letters : Unit::Words, settings.WordSep,
                 CutsOverlapping(settings)};
}

}  // namespace

SequencePool BuildPool(ByteBuffer text, const GenerationSettings& settings, EncodingChoice choice) {
  const Utf8Check check = CheckForChoice(std::string_view(text.data(), text.size()), choice);
  return BuildPool(std::move(text), settings, ChooseEncoding(check, choice), check.ascii_only);
}

SequencePool BuildPool(ByteBuffer text, const GenerationSettings& settings, TextEncoding encoding,
                       bool ascii_only, const WordCutSharing& sharing) {
  // A length of 0 (which the Options dialog accepts) would take no unit per
  // pass and never use up the source: it yields no items.
  if (settings.SeqLength <= 0) return {};
  const std::optional<CutRule> rule = CutRuleOf(settings);
  if (!rule) {
    // No unit: no items, read in the source's encoding.
    SequencePool none;
    none.SetEncoding(encoding, ascii_only);
    return none;
  }
  return BuildPool(std::move(text), *rule, encoding, ascii_only, sharing);
}

ReadOutcome ReadSource(Session& session, const std::filesystem::path& path, Reporter& reporter,
                       EncodingChoice choice, SourceFiles accepted) {
  try {
    if (!FileExists(path)) {
      ReportError(reporter, ErrorKind::FNE, path.string());
      return ReadOutcome::Missing;
    }
    // The old pool goes first, so a big source never sits in memory twice.
    session.pool.Clear();
    // A length of 0 takes no unit per pass: the read ends with an empty pool.
    if (session.settings.SeqLength <= 0) return ReadOutcome::Read;
    ByteBuffer text;
    // Room after the text for the character that closes a word cut off by
    // its end.
    const std::size_t spare = std::max<std::size_t>(1, session.settings.WordSep.size());
    // The text is checked for UTF-8 piece by piece as it is read, while
    // each piece is still in the cache.
    Utf8ReadCheck checker;
    const FileStatus read_error = choice == EncodingChoice::Bytes
                                      ? ReadWholeFile(path, text, spare, accepted)
                                      : ReadWholeFile(path, text, spare, checker, accepted);
    if (read_error) {
      ReportFileError(reporter, *read_error);
      return ReadOutcome::Failed;
    }
    const Utf8Check check =
        choice == EncodingChoice::Bytes ? Utf8Check{std::size_t{0}, false} : checker.Result();
    if (choice == EncodingChoice::Utf8 && !check.Valid()) {
      ReportError(reporter, ErrorKind::IO,
                  path.string() + ": not UTF-8: the first invalid byte sequence starts at byte " +
                      std::to_string(*check.first_invalid));
      return ReadOutcome::Failed;
    }
    session.pool = BuildPool(std::move(text), session.settings, ChooseEncoding(check, choice),
                             check.ascii_only);
  } catch (const std::bad_alloc&) {
    // Every allocation of a Read ends here: the source's bytes, the item
    // table, the strings of a message.
    session.pool.Clear();
    ReportFileError(reporter, OutOfMemoryError(path.native()));
    return ReadOutcome::Failed;
  }
  return ReadOutcome::Read;
}

}  // namespace vorpel
