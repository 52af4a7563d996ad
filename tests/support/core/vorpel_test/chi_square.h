#pragma once

// Pearson's chi-square statistic, for tests of how evenly draws fall.

#include <span>

namespace vorpel::test {

// The statistic of counts against equal expected counts (the total spread
// evenly over every count): the sum of (count - expected)^2 / expected.
// With k counts it has k - 1 degrees of freedom.
double ChiSquareAgainstUniform(std::span<const int> counts);

}  // namespace vorpel::test
