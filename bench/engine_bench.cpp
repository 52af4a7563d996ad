// Read, write and drawing speed of the engine on a generated text (64 MiB
// by default; VORPEL_BENCH_MB changes it). The text goes to a temporary file
// once; each iteration reads it from the page cache or writes a new file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "bench_text.h"
#include "random_draw.h"
#include "sequence_writer.h"
#include "session.h"
#include "source_reader.h"
#include "vorpel_test/engine_doubles.h"
#include "write_pipeline.h"

namespace {
namespace fs = std::filesystem;

class NullReporter final : public vorpel::Reporter {
 public:
  void Beep() override {}
  void ShowError(vorpel::ErrorKind, std::string_view) override { std::abort(); }
};

const fs::path& SourceFile() {
  static const fs::path path = vorpel::bench::MakeSourceFile(64);
  return path;
}

void ReadSource(benchmark::State& state, std::int16_t unit_mode, std::int16_t length) {
  NullReporter reporter;
  vorpel::Session session;
  session.settings.SetDefaultOptions();
  session.settings.MultSeq = 0;  // every benchmark here cuts runs one after another
  session.settings.UnitMode = unit_mode;
  session.settings.SeqLength = length;
  const auto bytes = fs::file_size(SourceFile());
  for (auto _ : state) {
    vorpel::ReadSource(session, SourceFile(), reporter);
    benchmark::DoNotOptimize(session.pool.Size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["items"] = static_cast<double>(session.pool.Size());
}

void BM_ReadLetters1(benchmark::State& state) { ReadSource(state, vorpel::kLettersMode, 1); }
void BM_ReadWords4(benchmark::State& state) { ReadSource(state, vorpel::kWordsMode, 4); }
void BM_ReadWords1(benchmark::State& state) { ReadSource(state, vorpel::kWordsMode, 1); }

void Write(benchmark::State& state, std::int16_t fix_cap) {
  NullReporter reporter;
  vorpel::Session session;
  session.settings.SetDefaultOptions();
  session.settings.MultSeq = 0;
  session.settings.UnitMode = vorpel::kLettersMode;
  session.settings.SeqLength = 100;
  session.settings.FixCap = fix_cap;
  session.settings.OWrite = 1;
  vorpel::ReadSource(session, SourceFile(), reporter);
  const fs::path target = fs::temp_directory_path() / "vorpel-bench-target.txt";
  const fs::path temp = fs::temp_directory_path() / "vorpel-bench-intermediate.txt";
  const std::string count = std::to_string(state.range(0));
  vorpel::WriteCommandOptions options;
  options.temp_path = temp;
  for (auto _ : state) {
    // Not const: newer benchmark libraries deprecate DoNotOptimize of a
    // const reference.
    auto outcome = vorpel::RunWriteCommand(session, {count, target}, reporter, options);
    benchmark::DoNotOptimize(outcome);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 100);
  fs::remove(target);
  fs::remove(temp);
}

void BM_WriteDirect(benchmark::State& state) { Write(state, 0); }
void BM_WriteFixCap(benchmark::State& state) { Write(state, 1); }

// Takes the drawn text and throws it away: what is timed is the drawing
// itself (the draws, the pool's items, the copies into the block).
class DiscardingSink final : public vorpel::ByteSink {
 public:
  vorpel::FileStatus Write(std::span<char> block) override {
    benchmark::DoNotOptimize(block.data());
    bytes += block.size();
    return std::nullopt;
  }
  std::size_t bytes = 0;
};

// A UTF-8 text: the benchmark's words with one letter in ten an "é".
const std::string& Utf8Text() {
  using namespace vorpel::test;
  static const std::string text = MakeText(
      std::size_t{16} << 20, 20261208,
      Steps({Word(1, 12, Choice({{9, OneOf(ByteRange('a', 'z'))}, {1, Literal("\xC3\xA9")}})),
             Choice({{8, Literal(" ")}, {1, Literal(". ")}, {1, Literal("\n")}})}));
  return text;
}

// Draws state.range(0) items from pool in each iteration, into a sink
// that throws them away.
void DrawFrom(benchmark::State& state, const vorpel::SequencePool& pool) {
  DiscardingSink sink;
  std::uint64_t seed = 1;
  for (auto _ : state) {
    vorpel::RandomDraw draw(seed++);
    auto error = vorpel::DrawSequences(pool, state.range(0), draw, sink);
    benchmark::DoNotOptimize(error);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.counters["pool"] = static_cast<double>(pool.Size());
}

// Draws state.range(0) short items from a pool of one source, the hot loop
// of every Write: letters of 8-bit text (fixed stride), words (item ends)
// or letters of UTF-8 text (the letter index).
void Draw(benchmark::State& state, std::int16_t unit_mode, bool utf8) {
  vorpel::GenerationSettings settings;
  settings.SetDefaultOptions();
  settings.MultSeq = 0;
  settings.UnitMode = unit_mode;
  settings.SeqLength = 4;
  vorpel::SequencePool pool;
  if (utf8) {
    pool = vorpel::BuildPool(vorpel::test::MakeBuffer(Utf8Text()), settings);
  } else {
    NullReporter reporter;
    vorpel::Session session;
    session.settings = settings;
    vorpel::ReadSource(session, SourceFile(), reporter);
    pool = std::move(session.pool);
  }
  DrawFrom(state, pool);
}

// The same drawing from the benchmark's source cut into state.range(1)
// sources of equal size, joined into one pool.
void BM_DrawWordsJoined(benchmark::State& state) {
  vorpel::GenerationSettings settings;
  settings.SetDefaultOptions();
  settings.MultSeq = 0;
  settings.UnitMode = vorpel::kWordsMode;
  settings.SeqLength = 4;
  std::string text;
  {
    std::ifstream file(SourceFile(), std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  const auto sources = static_cast<std::size_t>(state.range(1));
  std::vector<vorpel::SequencePool> parts;
  for (std::size_t i = 0; i < sources; ++i) {
    const std::size_t begin = text.size() * i / sources;
    const std::size_t end = text.size() * (i + 1) / sources;
    parts.push_back(vorpel::BuildPool(
        vorpel::test::MakeBuffer(std::string_view(text).substr(begin, end - begin)), settings));
  }
  text = std::string();
  const vorpel::SequencePool pool = vorpel::SequencePool::Join(std::move(parts));
  DrawFrom(state, pool);
}

void BM_DrawLetters(benchmark::State& state) { Draw(state, vorpel::kLettersMode, false); }
void BM_DrawWords(benchmark::State& state) { Draw(state, vorpel::kWordsMode, false); }
void BM_DrawUtf8Letters(benchmark::State& state) { Draw(state, vorpel::kLettersMode, true); }

}  // namespace

BENCHMARK(BM_ReadLetters1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWords4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWords1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteDirect)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFixCap)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawLetters)->Arg(1 << 22)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawWords)->Arg(1 << 22)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawUtf8Letters)->Arg(1 << 22)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawWordsJoined)
    ->Args({1 << 22, 2})
    ->Args({1 << 22, 16})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
