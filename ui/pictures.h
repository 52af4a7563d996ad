#pragma once

namespace vorpel {

// The program's own pictures, drawn by pictures/make_pictures.py. They are
// listed once, in this library's CMakeLists.txt, which compiles them in as
// Qt resources under the paths below; they are registered when the program
// starts, before any window is made.
inline constexpr char kWindowIconPath[] = ":/vorpel/vorpel-icon-16.png";  // 16 x 16
inline constexpr char kProductPicturePath[] = ":/vorpel/vorpel-48.png";   // 48 x 48
inline constexpr char kMakerPicturePath[] = ":/vorpel/corvane-48.png";    // 48 x 48

}  // namespace vorpel
