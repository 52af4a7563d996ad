#include "pictures.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace vorpel {

void RegisterPictures() {
  static const bool registered = [] {
    InitPictureResources();
    return true;
  }();
  Q_UNUSED(registered);
}

}  // namespace vorpel
