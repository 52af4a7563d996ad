#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QApplication;

namespace vorpel {

// Window geometry is laid out in twips; 15 twips make one device-independent
// pixel, and Qt scales device-independent pixels for high-DPI screens.
inline constexpr int kTwipsPerPixel = 15;

constexpr int FromTwips(int twips) { return twips / kTwipsPerPixel; }
inline QSize TwipsSize(int width, int height) { return {FromTwips(width), FromTwips(height)}; }
inline QRect TwipsRect(int left, int top, int width, int height) {
  return {FromTwips(left), FromTwips(top), FromTwips(width), FromTwips(height)};
}

// The one font of every window. Its size is given in pixels so that text
// scales together with the pixel geometry on every screen; it is small
// because the layouts are dense, and it is chosen so that every caption and
// message fits its rectangle.
QFont WindowFont();

// Fixed style, font and application icon, so that the windows look (and
// measure) the same on every desktop. Call once after the QApplication is
// made and before any window is created.
void ApplyLook(QApplication& app);

}  // namespace vorpel
