#pragma once

#include "generation_settings.h"
#include "sequence_pool.h"

namespace vorpel {

// The program's one state: the settings and the pool. main makes one and
// hands it by reference to the windows (or the batch command); tests make
// their own. Fields start at zero, as at program start; the Options dialog's
// loading puts the defaults in force.
struct Session {
  GenerationSettings settings;
  SequencePool pool;
};

}  // namespace vorpel
