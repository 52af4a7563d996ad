// Read and write speed of the engine on a generated text (64 MiB by
// default; VORPEL_BENCH_MB changes it). The text goes to a temporary file
// once; each iteration reads it from the page cache or writes a new file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_text.h"
#include "sequence_writer.h"
#include "session.h"
#include "source_reader.h"
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
    const auto outcome = vorpel::RunWriteCommand(session, {count, target}, reporter, options);
    benchmark::DoNotOptimize(outcome);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 100);
  fs::remove(target);
  fs::remove(temp);
}

void BM_WriteDirect(benchmark::State& state) { Write(state, 0); }
void BM_WriteFixCap(benchmark::State& state) { Write(state, 1); }

}  // namespace

BENCHMARK(BM_ReadLetters1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWords4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWords1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteDirect)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFixCap)->Arg(32767)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
