#include "tuning.h"

namespace vorpel {
namespace {

Tuning& TheTuning() {
  static Tuning tuning;
  return tuning;
}

}  // namespace

const Tuning& CurrentTuning() { return TheTuning(); }

void SetTuning(const Tuning& tuning) { TheTuning() = tuning; }

}  // namespace vorpel
