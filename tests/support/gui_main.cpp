// The main of the GUI test executables: one application object, offscreen.
#include <cstdlib>

#include <gtest/gtest.h>

#include "application.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
