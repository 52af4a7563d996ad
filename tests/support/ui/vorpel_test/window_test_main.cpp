// The window tests run under the offscreen platform unless told otherwise
// (ctest sets it too), so they need no display.

#include <gtest/gtest.h>

#include <QApplication>

#include "look.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  vorpel::ApplyLook(app);
  return RUN_ALL_TESTS();
}
