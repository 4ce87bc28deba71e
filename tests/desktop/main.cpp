#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// One application for every test; the offscreen platform unless the caller chose one.
int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
