#pragma once

#include "tuning.h"

namespace vorpel::test {

// Runs the engine with the given tuning until the end of the scope, then
// with the tuning it had before.
class ScopedTuning {
 public:
  explicit ScopedTuning(const Tuning& tuning) : saved_(CurrentTuning()) { SetTuning(tuning); }
  ScopedTuning(const ScopedTuning&) = delete;
  ScopedTuning& operator=(const ScopedTuning&) = delete;
  ~ScopedTuning() { SetTuning(saved_); }

 private:
  Tuning saved_;
};

}  // namespace vorpel::test
