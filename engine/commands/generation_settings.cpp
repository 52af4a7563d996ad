#include "generation_settings.h"

namespace vorpel {

void GenerationSettings::SetDefaultOptions() {
  WordSep.assign(1, ' ');
  SeqLength = 4;
  UnitMode = kWordsMode;
  MultSeq = 1;
  FixCap = 1;
}

}  // namespace vorpel
