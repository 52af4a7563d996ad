#pragma once

namespace vorpel {

// The program's own pictures, compiled into the library as Qt resources.
inline constexpr char kWindowIconPath[] = ":/vorpel/vorpel-icon-16.png";  // 16 x 16
inline constexpr char kProductPicturePath[] = ":/vorpel/vorpel-48.png";   // 48 x 48
inline constexpr char kMakerPicturePath[] = ":/vorpel/corvane-48.png";    // 48 x 48

// Makes the pictures available under the paths above; a static library
// cannot do that by itself. Safe to call more than once.
void RegisterPictures();

}  // namespace vorpel
