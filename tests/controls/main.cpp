#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>

// The controls need a QApplication; without a display they run on the offscreen platform.
int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
