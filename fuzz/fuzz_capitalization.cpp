// The capitalization filter against the literal fix, fed in random blocks:
// same length, only 'a'..'z' change and only to their capitals, and the
// result equals the literal one. Input: byte 0 the separator's length,
// byte 1 the marks' length, byte 2 the block size, then separator, marks
// and text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "capitalization.h"
#include "vorpel_test/reference_algorithms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const char* bytes = reinterpret_cast<const char*>(data);
  std::size_t pos = 3;
  const std::size_t separator_length = std::min<std::size_t>(data[0] % 6, size - pos);
  const std::string word_sep(bytes + pos, separator_length);
  pos += separator_length;
  const std::size_t marks_length = std::min<std::size_t>(data[1] % 6, size - pos);
  const std::string marks =
      data[1] & 0x80 ? std::string(".!?_") : std::string(bytes + pos, marks_length);
  pos += marks_length;
  const std::string input(bytes + pos, size - pos);
  const std::size_t block = 1 + data[2] % 17;

  std::string output = input;
  vorpel::CapitalizationFilter filter(word_sep, marks);
  for (std::size_t at = 0; at < output.size(); at += block) {
    filter.Apply(std::span<char>(output.data() + at, std::min(block, output.size() - at)));
  }
  if (output.size() != input.size()) std::abort();
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (output[i] != input[i] &&
        !(input[i] >= 'a' && input[i] <= 'z' && output[i] == input[i] - 32)) {
      std::abort();
    }
  }
  if (output != vorpel::test::ReferenceFix(input, word_sep, marks)) std::abort();
  return 0;
}
