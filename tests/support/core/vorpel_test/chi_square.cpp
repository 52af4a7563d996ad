#include "vorpel_test/chi_square.h"

namespace vorpel::test {

double ChiSquareAgainstUniform(std::span<const int> counts) {
  long long total = 0;
  for (const int count : counts) total += count;
  const double expected = static_cast<double>(total) / static_cast<double>(counts.size());
  double chi_square = 0;
  for (const int count : counts) {
    chi_square += (count - expected) * (count - expected) / expected;
  }
  return chi_square;
}

}  // namespace vorpel::test
