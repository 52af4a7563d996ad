// A Read from the main window, as the user starts it (the path typed into
// the From field, a click on Read), next to the engine's own Read of the
// same file, in one run. The source is 256 MiB by default (VORPEL_BENCH_MB
// changes it); run under QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>

#include "bench_text.h"
#include "look.h"
#include "main_window.h"
#include "session.h"
#include "source_reader.h"

namespace {
namespace fs = std::filesystem;

const fs::path& SourceFile() {
  static const fs::path path = vorpel::bench::MakeSourceFile(256);
  return path;
}

class CountingReporter final : public vorpel::Reporter {
 public:
  void Beep() override { ++errors; }
  void ShowError(vorpel::ErrorKind, std::string_view) override {}
  int errors = 0;
};

void SetUnits(vorpel::Session& session, std::int16_t unit_mode, std::int16_t length) {
  session.settings.UnitMode = unit_mode;
  session.settings.SeqLength = length;
}

void WindowRead(benchmark::State& state, std::int16_t unit_mode, std::int16_t length) {
  vorpel::Session session;
  int beeps = 0;
  vorpel::WindowHooks hooks;
  hooks.beep = [&beeps] { ++beeps; };
  vorpel::MainWindow window(session, std::move(hooks));
  SetUnits(session, unit_mode, length);
  window.findChild<QLineEdit*>(QStringLiteral("txtFrom"))
      ->setText(QFile::decodeName(SourceFile().c_str()));
  auto* read = window.findChild<QPushButton*>(QStringLiteral("btnRead"));
  for (auto _ : state) {
    read->click();
    benchmark::DoNotOptimize(session.pool.Size());
  }
  if (beeps != 0) state.SkipWithError("the Read was refused");
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * fs::file_size(SourceFile())));
  state.counters["items"] = static_cast<double>(session.pool.Size());
}

void EngineRead(benchmark::State& state, std::int16_t unit_mode, std::int16_t length) {
  vorpel::Session session;
  session.settings.SetDefaultOptions();
  SetUnits(session, unit_mode, length);
  CountingReporter reporter;
  for (auto _ : state) {
    vorpel::ReadSource(session, SourceFile(), reporter);
    benchmark::DoNotOptimize(session.pool.Size());
  }
  if (reporter.errors != 0) state.SkipWithError("the Read was refused");
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * fs::file_size(SourceFile())));
  state.counters["items"] = static_cast<double>(session.pool.Size());
}

void BM_WindowReadWords4(benchmark::State& state) { WindowRead(state, vorpel::kWordsMode, 4); }
void BM_EngineReadWords4(benchmark::State& state) { EngineRead(state, vorpel::kWordsMode, 4); }
void BM_WindowReadLetters1(benchmark::State& state) { WindowRead(state, vorpel::kLettersMode, 1); }
void BM_EngineReadLetters1(benchmark::State& state) { EngineRead(state, vorpel::kLettersMode, 1); }

}  // namespace

BENCHMARK(BM_WindowReadWords4)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_EngineReadWords4)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_WindowReadLetters1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_EngineReadLetters1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  vorpel::ApplyLook(app);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
