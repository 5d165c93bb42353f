// The window's suites run offscreen with the program's own application set-up.
#include <gtest/gtest.h>

#include <QApplication>

#include "AppSetup.h"

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  zumo::app::ConfigureApplication(app);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
