#pragma once

// The source file of the benchmarks: the generated text BenchmarkProse
// (words of 1 to 12 letters with punctuation and line breaks) from a fixed
// seed.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "vorpel_test/text_generator.h"

namespace vorpel::bench {

// Writes the text once to a temporary file of VORPEL_BENCH_MB mebibytes
// (default_megabytes when unset) and returns its path.
inline std::filesystem::path MakeSourceFile(int default_megabytes) {
  const char* megabytes = std::getenv("VORPEL_BENCH_MB");
  const int size = megabytes != nullptr ? std::atoi(megabytes) : default_megabytes;
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("vorpel-bench-source-" + std::to_string(size) + "m.txt");
  if (!std::filesystem::exists(file) ||
      std::filesystem::file_size(file) != static_cast<std::uintmax_t>(size) << 20) {
    std::ofstream(file, std::ios::binary)
        << test::MakeText(static_cast<std::size_t>(size) << 20, 20261208, test::BenchmarkProse());
  }
  return file;
}

}  // namespace vorpel::bench
