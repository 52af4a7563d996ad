#pragma once

// The engine's speed mechanisms, each of which can be turned off. None of
// them changes a result: with any of them off the engine gives the same
// items, the same draws and the same bytes, only at another speed. The
// programs always run with all of them on; the benchmarks turn one off at
// a time to measure what it gains.

#include <string_view>

namespace vorpel {

struct Tuning {
  // The UTF-8 check 64 bytes at a time with AVX2, where the processor has
  // it; otherwise the plain check, which passes ASCII 8 bytes at a time.
  bool avx2_utf8_check = true;
  // Huge pages for a source's first 2 MiB parts, as many as there are free
  // 2 MiB blocks (counted in /proc/buddyinfo) beyond a few left to the
  // machine. Off: no part asks for huge pages from free blocks.
  bool huge_pages_from_free_blocks = true;
  // Beyond those, each part's pages chosen by timing huge pages the system
  // may compact memory for against small pages (PartChooser). Off: small
  // pages.
  bool part_chooser = true;
  // A long source read in two halves at once, the second on another core.
  bool two_half_read = true;
  // The word ends of a long UTF-8 source found by two threads.
  bool two_thread_word_cut = true;
  // The characters of a long UTF-8 source indexed by two threads.
  bool two_thread_letter_index = true;
};

// Each mechanism's switch, under the name the benchmarks give it.
struct Mechanism {
  std::string_view name;
  bool Tuning::*on;
};
inline constexpr Mechanism kMechanisms[] = {
    {"avx2-check", &Tuning::avx2_utf8_check},
    {"free-huge-pages", &Tuning::huge_pages_from_free_blocks},
    {"part-chooser", &Tuning::part_chooser},
    {"two-half-read", &Tuning::two_half_read},
    {"two-thread-word-cut", &Tuning::two_thread_word_cut},
    {"two-thread-letter-index", &Tuning::two_thread_letter_index},
};

// The tuning the engine runs with: all on unless a benchmark set it.
const Tuning& CurrentTuning();

// Sets the tuning. For benchmarks only, before any work starts: the
// engine reads it from any thread without a lock.
void SetTuning(const Tuning& tuning);

}  // namespace vorpel
