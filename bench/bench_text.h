#pragma once

// The generated source text of the benchmarks: words of 1 to 12 letters with
// punctuation and line breaks, from a fixed seed.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace vorpel::bench {

inline std::string MakeText(std::size_t size) {
  std::mt19937_64 random(20261208);
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) {
    const auto length = 1 + random() % 12;
    for (std::uint64_t i = 0; i < length; ++i)
      text.push_back(static_cast<char>('a' + random() % 26));
    const auto roll = random() % 100;
    if (roll < 6) {
      text += ". ";
    } else if (roll < 8) {
      text += ", ";
    } else if (roll < 11) {
      text += '\n';
    } else {
      text += ' ';
    }
  }
  text.resize(size);
  return text;
}

// Writes the text once to a temporary file of VORPEL_BENCH_MB mebibytes
// (default_megabytes when unset) and returns its path.
inline std::filesystem::path MakeSourceFile(int default_megabytes) {
  const char* megabytes = std::getenv("VORPEL_BENCH_MB");
  const int size = megabytes != nullptr ? std::atoi(megabytes) : default_megabytes;
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("vorpel-bench-source-" + std::to_string(size) + "m.txt");
  if (!std::filesystem::exists(file) ||
      std::filesystem::file_size(file) != static_cast<std::uintmax_t>(size) << 20) {
    std::ofstream(file, std::ios::binary) << MakeText(static_cast<std::size_t>(size) << 20);
  }
  return file;
}

}  // namespace vorpel::bench
