// The widget tests' entry point: one QApplication for the whole binary.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Never open windows on a developer's desktop, even when run by hand or
  // when ctest lists the tests.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
